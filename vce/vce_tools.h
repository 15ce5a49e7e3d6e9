// VCE_Tools: the Video Capture Essentials toolkit library, VCE_Tools_VB.DLL.
// Its exports carry stdcall decoration in their names ("_VCE_init@0": the
// number is the bytes of arguments the callee removes), and they are bound
// by exactly those names. Every argument occupies one 32-bit slot and every
// result is 32 bits; the functions whose result matters return a status, 0
// for success.
#pragma once

#include "card_library.h"

#include <cstddef>
#include <cstdint>

namespace VCE_Tools {

// The records the toolkit exchanges with its caller, byte for byte.
#pragma pack(push, 1)

// Which part of the video line and field is digitised, and at what output
// size. _VCE_prepareSnap@4 may adjust the output size to what the card can
// deliver.
struct SnapWindow {
    int16_t horizontalStart;
    int16_t horizontalSpan;
    int16_t outputWidth;
    int16_t verticalStart;
    int16_t verticalSpan;
    int16_t outputHeight;
    int32_t snapOption;
    int32_t mono;  // 0: the frame is snapped in colour
};
static_assert(sizeof(SnapWindow) == 20);
static_assert(offsetof(SnapWindow, horizontalStart) == 0 && offsetof(SnapWindow, horizontalSpan) == 2 &&
              offsetof(SnapWindow, outputWidth) == 4 && offsetof(SnapWindow, verticalStart) == 6 &&
              offsetof(SnapWindow, verticalSpan) == 8 && offsetof(SnapWindow, outputHeight) == 10 &&
              offsetof(SnapWindow, snapOption) == 12 && offsetof(SnapWindow, mono) == 16);

// The capture set-up: the toolkit fills it with its defaults and reads it
// back when it prepares a capture. Bytes the plug-in does not name are the
// toolkit's own and pass through untouched.
struct ConfigRecord {
    int32_t leadField;  // cleared before the toolkit loads its defaults
    uint8_t toolkitBytes4[28];
    SnapWindow snap;
    uint8_t toolkitBytes52[20];
    int32_t captureMode;  // 7 once the defaults are loaded
    uint8_t toolkitBytes76[44];
};
static_assert(sizeof(ConfigRecord) == 120);
static_assert(offsetof(ConfigRecord, leadField) == 0 && offsetof(ConfigRecord, snap) == 32 &&
              offsetof(ConfigRecord, captureMode) == 72);

// The card's limits; only the full width of a video line, within which the
// snap window is centred, is used.
struct Limits {
    int16_t horizontalLimit;
    uint8_t toolkitBytes2[14];
};
static_assert(sizeof(Limits) == 16);
static_assert(offsetof(Limits, horizontalLimit) == 0);

#pragma pack(pop)

inline CardLibrary library{L"VCE_Tools_VB.DLL"};

inline CardFunction<LONG> VCE_init{library, "_VCE_init@0"};
// (0, 0, signal): the signal value is 0 when a usable video signal is present.
inline CardFunction<LONG, LONG, LONG, LONG*> VCE_videoConfig{library, "_VCE_videoConfig@12"};
inline CardFunction<LONG, BYTE> VCE_GetFrame{library, "_VCE_GetFrame@4"};
inline CardFunction<LONG, ConfigRecord*> VCEX_defaultConfig{library, "_VCEX_defaultConfig@4"};
// (signal value, limits)
inline CardFunction<LONG, LONG, Limits*> VCE_getLimits{library, "_VCE_getLimits@8"};
inline CardFunction<LONG, ConfigRecord*, LONG> VCEX_prepare{library, "_VCEX_prepare@8"};
inline CardFunction<LONG, SnapWindow*> VCE_prepareSnap{library, "_VCE_prepareSnap@4"};
inline CardFunction<LONG> VCE_startSnap{library, "_VCE_startSnap@0"};
inline CardFunction<LONG> VCE_finishSnap{library, "_VCE_finishSnap@0"};
// (mode, line width): starts reading out the snapped frame; writes the width
// in bytes of one read-out line.
inline CardFunction<LONG, LONG, int16_t*> VCE_startReadout{library, "_VCE_startReadout@8"};
// (line buffer, 0, pixels): the next line of the frame, top line first.
inline CardFunction<LONG, BYTE*, LONG, int16_t> VCE_readLine{library, "_VCE_readLine@12"};
inline CardFunction<LONG, LONG> VCE_closedown{library, "_VCE_closedown@4"};

// The readout mode that delivers three bytes a pixel.
inline constexpr LONG kColourReadout = 7;

// A status as the toolkit's codes go: 16-bit signed. A 32-bit status outside
// that range is no code at all; it throws ComError{DISP_E_OVERFLOW}.
int16_t NarrowStatus(LONG status);

// The user's text for a status code; "Unknown error" for codes beyond the
// toolkit's table, negative ones included.
const wchar_t* StatusText(int16_t code);

}  // namespace VCE_Tools
