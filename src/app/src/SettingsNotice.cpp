#include "kb/app/SettingsNotice.h"

#include "kb/common/AppConfig.h"
#include "kb/common/Trace.h"
#include "kb/ui/Prompt.h"
#include "kb/ui/Translator.h"

namespace kb::app {

bool TellUnreadableSettings(kb::ui::IPrompt& prompt, const std::vector<LoadStatus>& loads) {
    QString text;
    for (const LoadStatus& load : loads) {
        if (!load.Unreadable()) {
            continue;
        }
        const std::string message = load.Message();
        Trace("kbstudio: %s\n", message.c_str());
        if (!text.isEmpty()) {
            text += QStringLiteral("\n\n");
        }
        text += QString::fromStdString(message);
    }
    if (text.isEmpty()) {
        return false;
    }
    prompt.Ask(nullptr, text, kb::ui::Tr(QStringLiteral("Warning")), kb::ui::PromptButtons::Ok);
    return true;
}

QString NoKeyboardMessage(const AppConfig& config) {
    if (config.LastLoad().Unreadable()) {
        return QString::fromStdString(config.LastLoad().Message()) +
               QStringLiteral(" It names the keyboard to look for.");
    }
    return kb::ui::Tr(QStringLiteral("Please insert USB device!"));
}

}  // namespace kb::app
