// The settings file's INI text: read as the system's profile functions read
// it (they are the yardstick here), written with every other line kept.
#include "core/ini_text.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <windows.h>

#include "core/text.h"
#include "tests/core/temp_folder.h"

namespace {

using test_support::TempFolder;
using test_support::write_file;

std::wstring profile_value(const std::wstring& path, const wchar_t* key) {
    std::wstring buf(4096, L'\0');
    const DWORD n = GetPrivateProfileStringW(L"Settings", key, L"<missing>", buf.data(), 4096, path.c_str());
    buf.resize(n);
    return buf;
}

std::wstring value_of(const std::map<std::wstring, std::wstring>& values, const wchar_t* key) {
    const auto it = values.find(key);
    return it == values.end() ? L"<missing>" : it->second;
}

}  // namespace

TEST(IniText, ReadsValuesAsTheProfileFunctionsDo) {
    const std::string file =
        "; comment=not a key\r\n"
        "[Other]\r\n"
        "plain=from another section\r\n"
        "\r\n"
        "  [ SETTINGS ]  \r\n"
        "plain=one\r\n"
        "  Spaced  =  two words  \r\n"
        "tabbed\t=\tthree\t\r\n"
        "double=\"quoted value\"\r\n"
        "single='quoted'\r\n"
        "mixed='half\"\r\n"
        "lone=\"\r\n"
        "empty=\r\n"
        "equals=a=b=c\r\n"
        "dup=first\r\n"
        "DUP=second\r\n"
        "no value line\r\n"
        "unix=lf only\n"
        "last=no line end";
    TempFolder dir;
    const std::wstring path = dir.file(L"read.ini");
    ASSERT_TRUE(write_file(path, file));
    const auto values = ini_section_values(decode_ini(file).text, L"Settings");
    for (const wchar_t* key : {L"plain", L"spaced", L"tabbed", L"double", L"single", L"mixed", L"lone", L"empty",
                               L"equals", L"dup", L"unix", L"last", L"absent", L"comment"}) {
        EXPECT_EQ(value_of(values, key), profile_value(path, key)) << to_utf8(key);
    }
    EXPECT_EQ(value_of(values, L"spaced"), L"two words");
    EXPECT_EQ(value_of(values, L"double"), L"quoted value");
    EXPECT_EQ(value_of(values, L"dup"), L"first");
}

TEST(IniText, EncodingsAreReadAndKept) {
    const std::wstring text = L"[Settings]\r\nname=\u0416\u5b57 caf\u00e9\r\n";
    struct Case {
        IniEncoding encoding;
        const char* mark;
    };
    const Case cases[] = {
        {IniEncoding::utf16le, "\xFF\xFE"},
        {IniEncoding::utf16be, "\xFE\xFF"},
        {IniEncoding::utf8_bom, "\xEF\xBB\xBF"},
    };
    TempFolder dir;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        const std::string bytes = encode_ini({text, c.encoding});
        EXPECT_EQ(bytes.rfind(c.mark, 0), 0u);
        const IniText back = decode_ini(bytes);
        EXPECT_EQ(back.encoding, c.encoding);
        EXPECT_EQ(back.text, text);
        // The system reads the same.
        const std::wstring path = dir.file(L"enc" + std::to_wstring(n++) + L".ini");
        ASSERT_TRUE(write_file(path, bytes));
        EXPECT_EQ(profile_value(path, L"name"), L"\u0416\u5b57 caf\u00e9");
    }
    // A file without a mark is ANSI; text the ANSI code page cannot hold
    // turns it into UTF-16.
    const IniText ansi = decode_ini("[Settings]\r\nname=plain\r\n");
    EXPECT_EQ(ansi.encoding, IniEncoding::ansi);
    EXPECT_EQ(encode_ini(ansi), "[Settings]\r\nname=plain\r\n");
    const std::string widened = encode_ini({L"[Settings]\r\nname=\u5b57\r\n", IniEncoding::ansi});
    EXPECT_EQ(widened.rfind("\xFF\xFE", 0), 0u);
    EXPECT_EQ(decode_ini(widened).text, L"[Settings]\r\nname=\u5b57\r\n");
    EXPECT_EQ(decode_ini("").text, L"");
}

// A file keeps its encoding only when it holds the text exactly: no
// character by a default one or by a look-alike, bytes that read back as the
// same text; otherwise it becomes UTF-16 LE.
TEST(IniText, AnEncodingIsKeptOnlyWhenItHoldsTheTextExactly) {
    struct Case {
        const wchar_t* text;
        IniEncoding encoding;
        bool kept;
    };
    // "Ł" and "ő" have best-fit look-alikes in Western code pages ("L",
    // "o"), "№" none; a lone surrogate has no UTF-8 form.
    const bool western = GetACP() == 1252;
    const Case cases[] = {
        {L"folder=C:\\Users\\\u0141ukasz\\Pictures", IniEncoding::ansi, false},
        {L"name=Erd\u0151s", IniEncoding::ansi, false},
        {L"number=\u2116 5", IniEncoding::ansi, false},
        {L"plain=ascii only", IniEncoding::ansi, true},
        {L"name=caf\u00e9 \u00fc\u00df", IniEncoding::ansi, western},
        {L"folder=C:\\Users\\\u0141ukasz", IniEncoding::utf8_bom, true},
        {L"broken=\xD800 half a pair", IniEncoding::utf8_bom, false},
        {L"", IniEncoding::ansi, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.text));
        const IniText ini{c.text, c.encoding};
        const std::string bytes = encode_ini(ini);
        const IniText back = decode_ini(bytes);
        EXPECT_EQ(back.text, ini.text) << "read back exactly";
        EXPECT_EQ(back.encoding, c.kept ? c.encoding : IniEncoding::utf16le);
    }
    std::printf("ANSI code page %u\n", GetACP());
}

TEST(IniText, WritingReplacesKeysAndKeepsEverythingElse) {
    struct Case {
        const wchar_t* before;
        const wchar_t* after;
    };
    const std::vector<std::pair<std::wstring, std::wstring>> values = {
        {L"alpha", L"1"}, {L"beta", L"  two  "}, {L"gamma", L"line\r\nbreak"}};
    const Case cases[] = {
        // A new file.
        {L"", L"[Settings]\r\nalpha=1\r\nbeta=two\r\ngamma=line  break\r\n"},
        // Keys in place keep their line; other keys, comments, blank lines
        // and sections stay; new keys follow the section's last line.
        {L"; top\r\n[Other]\r\nalpha=other\r\n\r\n[settings]\r\n  ALPHA = old \r\nkeep=me\r\n; note\r\n\r\n"
         L"[Tail]\r\nz=1\r\n",
         L"; top\r\n[Other]\r\nalpha=other\r\n\r\n[settings]\r\nalpha=1\r\nkeep=me\r\n; note\r\n"
         L"beta=two\r\ngamma=line  break\r\n\r\n[Tail]\r\nz=1\r\n"},
        // Only the first of equal keys is replaced.
        {L"[Settings]\r\nalpha=a\r\nalpha=b\r\nbeta=x\r\ngamma=y\r\n",
         L"[Settings]\r\nalpha=1\r\nalpha=b\r\nbeta=two\r\ngamma=line  break\r\n"},
        // No section yet; a last line without its end; LF endings.
        {L"[Other]\nq=1", L"[Other]\nq=1\n[Settings]\nalpha=1\nbeta=two\ngamma=line  break\n"},
        {L"[Settings]\nalpha=0", L"[Settings]\nalpha=1\nbeta=two\ngamma=line  break\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ini_with_values(c.before, L"Settings", values), c.after) << to_utf8(c.before);
        // Writing the result again changes nothing.
        EXPECT_EQ(ini_with_values(c.after, L"Settings", values), c.after) << to_utf8(c.before);
    }
}

TEST(IniText, WrittenValuesReadBack) {
    const std::vector<std::pair<std::wstring, std::wstring>> values = {
        {L"path", L"C:\\Users\\\u0418\u0432\u0430\u043d\\x=y"}, {L"empty", L""}, {L"emoji", L"\U0001F600;\u5de5"}};
    const std::wstring text = ini_with_values(L"[Settings]\r\nother=1\r\n", L"Settings", values);
    const auto back = ini_section_values(text, L"Settings");
    for (const auto& [key, value] : values) EXPECT_EQ(value_of(back, key.c_str()), value) << to_utf8(key);
    EXPECT_EQ(value_of(back, L"other"), L"1");
}
