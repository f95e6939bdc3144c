// The filter engine driven by event scripts with an injected clock: "t=<ms> down|up <key>", "t=<ms> mode
// 0|1|capture", "t=<ms> reload" (switches to the case's second record set) and "t=<ms> end" (stops the
// clock there). The output is what the engine emitted, each event with the time it was emitted at.
#include <linux/input-event-codes.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/Engine.h"
#include "src/KeyNames.h"

// Counts heap allocations so that the per-event paths can be shown to make none.
namespace {
std::atomic<long> gAllocations{0};
}
// Out of line: inlined into an optimised build, GCC pairs malloc and free with the library's operators
// and reports a mismatch.
[[gnu::noinline]] void* operator new(std::size_t n) {
    ++gAllocations;
    if (void* p = std::malloc(n == 0 ? 1 : n)) {
        return p;
    }
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace kb::filterd {
namespace {

using std::chrono::milliseconds;

// Set-1 key codes of the keys used below.
constexpr uint32_t A = 0x1E, B = 0x30, C = 0x2E, X = 0x2D, F1 = 0x3B, F2 = 0x3C, Ctrl = 0x1D, Shift = 0x2A,
                   Esc = 0x01;
constexpr uint32_t VolumeUp = 0x10030;

struct S {
    uint32_t code;
    bool down;
    int32_t delay;
};

KeyRecord Remap(uint32_t from, uint32_t to) {
    KeyRecord r;
    r.code = from;
    r.mode = 1;
    r.kind = 1;
    r.parameter = static_cast<int32_t>(to);
    return r;
}

KeyRecord Play(uint32_t from, int32_t mode, int32_t parameter, std::vector<S> steps) {
    KeyRecord r;
    r.code = from;
    r.mode = mode;
    r.kind = mode;
    r.parameter = parameter;
    for (const S& s : steps) {
        r.steps.push_back({s.code, s.down ? 0 : 1, s.delay, u""});
    }
    return r;
}

class RecordingSink : public IKeySink {
  public:
    Time now{};
    std::vector<std::string> lines;
    void Emit(uint16_t key, bool down) override {
        std::string name = LinuxKeyName(key);
        if (name.rfind("KEY_", 0) == 0) {
            name.erase(0, 4);
        }
        lines.push_back("t=" + std::to_string(now.count() / 1000000) + (down ? " down " : " up ") + name);
    }
};

std::vector<Assignment> Build(const std::vector<KeyRecord>& records) {
    std::vector<std::string> notes;  // checked in the Assignments test
    return BuildAssignments(records, notes);
}

std::string Join(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) {
        out += (out.empty() ? "" : "; ") + l;
    }
    return out;
}

// Runs the script (lines separated by ';') and returns the emitted events.
std::string RunScript(const std::vector<KeyRecord>& records, const std::string& script,
                      const std::vector<KeyRecord>& reloaded = {}) {
    RecordingSink sink;
    Engine engine(sink);
    engine.SetAssignments(Build(records), Time{});
    auto runUntil = [&](Time t) {
        while (auto d = engine.NextDeadline()) {
            if (*d > t) {
                break;
            }
            sink.now = *d;
            engine.Advance(*d);
        }
        sink.now = t;
    };
    bool ended = false;
    std::stringstream lines(script);
    std::string line;
    while (std::getline(lines, line, ';')) {
        std::istringstream in(line);
        std::string t, what, arg;
        in >> t >> what >> arg;
        if (t.empty()) {
            continue;
        }
        const Time now = milliseconds(std::stoi(t.substr(2)));
        runUntil(now);
        if (what == "down" || what == "up") {
            const uint16_t key = LinuxKeyFromName(arg);
            EXPECT_NE(key, 0) << arg;
            engine.OnKey(key, what == "down", now);
        } else if (what == "mode") {
            EXPECT_TRUE(
                engine.SetMode(arg == "capture" ? 0xFFFFFFFFu : static_cast<uint32_t>(std::stoul(arg)), now));
        } else if (what == "reload") {
            engine.SetAssignments(Build(reloaded), now);
        } else if (what == "end") {
            ended = true;
            break;
        } else {
            ADD_FAILURE() << "bad script line: " << line;
        }
    }
    if (!ended) {
        runUntil(milliseconds(100000));
        EXPECT_FALSE(engine.NextDeadline().has_value()) << "a playback still runs at the end of the script";
    }
    return Join(sink.lines);
}

struct Case {
    const char* name;
    std::vector<KeyRecord> records;
    std::string script;
    std::string expected;
    std::vector<KeyRecord> reloaded = {};
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<S> kTapX = {{X, true, 10}, {X, false, 10}};
// A key combination as the assignment page writes it: every key up (delay 1), then every key down.
const std::vector<S> kCombination = {{Ctrl, false, 1}, {Shift, false, 1}, {Esc, false, 1},
                                     {Ctrl, true, 10}, {Shift, true, 20}, {Esc, true, 30}};

class EngineScript : public ::testing::TestWithParam<Case> {};

TEST_P(EngineScript, EmitsExpectedEvents) {
    const Case& c = GetParam();
    EXPECT_EQ(RunScript(c.records, c.script, c.reloaded), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, EngineScript,
    ::testing::Values(
        // Pass-through and single-key records.
        Case{"UnassignedKeysPassThrough",
             {Remap(A, B)},
             "t=0 down C; t=5 down X; t=7 up C; t=9 up X",
             "t=0 down C; t=5 down X; t=7 up C; t=9 up X"},
        Case{"RemapFollowsSourceDownAndUp", {Remap(A, B)}, "t=0 down A; t=50 up A", "t=0 down B; t=50 up B"},
        Case{"RemapToAnExtendedKey",
             {Remap(A, 0x1001D)},
             "t=0 down A; t=5 up A",
             "t=0 down RIGHTCTRL; t=5 up RIGHTCTRL"},
        Case{"RemapTargetAlsoHeldPhysicallyGoesUpWithItsLastHolder",
             {Remap(A, B)},
             "t=0 down B; t=10 down A; t=20 up A; t=30 up B",
             "t=0 down B; t=30 up B"},
        Case{"DuplicateDownIsIgnored",
             {Remap(A, B)},
             "t=0 down A; t=1 down A; t=2 up A; t=3 up A",
             "t=0 down B; t=2 up B"},

        // Modes.
        Case{"ModeZeroPassesAssignedKeys",
             {Remap(A, B), Play(F1, 2, 1, kTapX)},
             "t=0 mode 0; t=1 down A; t=2 up A; t=3 down F1; t=4 up F1",
             "t=1 down A; t=2 up A; t=3 down F1; t=4 up F1"},
        Case{"CaptureDeliversNothing",
             {Remap(A, B)},
             "t=0 mode capture; t=1 down A; t=2 down C; t=3 up C; t=4 up A",
             ""},
        Case{"ModeChangeReleasesRemappedKeyAndItsReleaseDoesNothing",
             {Remap(A, B)},
             "t=0 down A; t=10 mode 0; t=20 up A; t=30 down A; t=40 up A",
             "t=0 down B; t=10 up B; t=30 down A; t=40 up A"},
        Case{"PassThroughKeyHeldIntoCaptureIsStillReleased",
             {},
             "t=0 down C; t=10 mode capture; t=20 up C",
             "t=0 down C; t=20 up C"},
        Case{"KeyHeldFromCaptureStaysSwallowedAfterIt",
             {},
             "t=0 mode capture; t=1 down C; t=2 mode 1; t=3 up C",
             ""},
        Case{"ModeChangeStopsPlayback",
             {Play(F1, 3, 1, kTapX)},
             "t=0 down F1; t=25 mode 0; t=30 up F1",
             "t=0 down X; t=10 up X; t=20 down X; t=25 up X"},

        // Played records, play mode "times".
        Case{"StepsPlayWithTheirDelays",
             {Play(F1, 2, 1, {{X, true, 10}, {X, false, 20}, {C, true, 5}, {C, false, 0}})},
             "t=0 down F1; t=100 up F1",
             "t=0 down X; t=10 up X; t=30 down C; t=35 up C"},
        Case{"ParameterCountsRounds",
             {Play(F1, 2, 3, kTapX)},
             "t=0 down F1; t=1 up F1",
             "t=0 down X; t=10 up X; t=20 down X; t=30 up X; t=40 down X; t=50 up X"},
        // A tap plays the whole macro exactly as a long press does.
        Case{"TappedMacroKeepsItsModifierInEveryRound",
             {Play(F1, 2, 3, {{Shift, true, 20}, {A, true, 20}, {A, false, 20}, {Shift, false, 20}})},
             "t=0 down F1; t=10 up F1",
             "t=0 down LEFTSHIFT; t=20 down A; t=40 up A; t=60 up LEFTSHIFT; t=80 down LEFTSHIFT; t=100 down "
             "A; "
             "t=120 up A; t=140 up LEFTSHIFT; t=160 down LEFTSHIFT; t=180 down A; t=200 up A; t=220 up "
             "LEFTSHIFT"},
        Case{"ParameterBelowOnePlaysOnce",
             {Play(F1, 2, 0, kTapX), Play(F2, 2, -5, kTapX)},
             "t=0 down F1; t=50 up F1; t=100 down F2; t=150 up F2",
             "t=0 down X; t=10 up X; t=100 down X; t=110 up X"},
        Case{"MediaKeyHeldWhileSourceHeld",
             {Play(F1, 2, 1, {{VolumeUp, true, 0}})},
             "t=0 down F1; t=80 up F1",
             "t=0 down VOLUMEUP; t=80 up VOLUMEUP"},
        // What the assignment page writes for a key combination: every key up (delay + 1), then every key
        // down.
        Case{"CombinationHeldWhileSourceHeld",
             {Play(F1, 2, 1, {{Ctrl, false, 1}, {C, false, 1}, {Ctrl, true, 0}, {C, true, 0}})},
             "t=0 down F1; t=100 up F1",
             "t=2 down LEFTCTRL; t=2 down C; t=100 up C; t=100 up LEFTCTRL"},
        // A tapped combination holds its keys for its own delays and lets them go in reverse order.
        Case{"TappedCombinationHeldForItsDelays",
             {Play(F1, 2, 1, kCombination)},
             "t=0 down F1; t=20 up F1",
             "t=3 down LEFTCTRL; t=13 down LEFTSHIFT; t=33 down ESC; t=63 up ESC; t=63 up LEFTSHIFT; t=63 up "
             "LEFTCTRL"},
        Case{"CombinationHeldPastItsDelaysGoesUpAtTheRelease",
             {Play(F1, 2, 1, kCombination)},
             "t=0 down F1; t=100 up F1",
             "t=3 down LEFTCTRL; t=13 down LEFTSHIFT; t=33 down ESC; t=100 up ESC; t=100 up LEFTSHIFT; "
             "t=100 up LEFTCTRL"},
        Case{"CombinationStepUpsDoNotReleaseAPhysicallyHeldKey",
             {Play(F1, 2, 1, {{Ctrl, false, 1}, {C, false, 1}, {Ctrl, true, 0}, {C, true, 0}})},
             "t=0 down LEFTCTRL; t=10 down F1; t=20 up F1; t=30 up LEFTCTRL",
             "t=0 down LEFTCTRL; t=12 down C; t=20 up C; t=30 up LEFTCTRL"},
        Case{"NewPressRestartsAPlayingRecord",
             {Play(F1, 2, 1, {{X, true, 10}, {X, false, 10}, {C, true, 0}, {C, false, 0}})},
             "t=0 down F1; t=1 up F1; t=5 down F1; t=6 up F1",
             "t=0 down X; t=5 up X; t=5 down X; t=15 up X; t=25 down C; t=25 up C"},
        Case{"EmptyStepsPlayNothing",
             {Play(F1, 2, 1, {}), Play(F2, 3, 1, {})},
             "t=0 down F1; t=5 down F2; t=9 up F1; t=9 up F2",
             ""},
        Case{"StepKeyWithoutLinuxKeyKeepsItsDelay",
             {Play(F1, 2, 1, {{0x7F, true, 10}, {X, true, 0}, {X, false, 0}})},
             "t=0 down F1; t=50 up F1",
             "t=10 down X; t=10 up X",
             {}},

        // Play mode "while held" and "toggle".
        Case{"WhileHeldRepeatsUntilRelease",
             {Play(F1, 3, 1, kTapX)},
             "t=0 down F1; t=45 up F1",
             "t=0 down X; t=10 up X; t=20 down X; t=30 up X; t=40 down X; t=45 up X"},
        Case{"WhileHeldReleaseLetsGoInReverseOrderOfPresses",
             {Play(F1, 3, 1, {{Ctrl, true, 0}, {X, true, 50}, {X, false, 0}, {Ctrl, false, 0}})},
             "t=0 down F1; t=20 up F1",
             "t=0 down LEFTCTRL; t=0 down X; t=20 up X; t=20 up LEFTCTRL"},
        Case{"WhileHeldRoundWithoutDelaysRunsOncePerMillisecond",
             {Play(F1, 3, 99, {{X, true, 0}, {X, false, 0}})},
             "t=0 down F1; t=2 up F1",
             "t=0 down X; t=0 up X; t=1 down X; t=1 up X; t=2 down X; t=2 up X"},
        Case{"ToggleRunsUntilPressedAgain",
             {Play(F1, 4, 1, kTapX)},
             "t=0 down F1; t=5 up F1; t=45 down F1; t=50 up F1",
             "t=0 down X; t=10 up X; t=20 down X; t=30 up X; t=40 down X; t=45 up X"},
        Case{
            "TogglePressAfterStopStartsAgain",
            {Play(F1, 4, 1, kTapX)},
            "t=0 down F1; t=1 up F1; t=5 down F1; t=6 up F1; t=7 down F1; t=8 up F1; t=9 down F1; t=10 up F1",
            "t=0 down X; t=5 up X; t=7 down X; t=9 up X"},

        // Overlaps.
        Case{"OtherKeysWorkWhileAMacroPlays",
             {Play(F1, 2, 1, kTapX), Remap(A, B)},
             "t=0 down F1; t=3 down A; t=4 down C; t=5 up C; t=6 up A; t=30 up F1",
             "t=0 down X; t=3 down B; t=4 down C; t=5 up C; t=6 up B; t=10 up X"},
        Case{"TwoPlaybacksShareAKeyWithoutReleasingItForEachOther",
             {Play(F1, 2, 1, {{Shift, true, 30}, {Shift, false, 0}}),
              Play(F2, 2, 1, {{Shift, true, 10}, {X, true, 0}, {X, false, 0}, {Shift, false, 0}})},
             "t=0 down F1; t=5 down F2; t=100 up F1; t=100 up F2",
             "t=0 down LEFTSHIFT; t=15 down X; t=15 up X; t=30 up LEFTSHIFT"},
        Case{"StepsDueAtTheSameTimeKeepStartOrder",
             {Play(F1, 2, 1, {{X, true, 10}}), Play(F2, 2, 1, {{C, true, 5}})},
             "t=0 down F1; t=5 down F2; t=50 up F1; t=50 up F2",
             "t=0 down X; t=5 down C; t=50 up X; t=50 up C"},

        // Reloads.
        Case{"ReloadMidMacroStopsItAndReleasesItsKeys",
             {Play(F1, 4, 1, kTapX)},
             "t=0 down F1; t=5 reload; t=10 up F1; t=20 down F1; t=25 up F1",
             "t=0 down X; t=5 up X; t=20 down B; t=25 up B",
             {Remap(F1, B)}},
        Case{"ReloadReleasesHeldRemapAndTheNewRecordAppliesToTheNextPress",
             {Remap(A, B)},
             "t=0 down A; t=10 reload; t=20 up A; t=30 down A; t=40 up A",
             "t=0 down B; t=10 up B; t=30 down C; t=40 up C",
             {Remap(A, C)}},
        Case{"ReloadKeepsPassThroughKeysDown",
             {},
             "t=0 down X; t=10 reload; t=20 up X",
             "t=0 down X; t=20 up X",
             {Remap(X, B)}},

        // The panic chord stops everything, also physically held keys, and their releases do nothing.
        Case{"PanicChordReleasesEverything",
             {Play(F1, 4, 1, {{Shift, true, 10}, {X, true, 10}, {X, false, 0}})},
             "t=0 down F1; t=1 up F1; t=3 down A; t=12 down BACKSPACE; t=13 down ESC; t=14 down ENTER; "
             "t=15 up ENTER; t=16 up ESC; t=17 up BACKSPACE; t=18 up A; t=19 down C; t=20 up C",
             "t=0 down LEFTSHIFT; t=3 down A; t=10 down X; t=12 down BACKSPACE; t=13 down ESC; t=14 up ESC; "
             "t=14 up BACKSPACE; t=14 up A; t=14 up LEFTSHIFT; t=14 up X; t=19 down C; t=20 up C"},
        // ... and ends a mode that swallows or unmaps keys, so that the keyboard always comes back.
        Case{"PanicChordEndsCapture",
             {Remap(A, B)},
             "t=0 mode capture; t=1 down BACKSPACE; t=2 down ESC; t=3 down ENTER; t=4 up ENTER; t=5 up ESC; "
             "t=6 up BACKSPACE; t=10 down A; t=11 up A",
             "t=10 down B; t=11 up B"},
        Case{"PanicChordEndsModeZero",
             {Remap(A, B)},
             "t=0 mode 0; t=1 down BACKSPACE; t=2 down ESC; t=3 down ENTER; t=4 up ENTER; t=5 up ESC; "
             "t=6 up BACKSPACE; t=10 down A; t=11 up A",
             "t=1 down BACKSPACE; t=2 down ESC; t=3 up ESC; t=3 up BACKSPACE; t=10 down B; t=11 up B"},
        // A client sending the mode it already has (each dialog does) must not cut a macro short.
        Case{"ResendingTheModeLeavesAPlayingMacroAlone",
             {Play(F1, 4, 1, kTapX)},
             "t=0 down F1; t=1 up F1; t=15 mode 1; t=25 mode 1; t=30 down F1; t=31 up F1",
             "t=0 down X; t=10 up X; t=20 down X; t=30 up X"}),
    [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

// The engine as the daemon holds it, with a sink that only counts.
class CountingSink : public IKeySink {
  public:
    long events = 0;
    void Emit(uint16_t, bool) override { ++events; }
};

TEST(Engine, KeyEventsAndPlaybackMakeNoAllocation) {
    CountingSink sink;
    Engine engine(sink);
    engine.SetAssignments(Build({Remap(A, B), Play(F1, 2, 1, kCombination)}), Time{});
    const long before = gAllocations.load();
    for (int i = 0; i < 1000; ++i) {
        const Time t = milliseconds(100 * i);
        engine.OnKey(KEY_A, true, t);
        engine.OnKey(KEY_C, true, t);
        engine.OnKey(KEY_A, false, t);
        engine.OnKey(KEY_C, false, t);
        engine.OnKey(KEY_F1, true, t);
        engine.OnKey(KEY_F1, false, t);
        engine.Advance(t + milliseconds(99));  // the combination's keys go down and up
    }
    EXPECT_EQ(gAllocations.load() - before, 0);
    EXPECT_EQ(sink.events, 1000 * (4 + 6));
}

TEST(Engine, HeldKeysArePhysicalKeysInPressOrderInEveryMode) {
    CountingSink sink;
    Engine engine(sink);
    engine.SetAssignments(Build({Remap(A, B)}), Time{});
    std::vector<uint32_t> held(256, 0xDEAD);
    const auto heldNow = [&] {
        engine.HeldKeyCodes(held);
        return std::vector<uint32_t>(held.begin(), held.begin() + 4);
    };

    engine.OnKey(KEY_RIGHTCTRL, true, Time{});
    engine.OnKey(KEY_A, true, Time{});
    engine.OnKey(KEY_PAUSE, true, Time{});
    EXPECT_EQ(heldNow(), (std::vector<uint32_t>{0x1001D, A, 0x45, 0}));
    EXPECT_TRUE(std::all_of(held.begin() + 3, held.end(), [](uint32_t v) { return v == 0; }));

    engine.OnKey(KEY_A, false, Time{});
    ASSERT_TRUE(engine.SetMode(Engine::kModeCapture, Time{}));
    engine.OnKey(KEY_NUMLOCK, true, Time{});
    engine.OnKey(KEY_FN, true, Time{});  // no key code: not reported
    EXPECT_EQ(heldNow(), (std::vector<uint32_t>{0x1001D, 0x45, 0x10045, 0}));

    engine.KeyboardGone();
    EXPECT_EQ(heldNow(), (std::vector<uint32_t>{0, 0, 0, 0}));
    EXPECT_FALSE(engine.IsEmitted(KEY_RIGHTCTRL));
}

TEST(Engine, UnknownModeChangesNothing) {
    CountingSink sink;
    Engine engine(sink);
    engine.SetAssignments(Build({Remap(A, B)}), Time{});
    engine.OnKey(KEY_A, true, Time{});
    EXPECT_FALSE(engine.SetMode(2, Time{}));
    EXPECT_EQ(engine.Mode(), Engine::kModeNormal);
    EXPECT_TRUE(engine.IsEmitted(KEY_B));
}

TEST(Engine, ReleaseAllLeavesNothingDown) {
    RecordingSink sink;
    Engine engine(sink);
    engine.SetAssignments(Build({Remap(A, B), Play(F1, 4, 1, {{Shift, true, 5}, {X, true, 5}})}), Time{});
    engine.OnKey(KEY_A, true, Time{});
    engine.OnKey(KEY_C, true, Time{});
    engine.OnKey(KEY_F1, true, Time{});
    engine.Advance(milliseconds(7));
    sink.lines.clear();
    engine.ReleaseAll();
    EXPECT_EQ(Join(sink.lines), "t=0 up LEFTSHIFT; t=0 up X; t=0 up C; t=0 up B");
    EXPECT_FALSE(engine.NextDeadline().has_value());
    engine.OnKey(KEY_A, false, milliseconds(8));
    engine.OnKey(KEY_C, false, milliseconds(8));
    EXPECT_EQ(sink.lines.size(), 4u);
}

TEST(Engine, LateWakeUpResumesFromNowInsteadOfBursting) {
    RecordingSink sink;
    Engine engine(sink);
    engine.SetAssignments(Build({Play(F1, 3, 1, kTapX)}), Time{});
    engine.OnKey(KEY_F1, true, Time{});
    sink.now = milliseconds(5000);
    engine.Advance(milliseconds(5000));
    EXPECT_EQ(Join(sink.lines), "t=0 down X; t=5000 up X");
    EXPECT_EQ(engine.NextDeadline(), milliseconds(5010));
}

// Up to kMaxLag behind, every missed step still plays (at once, in order); further behind, the playback
// goes on from now.
TEST(Engine, AStallCatchesUpToTheLagLimitAndResumesBeyondIt) {
    struct Stall {
        int ms;
        std::size_t emitted;  // by the macro up to the wake-up, the first step at t=0 included
        int nextDeadlineMs;
    };
    for (const Stall& stall : {Stall{105, 11, 110}, Stall{110, 12, 120}, Stall{111, 2, 121},
                               Stall{500, 2, 510}, Stall{999, 2, 1009}}) {
        SCOPED_TRACE(stall.ms);
        RecordingSink sink;
        Engine engine(sink);
        engine.SetAssignments(Build({Play(F1, 4, 1, kTapX)}), Time{});
        engine.OnKey(KEY_F1, true, Time{});
        sink.now = milliseconds(stall.ms);
        engine.Advance(milliseconds(stall.ms));
        EXPECT_EQ(sink.lines.size(), stall.emitted) << Join(sink.lines);
        EXPECT_EQ(engine.NextDeadline(), milliseconds(stall.nextDeadlineMs));
    }
}

TEST(Assignments, RecordsThatCannotBeCarriedOutAreLeftOutWithAReason) {
    std::vector<std::string> notes;
    const auto a =
        BuildAssignments(std::vector<KeyRecord>{Remap(0x7F, B), Remap(A, 0x10077), Play(C, 0, 1, {}),
                                                Remap(X, B), Remap(X, C), Play(F1, 7, 2, kTapX)},
                         notes);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].source, KEY_X);
    EXPECT_EQ(a[0].target, KEY_B);
    EXPECT_EQ(a[1].play, PlayMode::Times);
    EXPECT_EQ(a[1].repeat, 2);
    ASSERT_EQ(notes.size(), 5u);
    EXPECT_NE(notes[0].find("no such key"), std::string::npos);
    EXPECT_NE(notes[1].find("target"), std::string::npos);
    EXPECT_NE(notes[2].find("mode 0"), std::string::npos);
    EXPECT_NE(notes[3].find("earlier record"), std::string::npos);
    EXPECT_NE(notes[4].find("unknown mode 7"), std::string::npos);
}

TEST(Assignments, ANegativeDelayIsNoWait) {
    std::vector<std::string> notes;
    const auto a =
        BuildAssignments(std::vector<KeyRecord>{Play(F1, 2, 1, {{X, true, -5}, {X, false, 20}})}, notes);
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(a[0].steps.size(), 2u);
    EXPECT_EQ(a[0].steps[0].delayMs, 0u);
    EXPECT_EQ(a[0].steps[1].delayMs, 20u);
    EXPECT_EQ(a[0].roundMs, 20u);
}

}  // namespace
}  // namespace kb::filterd
