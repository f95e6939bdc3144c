#include "ScriptedPrompt.h"

namespace kbtest {

using kb::ui::PromptAnswer;
using kb::ui::PromptButtons;

PromptAnswer ScriptedPrompt::Ask(QWidget* /*owner*/, const QString& text, const QString& caption,
                                 PromptButtons buttons) {
    asked_.push_back({text, caption, buttons});
    if (!script_.empty()) {
        const PromptAnswer answer = script_.front();
        script_.pop_front();
        return answer;
    }
    switch (buttons) {
        case PromptButtons::Ok:
            return PromptAnswer::Ok;
        case PromptButtons::OkCancel:
            return PromptAnswer::Cancel;
        case PromptButtons::YesNo:
            return PromptAnswer::No;
    }
    return PromptAnswer::Cancel;
}

std::optional<QString> ScriptedPrompt::AskText(QWidget* /*owner*/, const QString& text,
                                               const QString& caption, const QString& /*initial*/,
                                               const QStringList& choices) {
    asked_.push_back({text, caption, PromptButtons::OkCancel});
    lastChoices_ = choices;
    if (texts_.empty()) {
        return std::nullopt;
    }
    if (!texts_.front()) {
        texts_.pop_front();
        return std::nullopt;
    }
    const QString answer = *texts_.front();
    texts_.pop_front();
    return answer;
}

QString ScriptedPrompt::AskFile(QWidget* /*owner*/, const QString& caption, bool /*save*/,
                                const QString& /*suggested*/, const QString& /*filter*/) {
    asked_.push_back({QString(), caption, PromptButtons::OkCancel});
    if (files_.empty()) {
        return {};
    }
    QString answer = files_.front();
    files_.pop_front();
    return answer;
}

}  // namespace kbtest
