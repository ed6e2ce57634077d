// The CPU time a test's own thread has used, for the checks that a piece
// of work stays cheap.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

namespace test_support {

// User and kernel time of the calling thread so far, in seconds.
inline double thread_cpu_seconds() {
    FILETIME created, exited, kernel, user;
    EXPECT_TRUE(GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user));
    auto value = [](const FILETIME& f) { return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
    return static_cast<double>(value(kernel) + value(user)) / 1e7;
}

}  // namespace test_support
