// An in-memory IStream that takes at most a given number of bytes. A write
// that would pass the limit fails (STG_E_MEDIUMFULL) and writes nothing, so
// an encoder writing into it stops as soon as its output grows too large.
#pragma once

#include <objidl.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace winutil {

class LimitedMemoryStream final : public IStream {
public:
    // The new stream holds one reference (give it to a raii::ComPtr).
    static LimitedMemoryStream* create(std::size_t limit);

    // What was written so far, and whether a write was refused.
    const std::vector<std::uint8_t>& bytes() const { return data_; }
    std::vector<std::uint8_t> take_bytes() { return std::move(data_); }
    bool overflowed() const { return overflowed_; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // ISequentialStream
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override;
    HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG size, ULONG* written) override;
    // IStream
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Revert() override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** out) override;

private:
    explicit LimitedMemoryStream(std::size_t limit) : limit_(limit) {}
    ~LimitedMemoryStream() = default;
    // Grows the data to end bytes; false (nothing changed) past the limit.
    bool grow_to(std::uint64_t end);

    LONG refs_ = 1;
    std::size_t limit_;
    std::vector<std::uint8_t> data_;
    std::uint64_t position_ = 0;
    bool overflowed_ = false;
};

}  // namespace winutil
