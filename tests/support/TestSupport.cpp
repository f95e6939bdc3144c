#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <sstream>

#if !defined(_WIN32)
#include <sys/resource.h>
#include <unistd.h>
#else
#include <process.h>
#endif

namespace kbtest {
namespace {

long ProcessId() {
#if defined(_WIN32)
    return static_cast<long>(_getpid());
#else
    return static_cast<long>(::getpid());
#endif
}

}  // namespace

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : "test";
    for (char& c : name) {
        if (c == '/' || c == '\\') {
            c = '_';
        }
    }
    path_ = std::filesystem::temp_directory_path() /
            ("kbtest_" + std::to_string(ProcessId()) + "_" + std::to_string(counter++) + "_" + name);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

#if defined(_WIN32)
bool FullDisk::Supported() {
    return false;
}
FullDisk::FullDisk() = default;
FullDisk::~FullDisk() = default;
#else
bool FullDisk::Supported() {
    return true;
}

FullDisk::FullDisk() {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    savedLimit_ = limit.rlim_cur;
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = 16;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FullDisk::~FullDisk() {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(savedLimit_);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previousHandler_);
}
#endif

}  // namespace kbtest
