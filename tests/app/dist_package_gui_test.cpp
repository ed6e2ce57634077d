// The zip a Windows user downloads, as the dist target made it and the test
// fixture unpacked it into an empty folder (QUILLET_DIST_DIR): exactly the
// program, its eight languages, its help page, its licence and the notices
// of the software by others inside it, the same as in the source tree; and
// the unpacked program, started in portable mode, showing its licence in
// Notepad, handing its local help page to the shell, and saying where to
// read both when nothing can show them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "app/app_ids.h"
#include "app/hotkey_text.h"
#include "app/hotkeys.h"
#include "core/handles.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/text.h"
#include "tests/app/app_test_support.h"
#include "tests/store/fixtures/backup_samples.h"
#include "tests/theme/gui_support.h"

namespace {

using namespace app_test;
using test_support::read_file;
using test_support::write_file;

// The folder the zip was unpacked into.
std::wstring unpacked_dir() {
    wchar_t buf[4096] = {};
    const DWORD n = GetEnvironmentVariableW(L"QUILLET_DIST_DIR", buf, 4096);
    return n > 0 && n < 4096 ? std::wstring(buf, n) : std::wstring();
}

// Every file under the folder, as relative paths with "/" between names.
std::vector<std::wstring> files_under(const std::wstring& dir) {
    std::vector<std::wstring> files;
    test_support::for_each_file(dir, [&](const std::wstring& path) {
        std::wstring relative = path.substr(dir.size() + 1);
        std::replace(relative.begin(), relative.end(), L'\\', L'/');
        files.push_back(relative);
    });
    std::sort(files.begin(), files.end());
    return files;
}

// Copies the folder's files, except those the filter refuses, into target.
bool copy_tree(const std::wstring& from, const std::wstring& to, bool (*keep)(const std::wstring& relative)) {
    for (const std::wstring& file : files_under(from)) {
        if (!keep(file)) continue;
        std::wstring relative = file;
        std::replace(relative.begin(), relative.end(), L'/', L'\\');
        const size_t slash = relative.rfind(L'\\');
        if (slash != std::wstring::npos) CreateDirectoryW((to + L"\\" + relative.substr(0, slash)).c_str(), nullptr);
        if (!CopyFileW((from + L"\\" + relative).c_str(), (to + L"\\" + relative).c_str(), FALSE)) return false;
    }
    return true;
}

bool keep_all(const std::wstring&) { return true; }
bool keep_program_and_languages(const std::wstring& file) {
    return file != L"license.txt" && file.rfind(L"help/", 0) != 0;
}

// A default value under HKEY_CLASSES_ROOT set for the test and put back as
// it was when the object goes; a key the test made is removed with its root.
class ClassValue {
public:
    ClassValue(const std::wstring& key, const std::wstring& value, const std::wstring& root = L"")
        : key_(key), root_(root.empty() ? key : root) {
        raii::RegKey k;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, k.put()) == ERROR_SUCCESS) {
            existed_ = true;
            wchar_t old[2048] = {};
            DWORD size = sizeof(old) - sizeof(wchar_t);
            DWORD type = 0;
            if (RegQueryValueExW(k.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(old), &size) ==
                    ERROR_SUCCESS &&
                (type == REG_SZ || type == REG_EXPAND_SZ)) {
                had_value_ = true;
                type_ = type;
                old_ = old;
            }
        }
        ok_ = write(value, REG_SZ);
    }
    ~ClassValue() {
        if (!existed_) {
            RegDeleteTreeW(HKEY_CLASSES_ROOT, root_.c_str());
            RegDeleteKeyW(HKEY_CLASSES_ROOT, root_.c_str());
        } else if (had_value_) {
            write(old_, type_);
        } else {
            raii::RegKey k;
            if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key_.c_str(), 0, KEY_SET_VALUE, k.put()) == ERROR_SUCCESS)
                RegDeleteValueW(k.get(), nullptr);
        }
    }
    ClassValue(const ClassValue&) = delete;
    ClassValue& operator=(const ClassValue&) = delete;
    bool ok() const { return ok_; }

private:
    bool write(const std::wstring& value, DWORD type) {
        raii::RegKey k;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, k.put(),
                            nullptr) != ERROR_SUCCESS)
            return false;
        return RegSetValueExW(k.get(), nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    std::wstring key_, root_, old_;
    bool existed_ = false, had_value_ = false, ok_ = false;
    DWORD type_ = REG_SZ;
};

// A visible top-level window of another process whose title holds the
// text (compared in lower case).
HWND window_titled(const std::wstring& part, DWORD skip_pid) {
    struct Search {
        std::wstring part;
        DWORD skip;
        HWND found = nullptr;
    } search{part, skip_pid};
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == GetCurrentProcessId() || pid == s->skip || !IsWindowVisible(w)) return TRUE;
            std::wstring title = gui_test::text_of(w);
            for (wchar_t& c : title) c = static_cast<wchar_t>(towlower(c));
            if (title.find(s->part) == std::wstring::npos) return TRUE;
            s->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Ends the process of the window: asked to close, then made to.
void close_process_of(HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    raii::Handle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
    PostMessageW(w, WM_CLOSE, 0, 0);
    if (process && WaitForSingleObject(process.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(process.get(), 0);
}

// The text of a window of another process, asked of the window itself
// (GetWindowText gives only the caption of such a window).
std::wstring text_asked_of(HWND w) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             5000, &got))
        return {};
    text.resize(static_cast<size_t>(got));
    return text;
}

// The texts of the windows inside the box, one per line.
std::wstring child_texts(HWND box) {
    std::wstring all;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM lp) -> BOOL {
            *reinterpret_cast<std::wstring*>(lp) += text_asked_of(child) + L"\n";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

std::wstring without_final_separator(std::wstring path) {
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

bool same_path(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::string window_class(HWND w) {
    char name[256] = {};
    GetClassNameA(w, name, 256);
    return name;
}

class DistPackage : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = unpacked_dir();
        ASSERT_FALSE(dir_.empty()) << "QUILLET_DIST_DIR is not set";
        ASSERT_NE(GetFileAttributesW(dir_.c_str()), INVALID_FILE_ATTRIBUTES) << "the zip was not unpacked";
    }

    // A copy of the unpacked folder (all of it, or without licence and
    // help) with an empty portable.txt and a settings file that turns the
    // automatic update check off; the program started from it, its main
    // window found.
    HWND start(bool (*keep)(const std::wstring&)) {
        if (!copy_tree(dir_, copy_.path(), keep)) return nullptr;
        if (!write_file(copy_.file(L"portable.txt"), "")) return nullptr;
        CreateDirectoryW(copy_.file(L"data").c_str(), nullptr);
        Settings settings;
        settings.check_updates = false;
        settings.save(copy_.file(L"data\\quillet.db.ini"));
        if (!quillet_.start(copy_.file(L"Quillet.exe"), L"", copy_.path())) return nullptr;
        main_ = main_window_of(quillet_.id(), 30000);
        if (main_) pump(500);
        return main_;
    }
    void command(int id) { PostMessageW(main_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    int quit() {
        command(kCmdQuit);
        return quillet_.wait(20000);
    }
    // The English texts as the unpacked program reads them.
    std::wstring english(const std::wstring& key) {
        const auto texts = parse_language_file(read_file(dir_ + L"\\lang\\en.ini"));
        const auto it = texts.find(key);
        return it == texts.end() ? std::wstring() : it->second;
    }

    // Licence and User guide each show the program's message, titled as
    // the command, naming the online page; the message is closed.
    void expect_messages_where_to_read_licence_and_help() {
        struct Case {
            int command;
            std::wstring title, text;
        };
        const Case cases[] = {
            {kCmdLicense, english(L"action.license"),
             english(L"license.missing") + L"\n\nhttps://quillet.app/terms/"},
            {kCmdGuide, english(L"action.guide"),
             english(L"help.missing") + L"\n\nhttps://quillet.app/docs/index.en.html"},
        };
        for (const Case& c : cases) {
            ASSERT_FALSE(c.title.empty());
            command(c.command);
            HWND box = process_window(quillet_.id(), L"QuilletConfirmBox", 20000);
            ASSERT_TRUE(box) << "no message for command " << c.command;
            EXPECT_EQ(gui_test::text_of(box), c.title);
            EXPECT_NE(child_texts(box).find(c.text), std::wstring::npos) << to_utf8(child_texts(box));
            PostMessageW(GetDlgItem(box, 1), BM_CLICK, 0, 0);
            EXPECT_TRUE(gui_test::wait_until([&] { return !IsWindow(box); }, 10000));
        }
    }

    std::wstring dir_;
    TempFolder copy_;
    Process quillet_;
    HWND main_ = nullptr;
};

TEST_F(DistPackage, HoldsTheProgramItsLanguagesHelpAndLicenceSideBySide) {
    const std::vector<std::wstring> expected = {
        L"Quillet.exe", L"THIRD-PARTY-NOTICES.txt", L"help/index.en.html", L"lang/de.ini", L"lang/en.ini",
        L"lang/es.ini", L"lang/fr.ini",             L"lang/it.ini",        L"lang/pl.ini", L"lang/pt.ini",
        L"lang/ru.ini", L"license.txt"};
    EXPECT_EQ(files_under(dir_), expected);

    const std::wstring source = backup_test::source_dir();
    ASSERT_FALSE(source.empty());
    // The program is the one built for shipping, the texts those of the tree.
    const std::string program = read_file(dir_ + L"\\Quillet.exe");
    EXPECT_GT(program.size(), 100000u);
    EXPECT_EQ(program, read_file(own_exe_dir() + L"\\Quillet.exe"));
    for (const wchar_t* code : {L"de", L"en", L"es", L"fr", L"it", L"pl", L"pt", L"ru"}) {
        const std::wstring name = std::wstring(L"\\lang\\") + code + L".ini";
        EXPECT_EQ(read_file(dir_ + name), read_file(source + L"\\resources" + name)) << code;
    }
    const std::string page = read_file(dir_ + L"\\help\\index.en.html");
    EXPECT_EQ(page, read_file(source + L"\\resources\\help\\index.en.html"));

    // The licence is the tree's LICENSE with Windows line ends: MIT, the
    // project's copyright.
    std::string licence = read_file(source + L"\\LICENSE");
    ASSERT_FALSE(licence.empty());
    std::string windows;
    for (char c : licence) {
        if (c == '\r') continue;
        if (c == '\n') windows += '\r';
        windows += c;
    }
    EXPECT_EQ(read_file(dir_ + L"\\license.txt"), windows);
    EXPECT_EQ(licence.rfind("MIT License\n", 0), 0u);
    EXPECT_NE(licence.find("Copyright (c) 2026 the Quillet developers"), std::string::npos);
}

TEST_F(DistPackage, NoticesNameEverythingByOthersInsideTheProgram) {
    const std::string notices = read_file(dir_ + L"\\THIRD-PARTY-NOTICES.txt");
    ASSERT_GT(notices.size(), 20000u);
    // Windows line ends throughout, so that every Notepad shows its lines.
    for (size_t i = notices.find('\n'); i != std::string::npos; i = notices.find('\n', i + 1))
        ASSERT_TRUE(i > 0 && notices[i - 1] == '\r') << "a bare line feed at " << i;

    // The runtime libraries are inside the program, not beside it.
    const std::string program = read_file(dir_ + L"\\Quillet.exe");
    for (const char* dll : {"libwinpthread-1.dll", "libstdc++-6.dll", "libgcc_s_seh-1.dll", "sqlite3.dll"})
        EXPECT_EQ(program.find(dll), std::string::npos) << "Quillet.exe loads " << dll;

    struct Part {
        const char* name;
        std::vector<std::string> words;
    };
    const std::string sqlite = std::string("SQLite ") + sqlite3_libversion();
    const Part parts[] = {
        {"SQLite", {sqlite, "better-sqlite3@12.9.0", "public domain", "The author disclaims copyright"}},
        {"mingw-w64 runtime", {"mingw-w64 runtime", "Copyright:\r\n  2009-2016 the mingw-w64 project", "ZPL-2.1"}},
        {"winpthreads", {"winpthreads\r\nCopyright:\r\n  2011-2016 mingw-w64 project", "Licence: expat",
                         "Permission is hereby granted, free of charge"}},
        {"GCC runtime", {"libgcc", "libstdc++", "GCC RUNTIME LIBRARY EXCEPTION", "Version 3.1, 31 March 2009",
                         "GNU GENERAL PUBLIC LICENSE", "Version 3, 29 June 2007"}},
        {"icon font", {"Material Icons", "fonts-material-design-icons-iconfont 6.7.0", "Apache License",
                       "Version 2.0, January 2004"}},
    };
    for (const Part& part : parts)
        for (const std::string& word : part.words)
            EXPECT_NE(notices.find(word), std::string::npos) << part.name << ": " << word;
}

TEST_F(DistPackage, TheHelpPageStandsAloneAndNamesTheDefaultKeys) {
    const std::string page = read_file(dir_ + L"\\help\\index.en.html");
    ASSERT_GT(page.size(), 10000u);
    std::string lower = page;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    // One page with nothing to fetch and nothing to run.
    for (const char* outside : {"<script", "://", "<link", "<iframe", "<img", "@import", "url(", "javascript:"})
        EXPECT_EQ(lower.find(outside), std::string::npos) << outside;
    EXPECT_EQ(lower.rfind("<!doctype html>", 0), 0u);
    EXPECT_NE(lower.find("<meta charset=\"utf-8\">"), std::string::npos);

    // Every hotkey as a fresh settings file binds it, and the fixed ones,
    // in the form the program shows them.
    const Settings defaults;
    std::vector<std::wstring> keys;
    for (const std::wstring* text : {&defaults.hotkey, &defaults.plain_hotkey, &defaults.snippets_hotkey,
                                     &defaults.screenshot_hotkey, &defaults.screenshot_window_hotkey,
                                     &defaults.screenshot_full_hotkey}) {
        const HotkeyBinding b = parse_hotkey(*text);
        keys.push_back(hotkey_display_text(b.modifiers, b.key));
    }
    keys.push_back(hotkey_display_text(kQuickMenuModifiers, kQuickMenuKey));
    keys.push_back(hotkey_display_text(kQuickSlotModifiers, '1'));
    const HotkeyBinding fallback = parse_hotkey(L"ctrl+shift+alt+p");
    keys.push_back(hotkey_display_text(fallback.modifiers, fallback.key));
    for (const std::wstring& key : keys) {
        ASSERT_FALSE(key.empty());
        EXPECT_NE(page.find("<kbd>" + to_utf8(key) + "</kbd>"), std::string::npos) << to_utf8(key);
    }
    // The places the data lives in.
    for (const char* name : {"portable.txt", "quillet.db", ".quillet.db", "quillet.db.ini", "screenshots"})
        EXPECT_NE(page.find(name), std::string::npos) << name;
}

TEST_F(DistPackage, LicenceCommandShowsTheShippedLicenceInNotepad) {
    // The test prefix opens ".txt" files in Notepad, as Windows does.
    ASSERT_TRUE(start(keep_all)) << "no QuilletMain window";
    EXPECT_NE(GetFileAttributesW(copy_.file(L"data\\quillet.db").c_str()), INVALID_FILE_ATTRIBUTES)
        << "not in portable mode";

    command(kCmdLicense);
    HWND viewer = nullptr;
    ASSERT_TRUE(gui_test::wait_until([&] { return (viewer = window_titled(L"license", quillet_.id())) != nullptr; },
                                     20000))
        << "no viewer shows license.txt";
    EXPECT_EQ(window_class(viewer), "Notepad");
    HWND edit = FindWindowExW(viewer, nullptr, L"Edit", nullptr);
    EXPECT_TRUE(edit) << "the viewer has no text";
    std::wstring shown;
    gui_test::wait_until([&] { return !(shown = text_asked_of(edit)).empty(); }, 5000);
    EXPECT_EQ(to_utf8(shown), read_file(copy_.file(L"license.txt")));
    EXPECT_FALSE(process_window(quillet_.id(), L"QuilletConfirmBox", 0)) << "a message came as well";
    close_process_of(viewer);
    EXPECT_EQ(quit(), 0);
}

TEST_F(DistPackage, UserGuideHandsTheLocalHelpPageToTheShell) {
    // The program that shows ".html" files is a recorder of what the shell
    // hands it, and of the folder it starts it in.
    const TempFolder records;
    const std::wstring record = records.file(L"opened.txt");
    const std::wstring handler = L"\"" + own_exe_dir() + L"\\page_recorder.exe\" \"" + record + L"\" \"%1\"";
    ClassValue html(L".html", L"QuilletTest.Page");
    ClassValue command_line(L"QuilletTest.Page\\shell\\open\\command", handler, L"QuilletTest.Page");
    ASSERT_TRUE(html.ok() && command_line.ok());
    ASSERT_TRUE(start(keep_all)) << "no QuilletMain window";

    command(kCmdGuide);
    ASSERT_TRUE(gui_test::wait_until(
        [&] { return GetFileAttributesW(record.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000))
        << "the shell started nothing";
    const std::string bytes = read_file(record);
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    const size_t line = text.find(L'\n');
    ASSERT_NE(line, std::wstring::npos);
    EXPECT_TRUE(same_path(text.substr(0, line), copy_.file(L"help\\index.en.html"))) << to_utf8(text);
    EXPECT_TRUE(same_path(without_final_separator(text.substr(line + 1)), copy_.path())) << to_utf8(text);
    EXPECT_FALSE(process_window(quillet_.id(), L"QuilletConfirmBox", 0)) << "a message came as well";
    EXPECT_EQ(quit(), 0);
}

TEST_F(DistPackage, WithoutLicenceOrHelpAndNoBrowserTheMessagesSayWhereToReadThem) {
    // Web addresses go to a browser that is not there.
    ClassValue https(L"https\\shell\\open\\command", L"\"C:\\windows\\quillet-test-no-browser.exe\" \"%1\"");
    ASSERT_TRUE(https.ok());
    ASSERT_TRUE(start(keep_program_and_languages)) << "no QuilletMain window";

    expect_messages_where_to_read_licence_and_help();
    EXPECT_EQ(quit(), 0);
}

TEST_F(DistPackage, WhenNothingCanShowLicenceOrHelpTheMessagesSayWhereToReadThem) {
    // Both are shipped, but nothing opens text files, and the machine has
    // no browser for the help page or for the addresses: the shell's
    // hand-off must not pass for success.
    if (machine_has_browser()) GTEST_SKIP() << "this machine has a browser: the prefix hands addresses to it";
    ClassValue txt(L".txt", L"QuilletTest.NoViewer");
    ClassValue no_viewer(L"QuilletTest.NoViewer", L"Text without a viewer");
    ASSERT_TRUE(txt.ok() && no_viewer.ok());
    ASSERT_TRUE(start(keep_all)) << "no QuilletMain window";

    expect_messages_where_to_read_licence_and_help();
    EXPECT_FALSE(window_titled(L"license", quillet_.id())) << "a viewer came as well";
    EXPECT_EQ(quit(), 0);
}

}  // namespace
