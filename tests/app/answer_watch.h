// Asks a window for an answer (WM_NULL through SendMessageTimeoutW) from a
// thread of its own at a steady pace while it lives, and keeps the longest
// wait: whether the window's thread answered all the while. Works on a
// window of another process too.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace app_test {

class AnswerWatch {
public:
    explicit AnswerWatch(HWND window, int every_ms = 50)
        : thread_([this, window, every_ms] {
              while (!stop_) {
                  const auto t0 = std::chrono::steady_clock::now();
                  DWORD_PTR result = 0;
                  if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result)) ++missed_;
                  const double ms =
                      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
                  if (ms > longest_) longest_ = ms;
                  ++asked_;
                  std::this_thread::sleep_for(std::chrono::milliseconds(every_ms));
              }
          }) {}
    ~AnswerWatch() { finish(); }
    AnswerWatch(const AnswerWatch&) = delete;
    AnswerWatch& operator=(const AnswerWatch&) = delete;
    void finish() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    double longest() const { return longest_; }
    int missed() const { return missed_; }
    int asked() const { return asked_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<double> longest_{0};
    std::atomic<int> missed_{0};
    std::atomic<int> asked_{0};
    std::thread thread_;
};

}  // namespace app_test
