// Image bytes in their two encodings, a device-independent bitmap as the
// clipboard gives it and a PNG file image, told apart by the PNG signature;
// conversion between them through the Windows Imaging Component, scaled
// bitmaps for drawing, and the size rule for stored images.
//
// Interface thread only (the encoders use COM apartment-threaded on the
// calling thread). Every function reports failure by false, null or an
// empty output and leaves no handle or COM object behind.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// Largest image the history keeps: 2 MiB.
inline constexpr std::size_t kStoredImageLimit = 2097152;

// True for at least 8 bytes starting with the PNG signature.
bool is_png(const std::vector<std::uint8_t>& bytes);

namespace winutil {

// Encodes a bitmap of 1, 4, 8, 24 or 32 bits per pixel (dib_to_bgra) as a
// 32-bit BGRA PNG, every pixel opaque. True with a non-empty out.
bool dib_to_png(const std::vector<std::uint8_t>& dib, std::vector<std::uint8_t>& out);

// The same, stopping as soon as the PNG grows past limit bytes (false with
// an empty out then). rows_encoded, when given, receives how many rows the
// encoder was given before it finished or stopped.
bool dib_to_png_within(const std::vector<std::uint8_t>& dib, std::uint64_t limit, std::vector<std::uint8_t>& out,
                       std::uint32_t* rows_encoded = nullptr);

// The encoding step alone: width x height top-down BGRA pixels (stride
// width x 4, alpha kept as given) to PNG bytes through the imaging component.
bool encode_bgra_png(const std::uint8_t* pixels, std::uint32_t width, std::uint32_t height,
                     std::vector<std::uint8_t>& out);

// Decodes a PNG into the program's own bitmap form: a 40-byte header,
// 32 bits, bottom-up rows, every alpha 255. False for bytes that are not a
// PNG, do not decode, or have more than 256 MiB of pixels.
bool png_to_dib(const std::vector<std::uint8_t>& png, std::vector<std::uint8_t>& out);

// A new 32-bit bottom-up bitmap (the caller deletes it) of the bitmap bytes,
// HALFTONE-scaled to fit max_width x max_height when larger, or always when
// always_scale is set (then it may grow); the sides keep their ratio and are
// at least 1. Null for bytes that cannot be read safely.
HBITMAP dib_to_bitmap(const std::vector<std::uint8_t>& dib, int max_width, int max_height, bool always_scale);

// The same for PNG or bitmap bytes.
HBITMAP image_thumbnail(const std::vector<std::uint8_t>& image, int max_width, int max_height, bool always_scale);

// The bytes to store for a captured bitmap: the bitmap itself when it has at
// most limit bytes, else its PNG when that has at most limit bytes (the
// encoding stops as soon as its output passes the limit). False with an
// empty out when neither fits (a PNG over the limit is not re-encoded), the
// input is empty, or image_bytes_keepable refuses it.
bool prepare_image_for_storage(const std::vector<std::uint8_t>& dib, std::size_t limit,
                               std::vector<std::uint8_t>& out);

// The size a width x height image is drawn at to fit max_width x
// max_height: unchanged when it fits and always_scale is off; else scaled
// by the smaller of the two ratios (no scaling when a maximum is not above
// 0), the limiting side exactly its maximum, each side at least 1.
SIZE scaled_image_size(int width, int height, int max_width, int max_height, bool always_scale);

}  // namespace winutil
