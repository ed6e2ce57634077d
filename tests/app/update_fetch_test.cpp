// The update check against the local update server (update_server.py,
// started by the test run on the port this build compiled in): newer,
// same and older versions, malformed and refused replies, redirects and
// errors, the body cap, replies that never end (bounded by the time-outs),
// and the checking threads posting their results.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "app/app_ids.h"
#include "app/update_check.h"
#include "app/web_addresses.h"
#include "capture/posted_text.h"
#include "core/i18n.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class UpdateFetch : public testing::Test {
protected:
    void SetUp() override {
        set_language(L"en");
        base_ = update_base();
        ASSERT_EQ(base_.rfind(L"http://127.0.0.1:", 0), 0u) << "a test build asks the local server";
        std::string ignored;
        ASSERT_TRUE(winhttp_get(base_ + L"/__clear", ignored)) << "the local update server is not running";
    }
    std::wstring manifest(const wchar_t* mode) const { return base_ + L"/m/" + mode + L"/download/version.json"; }
    std::string log() const {
        std::string body;
        EXPECT_TRUE(winhttp_get(base_ + L"/__log", body));
        return body;
    }
    std::wstring base_;
};

TEST_F(UpdateFetch, ReadsTheVersionWithTheProgramsUserAgent) {
    EXPECT_EQ(fetch_latest_version(manifest(L"newer")), "1.4.0");
    EXPECT_EQ(fetch_latest_version(manifest(L"same")), "1.3.7");
    EXPECT_EQ(fetch_latest_version(manifest(L"older")), "1.2.9");
    EXPECT_EQ(fetch_latest_version(manifest(L"value-first")), "2.1.0");
    const std::string lines = log();
    EXPECT_NE(lines.find("\"path\": \"/m/newer/download/version.json\""), std::string::npos) << lines;
    EXPECT_NE(lines.find("\"user_agent\": \"Quillet/1.3.7\""), std::string::npos) << lines;
    EXPECT_EQ(lines.find("Mozilla"), std::string::npos) << "only the program's own user agent";
}

TEST_F(UpdateFetch, TheBuiltInAddressesPointAtTheServer) {
    EXPECT_EQ(update_manifest_url(), base_ + L"/download/version.json");
    EXPECT_EQ(download_page_url(), base_ + L"/download/");
    std::string page;
    EXPECT_TRUE(winhttp_get(download_page_url(), page));
    EXPECT_NE(page.find("Download"), std::string::npos);
}

TEST_F(UpdateFetch, ResultsOfNewerSameAndOlder) {
    UpdateResult r = automatic_check_result(fetch_latest_version(manifest(L"newer")));
    EXPECT_TRUE(r.newer);
    EXPECT_EQ(r.text, L"1.4.0");
    r = automatic_check_result(fetch_latest_version(manifest(L"same")));
    EXPECT_FALSE(r.newer);
    r = manual_check_result(fetch_latest_version(manifest(L"older")));
    EXPECT_FALSE(r.newer);
    EXPECT_EQ(r.text, tr_format(L"update.latest", L"1.3.7"));
    r = manual_check_result(fetch_latest_version(manifest(L"newer")));
    EXPECT_TRUE(r.newer);
    EXPECT_EQ(r.text, tr_format(L"update.ask", L"1.4.0"));
}

TEST_F(UpdateFetch, MalformedRepliesGiveNoVersion) {
    for (const wchar_t* mode : {L"garbage", L"number", L"empty", L"error", L"redirect", L"padded"}) {
        EXPECT_EQ(fetch_latest_version(manifest(mode)), "") << testing::PrintToString(std::wstring(mode));
        EXPECT_EQ(manual_check_result(fetch_latest_version(manifest(mode))).text, tr(L"update.failed"));
    }
    // A redirect is not followed: the target was never asked for.
    const std::string lines = log();
    EXPECT_NE(lines.find("/m/redirect/"), std::string::npos);
    EXPECT_EQ(lines.find("/m/newer/"), std::string::npos) << lines;
}

TEST_F(UpdateFetch, StatusAndBodyRules) {
    std::string body = "old";
    EXPECT_FALSE(winhttp_get(manifest(L"error"), body)) << "status 500";
    EXPECT_TRUE(body.empty()) << "the body is emptied first";
    EXPECT_FALSE(winhttp_get(manifest(L"empty"), body)) << "an empty body";
    EXPECT_FALSE(winhttp_get(base_ + L"/nothing-here", body)) << "status 404";
    // A long reply is cut near 64 KiB: the member behind the padding is lost.
    ASSERT_TRUE(winhttp_get(manifest(L"padded"), body));
    EXPECT_GE(body.size(), kUpdateBodyLimit);
    EXPECT_LE(body.size(), kUpdateBodyLimit + kUpdateReadChunk);
    EXPECT_EQ(body.find("\"version\""), std::string::npos);
    EXPECT_FALSE(winhttp_get(L"ftp://127.0.0.1/x", body));
    EXPECT_FALSE(winhttp_get(L"http://", body));
}

TEST_F(UpdateFetch, RefusedConnectionFailsQuickly) {
    // Nothing listens on port 1 of this machine.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fetch_latest_version(L"http://127.0.0.1:1/download/version.json"), "");
    EXPECT_LT(seconds_since(start), 7.5);
    EXPECT_EQ(manual_check_result("").text, tr(L"update.failed"));
}

TEST_F(UpdateFetch, RepliesThatNeverEndAreBoundedByTheTimeOuts) {
    for (const wchar_t* mode : {L"stall", L"silent"}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(fetch_latest_version(manifest(mode)), "") << testing::PrintToString(std::wstring(mode));
        const double took = seconds_since(start);
        std::printf("%ls took %.1f s\n", mode, took);
        EXPECT_GE(took, 5.0) << "waited for the reply";
        EXPECT_LT(took, 4 * 7 + 2.0) << "at most the four time-outs";
    }
}

// A message-only window that keeps the last result posted to it.
struct ResultSink {
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wparam = 99;
    std::optional<std::wstring> text;

    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<ResultSink*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (self && (msg == WM_UPDATE_AUTO_RESULT || msg == WM_UPDATE_MANUAL_RESULT)) {
            self->message = msg;
            self->wparam = wp;
            self->text = take_posted_text(lp);
            return 0;
        }
        return DefWindowProcW(w, msg, wp, lp);
    }
    ResultSink() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UpdateResultSink";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ResultSink() { DestroyWindow(window); }
    bool wait(int timeout_ms) {
        const ULONGLONG end = GetTickCount64() + timeout_ms;
        while (message == 0 && GetTickCount64() < end) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        return message != 0;
    }
};

TEST_F(UpdateFetch, ThreadsPostTheirResults) {
    {
        ResultSink sink;
        start_automatic_update_check(sink.window, manifest(L"newer"));
        ASSERT_TRUE(sink.wait(10000));
        EXPECT_EQ(sink.message, WM_UPDATE_AUTO_RESULT);
        EXPECT_EQ(sink.wparam, 1u);
        EXPECT_EQ(sink.text, std::optional<std::wstring>(L"1.4.0"));
    }
    {
        ResultSink sink;
        start_automatic_update_check(sink.window, manifest(L"same"));
        ASSERT_TRUE(sink.wait(10000));
        EXPECT_EQ(sink.wparam, 0u);
        EXPECT_EQ(sink.text, std::optional<std::wstring>(L""));
    }
    {
        ResultSink sink;
        start_manual_update_check(sink.window, manifest(L"newer"));
        ASSERT_TRUE(sink.wait(10000));
        EXPECT_EQ(sink.message, WM_UPDATE_MANUAL_RESULT);
        EXPECT_EQ(sink.wparam, 1u);
        EXPECT_EQ(sink.text, std::optional<std::wstring>(tr_format(L"update.ask", L"1.4.0")));
    }
    {
        ResultSink sink;
        start_manual_update_check(sink.window, L"http://127.0.0.1:1/download/version.json");
        ASSERT_TRUE(sink.wait(10000));
        EXPECT_EQ(sink.wparam, 0u);
        EXPECT_EQ(sink.text, std::optional<std::wstring>(tr(L"update.failed")));
    }
}

}  // namespace
