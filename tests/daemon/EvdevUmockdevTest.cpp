// EvdevInput against umockdev's faked sysfs, udev events and evdev ioctls: which event nodes it takes for
// the keyboard, when it grabs them, and how it follows the keyboard going away and coming back.
// Runs under umockdev's preload library (ctest starts it through umockdev-wrapper).
#include <linux/input.h>
#include <poll.h>
#include <termios.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "src/EvdevInput.h"
#include "src/UinputOutput.h"

namespace kb::filterd {

void PrintTo(const EvdevInput::NodeState& n, std::ostream* os) {
    *os << n.node << (n.grabbed ? " (grabbed)" : "");
}

namespace {

bool UnderPreload() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload != nullptr && std::strstr(preload, "umockdev") != nullptr;
}

struct FakeNode {
    std::string name;  // eventN
    uint16_t vendor = 0;
    uint16_t product = 0;
    std::string deviceName = "USB Keyboard";
    bool keys = true;            // has EV_KEY (letters)
    std::vector<uint16_t> held;  // keys down when the node is opened
};

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char buf[3];
    for (uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        out += buf;
    }
    return out;
}

std::vector<uint8_t> Bits(std::size_t size, const std::vector<unsigned>& set) {
    std::vector<uint8_t> out(size, 0);
    for (unsigned bit : set) {
        out[bit / 8] = static_cast<uint8_t>(out[bit / 8] | (1u << (bit % 8)));
    }
    return out;
}

// The ioctl answers libevdev asks for when it opens a node, in umockdev's ioctl record format. umockdev
// answers a variable-length request only when the recorded data has exactly the requested length, so
// each size below is the buffer libevdev passes (a bitmap of longs per event type, 255-byte strings).
std::string IoctlRecord(const FakeNode& n) {
    const std::vector<uint8_t> id = {0x03,
                                     0x00,
                                     static_cast<uint8_t>(n.vendor & 0xFF),
                                     static_cast<uint8_t>(n.vendor >> 8),
                                     static_cast<uint8_t>(n.product & 0xFF),
                                     static_cast<uint8_t>(n.product >> 8),
                                     0x11,
                                     0x01};
    std::vector<uint8_t> name(n.deviceName.begin(), n.deviceName.end());
    name.resize(255, 0);
    std::vector<unsigned> keyBits;
    std::vector<unsigned> types = {EV_SYN, EV_REL};
    std::vector<unsigned> relBits = {REL_X, REL_Y};
    if (n.keys) {
        types = {EV_SYN, EV_KEY, EV_MSC};
        relBits = {};
        keyBits = {KEY_ESC, KEY_A, KEY_B, KEY_ENTER, KEY_LEFTSHIFT};
    }
    std::vector<uint8_t> keyState(KEY_CNT / 8, 0);
    for (uint16_t k : n.held) {
        keyState[k / 8] = static_cast<uint8_t>(keyState[k / 8] | (1u << (k % 8)));
    }
    std::string r;
    r += "EVIOCGVERSION 0 01000100\n";
    r += "EVIOCGID 0 " + Hex(id) + "\n";
    r += "EVIOCGNAME(0) " + std::to_string(n.deviceName.size() + 1) + " " + Hex(name) + "\n";
    r += "EVIOCGPHYS(0) 1 " + Hex(std::vector<uint8_t>(255, 0)) + "\n";
    r += "EVIOCGUNIQ(0) 1 " + Hex(std::vector<uint8_t>(255, 0)) + "\n";
    r += "EVIOCGPROP(0) 8 " + Hex(std::vector<uint8_t>(8, 0)) + "\n";
    r += "EVIOCGBIT(0) 8 " + Hex(Bits(8, types)) + "\n";
    struct TypeBits {
        unsigned type;
        std::size_t size;
        std::vector<unsigned> set;
    };
    const TypeBits perType[] = {
        {EV_KEY, KEY_CNT / 8, keyBits},
        {EV_REL, 8, relBits},
        {EV_ABS, 8, {}},
        {EV_MSC, 8, n.keys ? std::vector<unsigned>{MSC_SCAN} : std::vector<unsigned>{}},
        {EV_SW, 8, {}},
        {EV_LED, 8, {}},
        {EV_SND, 8, {}},
        {EV_FF, 16, {}}};
    for (const TypeBits& t : perType) {
        r += "EVIOCGBIT(" + std::to_string(t.type) + ") " + std::to_string(t.size) + " " +
             Hex(Bits(t.size, t.set)) + "\n";
    }
    r += "EVIOCGKEY(0) 96 " + Hex(keyState) + "\n";
    r += "EVIOCGLED(0) 8 " + Hex(std::vector<uint8_t>(8, 0)) + "\n";
    r += "EVIOCGSW(0) 8 " + Hex(std::vector<uint8_t>(8, 0)) + "\n";
    return r;
}

class Events : public IInputEvents {
  public:
    std::vector<std::string> log;
    void OnKey(uint16_t key, bool down, Time) override {
        log.push_back((down ? "down " : "up ") + std::to_string(key));
    }
    void OnKeyboardGone(Time) override { log.push_back("gone"); }
    void OnMark(std::string_view) override {}
};

class EvdevUmockdev : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!UnderPreload()) {
            GTEST_SKIP() << "needs umockdev's preload (run through umockdev-wrapper)";
        }
        bed_ = umockdev_testbed_new();
    }
    void TearDown() override {
        if (bed_ != nullptr) {
            g_object_unref(bed_);
        }
    }

    // Adds the node to sysfs and /dev (umockdev makes a device node only for a device given in its record
    // format); returns its sysfs path.
    std::string Add(const FakeNode& n) {
        const std::string devname = "/dev/input/" + n.name;
        const std::string minor = std::to_string(64 + nextMinor_++);
        const std::string syspath = "/sys/devices/virtual/input/input" + minor + "/" + n.name;
        const std::string description =
            "P: " + syspath.substr(4) + "\nN: input/" + n.name + "\nE: DEVNAME=" + devname +
            "\nE: SUBSYSTEM=input\nE: MAJOR=13\nE: MINOR=" + minor + "\nA: dev=13:" + minor + "\n";
        GError* error = nullptr;
        EXPECT_TRUE(umockdev_testbed_add_from_string(bed_, description.c_str(), &error))
            << (error != nullptr ? error->message : "");
        if (error != nullptr) {
            g_error_free(error);
            error = nullptr;
        }

        gchar* root = umockdev_testbed_get_root_dir(bed_);
        const std::string record = std::string(root) + "/" + n.name + ".ioctl";
        g_free(root);
        std::ofstream(record) << IoctlRecord(n);
        EXPECT_TRUE(umockdev_testbed_load_ioctl(bed_, devname.c_str(), record.c_str(), &error))
            << (error != nullptr ? error->message : "");
        if (error != nullptr) {
            g_error_free(error);
        }
        return syspath;
    }

    // Feeds key events to the node as the kernel would hand them to its reader.
    void Press(const std::string& name, uint16_t key, int value) {
        const int master = umockdev_testbed_get_dev_fd(bed_, ("/dev/input/" + name).c_str());
        ASSERT_GE(master, 0);
        termios raw{};
        ASSERT_EQ(tcgetattr(master, &raw), 0);
        cfmakeraw(&raw);  // event bytes must pass the pseudo-terminal untouched
        ASSERT_EQ(tcsetattr(master, TCSANOW, &raw), 0);
        const input_event events[] = {
            {{}, EV_MSC, MSC_SCAN, 0x70004}, {{}, EV_KEY, key, value}, {{}, EV_SYN, 0, 0}};
        // One write: the reading end gets the three events together.
        ASSERT_EQ(::write(master, events, sizeof events), static_cast<ssize_t>(sizeof events));
    }

    UMockdevTestbed* bed_ = nullptr;
    int nextMinor_ = 0;
};

using Nodes = std::vector<EvdevInput::NodeState>;

// Polls the input's descriptors with `timeoutMs`; true when one of them has something to read.
bool Readable(const EvdevInput& input, int timeoutMs) {
    std::vector<pollfd> fds;
    input.AppendPollFds(fds);
    return ::poll(fds.data(), fds.size(), timeoutMs) > 0;
}

// Waits until the input has something to read (udev events, key events, a node going away) and lets it
// take it. The limit only keeps a broken build from hanging; false when nothing arrived by then.
bool ServiceWhenReady(EvdevInput& input, IInputEvents& events) {
    if (!Readable(input, 10000)) {
        return false;
    }
    input.Service(events, Time{0});
    return true;
}

// Services the input as its descriptors become readable until `events` has logged `count` lines.
::testing::AssertionResult ServiceUntilLogged(EvdevInput& input, Events& events, std::size_t count) {
    while (events.log.size() < count) {
        if (!ServiceWhenReady(input, events)) {
            return ::testing::AssertionFailure() << "only " << events.log.size() << " events arrived";
        }
    }
    return ::testing::AssertionSuccess();
}

TEST_F(EvdevUmockdev, TakesEveryEventNodeWithKeysOfTheKeyboard) {
    Add({"event2", 0x1209, 0xA1E5, "Keyboard", true, {}});
    Add({"event3", 0x1209, 0xA1E5, "Keyboard Mouse", false, {}});     // same keyboard, no keys
    Add({"event4", 0x1209, 0xA1E6, "Other keyboard", true, {}});      // another product
    Add({"event5", 0x1209, 0xA1E5, kVirtualKeyboardName, true, {}});  // the daemon's own output
    Add({"event6", 0x1209, 0xA1E5, "Keyboard Consumer", true, {}});   // second interface
    Add({"mouse0", 0x1209, 0xA1E5, "Keyboard", true, {}});            // not an event node

    struct Case {
        int32_t vendor;
        int32_t product;
        std::vector<std::string> nodes;
    };
    const Case cases[] = {
        {0x1209, 0xA1E5, {"/dev/input/event2", "/dev/input/event6"}},
        {0x1209, 0, {"/dev/input/event2", "/dev/input/event4", "/dev/input/event6"}},
        {0xFFFF, 0xA1E5, {}},
    };
    for (const Case& c : cases) {
        EvdevInput input(c.vendor, c.product);
        std::string error;
        ASSERT_TRUE(input.Open(error)) << error;
        std::vector<std::string> found;
        for (const auto& n : input.Nodes()) {
            found.push_back(n.node);
        }
        std::sort(found.begin(), found.end());  // enumeration order is sysfs order
        EXPECT_EQ(found, c.nodes) << std::hex << c.vendor << ":" << c.product;
    }
}

TEST_F(EvdevUmockdev, GrabsOnlyOnceNoKeyIsHeld) {
    Add({"event2", 0x1209, 0xA1E5, "Keyboard", true, {}});
    Add({"event3", 0x1209, 0xA1E5, "Keyboard 2", true, {KEY_ENTER}});  // Enter still down from a shell
    EvdevInput input(0x1209, 0xA1E5);
    std::string error;
    ASSERT_TRUE(input.Open(error)) << error;
    Events events;
    input.Service(events, Time{0});
    Nodes nodes = input.Nodes();
    std::sort(nodes.begin(), nodes.end(), [](const auto& a, const auto& b) { return a.node < b.node; });
    EXPECT_EQ(nodes, (Nodes{{"/dev/input/event2", true}, {"/dev/input/event3", false}}));

    // Enter's release is read, but the kernel still reports a key down (this fake's key state stays as
    // recorded, like a key pressed between the read and the grab): the system saw that press, so the
    // node must stay with it until the key is up.
    Press("event3", KEY_ENTER, 0);
    ASSERT_TRUE(ServiceWhenReady(input, events));
    EXPECT_FALSE(Readable(input, 0));  // the release was read, not left waiting
    nodes = input.Nodes();
    std::sort(nodes.begin(), nodes.end(), [](const auto& a, const auto& b) { return a.node < b.node; });
    EXPECT_EQ(nodes, (Nodes{{"/dev/input/event2", true}, {"/dev/input/event3", false}}));
    EXPECT_TRUE(events.log.empty());
}

TEST_F(EvdevUmockdev, FollowsTheKeyboardAwayAndBack) {
    EvdevInput input(0x1209, 0xA1E5);
    std::string error;
    ASSERT_TRUE(input.Open(error)) << error;
    EXPECT_TRUE(input.Nodes().empty());

    Events events;
    const std::string sys = Add({"event7", 0x1209, 0xA1E5, "Keyboard", true, {}});
    umockdev_testbed_uevent(bed_, sys.c_str(), "add");
    ASSERT_TRUE(ServiceWhenReady(input, events));
    EXPECT_EQ(input.Nodes(), (Nodes{{"/dev/input/event7", true}}));

    // Keys read after the grab are handed on; one still held when the keyboard goes away is released.
    Press("event7", KEY_A, 1);
    Press("event7", KEY_A, 2);  // autorepeat is left to the output device
    Press("event7", KEY_A, 0);
    Press("event7", KEY_B, 1);
    ASSERT_TRUE(ServiceUntilLogged(input, events, 3));
    EXPECT_EQ(events.log, (std::vector<std::string>{"down 30", "up 30", "down 48"}));
    events.log.clear();

    umockdev_testbed_uevent(bed_, sys.c_str(), "remove");
    umockdev_testbed_remove_device(bed_, sys.c_str());
    ASSERT_TRUE(ServiceUntilLogged(input, events, 2));
    EXPECT_TRUE(input.Nodes().empty());
    EXPECT_EQ(events.log, (std::vector<std::string>{"up 48", "gone"}));

    const std::string again = Add({"event8", 0x1209, 0xA1E5, "Keyboard", true, {}});
    umockdev_testbed_uevent(bed_, again.c_str(), "add");
    ASSERT_TRUE(ServiceWhenReady(input, events));
    EXPECT_EQ(input.Nodes(), (Nodes{{"/dev/input/event8", true}}));
}

}  // namespace
}  // namespace kb::filterd
