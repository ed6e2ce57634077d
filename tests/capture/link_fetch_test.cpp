// The HTTP GET and the link-title fetch against the local test server
// (title_server.py, started by the test run; its port is in
// "title_server.port" in the working directory).
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "capture/link_title.h"
#include "capture/posted_text.h"
#include "core/http_get.h"
#include "core/text.h"

namespace {

std::wstring server_base() {
    std::ifstream in("title_server.port");
    int port = 0;
    in >> port;
    return port > 0 ? L"http://127.0.0.1:" + std::to_wstring(port) : std::wstring();
}

class LinkFetch : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = server_base();
        if (base_.empty()) GTEST_SKIP() << "the local title server is not running (start it with ctest)";
        std::string ignored;
        ASSERT_TRUE(http_get(base_ + L"/__clear", ignored));
    }
    // The request lines the server saw, one JSON object per line.
    std::string log() {
        std::string body;
        EXPECT_TRUE(http_get(base_ + L"/__log", body));
        return body;
    }
    VideoServices local_services(bool first) const {
        VideoServices s{L"video.invalid", L"v.invalid", L"", L"second.invalid", L""};
        if (first) {
            s.first_main_host = L"127.0.0.1";
            s.first_oembed = base_ + L"/oembed?format=json&url=";
        } else {
            s.second_host = L"127.0.0.1";
            s.second_oembed = base_ + L"/api/oembed/?format=json&url=";
        }
        return s;
    }
    std::wstring base_;
};

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST_F(LinkFetch, GetsBodiesWithTheProgramsHeaders) {
    std::string body;
    ASSERT_TRUE(http_get(base_ + L"/page/og", body));
    EXPECT_NE(body.find("og:title"), std::string::npos);
    const std::string lines = log();
    EXPECT_NE(lines.find("\"path\": \"/page/og\""), std::string::npos) << lines;
    EXPECT_NE(lines.find("\"user_agent\": \"Mozilla/5.0 (Windows NT 10.0; Win64; x64) Quillet/1.0\""),
              std::string::npos)
        << lines;
    EXPECT_NE(lines.find("\"accept_encoding\": \"identity\""), std::string::npos) << lines;
}

TEST_F(LinkFetch, StatusIsNotExaminedAndRedirectsAreFollowed) {
    std::string body;
    ASSERT_TRUE(http_get(base_ + L"/notfound", body));
    EXPECT_NE(body.find("Missing page"), std::string::npos);
    ASSERT_TRUE(http_get(base_ + L"/redirect", body));
    EXPECT_NE(body.find("og:title"), std::string::npos);
}

TEST_F(LinkFetch, EmptyBodiesFailAndBigOnesAreCut) {
    std::string body = "old";
    EXPECT_FALSE(http_get(base_ + L"/empty", body));
    EXPECT_TRUE(body.empty());
    ASSERT_TRUE(http_get(base_ + L"/big", body));
    EXPECT_GE(body.size(), 524288u);
    EXPECT_LE(body.size(), 540671u);
    EXPECT_EQ(body.rfind("<title>Big</title>", 0), 0u);
}

TEST_F(LinkFetch, OnlyWebAddressesAreFetched) {
    std::string body = "old";
    EXPECT_FALSE(http_get(L"ftp://127.0.0.1/x", body));
    EXPECT_TRUE(body.empty());
    EXPECT_FALSE(http_get(L"file:///C:/windows/win.ini", body));
    EXPECT_FALSE(http_get(L"", body));
    EXPECT_FALSE(http_get(L"127.0.0.1/page/og", body));
    // The scheme's letter case does not matter.
    std::wstring upper = base_;
    upper.replace(0, 4, L"HTTP");
    EXPECT_TRUE(http_get(upper + L"/page/og", body));
}

TEST_F(LinkFetch, RefusedConnectionsFail) {
    std::string body = "old";
    EXPECT_FALSE(http_get(L"http://127.0.0.1:1/", body));  // nobody listens on port 1
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(fetch_link_title(L"http://127.0.0.1:1/page"), L"");
}

TEST_F(LinkFetch, PageTitles) {
    const VideoServices none{L"video.invalid", L"v.invalid", L"", L"second.invalid", L""};
    EXPECT_EQ(fetch_link_title(base_ + L"/page/og", none), L"A & B");
    EXPECT_EQ(fetch_link_title(base_ + L"/page/twitter-first", none), L"Card title");
    EXPECT_EQ(fetch_link_title(base_ + L"/page/title", none), L"Plain AB &bogus; title");
    EXPECT_EQ(fetch_link_title(base_ + L"/page/unicode", none), L"\u041f\u0440\u0438\u0432\u0435\u0442 \U0001F600 \u00a0!");
    EXPECT_EQ(fetch_link_title(base_ + L"/page/long", none), std::wstring(300, L'L') + L"\u2026");
    EXPECT_EQ(fetch_link_title(base_ + L"/notfound", none), L"Missing page");
    EXPECT_EQ(fetch_link_title(base_ + L"/redirect", none), L"A & B");
    EXPECT_EQ(fetch_link_title(base_ + L"/page/none", none), L"");
    EXPECT_EQ(fetch_link_title(base_ + L"/empty", none), L"");
}

TEST_F(LinkFetch, CopiedTextIsTrimmedAndLongAddressesFetchedWhole) {
    const VideoServices none{L"video.invalid", L"v.invalid", L"", L"second.invalid", L""};
    EXPECT_EQ(fetch_link_title(L"  \t" + base_ + L"/page/og\r\n", none), L"A & B");
    const std::wstring pad(400, L'p');
    EXPECT_EQ(fetch_link_title(base_ + L"/page/og?pad=" + pad, none), L"A & B");
    const std::string lines = log();
    EXPECT_NE(lines.find("\"path\": \"/page/og\""), std::string::npos);
    EXPECT_NE(lines.find("\"path\": \"/page/og?pad=" + std::string(400, 'p') + "\""), std::string::npos);
}

TEST_F(LinkFetch, FirstVideoServiceAsksItsOembedEndpointFirst) {
    const VideoServices services = local_services(true);
    const std::wstring link = base_ + L"/watch?v=abc";
    EXPECT_EQ(fetch_link_title(link, services), L"Oembed \u00e9 \U0001F600 \"quoted\" for /oembed");
    const std::string port = to_utf8(base_.substr(base_.rfind(L':') + 1));
    const std::string lines = log();
    EXPECT_NE(lines.find("\"path\": \"/oembed?format=json&url=http%3A%2F%2F127.0.0.1%3A" + port +
                         "%2Fwatch%3Fv%3Dabc\""),
              std::string::npos)
        << lines;
    EXPECT_EQ(lines.find("\"path\": \"/watch"), std::string::npos) << "the page itself was not needed";
}

TEST_F(LinkFetch, FailedOembedFallsBackToThePage) {
    const VideoServices services = local_services(true);
    EXPECT_EQ(fetch_link_title(base_ + L"/watch?v=novideo", services), L"Video page itself");
    const std::string lines = log();
    const size_t oembed = lines.find("\"path\": \"/oembed?format=json&url=");
    const size_t page = lines.find("\"path\": \"/watch?v=novideo\"");
    ASSERT_NE(oembed, std::string::npos) << lines;
    ASSERT_NE(page, std::string::npos) << lines;
    EXPECT_LT(oembed, page);
}

TEST_F(LinkFetch, SecondVideoServiceUsesItsOwnEndpoint) {
    const VideoServices services = local_services(false);
    EXPECT_EQ(fetch_link_title(base_ + L"/video/123/", services),
              L"Oembed \u00e9 \U0001F600 \"quoted\" for /api/oembed/");
    EXPECT_NE(log().find("\"path\": \"/api/oembed/?format=json&url=http%3A%2F%2F127.0.0.1"), std::string::npos);
}

TEST_F(LinkFetch, WorkerPostsTheTitleToTheWindow) {
    HWND wnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(wnd, nullptr);
    start_link_title_fetch(wnd, 4242, L" " + base_ + L"/page/og\n");
    start_link_title_fetch(wnd, 4343, base_ + L"/page/none");  // no title: nothing posted
    std::wstring title;
    WPARAM id = 0;
    int posts = 0;
    const auto start = std::chrono::steady_clock::now();
    while (seconds_since(start) < 5) {
        MSG msg;
        while (PeekMessageW(&msg, wnd, kMsgLinkTitle, kMsgLinkTitle, PM_REMOVE)) {
            ++posts;
            id = msg.wParam;
            auto text = take_posted_text(msg.lParam);
            ASSERT_TRUE(text.has_value());
            title = *text;
            EXPECT_FALSE(take_posted_text(msg.lParam).has_value()) << "taken once only";
        }
        if (posts && seconds_since(start) > 2) break;
        Sleep(20);
    }
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(id, 4242u);
    EXPECT_EQ(title, L"A & B");
    DestroyWindow(wnd);
}
