// kbctl report: prints the 8 bytes that a keyboard report would carry, without sending anything.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "Cli.h"
#include "kb/lighting/Reports.h"

namespace kbctl {
namespace {

int64_t InRange(int64_t value, int64_t lo, int64_t hi, const std::string& what) {
    if (value < lo || value > hi) {
        throw CliError(what + " must be " + std::to_string(lo) + "-" + std::to_string(hi) + ", not " +
                       std::to_string(value));
    }
    return value;
}

uint8_t ByteOption(const CliContext& ctx, const std::string& name, uint8_t fallback) {
    const std::string* text = ctx.Option(name);
    if (text == nullptr) {
        return fallback;
    }
    return static_cast<uint8_t>(InRange(ParseIntArg(*text, name), 0, 255, name));
}

// The one positional number after the kind: an effect or side mode index.
uint8_t Index(const CliContext& ctx, int count, const std::string& what) {
    if (ctx.positionals.size() < 2) {
        throw UsageError("missing " + what);
    }
    return static_cast<uint8_t>(InRange(ParseIntArg(ctx.positionals[1], what), 0, count - 1, what));
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
    if (ctx.positionals.empty()) {
        throw UsageError("missing KIND (effect, effect-raw, side, version or reset)");
    }
    const std::string& kind = ctx.positionals[0];
    kb::Report report{};
    if (kind == "effect") {
        const uint8_t effect = Index(ctx, kb::kEffectCount, "effect");
        report = kb::BuildEffectReport(effect, ByteOption(ctx, "--brightness", kFactoryBrightness),
                                       ByteOption(ctx, "--speed", 0), ByteOption(ctx, "--selection", 0));
    } else if (kind == "effect-raw") {
        const uint8_t effect = Index(ctx, kb::kEffectCount, "effect");
        report = kb::BuildEffectReportRaw(effect, ByteOption(ctx, "--brightness", kFactoryBrightness),
                                          ByteOption(ctx, "--speed", 0), ByteOption(ctx, "--direction", 0),
                                          ByteOption(ctx, "--selection", 0));
    } else if (kind == "side") {
        const uint8_t mode = Index(ctx, kb::kSideModeCount, "side mode");
        const std::string* level = ctx.Option("--level");
        report = kb::BuildSideLightReport(
            mode, level == nullptr
                      ? FactorySideLevel(mode)
                      : static_cast<uint8_t>(InRange(ParseIntArg(*level, "--level"), 0, 7, "--level")));
    } else if (kind == "version" || kind == "reset") {
        if (ctx.positionals.size() > 1) {
            throw UsageError("unexpected argument " + ctx.positionals[1]);
        }
        report = kind == "version" ? kb::BuildVersionRequest() : kb::BuildResetCommand();
    } else {
        throw UsageError("unknown report " + kind + " (effect, effect-raw, side, version or reset)");
    }
    PrintReport(report);
    return 0;
}

}  // namespace kbctl
