#include "kb/device/KeyboardMatch.h"

#include "kb/common/AppConfig.h"

namespace kb {

HidMatch ConfiguredKeyboardMatch(const AppConfig& config) {
    HidMatch match;
    match.vid = config.Vid();
    if (config.Pid() != 0) {
        match.pids.push_back(config.Pid());
    }
    match.interfaceNumber = config.Interface();
    match.collection = config.Subdevice();
    return match;
}

}  // namespace kb
