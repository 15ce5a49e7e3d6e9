// VPX32.DLL, the MRT VideoPort Pro toolkit library. Every function is
// stdcall and returns a 32-bit status, 0 for success. The records the
// toolkit reads and writes are lent to it by address: little-endian, packed.
#pragma once

#include "card_library.h"

#include <cstddef>
#include <cstdint>

namespace vpx32 {

#pragma pack(push, 1)
// The part of the picture that is snapped, and how: VPP_autoCrop writes the
// starts and spans, VPP_prepareSnap reads all of it.
struct SnapWindow {
    int16_t horizontalStart;  // first pixel of the window on each line
    int16_t horizontalSpan;   // window width in pixels
    int16_t outputWidth;      // width of the snapped image
    int16_t verticalStart;    // first line of the window
    int16_t verticalSpan;     // window height in lines
    int16_t outputHeight;     // height of the snapped image
    int32_t snapOption;       // always kSnapOption
    int32_t mono;             // 1: grey snap, 0: colour snap
};

// The full picture of the video signal, as VPP_getLimits reports it. Only
// the two limits are read; the rest belongs to the toolkit.
struct Limits {
    int16_t horizontal;
    uint8_t toolkitOwned1[6];
    int16_t vertical;
    uint8_t toolkitOwned2[6];
};
#pragma pack(pop)

static_assert(sizeof(SnapWindow) == 20);
static_assert(offsetof(SnapWindow, horizontalStart) == 0);
static_assert(offsetof(SnapWindow, horizontalSpan) == 2);
static_assert(offsetof(SnapWindow, outputWidth) == 4);
static_assert(offsetof(SnapWindow, verticalStart) == 6);
static_assert(offsetof(SnapWindow, verticalSpan) == 8);
static_assert(offsetof(SnapWindow, outputHeight) == 10);
static_assert(offsetof(SnapWindow, snapOption) == 12);
static_assert(offsetof(SnapWindow, mono) == 16);
static_assert(sizeof(Limits) == 16);
static_assert(offsetof(Limits, horizontal) == 0);
static_assert(offsetof(Limits, vertical) == 8);

inline constexpr int32_t kSnapOption = 1;
inline constexpr LONG kNoVideoSignal = 2;  // signal value written by VPP_videoConfig
inline constexpr LONG kReadoutGrey = 1;    // one byte a pixel
inline constexpr LONG kReadoutColour = 7;  // blue, green, red: three bytes a pixel

inline CardLibrary library{L"VPX32.DLL"};

inline CardFunction<LONG> VPP_init{library, "VPP_init"};
// (0, 0, signal value out)
inline CardFunction<LONG, LONG, LONG, LONG*> VPP_videoConfig{library, "VPP_videoConfig"};
inline CardFunction<LONG, SnapWindow*> VPP_autoCrop{library, "VPP_autoCrop"};
// (signal value, limits out)
inline CardFunction<LONG, LONG, Limits*> VPP_getLimits{library, "VPP_getLimits"};
inline CardFunction<LONG, SnapWindow*> VPP_prepareSnap{library, "VPP_prepareSnap"};
inline CardFunction<LONG> VPP_startSnap{library, "VPP_startSnap"};
inline CardFunction<LONG> VPP_finishSnap{library, "VPP_finishSnap"};
// (readout mode, line width out): the pixels each VPP_readLine delivers.
inline CardFunction<LONG, LONG, int16_t*> VPP_startReadout{library, "VPP_startReadout"};
// (destination, 0, line width): the next line of the snapped image, top line
// first, written to destination.
inline CardFunction<LONG, BYTE*, LONG, LONG> VPP_readLine{library, "VPP_readLine"};
// (0): releases the toolkit and the card.
inline CardFunction<LONG, LONG> VPP_closedown{library, "VPP_closedown"};

}  // namespace vpx32
