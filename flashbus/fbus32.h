// FBUS32.DLL, the Integral Technologies FlashBus MV driver library. Every
// function is stdcall and answers a 16-bit status, -1 for failure and any
// other value, other negative ones included, for success. Integer arguments
// are 16-bit values; no handle passes: the library keeps the card's state
// itself from FB_Init to FB_Cleanup.
#pragma once

#include "card_library.h"

namespace fbus32 {

inline constexpr SHORT kFailed = -1;
inline constexpr SHORT kTrue = -1;

// What FB_GetMiscParm writes for kStoredConfigIndex: the video configuration
// stored for the card, an 8-byte text whose first four bytes are the codes
// of FB_SetVideoConfig. The library is handed one more zero byte after the
// text.
#pragma pack(push, 1)
struct StoredVideoConfig {
    BYTE type;
    BYTE standard;
    BYTE source;
    BYTE syncOnGreen;
    BYTE unused[4];
    char terminator;
};
#pragma pack(pop)
static_assert(sizeof(StoredVideoConfig) == 9);
inline constexpr SHORT kStoredConfigIndex = 1;

// FB_GetVideoRect's rectangle of the whole video frame.
inline constexpr SHORT kVideoRect = 0;

// FB_ScreenToDIB's flag words: the packed DIB the library writes.
inline constexpr SHORT kColourDib = static_cast<SHORT>(0x8000);  // 24-bit BGR, no palette
inline constexpr SHORT kGreyDib = static_cast<SHORT>(0x8002);    // 8-bit, 256-entry grey palette

inline CardLibrary library{L"FBUS32.DLL"};

inline CardFunction<SHORT> FB_Init{library, "FB_Init"};
// (nIndex, lpRetBuf): -1 when the card has no such parameter.
inline CardFunction<SHORT, SHORT, StoredVideoConfig*> FB_GetMiscParm{library, "FB_GetMiscParm"};
// (nType, nStandard, nSource, bSyncOnGreen)
inline CardFunction<SHORT, SHORT, SHORT, SHORT, SHORT> FB_SetVideoConfig{library, "FB_SetVideoConfig"};
// (nRectType, pnX, pnY, pnWidth, pnHeight): the origin is written as 16 or
// 32 bits, hence 32-bit storage; the size as 16-bit values.
inline CardFunction<SHORT, SHORT, LONG*, LONG*, SHORT*, SHORT*> FB_GetVideoRect{library, "FB_GetVideoRect"};
// (width, height, depth in bits, 0)
inline CardFunction<SHORT, SHORT, SHORT, SHORT, SHORT> FB_VideoOffscreen{library, "FB_VideoOffscreen"};
// (bLive, 2)
inline CardFunction<SHORT, SHORT, SHORT> FB_VideoLive{library, "FB_VideoLive"};
// (nSyncCnt)
inline CardFunction<SHORT, SHORT> FB_WaitVSync{library, "FB_WaitVSync"};
// (2, 0, 0, 0): takes one frame.
inline CardFunction<SHORT, SHORT, SHORT, SHORT, SHORT> FB_VideoGrab{library, "FB_VideoGrab"};
// (x, y, width, height, nFlags, hpDIBBuf): writes the whole packed DIB of
// the frame taken, width x height pixels, at hpDIBBuf.
inline CardFunction<SHORT, SHORT, SHORT, SHORT, SHORT, SHORT, BYTE*> FB_ScreenToDIB{library, "FB_ScreenToDIB"};
inline CardFunction<SHORT> FB_Cleanup{library, "FB_Cleanup"};

}  // namespace fbus32
