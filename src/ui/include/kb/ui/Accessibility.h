// How the program's windows appear to screen readers and to voice or switch control, where Qt's own
// answers fall short: lists are named for what they are (not for their current entry), a top-level
// window is a window, and a slider set through the value interface acts as a change by the user.
#pragma once

namespace kb::ui {

// Once per process, before the first window is built (the layout loader and the event bridge call it).
void InstallAccessibility();

}  // namespace kb::ui
