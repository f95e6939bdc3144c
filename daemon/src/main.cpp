// kbfilterd: carries the keyboard's key assignments and macros out on Linux. See "Key assignments on Linux"
// in README.md.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kb/common/AppConfig.h"
#include "src/Daemon.h"
#include "src/EvdevInput.h"
#include "src/Log.h"
#include "src/PrintOutput.h"
#include "src/ScriptInput.h"
#include "src/UinputOutput.h"
#include "src/UserFiles.h"

namespace {

using namespace kb::filterd;

constexpr const char* kUsage = R"(usage: kbfilterd [options]
  --folder DIR        the program folder: its record.bin and config.xml
  --records FILE      the record file (default: DIR/record.bin)
  --config FILE       config.xml naming the keyboard (default: DIR/config.xml)
  --vid HEX --pid HEX the keyboard's USB vendor and product (instead of config.xml)
  --socket-dir DIR    the socket's folder (default: $KBFILTERD_SOCKET_DIR or /run/kbfilterd/)
  --user NAME|UID     a user who may use the socket besides root; without --folder and --records,
                      that user's record.bin (~USER/.config/kbstudio/) and the installation's
                      config.xml (/etc/kbstudio/)
  --group NAME|GID    a group whose members may use the socket
  --script FILE|-     read timed key events from FILE or stdin instead of the keyboard
  --print             print the events instead of emitting them through uinput
  --help
)";

std::optional<long> Number(std::string_view text, int base) {
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

int Fail(const std::string& message) {
    Log("%s", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder, records, config, socketDir, script, user;
    std::optional<long> vid, pid;
    bool print = false;
    SocketAccess access;

    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--print") {
            print = true;
        } else if ((arg == "--folder" || arg == "--records" || arg == "--config" || arg == "--socket-dir" ||
                    arg == "--script") &&
                   (v = value()) != nullptr) {
            (arg == "--folder"       ? folder
             : arg == "--records"    ? records
             : arg == "--config"     ? config
             : arg == "--socket-dir" ? socketDir
                                     : script) = v;
        } else if ((arg == "--vid" || arg == "--pid") && (v = value()) != nullptr) {
            const std::optional<long> n = Number(v, 16);
            if (!n || *n < 0 || *n > 0xFFFF) {
                return Fail(std::string("bad ") + argv[i - 1] + " " + v);
            }
            (arg == "--vid" ? vid : pid) = n;
        } else if (arg == "--user" && (v = value()) != nullptr) {
            user = v;
            if (const passwd* pw = ::getpwnam(v)) {
                access.user = pw->pw_uid;
            } else if (const auto n = Number(v, 10); n && *n >= 0) {
                access.user = static_cast<uid_t>(*n);
            } else {
                return Fail(std::string("unknown user ") + v);
            }
        } else if (arg == "--group" && (v = value()) != nullptr) {
            if (const group* gr = ::getgrnam(v)) {
                access.group = gr->gr_gid;
            } else if (const auto n = Number(v, 10); n && *n >= 0) {
                access.group = static_cast<gid_t>(*n);
            } else {
                return Fail(std::string("unknown group ") + v);
            }
        } else {
            std::fputs(kUsage, stderr);
            return Fail("bad argument: " + std::string(arg));
        }
    }
    if (records.empty() && !folder.empty()) {
        records = folder + "/record.bin";
    }
    if (config.empty() && !folder.empty()) {
        config = folder + "/config.xml";
    }
    if (records.empty() && folder.empty() && !user.empty()) {
        std::string error;
        if (!FindUserFiles(user, records, config, error)) {
            return Fail(error);
        }
    }
    if (records.empty()) {
        return Fail("no record file: give --folder, --records or --user");
    }

    std::unique_ptr<IInput> input;
    if (!script.empty()) {
        const int fd = script == "-" ? ::dup(0) : ::open(script.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return Fail("cannot open the script " + script + ": " + std::strerror(errno));
        }
        input = std::make_unique<ScriptInput>(fd, Now());
    } else {
        // The keyboard's identity: the options, else config.xml.
        int32_t vendor = static_cast<int32_t>(vid.value_or(0));
        int32_t product = static_cast<int32_t>(pid.value_or(0));
        if ((!vid || !pid) && !config.empty()) {
            kb::AppConfig appConfig;
            if (!appConfig.Load(config)) {
                return Fail("cannot read " + config);
            }
            vendor = vid ? vendor : appConfig.Vid();
            product = pid ? product : appConfig.Pid();
        }
        if (vendor <= 0 || product <= 0) {
            return Fail("which keyboard? give --vid and --pid, or --folder/--config with its config.xml");
        }
        auto evdev = std::make_unique<EvdevInput>(vendor, product);
        std::string error;
        if (!evdev->Open(error)) {
            return Fail(error);
        }
        input = std::move(evdev);
    }

    std::unique_ptr<IOutput> output;
    if (print) {
        output = std::make_unique<PrintOutput>();
    } else {
        auto uinput = std::make_unique<UinputOutput>();
        std::string error;
        if (!uinput->Open(error)) {
            return Fail(error);
        }
        output = std::move(uinput);
    }

    Daemon daemon(*input, *output, records, access);
    std::string error;
    if (!daemon.Start(SocketFolder(socketDir), error)) {
        return Fail(error);
    }
    return daemon.Run();
}
