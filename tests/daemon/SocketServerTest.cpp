// The socket server's client table with a clock the test sets: stalled requests time out, and a full
// table makes room by dropping the client quiet the longest.
#include "src/SocketServer.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
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
    fw::Status HandleRequest(uint32_t code, std::span<const std::byte>, std::span<std::byte>,
                             RequestContext& context) override {
        ++requests;
        if (code == fw::kSubscribeKeys) {
            context.subscribe = true;
        }
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

// Pushed events that flow freely do not hide a request left half sent.
TEST_F(SocketServerClients, PushedEventsDoNotResetAStalledRequestsTimeOut) {
    const UniqueFd client = Connect();
    server_.Service();
    std::array<std::byte, fw::kHeaderBytes + 4> subscribe{};
    const fw::Header h = fw::MakeHeader(fw::kSubscribeKeys, 4);
    std::copy(h.begin(), h.end(), subscribe.begin());
    ASSERT_EQ(::send(client.Get(), subscribe.data(), subscribe.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(subscribe.size()));
    server_.Service();
    server_.Service();
    EXPECT_FALSE(HungUp(client));  // reads the reply

    Send(client, fw::MakeHeader(fw::kReadHeldKeys, 0), 3);
    server_.Service();
    const Time started = now_;
    for (int i = 0; i < 3; ++i) {
        now_ += SocketServer::kStalledAfter / 2;
        server_.Push({0x1E, i % 2 == 0, 0});
        server_.Service();
    }
    ASSERT_GT(now_ - started, SocketServer::kStalledAfter);
    EXPECT_TRUE(HungUp(client));
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

namespace kb::filterd {
namespace {

// Who may connect, as an attacker on the same machine would try it. The daemon runs as root (0); it
// serves user 1000, whose primary group is 1000.
TEST(SocketAccessTest, OnlyRootTheServedUserAndTheServedGroupsMembersConnect) {
    struct Row {
        const char* who;
        PeerCredentials peer;
        SocketAccess access;
        bool allowed;
    };
    const std::vector<gid_t> withGroup = {27, 2000};
    const std::vector<gid_t> withUsersGroup = {1000};
    const SocketAccess user{1000, std::nullopt};
    const SocketAccess group{std::nullopt, 2000};
    const SocketAccess both{1000, 2000};
    for (const Row& row : {
             Row{"root", {0, 0, {}}, user, true},
             Row{"the served user", {1000, 1000, {}}, user, true},
             Row{"a third uid in the user's primary group", {1001, 1000, {}}, user, false},
             Row{"a third uid with the user's group as a supplementary one",
                 {1001, 100, withUsersGroup},
                 user,
                 false},
             Row{"anyone, no user or group served", {1001, 2000, withGroup}, SocketAccess{}, false},
             Row{"a primary member of the served group", {1002, 2000, {}}, group, true},
             Row{"a supplementary member of the served group", {1003, 100, withGroup}, group, true},
             Row{"a supplementary member, user and group served", {1003, 100, withGroup}, both, true},
             Row{"no member of the served group", {1004, 1000, withUsersGroup}, group, false},
         }) {
        EXPECT_EQ(MayConnect(row.peer, row.access, 0), row.allowed) << row.who;
    }
    // A daemon run by a user for itself serves that user.
    EXPECT_TRUE(MayConnect({1005, 1005, {}}, SocketAccess{}, 1005));
}

class NoRequestExpected : public IRequestHandler {
  public:
    fw::Status HandleRequest(uint32_t, std::span<const std::byte>, std::span<std::byte>,
                             RequestContext&) override {
        ADD_FAILURE() << "the framing should have refused this";
        return fw::Status::Ok;
    }
};

// The largest input the server reads is read and refused without hanging up; one byte more is not read
// and ends the connection.
TEST(RequestFramingTest, InputLimitAtItsBoundary) {
    for (const std::size_t length : {fw::kMaxInputBytes, fw::kMaxInputBytes + 1}) {
        SCOPED_TRACE(length);
        const bool withinLimit = length <= fw::kMaxInputBytes;
        const fw::Header h = fw::MakeHeader(fw::kSetMode, static_cast<uint32_t>(length));
        std::vector<std::byte> received(h.begin(), h.end());
        EXPECT_EQ(RequestBytesWanted(received), withinLimit ? length : 0u);
        if (withinLimit) {
            received.resize(fw::kHeaderBytes + length);
            EXPECT_EQ(RequestBytesWanted(received), 0u);
        }
        NoRequestExpected handler;
        RequestContext context;
        std::vector<std::byte> reply;
        const RequestOutcome outcome = AnswerRequest(received, handler, reply, context);
        EXPECT_EQ(outcome.status, fw::Status::BadSize);
        EXPECT_EQ(outcome.hangUp, !withinLimit);
        const fw::HeaderFields f = fw::ParseHeader(std::span(reply).first<fw::kHeaderBytes>());
        EXPECT_EQ(reply.size(), fw::kHeaderBytes + f.length);
        EXPECT_FALSE(context.reason.empty());
    }
}

TEST(RequestFramingTest, ReasonsAreCutWithoutSplittingACharacter) {
    const std::string euro = "\xE2\x82\xAC";  // three bytes
    std::string text;
    while (text.size() + euro.size() <= fw::kMaxReasonBytes + 1) {
        text += euro;
    }
    const std::string_view cut = CutUtf8(text, fw::kMaxReasonBytes);
    EXPECT_LE(cut.size(), fw::kMaxReasonBytes);
    EXPECT_EQ(cut.size() % euro.size(), 0u);
    EXPECT_EQ(CutUtf8("short", fw::kMaxReasonBytes), "short");
}

}  // namespace
}  // namespace kb::filterd
