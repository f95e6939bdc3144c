// The socket server's client table with a clock the test sets: stalled requests time out, and a full
// table makes room by dropping the client quiet the longest.
#include "src/SocketServer.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "kb/common/UniqueFd.h"

namespace kb::filterd {
namespace {

namespace fs = std::filesystem;
namespace fw = filterwire;
using std::chrono::milliseconds;

class OkHandler : public IRequestHandler {
  public:
    int requests = 0;
    fw::Status HandleRequest(uint32_t, std::span<const std::byte>, std::span<std::byte>,
                              RequestContext&) override {
        ++requests;
        return fw::Status::Ok;
    }
};

class SocketServerClients : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/kbfilterd_server_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        std::string error;
        ASSERT_TRUE(server_.Open(dir_ / "sock", error)) << error;
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A connected client; the server takes it at its next Service.
    UniqueFd Connect() {
        UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", server_.SocketPath().c_str());
        EXPECT_EQ(::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
        return fd;
    }

    static void Send(const UniqueFd& fd, const fw::Header& bytes, std::size_t count) {
        ASSERT_EQ(::send(fd.Get(), bytes.data(), count, MSG_NOSIGNAL), static_cast<ssize_t>(count));
    }

    // Whether the server has hung up on `fd` (reading what it answered so far).
    static bool HungUp(const UniqueFd& fd) {
        std::byte buffer[2048];
        for (;;) {
            const ssize_t n = ::recv(fd.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0) {
                return true;
            }
            if (n < 0) {
                return false;
            }
        }
    }

    fs::path dir_;
    Time now_{std::chrono::seconds(100)};
    OkHandler handler_;
    SocketServer server_{handler_, SocketAccess{}, [this] { return now_; }};
};

TEST_F(SocketServerClients, AStalledRequestIsDroppedAndAQuietClientIsNot) {
    const UniqueFd quiet = Connect();
    const UniqueFd stalled = Connect();
    server_.Service();
    ASSERT_EQ(server_.ClientCount(), 2u);
    EXPECT_FALSE(server_.NextDeadline().has_value());

    Send(stalled, fw::MakeHeader(fw::kSetMode, 4), 6);  // six of the eight header bytes
    server_.Service();
    EXPECT_EQ(server_.NextDeadline(), now_ + SocketServer::kStalledAfter);

    now_ += SocketServer::kStalledAfter;
    server_.Service();
    EXPECT_FALSE(HungUp(stalled));  // not over the limit yet

    now_ += milliseconds(1);
    server_.Service();
    EXPECT_TRUE(HungUp(stalled));
    EXPECT_FALSE(HungUp(quiet));
    EXPECT_EQ(server_.ClientCount(), 1u);
    EXPECT_FALSE(server_.NextDeadline().has_value());

    // A request that arrives whole clears its time-out once answered.
    now_ += std::chrono::hours(1);
    Send(quiet, fw::MakeHeader(fw::kReloadAssignments, 0), fw::kHeaderBytes);
    server_.Service();
    EXPECT_EQ(handler_.requests, 1);
    EXPECT_FALSE(server_.NextDeadline().has_value());
}

TEST_F(SocketServerClients, AFullTableDropsTheClientQuietTheLongest) {
    std::vector<UniqueFd> clients;
    for (std::size_t i = 0; i < SocketServer::kMaxClients; ++i) {
        clients.push_back(Connect());
        server_.Service();
        now_ += milliseconds(10);
    }
    // The oldest speaks: the second oldest is now the quietest.
    Send(clients[0], fw::MakeHeader(fw::kReloadAssignments, 0), fw::kHeaderBytes);
    server_.Service();

    const UniqueFd late = Connect();
    server_.Service();
    EXPECT_EQ(server_.ClientCount(), SocketServer::kMaxClients);
    EXPECT_TRUE(HungUp(clients[1]));
    for (std::size_t i = 0; i < clients.size(); ++i) {
        if (i != 1) {
            EXPECT_FALSE(HungUp(clients[i])) << i;
        }
    }
    Send(late, fw::MakeHeader(fw::kReloadAssignments, 0), fw::kHeaderBytes);
    server_.Service();
    EXPECT_EQ(handler_.requests, 2);
}

}  // namespace
}  // namespace kb::filterd
