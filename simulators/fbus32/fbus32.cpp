// Stand-in for FBUS32.DLL, the Integral Technologies FlashBus MV driver
// library: the same ten stdcall exports. As a demo card it reports a 640 x 480
// frame, takes a new frame of the moving test picture on each FB_VideoGrab and
// writes it with FB_ScreenToDIB as a whole packed DIB (header, grey palette or
// none, rows bottom-up); as a test double it logs each call, answers what the
// test scripted and reports the stored configuration and size the test set.
#include "card_runtime.h"
#include "fbus32_control.h"
#include "test_picture.h"

#include <cstring>
#include <vector>

using namespace card_sim;
using namespace card_sim::fbus32;

namespace {

constexpr SHORT kFailed = -1;

CardRuntime card;
const Settings kDemoCard{};
uint32_t grabbedFrame = 0;  // the frame taken by the last FB_VideoGrab

Settings* TestSettings() { return static_cast<Settings*>(card.card()); }
const Settings& Reported() { return TestSettings() ? *TestSettings() : kDemoCard; }

SHORT Status(Function f, const char* name, std::initializer_list<int64_t> args) {
    return static_cast<SHORT>(card.Call(f, name, args));
}

// The two DIB variants FB_ScreenToDIB writes.
struct DibVariant {
    SHORT flags;
    WORD bitCount;
    int64_t bytesPerPixel;
    int64_t pixelOffset;  // header, and the palette where there is one
};
constexpr DibVariant kVariants[] = {
    {kGreyDibFlags, 8, 1, sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)},
    {kColourDibFlags, 24, 3, sizeof(BITMAPINFOHEADER)},
};

const DibVariant* FindVariant(SHORT flags) {
    for (const DibVariant& v : kVariants)
        if (v.flags == flags) return &v;
    return nullptr;
}

void DrawRow(BYTE* row, const DibVariant& v, uint32_t frame, int32_t width, int32_t y) {
    if (v.bytesPerPixel == 1) {
        for (int32_t x = 0; x < width; ++x) row[x] = GreyLevel(frame, x, y);
    } else {
        for (int32_t x = 0; x < width; ++x) ColourPixel(frame, x, y, row + 3 * x);
    }
}

// Fast mode: every row of every frame is the top row of the first frame.
const BYTE* FastRow(const DibVariant& v, int32_t width) {
    static std::vector<BYTE> row;
    static SHORT rowFlags = 0;
    if (rowFlags != v.flags || row.size() != static_cast<size_t>(width * v.bytesPerPixel)) {
        row.assign(static_cast<size_t>(width * v.bytesPerPixel), 0);
        DrawRow(row.data(), v, 0, width, 0);
        rowFlags = v.flags;
    }
    return row.data();
}

// Writes exactly the packed DIB of width x height pixels: its size is the
// header, the palette, and height rows of the pixel bytes rounded up to 4.
void WriteDib(BYTE* dib, const DibVariant& v, int32_t width, int32_t height) {
    const int64_t pixelBytes = width * v.bytesPerPixel;
    const int64_t rowLength = (pixelBytes + 3) / 4 * 4;

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = v.bitCount;
    header.biCompression = BI_RGB;
    std::memcpy(dib, &header, sizeof header);
    if (v.bitCount == 8) {
        auto* palette = reinterpret_cast<RGBQUAD*>(dib + sizeof header);
        for (int i = 0; i < 256; ++i) {
            const BYTE level = static_cast<BYTE>(i);
            palette[i] = RGBQUAD{level, level, level, 0};
        }
    }
    for (int32_t y = 0; y < height; ++y) {
        BYTE* row = dib + v.pixelOffset + (height - 1 - y) * rowLength;
        if (card.fast()) std::memcpy(row, FastRow(v, width), static_cast<size_t>(pixelBytes));
        else DrawRow(row, v, grabbedFrame, width, y);
        std::memset(row + pixelBytes, 0, static_cast<size_t>(rowLength - pixelBytes));
    }
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) card.Attach(module, L"fbus32", sizeof(fbus32::Control));
    return TRUE;
}

SHORT WINAPI FB_Init() { return Status(kInit, "FB_Init", {}); }

SHORT WINAPI FB_GetMiscParm(SHORT index, char* buffer) {
    const SHORT result = Status(kGetMiscParm, "FB_GetMiscParm", {index, Arg(buffer)});
    if (buffer && TestSettings()) {
        int32_t zeros = 0;
        for (int i = 0; i < kMiscBufferBytes; ++i) zeros += buffer[i] == 0;
        TestSettings()->zeroBytesInMiscBuffer = zeros;
    }
    const Settings& s = Reported();
    if (result == kFailed || index != kStoredConfigIndex || !buffer || !s.hasStoredConfig) return kFailed;
    std::memcpy(buffer, s.storedConfig, sizeof s.storedConfig);
    return result;
}

SHORT WINAPI FB_SetVideoConfig(SHORT type, SHORT standard, SHORT source, SHORT syncOnGreen) {
    return Status(kSetVideoConfig, "FB_SetVideoConfig", {type, standard, source, syncOnGreen});
}

// The origin goes out as 32-bit values, the size as 16-bit ones.
SHORT WINAPI FB_GetVideoRect(SHORT rectType, LONG* x, LONG* y, SHORT* width, SHORT* height) {
    const SHORT result = Status(kGetVideoRect, "FB_GetVideoRect", {rectType, Arg(x), Arg(y), Arg(width), Arg(height)});
    if (result == kFailed) return result;
    if (x) *x = 0;
    if (y) *y = 0;
    if (width) *width = Reported().width;
    if (height) *height = Reported().height;
    return result;
}

SHORT WINAPI FB_VideoOffscreen(SHORT width, SHORT height, SHORT depth, SHORT flags) {
    return Status(kVideoOffscreen, "FB_VideoOffscreen", {width, height, depth, flags});
}

SHORT WINAPI FB_VideoLive(SHORT live, SHORT mode) { return Status(kVideoLive, "FB_VideoLive", {live, mode}); }

SHORT WINAPI FB_WaitVSync(SHORT count) { return Status(kWaitVSync, "FB_WaitVSync", {count}); }

SHORT WINAPI FB_VideoGrab(SHORT mode, SHORT a, SHORT b, SHORT c) {
    grabbedFrame = card.NextFrame();
    return Status(kVideoGrab, "FB_VideoGrab", {mode, a, b, c});
}

SHORT WINAPI FB_ScreenToDIB(SHORT x, SHORT y, SHORT width, SHORT height, SHORT flags, BYTE* dib) {
    const SHORT result = Status(kScreenToDib, "FB_ScreenToDIB", {x, y, width, height, flags, Arg(dib)});
    if (result == kFailed) return result;
    const DibVariant* variant = FindVariant(flags);
    if (!variant || !dib || width < 1 || height < 1) return kFailed;
    WriteDib(dib, *variant, width, height);
    return result;
}

SHORT WINAPI FB_Cleanup() { return Status(kCleanup, "FB_Cleanup", {}); }

}  // extern "C"
