// The whole daemon: scripted key events on its stdin, printed events on its stdout, and a client on its
// socket speaking the shared wire format (the socket folder comes from the environment variable).
#include "DaemonProcess.h"

namespace {

using namespace kb::filterd::testing;

TEST_F(DaemonEndToEnd, ModesHeldKeysAndReloadsOverTheSocket) {
    struct stat st {};
    ASSERT_EQ(::stat(Socket().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(socketDir_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    Client client(Socket());
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ(Type("down A\nup A\ndown C\nup C\n"),
              (Lines{"down KEY_B", "up KEY_B", "down KEY_C", "up KEY_C"}));

    // Dialog open: nothing is reassigned.
    EXPECT_EQ(client.SetMode(fw::kModeNoRemap), fw::Status::Ok);
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_A", "up KEY_A"}));

    // Capture: held keys are reported in press order, nothing is delivered.
    EXPECT_EQ(client.SetMode(fw::kModeCapture), fw::Status::Ok);
    EXPECT_EQ(Type("down LEFTSHIFT\ndown A\ndown RIGHTCTRL\n"), Lines{});
    EXPECT_EQ(client.HeldKeys(), (std::vector<uint32_t>{Shift, A, 0x1001D}));
    EXPECT_EQ(Type("up A\nup LEFTSHIFT\nup RIGHTCTRL\n"), Lines{});
    EXPECT_TRUE(client.HeldKeys().empty());

    // Back to normal; a macro plays its steps; the new file applies after a reload.
    EXPECT_EQ(client.SetMode(fw::kModeNormal), fw::Status::Ok);
    EXPECT_EQ(Type("down F1\n"), (Lines{"down KEY_X"}));  // the first step plays at the press
    EXPECT_EQ(ReadUntil("up KEY_X"), Lines{});
    EXPECT_EQ(ReadUntil("up KEY_X"), (Lines{"down KEY_X"}));  // second round of two
    EXPECT_EQ(Type("up F1\n"), Lines{});

    WriteRecords({Remap(A, C)});
    EXPECT_EQ(client.Request(fw::kReloadAssignments).status, fw::Status::Ok);
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_C", "up KEY_C"}));

    // A broken file or one that others may write keeps the assignments in force.
    WriteBytes("not a record file");
    EXPECT_EQ(client.Request(fw::kReloadAssignments).status, fw::Status::Failed);
    WriteRecords({Remap(A, X)});
    fs::permissions(records_, fs::perms::others_write, fs::perm_options::add);
    EXPECT_EQ(client.Request(fw::kReloadAssignments).status, fw::Status::Failed);
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_C", "up KEY_C"}));
    EXPECT_NE(Log().find("is not a valid record file"), std::string::npos) << Log();
    EXPECT_NE(Log().find("writable by every user"), std::string::npos) << Log();
}

TEST_F(DaemonEndToEnd, BadRequestsAreRefusedAndChangeNothing) {
    {
        Client client(Socket());
        ASSERT_TRUE(client.Connected());
        const Reply unknown = client.Request(0xB6020);
        EXPECT_EQ(unknown.status, fw::Status::UnknownRequest);
        EXPECT_EQ(unknown.text, "unknown request 0xB6020");
        EXPECT_EQ(client.Request(fw::kSetMode).status, fw::Status::BadSize);
        EXPECT_EQ(client.Request(fw::kReadHeldKeys, std::vector<std::byte>(4)).status, fw::Status::BadSize);
        std::vector<std::byte> seven(4);
        fw::PutU32(seven.data(), 7);
        const Reply badMode = client.Request(fw::kSetMode, seven);
        EXPECT_EQ(badMode.status, fw::Status::BadValue);
        EXPECT_EQ(badMode.text, "refused mode 0x7");
        EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_B", "up KEY_B"}));  // still mode 1

        // An input length the server will not read: refused, then the connection ends.
        const Reply huge = client.Request(fw::kSetMode, {}, 1u << 30);
        EXPECT_EQ(huge.status, fw::Status::BadSize);
        EXPECT_TRUE(client.ReadReply().closed);
    }
    {
        // A client that goes away mid-request.
        Client client(Socket());
        const fw::Header h = fw::MakeHeader(fw::kSetMode, 4);
        client.SendRaw(h.data(), h.size());
        client.SendRaw("\0\0", 2);
    }
    Client client(Socket());
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ(Type("down A\n"), (Lines{"down KEY_B"}));
    EXPECT_EQ(client.HeldKeys(), (std::vector<uint32_t>{A}));
}

}  // namespace
