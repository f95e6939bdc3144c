#pragma once

// The assignment page's tests, run by the dialog tests' program in the same process.
int RunAssignPageTests(int argc, char** argv);
