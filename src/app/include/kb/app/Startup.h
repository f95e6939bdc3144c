// The program's entry: start-up, the message loop and the shutdown order.
#pragma once

#include <QStringList>
#include <string>
#include <vector>

namespace kb::app {

// The one recognised argument: the window starts hidden only when the whole command line (the program
// name excluded) is exactly "-hid".
bool StartsHidden(const std::vector<std::string>& arguments);

// Runs kbstudio; the result is the process's exit code.
int RunKbStudio(int argc, char** argv);

}  // namespace kb::app
