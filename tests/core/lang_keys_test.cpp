// The shipped language files against the program's sources: every key that
// the code looks up with tr(L"...") or tr_format(L"...") has a text in every
// language, every language has the same keys as English, and a translated
// format text takes the same arguments as the English one.
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

void scan_folder(const std::wstring& dir, std::map<std::string, std::wstring>& keys) {
    WIN32_FIND_DATAW found{};
    raii::FindHandle find(FindFirstFileW((dir + L"\\*").c_str(), &found));
    if (!find) return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = dir + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            scan_folder(path, keys);
            continue;
        }
        size_t dot = name.rfind(L'.');
        std::wstring ext = dot == std::wstring::npos ? L"" : name.substr(dot);
        if (ext != L".cpp" && ext != L".h") continue;
        for (const std::string& key : keys_in_source(read_file(path))) keys.emplace(key, path);
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
        for (const wchar_t* sub : kSourceDirs) scan_folder(*root_ + L"\\" + sub, *used_);
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
