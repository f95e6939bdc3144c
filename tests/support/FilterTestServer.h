// A tiny kbfilterd stand-in for tests: listens on a Unix socket, speaks the filter wire format, records
// every request's bytes and answers held-key reads with whatever the test holds at that moment.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
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
                const ssize_t n = ::recv(fds[i].fd, chunk, sizeof(chunk), 0);
                if (n <= 0) {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;  // poll ignores negative descriptors
                    continue;
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

    void Serve(int fd, std::vector<std::byte>& buffer) {
        namespace w = kb::filterwire;
        while (buffer.size() >= w::kHeaderBytes) {
            const w::HeaderFields h =
                w::ParseHeader(std::span<const std::byte, w::kHeaderBytes>(buffer.data(), w::kHeaderBytes));
            if (buffer.size() < w::kHeaderBytes + h.length) {
                return;
            }
            Received r{h.first, std::vector<std::byte>(buffer.begin(),
                                                       buffer.begin() + static_cast<std::ptrdiff_t>(
                                                                            w::kHeaderBytes + h.length))};
            buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(r.bytes.size()));
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
                    }
                }
                (h.first == w::kReadHeldKeys ? reads_ : requests_).push_back(std::move(r));
            }
            const w::Header header = w::MakeHeader(static_cast<uint32_t>(status),
                                                   static_cast<uint32_t>(reply.size() - w::kHeaderBytes));
            std::copy(header.begin(), header.end(), reply.begin());
            std::size_t sent = 0;
            while (sent < reply.size()) {
                const ssize_t n = ::send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) {
                    return;
                }
                sent += static_cast<std::size_t>(n);
            }
            cv_.notify_all();
        }
    }

    std::string path_;
    int listener_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<uint32_t> held_;
    int readsSinceHold_ = 0;
    std::vector<Received> requests_;
    std::vector<Received> reads_;
};

}  // namespace kbtest
