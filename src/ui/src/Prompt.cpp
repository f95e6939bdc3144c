#include "kb/ui/Prompt.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <algorithm>

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

std::optional<QString> MessageBoxPrompt::AskText(QWidget* owner, const QString& text, const QString& caption,
                                                 const QString& initial, const QStringList& choices) {
    bool ok = false;
    QString answer;
    if (choices.isEmpty()) {
        answer = QInputDialog::getText(owner, caption, text, QLineEdit::Normal, initial, &ok);
    } else {
        const int current = std::max(0, static_cast<int>(choices.indexOf(initial)));
        answer = QInputDialog::getItem(owner, caption, text, choices, current, false, &ok);
    }
    if (!ok) {
        return std::nullopt;
    }
    return answer;
}

QString MessageBoxPrompt::AskFile(QWidget* owner, const QString& caption, bool save, const QString& suggested,
                                  const QString& filter) {
    return save ? QFileDialog::getSaveFileName(owner, caption, suggested, filter)
                : QFileDialog::getOpenFileName(owner, caption, suggested, filter);
}

}  // namespace kb::ui
