#include "videoport_grabber.h"

#include "host_array.h"

#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

namespace {

// The toolkit's statuses 0 to 20; any other value has no text of its own.
constexpr const wchar_t* kStatusTexts[] = {
    L"No error",
    L"VideoPort toolkit is already in use",
    L"No VideoPort hardware detected",
    L"No VideoPort PCMCIA driver detected",
    L"The installed VideoPort is old-style",
    L"init has not been called",
    L"videoConfig has not been called",
    L"prepareSnap has not been called",
    L"startSnap has not been called",
    L"finishSnap has not been called",
    L"startReadout has not been called",
    L"No video signal detected",
    L"Snapped image does not contain colour",
    L"Attempt to read outsize snapped image",
    L"Parameter to function is out of range",
    L"Image width is out of range",
    L"Image height is out of range",
    L"Bad pointer (possibly NULL)",
    L"Contact with VideoPort is lost",
    L"Out of memory",
    L"File I/O error",
};
static_assert(std::size(kStatusTexts) == 21);
constexpr const wchar_t* kUnknownStatusText = L"Unknown error";

// An automatic window smaller than this is not the active picture: the
// centred fall-back window is used instead.
constexpr int16_t kMinAutoWidth = 600;
constexpr int16_t kMinAutoHeight = 440;
constexpr int16_t kFallbackWidth = 640;
constexpr int16_t kFallbackHeight = 480;
// Lines trimmed off the top and off the bottom of every window, automatic
// or fall-back.
constexpr int16_t kTrimLines = 2;

// Where a span starts when centred within `limit`: half the spare room (a
// 16-bit difference), rounded to the nearest integer, halves to even.
int16_t CentredStart(int16_t limit, int16_t span) {
    const auto spare = static_cast<int16_t>(limit - span);
    return static_cast<int16_t>(std::nearbyint(spare / 2.0));
}

// The geometry of a snapped window as the host will allocate by it. Row
// lengths are 16-bit quantities on this card: a row of more than 32767 pixel
// bytes (a colour window of 10923 pixels or wider) is refused, as is every
// window whose sizes do not fit a positive Long.
std::optional<DibGeometry> WindowGeometry(int16_t width, int16_t height, DibFormat format) {
    if (int64_t{width} * BytesPerPixel(format) > std::numeric_limits<int16_t>::max()) return std::nullopt;
    return UsableDibGeometry(width, height, format);
}

}  // namespace

bool VideoPortProGrabber::Init() {
    initialized_ = false;
    LONG status;
    try {
        status = vpx32::VPP_init();
    } catch (const CardLibraryError&) {
        return messages_.Unreachable();
    }
    // A toolkit that did not open has nothing to release.
    if (!CheckStatus(status)) return false;

    LONG signal = 0;
    if (!CheckStatus(vpx32::VPP_videoConfig(0, 0, &signal))) return CloseAfterFailure();
    if (signal == vpx32::kNoVideoSignal) {
        CloseAfterFailure();
        return messages_.Fail(L"No video signal detected");
    }

    const DibFormat format = colour_ ? DibFormat::Bgr24 : DibFormat::Grey8;
    window_.snapOption = vpx32::kSnapOption;
    window_.mono = format == DibFormat::Grey8 ? 1 : 0;
    // The starts and spans still hold the previous window, if any; the
    // toolkit overwrites them with the active picture it finds.
    if (!CheckStatus(vpx32::VPP_autoCrop(&window_))) return CloseAfterFailure();
    if (window_.horizontalSpan < kMinAutoWidth || window_.verticalSpan < kMinAutoHeight) {
        vpx32::Limits limits{};
        if (!CheckStatus(vpx32::VPP_getLimits(signal, &limits))) return CloseAfterFailure();
        window_.horizontalStart = CentredStart(limits.horizontal, kFallbackWidth);
        window_.verticalStart = CentredStart(limits.vertical, kFallbackHeight);
        window_.horizontalSpan = kFallbackWidth;
        window_.verticalSpan = kFallbackHeight;
    }
    window_.verticalStart = static_cast<int16_t>(window_.verticalStart + kTrimLines);
    window_.verticalSpan = static_cast<int16_t>(window_.verticalSpan - 2 * kTrimLines);
    window_.outputWidth = window_.horizontalSpan;
    window_.outputHeight = window_.verticalSpan;

    const auto geometry = WindowGeometry(window_.horizontalSpan, window_.verticalSpan, format);
    if (!geometry) {
        CloseAfterFailure();
        return messages_.Fail(L"Unsupported video window size");
    }
    width_ = window_.horizontalSpan;
    height_ = window_.verticalSpan;
    rowStride_ = geometry->rowLength;
    bufferSize_ = geometry->bufferSize;
    format_ = format;
    initialized_ = true;
    return true;
}

void VideoPortProGrabber::ShutDown() {
    bufferSize_ = 0;
    width_ = 0;
    height_ = 0;
    rowStride_ = 0;
    // Cleared before the toolkit is called, so that an object whose toolkit
    // cannot be reached is not left initialised with no geometry.
    initialized_ = false;
    vpx32::VPP_closedown(0);
}

bool VideoPortProGrabber::Grab(SAFEARRAY** buffer) {
    if (!initialized_) return messages_.Fail(L"VideoPort Pro not initialized");
    const HostArray array(buffer);
    if (array.size() != bufferSize_) return messages_.Fail(L"Incorrect buffer size");
    const auto lock = array.lock();

    if (!CheckStatus(vpx32::VPP_prepareSnap(&window_))) return false;
    if (!CheckStatus(vpx32::VPP_startSnap())) return false;
    if (!CheckStatus(vpx32::VPP_finishSnap())) return false;
    const LONG mode = format_ == DibFormat::Bgr24 ? vpx32::kReadoutColour : vpx32::kReadoutGrey;
    int16_t lineWidth = 0;
    if (!CheckStatus(vpx32::VPP_startReadout(mode, &lineWidth))) return false;
    // Each line lands in a row sized for the image width: a readout of any
    // other width would not fit.
    if (lineWidth != width_) return messages_.Fail(L"Incorrect buffer width");

    BYTE* const dib = lock.data();
    if (format_ == DibFormat::Grey8) {
        const GreyBitmapInfo info = MakeGreyBitmapInfo(width_, height_);
        std::memcpy(dib, &info, sizeof info);
    } else {
        const BITMAPINFOHEADER header = MakeBitmapHeader(width_, height_, 24);
        std::memcpy(dib, &header, sizeof header);
    }
    // The toolkit delivers the picture top line first; the bitmap stores it
    // bottom-up, so line i goes to the i-th row from the end of the array.
    BYTE* const pixels = dib + PixelOffset(format_);
    for (int line = 0; line < height_; ++line) {
        BYTE* const row = pixels + int64_t{height_ - 1 - line} * rowStride_;
        if (!CheckStatus(vpx32::VPP_readLine(row, 0, lineWidth))) return false;
    }
    return true;
}

bool VideoPortProGrabber::CheckStatus(LONG status) const {
    return status == 0 || messages_.Fail(StatusText(status), BoxIcon::Exclamation);
}

const wchar_t* VideoPortProGrabber::StatusText(LONG status) {
    return status >= 0 && status < static_cast<LONG>(std::size(kStatusTexts)) ? kStatusTexts[status]
                                                                               : kUnknownStatusText;
}

bool VideoPortProGrabber::CloseAfterFailure() {
    vpx32::VPP_closedown(0);
    return false;
}
