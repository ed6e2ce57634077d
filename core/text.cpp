// Text conversion, Base64, trimming, casing, paste-as transforms, the
// "HTML Format" source line and the payment-card test.
#include "core/text.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cwctype>

bool is_high_surrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

size_t pair_safe_length(const std::wstring& text, size_t n) {
    if (text.size() <= n) return text.size();
    if (n > 0 && is_high_surrogate(text[n - 1])) return n - 1;
    return n;
}

namespace {

bool is_low_surrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Blank as far as trim() and the sentence rule are concerned.
bool is_blank(wchar_t c) { return c == L'\t' || c == L'\n' || c == L'\r' || c == L' '; }

wchar_t upper_char(wchar_t c) {
    wchar_t buf[1] = {c};
    CharUpperBuffW(buf, 1);
    return buf[0];
}

wchar_t lower_char(wchar_t c) {
    wchar_t buf[1] = {c};
    CharLowerBuffW(buf, 1);
    return buf[0];
}

bool is_word_separator(wchar_t c) {
    switch (c) {
    case L'\t': case L'\n': case L'\r': case L' ':
    case L'!': case L',': case L'-': case L'.': case L':': case L';': case L'?':
        return true;
    default:
        return false;
    }
}

std::wstring capitalise_words(const std::wstring& text) {
    std::wstring out = to_lower(text);
    bool at_word_start = true;
    for (wchar_t& c : out) {
        if (is_word_separator(c)) {
            at_word_start = true;
        } else {
            if (at_word_start) c = upper_char(c);
            at_word_start = false;
        }
    }
    return out;
}

std::wstring sentence_case(const std::wstring& text) {
    std::wstring out = to_lower(text);
    bool capital_pending = true;
    for (wchar_t& c : out) {
        if (capital_pending && !is_blank(c)) {
            c = upper_char(c);
            capital_pending = false;
        }
        if (c == L'.' || c == L'!' || c == L'?') capital_pending = true;
    }
    return out;
}

std::wstring invert_case(const std::wstring& text) {
    std::wstring out = text;
    for (wchar_t& c : out) {
        const wchar_t up = upper_char(c);
        const wchar_t low = lower_char(c);
        if (up == c && low != c)
            c = low;
        else if (up != c)
            c = up;
    }
    return out;
}

std::wstring trim_wide_space(const std::wstring& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::iswspace(static_cast<wint_t>(text[begin]))) ++begin;
    while (end > begin && std::iswspace(static_cast<wint_t>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

std::wstring remove_line_breaks(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text)
        if (c != L'\r' && c != L'\n') out.push_back(c);
    return out;
}

// Shared by the wide and the byte form of the source-line search; every code
// unit is widened on its own (bytes as Latin-1).
template <class Unit>
std::wstring find_source_url(const Unit* text, size_t size) {
    static const wchar_t kName[] = L"sourceurl";
    constexpr size_t kNameLen = sizeof(kName) / sizeof(kName[0]) - 1;
    auto widen = [](Unit u) {
        if constexpr (sizeof(Unit) == 1)
            return static_cast<wchar_t>(static_cast<unsigned char>(u));
        else
            return static_cast<wchar_t>(u);
    };

    size_t pos = 0;
    while (pos < size) {
        size_t line_end = pos;
        while (line_end < size && widen(text[line_end]) != L'\r' && widen(text[line_end]) != L'\n')
            ++line_end;

        size_t colon = pos;
        while (colon < line_end && widen(text[colon]) != L':') ++colon;
        if (colon < line_end && colon - pos == kNameLen) {
            bool match = true;
            for (size_t i = 0; i < kNameLen && match; ++i)
                match = static_cast<wchar_t>(std::towlower(widen(text[pos + i]))) == kName[i];
            if (match) {
                std::wstring value;
                value.reserve(line_end - colon - 1);
                for (size_t i = colon + 1; i < line_end; ++i) value.push_back(widen(text[i]));
                return trim(value);
            }
        }

        // CR LF is one line break; a lone CR or LF is one too.
        pos = line_end;
        if (pos < size) {
            const bool cr = widen(text[pos]) == L'\r';
            ++pos;
            if (cr && pos < size && widen(text[pos]) == L'\n') ++pos;
        }
    }
    return std::wstring();
}

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Value of a Base64 character, or -1 for a character outside the alphabet.
int base64_value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

// ---------------------------------------------------------------- UTF-8

std::string to_utf8(const std::wstring& text) {
    const size_t len = std::min(text.find(L'\0'), text.size());  // stop at the first NUL
    if (len == 0 || len > static_cast<size_t>(INT_MAX)) return std::string();
    const int wlen = static_cast<int>(len);
    const int need = WideCharToMultiByte(CP_UTF8, 0, text.data(), wlen, nullptr, 0, nullptr, nullptr);
    if (need <= 0) return std::string();
    std::string out(static_cast<size_t>(need), '\0');
    const int got = WideCharToMultiByte(CP_UTF8, 0, text.data(), wlen, out.data(), need, nullptr, nullptr);
    if (got <= 0) return std::string();
    out.resize(static_cast<size_t>(got));
    return out;
}

std::wstring from_utf8(const std::string& text) {
    const size_t len = std::min(text.find('\0'), text.size());  // stop at the first NUL
    if (len == 0 || len > static_cast<size_t>(INT_MAX)) return std::wstring();
    const int blen = static_cast<int>(len);
    const int need = MultiByteToWideChar(CP_UTF8, 0, text.data(), blen, nullptr, 0);
    if (need <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(need), L'\0');
    const int got = MultiByteToWideChar(CP_UTF8, 0, text.data(), blen, out.data(), need);
    if (got <= 0) return std::wstring();
    out.resize(static_cast<size_t>(got));
    return out;
}

void append_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp <= 0xFFFF) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// ---------------------------------------------------------------- Base64

std::string base64_encode(const void* data, size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    std::string out;
    if (size == 0 || p == nullptr) return out;
    out.reserve((size / 3 + 1) * 4);
    size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const uint32_t v = (uint32_t(p[i]) << 16) | (uint32_t(p[i + 1]) << 8) | p[i + 2];
        out.push_back(kBase64Alphabet[(v >> 18) & 0x3F]);
        out.push_back(kBase64Alphabet[(v >> 12) & 0x3F]);
        out.push_back(kBase64Alphabet[(v >> 6) & 0x3F]);
        out.push_back(kBase64Alphabet[v & 0x3F]);
    }
    const size_t rest = size - i;
    if (rest == 1) {
        const uint32_t v = uint32_t(p[i]) << 16;
        out.push_back(kBase64Alphabet[(v >> 18) & 0x3F]);
        out.push_back(kBase64Alphabet[(v >> 12) & 0x3F]);
        out += "==";
    } else if (rest == 2) {
        const uint32_t v = (uint32_t(p[i]) << 16) | (uint32_t(p[i + 1]) << 8);
        out.push_back(kBase64Alphabet[(v >> 18) & 0x3F]);
        out.push_back(kBase64Alphabet[(v >> 12) & 0x3F]);
        out.push_back(kBase64Alphabet[(v >> 6) & 0x3F]);
        out.push_back('=');
    }
    return out;
}

std::string base64_encode(const std::vector<uint8_t>& bytes) {
    return base64_encode(bytes.data(), bytes.size());
}

std::string base64_encode(std::string_view bytes) {
    return base64_encode(bytes.data(), bytes.size());
}

std::vector<uint8_t> base64_decode(std::string_view text) {
    std::vector<uint8_t> out;
    out.reserve(text.size() / 4 * 3 + 3);
    uint32_t bits = 0;
    int pending = 0;
    for (char ch : text) {
        if (ch == '=') break;
        const int v = base64_value(static_cast<unsigned char>(ch));
        if (v < 0) continue;
        bits = ((bits << 6) | static_cast<uint32_t>(v)) & 0xFFFFFF;
        pending += 6;
        if (pending >= 8) {
            pending -= 8;
            out.push_back(static_cast<uint8_t>((bits >> pending) & 0xFF));
        }
    }
    return out;
}

// ---------------------------------------------------------------- Shaping

std::wstring trim(const std::wstring& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && is_blank(text[begin])) ++begin;
    while (end > begin && is_blank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::wstring ellipsize(const std::wstring& text, size_t max_len) {
    if (text.size() <= max_len) return text;
    size_t cut = max_len;
    // Never split a surrogate pair: a lone half would show as a broken glyph
    // and turn into U+FFFD when converted.
    if (cut > 0 && is_high_surrogate(text[cut - 1]) && is_low_surrogate(text[cut])) --cut;
    std::wstring out = text.substr(0, cut);
    out.push_back(L'\u2026');
    return out;
}

std::wstring to_lower(const std::wstring& text) {
    std::wstring out = text;
    size_t done = 0;
    while (done < out.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(out.size() - done, 0x40000000));
        CharLowerBuffW(out.data() + done, chunk);
        done += chunk;
    }
    return out;
}

std::wstring to_upper(const std::wstring& text) {
    std::wstring out = text;
    size_t done = 0;
    while (done < out.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(out.size() - done, 0x40000000));
        CharUpperBuffW(out.data() + done, chunk);
        done += chunk;
    }
    return out;
}

std::wstring transform_text(const std::wstring& text, unsigned mode) {
    if (text.empty()) return std::wstring();
    switch (mode) {
    case 0: return to_upper(text);
    case 1: return to_lower(text);
    case 2: return capitalise_words(text);
    case 3: return sentence_case(text);
    case 4: return invert_case(text);
    case 5: return trim_wide_space(text);
    case 6: return remove_line_breaks(text);
    default: return text;
    }
}

// ---------------------------------------------------------------- Clipboard HTML

std::wstring html_source_url(const std::wstring& html_format_text) {
    return find_source_url(html_format_text.data(), html_format_text.size());
}

std::wstring html_source_url_bytes(const std::string& html_format_bytes) {
    return find_source_url(html_format_bytes.data(), html_format_bytes.size());
}

// ---------------------------------------------------------------- Payment cards

bool looks_like_card_number(const std::wstring& text) {
    int digits[19];
    size_t count = 0;
    for (wchar_t c : text) {
        if (c == L' ' || c == L'-') continue;
        if (c < L'0' || c > L'9') return false;
        if (count == 19) return false;  // too many digits
        digits[count++] = c - L'0';
    }
    if (count < 13) return false;
    int sum = 0;
    bool double_it = false;
    for (size_t i = count; i-- > 0;) {
        int d = digits[i];
        if (double_it) {
            d *= 2;
            if (d > 9) d -= 9;
        }
        sum += d;
        double_it = !double_it;
    }
    return sum % 10 == 0;
}
