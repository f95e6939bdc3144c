#include "Cli.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

#include "kb/common/NumberText.h"

namespace kbctl {

int64_t ParseIntArg(const std::string& text, const std::string& what) {
    const std::optional<int64_t> value = kb::ParseWholeInteger(text);
    if (!value) {
        throw CliError(what + " must be a number (decimal or 0x-hex), not \"" + text + "\"");
    }
    return *value;
}

const std::string* FindOption(const std::vector<std::string>& args, const std::string& name) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == name) {
            if (i + 1 >= args.size()) {
                throw CliError("option " + name + " needs a value");
            }
            return &args[i + 1];
        }
    }
    return nullptr;
}

std::vector<std::string> Positionals(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) == 0) {
            ++i;  // skip the option's value
            continue;
        }
        out.push_back(args[i]);
    }
    return out;
}

void RequirePositionals(const CliContext& ctx, std::size_t count, const char* names) {
    if (ctx.positionals.size() < count) {
        throw UsageError(std::string("missing ") + names);
    }
    if (ctx.positionals.size() > count) {
        throw UsageError("unexpected argument " + ctx.positionals[count]);
    }
}

void RequireFolder(const CliContext& ctx) {
    std::error_code ec;
    if (!std::filesystem::is_directory(ctx.dir, ec)) {
        throw CliError("no such folder: " + ctx.dir.string());
    }
}

void PrintJson(const Json& value) {
    std::cout << value.dump(2) << '\n';
}

}  // namespace kbctl
