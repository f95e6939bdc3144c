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

KbctlResult RunKbctl(const std::vector<std::string>& args);
KbctlResult RunProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace kbtest
