#include "HidChannel.h"
#include "HidrawNode_linux.h"
#include "TimedWriter.h"
#include "kb/common/Utf.h"

#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

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
    HidrawChannel(int fd, HidCapabilities capabilities)
        : fd_(fd),
          capabilities_(capabilities),
          writer_(std::make_unique<TimedWriter>([fd](const uint8_t* data, std::size_t length, int& error) {
              return WriteAll(fd, data, length, error);
          })) {}

    ~HidrawChannel() override {
        // The writer first: a write still running must end before its descriptor is closed (and reused).
        writer_.reset();
        ::close(fd_);
    }

    intptr_t Handle() const override { return fd_; }
    HidCapabilities Capabilities() const override { return capabilities_; }

    bool GetFeature(Report& report) override {
        return ::ioctl(fd_, HIDIOCGFEATURE(kReportSize), report.data()) >= 0;
    }

    bool SetFeature(const Report& report) override {
        Report copy = report;  // the request takes a non-const buffer
        return ::ioctl(fd_, HIDIOCSFEATURE(kReportSize), copy.data()) >= 0;
    }

    HidWriteResult Write(const uint8_t* data, std::size_t length,
                         std::chrono::milliseconds timeout) override {
        return writer_->Write(data, length, timeout);
    }

  private:
    int fd_;
    HidCapabilities capabilities_;
    std::unique_ptr<TimedWriter> writer_;
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
        const std::size_t index = collection > 0 ? static_cast<std::size_t>(collection - 1) : 0;
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
    const int fd = ::open(result.nodePath.c_str(), OpenFlags(access));
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    HidPathIds ids;
    const int32_t collection = ParseHidPath(text, ids) ? ids.collection : -1;
    result.handle = fd;
    result.channel = std::make_unique<HidrawChannel>(fd, ReadCapabilities(result.nodePath, collection));
    return result;
}

}  // namespace kb
