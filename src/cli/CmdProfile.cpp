// kbctl profile: the named sets of assignments and lighting, as the window's profile list keeps them.
#include <filesystem>

#include "Cli.h"
#include "ProfileCli.h"
#include "ShareFiles.h"
#include "kb/profiles/ProfileName.h"
#include "kb/profiles/Sharing.h"

namespace kbctl {
namespace {

constexpr const char* kUsage =
    "usage: kbctl profile list\n"
    "       kbctl profile use NAME             make NAME the active profile (files, filter, lighting)\n"
    "       kbctl profile new NAME             a new profile, a copy of the active one\n"
    "       kbctl profile rename OLD NEW\n"
    "       kbctl profile delete NAME          any profile but the active one\n"
    "       kbctl profile export NAME FILE [--replace]\n"
    "                                          the profile and the macros it plays, in one file\n"
    "       kbctl profile import FILE [--name NAME] [--replace]\n"
    "                                          a profile from such a file; --replace overwrites a profile\n"
    "                                          or macro of the same name";

Json ListJson(const kb::ProfileStore& store) {
    Json profiles = Json::array();
    for (const std::string& name : store.Names()) {
        profiles.push_back({{"name", name}, {"active", name == store.Active()}});
    }
    return {{"active", store.Active()}, {"profiles", std::move(profiles)}};
}

void Require(const kb::ProfileResult& result) {
    if (!result) {
        throw CliError(result.error);
    }
}

// After the settings folder's files changed: the filter and the keyboard take them.
void Apply(const CliContext& ctx, Json& out) {
    AddReload(out, ReloadFilter());
    const std::string lighting = SendLighting(ctx);
    out["lighting"] = lighting.empty() ? Json("sent") : Json(lighting);
}

int Import(const CliContext& ctx, kb::ProfileStore& store, const std::vector<std::string>& operands) {
    const bool replace = HasFlag(ctx.args, "--replace");
    const kb::SharedFile file = ReadShareFile(operands[1]);
    if (!file.profile) {
        throw CliError(operands[1] + " holds no profile (kbctl macros import takes its macros)");
    }
    const std::string* chosen = FindOption(ctx.args, "--name");
    const std::string name = chosen != nullptr ? *chosen : file.profile->name;
    if (std::string why = kb::CheckProfileName(name); !why.empty()) {
        throw CliError(why + (chosen == nullptr ? " (choose another one with --name)" : ""));
    }
    if (const std::optional<std::string> existing = store.Find(name); existing && !replace) {
        throw CliError("a profile named \"" + *existing +
                       "\" exists already; --replace overwrites it, --name "
                       "imports it under another name");
    }
    // Everything is checked before the first write.
    kb::MacroLibrary library = LoadLibraryForChange(ctx);
    if (std::string conflict = kb::CheckMacroConflicts(library, file.macros, replace); !conflict.empty()) {
        throw CliError(conflict + "; --replace overwrites it");
    }
    Json out = {{"imported", name}};
    const std::size_t changed = kb::MergeMacros(library, file.macros);
    if (changed > 0 && !library.Save()) {
        throw CliError("cannot write " + library.Path().string() + ": " + library.LastError());
    }
    out["macros"] = changed;
    const kb::ProfileResult installed = store.Install(name, file.profile->ToFiles(), replace);
    Require(installed);
    out["active"] = store.Active();
    if (installed.liveChanged) {
        Apply(ctx, out);
    }
    PrintJson(out);
    return 0;
}

}  // namespace

int CmdProfile(const CliContext& ctx) {
    if (WantsHelp(ctx.args, kUsage)) {
        return 0;
    }
    CheckOptions(ctx.args, {"--name"}, {"--replace"});
    const std::vector<std::string> operands = Operands(ctx.args, {"--replace"});
    if (operands.empty()) {
        throw UsageError("which profile command? (list, use, new, rename, delete, export, import)");
    }
    const std::string& what = operands[0];
    const struct {
        const char* name;
        std::size_t operands;
        bool options;
    } forms[] = {{"list", 1, false},   {"use", 2, false},   {"new", 2, false},  {"rename", 3, false},
                 {"delete", 2, false}, {"export", 3, true}, {"import", 2, true}};
    bool known = false;
    for (const auto& form : forms) {
        if (what == form.name) {
            known = true;
            if (operands.size() != form.operands) {
                throw UsageError(operands.size() > form.operands
                                     ? "unexpected argument " + operands[form.operands]
                                     : "profile " + what + " takes " + std::to_string(form.operands - 1) +
                                           " argument(s)");
            }
            if (!form.options && ctx.args.size() != operands.size()) {
                throw UsageError("profile " + what + " takes no options");
            }
        }
    }
    if (!known) {
        throw UsageError("unknown profile command " + what);
    }
    if (what == "export" && FindOption(ctx.args, "--name") != nullptr) {
        throw UsageError("profile export takes no --name");
    }

    kb::ProfileStore store = OpenStore(ctx);
    if (what == "list") {
        PrintJson(ListJson(store));
    } else if (what == "use") {
        const std::string before = store.Active();
        const kb::ProfileResult switched = store.Switch(operands[1]);
        Require(switched);
        Json out = {{"active", store.Active()}, {"previous", before}, {"changed", switched.liveChanged}};
        if (switched.liveChanged) {
            Apply(ctx, out);
        }
        PrintJson(out);
    } else if (what == "new") {
        Require(store.Create(operands[1]));
        Json out = ListJson(store);
        out["created"] = operands[1];
        PrintJson(out);
    } else if (what == "rename") {
        Require(store.Rename(operands[1], operands[2]));
        Json out = ListJson(store);
        out["renamed"] = {{"from", operands[1]}, {"to", operands[2]}};
        PrintJson(out);
    } else if (what == "delete") {
        const std::optional<std::string> stored = store.Find(operands[1]);
        Require(store.Remove(operands[1]));
        Json out = ListJson(store);
        out["deleted"] = stored.value_or(operands[1]);
        PrintJson(out);
    } else if (what == "export") {
        std::string error;
        const std::optional<kb::ProfileFiles> files = store.Read(operands[1], error);
        if (!files) {
            throw CliError(error);
        }
        const kb::MacroLibrary library = LoadLibraryForChange(ctx);
        std::string text;
        const std::string name = store.Find(operands[1]).value_or(operands[1]);
        if (!kb::WriteSharedProfile(name, *files, library, text, error)) {
            throw CliError(error);
        }
        WriteShareFile(operands[2], text, HasFlag(ctx.args, "--replace"));
        PrintJson({{"exported", name}, {"file", operands[2]}});
    } else {
        return Import(ctx, store, operands);
    }
    return 0;
}

}  // namespace kbctl
