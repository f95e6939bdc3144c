// The daemon as users and attackers meet it: quick taps, record files others could have placed, clients
// that connect and say nothing, signals, and command lines and scripts with values out of reach.
#include <memory>

#include "DaemonProcess.h"

namespace {

using namespace kb::filterd::testing;

kb::KeyRecord Played(uint32_t from, int32_t repeat, std::vector<kb::MacroStep> steps) {
    kb::KeyRecord r;
    r.code = from;
    r.kind = kb::kKindMacro;
    r.mode = 2;
    r.parameter = repeat;
    r.steps = std::move(steps);
    return r;
}

TEST_F(DaemonEndToEnd, TappedMacroAndCombinationPlayToTheirEnd) {
    // Shift+A three times, and Ctrl+Shift+Esc as the assignment page writes a combination.
    WriteRecords({Played(F1, 3, {{Shift, 0, 20, u""}, {A, 0, 20, u""}, {A, 1, 20, u""}, {Shift, 1, 20, u""}}),
                  Played(F2, 1,
                         {{Ctrl, 1, 1, u""},
                          {Shift, 1, 1, u""},
                          {Esc, 1, 1, u""},
                          {Ctrl, 0, 10, u""},
                          {Shift, 0, 20, u""},
                          {Esc, 0, 30, u""}})});
    Client client(Socket());
    ASSERT_EQ(client.Request(fw::kReloadAssignments).status, fw::Status::Ok);

    const std::string tap = "down F1\nup F1\n";
    ASSERT_EQ(::write(stdin_, tap.data(), tap.size()), static_cast<ssize_t>(tap.size()));
    const Lines shiftA = {"down KEY_LEFTSHIFT", "down KEY_A", "up KEY_A", "up KEY_LEFTSHIFT"};
    Lines threeTimes;
    for (int i = 0; i < 3; ++i) {
        threeTimes.insert(threeTimes.end(), shiftA.begin(), shiftA.end());
    }
    EXPECT_EQ(ReadLines(threeTimes.size()), threeTimes);

    const std::string chord = "down F2\nup F2\n";
    ASSERT_EQ(::write(stdin_, chord.data(), chord.size()), static_cast<ssize_t>(chord.size()));
    EXPECT_EQ(ReadLines(6), (Lines{"down KEY_LEFTCTRL", "down KEY_LEFTSHIFT", "down KEY_ESC", "up KEY_ESC",
                                   "up KEY_LEFTSHIFT", "up KEY_LEFTCTRL"}));
    EXPECT_EQ(Type(""), Lines{});
}

TEST_F(DaemonEndToEnd, RecordFilesOthersCouldPlaceAreRefused) {
    Client client(Socket());
    const fs::path folder = records_.parent_path();

    // A link in the file's place, even to a file that would pass.
    const fs::path real = dir_ / "real.bin";
    fs::rename(records_, real);
    fs::create_symlink(real, records_);
    EXPECT_EQ(client.Request(fw::kReloadAssignments).status, fw::Status::Failed);
    EXPECT_NE(Log().find("it is a symbolic link"), std::string::npos) << Log();
    fs::remove(records_);
    WriteRecords({Remap(A, C)});

    // A folder above the file's own that every user may write: someone could rename the file's folder.
    fs::permissions(dir_, fs::perms::all);
    EXPECT_EQ(client.Request(fw::kReloadAssignments).status, fw::Status::Failed);
    EXPECT_NE(Log().find("its folder " + dir_.string() + " is writable by every user"), std::string::npos)
        << Log();
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_B", "up KEY_B"}));  // the old assignments stay

    // With the sticky bit only the owner may rename what is in it.
    fs::permissions(dir_, fs::perms::all | fs::perms::sticky_bit);
    EXPECT_EQ(client.Request(fw::kReloadAssignments).status, fw::Status::Ok) << Log();
    EXPECT_EQ(Type("down A\nup A\n"), (Lines{"down KEY_C", "up KEY_C"}));
    EXPECT_TRUE(fs::exists(folder));
}

TEST_F(DaemonEndToEnd, SilentClientsDoNotLockOthersOut) {
    std::vector<std::unique_ptr<Client>> silent;
    for (std::size_t i = 0; i < 16; ++i) {
        silent.push_back(std::make_unique<Client>(Socket()));
        ASSERT_TRUE(silent.back()->Connected());
    }
    // The first speaks, so the second is the one quiet the longest.
    EXPECT_EQ(silent[0]->SetMode(fw::kModeNormal), fw::Status::Ok);

    Client late(Socket());
    ASSERT_TRUE(late.Connected());
    EXPECT_EQ(late.HeldKeys(), std::vector<uint32_t>{});
    EXPECT_TRUE(silent[1]->ReadReply().closed);
    EXPECT_EQ(silent[0]->SetMode(fw::kModeNormal), fw::Status::Ok);
    EXPECT_NE(Log().find("dropped the client quiet the longest"), std::string::npos) << Log();
}

TEST_F(DaemonEndToEnd, HangUpReloadsTheRecordFile) {
    EXPECT_EQ(Type("down A\n"), (Lines{"down KEY_B"}));
    WriteRecords({Remap(A, C)});
    ASSERT_EQ(::kill(pid_, SIGHUP), 0);
    // The reload lets go of the remapped key; the next press follows the new file.
    EXPECT_EQ(Type("up A\ndown A\nup A\n"), (Lines{"up KEY_B", "down KEY_C", "up KEY_C"}));
    EXPECT_NE(Log().find("reloading"), std::string::npos) << Log();
}

class DaemonStopSignal : public DaemonEndToEnd, public ::testing::WithParamInterface<int> {};

TEST_P(DaemonStopSignal, ReleasesHeldKeysAndRemovesTheSocket) {
    EXPECT_EQ(Type("down A\ndown C\n"), (Lines{"down KEY_B", "down KEY_C"}));
    ASSERT_EQ(::kill(pid_, GetParam()), 0);
    EXPECT_EQ(ReadToEnd(), (Lines{"up KEY_C", "up KEY_B"}));
    int status = 0;
    ASSERT_EQ(::waitpid(pid_, &status, 0), pid_);
    pid_ = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Log();
    EXPECT_FALSE(fs::exists(Socket()));
}

INSTANTIATE_TEST_SUITE_P(Signals, DaemonStopSignal, ::testing::Values(SIGTERM, SIGINT, SIGQUIT),
                         [](const ::testing::TestParamInfo<int>& p) {
                             return std::string(sigabbrev_np(p.param));
                         });

TEST(DaemonCommandLine, ValuesOutOfReachAreRefusedWithAReason) {
    char pattern[] = "/tmp/kbfilterd_cli_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    const std::vector<std::string> common = {"--records",
                                             (dir / "record.bin").string(),
                                             "--socket-dir",
                                             (dir / "sock").string(),
                                             "--print",
                                             "--script",
                                             "-"};

    // A uid without an account could never enter the socket's folder.
    std::vector<std::string> args = {"--user", "4242424"};
    args.insert(args.end(), common.begin(), common.end());
    RunResult r = RunDaemon(args, "");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--user 4242424: no user has uid 4242424"), std::string::npos) << r.err;

    // A time beyond the script's reach is skipped with its line number, not fired at once.
    r = RunDaemon(common, "down c\nt=10228806888068 down x\nup c\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "down KEY_C\nup KEY_C\n");
    EXPECT_NE(r.err.find("script line 2: time \"t=10228806888068\" is beyond"), std::string::npos) << r.err;
    fs::remove_all(dir);
}

// Usage errors name the argument and exit 2; runtime failures exit 1; help and version go to stdout.
TEST(DaemonCommandLine, HelpVersionUsageErrorsAndRuntimeFailures) {
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string out;  // the start of stdout
        std::string err;  // the start of stderr; for a runtime failure, a line in it
    };
    const std::string hint = "\nTry 'kbfilterd --help' for more information.\n";
    for (const Row& row : std::vector<Row>{
             {{"--help"}, 0, "usage: kbfilterd [options]\n", ""},
             {{"-h"}, 0, "usage: kbfilterd [options]\n", ""},
             {{"--version"}, 0, "kbfilterd " KBFILTERD_VERSION "\n", ""},
             {{"--bogus"}, 2, "", "kbfilterd: unknown option --bogus" + hint},
             {{"--bogus=1"}, 2, "", "kbfilterd: unknown option --bogus" + hint},
             {{"foo"}, 2, "", "kbfilterd: unexpected argument foo" + hint},
             {{"--records"}, 2, "", "kbfilterd: --records needs a value" + hint},
             {{"--records="}, 2, "", "kbfilterd: --records needs a value" + hint},
             {{"--state-dir", "a", "--state-dir=b"}, 2, "", "kbfilterd: --state-dir given twice" + hint},
             {{"--vid", "zz"}, 2, "", "kbfilterd: --vid zz: give a hexadecimal number up to FFFF" + hint},
             {{"--group", "no-such-group-kbstudio"},
              2,
              "",
              "kbfilterd: --group no-such-group-kbstudio: no such group" + hint},
             {{"--script", "/nonexistent/script", "--print"},
              1,
              "",
              "kbfilterd: cannot open the script /nonexistent/script: No such file or directory\n"},
             {{"--records", "/nonexistent/record.bin", "--script", "-", "--print", "--socket-dir",
               "/dev/null"},
              1,
              "",
              "kbfilterd: the socket folder /dev/null is not a folder"},
         }) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        const RunResult r = RunDaemon(row.args, "");
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_EQ(r.out.substr(0, row.out.size()), row.out);
        if (row.status == 1) {
            EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;  // after what the start logged
        } else {
            EXPECT_EQ(r.err.substr(0, row.err.size()), row.err);
        }
        if (row.status != 0) {
            EXPECT_TRUE(r.out.empty()) << r.out;
        }
    }
}

// Every option the help names is in the manual page.
TEST(DaemonCommandLine, TheManualPageHasEveryOptionOfTheHelp) {
    const RunResult help = RunDaemon({"--help"}, "");
    std::ifstream in(KBFILTERD_MAN_PAGE);
    const std::string page(std::istreambuf_iterator<char>(in), {});
    ASSERT_FALSE(page.empty());
    std::size_t options = 0;
    // Options start a word: "--state-dir", "-h"; a hyphen inside a word is none. (A plain scan: <regex>
    // trips a false maybe-uninitialized warning in the sanitizer build.)
    const std::string& text = help.out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool wordStart = i == 0 || text[i - 1] == ' ' || text[i - 1] == '\n' || text[i - 1] == '\t' ||
                               text[i - 1] == ',' || text[i - 1] == '(';
        if (!wordStart || text[i] != '-') {
            continue;
        }
        std::size_t end = i + 1;
        if (end < text.size() && text[end] == '-') {
            ++end;
        }
        if (end >= text.size() || text[end] < 'a' || text[end] > 'z') {
            continue;
        }
        while (end < text.size() && ((text[end] >= 'a' && text[end] <= 'z') || text[end] == '-')) {
            ++end;
        }
        const std::string name = text.substr(i, end - i);
        std::string escaped;
        for (const char c : name) {
            escaped += c == '-' ? std::string("\\-") : std::string(1, c);
        }
        ++options;
        EXPECT_NE(page.find(escaped), std::string::npos) << name << " is not in kbfilterd.8";
        i = end;
    }
    EXPECT_GT(options, 10u);
}

}  // namespace
