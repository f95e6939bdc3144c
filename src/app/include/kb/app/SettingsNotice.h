// What the user is told at start-up about settings files that are there but could not be used: each one
// was kept aside (or left where it is) and the defaults are in use, so nothing is lost without a word.
#pragma once

#include <QString>
#include <vector>

#include "kb/common/LoadStatus.h"

namespace kb {
class AppConfig;
}

namespace kb::ui {
class IPrompt;
}

namespace kb::app {

// One trace line per unusable file and, when there is any, one message box naming them all. Returns
// whether the box was shown.
bool TellUnreadableSettings(kb::ui::IPrompt& prompt, const std::vector<LoadStatus>& loads);

// The warning when no keyboard is found: the usual one, unless the file that names the keyboard could not
// be read, which is then what the user needs to know.
QString NoKeyboardMessage(const AppConfig& config);

}  // namespace kb::app
