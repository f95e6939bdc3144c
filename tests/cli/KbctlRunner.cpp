#include "KbctlRunner.h"

#include "TestSupport.h"

#include <sys/wait.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace kbtest {
namespace {

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

}  // namespace

KbctlResult RunKbctl(const std::vector<std::string>& args, const std::vector<std::string>& launcher) {
    if (launcher.empty()) {
        return RunProgram(KBCTL_PATH, args);
    }
    std::vector<std::string> rest(launcher.begin() + 1, launcher.end());
    rest.push_back(KBCTL_PATH);
    rest.insert(rest.end(), args.begin(), args.end());
    return RunProgram(launcher.front(), rest);
}

KbctlResult RunProgram(const std::string& program, const std::vector<std::string>& args) {
    static int counter = 0;
    const auto base = std::filesystem::temp_directory_path() /
                      ("kbctl_run_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::string cmd = Quote(program);
    for (const std::string& a : args) {
        cmd += " " + Quote(a);
    }
    cmd += " >" + Quote(base.string() + ".out") + " 2>" + Quote(base.string() + ".err") + " </dev/null";
    KbctlResult r;
    const int status = std::system(cmd.c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = kbtest::ReadFile(base.string() + ".out");
    r.err = kbtest::ReadFile(base.string() + ".err");
    std::filesystem::remove(base.string() + ".out");
    std::filesystem::remove(base.string() + ".err");
    return r;
}

}  // namespace kbtest
