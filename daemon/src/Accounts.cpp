#include "src/Accounts.h"

#include <grp.h>
#include <pwd.h>

#include <limits>

#include "kb/common/NumberText.h"

namespace kb::filterd {
namespace {

// A uid or gid as plain decimal; nullopt for anything else or a value no id can have.
std::optional<uint32_t> IdNumber(std::string_view text) {
    const std::optional<int64_t> n = ParseWholeInteger(text, 10);
    // (uid_t)-1 means "no change" to chown: never an account.
    if (!n || *n < 0 || *n >= std::numeric_limits<uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(*n);
}

}  // namespace

std::optional<UserAccount> LookUpUser(std::string_view nameOrUid, std::string& error) {
    const std::string text(nameOrUid);
    const passwd* pw = ::getpwnam(text.c_str());
    const std::optional<uint32_t> uid = IdNumber(text);
    if (pw == nullptr && uid) {
        pw = ::getpwuid(static_cast<uid_t>(*uid));
    }
    if (pw == nullptr) {
        error = uid ? "--user " + text + ": no user has uid " + text +
                          " (no passwd entry); give a user that exists"
                    : "--user " + text + ": no such user";
        return std::nullopt;
    }
    return UserAccount{pw->pw_uid, pw->pw_gid, pw->pw_name != nullptr ? pw->pw_name : "",
                       pw->pw_dir != nullptr ? pw->pw_dir : ""};
}

std::optional<gid_t> LookUpGroup(std::string_view nameOrGid, std::string& error) {
    const std::string text(nameOrGid);
    if (const group* gr = ::getgrnam(text.c_str())) {
        return gr->gr_gid;
    }
    if (const std::optional<uint32_t> gid = IdNumber(text)) {
        return static_cast<gid_t>(*gid);
    }
    error = "--group " + text + ": no such group";
    return std::nullopt;
}

}  // namespace kb::filterd
