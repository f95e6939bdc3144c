// kbstudio: the keyboard configuration program.
#include "kb/app/Startup.h"

int main(int argc, char** argv) {
    return kb::app::RunKbStudio(argc, argv);
}
