#include "frame_check.h"

#include <cstdarg>
#include <cstring>
#include <cwchar>

namespace {

std::wstring Say(const wchar_t* format, ...) {
    wchar_t text[256];
    va_list args;
    va_start(args, format);
    vswprintf(text, 256, format, args);
    va_end(args);
    return text;
}

const wchar_t* FormatName(DibFormat f) { return f == DibFormat::Grey8 ? L"grey" : L"colour"; }

int64_t ExpectedBufferSize(const ReportedSizes& s, DibFormat f) {
    return int64_t{s.ySize} * s.dibxSize + PixelOffset(f);
}

// The row length and buffer size of the format the frame is in.
void CheckLayout(const ReportedSizes& s, DibFormat f, std::vector<std::wstring>& problems) {
    const int64_t row = PaddedRowLength(int64_t{s.xSize} * BytesPerPixel(f));
    if (s.dibxSize != row)
        problems.push_back(Say(L"DIBxSize is %ld, but a row of %ld %ls pixels takes %lld bytes, padded to a multiple of 4",
                               s.dibxSize, s.xSize, FormatName(f), row));
    const int64_t size = ExpectedBufferSize(s, f);
    if (s.bufferSize != size)
        problems.push_back(Say(L"BufferSize is %ld, but %ld rows of %ld bytes after the %lld bytes of %ls make %lld",
                               s.bufferSize, s.ySize, s.dibxSize, PixelOffset(f),
                               f == DibFormat::Grey8 ? L"header and grey palette" : L"header", size));
}

void CheckGreyPalette(const BYTE* frame, size_t size, std::vector<std::wstring>& problems) {
    if (size < static_cast<size_t>(kGreyPixelOffset)) {
        problems.push_back(Say(L"the frame holds %zu bytes and ends inside its palette (header and palette take 1064)", size));
        return;
    }
    const auto* colors = reinterpret_cast<const RGBQUAD*>(frame + sizeof(BITMAPINFOHEADER));
    int first = -1, wrong = 0;
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD c = colors[i];
        if (c.rgbBlue == i && c.rgbGreen == i && c.rgbRed == i && c.rgbReserved == 0) continue;
        if (first < 0) first = i;
        ++wrong;
    }
    if (first < 0) return;
    const RGBQUAD c = colors[first];
    std::wstring text = Say(L"palette entry %d is blue %u, green %u, red %u, reserved %u instead of grey level %d",
                            first, c.rgbBlue, c.rgbGreen, c.rgbRed, c.rgbReserved, first);
    if (wrong > 1) text += Say(L" (%d of the 256 entries are not grey)", wrong);
    problems.push_back(text);
}

}  // namespace

std::optional<DibFormat> AnnouncedFormat(const ReportedSizes& s) {
    for (DibFormat f : {DibFormat::Grey8, DibFormat::Bgr24})
        if (s.bufferSize == ExpectedBufferSize(s, f)) return f;
    return std::nullopt;
}

std::vector<std::wstring> CheckSizes(const ReportedSizes& s) {
    std::vector<std::wstring> problems;
    if (s.xSize < 1 || s.ySize < 1) {
        problems.push_back(Say(L"the frame size %ld x %ld has no pixels", s.xSize, s.ySize));
        return problems;
    }
    const std::optional<DibFormat> f = AnnouncedFormat(s);
    if (f) {
        CheckLayout(s, *f, problems);
    } else {
        problems.push_back(Say(L"BufferSize is %ld, which fits neither a grey frame (%lld bytes) nor a colour frame (%lld bytes) "
                               L"of %ld rows of %ld bytes",
                               s.bufferSize, ExpectedBufferSize(s, DibFormat::Grey8), ExpectedBufferSize(s, DibFormat::Bgr24),
                               s.ySize, s.dibxSize));
    }
    return problems;
}

std::vector<std::wstring> CheckFrame(const BYTE* frame, size_t size, const ReportedSizes& s) {
    std::vector<std::wstring> problems;
    if (size != static_cast<size_t>(s.bufferSize))
        problems.push_back(Say(L"the frame holds %zu bytes, but BufferSize is %ld", size, s.bufferSize));
    if (size < sizeof(BITMAPINFOHEADER)) {
        problems.push_back(Say(L"the frame is too short for a bitmap header (40 bytes)"));
        return problems;
    }
    BITMAPINFOHEADER h;
    std::memcpy(&h, frame, sizeof h);
    if (h.biSize != sizeof h) problems.push_back(Say(L"the header size (biSize) is %lu, not 40", h.biSize));
    if (h.biWidth != s.xSize)
        problems.push_back(Say(L"the width in the header (biWidth) is %ld, but XSize is %ld", h.biWidth, s.xSize));
    if (h.biHeight == -s.ySize && h.biHeight != 0)
        problems.push_back(Say(L"the height in the header (biHeight) is %ld: the rows are stored top-down, "
                               L"but a host expects them bottom-up",
                               h.biHeight));
    else if (h.biHeight != s.ySize)
        problems.push_back(Say(L"the height in the header (biHeight) is %ld, but YSize is %ld", h.biHeight, s.ySize));
    if (h.biPlanes != 1) problems.push_back(Say(L"the header gives %u planes (biPlanes), not 1", h.biPlanes));
    if (h.biCompression != BI_RGB)
        problems.push_back(Say(L"the frame is compressed (biCompression %lu); a host reads uncompressed rows only",
                               h.biCompression));

    DibFormat f;
    if (h.biBitCount == 8) f = DibFormat::Grey8;
    else if (h.biBitCount == 24) f = DibFormat::Bgr24;
    else {
        problems.push_back(Say(L"the frame has %u bits per pixel (biBitCount); a host reads 8 (grey) or 24 (colour)",
                               h.biBitCount));
        return problems;
    }
    if (f == DibFormat::Grey8) {
        if (h.biClrUsed != 0 && h.biClrUsed != 256)
            problems.push_back(Say(L"the header announces %lu palette entries (biClrUsed); a grey frame has 256", h.biClrUsed));
        CheckGreyPalette(frame, size, problems);
    } else if (h.biClrUsed != 0) {
        problems.push_back(Say(L"the colour frame announces %lu palette entries (biClrUsed); a host expects none", h.biClrUsed));
    }
    CheckLayout(s, f, problems);
    return problems;
}
