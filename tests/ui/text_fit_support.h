// The measuring of the text-fit tests: a DC with a font selected, the list
// of texts that do not fit, and the loop over every shipped language at
// the smallest and the largest font size.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/handles.h"
#include "core/i18n.h"
#include "core/text.h"
#include "theme/fonts.h"

namespace text_fit {

inline const wchar_t* const kLanguages[] = {L"en", L"ru", L"de", L"es", L"fr", L"it", L"pl", L"pt"};
inline constexpr int kFontSizes[] = {10, 18};

inline int width(const RECT& r) { return static_cast<int>(r.right - r.left); }
inline int height(const RECT& r) { return static_cast<int>(r.bottom - r.top); }

// A memory DC with one font selected.
class Measure {
public:
    Measure(int size, int weight) : Measure(create_ui_font(size, weight)) {}
    // A font that the DC keeps for its life (a null one: a stock font that
    // the caller names, selected but not owned).
    explicit Measure(raii::Font font, HFONT stock = nullptr)
        : font_(std::move(font)), dc_(CreateCompatibleDC(nullptr)) {
        old_ = SelectObject(dc_, font_ ? static_cast<HGDIOBJ>(font_.get()) : static_cast<HGDIOBJ>(stock));
        TEXTMETRICW tm{};
        GetTextMetricsW(dc_, &tm);
        line_ = static_cast<int>(tm.tmHeight);
    }
    ~Measure() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    Measure(const Measure&) = delete;
    Measure& operator=(const Measure&) = delete;

    HDC dc() const { return dc_; }
    int line() const { return line_; }
    int width_of(const std::wstring& t) const {
        SIZE s{};
        GetTextExtentPoint32W(dc_, t.c_str(), static_cast<int>(t.size()), &s);
        return static_cast<int>(s.cx);
    }
    // The size of the text word-wrapped at the width (DrawText's own breaking).
    SIZE wrapped(const std::wstring& t, int w, UINT extra = 0) const {
        RECT r{0, 0, w, 0};
        DrawTextW(dc_, t.c_str(), static_cast<int>(t.size()), &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | extra);
        return SIZE{r.right - r.left, r.bottom - r.top};
    }

private:
    raii::Font font_;
    HDC dc_;
    HGDIOBJ old_ = nullptr;
    int line_ = 0;
};

// The texts that do not fit, one line each.
class Misfits {
public:
    void where(const std::wstring& language, int size) {
        language_ = to_utf8(language);
        size_ = size;
    }
    // A single line of text in a box.
    void line(const Measure& m, const std::string& what, const std::wstring& text, const RECT& box) {
        const int w = m.width_of(text);
        if (w > width(box) || m.line() > height(box)) add(what, text, w, m.line(), width(box), height(box));
    }
    // Word-wrapped text in a box.
    void wrapped(const Measure& m, const std::string& what, const std::wstring& text, const RECT& box, UINT extra = 0) {
        const SIZE s = m.wrapped(text, width(box), extra);
        if (s.cx > width(box) || s.cy > height(box)) add(what, text, s.cx, s.cy, width(box), height(box));
    }
    void fail(const std::string& what, const std::wstring& text, const std::string& why) {
        list_.push_back(language_ + " size " + std::to_string(size_) + " " + what + " \"" + to_utf8(text) +
                        "\": " + why);
    }
    std::string report() const {
        std::string out;
        for (const std::string& s : list_) out += s + "\n";
        return out;
    }
    bool empty() const { return list_.empty(); }

private:
    void add(const std::string& what, const std::wstring& text, int w, int h, int room_w, int room_h) {
        fail(what, text,
             "needs " + std::to_string(w) + " x " + std::to_string(h) + ", has " + std::to_string(room_w) + " x " +
                 std::to_string(room_h));
    }
    std::string language_;
    int size_ = 0;
    std::vector<std::string> list_;
};

// Runs the check in every language at both font sizes.
inline void in_every_language(Misfits& misfits, const std::function<void(int size)>& check) {
    for (const wchar_t* code : kLanguages) {
        set_language(code);
        ASSERT_EQ(current_language(), code);
        for (int size : kFontSizes) {
            misfits.where(code, size);
            check(size);
        }
    }
    set_language(L"en");
}

inline std::string key_of(const wchar_t* key) { return to_utf8(key); }

inline RECT box(int w, int h) { return RECT{0, 0, w, h}; }

}  // namespace text_fit
