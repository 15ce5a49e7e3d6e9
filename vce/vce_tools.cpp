#include "vce_tools.h"

#include <iterator>
#include <limits>

namespace VCE_Tools {

namespace {

// The toolkit's status codes 0 to 20, in order, worded as the toolkit words
// them ("in not" included), so that users recognise them.
const wchar_t* const kStatusTexts[] = {
    L"No error",
    L"VCE toolkit is already in use",
    L"No VCE detected.",
    L"No VCE card driver detected",
    L"The installed VCE card is old-style",
    L"Toolkit is not initialized",
    L"Video digitizer in not configured",
    L"Attempt to start snap before snap prepared",
    L"Attempt to finish snap before snap started",
    L"Attempt to read image before snap finished",
    L"Attempt to read image before startReadout",
    L"No video signal detected",
    L"Attempt to read monochrome image as colour",
    L"Attempt to read outside snapped image",
    L"Parameter to function is out of range",
    L"Image width is out of range",
    L"Image height is out of range",
    L"Bad pointer (possibly NULL)",
    L"Lost contact with digitizer (no acknowledge)",
    L"Out of memory",
    L"An error while reading or writing to file",
};
static_assert(std::size(kStatusTexts) == 21);

}  // namespace

int16_t NarrowStatus(LONG status) {
    if (status < std::numeric_limits<int16_t>::min() || status > std::numeric_limits<int16_t>::max())
        throw ComError{DISP_E_OVERFLOW};
    return static_cast<int16_t>(status);
}

const wchar_t* StatusText(int16_t code) {
    return code >= 0 && code < static_cast<int>(std::size(kStatusTexts)) ? kStatusTexts[code] : L"Unknown error";
}

}  // namespace VCE_Tools
