// kbctl report: prints the 8 bytes that a keyboard report would carry, without sending anything.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "Cli.h"
#include "kb/lighting/Reports.h"

namespace kbctl {
namespace {

constexpr const char* kUsage =
    "usage: kbctl report effect N [--brightness B] [--speed S] [--selection X]\n"
    "       kbctl report effect-raw N [--brightness B] [--speed S] [--deriction D] [--selection X]\n"
    "       kbctl report side MODE [--level L]\n"
    "       kbctl report version\n"
    "       kbctl report reset\n"
    "N is an effect 0-19, MODE a side mode 0-11, L a level 0-7; the other values are bytes 0-255.\n"
    "Missing values take the factory settings.";

// Refuses options the kind does not know, so that a misspelt one is not silently ignored.
void CheckOptions(const std::vector<std::string>& args, const std::vector<std::string>& known) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) == 0) {
            if (std::find(known.begin(), known.end(), args[i]) == known.end()) {
                throw CliError("unknown option " + args[i] + "\n" + kUsage);
            }
            ++i;
        }
    }
}

int64_t InRange(int64_t value, int64_t lo, int64_t hi, const std::string& what) {
    if (value < lo || value > hi) {
        throw CliError(what + " must be " + std::to_string(lo) + "-" + std::to_string(hi) + ", not " +
                       std::to_string(value));
    }
    return value;
}

uint8_t ByteOption(const std::vector<std::string>& args, const std::string& name, uint8_t fallback) {
    const std::string* text = FindOption(args, name);
    if (text == nullptr) {
        return fallback;
    }
    return static_cast<uint8_t>(InRange(ParseIntArg(*text, name), 0, 255, name));
}

// The one positional number after the kind: an effect or side mode index.
uint8_t Index(const std::vector<std::string>& positionals, int count, const std::string& what) {
    if (positionals.size() < 2) {
        throw CliError(what + " is missing\n" + kUsage);
    }
    if (positionals.size() > 2) {
        throw CliError("unexpected argument \"" + positionals[2] + "\"\n" + kUsage);
    }
    return static_cast<uint8_t>(InRange(ParseIntArg(positionals[1], what), 0, count - 1, what));
}

void NoMoreArguments(const std::vector<std::string>& positionals) {
    if (positionals.size() > 1) {
        throw CliError("unexpected argument \"" + positionals[1] + "\"\n" + kUsage);
    }
}

void PrintReport(const kb::Report& report) {
    std::string line;
    for (std::size_t i = 0; i < report.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", report[i]);
        line += (i == 0 ? "" : " ");
        line += hex;
    }
    std::cout << line << '\n';
}

// Factory record of a main effect, and factory level of a side mode.
constexpr uint8_t kFactoryBrightness = 5;
constexpr uint8_t FactorySideLevel(uint8_t mode) {
    return mode <= 2 ? 4 : 7;
}

}  // namespace

int CmdReport(const CliContext& ctx) {
    const std::vector<std::string>& args = ctx.args;
    const std::vector<std::string> positionals = Positionals(args);
    if (positionals.empty()) {
        throw CliError(std::string("which report?\n") + kUsage);
    }
    const std::string& kind = positionals[0];
    kb::Report report{};
    if (kind == "effect") {
        CheckOptions(args, {"--brightness", "--speed", "--selection"});
        const uint8_t effect = Index(positionals, kb::kEffectCount, "effect");
        report = kb::BuildEffectReport(effect, ByteOption(args, "--brightness", kFactoryBrightness),
                                       ByteOption(args, "--speed", 0), ByteOption(args, "--selection", 0));
    } else if (kind == "effect-raw") {
        CheckOptions(args, {"--brightness", "--speed", "--deriction", "--selection"});
        const uint8_t effect = Index(positionals, kb::kEffectCount, "effect");
        report = kb::BuildEffectReportRaw(effect, ByteOption(args, "--brightness", kFactoryBrightness),
                                          ByteOption(args, "--speed", 0), ByteOption(args, "--deriction", 0),
                                          ByteOption(args, "--selection", 0));
    } else if (kind == "side") {
        CheckOptions(args, {"--level"});
        const uint8_t mode = Index(positionals, kb::kSideModeCount, "side mode");
        const std::string* level = FindOption(args, "--level");
        report = kb::BuildSideLightReport(
            mode, level == nullptr
                      ? FactorySideLevel(mode)
                      : static_cast<uint8_t>(InRange(ParseIntArg(*level, "--level"), 0, 7, "--level")));
    } else if (kind == "version" || kind == "reset") {
        CheckOptions(args, {});
        NoMoreArguments(positionals);
        report = kind == "version" ? kb::BuildVersionRequest() : kb::BuildResetCommand();
    } else {
        throw CliError("unknown report \"" + kind + "\"\n" + kUsage);
    }
    PrintReport(report);
    return 0;
}

}  // namespace kbctl
