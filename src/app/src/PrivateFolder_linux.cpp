#include "PrivateFolder.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace kb::app {

bool IsPrivateFolder(const QString& folder) {
    struct stat st {};
    if (::lstat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return false;
    }
    return st.st_uid == ::getuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace kb::app
