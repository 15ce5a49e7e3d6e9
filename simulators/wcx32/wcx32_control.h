// Control block of the simulated wcx32.dll (ImageNation CX100).
#pragma once

#include "card_control.h"

namespace card_sim::wcx32 {

// Function indexes into ControlHeader::results.
enum Function {
    kInitLibrary,   // status: 0 or less success, 1-7 error codes
    kExitLibrary,
    kResetCx,
    kHighRes,
    kCcirMode,      // 0: 512 x 486, 1: 512 x 512
    kAcquire,
    kGrab,
    kCopyLine,
};

struct Settings {};
using Control = card_sim::Control<Settings>;

inline constexpr int32_t kWidth = 512;

}  // namespace card_sim::wcx32
