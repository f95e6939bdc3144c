// Message boxes behind an interface: QMessageBox in the application, scripted answers in tests.
#pragma once

#include <QString>
#include <deque>
#include <vector>

class QWidget;

namespace kb::ui {

enum class PromptButtons { Ok, OkCancel, YesNo };
enum class PromptAnswer { Ok, Cancel, Yes, No };

class IPrompt {
  public:
    virtual ~IPrompt() = default;
    virtual PromptAnswer Ask(QWidget* owner, const QString& text, const QString& caption,
                             PromptButtons buttons) = 0;
};

class MessageBoxPrompt : public IPrompt {
  public:
    PromptAnswer Ask(QWidget* owner, const QString& text, const QString& caption,
                     PromptButtons buttons) override;
};

// Answers from a script, in order; when the script runs out, the negative answer of the buttons
// (Ok, Cancel, No). Keeps what was asked.
class ScriptedPrompt : public IPrompt {
  public:
    struct Asked {
        QString text;
        QString caption;
        PromptButtons buttons;
    };

    void Push(PromptAnswer answer) { script_.push_back(answer); }
    const std::vector<Asked>& AskedSoFar() const { return asked_; }

    PromptAnswer Ask(QWidget* owner, const QString& text, const QString& caption,
                     PromptButtons buttons) override;

  private:
    std::deque<PromptAnswer> script_;
    std::vector<Asked> asked_;
};

}  // namespace kb::ui
