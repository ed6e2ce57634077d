// The settings record and its INI file, against real files in a temp folder.
#include "core/settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <utility>
#include <set>
#include <variant>
#include <vector>

#include "tests/core/temp_folder.h"

namespace {

using test_support::read_file;
using test_support::TempFolder;
using test_support::write_file;

using Member = std::variant<bool Settings::*, int Settings::*, int64_t Settings::*, std::wstring Settings::*>;

struct FieldCase {
    const wchar_t* key;
    Member member;
    const wchar_t* default_text;  // the value a new record holds
    const wchar_t* other_text;    // another value within the load limits
};

// Every field: its key, the member it names, its default and another value.
const FieldCase kFields[] = {
    {L"watch_clipboard", &Settings::watch_clipboard, L"true", L"false"},
    {L"dark_mode", &Settings::dark_mode, L"false", L"true"},
    {L"always_on_top", &Settings::always_on_top, L"true", L"false"},
    {L"close_on_paste", &Settings::close_on_paste, L"true", L"false"},
    {L"hide_on_copy", &Settings::hide_on_copy, L"false", L"true"},
    {L"click_to_copy", &Settings::click_to_copy, L"true", L"false"},
    {L"tray_on_minimize", &Settings::tray_on_minimize, L"false", L"true"},
    {L"start_in_tray", &Settings::start_in_tray, L"false", L"true"},
    {L"show_time", &Settings::show_time, L"true", L"false"},
    {L"show_hints", &Settings::show_hints, L"true", L"false"},
    {L"show_category", &Settings::show_category, L"true", L"false"},
    {L"sort_by_frequency", &Settings::sort_by_frequency, L"false", L"true"},
    {L"pinned_first", &Settings::pinned_first, L"true", L"false"},
    {L"repeat_on_copy", &Settings::repeat_on_copy, L"false", L"true"},
    {L"sound_on_copy", &Settings::sound_on_copy, L"false", L"true"},
    {L"sound_on_paste", &Settings::sound_on_paste, L"false", L"true"},
    {L"sound_copy_id", &Settings::sound_copy_id, L"2", L"4"},
    {L"sound_paste_id", &Settings::sound_paste_id, L"1", L"3"},
    {L"ttl_days", &Settings::ttl_days, L"0", L"30"},
    {L"trash_hours", &Settings::trash_hours, L"24", L"0"},
    {L"categories_width", &Settings::categories_width, L"130", L"210"},
    {L"categories_collapsed", &Settings::categories_collapsed, L"false", L"true"},
    {L"snippet_panel_collapsed", &Settings::snippet_panel_collapsed, L"true", L"false"},
    {L"categories_hidden", &Settings::categories_hidden, L"0", L"37"},
    {L"font_size", &Settings::font_size, L"14", L"17"},
    {L"scroll_lines", &Settings::scroll_lines, L"1", L"3"},
    {L"window_x", &Settings::window_x, L"-1", L"-1200"},
    {L"window_y", &Settings::window_y, L"-1", L"77"},
    {L"window_w", &Settings::window_w, L"620", L"1024"},
    {L"window_h", &Settings::window_h, L"440", L"900"},
    {L"last_view_filter", &Settings::last_view_filter, L"0", L"6"},
    {L"last_view_cat_id", &Settings::last_view_cat_id, L"-1", L"42"},
    {L"last_view_templates", &Settings::last_view_templates, L"false", L"true"},
    {L"hotkey", &Settings::hotkey, L"ctrl+shift+v", L"ctrl+alt+h"},
    {L"plain_hotkey", &Settings::plain_hotkey, L"ctrl+shift+alt+u", L"win+shift+p"},
    {L"snippets_hotkey", &Settings::snippets_hotkey, L"ctrl+shift+alt+s", L"ctrl+f12"},
    {L"screenshot_hotkey", &Settings::screenshot_hotkey, L"prtscr", L"ctrl+shift+alt+p"},
    {L"screenshot_window_hotkey", &Settings::screenshot_window_hotkey, L"alt+prtscr", L"ctrl+prtscr"},
    {L"screenshot_full_hotkey", &Settings::screenshot_full_hotkey, L"shift+prtscr", L"win+prtscr"},
    {L"screenshot_editor_enabled", &Settings::screenshot_editor_enabled, L"true", L"false"},
    {L"screenshot_copy_to_clipboard", &Settings::screenshot_copy_to_clipboard, L"true", L"false"},
    {L"screenshot_autosave", &Settings::screenshot_autosave, L"false", L"true"},
    {L"clipboard_images_autosave", &Settings::clipboard_images_autosave, L"false", L"true"},
    {L"screenshot_folder", &Settings::screenshot_folder, L"",
     L"C:\\Users\\\u0418\u0432\u0430\u043d\\\u0421\u043d\u0438\u043c\u043a\u0438 \u044d\u043a\u0440\u0430\u043d\u0430"},
    {L"backup_folder", &Settings::backup_folder, L"", L"D:\\\u5907\u4efd\\\u526a\u8d34\u677f"},
    {L"screenshot_color", &Settings::screenshot_color, L"0", L"16711935"},
    {L"screenshot_thickness", &Settings::screenshot_thickness, L"3", L"24"},
    {L"app_filter_mode", &Settings::app_filter_mode, L"all", L"blacklist"},
    {L"app_filter_list", &Settings::app_filter_list, L"",
     L"chrome.exe;\u0422\u0435\u043b\u0435\u0433\u0440\u0430\u043c.exe;\u5fae\u4fe1.exe"},
    {L"language", &Settings::language, L"en", L"pt_BR"},
    {L"snippet_collapsed_groups", &Settings::snippet_collapsed_groups, L"",
     L"\u0420\u0430\u0431\u043e\u0442\u0430;\u5de5\u4f5c;\U0001F600 \u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac"},
    {L"check_updates", &Settings::check_updates, L"true", L"false"},
    {L"last_update_check", &Settings::last_update_check, L"0", L"9999999999"},
};

// The member's value in the file's text form, read directly from the record.
std::wstring member_text(const Settings& s, const Member& m) {
    return std::visit(
        [&](auto ptr) -> std::wstring {
            const auto& v = s.*ptr;
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, bool>)
                return v ? L"true" : L"false";
            else if constexpr (std::is_same_v<V, std::wstring>)
                return v;
            else
                return std::to_wstring(v);
        },
        m);
}

std::wstring missing_key_text(const FieldCase& f) {
    if (std::wstring(f.key) == L"window_w") return L"576";
    if (std::wstring(f.key) == L"window_h") return L"783";
    return f.default_text;
}

// A settings file in the ANSI form a user or an older version may write.
std::string ini_with(const std::string& lines) { return "[Settings]\r\n" + lines; }

// The keys of a UTF-16 settings file, in file order.
std::vector<std::wstring> keys_in_utf16_file(const std::string& bytes) {
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    std::vector<std::wstring> keys;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(L'\n', pos);
        std::wstring line = text.substr(pos, end == std::wstring::npos ? std::wstring::npos : end - pos);
        size_t eq = line.find(L'=');
        if (eq != std::wstring::npos) keys.push_back(line.substr(0, eq));
        if (end == std::wstring::npos) break;
        pos = end + 1;
    }
    return keys;
}

TEST(Settings, TableCoversEveryField) {
    std::set<std::wstring> table;
    for (const FieldCase& f : kFields) table.insert(f.key);
    std::vector<std::wstring> keys = Settings::keys();
    std::set<std::wstring> record(keys.begin(), keys.end());
    EXPECT_EQ(record.size(), keys.size()) << "a key appears twice";
    EXPECT_EQ(table, record);
}

TEST(Settings, NewRecordHoldsTheDefaults) {
    Settings s;
    for (const FieldCase& f : kFields) {
        SCOPED_TRACE(f.key);
        EXPECT_EQ(member_text(s, f.member), f.default_text);
        EXPECT_EQ(s.get_as_text(f.key, L"?"), f.default_text);
    }
}

TEST(Settings, SetFromTextReachesTheNamedMember) {
    for (const FieldCase& f : kFields) {
        SCOPED_TRACE(f.key);
        Settings s;
        s.set_from_text(f.key, f.other_text);
        EXPECT_EQ(member_text(s, f.member), f.other_text);
        EXPECT_EQ(s.get_as_text(f.key, L"?"), f.other_text);
        // No other field moved.
        for (const FieldCase& g : kFields) {
            if (&g != &f) {
                EXPECT_EQ(member_text(s, g.member), g.default_text) << g.key;
            }
        }
    }
}

TEST(Settings, SaveThenLoadReproducesEveryField) {
    TempFolder dir(L"-\u0418\u043c\u044f-\u540d");
    ASSERT_FALSE(dir.path().empty());
    const std::wstring path = dir.file(L".quillet.db.ini");
    Settings a;
    for (const FieldCase& f : kFields) a.set_from_text(f.key, f.other_text);
    a.save(path);

    Settings b;
    b.load(path);
    for (const FieldCase& f : kFields) {
        SCOPED_TRACE(f.key);
        EXPECT_EQ(member_text(b, f.member), f.other_text);
    }
}

TEST(Settings, DefaultsSurviveSaveAndLoad) {
    TempFolder dir;
    const std::wstring path = dir.file(L"quillet.db.ini");
    Settings().save(path);
    Settings b;
    b.set_from_text(L"font_size", L"11");
    b.load(path);
    for (const FieldCase& f : kFields) {
        SCOPED_TRACE(f.key);
        EXPECT_EQ(member_text(b, f.member), f.default_text);
    }
}

TEST(Settings, NewFileIsUtf16InSaveOrder) {
    TempFolder dir;
    const std::wstring path = dir.file(L"s.ini");
    Settings s;
    s.backup_folder = L"\u0416\u5b57";
    s.save(path);
    std::string bytes = read_file(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xFE);
    // The value's UTF-16 units are in the file as they are.
    EXPECT_NE(bytes.find(std::string("\x16\x04\x57\x5b", 4)), std::string::npos);

    const std::vector<std::wstring> expected = {
        L"watch_clipboard", L"dark_mode", L"always_on_top", L"close_on_paste", L"hide_on_copy",
        L"click_to_copy", L"tray_on_minimize", L"start_in_tray", L"show_time", L"show_hints",
        L"show_category", L"sort_by_frequency", L"pinned_first", L"repeat_on_copy", L"sound_on_copy",
        L"sound_on_paste", L"sound_copy_id", L"sound_paste_id", L"categories_collapsed",
        L"snippet_panel_collapsed", L"categories_hidden", L"ttl_days", L"trash_hours",
        L"categories_width", L"font_size", L"scroll_lines", L"hotkey", L"plain_hotkey",
        L"snippets_hotkey", L"screenshot_hotkey", L"screenshot_window_hotkey",
        L"screenshot_full_hotkey", L"screenshot_editor_enabled", L"screenshot_copy_to_clipboard",
        L"screenshot_autosave", L"clipboard_images_autosave", L"screenshot_folder", L"backup_folder",
        L"screenshot_color", L"screenshot_thickness", L"app_filter_mode", L"app_filter_list",
        L"language", L"snippet_collapsed_groups", L"window_x", L"window_y", L"window_w", L"window_h",
        L"last_view_filter", L"last_view_cat_id", L"last_view_templates", L"check_updates",
        L"last_update_check"};
    EXPECT_EQ(keys_in_utf16_file(bytes), expected);
}

TEST(Settings, EmptyOrMissingFileGivesMissingKeyValues) {
    TempFolder dir;
    ASSERT_TRUE(write_file(dir.file(L"empty.ini"), ""));
    ASSERT_TRUE(write_file(dir.file(L"section.ini"), ini_with("")));
    for (const wchar_t* name : {L"empty.ini", L"section.ini", L"absent.ini"}) {
        SCOPED_TRACE(name);
        Settings s;
        for (const FieldCase& f : kFields) s.set_from_text(f.key, f.other_text);
        s.load(dir.file(name));
        for (const FieldCase& f : kFields) EXPECT_EQ(member_text(s, f.member), missing_key_text(f)) << f.key;
    }
}

struct StoredCase {
    const char* key;
    const char* stored;       // the value as written in the file
    const wchar_t* expected;  // get_as_text after the load
};

// Hand-written values: odd spellings, numbers that do not parse or do not
// fit, and values outside the limits.
const StoredCase kStored[] = {
    {"dark_mode", "TRUE", L"false"},
    {"dark_mode", "yes", L"false"},
    {"dark_mode", "1", L"true"},
    {"dark_mode", "true", L"true"},
    {"always_on_top", "True", L"false"},
    {"watch_clipboard", "", L"false"},
    {"watch_clipboard", "0", L"false"},
    {"ttl_days", "12days", L"12"},
    {"ttl_days", "", L"0"},
    {"ttl_days", "x", L"0"},
    {"trash_hours", "x", L"24"},
    {"trash_hours", "-3", L"-3"},
    {"trash_hours", "+8", L"8"},
    {"categories_width", "-", L"130"},
    {"categories_width", "99999999999", L"130"},
    {"window_w", "x", L"576"},
    {"window_w", "", L"576"},
    {"window_h", "abc", L"783"},
    {"window_w", "300", L"300"},
    {"window_x", "-2147483648", L"-2147483648"},
    {"window_x", "2147483647", L"2147483647"},
    {"window_x", "2147483648", L"-1"},
    {"window_y", "-99999999999999999999", L"-1"},
    {"last_update_check", "99999999999", L"99999999999"},
    {"last_update_check", "-5", L"-5"},
    {"last_update_check", "9223372036854775807", L"9223372036854775807"},
    {"last_update_check", "9223372036854775808", L"0"},
    {"last_update_check", "x", L"0"},
    {"font_size", "25", L"18"},
    {"font_size", "3", L"10"},
    {"font_size", "-100", L"10"},
    {"font_size", "x", L"14"},
    {"scroll_lines", "0", L"1"},
    {"scroll_lines", "9", L"4"},
    {"screenshot_thickness", "99", L"24"},
    {"screenshot_thickness", "0", L"1"},
    {"sound_copy_id", "7", L"2"},
    {"sound_copy_id", "0", L"2"},
    {"sound_copy_id", "3", L"3"},
    {"sound_paste_id", "0", L"1"},
    {"sound_paste_id", "5", L"1"},
    {"sound_paste_id", "4", L"4"},
    {"language", "de", L"de"},
    {"language", "..\\..\\x", L"en"},
    {"language", "", L"en"},
    {"language", "a/b", L"en"},
    {"language", "abcdefghijklmnopq", L"en"},
    {"language", "uk", L"uk"},
    {"hotkey", "", L""},
    {"app_filter_mode", "whitelist", L"whitelist"},
};

TEST(Settings, HandWrittenValuesReadAsSpecified) {
    TempFolder dir;
    int n = 0;
    for (const StoredCase& c : kStored) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.stored);
        const std::wstring path = dir.file(L"case" + std::to_wstring(n++) + L".ini");
        ASSERT_TRUE(write_file(path, ini_with(std::string(c.key) + "=" + c.stored + "\r\n")));
        Settings s;
        s.load(path);
        EXPECT_EQ(s.get_as_text(std::wstring(c.key, c.key + strlen(c.key)), L"?"), c.expected);
    }
}

TEST(Settings, AnsiFileIsReadAndUpdated) {
    TempFolder dir;
    const std::wstring path = dir.file(L"old.ini");
    ASSERT_TRUE(write_file(path, ini_with("dark_mode=true\r\nfont_size=12\r\nhotkey=ctrl+q\r\n")));
    Settings s;
    s.load(path);
    EXPECT_TRUE(s.dark_mode);
    EXPECT_EQ(s.font_size, 12);
    EXPECT_EQ(s.hotkey, L"ctrl+q");
    s.font_size = 16;
    s.save(path);
    Settings t;
    t.load(path);
    EXPECT_TRUE(t.dark_mode);
    EXPECT_EQ(t.font_size, 16);
    EXPECT_EQ(t.hotkey, L"ctrl+q");
}

TEST(Settings, LongValueIsCutAt4095Characters) {
    TempFolder dir;
    const std::wstring path = dir.file(L"long.ini");
    ASSERT_TRUE(write_file(path, ini_with("backup_folder=" + std::string(5000, 'a') + "\r\n")));
    Settings s;
    s.load(path);
    EXPECT_EQ(s.backup_folder, std::wstring(4095, L'a'));
}

TEST(Settings, SetFromTextAppliesNoLimitsAndKeepsFieldsOnBadNumbers) {
    Settings s;
    s.set_from_text(L"font_size", L"40");
    EXPECT_EQ(s.font_size, 40);
    s.set_from_text(L"trash_hours", L"x");
    EXPECT_EQ(s.trash_hours, 24);
    s.set_from_text(L"last_update_check", L"");
    EXPECT_EQ(s.last_update_check, 0);
    s.set_from_text(L"last_update_check", L"1700000000");
    s.set_from_text(L"last_update_check", L"99999999999999999999");
    EXPECT_EQ(s.last_update_check, 1700000000);
    s.set_from_text(L"dark_mode", L"1");
    EXPECT_TRUE(s.dark_mode);
    s.set_from_text(L"dark_mode", L"TRUE");
    EXPECT_FALSE(s.dark_mode);
    s.set_from_text(L"language", L"..\\x");  // only a load checks the code
    EXPECT_EQ(s.language, L"..\\x");
}

TEST(Settings, UnknownKeysChangeNothing) {
    Settings s;
    for (const wchar_t* key : {L"Font_Size", L"font_size ", L"", L"no_such_key"}) s.set_from_text(key, L"17");
    for (const FieldCase& f : kFields) EXPECT_EQ(member_text(s, f.member), f.default_text) << f.key;
    EXPECT_EQ(s.get_as_text(L"Font_Size", L"fallback"), L"fallback");
    EXPECT_EQ(s.get_as_text(L"", L""), L"");
}

TEST(Settings, AppFilterItemsAreTrimmedAndNonEmpty) {
    struct Case {
        const wchar_t* list;
        std::vector<std::wstring> items;
    };
    const Case cases[] = {
        {L" chrome.exe ;;Telegram.exe; ", {L"chrome.exe", L"Telegram.exe"}},
        {L"", {}},
        {L";;  ;\t;", {}},
        {L"a", {L"a"}},
        {L"\tfirefox.exe\r\n;\u041f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u0430.exe",
         {L"firefox.exe", L"\u041f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u0430.exe"}},
        {L"b;a;b", {L"b", L"a", L"b"}},
    };
    for (const Case& c : cases) {
        Settings s;
        s.app_filter_list = c.list;
        EXPECT_EQ(s.app_filter_items(), c.items) << testing::PrintToString(std::wstring(c.list));
    }
}

TEST(Settings, NumberParsing) {
    struct Case {
        const wchar_t* text;
        bool ok;
        int value;
    };
    const Case cases[] = {
        {L"0", true, 0},          {L"  42", true, 42},      {L"\t-7x", true, -7},   {L"+5", true, 5},
        {L"", false, 0},          {L"-", false, 0},         {L"x1", false, 0},      {L"- 1", false, 0},
        {L"2147483647", true, 2147483647}, {L"-2147483648", true, -2147483647 - 1},
        {L"2147483648", false, 0}, {L"00000000000000000000012", true, 12},
    };
    for (const Case& c : cases) {
        int v = 12345;
        EXPECT_EQ(parse_settings_int(c.text, v), c.ok) << testing::PrintToString(std::wstring(c.text));
        if (c.ok) {
            EXPECT_EQ(v, c.value);
        }
    }
    int64_t big = 0;
    EXPECT_TRUE(parse_settings_int64(L"-9223372036854775808", big));
    EXPECT_EQ(big, INT64_MIN);
    EXPECT_FALSE(parse_settings_int64(L"-9223372036854775809", big));
}

}  // namespace

namespace {

FILETIME last_write(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

void set_last_write(const std::wstring& path, FILETIME t) {
    HANDLE f = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    SetFileTime(f, nullptr, nullptr, &t);
    CloseHandle(f);
}

}  // namespace

TEST(Settings, ASaveThatChangesNothingWritesNothing) {
    TempFolder dir;
    const std::wstring path = dir.file(L"same.ini");
    Settings s;
    s.hotkey = L"ctrl+alt+h";
    s.save(path);
    const std::string first = read_file(path);
    const FILETIME old_time{0x12345678u, 0x01D00000u};  // some day in 2014
    set_last_write(path, old_time);
    s.save(path);
    FILETIME now = last_write(path);
    EXPECT_EQ(CompareFileTime(&old_time, &now), 0) << "the file was written again";
    EXPECT_EQ(read_file(path), first);
    s.font_size = 17;
    s.save(path);
    now = last_write(path);
    EXPECT_NE(CompareFileTime(&old_time, &now), 0);
    Settings t;
    t.load(path);
    EXPECT_EQ(t.font_size, 17);
    EXPECT_EQ(t.hotkey, L"ctrl+alt+h");
}

TEST(Settings, OtherSectionsKeysAndCommentsAreKept) {
    TempFolder dir;
    const std::wstring path = dir.file(L"mixed.ini");
    const std::string before =
        "; written by hand\r\n[Window]\r\nfont_size=99\r\n\r\n[Settings]\r\nfont_size=12\r\nfuture_option=on\r\n"
        "; a note\r\n\r\n[Tail]\r\nx=1\r\n";
    ASSERT_TRUE(write_file(path, before));
    Settings s;
    s.load(path);
    EXPECT_EQ(s.font_size, 12) << "only the Settings section counts";
    s.font_size = 15;
    s.save(path);
    const std::string after = read_file(path);
    EXPECT_EQ(after.rfind("; written by hand\r\n[Window]\r\nfont_size=99\r\n\r\n[Settings]\r\nfont_size=15\r\n"
                          "future_option=on\r\n; a note\r\nwatch_clipboard=true\r\n",
                          0),
              0u)
        << after;
    EXPECT_NE(after.find("\r\nlast_update_check=0\r\n\r\n[Tail]\r\nx=1\r\n"), std::string::npos) << after;
    // The ANSI file takes a text outside the ANSI code page as UTF-16.
    s.backup_folder = L"\u5de5\u4f5c";
    s.save(path);
    Settings t;
    t.load(path);
    EXPECT_EQ(t.backup_folder, L"\u5de5\u4f5c");
    EXPECT_EQ(t.font_size, 15);
    const std::string wide = read_file(path);
    EXPECT_EQ(wide.rfind("\xFF\xFE", 0), 0u);
    wchar_t buf[64] = {};
    GetPrivateProfileStringW(L"Tail", L"x", L"", buf, 64, path.c_str());
    EXPECT_STREQ(buf, L"1");
}

TEST(Settings, ATenMegabyteFileIsReadAndWrittenInAMoment) {
    // 200,000 keys the program does not know, then its own.
    TempFolder dir;
    const std::wstring path = dir.file(L"big.ini");
    std::string file = "[Settings]\r\n";
    for (int i = 0; file.size() < 10 * 1000 * 1000; ++i)
        file += "unknown_key_" + std::to_string(i) + "=" + std::string(30, 'v') + "\r\n";
    file += "font_size=16\r\nhotkey=ctrl+b\r\n";
    ASSERT_TRUE(write_file(path, file));
    const ULONGLONG start = GetTickCount64();
    Settings s;
    s.load(path);
    const ULONGLONG loaded = GetTickCount64();
    s.dark_mode = true;
    s.save(path);
    const ULONGLONG saved = GetTickCount64();
    std::printf("10 MB settings file: load %llu ms, save %llu ms\n", loaded - start, saved - loaded);
    EXPECT_EQ(s.font_size, 16);
    EXPECT_EQ(s.hotkey, L"ctrl+b");
    EXPECT_LT(loaded - start, 1000u);
    EXPECT_LT(saved - loaded, 1000u);
    Settings t;
    t.load(path);
    EXPECT_TRUE(t.dark_mode);
    EXPECT_GE(read_file(path).size(), file.size()) << "the unknown keys are kept";
}

// A file without a byte-order mark (hand-made, or from an older build) is
// read in the ANSI code page; a value that code page holds only by a
// look-alike ("Ł" as "L" by best fit) makes the file UTF-16, so the folder
// read back is the one saved. A value the code page holds keeps the file
// ANSI.
TEST(Settings, AnAnsiFileNeverSavesALookAlikeValue) {
    TempFolder dir;
    const std::wstring path = dir.file(L"ansi.ini");
    ASSERT_TRUE(write_file(path, ini_with("dark_mode=true\r\nscreenshot_folder=C:\\Users\\Public\r\n")));
    Settings s;
    ASSERT_EQ(s.load(path), SettingsFileState::ok);
    ASSERT_EQ(s.screenshot_folder, L"C:\\Users\\Public");
    s.font_size = 12;
    ASSERT_EQ(s.save(path), SettingsFileState::ok);
    EXPECT_NE(read_file(path).rfind("[Settings]\r\n", 0), std::string::npos) << "plain values keep the file ANSI";

    const std::wstring lukasz = L"C:\\Users\\\u0141ukasz\\Pictures";
    s.screenshot_folder = lukasz;
    ASSERT_EQ(s.save(path), SettingsFileState::ok);
    const std::string bytes = read_file(path);
    std::printf("ANSI code page %u; the file now starts %02X %02X\n", GetACP(), static_cast<unsigned char>(bytes[0]),
                static_cast<unsigned char>(bytes[1]));
    Settings t;
    ASSERT_EQ(t.load(path), SettingsFileState::ok);
    EXPECT_EQ(t.screenshot_folder, lukasz);
    EXPECT_TRUE(t.dark_mode);
    EXPECT_EQ(t.font_size, 12);
    EXPECT_EQ(bytes.find("C:\\Users\\Lukasz"), std::string::npos);
    if (GetACP() != CP_UTF8) {
        EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << "written as UTF-16";
    }
}

namespace {

// A file held by another handle with the sharing given, for as long as the
// object lives.
class HeldFile {
public:
    HeldFile(const std::wstring& path, DWORD share)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    bool held() const { return static_cast<bool>(handle_); }
    void release() { handle_.reset(); }

private:
    raii::Handle handle_;
};

// The first count bytes of the file and its size.
std::pair<std::string, long long> file_head(const std::wstring& path, size_t count) {
    raii::Handle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return {"<cannot open>", -1};
    LARGE_INTEGER size{};
    GetFileSizeEx(f.get(), &size);
    std::string head(count, '\0');
    DWORD got = 0;
    ReadFile(f.get(), head.data(), static_cast<DWORD>(count), &got, nullptr);
    head.resize(got);
    return {head, size.QuadPart};
}

}  // namespace

// A settings file that is there but cannot be read is not taken for a
// missing one: the load says so and gives the defaults, and no save
// replaces it with a file of those defaults.
TEST(Settings, AFileThatCannotBeReadIsNeverReplaced) {
    const std::string content = ini_with("font_size=12\r\nhotkey=ctrl+q\r\nscreenshot_folder=D:\\Shots\r\n");
    struct Case {
        const char* name;
        DWORD share;             // of the other handle; ~0u for none
        long long grow_to = 0;   // the file made this large (sparse)
    };
    const Case cases[] = {
        {"held with no sharing", 0},
        {"held for others to rename or delete only", FILE_SHARE_DELETE},
        {"larger than 512 MiB", ~0u, 513LL * 1024 * 1024},
    };
    TempFolder dir;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring path = dir.file(L"held" + std::to_wstring(n++) + L".ini");
        ASSERT_TRUE(write_file(path, content));
        if (c.grow_to > 0) {
            raii::Handle f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(f);
            LARGE_INTEGER at{};
            at.QuadPart = c.grow_to;
            ASSERT_TRUE(SetFilePointerEx(f.get(), at, nullptr, FILE_BEGIN));
            ASSERT_TRUE(SetEndOfFile(f.get()));
        }
        const long long size_before = file_head(path, 0).second;
        HeldFile other(path, c.share == ~0u ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : c.share);
        if (c.share != ~0u) {
            ASSERT_TRUE(other.held());
        }

        Settings s;
        EXPECT_EQ(s.load(path), SettingsFileState::unreadable);
        EXPECT_EQ(s.font_size, 14) << "the defaults";
        s.dark_mode = true;
        EXPECT_EQ(s.save(path), SettingsFileState::unreadable);
        EXPECT_EQ(s.save(path), SettingsFileState::unreadable);
        other.release();
        const auto [head, size] = file_head(path, content.size());
        EXPECT_EQ(head, content) << "the file is as it was";
        EXPECT_EQ(size, size_before);
        EXPECT_EQ(GetFileAttributesW((path + L".new").c_str()), INVALID_FILE_ATTRIBUTES) << "nothing left beside it";
    }
    // A missing file is no unreadable one: the save makes it.
    Settings s;
    const std::wstring missing = dir.file(L"missing.ini");
    EXPECT_EQ(s.load(missing), SettingsFileState::ok);
    EXPECT_EQ(s.save(missing), SettingsFileState::ok);
    EXPECT_EQ(read_file(missing).substr(0, 2), "\xFF\xFE");
}

// The new file is written whole and flushed to the disk before it takes
// the old one's place. (Wine's FlushFileBuffers syncs the file to the disk;
// a power loss cannot be staged here, so the order of the steps is what is
// checked: at the flush the new bytes are all in the file beside it and
// the old file is untouched.)
TEST(Settings, TheNewFileIsFlushedBeforeItReplacesTheOldOne) {
    TempFolder dir;
    const std::wstring path = dir.file(L"flushed.ini");
    const std::string old_bytes = ini_with("font_size=12\r\n");
    ASSERT_TRUE(write_file(path, old_bytes));
    const std::string new_bytes = ini_with("font_size=16\r\n") + std::string(100000, ';') + "\r\n";
    std::vector<SettingsWriteStep> steps;
    std::string temp_at_flush, target_at_flush, target_at_replace;
    bool temp_at_replace = true;
    ASSERT_TRUE(write_settings_file(path, new_bytes, [&](SettingsWriteStep step) {
        steps.push_back(step);
        if (step == SettingsWriteStep::flush) {
            temp_at_flush = read_file(path + L".new");
            target_at_flush = read_file(path);
        } else if (step == SettingsWriteStep::replace) {
            target_at_replace = read_file(path);
            temp_at_replace = GetFileAttributesW((path + L".new").c_str()) != INVALID_FILE_ATTRIBUTES;
        }
    }));
    EXPECT_EQ(steps, (std::vector<SettingsWriteStep>{SettingsWriteStep::create_temporary, SettingsWriteStep::write,
                                                     SettingsWriteStep::flush, SettingsWriteStep::replace}));
    EXPECT_EQ(temp_at_flush, new_bytes);
    EXPECT_EQ(target_at_flush, old_bytes);
    EXPECT_EQ(target_at_replace, new_bytes);
    EXPECT_FALSE(temp_at_replace);

    // A file that cannot be replaced: the old one stays, nothing is left beside it.
    HeldFile other(path, FILE_SHARE_READ);
    ASSERT_TRUE(other.held());
    steps.clear();
    EXPECT_FALSE(write_settings_file(path, old_bytes, [&](SettingsWriteStep step) { steps.push_back(step); }));
    other.release();
    EXPECT_EQ(steps.size(), 3u) << "no replace";
    EXPECT_EQ(read_file(path), new_bytes);
    EXPECT_EQ(GetFileAttributesW((path + L".new").c_str()), INVALID_FILE_ATTRIBUTES);
    // A folder that does not exist: no step at all.
    steps.clear();
    EXPECT_FALSE(write_settings_file(dir.file(L"no such folder\\x.ini"), old_bytes,
                                     [&](SettingsWriteStep step) { steps.push_back(step); }));
    EXPECT_TRUE(steps.empty());
}
