#include "src/Clock.h"

namespace kb::filterd {

Time Now() {
    return std::chrono::steady_clock::now().time_since_epoch();
}

}  // namespace kb::filterd
