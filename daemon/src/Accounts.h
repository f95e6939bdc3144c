// The `--user` and `--group` options: a name, or a number that must still name an account, since the
// socket's folder is handed to that account's group and a uid without an entry could never enter it.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace kb::filterd {

struct UserAccount {
    uid_t uid = 0;
    gid_t gid = 0;  // the user's own group
    std::string name;
    std::string home;
};

// By name first, then by uid. nullopt with `error` when no passwd entry matches.
std::optional<UserAccount> LookUpUser(std::string_view nameOrUid, std::string& error);

// By name first, then by gid; a gid without a group entry is taken as it is (membership is by number).
std::optional<gid_t> LookUpGroup(std::string_view nameOrGid, std::string& error);

}  // namespace kb::filterd
