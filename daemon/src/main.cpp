// kbfilterd: carries the keyboard's key assignments and macros out on Linux. See "Key assignments on Linux"
// in README.md.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kb/common/AppConfig.h"
#include "kb/common/NumberText.h"
#include "kb/common/UniqueFd.h"
#include "src/Accounts.h"
#include "src/Daemon.h"
#include "src/EvdevInput.h"
#include "src/Log.h"
#include "src/PrintOutput.h"
#include "src/ScriptInput.h"
#include "src/StateFolder.h"
#include "src/UinputOutput.h"

#ifndef KBFILTERD_VERSION
#define KBFILTERD_VERSION "0"
#endif
#ifndef KBFILTERD_SYSTEM_CONFIG
#define KBFILTERD_SYSTEM_CONFIG "/etc/kbstudio/config.xml"
#endif

namespace {

using namespace kb::filterd;

constexpr const char* kUsage = R"(usage: kbfilterd [options]
Carries out kbstudio's key assignments and macros: grabs the keyboard, emits through uinput.

  --user NAME|UID     a user who may use the socket besides root
  --group NAME|GID    a group whose members may use the socket
  --state-dir DIR     where the copy of the last handed-over record file is kept
                      (default: $STATE_DIRECTORY or /var/lib/kbfilterd)
  --socket-dir DIR    the socket's folder (default: $KBFILTERD_SOCKET_DIR or /run/kbfilterd/)
  --config FILE       config.xml naming the keyboard (default: )" KBFILTERD_SYSTEM_CONFIG R"()
  --vid HEX           the keyboard's USB vendor (instead of config.xml)
  --pid HEX           the keyboard's USB product (instead of config.xml)
  --records FILE      play this record file instead of the state folder's copy (foreground, tests)
  --folder DIR        a program folder: DIR/record.bin and DIR/config.xml (foreground, tests)
  --script FILE|-     read timed key events from FILE or stdin instead of the keyboard
  --print             print the events instead of emitting them through uinput
  -h, --help          show this help and exit
  --version           show the version and exit
)";

struct Options {
    std::string folder, records, config, socketDir, stateDir, script;
    std::optional<int32_t> vid, pid;
    bool print = false;
    SocketAccess access;
};

int RuntimeFailure(const std::string& message) {
    Log("%s", message.c_str());
    return 1;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "kbfilterd: %s\nTry 'kbfilterd --help' for more information.\n", message.c_str());
    return 2;
}

// One option with its value; false with `error` when the value is refused.
bool TakeValue(std::string_view name, const std::string& value, Options& o, std::string& error) {
    if (name == "--vid" || name == "--pid") {
        const std::optional<int64_t> n = kb::ParseWholeInteger(value, 16);
        if (!n || *n < 0 || *n > 0xFFFF) {
            error = std::string(name) + " " + value + ": give a hexadecimal number up to FFFF";
            return false;
        }
        (name == "--vid" ? o.vid : o.pid) = static_cast<int32_t>(*n);
        return true;
    }
    if (name == "--user") {
        const std::optional<UserAccount> user = LookUpUser(value, error);
        if (user) {
            o.access.user = user->uid;
        }
        return user.has_value();
    }
    if (name == "--group") {
        o.access.group = LookUpGroup(value, error);
        return o.access.group.has_value();
    }
    if (value.empty()) {
        error = std::string(name) + " needs a value";
        return false;
    }
    (name == "--folder"       ? o.folder
     : name == "--records"    ? o.records
     : name == "--config"     ? o.config
     : name == "--socket-dir" ? o.socketDir
     : name == "--state-dir"  ? o.stateDir
                              : o.script) = value;
    return true;
}

constexpr std::string_view kValueOptions[] = {"--folder",    "--records", "--config", "--socket-dir",
                                              "--state-dir", "--script",  "--vid",    "--pid",
                                              "--user",      "--group"};

// nullopt to go on; else the exit status (--help, --version, a usage error).
std::optional<int> ParseArguments(int argc, char** argv, Options& o) {
    std::vector<std::string_view> seen;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::puts("kbfilterd " KBFILTERD_VERSION);
            return 0;
        }
        if (arg == "--print") {
            o.print = true;
            continue;
        }
        // --name VALUE or --name=VALUE
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.rfind("--", 0) == 0 ? arg.substr(0, equals) : arg;
        if (std::find(std::begin(kValueOptions), std::end(kValueOptions), name) == std::end(kValueOptions)) {
            return UsageError(arg.rfind("-", 0) == 0 && arg.size() > 1
                                  ? "unknown option " + std::string(name)
                                  : "unexpected argument " + std::string(arg));
        }
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) {
            return UsageError(std::string(name) + " given twice");
        }
        seen.push_back(name);
        std::string value;
        if (equals != std::string_view::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            return UsageError(std::string(name) + " needs a value");
        }
        std::string error;
        if (!TakeValue(name, value, o, error)) {
            return UsageError(error);
        }
    }
    if (o.records.empty() && !o.folder.empty()) {
        o.records = o.folder + "/record.bin";
    }
    if (o.config.empty() && !o.folder.empty()) {
        o.config = o.folder + "/config.xml";
    }
    if (o.config.empty()) {
        o.config = KBFILTERD_SYSTEM_CONFIG;
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
    if (!o.vid || !o.pid) {
        kb::AppConfig appConfig;
        if (!appConfig.Load(o.config)) {
            error = "cannot read " + o.config + "; give --config, or --vid and --pid";
            return nullptr;
        }
        vendor = o.vid ? vendor : appConfig.Vid();
        product = o.pid ? product : appConfig.Pid();
    }
    if (vendor <= 0 || product <= 0) {
        error = "which keyboard? " + o.config + " names none; give --vid and --pid";
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
    // Before anything else: a signal in the first moments must not end the daemon unannounced; the loop
    // takes the pending ones later.
    const sigset_t signals = DaemonSignals();
    sigprocmask(SIG_BLOCK, &signals, nullptr);

    Options options;
    if (const std::optional<int> status = ParseArguments(argc, argv, options)) {
        return *status;
    }
    std::string error;
    const std::unique_ptr<IInput> input = OpenInput(options, error);
    if (!input) {
        return RuntimeFailure(error);
    }
    const std::unique_ptr<IOutput> output = OpenOutput(options, error);
    if (!output) {
        return RuntimeFailure(error);
    }
    Daemon daemon(*input, *output, DaemonFiles{options.records, StateFolderPath(options.stateDir)},
                  options.access);
    if (!daemon.Start(SocketFolder(options.socketDir), error)) {
        return RuntimeFailure(error);
    }
    return daemon.Run();
}
