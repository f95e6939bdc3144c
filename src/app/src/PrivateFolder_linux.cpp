#include "PrivateFolder.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kb::app {

bool IsPrivateFolder(const QString& folder) {
    struct stat st {};
    if (::lstat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return false;
    }
    return st.st_uid == ::getuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool MakePrivateFolder(const QString& folder) {
    // Created with its final mode (the umask can only take bits away): there is no moment in which it
    // is open to others. An existing one, perhaps made by someone else first, is checked like any other.
    if (::mkdir(QFile::encodeName(folder).constData(), S_IRWXU) != 0 && errno != EEXIST) {
        return false;
    }
    return IsPrivateFolder(folder);
}

QString FallbackRuntimeFolder() {
    return QStringLiteral("/tmp/kbstudio-") + QString::number(::getuid());
}

bool IsAbsentOrOwnFile(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        return errno == ENOENT;
    }
    return !S_ISLNK(st.st_mode) && !S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

}  // namespace kb::app
