// Starts one GUI program on the X display and reports what its start-up and idle cost:
//   - milliseconds from just before exec to the X server mapping its first top-level window;
//   - resident memory (VmRSS) a few seconds after the start;
//   - wake-ups per second while idle afterwards: voluntary and involuntary context switches of all its
//     threads, from /proc/PID/task/*/status, over the idle period; each thread's share is listed too.
//
// Usage: startup_probe [--window-only] [--settle S] [--idle S] -- PROGRAM [ARGS...]
// Output: one "key=value" line ("window_ms=73.1 rss_mb=28.4 wakeups_per_s=0.03 threads=4"), then one
// "thread ..." line per thread that woke during the idle period. --window-only stops after the window.
#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <dirent.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

double NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// A field of /proc/.../status as a number ("VmRSS:   28412 kB" gives 28412); -1 when absent.
long StatusField(const std::string& path, const std::string& field) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, field.size() + 1, field + ":") == 0) {
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return -1;
}

std::string ThreadName(const std::string& taskDir) {
    std::ifstream in(taskDir + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// Context switches per thread id, with the thread's name.
struct ThreadSwitches {
    std::string name;
    long switches = 0;
};

std::map<int, ThreadSwitches> Switches(pid_t pid) {
    std::map<int, ThreadSwitches> result;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (dir == nullptr) {
        return result;
    }
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        const std::string taskDir = tasks + "/" + entry->d_name;
        const long voluntary = StatusField(taskDir + "/status", "voluntary_ctxt_switches");
        const long involuntary = StatusField(taskDir + "/status", "nonvoluntary_ctxt_switches");
        if (voluntary >= 0 && involuntary >= 0) {
            result[std::atoi(entry->d_name)] = {ThreadName(taskDir), voluntary + involuntary};
        }
    }
    closedir(dir);
    return result;
}

// Waits for the first top-level window that is mapped, not counting override-redirect ones (menus,
// tooltips); returns the time it was seen, or a negative value after the time-out.
double WaitForWindow(xcb_connection_t* x, double deadlineMs) {
    while (NowMs() < deadlineMs) {
        xcb_generic_event_t* event = xcb_poll_for_event(x);
        if (event == nullptr) {
            if (xcb_connection_has_error(x) != 0) {
                return -1;
            }
            // Sleep on the connection rather than spin: the probe must not slow the start it times.
            pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(deadlineMs - NowMs()) + 1);
            continue;
        }
        const bool mapped = (event->response_type & 0x7F) == XCB_MAP_NOTIFY &&
                            reinterpret_cast<xcb_map_notify_event_t*>(event)->override_redirect == 0;
        std::free(event);
        if (mapped) {
            return NowMs();
        }
    }
    return -1;
}

void SleepUntil(double ms) {
    const double left = ms - NowMs();
    if (left > 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(left * 1000)));
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    bool windowOnly = false;
    double settleS = 5;
    double idleS = 30;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string arg = argv[first];
        if (arg == "--window-only") {
            windowOnly = true;
        } else if (arg == "--settle" && first + 1 < argc) {
            settleS = std::atof(argv[++first]);
        } else if (arg == "--idle" && first + 1 < argc) {
            idleS = std::atof(argv[++first]);
        } else if (arg == "--") {
            ++first;
            break;
        } else {
            break;
        }
    }
    if (first >= argc) {
        std::fprintf(stderr,
                     "usage: startup_probe [--window-only] [--settle S] [--idle S] -- PROGRAM [ARGS...]\n");
        return 2;
    }

    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x) != 0) {
        std::fprintf(stderr, "startup_probe: no X display\n");
        return 1;
    }
    // Top-level windows are the root's children: their maps arrive as substructure notifications.
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_void_cookie_t cookie =
        xcb_change_window_attributes_checked(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    if (xcb_generic_error_t* error = xcb_request_check(x, cookie)) {
        std::free(error);
        std::fprintf(stderr, "startup_probe: cannot watch the root window\n");
        return 1;
    }

    const double start = NowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        // The program's own output (traces) is not the probe's.
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        execvp(argv[first], argv + first);
        std::perror("startup_probe: exec");
        _exit(127);
    }
    const double mapped = WaitForWindow(x, start + 15000);
    int status = 0;
    if (mapped < 0 || waitpid(pid, &status, WNOHANG) == pid) {
        std::printf("window_ms=none\n");
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return 1;
    }
    std::printf("window_ms=%.1f", mapped - start);
    if (!windowOnly) {
        SleepUntil(start + settleS * 1000);
        const long rssKb = StatusField("/proc/" + std::to_string(pid) + "/status", "VmRSS");
        const auto before = Switches(pid);
        SleepUntil(start + (settleS + idleS) * 1000);
        const auto after = Switches(pid);
        long woken = 0;
        std::vector<std::string> lines;
        for (const auto& [tid, now] : after) {
            const auto then = before.find(tid);
            const long delta = now.switches - (then != before.end() ? then->second.switches : 0);
            woken += delta;
            if (delta > 0) {
                lines.push_back("thread " + std::to_string(tid) + " " + now.name + ": " +
                                std::to_string(delta));
            }
        }
        std::printf(" rss_mb=%.1f wakeups_per_s=%.2f threads=%zu", static_cast<double>(rssKb) / 1024.0,
                    static_cast<double>(woken) / idleS, after.size());
        std::printf("\n");
        for (const std::string& line : lines) {
            std::printf("%s\n", line.c_str());
        }
    } else {
        std::printf("\n");
    }
    std::fflush(stdout);
    kill(pid, SIGTERM);
    // A program that does not end on its own within two seconds is stopped.
    for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    xcb_disconnect(x);
    return 0;
}
