#include "HidChannel.h"
#include "HidrawNode_linux.h"
#include "TimedWriter.h"
#include "kb/common/UniqueFd.h"
#include "kb/common/Utf.h"

#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <utility>

namespace kb {
namespace {

long WriteAll(int fd, const uint8_t* data, std::size_t length, int& error) {
    ssize_t written = -1;
    do {
        written = ::write(fd, data, length);
    } while (written < 0 && errno == EINTR);
    error = written < 0 ? errno : 0;
    return static_cast<long>(written);
}

class HidrawChannel final : public HidChannel {
  public:
    // The descriptor is shared with the writer's worker: a write still stuck when the channel goes keeps
    // it open (so its number cannot be reused under the write), and the last owner closes it.
    HidrawChannel(UniqueFd fd, HidCapabilities capabilities)
        : fd_(std::make_shared<const UniqueFd>(std::move(fd))),
          capabilities_(capabilities),
          writer_([fd = fd_](const uint8_t* data, std::size_t length, int& error) {
              return WriteAll(fd->Get(), data, length, error);
          }) {}

    intptr_t Handle() const override { return fd_->Get(); }
    HidCapabilities Capabilities() const override { return capabilities_; }

    std::optional<std::size_t> GetFeature(Report& report) override {
        const int received = ::ioctl(fd_->Get(), HIDIOCGFEATURE(kReportSize), report.data());
        if (received < 0) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(received);
    }

    bool SetFeature(const Report& report) override {
        Report copy = report;  // the request takes a non-const buffer
        return ::ioctl(fd_->Get(), HIDIOCSFEATURE(kReportSize), copy.data()) >= 0;
    }

    HidWriteResult Write(const uint8_t* data, std::size_t length,
                         std::chrono::milliseconds timeout) override {
        return writer_.Write(data, length, timeout);
    }

  private:
    std::shared_ptr<const UniqueFd> fd_;
    HidCapabilities capabilities_;
    TimedWriter writer_;
};

int OpenFlags(uint32_t access) {
    const bool read = (access & 0x80000000u) != 0;
    const bool write = (access & 0x40000000u) != 0;
    const int mode = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    return mode | O_CLOEXEC;
}

// Usage and report lengths of the collection the path names, from the node's report descriptor.
HidCapabilities ReadCapabilities(const std::string& devnode, int32_t collection) {
    HidCapabilities capabilities;
    udev* context = udev_new();
    if (context == nullptr) {
        return capabilities;
    }
    udev_device* device = HidrawDeviceForNode(context, devnode);
    std::vector<uint8_t> descriptor;
    if (device != nullptr && ReadReportDescriptor(device, descriptor)) {
        const std::vector<HidTopLevelCollection> collections = ParseReportDescriptor(descriptor);
        const std::size_t index = collection > 0 ? static_cast<std::size_t>(collection) - 1 : 0;
        if (index < collections.size()) {
            const HidTopLevelCollection& c = collections[index];
            capabilities = {c.usagePage, c.usage, c.inputReportLength, c.outputReportLength,
                            c.featureReportLength};
        }
    }
    if (device != nullptr) {
        udev_device_unref(device);
    }
    udev_unref(context);
    return capabilities;
}

}  // namespace

HidOpenResult OpenSystemHidChannel(std::u16string_view path, uint32_t access) {
    HidOpenResult result;
    const std::string text = Utf16ToUtf8(path);
    const std::size_t hash = text.find('#');
    result.nodePath = text.substr(0, hash);
    if (result.nodePath.empty()) {
        result.error = ENOENT;
        return result;
    }
    UniqueFd fd(::open(result.nodePath.c_str(), OpenFlags(access)));
    if (!fd) {
        result.error = errno;
        return result;
    }
    result.handle = fd.Get();
    result.channel = std::make_unique<HidrawChannel>(
        std::move(fd), ReadCapabilities(result.nodePath, IdentityPathCollection(text)));
    return result;
}

}  // namespace kb
