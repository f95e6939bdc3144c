#include "PrivateFolder.h"

#include <QDir>

namespace kb::app {

// The temporary folder is the user's own on Windows.
bool IsPrivateFolder(const QString& /*folder*/) {
    return true;
}

bool MakePrivateFolder(const QString& folder) {
    return QDir().mkpath(folder);
}

QString FallbackRuntimeFolder() {
    return QDir(QDir::tempPath()).filePath(QStringLiteral("kbstudio"));
}

bool IsAbsentOrOwnFile(const QString& /*path*/) {
    return true;
}

}  // namespace kb::app
