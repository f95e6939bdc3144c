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

}  // namespace kbtest
