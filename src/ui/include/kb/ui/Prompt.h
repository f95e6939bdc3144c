// Message boxes behind an interface: QMessageBox in the application, a scripted stand-in in tests
// (tests/support/ScriptedPrompt.h).
#pragma once

#include <QString>

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

}  // namespace kb::ui
