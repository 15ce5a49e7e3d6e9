// The demo card's moving test picture, shared by the simulators (which draw
// it) and by the tests (which check the bytes that arrive). Diagonal bands
// drift by a few levels each frame; the top and bottom rows differ, so a
// frame stored upside down is recognisable.
#pragma once

#include <cstdint>

namespace card_sim {

inline uint8_t GreyLevel(uint32_t frame, int32_t x, int32_t y) {
    return static_cast<uint8_t>(x + 2 * y + 4 * frame);
}

// Blue, green and red of one pixel, in that order: three different ramps so
// that the colour frames are really in colour.
inline void ColourPixel(uint32_t frame, int32_t x, int32_t y, uint8_t bgr[3]) {
    bgr[0] = static_cast<uint8_t>(x + 4 * frame);
    bgr[1] = static_cast<uint8_t>(y + 2 * frame);
    bgr[2] = static_cast<uint8_t>((x + y) / 2 + 255 - 3 * frame);
}

}  // namespace card_sim
