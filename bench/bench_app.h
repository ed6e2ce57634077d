// A whole App for the benchmarks, on files in a folder of their own.
#pragma once

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/app.h"

namespace bench {

// The App with its main window, its settings and store in dir (captures
// allowed under the test desktop); null, told on the console, when the
// window could not be made.
inline std::unique_ptr<App> start_app(const std::wstring& dir) {
    SetEnvironmentVariableW(L"QUILLET_ALLOW_CAPTURE", L"1");
    AppFiles files{dir + L"\\quillet.db.ini", dir + L"\\quillet.db"};
    auto app = std::make_unique<App>();
    if (!app->init(GetModuleHandleW(nullptr), files)) {
        std::printf("the main window could not be made\n");
        return nullptr;
    }
    return app;
}

}  // namespace bench
