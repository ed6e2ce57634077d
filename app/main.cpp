// The process entry of Quillet.exe.
#include <windows.h>

#include "app/app_startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return run_program(instance); }
