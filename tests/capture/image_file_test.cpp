// Image files: safe writes, the naming scheme and the saved PNG.
#include "capture/image_file.h"

#include <gtest/gtest.h>

#include <regex>

#include "capture/image.h"
#include "core/text.h"
#include "dib_builders.h"
#include "tests/core/temp_folder.h"

using namespace capture_test;
using test_support::TempFolder;

namespace {

const std::wstring kBase = L"\u0418\u0437\u043e\u0431\u0440\u0430\u0436\u0435\u043d\u0438\u0435";

std::string as_string(const Bytes& b) { return std::string(b.begin(), b.end()); }

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring file_name(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

// Saves until the stamp of two saves is the same second.
void save_twice_in_one_second(const std::wstring& folder, const Bytes& image, std::wstring& a, std::wstring& b) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::wstring before = image_file_stamp();
        ASSERT_TRUE(winutil::save_png_file(folder, kBase, image, a));
        ASSERT_TRUE(winutil::save_png_file(folder, kBase, image, b));
        if (image_file_stamp() == before) return;
        DeleteFileW(a.c_str());
        DeleteFileW(b.c_str());
    }
    FAIL() << "could not save twice within one second";
}

}  // namespace

TEST(WriteFileBytes, WritesNewAndReplacesExistingFiles) {
    TempFolder dir;
    const std::wstring path = dir.file(L"a.bin");
    EXPECT_TRUE(write_file_bytes(path, {1, 2, 3}));
    EXPECT_EQ(test_support::read_file(path), std::string("\x01\x02\x03", 3));
    EXPECT_TRUE(write_file_bytes(path, {9}));
    EXPECT_EQ(test_support::read_file(path), std::string("\x09", 1));
    // No temporary file is left beside it.
    WIN32_FIND_DATAW found{};
    raii::FindHandle find(FindFirstFileW(dir.file(L"*.tmp*").c_str(), &found));
    EXPECT_FALSE(find);
}

TEST(WriteFileBytes, FailureNeverRemovesAFileItDidNotMake) {
    TempFolder dir;
    EXPECT_FALSE(write_file_bytes(dir.file(L"empty.bin"), {}));
    EXPECT_FALSE(exists(dir.file(L"empty.bin")));
    EXPECT_FALSE(write_file_bytes(dir.file(L"missing\\folder\\x.bin"), {1}));

    // A file held open without sharing by someone else cannot be replaced:
    // the call fails and leaves it whole, with no temporary file beside it.
    const std::wstring busy = dir.file(L"busy.png");
    ASSERT_TRUE(test_support::write_file(busy, "busy"));
    {
        raii::Handle hold(CreateFileW(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(hold);
        EXPECT_FALSE(write_file_bytes(busy, {1, 2}));
    }
    EXPECT_EQ(test_support::read_file(busy), "busy");
    WIN32_FIND_DATAW found{};
    raii::FindHandle find(FindFirstFileW(dir.file(L"busy.png.tmp*").c_str(), &found));
    EXPECT_FALSE(find);

    // A hidden file (which CREATE_ALWAYS with normal attributes refuses) is
    // replaced or left alone, never removed.
    const std::wstring hidden = dir.file(L"hidden.png");
    ASSERT_TRUE(test_support::write_file(hidden, "hidden"));
    ASSERT_TRUE(SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
    const bool replaced = write_file_bytes(hidden, {7});
    EXPECT_EQ(test_support::read_file(hidden), replaced ? std::string("\x07", 1) : std::string("hidden"));

    // A folder of that name is not touched either.
    const std::wstring folder = dir.file(L"sub");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    EXPECT_FALSE(write_file_bytes(folder, {1}));
    EXPECT_TRUE(GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(ImageFileNames, CandidatesAndStamps) {
    EXPECT_EQ(image_file_candidate(L"C:\\x", L"Shot", L"2024-01-02 03-04-05", 1),
              L"C:\\x\\Shot 2024-01-02 03-04-05.png");
    EXPECT_EQ(image_file_candidate(L"C:\\x\\", L"Shot", L"S", 2), L"C:\\x\\Shot S (2).png");
    EXPECT_EQ(image_file_candidate(L"C:/x/", L"Shot", L"S", 999), L"C:/x/Shot S (999).png");
    const std::string stamp = to_utf8(image_file_stamp());
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}-\d{2}-\d{2})"))) << stamp;
    const std::wstring name = screenshot_file_name();
    EXPECT_EQ(name.rfind(L"\u0421\u043a\u0440\u0438\u043d\u0448\u043e\u0442 ", 0), 0u);
    EXPECT_TRUE(std::regex_match(to_utf8(name.substr(9)),
                                 std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}-\d{2}-\d{2}\.png)")));
}

TEST(SavePngFile, TwoSavesInOneSecondAreNumbered) {
    TempFolder dir;
    const Bytes dib = make_dib({8, 6, 24});
    std::wstring first, second;
    save_twice_in_one_second(dir.path() + L"\\", dib, first, second);
    EXPECT_EQ(first.find(L"\\\\"), std::wstring::npos) << "no second separator";
    const std::wstring name = file_name(first);
    ASSERT_GT(name.size(), 4u);
    const std::wstring stem = name.substr(0, name.size() - 4);
    EXPECT_EQ(stem.rfind(kBase + L" ", 0), 0u);
    EXPECT_EQ(file_name(second), stem + L" (2).png");
    // A bitmap is stored as its PNG.
    const std::string bytes = test_support::read_file(first);
    Bytes png;
    ASSERT_TRUE(winutil::dib_to_png(dib, png));
    EXPECT_EQ(bytes, as_string(png));
}

TEST(SavePngFile, PngBytesAreWrittenUnchangedAndTakenNamesSkipped) {
    TempFolder dir;
    Bytes png;
    ASSERT_TRUE(winutil::dib_to_png(make_dib({3, 3, 32}), png));
    std::wstring path;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::wstring stamp = image_file_stamp();
        // The first two names of this second are already taken by others.
        ASSERT_TRUE(test_support::write_file(image_file_candidate(dir.path(), L"Shot", stamp, 1), "other"));
        ASSERT_TRUE(test_support::write_file(image_file_candidate(dir.path(), L"Shot", stamp, 2), "other"));
        ASSERT_TRUE(winutil::save_png_file(dir.path(), L"Shot", png, path));
        if (image_file_stamp() == stamp) {
            EXPECT_EQ(path, image_file_candidate(dir.path(), L"Shot", stamp, 3));
            EXPECT_EQ(test_support::read_file(image_file_candidate(dir.path(), L"Shot", stamp, 1)), "other");
            break;
        }
    }
    EXPECT_EQ(test_support::read_file(path), as_string(png));
}

TEST(SavePngFile, MissingAndRelativeFoldersAreCreated) {
    TempFolder dir;
    std::wstring path;
    const Bytes dib = make_dib({2, 2, 24});
    ASSERT_TRUE(winutil::save_png_file(dir.file(L"a\\b\\c"), L"Img", dib, path));
    EXPECT_EQ(path.rfind(dir.file(L"a\\b\\c\\Img "), 0), 0u);
    EXPECT_TRUE(exists(path));

    // A relative folder is taken from the current directory.
    wchar_t old_cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old_cwd);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.path().c_str()));
    const bool saved = winutil::save_png_file(L"rel\\shots", L"Img", dib, path);
    SetCurrentDirectoryW(old_cwd);
    ASSERT_TRUE(saved);
    EXPECT_EQ(path.rfind(dir.file(L"rel\\shots\\Img "), 0), 0u) << to_utf8(path);
    EXPECT_TRUE(exists(path));
}

TEST(SavePngFile, RefusesEmptyArgumentsAndUnencodableImages) {
    TempFolder dir;
    std::wstring path = L"x";
    EXPECT_FALSE(winutil::save_png_file(L"", L"Img", make_dib({2, 2, 24}), path));
    EXPECT_TRUE(path.empty());
    EXPECT_FALSE(winutil::save_png_file(dir.path(), L"", make_dib({2, 2, 24}), path));
    EXPECT_FALSE(winutil::save_png_file(dir.path(), L"Img", {}, path));
    DibShape sixteen;
    sixteen.bits = 16;
    EXPECT_FALSE(winutil::save_png_file(dir.path(), L"Img", make_dib(sixteen), path));
    // A file where the folder should be.
    ASSERT_TRUE(test_support::write_file(dir.file(L"plain"), "x"));
    EXPECT_FALSE(winutil::save_png_file(dir.file(L"plain"), L"Img", make_dib({2, 2, 24}), path));
    EXPECT_TRUE(path.empty());
}
