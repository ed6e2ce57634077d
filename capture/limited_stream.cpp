// The size-limited memory stream the PNG encoder writes into.
#include "capture/limited_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace winutil {

LimitedMemoryStream* LimitedMemoryStream::create(std::size_t limit) {
    return new (std::nothrow) LimitedMemoryStream(limit);
}

HRESULT LimitedMemoryStream::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
        *out = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG LimitedMemoryStream::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG LimitedMemoryStream::Release() {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

bool LimitedMemoryStream::grow_to(std::uint64_t end) {
    if (end <= data_.size()) return true;
    if (end > limit_) {
        overflowed_ = true;
        return false;
    }
    try {
        // Doubling keeps the number of reallocations small.
        if (end > data_.capacity())
            data_.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(limit_, std::max<std::uint64_t>(end, 2 * data_.capacity()))));
        data_.resize(static_cast<std::size_t>(end));
    } catch (const std::bad_alloc&) {
        overflowed_ = true;
        return false;
    }
    return true;
}

HRESULT LimitedMemoryStream::Read(void* buffer, ULONG size, ULONG* read) {
    if (read) *read = 0;
    if (!buffer && size) return STG_E_INVALIDPOINTER;
    const std::uint64_t available = position_ < data_.size() ? data_.size() - position_ : 0;
    const ULONG n = static_cast<ULONG>(std::min<std::uint64_t>(size, available));
    if (n) std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    if (read) *read = n;
    return n == size ? S_OK : S_FALSE;
}

HRESULT LimitedMemoryStream::Write(const void* buffer, ULONG size, ULONG* written) {
    if (written) *written = 0;
    if (!buffer && size) return STG_E_INVALIDPOINTER;
    if (!grow_to(position_ + size)) return STG_E_MEDIUMFULL;
    if (size) std::memcpy(data_.data() + position_, buffer, size);
    position_ += size;
    if (written) *written = size;
    return S_OK;
}

HRESULT LimitedMemoryStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
    std::int64_t base = 0;
    switch (origin) {
        case STREAM_SEEK_SET: base = 0; break;
        case STREAM_SEEK_CUR: base = static_cast<std::int64_t>(position_); break;
        case STREAM_SEEK_END: base = static_cast<std::int64_t>(data_.size()); break;
        default: return STG_E_INVALIDFUNCTION;
    }
    const std::int64_t target = base + move.QuadPart;
    if (target < 0) return STG_E_INVALIDFUNCTION;
    position_ = static_cast<std::uint64_t>(target);
    if (position) position->QuadPart = position_;
    return S_OK;
}

HRESULT LimitedMemoryStream::SetSize(ULARGE_INTEGER size) {
    if (size.QuadPart <= data_.size()) {
        data_.resize(static_cast<std::size_t>(size.QuadPart));
        return S_OK;
    }
    return grow_to(size.QuadPart) ? S_OK : STG_E_MEDIUMFULL;
}

HRESULT LimitedMemoryStream::CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                    ULARGE_INTEGER* written) {
    if (!target) return STG_E_INVALIDPOINTER;
    const std::uint64_t available = position_ < data_.size() ? data_.size() - position_ : 0;
    const std::uint64_t n = std::min<std::uint64_t>(size.QuadPart, available);
    std::uint64_t done = 0;
    HRESULT hr = S_OK;
    while (done < n) {
        const ULONG chunk = static_cast<ULONG>(std::min<std::uint64_t>(n - done, 1u << 20));
        ULONG put = 0;
        hr = target->Write(data_.data() + position_ + done, chunk, &put);
        done += put;
        if (FAILED(hr) || put != chunk) break;
    }
    position_ += done;
    if (read) read->QuadPart = done;
    if (written) written->QuadPart = done;
    return FAILED(hr) ? hr : S_OK;
}

HRESULT LimitedMemoryStream::Commit(DWORD) { return S_OK; }
HRESULT LimitedMemoryStream::Revert() { return S_OK; }
HRESULT LimitedMemoryStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }
HRESULT LimitedMemoryStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }

HRESULT LimitedMemoryStream::Stat(STATSTG* stat, DWORD) {
    if (!stat) return STG_E_INVALIDPOINTER;
    *stat = STATSTG{};
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = data_.size();
    return S_OK;
}

HRESULT LimitedMemoryStream::Clone(IStream** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

}  // namespace winutil
