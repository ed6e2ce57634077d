#include "ui/list_search.h"

#include <windows.h>
#include <emmintrin.h>

#include <algorithm>
#include <iterator>
#include <bit>
#include <climits>
#include <cstring>

#include "core/text.h"

// --- the search over whole texts ----------------------------------------------------

namespace {

// Writes the units as the folded form's bytes at p; returns the end.
char* put_folded(const wchar_t* units, std::size_t n, char* p) {
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned c = static_cast<unsigned>(units[i]);
        if (c < 0x80) {
            *p++ = static_cast<char>(c);
        } else if (c < 0x800) {
            *p++ = static_cast<char>(0xC0 | (c >> 6));
            *p++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *p++ = static_cast<char>(0xE0 | (c >> 12));
            *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return p;
}

}  // namespace

std::string fold_for_search(const std::wstring& text) {
    const std::wstring lower = to_lower(text);
    std::size_t bytes = 0;
    for (wchar_t c : lower) bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
    std::string out(bytes, '\0');
    put_folded(lower.data(), lower.size(), out.data());
    return out;
}

bool folded_contains(std::string_view text, std::string_view pattern) {
    const std::size_t m = pattern.size();
    const std::size_t n = text.size();
    if (m == 0) return true;
    if (m > n) return false;
    const char* t = text.data();
    const char* pat = pattern.data();
    const std::size_t last = n - m;  // the last possible start
    std::size_t i = 0;
    // Sixteen starts at a time: where the pattern's first and last bytes
    // both stand, the pattern is compared whole.
    const __m128i first = _mm_set1_epi8(pat[0]);
    const __m128i final = _mm_set1_epi8(pat[m - 1]);
    for (; i + 16 <= last + 1; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + m - 1));
        unsigned hits = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, final))));
        while (hits) {
            const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(hits));
            if (std::memcmp(t + at, pat, m) == 0) return true;
            hits &= hits - 1;
        }
    }
    for (; i <= last; ++i)
        if (t[i] == pat[0] && std::memcmp(t + i, pat, m) == 0) return true;
    return false;
}

FoldedText fold_utf8_text(std::string_view utf8, std::size_t start_limit, std::size_t piece_bytes) {
    FoldedText out;
    std::size_t len = std::min(utf8.find('\0'), utf8.size());
    if (len > static_cast<std::size_t>(INT_MAX)) return out;
    if (piece_bytes == 0) piece_bytes = 1;
    // Kept for the next text: no allocation per text.
    thread_local std::wstring piece;
    thread_local std::string folded;
    folded.clear();
    const char* bytes = utf8.data();
    // A piece ends after an ASCII byte with no lead byte among the six
    // bytes before its end: the decoder is then at rest there when it reads
    // the text whole too (it never takes an ASCII byte into a sequence),
    // and no sequence is cut short by the piece's end, which a decoder may
    // treat otherwise than one broken in the middle of a text.
    auto can_end_at = [&](std::size_t c) {
        if (c < len && static_cast<unsigned char>(bytes[c - 1]) >= 0x80) return false;
        for (std::size_t k = 1; k <= 6 && k <= c; ++k)
            if (static_cast<unsigned char>(bytes[c - k]) >= 0xC0) return false;
        return true;
    };
    std::size_t pos = 0;
    while (pos < len) {
        std::size_t end = std::min(pos + piece_bytes, len);
        if (end < len) {
            std::size_t back = end;
            while (back > pos && !can_end_at(back)) --back;
            if (back > pos) {
                end = back;
            } else {
                while (end < len && !can_end_at(end)) ++end;
            }
        }
        const int n = static_cast<int>(end - pos);
        const int units = MultiByteToWideChar(CP_UTF8, 0, bytes + pos, n, nullptr, 0);
        if (units > 0) {
            piece.resize(static_cast<std::size_t>(units));
            MultiByteToWideChar(CP_UTF8, 0, bytes + pos, n, piece.data(), units);
            if (out.start.size() <= start_limit)
                out.start.append(piece, 0, std::min(piece.size(), start_limit + 1 - out.start.size()));
            out.units += static_cast<std::size_t>(units);
            CharLowerBuffW(piece.data(), static_cast<DWORD>(units));
            const std::size_t at = folded.size();
            folded.resize(at + piece.size() * 3);
            folded.resize(static_cast<std::size_t>(put_folded(piece.data(), piece.size(), folded.data() + at) -
                                                   folded.data()));
        }
        pos = end;
    }
    out.start.resize(pair_safe_length(out.start, start_limit));
    out.folded.assign(folded);
    return out;
}

// --- the templates ------------------------------------------------------------------

namespace {

std::wstring template_search_text(const Snippet& s) { return to_lower(s.title + L" " + s.text + L" " + s.grp); }

}  // namespace

bool template_matches_search(const std::wstring& search_lower, const Snippet& snippet) {
    if (search_lower.empty()) return true;
    return template_search_text(snippet).find(search_lower) != std::wstring::npos;
}

// --- the incremental search -----------------------------------------------------------

void IncrementalSearch::set_text(const std::wstring& search) {
    lowered_ = to_lower(search);
    folded_ = fold_for_search(lowered_);
}

void IncrementalSearch::forget_matches() {
    matches_valid_ = false;
    matched_.clear();
    fresh_.clear();
    matched_search_.clear();
}

void IncrementalSearch::text_arrived(std::uint32_t index) { fresh_.push_back(index); }

std::vector<std::uint32_t> IncrementalSearch::match_entries(
    std::size_t count, const std::function<std::string_view(std::size_t)>& folded_of) {
    std::vector<std::uint32_t> found;
    if (empty()) {
        found.reserve(count);
        for (std::size_t i = 0; i < count; ++i) found.push_back(static_cast<std::uint32_t>(i));
        return found;
    }
    auto test = [&](std::size_t i) {
        if (folded_contains(folded_of(i), folded_)) found.push_back(static_cast<std::uint32_t>(i));
    };
    if (matches_valid_ && folded_.find(matched_search_) != std::string::npos) {
        std::vector<std::uint32_t> candidates;
        candidates.reserve(matched_.size() + fresh_.size());
        std::sort(fresh_.begin(), fresh_.end());
        std::merge(matched_.begin(), matched_.end(), fresh_.begin(), fresh_.end(), std::back_inserter(candidates));
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
        for (std::uint32_t i : candidates)
            if (i < count) test(i);
    } else {
        for (std::size_t i = 0; i < count; ++i) test(i);
    }
    matched_ = found;
    fresh_.clear();
    matched_search_ = folded_;
    matches_valid_ = true;
    return found;
}

void IncrementalSearch::forget_templates() {
    lowered_templates_.clear();
    templates_lowered_ = false;
}

bool IncrementalSearch::template_matches(const std::vector<Snippet>& templates, std::size_t index) {
    if (empty()) return true;
    if (!templates_lowered_) {
        lowered_templates_.clear();
        lowered_templates_.reserve(templates.size());
        for (const Snippet& s : templates) lowered_templates_.push_back(template_search_text(s));
        templates_lowered_ = true;
    }
    return index < lowered_templates_.size() && lowered_templates_[index].find(lowered_) != std::wstring::npos;
}

void IncrementalSearch::release() {
    forget_matches();
    std::vector<std::uint32_t>().swap(matched_);
    std::vector<std::uint32_t>().swap(fresh_);
    std::vector<std::wstring>().swap(lowered_templates_);
    templates_lowered_ = false;
}
