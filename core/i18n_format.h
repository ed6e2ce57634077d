// printf-style formatting of wide texts that come from language files.
//
// The format text is data, not code: every conversion is checked against
// the argument it would take. Supported are %s (a wide string), %d %i %u %x
// %X %o %c (any integer), %f %F %e %E %g %G %a %A (a floating-point number)
// and %%, each with the flags "-+ #0", a width and a precision; length
// modifiers (h, hh, l, ll, L, z, j, t, I32, I64) are accepted and ignored, as
// the argument's own type decides. A conversion whose argument is missing or
// of another kind, and every other conversion (%n, %p, %*d ...), is copied
// into the result as written. Each conversion, copied or not, takes the next
// argument. The result is cut after kFormatMaxChars characters.
//
// Arguments are checked when the call is compiled: only integers, floating-
// point numbers and wide strings (const wchar_t*, std::wstring,
// std::wstring_view) can be passed.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

inline constexpr size_t kFormatMaxChars = 4095;

namespace fmt_detail {

struct FormatArg {
    enum class Kind { Signed, Unsigned, Float, Text };

    template <std::integral T>
    FormatArg(T v) noexcept  // NOLINT: implicit by design
        : kind(std::is_signed_v<T> ? Kind::Signed : Kind::Unsigned),
          bits(static_cast<unsigned>(sizeof(T) * 8)) {
        if constexpr (std::is_signed_v<T>)
            i = static_cast<int64_t>(v);
        else
            u = static_cast<uint64_t>(v);
    }
    template <std::floating_point T>
    FormatArg(T v) noexcept : kind(Kind::Float), d(static_cast<double>(v)) {}
    FormatArg(const wchar_t* s) noexcept
        : kind(Kind::Text), text(s ? std::wstring_view(s) : std::wstring_view(L"(null)")) {}
    FormatArg(const std::wstring& s) noexcept : kind(Kind::Text), text(s) {}
    FormatArg(std::wstring_view s) noexcept : kind(Kind::Text), text(s) {}
    // Narrow text has no meaning here: convert it to UTF-16 first.
    FormatArg(const char*) = delete;
    FormatArg(const std::string&) = delete;

    Kind kind;
    unsigned bits = 64;
    int64_t i = 0;
    uint64_t u = 0;
    double d = 0.0;
    std::wstring_view text;
};

std::wstring format_args(std::wstring_view format, const FormatArg* args, size_t count);

}  // namespace fmt_detail

// The format text with its conversions filled from the arguments.
template <class... Args>
std::wstring safe_format(std::wstring_view format, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return fmt_detail::format_args(format, nullptr, 0);
    } else {
        const fmt_detail::FormatArg list[] = {fmt_detail::FormatArg(args)...};
        return fmt_detail::format_args(format, list, sizeof...(Args));
    }
}

// One letter per conversion of the format text, in order: "s" a wide
// string, "d" an integer, "f" a floating-point number, "?" a conversion that
// is never filled (%n, %p, %*d ...). "%%" gives nothing. Two format texts
// with the same letters take the same arguments.
std::wstring format_conversions(std::wstring_view format);
