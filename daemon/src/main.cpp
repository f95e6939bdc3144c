// kbfilterd: carries the keyboard's key assignments and macros out on Linux. See "Key assignments on Linux"
// in README.md.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kb/common/AppConfig.h"
#include "kb/common/NumberText.h"
#include "kb/common/UniqueFd.h"
#include "src/Accounts.h"
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

struct Options {
    std::string folder, records, config, socketDir, script, user;
    std::optional<int32_t> vid, pid;
    bool print = false;
    SocketAccess access;
};

int Fail(const std::string& message) {
    Log("%s", message.c_str());
    return 2;
}

// One option with its value; false with `error` when the value is refused.
bool TakeOption(std::string_view name, const char* value, Options& o, std::string& error) {
    if (name == "--folder" || name == "--records" || name == "--config" || name == "--socket-dir" ||
        name == "--script") {
        (name == "--folder"       ? o.folder
         : name == "--records"    ? o.records
         : name == "--config"     ? o.config
         : name == "--socket-dir" ? o.socketDir
                                  : o.script) = value;
        return true;
    }
    if (name == "--vid" || name == "--pid") {
        const std::optional<int64_t> n = kb::ParseWholeInteger(value, 16);
        if (!n || *n < 0 || *n > 0xFFFF) {
            error = "bad " + std::string(name) + " " + value + ": give a hexadecimal number up to FFFF";
            return false;
        }
        (name == "--vid" ? o.vid : o.pid) = static_cast<int32_t>(*n);
        return true;
    }
    if (name == "--user") {
        const std::optional<UserAccount> user = LookUpUser(value, error);
        if (user) {
            o.access.user = user->uid;
            o.user = value;
        }
        return user.has_value();
    }
    if (name == "--group") {
        o.access.group = LookUpGroup(value, error);
        return o.access.group.has_value();
    }
    error = "bad argument: " + std::string(name);
    return false;
}

// nullopt to go on; else the exit status (--help, a bad argument).
std::optional<int> ParseArguments(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--print") {
            o.print = true;
            continue;
        }
        std::string error;
        if (i + 1 >= argc || arg.rfind("--", 0) != 0) {
            std::fputs(kUsage, stderr);
            return Fail("bad argument: " + std::string(arg));
        }
        if (!TakeOption(arg, argv[++i], o, error)) {
            if (error.rfind("bad argument", 0) == 0) {
                std::fputs(kUsage, stderr);
            }
            return Fail(error);
        }
    }
    if (o.records.empty() && !o.folder.empty()) {
        o.records = o.folder + "/record.bin";
    }
    if (o.config.empty() && !o.folder.empty()) {
        o.config = o.folder + "/config.xml";
    }
    if (o.records.empty() && o.folder.empty() && !o.user.empty()) {
        std::string error;
        if (!FindUserFiles(o.user, o.records, o.config, error)) {
            return Fail(error);
        }
    }
    if (o.records.empty()) {
        return Fail("no record file: give --folder, --records or --user");
    }
    return std::nullopt;
}

// The scripted input, or the keyboard named by the options or else by config.xml.
std::unique_ptr<IInput> OpenInput(const Options& o, std::string& error) {
    if (!o.script.empty()) {
        kb::UniqueFd fd(o.script == "-" ? ::fcntl(0, F_DUPFD_CLOEXEC, 0)
                                        : ::open(o.script.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd) {
            error = "cannot open the script " + o.script + ": " + std::strerror(errno);
            return nullptr;
        }
        return std::make_unique<ScriptInput>(std::move(fd), Now());
    }
    int32_t vendor = o.vid.value_or(0);
    int32_t product = o.pid.value_or(0);
    if ((!o.vid || !o.pid) && !o.config.empty()) {
        kb::AppConfig appConfig;
        if (!appConfig.Load(o.config)) {
            error = "cannot read " + o.config;
            return nullptr;
        }
        vendor = o.vid ? vendor : appConfig.Vid();
        product = o.pid ? product : appConfig.Pid();
    }
    if (vendor <= 0 || product <= 0) {
        error = "which keyboard? give --vid and --pid, or --folder/--config with its config.xml";
        return nullptr;
    }
    auto evdev = std::make_unique<EvdevInput>(vendor, product);
    if (!evdev->Open(error)) {
        return nullptr;
    }
    return evdev;
}

std::unique_ptr<IOutput> OpenOutput(const Options& o, std::string& error) {
    if (o.print) {
        return std::make_unique<PrintOutput>();
    }
    auto uinput = std::make_unique<UinputOutput>();
    if (!uinput->Open(error)) {
        return nullptr;
    }
    return uinput;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const std::optional<int> status = ParseArguments(argc, argv, options)) {
        return *status;
    }
    std::string error;
    const std::unique_ptr<IInput> input = OpenInput(options, error);
    if (!input) {
        return Fail(error);
    }
    const std::unique_ptr<IOutput> output = OpenOutput(options, error);
    if (!output) {
        return Fail(error);
    }
    Daemon daemon(*input, *output, options.records, options.access);
    if (!daemon.Start(SocketFolder(options.socketDir), error)) {
        return Fail(error);
    }
    return daemon.Run();
}
