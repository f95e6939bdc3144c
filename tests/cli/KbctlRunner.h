// Runs the real kbctl program and captures what it prints.
#pragma once

#include <string>
#include <vector>

namespace kbtest {

struct KbctlResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// `launcher` words, if any, come before the program (another user's identity, for instance).
KbctlResult RunKbctl(const std::vector<std::string>& args, const std::vector<std::string>& launcher = {});
// Any program (kbctl copied elsewhere, or run through env) with its arguments.
KbctlResult RunProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace kbtest
