#include "flashbus_grabber.h"

#include "fbus32.h"
#include "host_array.h"
#include "packed_dib.h"

namespace {

// What the colour mode decides: the depth of the offscreen capture, the
// packed DIB variant and the flag word that asks the library for it.
struct CaptureMode {
    DibFormat format;
    SHORT depth;
    SHORT dibFlags;
};
constexpr CaptureMode kGreyMode{DibFormat::Grey8, 8, fbus32::kGreyDib};
constexpr CaptureMode kColourMode{DibFormat::Bgr24, 24, fbus32::kColourDib};

const CaptureMode& ModeFor(VARIANT_BOOL color) { return color ? kColourMode : kGreyMode; }

// The video configurations tried, in this order, when the card has none stored.
struct VideoConfig {
    SHORT type, standard, source, syncOnGreen;
};
constexpr VideoConfig kFallbackConfigs[] = {{0, 0, 1, 0}, {2, 0, 0, 0}};

bool Apply(const VideoConfig& c) {
    return fbus32::FB_SetVideoConfig(c.type, c.standard, c.source, c.syncOnGreen) != fbus32::kFailed;
}

constexpr const wchar_t* kNoVideoSize = L"Can not get video size";

}  // namespace

bool FlashBusGrabber::Init() {
    initialized_ = false;
    SHORT status;
    try {
        status = fbus32::FB_Init();
    } catch (const CardLibraryError&) {
        return messages_.Unreachable();
    }
    if (status == fbus32::kFailed) return messages_.Fail(L"Unable to initialize FlashBus MV");
    if (!ConfigureVideo()) return CleanUpAndFail(L"Can not set video configuration");

    LONG x = 0, y = 0;  // the frame's origin, of no use here
    if (fbus32::FB_GetVideoRect(fbus32::kVideoRect, &x, &y, &xSize_, &ySize_) == fbus32::kFailed)
        return CleanUpAndFail(kNoVideoSize);
    // A size the host could not allocate by (none, negative, or a frame
    // beyond a positive Long) is no usable size either.
    const CaptureMode& mode = ModeFor(color_);
    const auto geometry = UsableDibGeometry(xSize_, ySize_, mode.format);
    if (!geometry) return CleanUpAndFail(kNoVideoSize);
    if (fbus32::FB_VideoOffscreen(xSize_, ySize_, mode.depth, 0) == fbus32::kFailed)
        return CleanUpAndFail(L"Can not set offscreen capture mode");

    dibxSize_ = geometry->rowLength;
    bufferSize_ = geometry->bufferSize;
    sizedForColor_ = color_;
    initialized_ = true;
    return true;
}

// The configuration stored for the card, as it stands; only when there is
// none, the fall-backs in turn.
bool FlashBusGrabber::ConfigureVideo() {
    fbus32::StoredVideoConfig stored{};
    if (fbus32::FB_GetMiscParm(fbus32::kStoredConfigIndex, &stored) != fbus32::kFailed)
        return Apply({stored.type, stored.standard, stored.source, stored.syncOnGreen});
    for (const VideoConfig& config : kFallbackConfigs)
        if (Apply(config)) return true;
    return false;
}

// Releases the card before the user sees why Init failed.
bool FlashBusGrabber::CleanUpAndFail(const wchar_t* text) {
    fbus32::FB_Cleanup();
    return messages_.Fail(text);
}

void FlashBusGrabber::ShutDown() {
    bufferSize_ = 0;
    xSize_ = 0;
    ySize_ = 0;
    dibxSize_ = 0;
    color_ = VARIANT_FALSE;
    fbus32::FB_Cleanup();
    initialized_ = false;
}

bool FlashBusGrabber::Grab(SAFEARRAY** buffer) {
    if (!initialized_) return messages_.Fail(L"FlahshBus MV not initialized");
    const HostArray array(buffer);
    if (array.size() != bufferSize_) return messages_.Fail(L"Incorrect buffer size");

    fbus32::FB_VideoLive(fbus32::kTrue, 2);
    fbus32::FB_WaitVSync(2);
    fbus32::FB_VideoGrab(2, 0, 0, 0);
    SHORT status;
    {
        // Locked only while the library writes, so it cannot be reallocated meanwhile.
        const auto lock = array.lock();
        status = fbus32::FB_ScreenToDIB(0, 0, xSize_, ySize_, ModeFor(sizedForColor_).dibFlags, lock.data());
    }
    if (status == fbus32::kFailed) return messages_.Fail(L"Can not get video frame");
    return true;
}
