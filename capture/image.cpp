// PNG encoding and decoding through the imaging component, and scaled
// drawing bitmaps through GDI.
#include "capture/image.h"

#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "capture/dib.h"
#include "capture/limited_stream.h"
#include "core/handles.h"
#include "core/image_header.h"
#include "core/winutil.h"

bool is_png(const std::vector<std::uint8_t>& bytes) {
    static const std::uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    return bytes.size() >= 8 && std::memcmp(bytes.data(), kSignature, 8) == 0;
}

namespace winutil {

namespace {

constexpr std::uint64_t kMaxPngBytes = 0x10000000;  // 256 MiB of encoded output

raii::ComPtr<IWICImagingFactory> imaging_factory() {
    raii::ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.put_void())))
        factory.reset();
    return factory;
}

}  // namespace

namespace {

// Encodes width x height BGRA rows as PNG. rows(first, count, buffer) fills
// count rows from row first (top-down) into buffer, or returns a pointer to
// them when they lie in memory already.
// The output goes into a stream that takes at most limit bytes: once the
// PNG grows past it, the next write fails and the encoder stops there.
// rows_done, when given, receives the number of rows handed to the encoder.
template <class Rows>
bool encode_png(std::uint32_t width, std::uint32_t height, Rows rows, std::uint32_t batch, std::uint64_t limit,
                std::vector<std::uint8_t>& out, std::uint32_t* rows_done = nullptr) {
    out.clear();
    if (rows_done) *rows_done = 0;
    if (width == 0 || height == 0) return false;
    const std::uint64_t stride = static_cast<std::uint64_t>(width) * 4;
    if (stride * height > kMaxPixelBytes) return false;
    if (!ensure_com()) return false;

    raii::ComPtr<IWICImagingFactory> factory = imaging_factory();
    if (!factory) return false;
    raii::ComPtr<LimitedMemoryStream> memory(
        LimitedMemoryStream::create(static_cast<std::size_t>(std::min<std::uint64_t>(limit, kMaxPngBytes))));
    if (!memory) return false;
    raii::ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.put())) || FAILED(stream->InitializeFromIStream(memory.get())))
        return false;
    raii::ComPtr<IWICBitmapEncoder> encoder;
    if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) ||
        FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)))
        return false;
    raii::ComPtr<IWICBitmapFrameEncode> frame;
    raii::ComPtr<IPropertyBag2> options;
    if (FAILED(encoder->CreateNewFrame(frame.put(), options.put())) || FAILED(frame->Initialize(options.get())) ||
        FAILED(frame->SetSize(width, height)))
        return false;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat32bppBGRA) return false;

    // The rows go to the frame in batches, so a bitmap never needs a second
    // full-size copy.
    std::vector<std::uint8_t> buffer;
    for (std::uint32_t first = 0; first < height; first += batch) {
        const std::uint32_t count = std::min(batch, height - first);
        const std::uint8_t* block = rows(first, count, buffer);
        if (!block) return false;
        const UINT bytes = static_cast<UINT>(stride * count);
        if (FAILED(frame->WritePixels(count, static_cast<UINT>(stride), bytes, const_cast<BYTE*>(block))) ||
            memory->overflowed())
            return false;
        if (rows_done) *rows_done = first + count;
    }
    if (FAILED(frame->Commit()) || FAILED(encoder->Commit()) || memory->overflowed()) return false;
    out = memory->take_bytes();
    return !out.empty();
}

}  // namespace

bool encode_bgra_png(const std::uint8_t* pixels, std::uint32_t width, std::uint32_t height,
                     std::vector<std::uint8_t>& out) {
    out.clear();
    if (!pixels) return false;
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    return encode_png(
        width, height,
        [&](std::uint32_t first, std::uint32_t, std::vector<std::uint8_t>&) { return pixels + first * stride; },
        height, kMaxPngBytes, out);
}

bool dib_to_png(const std::vector<std::uint8_t>& dib, std::vector<std::uint8_t>& out) {
    return dib_to_png_within(dib, kMaxPngBytes, out);
}

bool dib_to_png_within(const std::vector<std::uint8_t>& dib, std::uint64_t limit, std::vector<std::uint8_t>& out,
                       std::uint32_t* rows_encoded) {
    out.clear();
    if (rows_encoded) *rows_encoded = 0;
    const DibRowReader reader(dib);
    if (!reader.ok()) return false;
    const std::size_t stride = static_cast<std::size_t>(reader.width()) * 4;
    // About 1 MiB of converted rows at a time.
    const std::uint32_t batch = static_cast<std::uint32_t>(std::max<std::size_t>(1, (1u << 20) / stride));
    auto rows = [&](std::uint32_t first, std::uint32_t count, std::vector<std::uint8_t>& buffer) -> const std::uint8_t* {
        try {
            buffer.resize(stride * count);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        for (std::uint32_t i = 0; i < count; ++i) reader.read_row(first + i, buffer.data() + i * stride);
        return buffer.data();
    };
    return encode_png(reader.width(), reader.height(), rows, batch, limit, out, rows_encoded);
}

bool png_to_dib(const std::vector<std::uint8_t>& png, std::vector<std::uint8_t>& out) {
    out.clear();
    if (!is_png(png) || !ensure_com()) return false;

    raii::GlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, png.size()));
    if (!block) return false;
    {
        raii::GlobalLocked<std::uint8_t> lock(block.get());
        if (!lock.ok()) return false;
        std::memcpy(lock.get(), png.data(), png.size());
    }
    raii::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(block.get(), TRUE, stream.put()))) return false;
    block.release();  // freed with the stream

    raii::ComPtr<IWICImagingFactory> factory = imaging_factory();
    if (!factory) return false;
    raii::ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                decoder.put())))
        return false;
    raii::ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.put()))) return false;
    raii::ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeCustom)))
        return false;
    UINT width = 0, height = 0;
    if (FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0) return false;
    const std::uint64_t stride = static_cast<std::uint64_t>(width) * 4;
    if (stride * height > kMaxPixelBytes) return false;

    std::vector<std::uint8_t> pixels;
    try {
        pixels.resize(static_cast<std::size_t>(stride * height));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (FAILED(converter->CopyPixels(nullptr, static_cast<UINT>(stride), static_cast<UINT>(pixels.size()),
                                     pixels.data())))
        return false;
    out = bottom_up_dib_from_bgra(pixels.data(), width, height);
    return !out.empty();
}

SIZE scaled_image_size(int width, int height, int max_width, int max_height, bool always_scale) {
    const std::int64_t w = width < 1 ? 1 : width;
    const std::int64_t h = height < 1 ? 1 : height;
    if (!always_scale && w <= max_width && h <= max_height) return {static_cast<LONG>(w), static_cast<LONG>(h)};
    if (max_width <= 0 || max_height <= 0) return {static_cast<LONG>(w), static_cast<LONG>(h)};
    std::int64_t tw, th;
    // The smaller ratio decides: max_width / w against max_height / h, compared exactly.
    if (static_cast<std::int64_t>(max_width) * h <= static_cast<std::int64_t>(max_height) * w) {
        tw = max_width;
        th = h * max_width / w;
    } else {
        th = max_height;
        tw = w * max_height / h;
    }
    return {static_cast<LONG>(tw < 1 ? 1 : tw), static_cast<LONG>(th < 1 ? 1 : th)};
}

HBITMAP dib_to_bitmap(const std::vector<std::uint8_t>& dib, int max_width, int max_height, bool always_scale) {
    DibLayout l;
    if (!read_dib_layout(dib, l)) return nullptr;

    // GDI gets a copy of the header, masks and the counted colour table only,
    // so it never reads more of the table than the checks above covered.
    const std::size_t table_bytes = 4u * static_cast<std::size_t>(l.table_entries);
    std::vector<std::uint8_t> info;
    if (l.header_size == 12 || l.header_size == 64) {
        // The core headers are handed over as the 40-byte header they
        // amount to, with a table of four-byte entries.
        info.assign(sizeof(BITMAPINFOHEADER) + table_bytes, 0);
        auto* h = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
        h->biSize = sizeof(BITMAPINFOHEADER);
        h->biWidth = l.width;
        h->biHeight = l.height;
        h->biPlanes = 1;
        h->biBitCount = l.bits;
        h->biCompression = BI_RGB;
        for (std::uint32_t i = 0; i < l.table_entries; ++i)
            std::memcpy(info.data() + sizeof(BITMAPINFOHEADER) + 4 * i,
                        dib.data() + l.table_offset + l.table_entry_bytes * i, 3);
    } else {
        info.resize(l.table_offset + table_bytes);
        std::memcpy(info.data(), dib.data(), l.table_offset);
        if (table_bytes) std::memcpy(info.data() + l.table_offset, dib.data() + l.table_offset, table_bytes);
    }
    reinterpret_cast<BITMAPINFOHEADER*>(info.data())->biClrUsed = l.table_entries;
    // The rows are all there whatever the header's image size says.
    reinterpret_cast<BITMAPINFOHEADER*>(info.data())->biSizeImage = static_cast<DWORD>(l.pixel_bytes);
    if (l.header_size == sizeof(BITMAPV5HEADER)) {
        // A colour profile would be read from beyond the header: not kept.
        auto* v5 = reinterpret_cast<BITMAPV5HEADER*>(info.data());
        constexpr DWORD kProfileLinked = 0x4C494E4B;    // 'LINK'
        constexpr DWORD kProfileEmbedded = 0x4D424544;  // 'MBED'
        constexpr DWORD kStandardRgb = 0x73524742;      // 'sRGB'
        if (v5->bV5CSType == kProfileLinked || v5->bV5CSType == kProfileEmbedded) v5->bV5CSType = kStandardRgb;
        v5->bV5ProfileData = 0;
        v5->bV5ProfileSize = 0;
    }

    raii::WindowDC screen(nullptr);
    void* source_bits = nullptr;
    raii::Bitmap source(CreateDIBSection(screen.get(), reinterpret_cast<const BITMAPINFO*>(info.data()),
                                         DIB_RGB_COLORS, &source_bits, nullptr, 0));
    if (!source || !source_bits) return nullptr;
    std::memcpy(source_bits, dib.data() + l.pixel_offset, static_cast<std::size_t>(l.pixel_bytes));
    GdiFlush();

    const SIZE target = scaled_image_size(l.width, static_cast<int>(l.rows), max_width, max_height, always_scale);
    BITMAPINFOHEADER out_header{};
    out_header.biSize = sizeof out_header;
    out_header.biWidth = target.cx;
    out_header.biHeight = target.cy;
    out_header.biPlanes = 1;
    out_header.biBitCount = 32;
    out_header.biCompression = BI_RGB;
    void* target_bits = nullptr;
    raii::Bitmap result(CreateDIBSection(screen.get(), reinterpret_cast<const BITMAPINFO*>(&out_header),
                                         DIB_RGB_COLORS, &target_bits, nullptr, 0));
    if (!result || !target_bits) return nullptr;
    {
        raii::MemoryDC from(CreateCompatibleDC(screen.get()));
        raii::MemoryDC to(CreateCompatibleDC(screen.get()));
        if (!from || !to) return nullptr;
        raii::SelectGuard from_sel(from.get(), source.get());
        raii::SelectGuard to_sel(to.get(), result.get());
        if (!from_sel.ok() || !to_sel.ok()) return nullptr;
        SetStretchBltMode(to.get(), HALFTONE);
        SetBrushOrgEx(to.get(), 0, 0, nullptr);
        if (!StretchBlt(to.get(), 0, 0, target.cx, target.cy, from.get(), 0, 0, l.width, static_cast<int>(l.rows),
                        SRCCOPY))
            return nullptr;
        GdiFlush();
    }
    auto* px = static_cast<std::uint8_t*>(target_bits);
    const std::size_t count = static_cast<std::size_t>(target.cx) * static_cast<std::size_t>(target.cy);
    for (std::size_t i = 0; i < count; ++i) px[4 * i + 3] = 255;
    return result.release();
}

HBITMAP image_thumbnail(const std::vector<std::uint8_t>& image, int max_width, int max_height, bool always_scale) {
    if (is_png(image)) {
        std::vector<std::uint8_t> dib;
        if (!png_to_dib(image, dib)) return nullptr;
        return dib_to_bitmap(dib, max_width, max_height, always_scale);
    }
    return dib_to_bitmap(image, max_width, max_height, always_scale);
}

bool prepare_image_for_storage(const std::vector<std::uint8_t>& dib, std::size_t limit,
                               std::vector<std::uint8_t>& out) {
    out.clear();
    // Only what a backup of the history can carry back (the import takes
    // the same bytes).
    if (dib.empty() || !image_bytes_keepable(dib)) return false;
    if (dib.size() <= limit) {
        out = dib;
        return true;
    }
    if (is_png(dib)) return false;
    std::vector<std::uint8_t> png;
    if (!dib_to_png_within(dib, limit, png) || png.size() > limit) return false;
    out = std::move(png);
    return true;
}

}  // namespace winutil
