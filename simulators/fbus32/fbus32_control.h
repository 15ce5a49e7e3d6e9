// Control block of the simulated FBUS32.DLL (Integral Technologies FlashBus MV).
#pragma once

#include "card_control.h"

#include <cstddef>
#include <cstdint>

namespace card_sim::fbus32 {

// Function indexes into ControlHeader::results. Every function answers a
// 16-bit status: -1 is failure, anything else success.
enum Function {
    kInit,
    kGetMiscParm,
    kSetVideoConfig,
    kGetVideoRect,
    kVideoOffscreen,
    kVideoLive,
    kWaitVSync,
    kVideoGrab,
    kScreenToDib,
    kCleanup,
};

// FB_ScreenToDIB's flag words: the packed DIB variant it writes.
inline constexpr int16_t kColourDibFlags = static_cast<int16_t>(0x8000);  // 24-bit BGR, no palette
inline constexpr int16_t kGreyDibFlags = static_cast<int16_t>(0x8002);    // 8-bit, 256 grey entries

// What the card reports. The defaults are the demo card's.
struct Settings {
    // The stored video configuration that FB_GetMiscParm(1) writes: four
    // codes, then four bytes of no meaning. Without one it answers -1.
    uint32_t hasStoredConfig = 1;
    uint8_t storedConfig[8] = {1, 0, 0, 0, 'F', 'B', 'M', 'V'};
    // The frame size FB_GetVideoRect writes through pnWidth and pnHeight.
    int16_t width = 640;
    int16_t height = 480;
    // Written by the card: how many of the 9 bytes of FB_GetMiscParm's
    // buffer (8-byte text and its terminator) were zero when it was called;
    // -1 until then.
    int32_t zeroBytesInMiscBuffer = -1;
};
static_assert(offsetof(Settings, storedConfig) == 4);
static_assert(offsetof(Settings, width) == 12);
static_assert(offsetof(Settings, zeroBytesInMiscBuffer) == 16);
static_assert(sizeof(Settings) == 20);

using Control = card_sim::Control<Settings>;

// FB_GetMiscParm's index of the stored video configuration, and the size of
// the buffer it expects: an 8-byte text and one more zero byte.
inline constexpr int16_t kStoredConfigIndex = 1;
inline constexpr int kMiscBufferBytes = 9;

}  // namespace card_sim::fbus32
