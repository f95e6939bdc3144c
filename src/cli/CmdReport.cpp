#include "Cli.h"

namespace kbctl {

int CmdReport(const CliContext&) { throw CliError("not available yet"); }

}  // namespace kbctl
