#include "Cli.h"

#include <iostream>

namespace kbctl {

int64_t ParseIntArg(const std::string& text, const std::string& what) {
    std::size_t used = 0;
    int64_t value = 0;
    try {
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        value = std::stoll(hex ? text.substr(2) : text, &used, hex ? 16 : 10);
        used += hex ? 2 : 0;
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size()) {
        throw CliError(what + " must be a number (decimal or 0x-hex), not \"" + text + "\"");
    }
    return value;
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

void PrintJson(const Json& value) {
    std::cout << value.dump(2) << '\n';
}

}  // namespace kbctl
