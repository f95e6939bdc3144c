#include "PrivateFolder.h"

namespace kb::app {

// The temporary folder is the user's own on Windows.
bool IsPrivateFolder(const QString& /*folder*/) {
    return true;
}

}  // namespace kb::app
