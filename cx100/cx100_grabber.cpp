#include "cx100_grabber.h"

#include "host_array.h"
#include "packed_dib.h"
#include "wcx32.h"

#include <cstring>

namespace {

// Texts for the error codes 1 to 7 of init_library; higher codes have none.
const wchar_t* InitLibraryErrorText(LONG code) {
    static const wchar_t* const kTexts[] = {
        L"No free memory segments",
        L"No CX100 frame grabbers found",
        L"Frame grabber cannot be mapped into memory",
        L"Frame grabber index out of range",
        L"There is no device on this port",
        L"The device on this port is not a frame grabber--no vertical blank",
        L"The device on this port is not a CX100",
    };
    return code >= 1 && code <= 7 ? kTexts[code - 1] : L"";
}

constexpr LONG kWidth = 512;

}  // namespace

bool Cx100Grabber::Init() {
    initialized_ = false;
    LONG status;
    try {
        status = wcx32::init_library();
    } catch (const CardLibraryError&) {
        return messages_.Unreachable();
    }
    if (status > 0) {
        // Close the library before the user sees why it failed.
        wcx32::exit_library();
        return messages_.Fail(InitLibraryErrorText(status));
    }
    wcx32::reset_cx();
    wcx32::high_res();
    switch (wcx32::ccir_mode()) {
    case 0: xSize_ = kWidth; ySize_ = 486; break;
    case 1: xSize_ = kWidth; ySize_ = 512; break;
    default: break;  // an unknown mode keeps the geometry it had
    }
    wcx32::acquire();
    const DibLayout layout = PackedDibLayout(xSize_, ySize_, DibFormat::Grey8);
    dibxSize_ = static_cast<LONG>(layout.rowLength);
    bufferSize_ = static_cast<LONG>(layout.bufferSize);
    initialized_ = true;
    return true;
}

void Cx100Grabber::ShutDown() {
    xSize_ = 0;
    ySize_ = 0;
    wcx32::exit_library();
    initialized_ = false;
}

bool Cx100Grabber::Grab(SAFEARRAY** buffer) {
    if (!initialized_) return messages_.Fail(L"CX100 not initialized");
    const HostArray array(buffer);
    if (array.size() != bufferSize_) return messages_.Fail(L"Incorrect buffer size");

    const auto lock = array.lock();
    BYTE* const dib = lock.data();
    const GreyBitmapInfo info = MakeGreyBitmapInfo(xSize_, ySize_);
    std::memcpy(dib, &info, sizeof info);
    wcx32::grab();
    // The buffer is filled forward from its first row while the card is read
    // from the bottom picture row up: the bottom-up order of a DIB.
    BYTE* row = dib + kGreyPixelOffset;
    for (LONG pictureRow = ySize_ - 1; pictureRow >= 0; --pictureRow, row += dibxSize_)
        wcx32::copy_line(row, pictureRow, wcx32::kCopyLineR, wcx32::kCopyLineH);
    return true;
}
