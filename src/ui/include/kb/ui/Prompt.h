// Message boxes behind an interface: QMessageBox in the application, a scripted stand-in in tests
// (tests/support/ScriptedPrompt.h).
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace kb::ui {

enum class PromptButtons { Ok, OkCancel, YesNo };
enum class PromptAnswer { Ok, Cancel, Yes, No };

class IPrompt {
  public:
    virtual ~IPrompt() = default;
    virtual PromptAnswer Ask(QWidget* owner, const QString& text, const QString& caption,
                             PromptButtons buttons) = 0;
    // A line of text (choices empty) or one of the choices; nullopt when the user cancels. The defaults
    // cancel, for prompts that only answer questions.
    virtual std::optional<QString> AskText(QWidget* /*owner*/, const QString& /*text*/,
                                           const QString& /*caption*/, const QString& /*initial*/,
                                           const QStringList& /*choices*/ = {}) {
        return std::nullopt;
    }
    // A file to read (save false) or to write; empty when the user cancels. `filter` as QFileDialog's.
    virtual QString AskFile(QWidget* /*owner*/, const QString& /*caption*/, bool /*save*/,
                            const QString& /*suggested*/, const QString& /*filter*/) {
        return {};
    }
};

class MessageBoxPrompt : public IPrompt {
  public:
    PromptAnswer Ask(QWidget* owner, const QString& text, const QString& caption,
                     PromptButtons buttons) override;
    std::optional<QString> AskText(QWidget* owner, const QString& text, const QString& caption,
                                   const QString& initial, const QStringList& choices = {}) override;
    QString AskFile(QWidget* owner, const QString& caption, bool save, const QString& suggested,
                    const QString& filter) override;
};

}  // namespace kb::ui
