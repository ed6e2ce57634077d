// Fetching and reading link titles.
#include "capture/link_title.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "capture/page_charset.h"
#include "capture/posted_text.h"
#include "core/http_get.h"
#include "core/text.h"
#include "core/web_url.h"

namespace {

constexpr char kHexUpper[] = "0123456789ABCDEF";

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string ascii_lower(std::string s) {
    for (char& c : s) c = ascii_lower(c);
    return s;
}

bool is_title_space(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool is_high_surrogate(std::uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(std::uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Value of the four characters at i as hexadecimal, 0 when any is not a digit.
std::uint32_t read_hex4(const std::string& s, size_t i) {
    std::uint32_t v = 0;
    for (size_t k = 0; k < 4; ++k) {
        const int d = hex_value(s[i + k]);
        if (d < 0) return 0;
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    return v;
}

bool ends_with_host(const std::wstring& host, const std::wstring& main) {
    return !main.empty() && (host == main || ends_with(host, L"." + main));
}

}  // namespace

// ---------------------------------------------------------------- the thread

namespace {

// The fetches waiting and the workers running them: at most
// kMaxLinkFetches threads, each taking the next waiting fetch until none is
// left. Never destroyed, so that a worker still running at exit finds it.
class FetchPool {
public:
    struct Job {
        HWND main;
        std::int64_t id;
        std::wstring text;
        DWORD deadline_ms;
    };

    bool add(Job job) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (waiting_.size() >= kMaxWaitingLinkFetches) return false;
        waiting_.push_back(std::move(job));
        if (workers_ < kMaxLinkFetches) {
            try {
                std::thread([this] { work(); }).detach();
                ++workers_;
            } catch (const std::system_error&) {
                // A worker already running takes it; with none it waits for
                // the next fetch's worker.
            }
        }
        return true;
    }

private:
    void work() {
        for (;;) {
            Job job;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (waiting_.empty()) {
                    --workers_;
                    return;
                }
                job = std::move(waiting_.front());
                waiting_.pop_front();
            }
            const std::wstring title = fetch_link_title(job.text, default_video_services(), job.deadline_ms);
            if (!title.empty() && IsWindow(job.main))
                post_text_message(job.main, kMsgLinkTitle, static_cast<WPARAM>(job.id), title);
        }
    }

    std::mutex mutex_;
    std::deque<Job> waiting_;
    int workers_ = 0;
};

FetchPool& fetch_pool() {
    static FetchPool* const pool = new FetchPool;
    return *pool;
}

}  // namespace

bool start_link_title_fetch(HWND main, std::int64_t id, const std::wstring& text, DWORD deadline_ms) {
    return fetch_pool().add(FetchPool::Job{main, id, text, deadline_ms});
}

// ---------------------------------------------------------------- fetching

std::wstring fetch_link_title(const std::wstring& text) { return fetch_link_title(text, default_video_services()); }

std::wstring fetch_link_title(const std::wstring& text, const VideoServices& services, DWORD deadline_ms) {
    if (!is_web_url(text)) return {};
    const ULONGLONG start = GetTickCount64();
    // What is left of the fetch's time; 0 when it is over.
    auto remaining = [&]() -> DWORD {
        const ULONGLONG spent = GetTickCount64() - start;
        return spent >= deadline_ms ? 0 : static_cast<DWORD>(deadline_ms - spent);
    };
    const std::wstring address = trim(text);
    const std::wstring endpoint = oembed_endpoint(address, services);
    HttpReply reply;
    if (!endpoint.empty() && http_get(endpoint + percent_encode(address), reply, deadline_ms)) {
        std::wstring title = json_title(reply.body);
        if (!title.empty()) return title;
    }
    const DWORD left = remaining();
    if (left == 0 || !http_get(address, reply, left)) return {};
    // Reading the page counts against the same time. A request can end a
    // little past it with the page in hand (closing it drains what the
    // server still sends): that page is read within a short bound of its own.
    constexpr ULONGLONG kParseGraceMs = 500;
    return html_title(reply.body, reply.charset, std::max(start + deadline_ms, GetTickCount64() + kParseGraceMs));
}

std::wstring oembed_endpoint(const std::wstring& address) { return oembed_endpoint(address, default_video_services()); }

std::wstring oembed_endpoint(const std::wstring& address, const VideoServices& services) {
    if (!is_web_url(address)) return {};
    const std::wstring host = url_host(address);
    if (host.empty()) return {};
    if ((!services.first_short_host.empty() && host == services.first_short_host) ||
        ends_with_host(host, services.first_main_host))
        return services.first_oembed;
    if (ends_with_host(host, services.second_host)) return services.second_oembed;
    return {};
}

std::wstring url_host(const std::wstring& address) {
    const size_t scheme = address.find(L"://");
    if (scheme == std::wstring::npos) return {};
    const size_t start = scheme + 3;
    const size_t end = address.find_first_of(L"/?#", start);
    std::wstring host = address.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    const size_t at = host.rfind(L'@');
    if (at != std::wstring::npos) host.erase(0, at + 1);
    const size_t colon = host.find(L':');
    if (colon != std::wstring::npos) host.resize(colon);
    for (wchar_t& c : host)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
    return host;
}

std::wstring percent_encode(const std::wstring& text) {
    const std::string bytes = to_utf8(text);
    std::wstring out;
    out.reserve(bytes.size() * 3);
    for (unsigned char b : bytes) {
        const bool keep = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
                          b == '.' || b == '_' || b == '~';
        if (keep) {
            out += static_cast<wchar_t>(b);
        } else {
            out += L'%';
            out += static_cast<wchar_t>(kHexUpper[b >> 4]);
            out += static_cast<wchar_t>(kHexUpper[b & 15]);
        }
    }
    return out;
}

// ---------------------------------------------------------------- reading titles

std::wstring json_title(const std::string& reply) {
    const size_t key = reply.find("\"title\"");
    if (key == std::string::npos) return {};
    const size_t colon = reply.find(':', key + 7);
    if (colon == std::string::npos) return {};
    const size_t open = reply.find('"', colon + 1);
    if (open == std::string::npos) return {};

    std::string utf8;
    size_t i = open + 1;
    for (;;) {
        if (i >= reply.size()) return {};  // no closing quote
        const char c = reply[i];
        if (c == '"') break;
        if (c != '\\') {
            utf8 += c;
            ++i;
            continue;
        }
        if (i + 1 >= reply.size()) return {};
        const char e = reply[i + 1];
        i += 2;
        switch (e) {
            case '"': utf8 += '"'; continue;
            case '/': utf8 += '/'; continue;
            case '\\': utf8 += '\\'; continue;
            case 'b': utf8 += '\b'; continue;
            case 'f': utf8 += '\f'; continue;
            case 'n': utf8 += '\n'; continue;
            case 'r': utf8 += '\r'; continue;
            case 't': utf8 += '\t'; continue;
            case 'u': break;
            default: return {};
        }
        if (i + 4 > reply.size()) return {};  // an incomplete \u
        std::uint32_t code = read_hex4(reply, i);
        i += 4;
        if (code == 0) continue;
        if (is_high_surrogate(code)) {
            if (i + 6 <= reply.size() && reply[i] == '\\' && reply[i + 1] == 'u') {
                const std::uint32_t low = read_hex4(reply, i + 2);
                if (is_low_surrogate(low)) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    i += 6;
                } else {
                    code = 0xFFFD;  // a high surrogate without its pair
                }
            } else {
                code = 0xFFFD;
            }
        } else if (is_low_surrogate(code)) {
            code = 0xFFFD;
        }
        append_utf8(utf8, code);
    }
    return normalize_title(from_utf8(utf8));
}

namespace {

// True once the clock has passed the tick (GetTickCount64); never for 0.
bool past(ULONGLONG deadline_tick) { return deadline_tick != 0 && GetTickCount64() >= deadline_tick; }

// The code point a reference names ("amp", "#x41", "#65"; name in lower
// case), 0 for none.
std::uint32_t entity_code(const std::string& name) {
    if (name == "amp") return '&';
    if (name == "lt") return '<';
    if (name == "gt") return '>';
    if (name == "quot") return '"';
    if (name == "apos") return '\'';
    if (name == "nbsp") return 0xA0;
    if (name.size() < 2 || name[0] != '#') return 0;
    const bool hex = name[1] == 'x';
    const size_t first = hex ? 2 : 1;
    if (name.size() <= first) return 0;
    std::uint32_t value = 0;
    for (size_t k = first; k < name.size(); ++k) {
        const int d = hex ? hex_value(name[k]) : (name[k] >= '0' && name[k] <= '9' ? name[k] - '0' : -1);
        if (d < 0) return 0;
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
        if (value > 0x10FFFF) return 0;
    }
    if (value < 1 || is_high_surrogate(value) || is_low_surrogate(value)) return 0;
    return value;
}

// How far after its "&" a reference's ";" may lie.
constexpr size_t kLongestReference = 10;

// decode_html_entities in one pass: each "&" looks at most
// kLongestReference characters ahead for its ";". False, with out
// incomplete, once the clock passes deadline_tick.
bool decode_entities(const std::string& text, std::string& out, ULONGLONG deadline_tick) {
    out.clear();
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if ((i & 0xFFFF) == 0 && past(deadline_tick)) return false;
        if (text[i] != '&') {
            out += text[i++];
            continue;
        }
        const size_t window_end = std::min(text.size(), i + kLongestReference + 1);
        size_t semi = i + 1;
        while (semi < window_end && text[semi] != ';') ++semi;
        std::uint32_t code = 0;
        if (semi < window_end) code = entity_code(ascii_lower(text.substr(i + 1, semi - i - 1)));
        if (code != 0) {
            append_utf8(out, code);
            i = semi + 1;
        } else {
            out += text[i++];
        }
    }
    return true;
}

}  // namespace

std::string decode_html_entities(const std::string& text) {
    std::string out;
    decode_entities(text, out, 0);
    return out;
}

std::wstring html_title(const std::string& page, const std::string& header_charset) {
    return html_title(page, header_charset, 0);
}

std::wstring html_title(const std::string& page, const std::string& header_charset, ULONGLONG deadline_tick) {
    if (page.empty() || past(deadline_tick)) return {};
    // The reply's header first, then the page's own declaration, else UTF-8.
    UINT code_page = code_page_of_charset(header_charset);
    if (code_page == 0) code_page = code_page_of_charset(meta_charset(page));
    const std::string lower = ascii_lower(page);
    std::string value;

    // A quote found nowhere after one tag is found after no later one either.
    bool quote_missing[2] = {false, false};
    size_t pos = 0;
    for (;;) {
        if (past(deadline_tick)) return {};
        const size_t tag = lower.find("<meta", pos);
        if (tag == std::string::npos) break;
        const size_t close = lower.find('>', tag);
        if (close == std::string::npos) break;
        const std::string_view text(lower.data() + tag, close - tag);
        if (text.find("og:title") != std::string_view::npos || text.find("twitter:title") != std::string_view::npos) {
            const size_t attr = text.find("content=");
            if (attr != std::string_view::npos && attr + 8 < text.size()) {
                const char quote = text[attr + 8];
                bool* missing = quote == '"' ? &quote_missing[0] : quote == '\'' ? &quote_missing[1] : nullptr;
                if (missing && !*missing) {
                    const size_t start = tag + attr + 9;
                    const size_t end = page.find(quote, start);
                    if (end != std::string::npos) value = page.substr(start, end - start);
                    else *missing = true;
                }
            }
            if (!value.empty()) break;
        }
        pos = close + 1;
    }

    if (value.empty()) {
        const size_t tag = lower.find("<title");
        if (tag == std::string::npos) return {};
        const size_t open = lower.find('>', tag);
        if (open == std::string::npos) return {};
        const size_t end = lower.find("</title", open + 1);
        if (end == std::string::npos) return {};
        value = page.substr(open + 1, end - open - 1);
    }
    std::string decoded;
    if (!decode_entities(code_page_to_utf8(value, code_page), decoded, deadline_tick)) return {};
    std::wstring title = normalize_title(from_utf8(decoded));
    if (past(deadline_tick)) return {};
    return title;
}

bool is_hidden_title_char(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || (c >= 0x200B && c <= 0x200F) ||
           c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) ||
           c == 0xFEFF;
}

std::wstring normalize_title(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    bool pending_space = false;
    for (wchar_t c : text) {
        if (is_title_space(c)) {
            pending_space = !out.empty();
            continue;
        }
        if (is_hidden_title_char(c)) continue;
        if (pending_space) out += L' ';
        pending_space = false;
        out += c;
    }
    if (out.size() > kLinkTitleMax) {
        size_t cut = kLinkTitleMax;
        if (is_high_surrogate(out[cut - 1])) --cut;  // keep a pair whole
        out.resize(cut);
        out += L'\u2026';
    }
    return out;
}

std::wstring strip_window_title_suffix(const std::wstring& title) {
    // Never destroyed, and built before any thread can ask for it.
    static const wchar_t* const kSuffixes[] = {
        L" - google chrome",
        L" \u2014 \u044f\u043d\u0434\u0435\u043a\u0441",
        L" \u2014 youtube",
        L" - youtube",
        L" | rutube",
        L" | \u0440\u0443\u0442\u0443\u0431",
        L" - \u0441\u043c\u043e\u0442\u0440\u0435\u0442\u044c \u0432\u0438\u0434\u0435\u043e",
        L": \u0432\u043e\u0441\u043f\u0440\u043e\u0438\u0437\u0432\u043e\u0434\u0438\u0442\u0441\u044f "
        L"\u0430\u0443\u0434\u0438\u043e",
    };
    auto drop_trailing_space = [](std::wstring s) {
        while (!s.empty() && is_title_space(s.back())) s.pop_back();
        return s;
    };
    std::wstring s = drop_trailing_space(title);
    if (s.empty()) return s;
    std::wstring lower = s;
    for (wchar_t& c : lower) {
        if ((c >= L'A' && c <= L'Z') || (c >= 0x0410 && c <= 0x042F)) c = static_cast<wchar_t>(c + 32);
    }
    size_t cut = std::wstring::npos;
    for (const wchar_t* suffix : kSuffixes) {
        const size_t at = lower.find(suffix);
        if (at < cut) cut = at;
    }
    if (cut != std::wstring::npos) s.resize(cut);
    return drop_trailing_space(s);
}
