#include <windows.h>
// windows.h first: the headers below rely on its types.
#include <setupapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "kb/device/FilterChannel.h"
#include "kb/device/HidDevice.h"
#include "kb/device/HidDiscovery.h"

namespace kb {
namespace {

std::u16string ToU16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

// The HID interfaces the system lists, read here independently of the code under test.
std::vector<std::u16string> SystemHidPaths() {
    GUID hidClass{};
    hidClass.Data1 = kHidInterfaceClass.data1;
    hidClass.Data2 = kHidInterfaceClass.data2;
    hidClass.Data3 = kHidInterfaceClass.data3;
    std::copy(std::begin(kHidInterfaceClass.data4), std::end(kHidInterfaceClass.data4), hidClass.Data4);
    std::vector<std::u16string> paths;
    HDEVINFO set = SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return paths;
    }
    SP_DEVICE_INTERFACE_DATA entry{};
    entry.cbSize = sizeof entry;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hidClass, i, &entry); ++i) {
        std::vector<DWORD> buffer(1024);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (SetupDiGetDeviceInterfaceDetailW(set, &entry, detail, static_cast<DWORD>(buffer.size() * 4),
                                             nullptr, nullptr)) {
            paths.push_back(ToU16(detail->DevicePath));
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

// Every HID interface the system lists either parses, and is then found by a search for its own vendor
// and product with the same identity, or is left out. Wine lists virtual devices of its own (or none), so
// no count is assumed.
TEST(HidWin32Test, EnumerationFindsExactlyTheParsableInterfacesOfTheRequestedIdentity) {
    const std::vector<std::u16string> system = SystemHidPaths();
    std::printf("the system lists %zu HID interface(s)\n", system.size());
    for (const std::u16string& path : system) {
        HidPathIds ids;
        if (!ParseHidPath(path, ids)) {
            continue;  // not a USB HID path: never listed, whatever the request
        }
        const HidMatch match{ids.vid, {ids.pid}, -1, -1};
        const std::vector<HidInterfaceInfo> found = EnumHidInterfaces(match);
        std::vector<std::u16string> expected;
        for (const std::u16string& other : system) {
            if (MatchesHidPath(match, other)) {
                expected.push_back(other);
            }
        }
        std::vector<std::u16string> listed;
        for (const HidInterfaceInfo& info : found) {
            listed.push_back(info.path);
            EXPECT_EQ(info.classGuid, kHidInterfaceClass);
            EXPECT_EQ(info.vid, ids.vid);
            EXPECT_EQ(info.pid, ids.pid);
        }
        EXPECT_EQ(listed, expected) << "in the system's order";
    }

    // An identity nobody has: an empty list, no error.
    EXPECT_TRUE(EnumHidInterfaces(HidMatch{0x7FFF, {0x7FFE}, 0, 1}).empty());
    // No vendor and no product: nothing, without asking the system.
    EXPECT_TRUE(EnumHidInterfaces(HidMatch{}).empty());
}

TEST(HidWin32Test, NeverOpenedDeviceFailsWithoutASystemCall) {
    HidDevice device;
    Report report{7, 1, 2, 3, 4, 5, 6, 7};
    // The first round creates the named locks (which sets the last error); in the second, a device
    // request that reached the system and failed would replace the thread's last error.
    EXPECT_FALSE(device.GetFeature(report));
    EXPECT_FALSE(device.SetFeature(report));
    EXPECT_EQ(device.Write(report), 0);
    SetLastError(0x1234);
    EXPECT_FALSE(device.GetFeature(report));
    EXPECT_FALSE(device.SetFeature(report));
    EXPECT_EQ(device.Write(report), 0);
    EXPECT_EQ(GetLastError(), 0x1234u);
    EXPECT_EQ(device.GetState(), HidDevice::State::Closed);
}

TEST(HidWin32Test, OpeningAMissingPathGivesTheFailedState) {
    HidDevice device;
    EXPECT_FALSE(
        device.Open(u"\\\\?\\hid#vid_7fff&pid_7ffe&mi_00#0&0&0&0#{4d1e55b2-f16f-11cf-88cb-001111000030}"));
    EXPECT_EQ(device.GetState(), HidDevice::State::Failed);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_NE(device.LastError(), 0);
    device.Close();
    EXPECT_EQ(device.GetState(), HidDevice::State::Failed) << "Close leaves a failed open as it is";
    Report report{7};
    EXPECT_FALSE(device.GetFeature(report));
    EXPECT_FALSE(device.SetFeature(report));
    EXPECT_FALSE(device.OpenByIds(HidMatch{0x7FFF, {0x7FFE}, -1, -1}));
    EXPECT_EQ(device.GetState(), HidDevice::State::Failed) << "no match: the current state is kept";
}

// A temporary file stands in for a device that accepts overlapped writes but knows no HID requests.
class TempFile {
  public:
    TempFile() {
        wchar_t folder[MAX_PATH];
        wchar_t name[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"kbw", 0, name);
        path_ = name;
    }
    ~TempFile() { DeleteFileW(path_.c_str()); }
    const std::wstring& Path() const { return path_; }

  private:
    std::wstring path_;
};

TEST(HidWin32Test, OverlappedWriteAndReopenOnAFile) {
    TempFile file;
    HidDevice device;
    ASSERT_TRUE(device.Open(ToU16(file.Path())));
    EXPECT_EQ(device.Capabilities(), HidCapabilities{}) << "a file has no HID capabilities";
    const Report report{7, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    EXPECT_EQ(device.Write(report), 8);
    Report feature{7};
    EXPECT_FALSE(device.GetFeature(feature));
    EXPECT_FALSE(device.SetFeature(report));
    EXPECT_FALSE(DeleteFileW(file.Path().c_str())) << "still open without delete sharing";

    // The next open closes the file first, although that open then fails.
    EXPECT_FALSE(device.Open(u"\\\\?\\hid#vid_7fff&pid_7ffe#missing"));
    EXPECT_EQ(device.GetState(), HidDevice::State::Failed);
    HANDLE check = CreateFileW(file.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(check, INVALID_HANDLE_VALUE) << "exclusive open works only when nothing else holds the file";
    char bytes[16] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(check, bytes, sizeof bytes, &read, nullptr));
    CloseHandle(check);
    ASSERT_EQ(read, 8u);
    EXPECT_EQ(std::memcmp(bytes, report.data(), 8), 0);
}

// A pipe with no buffer keeps a write pending until the other end reads: a device that does not answer.
TEST(HidWin32Test, TimedOutWriteIsCancelledBeforeTheNextWrite) {
    const wchar_t* name = L"\\\\.\\pipe\\kbstudio-test-hid-write";
    HANDLE server =
        CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    HidDevice device;
    ASSERT_TRUE(device.Open(u"\\\\.\\pipe\\kbstudio-test-hid-write"));
    const Report first{7, 1, 1, 1, 1, 1, 1, 1};
    const int32_t written = device.Write(first);
    if (written != 0) {
        CloseHandle(server);
        GTEST_SKIP() << "this system buffers pipe writes, so no write stays pending";
    }
    // The cancelled request never delivered its bytes.
    DWORD available = 1;
    ASSERT_TRUE(PeekNamedPipe(server, nullptr, 0, nullptr, &available, nullptr));
    EXPECT_EQ(available, 0u);

    // The next write reuses the request block and buffer: the reader must get exactly its bytes.
    const Report second{7, 2, 2, 2, 2, 2, 2, 2};
    Report received{};
    DWORD read = 0;
    std::thread reader([&] { ReadFile(server, received.data(), 8, &read, nullptr); });
    EXPECT_EQ(device.Write(second), 8);
    reader.join();
    EXPECT_EQ(read, 8u);
    EXPECT_EQ(received, second);
    device.Close();
    CloseHandle(server);
}

TEST(HidWin32Test, FilterChannelWithoutTheDriverSkipsEveryRequest) {
    KbFiltrDevice::FilterChannel channel;
    EXPECT_FALSE(channel.OpenChannel());
    EXPECT_EQ(channel.LastOpenError(), KbFiltrDevice::FilterOpenError::NoInterface);
    EXPECT_FALSE(channel.SetFilterMode(1));
    EXPECT_FALSE(channel.ReloadAssignments());
    KbFiltrDevice::FilterChannel::HeldKeys keys{};
    EXPECT_EQ(channel.ReadHeldKeys(keys), 0u);
}

}  // namespace
}  // namespace kb
