// Web address tests and the address an entry shows.
#include "core/web_url.h"

#include <gtest/gtest.h>

#include "core/video_hosts.h"

TEST(WebUrl, SingleAddressTest) {
    struct Case {
        const wchar_t* text;
        bool expected;
    };
    const Case cases[] = {
        {L" HTTPS://x ", true}, {L"http://a", true}, {L"\thttp://a.b/c?d#e\r\n", true}, {L"HtTp://Example", true},
        {L"http://", false},    {L"https://", false}, {L"https://a b", false},         {L"ftp://a", false},
        {L"", false},           {L"   ", false},      {L"http://a\nhttp://b", false},  {L"www.example.com", false},
        {L"xhttp://a", false},  {L"HTTP://", false},  {L"https:/x", false},
    };
    for (const Case& c : cases) EXPECT_EQ(is_web_url(c.text), c.expected) << testing::PrintToString(std::wstring(c.text));
}

TEST(WebUrl, AddressToShow) {
    EXPECT_EQ(choose_page_url(L"  https://a.b/  ", true, L"http://src", L"http://pref"), L"https://a.b/");
    EXPECT_EQ(choose_page_url(L"text", true, L"http://src", L"http://pref"), L"http://pref");
    EXPECT_EQ(choose_page_url(L"text", true, L"http://src", L""), L"http://src");
    EXPECT_EQ(choose_page_url(L"text", false, L"http://src", L""), L"");
    EXPECT_EQ(choose_page_url(L"", true, L"", L""), L"");
}

TEST(WebUrl, VideoPageOfAPreviewImage) {
    const std::string host = "rutube.ru";
    const std::string id = "0123456789abcdefABCDEF0123456789";
    const std::string html = "<img src=\"https://pic." + host + "/api/video/x/preview/" + id + "/?size=m\">";
    const std::wstring want = L"https://" + std::wstring(kVideo2Host) + L"/video/0123456789abcdefABCDEF0123456789/";
    EXPECT_EQ(video_page_from_preview_url(html), want);
    EXPECT_EQ(video_page_from_preview_url("https://" + host + "/api/video/preview/" + id), want);
    // Not hexadecimal, too short, or the service's path missing.
    EXPECT_EQ(video_page_from_preview_url("https://" + host + "/api/video/preview/0123456789abcdefABCDEF012345678g"), L"");
    EXPECT_EQ(video_page_from_preview_url("https://" + host + "/api/video/preview/0123"), L"");
    EXPECT_EQ(video_page_from_preview_url("https://" + host + "/api/video/x"), L"");
    EXPECT_EQ(video_page_from_preview_url("https://other.example/api/video/preview/" + id), L"");
    EXPECT_EQ(video_page_from_preview_url("https://" + host + "/preview/" + id), L"");
    EXPECT_EQ(video_page_from_preview_url("", L"rutube.ru"), L"");
    EXPECT_EQ(video_page_from_preview_url("v.test/api/video/preview/" + id, L"v.test"),
              L"https://v.test/video/0123456789abcdefABCDEF0123456789/");
}

TEST(WebUrl, EndsWith) {
    EXPECT_TRUE(ends_with(L"abc.png", L".png"));
    EXPECT_FALSE(ends_with(L"abc.PNG", L".png"));
    EXPECT_TRUE(ends_with(L"x", L""));
    EXPECT_FALSE(ends_with(L"g", L"png"));
}
