// Control block of the simulated VPX32.DLL (MRT VideoPort Pro toolkit).
#pragma once

#include "card_control.h"

#include <cstddef>

namespace card_sim::vpx32 {

// Function indexes into ControlHeader::results.
enum Function {
    kInit,
    kVideoConfig,
    kAutoCrop,
    kGetLimits,
    kPrepareSnap,
    kStartSnap,
    kFinishSnap,
    kStartReadout,
    kReadLine,
    kClosedown,
};

// The records the toolkit is lent, byte for byte as the toolkit sees them.
#pragma pack(push, 1)
struct SnapWindow {
    int16_t hStart, hSpan, outWidth;
    int16_t vStart, vSpan, outHeight;
    int32_t snapOption;
    int32_t mono;
};
struct Limits {
    int16_t width;
    int16_t reserved1[3];
    int16_t height;
    int16_t reserved2[3];
};
#pragma pack(pop)
static_assert(sizeof(SnapWindow) == 20 && offsetof(SnapWindow, vStart) == 6 && offsetof(SnapWindow, mono) == 16);
static_assert(sizeof(Limits) == 16 && offsetof(Limits, height) == 8);

// What VPP_getLimits writes into the fields that callers do not read.
inline constexpr int16_t kReservedLimit = 0x7F7F;

// Statuses the simulated toolkit raises by itself.
inline constexpr int32_t kNoColourStatus = 12;  // colour readout of a grey snap
inline constexpr int32_t kOutsizeStatus = 13;   // a line beyond the snapped image
inline constexpr int32_t kRangeStatus = 14;     // a readout mode other than 1 or 7
inline constexpr int32_t kWidthStatus = 15;     // a line width outside 1 to 32767

struct Window {
    int16_t hStart, hSpan, vStart, vSpan;
};

struct Settings {
    int32_t signal = 0;                      // written by VPP_videoConfig
    Window autoWindow{0, 640, 0, 480};       // the active picture VPP_autoCrop finds
    int16_t limitWidth = 768;                // the full picture, for VPP_getLimits
    int16_t limitHeight = 576;
    int16_t lineWidth = 0;                   // VPP_startReadout's line width; 0: the snapped width
    int32_t failLinesFrom = 0;               // VPP_readLine fails from this line on (1: the first); 0: never
    int32_t failLineStatus = 0;              // ... with this status

    // The records as the toolkit last received them, before it wrote them.
    SnapWindow autoCropGot{};
    SnapWindow prepareSnapGot{};
    Limits getLimitsGot{};
};
using Control = card_sim::Control<Settings>;

}  // namespace card_sim::vpx32
