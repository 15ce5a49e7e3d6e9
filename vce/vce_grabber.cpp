#include "vce_grabber.h"

#include "grey_conversion.h"
#include "host_array.h"

#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

using namespace VCE_Tools;

namespace {

// The fixed snap window: 754 pixels of each line and 480 lines from line 24,
// delivered at 640 x 480, the span centred within the card's full width.
constexpr int16_t kHorizontalSpan = 754;
constexpr int16_t kVerticalStart = 24;
constexpr int16_t kVerticalSpan = 480;
constexpr LONG kWidth = 640;
constexpr LONG kHeight = 480;

// The start that centres the span in a line of `limit` pixels: half the
// 16-bit difference, rounded to nearest with ties to the even neighbour
// (767 gives 6, 769 gives 8). A difference outside 16 bits overflows.
int16_t CentredStart(int16_t limit) {
    const int32_t difference = int32_t{limit} - kHorizontalSpan;
    if (difference < std::numeric_limits<int16_t>::min()) throw ComError{DISP_E_OVERFLOW};
    const int32_t floorHalf = (difference - (difference & 1)) / 2;
    const bool tieToOdd = (difference & 1) && (floorHalf & 1);
    return static_cast<int16_t>(tieToOdd ? floorHalf + 1 : floorHalf);
}

}  // namespace

VceGrabber::VceGrabber() : bitmapInfo_(MakeGreyBitmapInfo(kWidth, kHeight, kWidth * kHeight)) {}

VceGrabber::~VceGrabber() {
    try {
        ShutDown();
    } catch (...) {
        // The toolkit cannot be reached: there is nothing left to close.
    }
}

bool VceGrabber::Init() {
    // Only the toolkit's opening call is guarded: a library or entry that
    // cannot be found, or a status that is no 16-bit code, means the card
    // cannot be reached at all.
    int16_t status;
    try {
        status = NarrowStatus(VCE_init());
    } catch (const ComError&) {
        return messages_.Unreachable();
    }
    if (!CheckStatus(status)) return false;

    // From here on every failure closes the toolkit again.
    LONG signal = 0;
    if (!CheckStatus(VCE_videoConfig(0, 0, &signal))) return CloseAfterFailure();
    if (signal != 0) {
        ShutDown();
        return messages_.Fail(L"No video signal detected");
    }
    VCE_GetFrame(1);

    config_.leadField = 0;
    if (!CheckStatus(VCEX_defaultConfig(&config_))) return CloseAfterFailure();
    SnapWindow& window = config_.snap;
    window.mono = 0;
    window.snapOption = 1;
    config_.captureMode = 7;

    Limits limits{};
    if (!CheckStatus(VCE_getLimits(signal, &limits))) return CloseAfterFailure();
    window.horizontalSpan = kHorizontalSpan;
    window.verticalSpan = kVerticalSpan;
    window.horizontalStart = CentredStart(limits.horizontalLimit);
    window.verticalStart = kVerticalStart;
    window.outputWidth = kWidth;
    window.outputHeight = kHeight;
    if (!CheckStatus(VCEX_prepare(&config_, 1))) return CloseAfterFailure();
    if (!CheckStatus(VCE_prepareSnap(&window))) return CloseAfterFailure();
    if (!TakeGeometry(window)) {
        ShutDown();
        return messages_.Fail(L"Incorrect frame size");
    }

    // A warm-up grab that failed has told the user why, and the toolkit may
    // already be closed: the card is not ready.
    if (!WarmUpGrab()) return CloseAfterFailure();
    initialized_ = true;
    return true;
}

void VceGrabber::ShutDown() {
    VCE_closedown(1);
    initialized_ = false;
}

bool VceGrabber::Grab(SAFEARRAY** buffer) {
    // A host may hand over a larger array; the frame fills its start.
    const HostArray array(buffer);
    if (array.size() < BufferSize()) return messages_.Fail(L"Incorrect buffer size.");
    const auto lock = array.lock();

    if (!CheckStatus(VCE_startSnap())) return false;
    if (!CheckStatus(VCE_finishSnap())) return false;
    const LONG width = XSize();
    const LONG height = YSize();
    const int64_t lineWidth = PaddedRowLength(3 * int64_t{width});
    int16_t reportedWidth = 0;
    if (!CheckStatus(VCE_startReadout(kColourReadout, &reportedWidth))) return false;
    if (reportedWidth != lineWidth) return messages_.Fail(L"Incorrect buffer width");

    // Every byte written lies within the array: the header, and rows of
    // DIBxSize bytes (of which the first XSize are written) up to BufferSize.
    const int64_t rowLength = DIBxSize();
    if (width > rowLength || kGreyPixelOffset + rowLength * height > array.size()) throw ComError{DISP_E_BADINDEX};

    BYTE* const dib = lock.data();
    std::memcpy(dib, &bitmapInfo_, sizeof bitmapInfo_);
    // The toolkit reads the frame out top line first; each line goes
    // straight into its row, counted from the end: the bottom-up order of a
    // DIB. The row padding and anything past BufferSize keep the host's bytes.
    std::vector<BYTE> line(static_cast<size_t>(lineWidth) + 1);
    for (LONG r = 1; r <= height; ++r) {
        if (!CheckStatus(VCE_readLine(line.data(), 0, static_cast<int16_t>(width)))) return CloseAfterFailure();
        ColourToGrey(line.data(), dib + kGreyPixelOffset + rowLength * (height - r), static_cast<size_t>(width));
    }
    return true;
}

bool VceGrabber::CheckStatus(LONG status) const {
    const int16_t code = NarrowStatus(status);
    return code == 0 || messages_.Fail(StatusText(code), BoxIcon::Exclamation);
}

bool VceGrabber::CloseAfterFailure() {
    ShutDown();
    return false;
}

bool VceGrabber::TakeGeometry(const SnapWindow& window) {
    // The toolkit may have adjusted the output size. The host allocates by
    // the sizes reported, so a size that gives no usable frame is refused.
    const auto geometry = UsableDibGeometry(window.outputWidth, window.outputHeight, DibFormat::Grey8);
    if (!geometry) return false;
    BITMAPINFOHEADER& header = bitmapInfo_.header;
    header.biBitCount = 8;
    header.biWidth = geometry->width;
    header.biHeight = geometry->height;
    header.biSizeImage = static_cast<DWORD>(geometry->bufferSize - kGreyPixelOffset);
    return true;
}

bool VceGrabber::WarmUpGrab() {
    struct Destroy {
        void operator()(SAFEARRAY* a) const { SafeArrayDestroy(a); }
    };
    std::unique_ptr<SAFEARRAY, Destroy> array(SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(BufferSize()) + 1));
    if (!array) throw std::bad_alloc();
    SAFEARRAY* reference = array.get();
    return Grab(&reference);
}
