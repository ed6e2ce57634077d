#include "ui/dialogs/settings_values.h"

#include <algorithm>

namespace {

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::optional<int> capped(const std::wstring& text, int cap) {
    std::optional<unsigned long long> n = read_unsigned_text(text);
    if (!n) return std::nullopt;
    return static_cast<int>(std::min<unsigned long long>(*n, static_cast<unsigned long long>(cap)));
}

}  // namespace

std::optional<unsigned long long> read_unsigned_text(const std::wstring& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && is_blank(text[begin])) ++begin;
    while (end > begin && is_blank(text[end - 1])) --end;
    if (begin == end) return std::nullopt;
    unsigned long long value = 0;
    for (size_t i = begin; i < end; ++i) {
        const wchar_t c = text[i];
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - L'0');
        if (value > 4294967295ULL) return std::nullopt;
    }
    return value;
}

std::optional<int> ttl_days_from_text(const std::wstring& text) { return capped(text, kMaxTtlDays); }

std::optional<int> trash_hours_from_text(const std::wstring& text) { return capped(text, kMaxTrashHours); }

std::optional<int> font_size_from_text(const std::wstring& text) {
    std::optional<int> n = capped(text, 1000);
    if (!n) return std::nullopt;
    return std::clamp(*n, 10, 18);
}

int font_size_from_step(int position, int delta) {
    const long long sum = static_cast<long long>(position) + delta;
    return static_cast<int>(std::clamp<long long>(sum, 10, 18));
}

std::wstring app_filter_mode_from_index(int index) {
    switch (index) {
        case 1: return L"whitelist";
        case 2: return L"blacklist";
        default: return L"all";
    }
}

int app_filter_index_from_mode(const std::wstring& mode) {
    if (mode == L"whitelist") return 1;
    if (mode == L"blacklist") return 2;
    return 0;
}

int choice_from_index(int index) { return index < 0 ? 1 : std::clamp(index + 1, 1, 4); }

int scroll_lines_index(int lines) { return std::clamp(lines, 1, 4) - 1; }

int sound_index(int sound) { return sound >= 1 && sound <= 4 ? sound - 1 : -1; }

int hidden_view_bit(int control_id) {
    if (control_id < 1037 || control_id > 1042) return 0;
    return 1 << (control_id - 1037);
}

int with_hidden_bit(int mask, int bit, bool checked) { return checked ? (mask | bit) : (mask & ~bit); }
