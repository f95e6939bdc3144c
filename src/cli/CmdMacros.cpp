#include "Cli.h"

namespace kbctl {

int CmdMacros(const CliContext&) { throw CliError("not available yet"); }

}  // namespace kbctl
