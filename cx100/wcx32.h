// wcx32.dll, the ImageNation CX100 driver library. Every function is stdcall
// and every argument a 32-bit value.
#pragma once

#include "card_library.h"

namespace wcx32 {

inline CardLibrary library{L"wcx32.dll"};

// 0 or less: success; 1 to 7: the error codes of Cx100Grabber's table.
inline CardFunction<LONG> init_library{library, "init_library"};
inline CardFunction<LONG> exit_library{library, "exit_library"};
inline CardFunction<LONG> reset_cx{library, "reset_cx"};
inline CardFunction<LONG> high_res{library, "high_res"};
// 0: 512 x 486 (RS-170), 1: 512 x 512 (CCIR).
inline CardFunction<LONG> ccir_mode{library, "ccir_mode"};
inline CardFunction<LONG> acquire{library, "acquire"};
// Freezes a frame in the card's frame memory.
inline CardFunction<LONG> grab{library, "grab"};
// Copies one picture row (0 = top), XSize grey bytes, to `destination`; the
// last two arguments are always 'r' and 'h'.
inline CardFunction<LONG, BYTE*, LONG, LONG, LONG> copy_line{library, "copy_line"};

inline constexpr LONG kCopyLineR = 114;
inline constexpr LONG kCopyLineH = 104;

}  // namespace wcx32
