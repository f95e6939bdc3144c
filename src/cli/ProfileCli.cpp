#include "ProfileCli.h"

#include <algorithm>
#include <iostream>

#include "DeviceCli.h"
#include "LightingFiles.h"
#include "kb/common/AtomicFile.h"
#include "kb/common/NumberText.h"
#include "kb/common/Utf.h"
#include "kb/device/FilterChannel.h"
#include "kb/device/HidDevice.h"
#include "kb/device/LightingSender.h"
#include "kb/keys/KeyTable.h"

namespace kbctl {

bool WantsHelp(const std::vector<std::string>& args, const char* usage) {
    if (std::find(args.begin(), args.end(), "--help") != args.end() ||
        std::find(args.begin(), args.end(), "-h") != args.end()) {
        std::cout << usage << '\n';
        return true;
    }
    return false;
}

void CheckOptions(const std::vector<std::string>& args, const std::vector<std::string>& known,
                  const std::vector<std::string>& flags) {
    std::vector<std::string> seen;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) != 0) {
            continue;
        }
        const bool flag = std::find(flags.begin(), flags.end(), args[i]) != flags.end();
        if (!flag && std::find(known.begin(), known.end(), args[i]) == known.end()) {
            throw UsageError("unknown option " + args[i]);
        }
        if (std::find(seen.begin(), seen.end(), args[i]) != seen.end()) {
            throw UsageError(args[i] + " given twice");
        }
        seen.push_back(args[i]);
        if (!flag) {
            if (i + 1 >= args.size()) {
                throw UsageError(args[i] + " needs a value");
            }
            ++i;
        }
    }
}

bool HasFlag(const std::vector<std::string>& args, const std::string& flag) {
    return std::find(args.begin(), args.end(), flag) != args.end();
}

std::vector<std::string> Operands(const std::vector<std::string>& args,
                                  const std::vector<std::string>& flags) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) == 0) {
            if (std::find(flags.begin(), flags.end(), args[i]) == flags.end()) {
                ++i;  // the option's value
            }
            continue;
        }
        out.push_back(args[i]);
    }
    return out;
}

kb::ProfileStore OpenStore(const CliContext& ctx) {
    std::error_code ec;
    if (!std::filesystem::is_directory(ctx.dir, ec)) {
        throw CliError("the settings folder " + ctx.dir.string() + " does not exist");
    }
    kb::ProfileStore store(ctx.dir);
    const kb::ProfileResult opened = store.Open();
    if (!opened) {
        throw CliError(opened.error);
    }
    if (opened.liveChanged) {
        // A switch that a killed process left was finished: the filter takes its records.
        (void)ReloadFilter();
    }
    return store;
}

FilterReload ReloadFilter() {
    FilterReload result;
    kb::KbFiltrDevice::FilterChannel channel;
    if (!channel.OpenChannel()) {
        result.problem = channel.LastOpenProblem();
        return result;
    }
    result.reloaded = channel.ReloadAssignments();
    if (!result.reloaded) {
        result.problem =
            "the filter refused or did not answer the reload request (" + channel.LastOpenPath() + ")";
    }
    return result;
}

void AddReload(Json& out, const FilterReload& reload) {
    out["reloaded"] = reload.reloaded;
    if (!reload.reloaded) {
        out["filter"] = reload.problem;
    }
}

std::string SendLighting(const CliContext& ctx) {
    try {
        kb::SideLightConfig sides;
        kb::LedEffectConfig effects;
        LoadLightingFiles(ctx, sides, effects);
        kb::HidDevice device;
        OpenKeyboard(ctx, device);
        kb::HidDeviceTransport hid(device);
        kb::LightingSender sender(hid, effects, sides);
        sender.SendLedEffect(-1);
        sender.SendSideLight(-1);
        return {};
    } catch (const CliError& e) {
        std::string why = e.what();
        std::replace(why.begin(), why.end(), '\n', ' ');
        return why;
    }
}

kb::PictureKeys LoadPictureKeys(const CliContext& ctx) {
    if (!ctx.package.empty()) {
        const kb::FileReadResult file = kb::ReadWholeFile(kb::PictureKeysFile(ctx.package), 1u << 20);
        if (file.ok) {
            kb::PictureKeys keys(kb::ParsePictureKeys(file.bytes));
            if (!keys.Empty()) {
                return keys;
            }
        }
    }
    // Without the UI package the key table names the keys (the picture uses the same names).
    std::vector<kb::PictureKey> rows;
    for (const kb::KeyTableEntry& row : kb::KeyTableRows()) {
        if (kb::KeyNameForCode(row.KeyCode()) == row.name) {
            rows.push_back({row.KeyCode(), row.name});
        }
    }
    return kb::PictureKeys(std::move(rows));
}

ResolvedKey ResolveKey(const std::string& text, const kb::PictureKeys& keys, const std::string& what) {
    std::optional<uint32_t> code;
    if (const std::optional<int64_t> number = kb::ParseWholeInteger(text);
        number && *number >= 0 && *number <= 0x3FFFFF) {
        code = static_cast<uint32_t>(*number);
    } else if (const std::optional<kb::PictureKey> key = keys.Find(kb::Utf8ToUtf16(text))) {
        return {key->code, key->name};
    } else {
        // The key table's other names for the same keys ("K45", "Insert/Pad 0").
        const kb::PictureKeys table([] {
            std::vector<kb::PictureKey> rows;
            for (const kb::KeyTableEntry& row : kb::KeyTableRows()) {
                rows.push_back({row.KeyCode(), row.name});
            }
            return rows;
        }());
        if (const std::optional<kb::PictureKey> row = table.Find(kb::Utf8ToUtf16(text))) {
            code = row->code;
        }
    }
    if (code) {
        if (std::optional<std::u16string> name = keys.NameOf(*code)) {
            return {*code, *name};
        }
    }
    throw CliError(what + " \"" + text +
                   "\" names no key of the keyboard (a key name such as A or F1, or a code)");
}

}  // namespace kbctl
