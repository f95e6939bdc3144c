#include "Cli.h"

namespace kbctl {

int CmdRecords(const CliContext&) { throw CliError("not available yet"); }

}  // namespace kbctl
