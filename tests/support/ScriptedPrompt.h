// A message-box stand-in for tests: answers from a script and keeps what was asked.
#pragma once

#include <QString>
#include <deque>
#include <optional>
#include <vector>

#include "kb/ui/Prompt.h"

namespace kbtest {

// Answers from a script, in order; when the script runs out, the negative answer of the buttons
// (Ok, Cancel, No).
class ScriptedPrompt : public kb::ui::IPrompt {
  public:
    struct Asked {
        QString text;
        QString caption;
        kb::ui::PromptButtons buttons;
    };

    void Push(kb::ui::PromptAnswer answer) { script_.push_back(answer); }
    const std::vector<Asked>& AskedSoFar() const { return asked_; }
    // Answers of AskText (nullopt: cancelled) and AskFile (empty: cancelled); cancel when they run out.
    void PushText(std::optional<QString> answer) { texts_.push_back(std::move(answer)); }
    void PushFile(QString path) { files_.push_back(std::move(path)); }
    // The choices the last AskText offered.
    const QStringList& LastChoices() const { return lastChoices_; }

    kb::ui::PromptAnswer Ask(QWidget* owner, const QString& text, const QString& caption,
                             kb::ui::PromptButtons buttons) override;
    std::optional<QString> AskText(QWidget* owner, const QString& text, const QString& caption,
                                   const QString& initial, const QStringList& choices = {}) override;
    QString AskFile(QWidget* owner, const QString& caption, bool save, const QString& suggested,
                    const QString& filter) override;

  private:
    std::deque<kb::ui::PromptAnswer> script_;
    std::vector<Asked> asked_;
    std::deque<std::optional<QString>> texts_;
    std::deque<QString> files_;
    QStringList lastChoices_;
};

}  // namespace kbtest
