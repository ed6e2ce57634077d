// The built Quillet.exe beside the tests and the one in the zip a user
// downloads (as the test fixture unpacked it, QUILLET_DIST_DIR), read as
// bytes: the program that ships holds the real site's address and no
// loopback address (the local test server's belongs to the test programs
// alone).
#include <gtest/gtest.h>

#include <string>

#include "tests/core/temp_folder.h"

namespace {

// The text as a wide literal is stored: UTF-16 little-endian.
std::string utf16(const std::string& text) {
    std::string bytes;
    for (char c : text) {
        bytes.push_back(c);
        bytes.push_back('\0');
    }
    return bytes;
}

// The file's bytes with ASCII letters in lower case, so that "LocalHost"
// is found as well.
std::string lowered(std::string bytes) {
    for (char& c : bytes)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return bytes;
}

// The folder the dist zip was unpacked into; empty when not set.
std::wstring unpacked_dist_dir() {
    wchar_t buf[4096] = {};
    const DWORD n = GetEnvironmentVariableW(L"QUILLET_DIST_DIR", buf, 4096);
    return n > 0 && n < 4096 ? std::wstring(buf, n) : std::wstring();
}

enum class Where { BesideTheTests, InTheZip };

class ShippedProgram : public ::testing::TestWithParam<Where> {
protected:
    void SetUp() override {
        const std::wstring folder =
            GetParam() == Where::BesideTheTests ? test_support::own_exe_dir() : unpacked_dist_dir();
        ASSERT_FALSE(folder.empty()) << "QUILLET_DIST_DIR is not set";
        bytes_ = lowered(test_support::read_file(folder + L"\\Quillet.exe"));
        ASSERT_GT(bytes_.size(), 100000u) << "no Quillet.exe in the folder";
    }
    bool holds(const std::string& pattern) const { return bytes_.find(pattern) != std::string::npos; }
    std::string bytes_;
};

TEST_P(ShippedProgram, HoldsNoLoopbackAddress) {
    // The program's own addresses are wide strings; any loopback host in
    // one is a fault.
    for (const char* address : {"127.0.0.1", "localhost", "[::1]"})
        EXPECT_FALSE(holds(utf16(address))) << address << " (UTF-16)";
    // Narrow text: the bare word "localhost" is SQLite's file-URI authority
    // (file://localhost/...), which names no server; as the host of an
    // address, or as a loopback number, it is a fault.
    for (const char* address : {"127.0.0.1", "[::1]", "://localhost", "localhost:"})
        EXPECT_FALSE(holds(address)) << address << " (narrow)";
}

TEST_P(ShippedProgram, AsksTheRealSiteForUpdatesAndHelp) {
    // The update server's address as update_base() returns it, whole: no
    // port or path follows it in the string.
    EXPECT_TRUE(holds(utf16("https://quillet.app") + std::string(2, '\0')));
}

INSTANTIATE_TEST_SUITE_P(Program, ShippedProgram, ::testing::Values(Where::BesideTheTests, Where::InTheZip),
                         [](const ::testing::TestParamInfo<Where>& info) {
                             return info.param == Where::BesideTheTests ? "BesideTheTests" : "InTheZip";
                         });

}  // namespace
