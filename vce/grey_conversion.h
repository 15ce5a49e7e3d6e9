// Colour lines as the VCE toolkit reads them out, three bytes a pixel, turned
// into 8-bit grey: the mean of the three bytes rounded to nearest. A third of
// a whole number never lies halfway, so the mean rounds to (b0 + b1 + b2 + 1)
// / 3 in integers. The three bytes weigh the same, whatever their colour
// order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Converts `pixels` pixels: reads exactly 3 x `pixels` bytes from `colour`
// and writes exactly `pixels` bytes to `grey`, nothing before or after.
using GreyConverter = void (*)(const uint8_t* colour, uint8_t* grey, size_t pixels);

// The rule, one pixel at a time; the reference for the vectorised forms.
void ColourToGreyScalar(const uint8_t* colour, uint8_t* grey, size_t pixels);

struct GreyConversion {
    const char* name;
    GreyConverter convert;
    bool supported;  // this processor has the instructions it needs
};

// Every form this build has, the scalar rule first, then faster ones.
const std::array<GreyConversion, 4>& GreyConversions();

// The fastest form this processor supports, chosen once when the module
// loads: the DLL itself runs on any i686, with or without SSE2.
void ColourToGrey(const uint8_t* colour, uint8_t* grey, size_t pixels);
