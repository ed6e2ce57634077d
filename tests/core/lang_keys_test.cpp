// The shipped language files against the program's sources: every key that
// the code names has a text in every language, every language has the same
// keys as English, and a translated format text takes the same arguments as
// the English one. A key is named either in a call tr(L"...") or
// tr_format(L"..."), or as any wide string literal shaped like a key of a
// known section (menu tables, records of keys, keys handed on to a helper).
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "core/i18n.h"
#include "core/text.h"
#include "tests/core/temp_folder.h"

namespace {

using test_support::read_file;

const wchar_t* const kLanguages[] = {L"ru", L"en", L"de", L"es", L"fr", L"it", L"pl", L"pt"};

// The program's own source folders (tests and benchmarks look up no texts
// of the program).
const wchar_t* const kSourceDirs[] = {L"app", L"capture", L"core", L"store", L"theme", L"ui", L"screenshot"};

// The source tree, as the build gives it (a Unix path under Wine becomes
// one of the drive that maps the file system root).
std::wstring source_dir() {
    std::wstring dir;
#ifdef QUILLET_SOURCE_DIR
    dir = from_utf8(QUILLET_SOURCE_DIR);
#endif
    if (dir.empty()) {
        wchar_t buf[4096] = {};
        DWORD n = GetEnvironmentVariableW(L"QUILLET_SOURCE_DIR", buf, 4096);
        if (n > 0 && n < 4096) dir.assign(buf, n);
    }
    if (!dir.empty() && dir[0] == L'/' && (dir.size() < 2 || dir[1] != L'/')) dir = L"Z:" + dir;
    for (wchar_t& c : dir)
        if (c == L'/') c = L'\\';
    while (!dir.empty() && dir.back() == L'\\') dir.pop_back();
    return dir;
}

bool is_ident(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Keys of the calls tr(L"key") and tr_format(L"key", ...) in a source text.
std::set<std::string> keys_in_source(const std::string& src) {
    std::set<std::string> keys;
    for (const std::string name : {"tr", "tr_format"}) {
        size_t pos = 0;
        while ((pos = src.find(name, pos)) != std::string::npos) {
            size_t at = pos;
            pos += name.size();
            if (at > 0 && is_ident(src[at - 1])) continue;
            size_t i = pos;
            while (i < src.size() && (src[i] == ' ' || src[i] == '\t' || src[i] == '\n' || src[i] == '\r')) ++i;
            if (i >= src.size() || src[i] != '(') continue;
            ++i;
            while (i < src.size() && (src[i] == ' ' || src[i] == '\t' || src[i] == '\n' || src[i] == '\r')) ++i;
            if (i < src.size() && src[i] == 'L') ++i;
            if (i >= src.size() || src[i] != '"') continue;
            size_t end = src.find('"', i + 1);
            if (end == std::string::npos) continue;
            keys.insert(src.substr(i + 1, end - i - 1));
        }
    }
    return keys;
}

// The sections the program files its texts under, besides those that
// en.ini already holds: a key of a section that has no text at all yet
// is still caught.
const char* const kProgramSections[] = {"about",  "action",   "advanced", "capture", "card",  "clipboard", "confirm",
                                        "editor", "hint",     "hotkey",   "hotkey_field", "hotkeys", "input",
                                        "label",  "license",  "menu",     "message", "nav",   "prompt",    "screenshot",
                                        "settings", "side",   "sound",    "startup", "status", "storage",  "templates",
                                        "time",   "title",    "toast",    "toggle",  "tooltip", "tray",    "update",
                                        "view",   "win"};

// Endings that make a dotted literal a file name ("license.txt",
// "settings.ini"), never a key.
const char* const kFileExtensions[] = {"bmp", "db",  "dll", "exe", "htm", "html", "ico", "ini",
                                       "jpg", "json", "lnk", "log", "png", "tmp",  "txt", "xml"};

bool is_lower_word(const std::string& s) {
    if (s.empty() || !(s[0] >= 'a' && s[0] <= 'z')) return false;
    for (char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

// A key's shape: two or more lower-case words joined by dots, each word
// starting with a letter ("card.app.unknown"), in a known section, and not
// ending in a file name's extension.
bool is_key_of(const std::string& text, const std::set<std::string>& sections) {
    std::vector<std::string> words;
    size_t start = 0;
    for (;;) {
        size_t dot = text.find('.', start);
        words.push_back(text.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    if (words.size() < 2) return false;
    for (const std::string& w : words)
        if (!is_lower_word(w)) return false;
    if (!sections.count(words.front())) return false;
    for (const char* ext : kFileExtensions)
        if (words.back() == ext) return false;
    return true;
}

// Every wide string literal L"..." of a source text that has the shape of a
// key of one of the sections. Comments are not told apart from code: a key
// written as a wide literal in a comment counts too.
std::set<std::string> key_literals_in_source(const std::string& src, const std::set<std::string>& sections) {
    std::set<std::string> keys;
    size_t pos = 0;
    while ((pos = src.find("L\"", pos)) != std::string::npos) {
        const size_t at = pos;
        pos += 2;
        if (at > 0 && (is_ident(src[at - 1]) || src[at - 1] == '\'' || src[at - 1] == '"')) continue;
        std::string text;
        size_t i = pos;
        for (; i < src.size() && src[i] != '"' && src[i] != '\n'; ++i) {
            if (src[i] == '\\' && i + 1 < src.size()) text += src[i++];
            text += src[i];
        }
        if (i >= src.size() || src[i] != '"') continue;
        pos = i + 1;
        if (is_key_of(text, sections)) keys.insert(text);
    }
    return keys;
}

// The sections of the keys of a language file.
std::set<std::string> sections_of(const std::map<std::wstring, std::wstring>& texts) {
    std::set<std::string> sections;
    for (const auto& [key, text] : texts) {
        size_t dot = key.find(L'.');
        if (dot != std::wstring::npos && dot > 0) sections.insert(to_utf8(key.substr(0, dot)));
    }
    return sections;
}

// Calls visit(path, text) for every .cpp and .h file under the folder.
template <typename Visit>
void for_each_source(const std::wstring& dir, const Visit& visit) {
    WIN32_FIND_DATAW found{};
    raii::FindHandle find(FindFirstFileW((dir + L"\\*").c_str(), &found));
    if (!find) return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = dir + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            for_each_source(path, visit);
            continue;
        }
        size_t dot = name.rfind(L'.');
        std::wstring ext = dot == std::wstring::npos ? L"" : name.substr(dot);
        if (ext != L".cpp" && ext != L".h") continue;
        visit(path, read_file(path));
    } while (FindNextFileW(find.get(), &found));
}

class LangKeys : public testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = new std::wstring(source_dir());
        files_ = new std::map<std::wstring, std::map<std::wstring, std::wstring>>();
        used_ = new std::map<std::string, std::wstring>();
        for (const wchar_t* code : kLanguages) {
            std::string bytes = read_file(*root_ + L"\\resources\\lang\\" + code + L".ini");
            if (!bytes.empty()) (*files_)[code] = parse_language_file(bytes);
        }
        std::map<std::wstring, std::string> sources;
        for (const wchar_t* sub : kSourceDirs)
            for_each_source(*root_ + L"\\" + sub,
                            [&sources](const std::wstring& path, std::string text) { sources[path] = std::move(text); });
        // The known sections: the program's own list, those of en.ini and
        // those of the keys looked up with tr(...).
        std::set<std::string> sections(std::begin(kProgramSections), std::end(kProgramSections));
        if (files_->count(L"en")) sections.merge(sections_of(files_->at(L"en")));
        for (const auto& [path, text] : sources)
            for (const std::string& key : keys_in_source(text)) {
                used_->emplace(key, path);
                sections.insert(key.substr(0, key.find('.')));
            }
        for (const auto& [path, text] : sources)
            for (const std::string& key : key_literals_in_source(text, sections)) used_->emplace(key, path);
    }
    static void TearDownTestSuite() {
        delete root_;
        delete files_;
        delete used_;
    }

    static std::wstring* root_;
    static std::map<std::wstring, std::map<std::wstring, std::wstring>>* files_;
    static std::map<std::string, std::wstring>* used_;  // key -> a file using it
};

std::wstring* LangKeys::root_ = nullptr;
std::map<std::wstring, std::map<std::wstring, std::wstring>>* LangKeys::files_ = nullptr;
std::map<std::string, std::wstring>* LangKeys::used_ = nullptr;

TEST(LangKeysScanner, FindsLookupsOnly) {
    std::set<std::string> keys = keys_in_source(
        "x = tr(L\"menu.file\"); y = tr_format( L\"update.ask\", v);\n"
        "z = tr(\n    L\"card.app.unknown\");\n"
        "a = str(L\"not.a.key\"); b = my_tr(L\"nor.this\"); c = tr(key); d = tr_formatx(L\"no\");\n"
        "e = ctr(L\"no.either\");");
    std::set<std::string> expected{"menu.file", "update.ask", "card.app.unknown"};
    EXPECT_EQ(keys, expected);
}

TEST(LangKeysScanner, FindsKeyShapedWideLiteralsOfKnownSections) {
    const std::set<std::string> sections{"action", "card", "editor", "license", "settings"};
    std::set<std::string> keys = key_literals_in_source(
        "const wchar_t* keys[] = {L\"action.paste\", L\"action.paste_as\"};\n"
        "PopupMenuItem none = item(L\"editor.ungrouped_group\", 50);\n"
        "std::wstring k = cond ? L\"card.app.unknown\" : L\"card.image2\";\n"
        "open(L\"quillet.db\"); open(L\"license.txt\"); open(L\"settings.ini\"); get(L\"youtube.com\");\n"
        "x(L\"Action.Paste\"); x(L\"action.\"); x(L\"action\"); x(L\"action.paste now\"); x(L\"action..x\");\n"
        "x(L\"menu.file\"); x(\"action.narrow\"); x(myL\"action.glued\"); x(L\"action.2x\");\n"
        "x(L\"escaped \\\"action.inner\\\" quote\"); x('L'); x(L\"card.\\x41\");",
        sections);
    std::set<std::string> expected{"action.paste", "action.paste_as", "editor.ungrouped_group", "card.app.unknown",
                                   "card.image2"};
    EXPECT_EQ(keys, expected);
}

TEST(LangKeysScanner, KeyShape) {
    const std::set<std::string> sections{"action", "view"};
    struct Case {
        const char* text;
        bool key;
    };
    const Case cases[] = {
        {"action.paste", true},      {"view.show_time", true},   {"action.a.b.c", true},   {"action.x1", true},
        {"action", false},           {"action.", false},         {".action", false},       {"action..paste", false},
        {"action.Paste", false},     {"action.1st", false},      {"action.paste-x", false}, {"other.paste", false},
        {"view.html", false},        {"action.png", false},      {"action.paste ", false}, {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(is_key_of(c.text, sections), c.key) << c.text;
}

TEST_F(LangKeys, SourceTreeAndEveryLanguageFileAreFound) {
    ASSERT_FALSE(root_->empty()) << "QUILLET_SOURCE_DIR is not set";
    DWORD attr = GetFileAttributesW((*root_ + L"\\core\\i18n.h").c_str());
    ASSERT_NE(attr, INVALID_FILE_ATTRIBUTES) << "no source tree at " << to_utf8(*root_);
    for (const wchar_t* code : kLanguages) {
        ASSERT_TRUE(files_->count(code)) << "resources/lang/" << to_utf8(code) << ".ini is missing or empty";
        EXPECT_FALSE(files_->at(code).empty()) << to_utf8(code);
    }
}

TEST_F(LangKeys, EveryLookedUpKeyHasATextInEveryLanguage) {
    for (const auto& [key, where] : *used_) {
        const std::wstring wkey = from_utf8(key);
        for (const wchar_t* code : kLanguages) {
            auto file = files_->find(code);
            if (file == files_->end()) continue;
            EXPECT_TRUE(file->second.count(wkey))
                << "\"" << key << "\" (used in " << to_utf8(where) << ") is missing from " << to_utf8(code) << ".ini";
        }
    }
}

TEST_F(LangKeys, EveryLanguageHasTheKeysOfEnglish) {
    ASSERT_TRUE(files_->count(L"en"));
    const auto& en = files_->at(L"en");
    for (const auto& [code, texts] : *files_) {
        for (const auto& [key, text] : en)
            EXPECT_TRUE(texts.count(key)) << to_utf8(key) << " is missing from " << to_utf8(code) << ".ini";
        for (const auto& [key, text] : texts)
            EXPECT_TRUE(en.count(key)) << to_utf8(key) << " of " << to_utf8(code) << ".ini is not in en.ini";
    }
}

TEST_F(LangKeys, TranslationsTakeTheArgumentsOfEnglish) {
    ASSERT_TRUE(files_->count(L"en"));
    const auto& en = files_->at(L"en");
    for (const auto& [key, text] : en)
        EXPECT_EQ(format_conversions(text).find(L'?'), std::wstring::npos)
            << "en.ini: " << to_utf8(key) << " holds a conversion that is never filled";
    for (const auto& [code, texts] : *files_) {
        for (const auto& [key, text] : texts) {
            auto ref = en.find(key);
            if (ref == en.end()) continue;
            EXPECT_EQ(format_conversions(text), format_conversions(ref->second))
                << to_utf8(code) << ".ini: " << to_utf8(key);
        }
    }
}

// A key written twice silently takes the later text: in a shipped file that
// is a slip of editing.
TEST_F(LangKeys, NoKeyIsWrittenTwice) {
    for (const wchar_t* code : kLanguages) {
        std::string bytes = read_file(*root_ + L"\\resources\\lang\\" + code + L".ini");
        std::map<std::wstring, int> seen;
        size_t pos = 0;
        while (pos < bytes.size()) {
            size_t end = bytes.find('\n', pos);
            if (end == std::string::npos) end = bytes.size();
            for (const auto& [key, text] : parse_language_file(bytes.substr(pos, end - pos))) ++seen[key];
            pos = end + 1;
        }
        for (const auto& [key, count] : seen)
            EXPECT_EQ(count, 1) << to_utf8(code) << ".ini: " << to_utf8(key);
    }
}

TEST_F(LangKeys, TextsAreValidUtf8) {
    for (const auto& [code, texts] : *files_)
        for (const auto& [key, text] : texts)
            EXPECT_EQ(text.find(L'\uFFFD'), std::wstring::npos) << to_utf8(code) << ".ini: " << to_utf8(key);
}

}  // namespace
