// The built Quillet.exe beside the tests, read as bytes: the program that
// ships holds the real site's address and no loopback address (the local
// test server's belongs to the test programs alone).
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

class ShippedProgram : public ::testing::Test {
protected:
    void SetUp() override {
        bytes_ = lowered(test_support::read_file(test_support::own_exe_dir() + L"\\Quillet.exe"));
        ASSERT_GT(bytes_.size(), 100000u) << "Quillet.exe is not beside the tests";
    }
    bool holds(const std::string& pattern) const { return bytes_.find(pattern) != std::string::npos; }
    std::string bytes_;
};

TEST_F(ShippedProgram, HoldsNoLoopbackAddress) {
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

TEST_F(ShippedProgram, AsksTheRealSiteForUpdatesAndHelp) {
    // The update server's address as update_base() returns it, whole: no
    // port or path follows it in the string.
    EXPECT_TRUE(holds(utf16("https://quillet.app") + std::string(2, '\0')));
}

}  // namespace
