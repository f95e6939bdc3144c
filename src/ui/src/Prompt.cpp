#include "kb/ui/Prompt.h"

#include <QMessageBox>

namespace kb::ui {

PromptAnswer MessageBoxPrompt::Ask(QWidget* owner, const QString& text, const QString& caption,
                                   PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::Ok:
            QMessageBox::warning(owner, caption, text, QMessageBox::Ok);
            return PromptAnswer::Ok;
        case PromptButtons::OkCancel:
            return QMessageBox::warning(owner, caption, text, QMessageBox::Ok | QMessageBox::Cancel) ==
                           QMessageBox::Ok
                       ? PromptAnswer::Ok
                       : PromptAnswer::Cancel;
        case PromptButtons::YesNo:
            return QMessageBox::question(owner, caption, text, QMessageBox::Yes | QMessageBox::No) ==
                           QMessageBox::Yes
                       ? PromptAnswer::Yes
                       : PromptAnswer::No;
    }
    return PromptAnswer::Cancel;
}

}  // namespace kb::ui
