// The body of the program's entry point.
#pragma once

#include <windows.h>

// Runs the program: a second instance shows the first one and returns 0;
// otherwise the data folders are prepared, the App is initialised and its
// message loop run. Returns the exit code (1 when start-up failed).
int run_program(HINSTANCE instance);
