// Every file the program writes, saved over and over by a child process that is killed with SIGKILL at
// random points: each file must always read as one whole version, and no temporary file may pile up.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "kb/keys/KeyRecordTable.h"
#include "kb/lighting/LedEffectConfig.h"
#include "kb/lighting/SideLightConfig.h"
#include "kb/macros/MacroLibrary.h"

namespace fs = std::filesystem;

namespace {

const std::array<const char*, 4> kFiles = {"ledeffect.xml", "sidemodel.xml", "macro.xml", "record.bin"};

// The four settings objects over one folder.
struct Settings {
    kb::LedEffectConfig led;
    kb::SideLightConfig side;
    kb::MacroLibrary macros;
    kb::KeyRecordTable records;

    explicit Settings(const fs::path& dir) {
        led.Load(dir / kFiles[0]);
        side.Load(dir / kFiles[1]);
        macros.Load(dir / kFiles[2]);
        records.LoadRecords(dir / kFiles[3]);
    }

    // Version 0 or 1 of every file, set absolutely so that the bytes depend on the version alone. The
    // versions differ in size, so a torn write cannot pass for either.
    bool Apply(int version) {
        led.GetItem(0)->brightness = version == 0 ? 1 : 4;
        led.GetItem(3)->speed = static_cast<uint8_t>(version + 1);
        side.GetItem(2)->level = version == 0 ? 2 : 6;
        macros.groups.clear();
        for (int g = 0; g < 3 + 5 * version; ++g) {
            kb::MacroGroup group;
            group.name = u"Group " + std::u16string(1, static_cast<char16_t>(u'A' + g));
            for (int s = 0; s < 40; ++s) {
                group.AppendStep(0x1E, s % 2, 10 + s, u"A");
            }
            macros.groups.push_back(group);
        }
        kb::KeyRecord record;
        record.code = 0x3B;
        record.mode = 2;
        record.parameter = 1;
        record.keyName = u"F1";
        for (int s = 0; s < 20 + 200 * version; ++s) {
            kb::KeyRecordTable::AddStep(record, 0x1E, s % 2, 5, u"A");
        }
        // Appending saves at once, with this version's record: no other state is ever written.
        records.RemoveRecord(record.code);
        return records.SetRecord(record) == kb::SetRecordResult::Appended;
    }

    bool SaveAll() { return led.Save() && side.Save() && macros.Save() && records.SaveRecords(); }

    // Saves file f (in kFiles order).
    bool Save(std::size_t f) {
        switch (f) {
            case 0:
                return led.Save();
            case 1:
                return side.Save();
            case 2:
                return macros.Save();
            default:
                return records.SaveRecords();
        }
    }
};

std::vector<std::string> TemporaryFiles(const fs::path& dir) {
    std::vector<std::string> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".")) {
            found.push_back(name);
        }
    }
    return found;
}

// Saves both versions in turn for ever, telling the parent on `progress` after each file.
[[noreturn]] void SaveForEver(const fs::path& dir, int progress) {
    Settings settings(dir);
    for (int round = 0;; ++round) {
        if (!settings.Apply(round % 2)) {
            _exit(5);
        }
        for (std::size_t f = 0; f < kFiles.size(); ++f) {
            if (!settings.Save(f)) {
                _exit(3);
            }
            const char tick = 1;
            if (::write(progress, &tick, 1) != 1) {
                _exit(4);
            }
        }
    }
}

// A folder in memory where there is one: the kills test what a process leaves behind, which does not
// depend on the disk, and saves there are quick enough to strike at every point of one.
class KillDir {
  public:
    KillDir() {
        const fs::path shm = "/dev/shm";
        std::error_code ec;
        const fs::path base = fs::is_directory(shm, ec) ? shm : fs::temp_directory_path();
        path_ = base / ("kbtest_kill_" + std::to_string(::getpid()));
        fs::remove_all(path_, ec);
        fs::create_directories(path_);
    }
    ~KillDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    KillDir(const KillDir&) = delete;
    KillDir& operator=(const KillDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const char* name) const { return path_ / name; }

  private:
    fs::path path_;
};

TEST(SavesUnderSigkill, EveryFileAlwaysReadsWholeAndNoTemporaryFileStays) {
    kbtest::ScratchDir reference;
    KillDir dir;
    // The bytes of both versions, and the folder's first state (version 0).
    std::array<std::array<std::string, 4>, 2> versions;
    {
        Settings settings(reference.path());
        for (int v = 0; v < 2; ++v) {
            ASSERT_TRUE(settings.Apply(v));
            ASSERT_TRUE(settings.SaveAll());
            for (std::size_t f = 0; f < kFiles.size(); ++f) {
                versions[v][f] = kbtest::ReadFile(reference / kFiles[f]);
            }
        }
        Settings first(dir.path());
        ASSERT_TRUE(first.Apply(0));
        ASSERT_TRUE(first.SaveAll());
    }
    for (std::size_t f = 0; f < kFiles.size(); ++f) {
        ASSERT_NE(versions[0][f], versions[1][f]) << kFiles[f];
        ASSERT_EQ(kbtest::ReadFile(dir / kFiles[f]), versions[0][f]) << kFiles[f];
    }

    std::mt19937 random(20261210);
    constexpr int kKills = 300;
    for (int kill = 0; kill < kKills; ++kill) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            SaveForEver(dir.path(), pipeFds[1]);
        }
        ::close(pipeFds[1]);
        // Strike at a random point: after 0 to 7 finished saves (two rounds) and a random part of the next
        // (a save takes well under a millisecond in memory).
        const int saves = static_cast<int>(random() % 8);
        char tick = 0;
        for (int r = 0; r < saves; ++r) {
            ASSERT_EQ(::read(pipeFds[0], &tick, 1), 1) << "the saving process stopped";
        }
        ::usleep(static_cast<useconds_t>(random() % 1000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(pipeFds[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving process ended by itself: status " << status;

        for (std::size_t f = 0; f < kFiles.size(); ++f) {
            const std::string bytes = kbtest::ReadFile(dir / kFiles[f]);
            ASSERT_TRUE(bytes == versions[0][f] || bytes == versions[1][f])
                << kFiles[f] << " is neither version after kill " << kill << " (" << bytes.size()
                << " bytes)";
        }
        // A kill between naming a finished temporary and renaming it may leave one per file, until the
        // next save of that file sweeps it away; they never pile up.
        ASSERT_LE(TemporaryFiles(dir.path()).size(), kFiles.size()) << "after kill " << kill;
    }

    // Each file loads, and one more save of everything leaves no temporary file at all.
    Settings last(dir.path());
    EXPECT_EQ(last.records.Records().size(), 1u) << last.records.LastError();
    EXPECT_FALSE(last.macros.groups.empty());
    ASSERT_TRUE(last.SaveAll());
    EXPECT_EQ(TemporaryFiles(dir.path()), std::vector<std::string>{});
}

}  // namespace
