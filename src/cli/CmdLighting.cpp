#include "Cli.h"

namespace kbctl {

int CmdLighting(const CliContext&) { throw CliError("not available yet"); }

}  // namespace kbctl
