// Makes the keyboard picture's keys visible to the accessibility tree (once per process).
#pragma once

void InstallCoordButtonAccessibility();
