// The packed DIB that Grab writes into the host's byte array: a
// BITMAPINFOHEADER, for grey frames a 256-entry grey colour table, then the
// pixel rows bottom-up, each row padded to a multiple of 4 bytes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

enum class DibFormat { Grey8, Bgr24 };

// The header and grey colour table together, as they stand at the front of
// a grey frame.
struct GreyBitmapInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(GreyBitmapInfo) == 1064);

inline constexpr int64_t kGreyPixelOffset = sizeof(GreyBitmapInfo);     // 1064
inline constexpr int64_t kColourPixelOffset = sizeof(BITMAPINFOHEADER);  // 40

constexpr int64_t PixelOffset(DibFormat f) { return f == DibFormat::Grey8 ? kGreyPixelOffset : kColourPixelOffset; }
constexpr int64_t BytesPerPixel(DibFormat f) { return f == DibFormat::Grey8 ? 1 : 3; }

// A row of n pixel bytes occupies n rounded up to the next multiple of 4.
constexpr int64_t PaddedRowLength(int64_t pixelBytes) {
    return pixelBytes % 4 == 0 ? pixelBytes : pixelBytes - pixelBytes % 4 + 4;
}

// DIBxSize and BufferSize of a frame, computed in 64 bits so that no card
// value can wrap them.
struct DibLayout {
    int64_t rowLength;   // DIBxSize
    int64_t bufferSize;  // BufferSize
};

constexpr DibLayout PackedDibLayout(int64_t width, int64_t height, DibFormat f) {
    const int64_t row = PaddedRowLength(width * BytesPerPixel(f));
    return {row, height * row + PixelOffset(f)};
}

// The geometry a host may allocate by: width and height at least 1 and both
// sizes within a positive 32-bit Long. Anything else a card reports is
// refused rather than handed on.
struct DibGeometry {
    LONG width;
    LONG height;
    LONG rowLength;
    LONG bufferSize;
};
std::optional<DibGeometry> UsableDibGeometry(int64_t width, int64_t height, DibFormat f);

BITMAPINFOHEADER MakeBitmapHeader(LONG width, LONG height, WORD bitCount, DWORD sizeImage = 0);
GreyBitmapInfo MakeGreyBitmapInfo(LONG width, LONG height, DWORD sizeImage = 0);
