#include "core/i18n_format.h"

#include <cstdio>
#include <string>

namespace {

using fmt_detail::FormatArg;

// Widths and precisions beyond the result's length change nothing visible.
constexpr int kMaxField = static_cast<int>(kFormatMaxChars) + 1;

enum class ConvClass { Percent, Integer, Float, Text, Unsupported };

struct Conversion {
    std::string flags;   // any of "-+ #0"
    int width = -1;
    int precision = -1;
    wchar_t conv = 0;
    ConvClass cls = ConvClass::Unsupported;
    size_t end = 0;      // index just after the conversion in the format text
};

bool is_digit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Reads decimal digits at pos, saturating at kMaxField.
int read_number(std::wstring_view f, size_t& pos) {
    int v = 0;
    while (pos < f.size() && is_digit(f[pos])) {
        if (v < kMaxField) v = v * 10 + (f[pos] - L'0');
        ++pos;
    }
    return v > kMaxField ? kMaxField : v;
}

// Parses the conversion that starts with the "%" at pos. The conversion
// ends at its conversion character, or at the end of the text.
Conversion parse_conversion(std::wstring_view f, size_t pos) {
    Conversion s;
    size_t i = pos + 1;
    while (i < f.size()) {
        wchar_t c = f[i];
        if (c != L'-' && c != L'+' && c != L' ' && c != L'#' && c != L'0') break;
        if (s.flags.find(static_cast<char>(c)) == std::string::npos) s.flags += static_cast<char>(c);
        ++i;
    }
    bool star = false;
    if (i < f.size() && f[i] == L'*') {
        star = true;
        ++i;
    } else if (i < f.size() && is_digit(f[i])) {
        s.width = read_number(f, i);
    }
    if (i < f.size() && f[i] == L'.') {
        ++i;
        if (i < f.size() && f[i] == L'*') {
            star = true;
            ++i;
        } else {
            s.precision = read_number(f, i);
        }
    }
    // Length modifiers: the argument's own type decides, so they are skipped.
    for (;;) {
        if (i >= f.size()) break;
        wchar_t c = f[i];
        if (c == L'h' || c == L'l' || c == L'L' || c == L'z' || c == L'j' || c == L't' || c == L'q') {
            ++i;
        } else if (c == L'I') {
            if (f.substr(i, 3) == L"I64" || f.substr(i, 3) == L"I32")
                i += 3;
            else
                ++i;
        } else {
            break;
        }
    }
    if (i >= f.size()) {
        s.end = f.size();
        return s;
    }
    s.conv = f[i];
    s.end = i + 1;
    if (star) return s;  // widths taken from the arguments are not supported
    switch (s.conv) {
        case L'%': s.cls = ConvClass::Percent; break;
        case L'd': case L'i': case L'u': case L'x': case L'X': case L'o': case L'c':
            s.cls = ConvClass::Integer;
            break;
        case L'f': case L'F': case L'e': case L'E': case L'g': case L'G': case L'a': case L'A':
            s.cls = ConvClass::Float;
            break;
        case L's': s.cls = ConvClass::Text; break;
        default: break;  // %n among them: never honoured
    }
    return s;
}

// Pads a piece to the conversion's width with blanks, on the left unless "-".
void append_padded(std::wstring& out, std::wstring_view piece, const Conversion& s) {
    size_t width = s.width > 0 ? static_cast<size_t>(s.width) : 0;
    bool left = s.flags.find('-') != std::string::npos;
    size_t pad = width > piece.size() ? width - piece.size() : 0;
    if (!left) out.append(pad, L' ');
    out.append(piece);
    if (left) out.append(pad, L' ');
}

// Runs the narrow C formatter on a conversion and a value of the type it
// was built for; its output is ASCII.
template <class T>
void append_c_format(std::wstring& out, const Conversion& s, const char* length, char conv, T value) {
    std::string c_format = "%" + s.flags;
    if (s.width >= 0) c_format += std::to_string(s.width);
    if (s.precision >= 0) c_format += "." + std::to_string(s.precision);
    c_format += length;
    c_format += conv;
    char small[128];
    int n = std::snprintf(small, sizeof small, c_format.c_str(), value);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof small) {
        out.append(small, small + n);
        return;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    n = std::snprintf(big.data(), big.size(), c_format.c_str(), value);
    if (n < 0) return;
    out.append(big.begin(), big.begin() + n);
}

void append_integer(std::wstring& out, const Conversion& s, const FormatArg& a) {
    if (s.conv == L'c') {
        uint64_t cp = a.kind == FormatArg::Kind::Signed ? static_cast<uint64_t>(a.i) : a.u;
        std::wstring ch;
        if (cp <= 0xFFFF) {
            ch.push_back(static_cast<wchar_t>(cp));
        } else if (cp <= 0x10FFFF) {
            cp -= 0x10000;
            ch.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            ch.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            ch.push_back(L'\xFFFD');
        }
        append_padded(out, ch, s);
        return;
    }
    bool as_signed = s.conv == L'd' || s.conv == L'i';
    Conversion plain = s;
    if (as_signed || s.conv == L'u') {
        // "#" has no meaning for decimal conversions (and is undefined there).
        std::string::size_type hash = plain.flags.find('#');
        if (hash != std::string::npos) plain.flags.erase(hash, 1);
    }
    if (as_signed) {
        if (a.kind == FormatArg::Kind::Signed)
            append_c_format(out, plain, "ll", 'd', static_cast<long long>(a.i));
        else
            append_c_format(out, plain, "ll", 'u', static_cast<unsigned long long>(a.u));
        return;
    }
    // %u, %x, %X, %o show the bits of the argument's own width.
    uint64_t v = a.u;
    if (a.kind == FormatArg::Kind::Signed) {
        v = static_cast<uint64_t>(a.i);
        if (a.bits < 64) v &= (uint64_t(1) << a.bits) - 1;
    }
    append_c_format(out, plain, "ll", static_cast<char>(s.conv), static_cast<unsigned long long>(v));
}

void append_text(std::wstring& out, const Conversion& s, std::wstring_view text) {
    if (s.precision >= 0 && text.size() > static_cast<size_t>(s.precision))
        text = text.substr(0, static_cast<size_t>(s.precision));
    append_padded(out, text, s);
}

bool matches(ConvClass cls, FormatArg::Kind kind) {
    switch (cls) {
        case ConvClass::Integer:
            return kind == FormatArg::Kind::Signed || kind == FormatArg::Kind::Unsigned;
        case ConvClass::Float: return kind == FormatArg::Kind::Float;
        case ConvClass::Text: return kind == FormatArg::Kind::Text;
        default: return false;
    }
}

}  // namespace

namespace fmt_detail {

std::wstring format_args(std::wstring_view format, const FormatArg* args, size_t count) {
    std::wstring out;
    size_t next_arg = 0;
    size_t pos = 0;
    while (pos < format.size() && out.size() < kFormatMaxChars) {
        size_t pct = format.find(L'%', pos);
        if (pct == std::wstring_view::npos) {
            out.append(format.substr(pos));
            break;
        }
        out.append(format.substr(pos, pct - pos));
        Conversion s = parse_conversion(format, pct);
        std::wstring_view written = format.substr(pct, s.end - pct);
        pos = s.end;
        if (s.cls == ConvClass::Percent) {
            out.push_back(L'%');
            continue;
        }
        const FormatArg* arg = next_arg < count ? &args[next_arg] : nullptr;
        if (s.conv != 0) ++next_arg;  // a lone "%" at the end takes nothing
        if (!arg || !matches(s.cls, arg->kind)) {
            out.append(written);
            continue;
        }
        switch (s.cls) {
            case ConvClass::Integer: append_integer(out, s, *arg); break;
            case ConvClass::Float:
                append_c_format(out, s, "", static_cast<char>(s.conv), arg->d);
                break;
            case ConvClass::Text: append_text(out, s, arg->text); break;
            default: break;
        }
    }
    if (out.size() > kFormatMaxChars) out.resize(kFormatMaxChars);
    return out;
}

}  // namespace fmt_detail

std::wstring format_conversions(std::wstring_view format) {
    std::wstring kinds;
    size_t pos = 0;
    while ((pos = format.find(L'%', pos)) != std::wstring_view::npos) {
        Conversion s = parse_conversion(format, pos);
        pos = s.end;
        if (s.conv == 0) break;  // a lone "%" at the end takes nothing
        switch (s.cls) {
            case ConvClass::Percent: break;
            case ConvClass::Integer: kinds += L'd'; break;
            case ConvClass::Float: kinds += L'f'; break;
            case ConvClass::Text: kinds += L's'; break;
            case ConvClass::Unsupported: kinds += L'?'; break;
        }
    }
    return kinds;
}
