#include "Cli.h"

namespace kbctl {

int CmdConfig(const CliContext&) { throw CliError("not available yet"); }

}  // namespace kbctl
