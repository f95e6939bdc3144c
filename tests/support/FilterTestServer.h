// A tiny kbfilterd stand-in for tests: listens on a Unix socket, speaks the filter wire format, records
// every request's bytes (and reads the file a reload hands over), answers held-key reads with whatever the
// test holds at that moment, pushes the events the test gives to subscribed connections, and can stop
// answering.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// By its path in the tree, so that test programs without the device library can use it too.
#include "kb/device/FilterWire.h"

namespace kbtest {

class FilterTestServer {
  public:
    struct Received {
        uint32_t code = 0;
        std::vector<std::byte> bytes;  // the whole request: header and input
        // A descriptor handed over with it: the file's contents and whether it was opened read-only.
        std::optional<std::string> file;
        bool fileReadOnly = false;
    };

    explicit FilterTestServer(const std::filesystem::path& socketPath) : path_(socketPath.string()) {
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
        ::unlink(path_.c_str());
        if (::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(listener_, 4) != 0) {
            ::close(listener_);
            listener_ = -1;
            return;
        }
        thread_ = std::thread([this] { Run(); });
    }

    ~FilterTestServer() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        if (listener_ >= 0) {
            ::close(listener_);
        }
        ::unlink(path_.c_str());
    }

    bool Listening() const { return listener_ >= 0; }

    // From now on requests are read but never answered (a hung daemon).
    void StopAnswering() { silent_ = true; }

    // Sends one event frame to every subscribed connection; returns how many got it.
    int Push(uint32_t code, bool pressed) { return PushAll({{code, pressed}}); }
    // Several events in one write, as a daemon does when keys come faster than the client reads.
    int PushAll(const std::vector<std::pair<uint32_t, bool>>& events) {
        std::vector<std::byte> bytes;
        for (const auto& [code, pressed] : events) {
            const auto frame = kb::filterwire::MakeKeyEventFrame({code, pressed, 0});
            bytes.insert(bytes.end(), frame.begin(), frame.end());
        }
        const std::lock_guard guard(mutex_);
        int reached = 0;
        for (const int fd : subscribers_) {
            reached += SendAll(fd, bytes) ? 1 : 0;
        }
        return reached;
    }

    // Waits until `count` connections are subscribed (false after 10 s).
    bool WaitSubscribers(std::size_t count) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return subscribers_.size() >= count; });
    }
    std::size_t Subscribers() {
        const std::lock_guard guard(mutex_);
        return subscribers_.size();
    }
    // Waits until no connection is subscribed any more (false after 10 s).
    bool WaitNoSubscribers() {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return subscribers_.empty(); });
    }

    void Hold(std::vector<uint32_t> keys) {
        const std::lock_guard guard(mutex_);
        held_ = std::move(keys);
        readsSinceHold_ = 0;
    }

    // Waits until `count` held-key reads were answered since the last Hold (false after 10 s).
    bool WaitReadsSinceHold(int count) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return readsSinceHold_ >= count; });
    }

    // The requests other than held-key reads, in order.
    std::vector<Received> Requests() {
        const std::lock_guard guard(mutex_);
        return requests_;
    }
    std::vector<Received> ReadRequests() {
        const std::lock_guard guard(mutex_);
        return reads_;
    }

  private:
    void Run() {
        std::vector<pollfd> fds{{listener_, POLLIN, 0}};
        std::vector<std::vector<std::byte>> pending{{}};
        while (!stop_) {
            if (::poll(fds.data(), fds.size(), 20) <= 0) {
                continue;
            }
            if ((fds[0].revents & POLLIN) != 0) {
                const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0) {
                    fds.push_back({client, POLLIN, 0});
                    pending.emplace_back();
                }
            }
            for (std::size_t i = 1; i < fds.size(); ++i) {
                if ((fds[i].revents & (POLLIN | POLLHUP)) == 0) {
                    continue;
                }
                std::byte chunk[256];
                iovec piece{chunk, sizeof chunk};
                alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
                msghdr message{};
                message.msg_iov = &piece;
                message.msg_iovlen = 1;
                message.msg_control = control;
                message.msg_controllen = sizeof control;
                const ssize_t n = ::recvmsg(fds[i].fd, &message, MSG_CMSG_CLOEXEC);
                if (n <= 0) {
                    Forget(fds[i].fd);
                    ::close(fds[i].fd);
                    fds[i].fd = -1;  // poll ignores negative descriptors
                    continue;
                }
                if (const cmsghdr* c = CMSG_FIRSTHDR(&message);
                    c != nullptr && c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS) {
                    std::memcpy(&passed_, CMSG_DATA(c), sizeof(int));
                }
                pending[i].insert(pending[i].end(), chunk, chunk + n);
                Serve(fds[i].fd, pending[i]);
            }
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].fd >= 0) {
                ::close(fds[i].fd);
            }
        }
    }

    void Forget(int fd) {
        const std::lock_guard guard(mutex_);
        std::erase(subscribers_, fd);
        cv_.notify_all();
    }

    bool SendAll(int fd, const std::vector<std::byte>& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                return false;
            }
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    // The handed-over file's contents, read through the descriptor, which is closed then.
    void TakePassedFile(Received& r) {
        if (passed_ < 0) {
            return;
        }
        r.fileReadOnly = (::fcntl(passed_, F_GETFL) & O_ACCMODE) == O_RDONLY;
        std::string contents;
        char buf[512];
        ssize_t n;
        while ((n = ::pread(passed_, buf, sizeof buf, static_cast<off_t>(contents.size()))) > 0) {
            contents.append(buf, static_cast<std::size_t>(n));
        }
        r.file = contents;
        ::close(passed_);
        passed_ = -1;
    }

    void Serve(int fd, std::vector<std::byte>& buffer) {
        namespace w = kb::filterwire;
        while (buffer.size() >= w::kHeaderBytes) {
            const w::HeaderFields h =
                w::ParseHeader(std::span<const std::byte, w::kHeaderBytes>(buffer.data(), w::kHeaderBytes));
            if (buffer.size() < w::kHeaderBytes + h.length) {
                return;
            }
            Received r;
            r.code = h.first;
            r.bytes.assign(buffer.begin(),
                           buffer.begin() + static_cast<std::ptrdiff_t>(w::kHeaderBytes + h.length));
            buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(r.bytes.size()));
            TakePassedFile(r);
            if (silent_) {
                const std::lock_guard guard(mutex_);
                requests_.push_back(std::move(r));
                continue;
            }
            std::vector<std::byte> reply(w::kHeaderBytes);
            w::Status status = w::Status::Ok;
            {
                const std::lock_guard guard(mutex_);
                const auto want = w::InputBytesFor(h.first);
                if (!want) {
                    status = w::Status::UnknownRequest;
                } else if (*want != h.length) {
                    status = w::Status::BadSize;
                } else if (h.first == w::kReadHeldKeys) {
                    reply.resize(w::kHeaderBytes + w::kHeldKeysBytes);
                    for (std::size_t k = 0; k < held_.size() && k < w::kHeldKeySlots; ++k) {
                        w::PutU32(reply.data() + w::kHeaderBytes + 4 * k, held_[k]);
                    }
                    ++readsSinceHold_;
                } else if (h.first == w::kSetMode) {
                    const uint32_t mode = w::GetU32(r.bytes.data() + w::kHeaderBytes);
                    if (mode != 0 && mode != 1 && mode != 0xFFFFFFFFu) {
                        status = w::Status::BadValue;
                        const std::string text = "refused mode 0x" + Hex(mode) + "\n";
                        for (const char c : text) {
                            reply.push_back(static_cast<std::byte>(c));
                        }
                    }
                } else if (h.first == w::kSubscribeKeys) {
                    if (w::GetU32(r.bytes.data() + w::kHeaderBytes) == w::kSubscribeOn) {
                        subscribers_.push_back(fd);
                    } else {
                        std::erase(subscribers_, fd);
                    }
                }
                (h.first == w::kReadHeldKeys ? reads_ : requests_).push_back(std::move(r));
                const w::Header header = w::MakeHeader(static_cast<uint32_t>(status),
                                                       static_cast<uint32_t>(reply.size() - w::kHeaderBytes));
                std::copy(header.begin(), header.end(), reply.begin());
                // Under the lock, so that a push never splits a reply.
                if (!SendAll(fd, reply)) {
                    return;
                }
            }
            cv_.notify_all();
        }
    }

    static std::string Hex(uint32_t v) {
        char text[16];
        std::snprintf(text, sizeof text, "%X", v);
        return text;
    }

    std::string path_;
    int listener_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<bool> silent_{false};
    int passed_ = -1;  // a descriptor received and not yet taken by a request
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<uint32_t> held_;
    int readsSinceHold_ = 0;
    std::vector<Received> requests_;
    std::vector<Received> reads_;
    std::vector<int> subscribers_;
};

}  // namespace kbtest
