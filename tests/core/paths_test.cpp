// File locations: the pure path rules in this process, and portable mode
// through a helper executable copied into temp folders with and without the
// marker file.
#include "core/paths.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <map>

#include "core/text.h"
#include "tests/core/temp_folder.h"

namespace {

using test_support::own_exe_dir;
using test_support::read_file;
using test_support::TempFolder;
using test_support::write_file;

std::wstring shell_folder(int csidl) {
    wchar_t buf[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, buf))) return {};
    return buf;
}

bool is_dir(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool is_file(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(Paths, JoinPath) {
    EXPECT_EQ(join_path(L"", L"x"), L"x");
    EXPECT_EQ(join_path(L"C:\\", L"x"), L"C:\\x");
    EXPECT_EQ(join_path(L"C:\\a", L"x"), L"C:\\a\\x");
    EXPECT_EQ(join_path(L"C:/a/", L"x"), L"C:/a/x");
    EXPECT_EQ(join_path(L"C:\\a", L""), L"C:\\a\\");
}

TEST(Paths, DatabasePathIn) {
    EXPECT_EQ(database_path_in(L"C:\\data", true), L"C:\\data\\quillet.db");
    EXPECT_EQ(database_path_in(L"C:\\Users\\u", false), L"C:\\Users\\u\\.quillet.db");
    EXPECT_EQ(database_path_in(L"", false), L".quillet.db");
}

TEST(Paths, NormalizePath) {
    EXPECT_EQ(winutil::normalize_path(L"C:\\a\\b\\..\\c\\"), L"C:\\a\\c");
    EXPECT_EQ(winutil::normalize_path(L"C:\\a\\.\\b//"), L"C:\\a\\b");
    EXPECT_EQ(winutil::normalize_path(L"C:/a/b"), L"C:\\a\\b");
    // The full path of the root is "X:\", which loses its separator.
    std::wstring root = winutil::normalize_path(L"\\");
    ASSERT_EQ(root.size(), 2u);
    EXPECT_EQ(root[1], L':');
    EXPECT_EQ(winutil::normalize_path(L""), L"");
    // Paths longer than the first buffer are resolved as well.
    std::wstring deep = L"C:\\" + std::wstring(1500, L'd') + L"\\" + std::wstring(300, L'e');
    EXPECT_EQ(winutil::normalize_path(deep + L"\\..\\f\\"), L"C:\\" + std::wstring(1500, L'd') + L"\\f");
}

TEST(Paths, IsPathInside) {
    struct Case {
        const wchar_t* path;
        const wchar_t* folder;
        bool inside;
    };
    const Case cases[] = {
        {L"C:\\Shots\\x.png", L"c:\\shots\\", true},
        {L"C:\\Shots\\sub\\x.png", L"C:\\Shots", true},
        {L"C:\\Shots\\sub\\..\\x.png", L"C:\\Shots", true},
        {L"C:/Shots/x.png", L"C:\\Shots", true},
        {L"C:\\Shots2\\x.png", L"C:\\Shots", false},
        {L"C:\\Shots", L"C:\\Shots", false},
        {L"C:\\Shots\\", L"C:\\Shots", false},
        {L"C:\\Shots\\..\\x.png", L"C:\\Shots", false},
        {L"C:\\Sh", L"C:\\Shots", false},
        {L"", L"C:\\Shots", false},
        {L"C:\\Shots\\x.png", L"", false},
        {L"C:\\\u0421\u043d\u0438\u043c\u043a\u0438\\x.png", L"c:\\\u0421\u041d\u0418\u041c\u041a\u0418", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(winutil::is_path_inside(c.path, c.folder), c.inside)
            << testing::PrintToString(std::wstring(c.path)) << " in " << testing::PrintToString(std::wstring(c.folder));
    }
}

TEST(Paths, ThisProcessUsesTheProfile) {
    const std::wstring dir = own_exe_dir();
    ASSERT_FALSE(is_file(dir + L"\\portable.txt")) << "the build folder must not be portable";
    std::wstring exe = winutil::exe_path();
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(is_file(exe));
    EXPECT_EQ(winutil::exe_dir(), dir);
    EXPECT_EQ(exe.substr(0, dir.size() + 1), dir + L"\\");
    EXPECT_FALSE(winutil::is_portable());
    EXPECT_EQ(lang_dir(), dir + L"\\lang\\");
    EXPECT_EQ(help_dir(), dir + L"\\help\\");

    const std::wstring profile = shell_folder(CSIDL_PROFILE);
    ASSERT_FALSE(profile.empty());
    EXPECT_EQ(winutil::data_dir(), profile);
    EXPECT_EQ(winutil::database_path(), profile + L"\\.quillet.db");
    EXPECT_EQ(winutil::ini_path(), profile + L"\\.quillet.db.ini");
    EXPECT_EQ(winutil::screenshots_dir(), L"");
    EXPECT_EQ(winutil::local_appdata_dir(), shell_folder(CSIDL_LOCAL_APPDATA) + L"\\Quillet");
}

// --- The helper executable, copied beside (or without) a marker file -------

using Report = std::map<std::wstring, std::wstring>;

// Copies the helper into the folder as "Quillet.exe", runs it there and
// returns what it reported; empty when it could not be run.
Report run_probe(const std::wstring& folder, bool prepare, const wchar_t* fallback_variable = nullptr) {
    const std::wstring exe = folder + L"\\Quillet.exe";
    if (!CopyFileW((own_exe_dir() + L"\\core_paths_probe.exe").c_str(), exe.c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy the helper (error " << GetLastError() << ")";
        return {};
    }
    TempFolder out_dir;
    const std::wstring out = out_dir.file(L"report.txt");
    std::wstring cmd = L"\"" + exe + L"\" \"" + out + L"\"" + (prepare ? L" prepare" : L"");

    SetEnvironmentVariableW(L"QUILLET_PORTABLE_FALLBACK", fallback_variable);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    BOOL started = CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                                  &si, &pi);
    DWORD start_error = GetLastError();
    SetEnvironmentVariableW(L"QUILLET_PORTABLE_FALLBACK", nullptr);
    if (!started) {
        ADD_FAILURE() << "cannot start the helper (error " << start_error << ")";
        return {};
    }
    raii::Handle process(pi.hProcess);
    raii::Handle thread(pi.hThread);
    EXPECT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(code, 0u);

    Report report;
    std::string bytes = read_file(out);
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        size_t eq = line.find('=');
        if (eq != std::string::npos) report[from_utf8(line.substr(0, eq))] = from_utf8(line.substr(eq + 1));
        pos = end + 1;
    }
    EXPECT_FALSE(report.empty()) << "the helper wrote no report";
    return report;
}

void expect_profile_locations(const Report& r, const std::wstring& folder) {
    const std::wstring profile = shell_folder(CSIDL_PROFILE);
    EXPECT_EQ(r.at(L"exe_path"), folder + L"\\Quillet.exe");
    EXPECT_EQ(r.at(L"exe_dir"), folder);
    EXPECT_EQ(r.at(L"data_dir"), profile);
    EXPECT_EQ(r.at(L"database_path"), profile + L"\\.quillet.db");
    EXPECT_EQ(r.at(L"ini_path"), profile + L"\\.quillet.db.ini");
    EXPECT_EQ(r.at(L"screenshots_dir"), L"");
    EXPECT_EQ(r.at(L"lang_dir"), folder + L"\\lang\\");
    EXPECT_EQ(r.at(L"help_dir"), folder + L"\\help\\");
}

void expect_portable_locations(const Report& r, const std::wstring& folder) {
    EXPECT_EQ(r.at(L"exe_path"), folder + L"\\Quillet.exe");
    EXPECT_EQ(r.at(L"is_portable"), L"1");
    EXPECT_EQ(r.at(L"fallback"), L"0");
    EXPECT_EQ(r.at(L"data_dir"), folder + L"\\data");
    EXPECT_EQ(r.at(L"database_path"), folder + L"\\data\\quillet.db");
    EXPECT_EQ(r.at(L"ini_path"), folder + L"\\data\\quillet.db.ini");
    EXPECT_EQ(r.at(L"screenshots_dir"), folder + L"\\data\\screenshots");
    EXPECT_EQ(r.at(L"lang_dir"), folder + L"\\lang\\");
}

TEST(PortableMode, WithoutMarkerTheProfileIsUsed) {
    TempFolder dir(L" \u041f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u0430 \u7a0b\u5e8f");
    ASSERT_FALSE(dir.path().empty());
    Report r = run_probe(dir.path(), true);
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r.at(L"is_portable"), L"0");
    expect_profile_locations(r, dir.path());
    EXPECT_FALSE(is_dir(dir.file(L"data")));
}

TEST(PortableMode, MarkerFileMovesEverythingBesideTheExecutable) {
    TempFolder dir(L" \u041f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u0430");
    ASSERT_TRUE(write_file(dir.file(L"portable.txt"), ""));
    Report r = run_probe(dir.path(), false);
    ASSERT_FALSE(r.empty());
    expect_portable_locations(r, dir.path());
    EXPECT_FALSE(is_dir(dir.file(L"data")));

    r = run_probe(dir.path(), true);
    ASSERT_FALSE(r.empty());
    expect_portable_locations(r, dir.path());
    EXPECT_TRUE(is_dir(dir.file(L"data")));
    EXPECT_TRUE(is_dir(dir.file(L"data\\screenshots")));
}

TEST(PortableMode, FolderNamedLikeTheMarkerDoesNotCount) {
    TempFolder dir;
    ASSERT_TRUE(CreateDirectoryW(dir.file(L"portable.txt").c_str(), nullptr));
    Report r = run_probe(dir.path(), false);
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r.at(L"is_portable"), L"0");
    expect_profile_locations(r, dir.path());
}

TEST(PortableMode, DataFolderThatCannotBeMadeFallsBackToTheProfile) {
    TempFolder dir;
    ASSERT_TRUE(write_file(dir.file(L"portable.txt"), "x"));
    ASSERT_TRUE(write_file(dir.file(L"data"), "a file where the folder should be"));
    Report r = run_probe(dir.path(), true);
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r.at(L"is_portable"), L"1");
    EXPECT_EQ(r.at(L"fallback"), L"1");
    expect_profile_locations(r, dir.path());
    EXPECT_TRUE(is_file(dir.file(L"data")));
}

TEST(PortableMode, FallbackVariableIsHonoured) {
    TempFolder dir;
    ASSERT_TRUE(write_file(dir.file(L"portable.txt"), ""));
    Report r = run_probe(dir.path(), false, L"1");
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r.at(L"fallback"), L"1");
    expect_profile_locations(r, dir.path());

    for (const wchar_t* other : {L"0", L"", L"11", L"yes"}) {
        r = run_probe(dir.path(), false, other);
        ASSERT_FALSE(r.empty());
        SCOPED_TRACE(testing::PrintToString(std::wstring(other)));
        EXPECT_EQ(r.at(L"fallback"), L"0");
        expect_portable_locations(r, dir.path());
    }
}

// A path of any length is read whole, with buffers that grow as
// GetModuleFileNameW needs them. (Wine cannot start an executable whose path
// is longer than MAX_PATH, so this is checked with a stand-in.)
TEST(Paths, LongModulePathIsReadWhole) {
    struct Fake {
        std::wstring path;
        DWORD operator()(wchar_t* buf, DWORD size) const {
            DWORD n = static_cast<DWORD>(path.size());
            DWORD copied = n < size ? n : size;
            std::copy(path.begin(), path.begin() + copied, buf);
            if (copied < size) buf[copied] = 0;
            if (copied == size) buf[size - 1] = 0;  // cut and terminated, as Windows does
            return copied;
        }
    };
    for (size_t length : {3u, 259u, 260u, 261u, 700u, 32767u}) {
        const Fake fake{L"C:\\" + std::wstring(length - 3, L'p')};
        ASSERT_EQ(fake.path.size(), length);
        EXPECT_EQ(winutil::read_whole_path(fake), fake.path) << length;
    }
    const Fake too_long{std::wstring(32768, L'q')};
    EXPECT_EQ(winutil::read_whole_path(too_long), L"");
    EXPECT_EQ(winutil::read_whole_path([](wchar_t*, DWORD) -> DWORD { return 0; }), L"");
}

}  // namespace
