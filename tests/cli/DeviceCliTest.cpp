// kbctl's device commands against the virtual keyboard, the virtual filter and a socket endpoint.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "FilterTestServer.h"
#include "KbctlRunner.h"
#include "kb/keys/KeyRecordTable.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

class DeviceCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kb_device_cli_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "sockets");
        // An identity no real keyboard on a test machine has.
        std::ofstream(dir_ / "config.xml")
            << R"(<local language="en"/><usb vid="f00d" pid="beef" interface="1"/>)";
        for (const char* name :
             {"KBSTUDIO_VIRTUAL_KEYBOARD", "KBSTUDIO_VIRTUAL_VERSION", "KBSTUDIO_VIRTUAL_FILTER"}) {
            ::unsetenv(name);
        }
        ::setenv("KBFILTERD_SOCKET_DIR", (dir_ / "sockets").c_str(), 1);
    }
    void TearDown() override {
        for (const char* name : {"KBSTUDIO_VIRTUAL_KEYBOARD", "KBSTUDIO_VIRTUAL_VERSION",
                                 "KBSTUDIO_VIRTUAL_FILTER", "KBFILTERD_SOCKET_DIR"}) {
            ::unsetenv(name);
        }
        fs::remove_all(dir_);
    }
    kbtest::KbctlResult Run(const std::vector<std::string>& command) {
        std::vector<std::string> args{"--dir", dir_.string()};
        args.insert(args.end(), command.begin(), command.end());
        return kbtest::RunKbctl(args);
    }
    json RunJson(const std::vector<std::string>& command) {
        const kbtest::KbctlResult r = Run(command);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return json::parse(r.out, nullptr, false);
    }
    fs::path dir_;
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The message after the device trace lines kbctl prints on stderr.
bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST_F(DeviceCliTest, DevicesAndVersionOfTheVirtualKeyboard) {
    const kbtest::KbctlResult none = Run({"version"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(Contains(none.err, "Please insert USB device")) << none.err;
    EXPECT_TRUE(Contains(none.err, "no HID interface matches vid f00d pid beef interface 1")) << none.err;
    EXPECT_EQ(RunJson({"devices"}), json::array());

    ::setenv("KBSTUDIO_VIRTUAL_KEYBOARD", "1", 1);
    const json devices = RunJson({"devices"});
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0]["vid"], "f00d");
    EXPECT_EQ(devices[0]["pid"], "beef");
    EXPECT_EQ(devices[0]["interface"], 1);
    EXPECT_TRUE(devices[0].contains("usagePage") && devices[0].contains("usage") &&
                devices[0].contains("version"));
    EXPECT_EQ(RunJson({"version"}), json::parse(R"({"version": 261, "text": "v1.5"})"));
    ::setenv("KBSTUDIO_VIRTUAL_VERSION", "0x20A", 1);
    EXPECT_EQ(RunJson({"version"}), json::parse(R"({"version": 522, "text": "v2.10"})"));
    ::setenv("KBSTUDIO_VIRTUAL_VERSION", "0", 1);
    EXPECT_EQ(RunJson({"version"}), json::parse(R"({"version": 0, "text": "Early version"})"));
}

TEST_F(DeviceCliTest, EffectAndSideAreStoredSavedAndSent) {
    ::setenv("KBSTUDIO_VIRTUAL_KEYBOARD", "1", 1);
    const kbtest::KbctlResult effect = Run({"effect", "1", "--brightness", "4", "--selection", "2"});
    ASSERT_EQ(effect.exitCode, 0) << effect.err;
    EXPECT_EQ(json::parse(effect.out)["sent"], true);
    // The virtual keyboard traces what it receives: on stderr with -v only, so that 2>&1 stays JSON.
    EXPECT_EQ(effect.err, "");
    const kbtest::KbctlResult traced = Run({"effect", "1", "-v", "--brightness", "4", "--selection", "2"});
    EXPECT_TRUE(Contains(traced.err, "SetFeature 07 FF FF 01 04 00 01 00")) << traced.err;
    EXPECT_EQ(json::parse(traced.out), json::parse(effect.out));

    const kbtest::KbctlResult side = Run({"--verbose", "side", "9", "--level", "6"});
    ASSERT_EQ(side.exitCode, 0) << side.err;
    EXPECT_TRUE(Contains(side.err, "SetFeature 07 FF FF 20 00 00 69 00")) << side.err;

    const kbtest::KbctlResult speed = Run({"effect", "7", "--speed", "2", "--verbose"});
    ASSERT_EQ(speed.exitCode, 0) << speed.err;
    EXPECT_TRUE(Contains(speed.err, "SetFeature 07 FF FF 07 05 02 00 00")) << speed.err;

    const json stored = RunJson({"lighting"});
    EXPECT_EQ(stored["effect"]["sel"], 7);
    EXPECT_EQ(stored["effect"]["items"][1],
              json::parse(R"({"brightness":4,"speed":0,"direction":0,"selection":2})"));
    EXPECT_EQ(stored["effect"]["items"][7]["speed"], 2);
    EXPECT_EQ(stored["side"]["sel"], 9);
    EXPECT_EQ(stored["side"]["levels"][9], 6);

    // Values the lighting page has no control for, and out of range, are refused before anything changes.
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"effect", "0", "--speed", "1"},
                                               {"effect", "5", "--selection", "1"},
                                               {"effect", "20"},
                                               {"effect", "3", "--brightness", "6"},
                                               {"effect", "3", "--bright", "2"},
                                               {"side", "12"},
                                               {"side", "2", "--level", "8"}}) {
        std::vector<std::string> args = bad;
        args.emplace_back("-v");
        const kbtest::KbctlResult r = Run(args);
        EXPECT_EQ(r.exitCode, bad.size() > 2 && bad[2] == "--bright" ? 2 : 1) << bad[0] << " " << bad[1];
        EXPECT_FALSE(Contains(r.err, "SetFeature")) << r.err;
    }
    EXPECT_EQ(RunJson({"lighting"}), stored);

    // Without the keyboard the choice is still saved, and the message says what is missing.
    ::unsetenv("KBSTUDIO_VIRTUAL_KEYBOARD");
    const kbtest::KbctlResult absent = Run({"side", "3"});
    EXPECT_EQ(absent.exitCode, 1);
    EXPECT_TRUE(Contains(absent.err, "saved in")) << absent.err;
    EXPECT_TRUE(Contains(absent.err, "Please insert USB device")) << absent.err;
    EXPECT_EQ(RunJson({"lighting"})["side"]["sel"], 3);
}

TEST_F(DeviceCliTest, FilterRequests) {
    const kbtest::KbctlResult missing = Run({"filter", "reload"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(Contains(missing.err, "no filter socket in " + (dir_ / "sockets").string())) << missing.err;

    ::setenv("KBSTUDIO_VIRTUAL_FILTER", "1", 1);
    EXPECT_EQ(RunJson({"filter", "mode", "0xFFFFFFFF"}),
              json::parse(R"({"request": "set mode", "mode": 4294967295, "path": "virtual:kbfilterd"})"));
    // Nothing to hand over yet: said, not sent.
    const kbtest::KbctlResult noFile = Run({"filter", "reload"});
    EXPECT_EQ(noFile.exitCode, 1);
    EXPECT_TRUE(EndsWith(noFile.err, "kbctl filter: cannot open " + (dir_ / "record.bin").string() +
                                         ": No such file or directory\n"))
        << noFile.err;
    std::ofstream(dir_ / "record.bin", std::ios::binary) << kb::EncodeRecordFile({});
    EXPECT_EQ(RunJson({"filter", "reload"})["request"], "reload assignments");
    const kbtest::KbctlResult refused = Run({"filter", "mode", "5"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(EndsWith(refused.err, "kbctl filter: the daemon refused: refused mode 0x5\n"))
        << refused.err;

    // The same requests reach a daemon's socket byte for byte, the record file handed over with reload,
    // and the daemon's reason comes back.
    ::unsetenv("KBSTUDIO_VIRTUAL_FILTER");
    kbtest::FilterTestServer server(dir_ / "sockets" / "kbfilterd.sock");
    ASSERT_TRUE(server.Listening());
    EXPECT_EQ(RunJson({"filter", "mode", "0"})["path"], (dir_ / "sockets" / "kbfilterd.sock").string());
    EXPECT_EQ(RunJson({"filter", "reload"})["request"], "reload assignments");
    const kbtest::KbctlResult refusedBySocket = Run({"filter", "mode", "5"});
    EXPECT_EQ(refusedBySocket.exitCode, 1);
    EXPECT_TRUE(EndsWith(refusedBySocket.err, "kbctl filter: the daemon refused: refused mode 0x5\n"))
        << refusedBySocket.err;
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].code, kb::filterwire::kSetMode);
    EXPECT_EQ(requests[1].code, kb::filterwire::kReloadAssignments);
    EXPECT_EQ(requests[1].file, kb::EncodeRecordFile({}));
}

TEST_F(DeviceCliTest, FilterMonitorPrintsPushedPressesAndReleases) {
    kbtest::FilterTestServer server(dir_ / "sockets" / "kbfilterd.sock");
    ASSERT_TRUE(server.Listening());
    kbtest::KbctlResult result;
    std::thread run([&] { result = Run({"filter", "monitor", "--count", "4"}); });
    ASSERT_TRUE(server.WaitSubscribers(1));
    // All four at once: a tap of A inside a press of B.
    server.PushAll({{0x30, true}, {0x1E, true}, {0x1E, false}, {0x30, false}});
    run.join();
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::istringstream lines(result.out);
    std::vector<std::string> got;
    for (std::string line; std::getline(lines, line);) {
        got.push_back(line);
    }
    ASSERT_EQ(got.size(), 4u) << result.out;
    const char* expected[][2] = {{"press", "B"}, {"press", "A"}, {"release", "A"}, {"release", "B"}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(Contains(got[i], " ms ")) << got[i];
        EXPECT_TRUE(Contains(got[i], std::string(" ") + expected[i][0] + " ")) << got[i];
        EXPECT_EQ(got[i].substr(got[i].size() - 2), std::string(" ") + expected[i][1]) << got[i];
    }
    EXPECT_LE(server.ReadRequests().size(), 1u) << "kbctl does not poll";
}

}  // namespace
