// hidraw discovery, feature reports and hot-plug events against sysfs trees and device nodes faked by
// umockdev. The program re-runs itself under umockdev's preload library when started without it.
#include "kb/common/Utf.h"
#include "kb/device/DeviceWatcher.h"
#include "kb/device/HidDevice.h"
#include "kb/device/HidDiscovery.h"

#include <gtest/gtest.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <umockdev.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kb {
namespace {

using Bytes = std::vector<uint8_t>;

}  // namespace

// umockdev_in_mock_environment() answers false in some containers although the preload works; the
// environment variable is what the preload library is loaded by.
bool PreloadActive() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload != nullptr &&
           std::string_view(preload).find("libumockdev-preload") != std::string_view::npos;
}

// Readable failures for event lists.
void PrintTo(const DeviceEvent& event, std::ostream* out) {
    *out << (event.kind == DeviceEventKind::Arrival ? "arrival " : "removal ") << Utf16ToUtf8(event.path);
}

namespace {

// Report descriptors. Vendor collection: one 8-byte feature report and a 4-byte output report, ID 7.
const Bytes kVendor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x07, 0x75, 0x08, 0x95,
                       0x07, 0x09, 0x02, 0xB1, 0x02, 0x95, 0x04, 0x09, 0x03, 0x91, 0x02, 0xC0};
const Bytes kKeyboard = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0xC0};
// Consumer control holding a logical collection: nested, so still one top-level collection.
const Bytes kConsumerNested = {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x09, 0x01,
                               0xA1, 0x02, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0, 0xC0};
const Bytes kMouse = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x02,
                      0x75, 0x08, 0x95, 0x03, 0x81, 0x06, 0xC0};

Bytes Concat(std::initializer_list<const Bytes*> parts) {
    Bytes all;
    for (const Bytes* part : parts) {
        all.insert(all.end(), part->begin(), part->end());
    }
    return all;
}

struct FeatureScript {
    std::mutex mutex;
    bool fail = false;
    Bytes answer = {0x07, 0x01, 0x05, 0, 0, 0, 0, 0};
    std::vector<Bytes> received;
};

gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
    auto* script = static_cast<FeatureScript*>(user);
    const gulong request = umockdev_ioctl_client_get_request(client);
    if (request != HIDIOCGFEATURE(8) && request != HIDIOCSFEATURE(8)) {
        return FALSE;
    }
    std::lock_guard guard(script->mutex);
    if (script->fail) {
        umockdev_ioctl_client_complete(client, -1, EPIPE);
        return TRUE;
    }
    GError* error = nullptr;
    UMockdevIoctlData* data =
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, 8, &error);
    if (data == nullptr) {
        g_clear_error(&error);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return TRUE;
    }
    if (request == HIDIOCSFEATURE(8)) {
        script->received.emplace_back(data->data, data->data + 8);
    } else {
        std::copy(script->answer.begin(), script->answer.end(), data->data);
    }
    g_object_unref(data);
    umockdev_ioctl_client_complete(client, 8, 0);
    return TRUE;
}

class HidrawTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(PreloadActive());
        testbed_ = umockdev_testbed_new();
    }
    void TearDown() override { g_object_unref(testbed_); }

    // A USB device with one HID interface node per descriptor; returns the hidraw syspaths. `bus` is the
    // HID bus: "0005" makes Bluetooth keyboards behind a USB adapter.
    std::vector<std::string> AddUsbDevice(const char* usbName, const char* vid, const char* pid,
                                          const std::vector<Bytes>& descriptors, int firstNode,
                                          const char* bus = "0003") {
        gchar* usb =
            umockdev_testbed_add_device(testbed_, "usb", usbName, nullptr, "idVendor", vid, "idProduct", pid,
                                        "bcdDevice", "0105", nullptr, "DEVTYPE", "usb_device", nullptr);
        std::vector<std::string> nodes;
        for (std::size_t i = 0; i < descriptors.size(); ++i) {
            const std::string ifName = std::string(usbName) + ":1." + std::to_string(i);
            const std::string number = "0" + std::to_string(i);
            gchar* iface =
                umockdev_testbed_add_device(testbed_, "usb", ifName.c_str(), usb, "bInterfaceNumber",
                                            number.c_str(), nullptr, "DEVTYPE", "usb_interface", nullptr);
            const std::string hidName =
                std::string(bus) + ":" + vid + ":" + pid + "." + std::to_string(firstNode);
            const std::string hidId = std::string(bus) + ":0000" + vid + ":0000" + pid;
            gchar* hid = umockdev_testbed_add_device(testbed_, "hid", hidName.c_str(), iface, nullptr,
                                                     "HID_ID", hidId.c_str(), nullptr);
            Bytes descriptor = descriptors[i];
            umockdev_testbed_set_attribute_binary(testbed_, hid, "report_descriptor", descriptor.data(),
                                                  static_cast<gint>(descriptor.size()));
            const std::string name = "hidraw" + std::to_string(firstNode);
            const std::string devname = "/dev/" + name;
            gchar* raw = umockdev_testbed_add_device(testbed_, "hidraw", name.c_str(), hid, "dev", "240:0",
                                                     nullptr, "DEVNAME", devname.c_str(), nullptr);
            // add_device makes no node file; a plain file stands for the node (the feature ioctls are
            // served by the handler that AttachFeatures installs).
            gchar* root = umockdev_testbed_get_root_dir(testbed_);
            const std::string dir = std::string(root) + "/dev";
            g_free(root);
            g_mkdir_with_parents(dir.c_str(), 0755);
            g_file_set_contents((dir + "/" + name).c_str(), "", 0, nullptr);
            nodes.emplace_back(raw);
            g_free(raw);
            g_free(hid);
            g_free(iface);
            ++firstNode;
        }
        g_free(usb);
        return nodes;
    }

    void AttachFeatures(const char* devnode, FeatureScript& script) {
        UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
        g_signal_connect(handler, "handle-ioctl", G_CALLBACK(HandleIoctl), &script);
        GError* error = nullptr;
        ASSERT_TRUE(umockdev_testbed_attach_ioctl(testbed_, devnode, handler, &error))
            << (error != nullptr ? error->message : "");
        g_object_unref(handler);
    }

    UMockdevTestbed* testbed_ = nullptr;
};

std::vector<std::string> Paths(const std::vector<HidInterfaceInfo>& list) {
    std::vector<std::string> paths;
    for (const HidInterfaceInfo& info : list) {
        paths.push_back(Utf16ToUtf8(info.path));
    }
    return paths;
}

TEST_F(HidrawTest, ListsEachTopLevelCollectionInSystemOrder) {
    AddUsbDevice("1-1", "1209", "A1E5",
                 {kKeyboard, Concat({&kVendor, &kConsumerNested}), Concat({&kKeyboard, &kVendor, &kMouse})},
                 0);
    AddUsbDevice("1-2", "FFFF", "A1E5", {kKeyboard}, 3);  // other vendor, same product

    HidMatch match;
    match.vid = 0x1209;
    const std::vector<HidInterfaceInfo> all = EnumHidInterfaces(match);
    EXPECT_EQ(Paths(all), (std::vector<std::string>{
                              "/dev/hidraw0#hid#vid_1209&pid_a1e5&mi_00",
                              "/dev/hidraw1#hid#vid_1209&pid_a1e5&mi_01&col01",
                              "/dev/hidraw1#hid#vid_1209&pid_a1e5&mi_01&col02",
                              "/dev/hidraw2#hid#vid_1209&pid_a1e5&mi_02&col01",
                              "/dev/hidraw2#hid#vid_1209&pid_a1e5&mi_02&col02",
                              "/dev/hidraw2#hid#vid_1209&pid_a1e5&mi_02&col03",
                          }));
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[1].usagePage, 0xFF00);
    EXPECT_EQ(all[1].usage, 0x01);
    EXPECT_EQ(all[2].usagePage, 0x0C);  // the nested logical collection is not a top-level one
    EXPECT_EQ(all[5].usagePage, 0x01);
    EXPECT_EQ(all[5].usage, 0x02);
    for (const HidInterfaceInfo& info : all) {
        EXPECT_EQ(info.version, 0x105);
        EXPECT_EQ(info.vid, 0x1209);
        EXPECT_EQ(info.pid, 0xA1E5);
    }

    // vid 0 with a product list matches every vendor; the other vendor's node comes last, as listed.
    HidMatch anyVendor;
    anyVendor.pids = {0xA1E5};
    anyVendor.interfaceNumber = 0;
    EXPECT_EQ(Paths(EnumHidInterfaces(anyVendor)), (std::vector<std::string>{
                                                       "/dev/hidraw0#hid#vid_1209&pid_a1e5&mi_00",
                                                       "/dev/hidraw3#hid#vid_ffff&pid_a1e5&mi_00",
                                                   }));

    HidMatch exact;
    exact.vid = 0x1209;
    exact.pids = {0xA1E5};
    exact.interfaceNumber = 2;
    exact.collection = 2;
    const std::vector<HidInterfaceInfo> one = EnumHidInterfaces(exact);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(Utf16ToUtf8(one[0].path), "/dev/hidraw2#hid#vid_1209&pid_a1e5&mi_02&col02");
    EXPECT_EQ(one[0].usagePage, 0xFF00);

    HidMatch none;
    none.pids = {0x1234};
    EXPECT_TRUE(EnumHidInterfaces(none).empty());
    EXPECT_TRUE(EnumHidInterfaces(HidMatch{}).empty());
}

TEST_F(HidrawTest, OnlyUsbHidDevicesTakeTheUsbInterfaceAndVersion) {
    // A Bluetooth keyboard whose adapter sits on USB: the adapter's interface and version are not its own.
    AddUsbDevice("1-1", "1209", "B001", {kKeyboard}, 0, "0005");
    AddUsbDevice("1-2", "1209", "B002", {kKeyboard}, 1);
    HidMatch match;
    match.vid = 0x1209;
    const std::vector<HidInterfaceInfo> all = EnumHidInterfaces(match);
    EXPECT_EQ(Paths(all), (std::vector<std::string>{
                              "/dev/hidraw0#hid#vid_1209&pid_b001",
                              "/dev/hidraw1#hid#vid_1209&pid_b002&mi_00",
                          }));
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].version, 0);
    EXPECT_EQ(all[1].version, 0x105);
}

TEST_F(HidrawTest, CollectionNumbersAbove255AreWrittenWhole) {
    Bytes many;
    for (int i = 0; i < 257; ++i) {
        many.insert(many.end(), kKeyboard.begin(), kKeyboard.end());
    }
    AddUsbDevice("1-1", "1209", "A1E5", {many}, 0);
    HidMatch match;
    match.vid = 0x1209;
    const std::vector<std::string> paths = Paths(EnumHidInterfaces(match));
    ASSERT_EQ(paths.size(), 257u);
    EXPECT_EQ(paths[0], "/dev/hidraw0#hid#vid_1209&pid_a1e5&mi_00&col01");
    EXPECT_EQ(paths[254], "/dev/hidraw0#hid#vid_1209&pid_a1e5&mi_00&colff");
    EXPECT_EQ(paths[255], "/dev/hidraw0#hid#vid_1209&pid_a1e5&mi_00&col100");
    EXPECT_EQ(paths[256], "/dev/hidraw0#hid#vid_1209&pid_a1e5&mi_00&col101");
}

TEST_F(HidrawTest, FeatureReportsReachTheNodeAndFailuresAreReported) {
    AddUsbDevice("1-1", "1209", "A1E5", {kKeyboard, kVendor}, 0);
    FeatureScript script;
    AttachFeatures("/dev/hidraw1", script);

    HidDevice device;
    HidMatch match;
    match.vid = 0x1209;
    match.interfaceNumber = 1;
    uint16_t version = 0;
    ASSERT_TRUE(device.OpenByIds(match, &version));
    EXPECT_EQ(version, 0x105);
    EXPECT_EQ(device.NodePath(), "/dev/hidraw1");
    EXPECT_EQ(device.Capabilities(), (HidCapabilities{0xFF00, 0x01, 0, 5, 8}));

    Report request{0x07, 0xF1};
    ASSERT_TRUE(device.SetFeature(request));
    ASSERT_TRUE(device.GetFeature(request));
    EXPECT_EQ(request, (Report{0x07, 0x01, 0x05, 0, 0, 0, 0, 0}));
    {
        std::lock_guard guard(script.mutex);
        ASSERT_EQ(script.received.size(), 1u);
        EXPECT_EQ(script.received[0], (Bytes{0x07, 0xF1, 0, 0, 0, 0, 0, 0}));
        script.fail = true;
    }
    EXPECT_FALSE(device.SetFeature(request));
    EXPECT_FALSE(device.GetFeature(request));

    device.Close();
    EXPECT_EQ(device.GetState(), HidDevice::State::Closed);
    EXPECT_FALSE(device.SetFeature(request));
}

TEST_F(HidrawTest, OpenFailureKeepsTheErrorAndClosesTheOldNode) {
    AddUsbDevice("1-1", "1209", "A1E5", {kVendor}, 0);
    HidDevice device;
    ASSERT_TRUE(device.Open(u"/dev/hidraw0#hid#vid_1209&pid_a1e5&mi_00"));
    EXPECT_FALSE(device.Open(u"/dev/hidraw7#hid#vid_1209&pid_a1e5&mi_00"));
    EXPECT_EQ(device.GetState(), HidDevice::State::Failed);
    EXPECT_EQ(device.LastError(), ENOENT);
    EXPECT_EQ(device.NodePath(), "/dev/hidraw7");
    Report report{0x07};
    EXPECT_FALSE(device.GetFeature(report));
    device.Close();  // a failed open stays failed until the next open
    EXPECT_EQ(device.GetState(), HidDevice::State::Failed);

    // No match: the current state is left alone.
    ASSERT_TRUE(device.Open(u"/dev/hidraw0#hid#vid_1209&pid_a1e5&mi_00"));
    HidMatch other;
    other.vid = 0x4444;
    uint16_t version = 0xBEEF;
    EXPECT_FALSE(device.OpenByIds(other, &version));
    EXPECT_TRUE(device.IsOpen());
    EXPECT_EQ(version, 0xBEEF);
}

std::string NodeFile(UMockdevTestbed* testbed, const std::string& devnode) {
    gchar* root = umockdev_testbed_get_root_dir(testbed);
    std::string file = std::string(root) + devnode;
    g_free(root);
    return file;
}

TEST_F(HidrawTest, WriteSendsEightBytesOrTheShorterOutputReport) {
    AddUsbDevice("1-1", "1209", "A1E5", {kVendor, kKeyboard}, 0);
    const Report reset{0x07, 0xF0, 0xAA, 1, 2, 3, 4, 5};
    struct Case {
        const char16_t* path;
        const char* node;
        int32_t expected;
    };
    // Output report of 4 bytes + ID; no output report at all.
    for (const Case& c : {Case{u"/dev/hidraw0#hid#vid_1209&pid_a1e5&mi_00", "/dev/hidraw0", 5},
                          Case{u"/dev/hidraw1#hid#vid_1209&pid_a1e5&mi_01", "/dev/hidraw1", 8}}) {
        HidDevice device;
        ASSERT_TRUE(device.Open(c.path));
        EXPECT_EQ(device.Write(reset), c.expected);
        device.Close();
        gchar* contents = nullptr;
        gsize length = 0;
        ASSERT_TRUE(g_file_get_contents(NodeFile(testbed_, c.node).c_str(), &contents, &length, nullptr));
        EXPECT_EQ(Bytes(contents, contents + length), Bytes(reset.begin(), reset.begin() + c.expected));
        g_free(contents);
    }
    HidDevice never;
    EXPECT_EQ(never.Write(reset), 0);
}

std::vector<DeviceEvent> WaitForEvents(DeviceWatcher& watcher, std::size_t count) {
    std::vector<DeviceEvent> events;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (events.size() < count && std::chrono::steady_clock::now() < giveUp) {
        pollfd fd{static_cast<int>(watcher.PollHandle()), POLLIN, 0};
        poll(&fd, 1, 100);
        for (DeviceEvent& event : watcher.ProcessPending()) {
            events.push_back(std::move(event));
        }
    }
    return events;
}

TEST_F(HidrawTest, WatcherNamesArrivalsAndRemovalsEvenAfterSysfsIsGone) {
    const std::vector<std::string> present =
        AddUsbDevice("1-1", "1209", "A1E5", {Concat({&kVendor, &kMouse})}, 0);
    DeviceWatcher watcher;
    ASSERT_TRUE(watcher.Start());
    ASSERT_GE(watcher.PollHandle(), 0);

    // Adding a device to the testbed sends its "add" uevent.
    AddUsbDevice("1-2", "1209", "B000", {kKeyboard}, 1);
    EXPECT_EQ(
        WaitForEvents(watcher, 1),
        (std::vector<DeviceEvent>{{DeviceEventKind::Arrival, u"/dev/hidraw1#hid#vid_1209&pid_b000&mi_00"}}));

    // The node known since Start goes: its tree is removed before the watcher reads the event.
    umockdev_testbed_uevent(testbed_, present[0].c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, present[0].c_str());
    EXPECT_EQ(WaitForEvents(watcher, 2),
              (std::vector<DeviceEvent>{
                  {DeviceEventKind::Removal, u"/dev/hidraw0#hid#vid_1209&pid_a1e5&mi_00&col01"},
                  {DeviceEventKind::Removal, u"/dev/hidraw0#hid#vid_1209&pid_a1e5&mi_00&col02"},
              }));
    watcher.Stop();
    EXPECT_EQ(watcher.PollHandle(), -1);
}

}  // namespace
}  // namespace kb

int main(int argc, char** argv) {
    // The fakes need umockdev's preload library; run again under it when it is missing.
    if (!kb::PreloadActive() && std::getenv("KB_UMOCKDEV_REEXEC") == nullptr) {
        setenv("KB_UMOCKDEV_REEXEC", "1", 1);
        const char* old = std::getenv("LD_PRELOAD");
        const std::string preload =
            std::string("libumockdev-preload.so.0") + (old != nullptr ? std::string(":") + old : "");
        setenv("LD_PRELOAD", preload.c_str(), 1);
        execv("/proc/self/exe", argv);
        return 127;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
