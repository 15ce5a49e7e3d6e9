// Control block of the simulated VCE_Tools_VB.DLL (Video Capture Essentials
// toolkit): what the card reports, and what it was handed.
#pragma once

#include "card_control.h"

namespace card_sim::vce_tools {

// Function indexes into ControlHeader::results: each returns its scripted
// 32-bit status (0 unless scripted), any value, 16-bit or not.
enum Function {
    kInit,           // _VCE_init@0
    kVideoConfig,    // _VCE_videoConfig@12
    kGetFrame,       // _VCE_GetFrame@4
    kDefaultConfig,  // _VCEX_defaultConfig@4
    kGetLimits,      // _VCE_getLimits@8
    kPrepare,        // _VCEX_prepare@8
    kPrepareSnap,    // _VCE_prepareSnap@4
    kStartSnap,      // _VCE_startSnap@0
    kFinishSnap,     // _VCE_finishSnap@0
    kStartReadout,   // _VCE_startReadout@8
    kReadLine,       // _VCE_readLine@12
    kCloseDown,      // _VCE_closedown@4
};

// The toolkit's snap window as it reads it: 20 bytes at offset 32 of the
// 120-byte configuration record.
#pragma pack(push, 1)
struct SnapWindow {
    int16_t horizontalStart, horizontalSpan, outputWidth;
    int16_t verticalStart, verticalSpan, outputHeight;
    int32_t snapOption, mono;
};
#pragma pack(pop)
static_assert(sizeof(SnapWindow) == 20);

inline constexpr int kConfigSize = 120;
inline constexpr int kSnapWindowOffset = 32;
// _VCEX_defaultConfig@4 fills bytes 4 to 119 with these defaults (byte 0 to
// 3 are the caller's); _VCEX_prepare@8 stamps the first 32 bits.
inline constexpr uint8_t DefaultConfigByte(int offset) { return static_cast<uint8_t>(0x40 + offset); }
inline constexpr int32_t kPreparedStamp = 0x50524550;
// Bytes 2 to 15 of the limits record, after the horizontal limit.
inline constexpr uint8_t kLimitsFill = 0xEE;

struct Settings {
    // What the card reports.
    int32_t signal = 0;             // _VCE_videoConfig@12: 0 = a usable signal
    int16_t horizontalLimit = 768;  // _VCE_getLimits@8: the full line width
    int32_t adjustOutput = 0;       // nonzero: _VCE_prepareSnap@4 sets the output size to
    int16_t adjustedWidth = 0;      //   adjustedWidth x adjustedHeight
    int16_t adjustedHeight = 0;
    int16_t lineWidth = 0;          // _VCE_startReadout@8; 0: 3 x the snap width rounded up to 4
    int32_t failingLine = 0;        // _VCE_readLine@12 of this line (1 = top) and later ones fails; 0: none
    int32_t failingLineStatus = 0;  // with this status

    // What the card was handed.
    int32_t leadFieldAtDefaults = -1;  // the record's first 32 bits as _VCEX_defaultConfig@4 got them
    uint8_t configAtPrepare[kConfigSize] = {};  // the record as _VCEX_prepare@8 got it
    SnapWindow windowAtPrepareSnap = {};        // the window as _VCE_prepareSnap@4 got it

    // The card's state.
    int16_t snapWidth = 640;  // output width of the last prepared snap
    int32_t linesRead = 0;    // since the last _VCE_startReadout@8
};
using Control = card_sim::Control<Settings>;

}  // namespace card_sim::vce_tools
