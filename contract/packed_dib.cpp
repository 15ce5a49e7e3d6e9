#include "packed_dib.h"

#include <limits>

std::optional<DibGeometry> UsableDibGeometry(int64_t width, int64_t height, DibFormat f) {
    constexpr int64_t kMaxLong = std::numeric_limits<LONG>::max();
    if (width < 1 || height < 1 || width > kMaxLong || height > kMaxLong) return std::nullopt;
    const DibLayout layout = PackedDibLayout(width, height, f);
    if (layout.rowLength > kMaxLong || layout.bufferSize > kMaxLong) return std::nullopt;
    return DibGeometry{static_cast<LONG>(width), static_cast<LONG>(height), static_cast<LONG>(layout.rowLength),
                       static_cast<LONG>(layout.bufferSize)};
}

BITMAPINFOHEADER MakeBitmapHeader(LONG width, LONG height, WORD bitCount, DWORD sizeImage) {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;  // positive: rows stored bottom-up
    h.biPlanes = 1;
    h.biBitCount = bitCount;
    h.biCompression = BI_RGB;
    h.biSizeImage = sizeImage;
    return h;
}

GreyBitmapInfo MakeGreyBitmapInfo(LONG width, LONG height, DWORD sizeImage) {
    GreyBitmapInfo info{};
    info.header = MakeBitmapHeader(width, height, 8, sizeImage);
    for (int i = 0; i < 256; ++i) {
        const BYTE level = static_cast<BYTE>(i);
        info.colors[i] = RGBQUAD{level, level, level, 0};
    }
    return info;
}
