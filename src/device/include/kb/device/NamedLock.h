// Locks named like "HidDevice::Write" that serialise an operation across threads and across the processes
// of the same user. Recursive on one thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace kb {

class NamedLock {
  public:
    // The process-wide lock of that name; created on first use and never destroyed.
    static NamedLock& Get(std::string_view name);

    // Waits without a time limit. When the cross-process part cannot be set up (no usable runtime
    // folder), the lock still serialises the threads of this process.
    void lock();
    void unlock();

    const std::string& Name() const { return name_; }

    struct Impl;
    explicit NamedLock(std::string name);
    ~NamedLock();
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

  private:
    std::string name_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kb
