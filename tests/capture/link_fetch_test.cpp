// The HTTP GET and the link-title fetch against the local test server
// (title_server.py, started by the test run; its port is in
// "title_server.port" in the working directory).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "capture/link_title.h"
#include "capture/posted_text.h"
#include "core/http_get.h"
#include "core/text.h"
#include "tests/capture/thread_cpu.h"

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

namespace {

// A deadline short enough for the tests; the program's is kLinkFetchDeadlineMs.
constexpr DWORD kTestDeadlineMs = 2500;

const VideoServices kNoVideo{L"video.invalid", L"v.invalid", L"", L"second.invalid", L""};

// How often the server saw a request for exactly this path (or one
// starting with it, when prefix).
int requests_for(const std::string& lines, const std::string& path, bool prefix = false) {
    const std::string key = "\"path\": \"" + path + (prefix ? "" : "\"");
    int n = 0;
    for (size_t at = lines.find(key); at != std::string::npos; at = lines.find(key, at + 1)) ++n;
    return n;
}

// A number from the server's /__stats reply.
long stat(const std::string& stats, const std::string& name) {
    const size_t at = stats.find("\"" + name + "\": ");
    return at == std::string::npos ? -1 : std::stol(stats.substr(at + name.size() + 4));
}

}  // namespace

TEST_F(LinkFetch, HostilePagesEndWithinTheDeadline) {
    const std::wstring cyrillic = L"\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440";
    struct Case {
        const wchar_t* path;
        std::wstring title;
    };
    const Case cases[] = {
        {L"/loop", L""},                 // redirects to itself
        {L"/hop/300", L""},              // a chain of 300 redirects
        {L"/hop/6", L""},                // one redirect too many
        {L"/hop/5", L"Arrived"},         // as many as are followed
        {L"/trickle", L""},              // one byte a second
        {L"/silent", L""},               // takes the request, never answers
        {L"/huge", L"Huge"},             // 50 MB: read up to the limit only
        {L"/page/bidi", L"Invoicegpj.exe bell[0m iso mark end"},
        {L"/cp1251/header", cyrillic},   // charset in the reply's header
        {L"/cp1251/meta", cyrillic},     // in a meta tag
        {L"/cp1251/http-equiv", cyrillic},
        {L"/koi8/header", cyrillic},     // the header wins over the page's meta tag
        {L"/charset/unknown", L"Plain \u00e9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.path));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(fetch_link_title(base_ + c.path, kNoVideo, kTestDeadlineMs), c.title);
        const double took = seconds_since(start);
        std::printf("%-20ls %.2f s\n", c.path, took);
        // The huge page's time is Wine's: closing the request, its WinINet
        // drains what keeps arriving to reuse the connection, and from a
        // local server that can be most of the 50 MB on a busy machine. What
        // this program reads of it is checked below.
        if (std::wstring(c.path) != L"/huge") {
            EXPECT_LT(took, kTestDeadlineMs / 1000.0 + 1.0);
        }
    }
    const std::string lines = log();
    EXPECT_LE(requests_for(lines, "/loop"), 1 + kHttpMaxRedirects);
    EXPECT_LE(requests_for(lines, "/hop/", true), 3 * (1 + kHttpMaxRedirects)) << "each chain ends after 5 redirects";
    EXPECT_EQ(requests_for(lines, "/trickle"), 1) << "one attempt";
    EXPECT_EQ(requests_for(lines, "/silent"), 1) << "one attempt";
    EXPECT_EQ(requests_for(lines, "/huge"), 1);
    std::string stats;
    ASSERT_TRUE(http_get(base_ + L"/__stats", stats));
    std::printf("server stats: %s\n", stats.c_str());
    // What the huge page's sender got out is printed, not checked: our read
    // stops at the limit (below), but Wine's WinINet, closing the request,
    // goes on reading whatever has already arrived to keep the connection
    // for reuse, which on this fast local connection may be all of it.
    HttpReply huge;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(http_get(base_ + L"/huge", huge, kTestDeadlineMs));
    std::printf("/huge read alone      %.2f s\n", seconds_since(start));
    EXPECT_GT(huge.body.size(), kHttpBodyLimit);
    EXPECT_LE(huge.body.size(), kHttpBodyLimit + kHttpReadChunk);
    EXPECT_EQ(huge.body.rfind("<html><head><title>Huge</title>", 0), 0u);
}


// A page whose title is 500,000 "&": the fetch, reading the page included,
// runs on this thread and ends well within its deadline.
TEST_F(LinkFetch, AHalfMillionAmpersandTitleEndsWithinTheDeadline) {
    const double cpu_before = test_support::thread_cpu_seconds();
    const auto start = std::chrono::steady_clock::now();
    const std::wstring title = fetch_link_title(base_ + L"/page/ampersands", kNoVideo, kTestDeadlineMs);
    const double took = seconds_since(start);
    const double cpu = test_support::thread_cpu_seconds() - cpu_before;
    std::printf("500,000 '&': %.2f s, %.3f s CPU of the fetching thread\n", took, cpu);
    EXPECT_EQ(title, std::wstring(kLinkTitleMax, L'&') + L"\u2026");
    EXPECT_LT(took, kTestDeadlineMs / 1000.0 + 1.0);
    EXPECT_LT(cpu, 1.0);
    EXPECT_EQ(requests_for(log(), "/page/ampersands"), 1);
}

TEST_F(LinkFetch, OnlyAFewFetchesRunAtOnce) {
    HWND wnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(wnd, nullptr);
    // Seven pages that never answer, then one that does: the fetches wait
    // their turn rather than each taking a thread and a connection.
    constexpr int kSilent = 7;
    const DWORD deadline = 1200;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kSilent; ++i)
        EXPECT_TRUE(start_link_title_fetch(wnd, 100 + i, base_ + L"/silent?n=" + std::to_wstring(i), deadline));
    EXPECT_TRUE(start_link_title_fetch(wnd, 777, base_ + L"/page/og", deadline));
    int posts = 0;
    WPARAM id = 0;
    while (posts == 0 && seconds_since(start) < 15) {
        MSG msg;
        while (PeekMessageW(&msg, wnd, kMsgLinkTitle, kMsgLinkTitle, PM_REMOVE)) {
            ++posts;
            id = msg.wParam;
            take_posted_text(msg.lParam);
        }
        Sleep(20);
    }
    const double took = seconds_since(start);
    std::printf("the eighth fetch's title came after %.2f s\n", took);
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(id, 777u);
    // Three rounds of silent pages before it.
    EXPECT_GE(took, 2 * deadline / 1000.0 - 0.05);
    // A silent fetch holds its turn for the whole deadline, so within half
    // of it no more fetches start than may run at once. (The server's count
    // of requests under way lags behind the client closing one.)
    std::string stats;
    ASSERT_TRUE(http_get(base_ + L"/__stats?window=" + std::to_wstring(deadline / 2000.0), stats));
    EXPECT_LE(stat(stats, "most_arrivals"), kMaxLinkFetches) << stats;
    EXPECT_GE(stat(stats, "most_arrivals"), 2) << stats;
    EXPECT_EQ(requests_for(log(), "/silent?n=", true), kSilent);
    DestroyWindow(wnd);
}
