#include "Cli.h"

namespace kbctl {

int CmdKey(const CliContext&) { throw CliError("not available yet"); }

}  // namespace kbctl
