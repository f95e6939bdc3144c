// Owns one POSIX file descriptor: closes it when the owner goes away, so no error path can leak it or
// close it twice. Move-only.
#pragma once

namespace kb {

class UniqueFd {
  public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    ~UniqueFd() { Reset(); }

    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const noexcept { return fd_; }
    bool Valid() const noexcept { return fd_ >= 0; }
    explicit operator bool() const noexcept { return Valid(); }

    // Gives the descriptor up without closing it.
    int Release() noexcept {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes the held descriptor (if any) and takes fd.
    void Reset(int fd = -1) noexcept;

  private:
    int fd_ = -1;
};

}  // namespace kb
