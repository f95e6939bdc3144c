#include "Assignments.h"

#include <algorithm>
#include <cstdio>

#include "LinuxKeyMap.h"

namespace kb::filterd {
namespace {

std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

}  // namespace

std::vector<Assignment> BuildAssignments(std::span<const KeyRecord> records,
                                         std::vector<std::string>& notes) {
    std::vector<Assignment> out;
    std::vector<bool> seen(kLinuxKeyCount, false);
    for (const KeyRecord& r : records) {
        const std::string what = "record for key " + Hex(r.code);
        const uint16_t source = LinuxKeyForCode(r.code);
        if (source == 0) {
            notes.push_back(what + ": no such key here; left out");
            continue;
        }
        if (seen[source]) {
            notes.push_back(what + ": the key has an earlier record; left out");
            continue;
        }
        Assignment a;
        a.source = source;
        if (r.mode == 1) {
            a.remap = true;
            a.target = LinuxKeyForCode(static_cast<uint32_t>(r.parameter));
            if (a.target == 0) {
                notes.push_back(what + ": target " + Hex(static_cast<uint32_t>(r.parameter)) +
                                " is no key here; left out");
                continue;
            }
        } else if (r.mode >= 2) {
            a.play = r.mode == 3 ? PlayMode::WhileHeld : r.mode == 4 ? PlayMode::Toggle : PlayMode::Times;
            a.repeat = a.play == PlayMode::Times ? std::max<int32_t>(r.parameter, 1) : 1;
            if (r.mode > 4) {
                notes.push_back(what + ": unknown mode " + std::to_string(r.mode) + ", played like mode 2");
            }
            a.steps.reserve(r.steps.size());
            for (const MacroStep& s : r.steps) {
                PlayStep p;
                p.key = LinuxKeyForCode(s.code & kStoredKeyCodeMask);
                p.down = s.state == 0;
                // A negative delay (typed into the editor, stored as it is) read unsigned would hold
                // the macro's keys down for weeks: it is no wait at all.
                p.delayMs = s.delay < 0 ? 0u : static_cast<uint32_t>(s.delay);
                a.roundMs += p.delayMs;
                if (p.key == 0) {
                    notes.push_back(what + ": step key " + Hex(s.code) +
                                    " is no key here; only its delay kept");
                }
                a.steps.push_back(p);
            }
        } else {
            notes.push_back(what + ": mode " + std::to_string(r.mode) + " assigns nothing; left out");
            continue;
        }
        seen[source] = true;
        out.push_back(std::move(a));
    }
    return out;
}

}  // namespace kb::filterd
