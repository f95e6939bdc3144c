#include <map>
#include <mutex>
#include <string>

#include "kb/device/NamedLock.h"

namespace kb {

NamedLock& NamedLock::Get(std::string_view name) {
    static std::mutex registryMutex;
    // Never destroyed: a lock may still be taken by a thread that outlives static destruction.
    static auto* registry = new std::map<std::string, NamedLock*, std::less<>>();
    std::lock_guard guard(registryMutex);
    auto it = registry->find(name);
    if (it == registry->end()) {
        it = registry->emplace(std::string(name), new NamedLock(std::string(name))).first;
    }
    return *it->second;
}

}  // namespace kb
