// Stand-in for VPX32.DLL, the MRT VideoPort Pro toolkit: the same ten stdcall
// exports. As a demo card it snaps a moving picture through the window it is
// given and reads it out line by line, top line first, grey (mode 1) or
// blue-green-red (mode 7); as a test double it logs each call, answers with
// the scripted statuses and reports what the test set.
#include "card_runtime.h"
#include "test_picture.h"
#include "vpx32_control.h"

#include <cstring>
#include <limits>

using namespace card_sim;
using namespace card_sim::vpx32;

namespace {

constexpr int32_t kMaxLineWidth = std::numeric_limits<int16_t>::max();
constexpr LONG kGreyMode = 1;
constexpr LONG kColourMode = 7;

CardRuntime card;
const Settings kDemoCard{};

// The snapped image: its window and frame, and how far it has been read out.
SnapWindow snapped{};
uint32_t snappedFrame = 0;
LONG readoutMode = kGreyMode;
int32_t nextLine = 0;

// The first line of frame 0, for fast mode.
uint8_t fastGrey[kMaxLineWidth];
uint8_t fastColour[3 * kMaxLineWidth];

const Settings& settings() { return card.control() ? *static_cast<Settings*>(card.card()) : kDemoCard; }
Settings* testSettings() { return static_cast<Settings*>(card.card()); }

void DrawLine(BYTE* destination, int32_t width, int32_t y) {
    if (card.fast()) {
        if (readoutMode == kColourMode) std::memcpy(destination, fastColour, 3 * static_cast<size_t>(width));
        else std::memcpy(destination, fastGrey, static_cast<size_t>(width));
        return;
    }
    for (int32_t i = 0; i < width; ++i) {
        const int32_t x = snapped.hStart + i;
        if (readoutMode == kColourMode) ColourPixel(snappedFrame, x, y, destination + 3 * i);
        else destination[i] = GreyLevel(snappedFrame, x, y);
    }
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        card.Attach(module, L"vpx32", sizeof(vpx32::Control));
        for (int32_t x = 0; x < kMaxLineWidth; ++x) {
            fastGrey[x] = GreyLevel(0, x, 0);
            ColourPixel(0, x, 0, fastColour + 3 * x);
        }
    }
    return TRUE;
}

LONG WINAPI VPP_init() { return card.Call(kInit, "VPP_init", {}); }

LONG WINAPI VPP_videoConfig(LONG a, LONG b, LONG* signal) {
    const LONG status = card.Call(kVideoConfig, "VPP_videoConfig", {a, b, Arg(signal)});
    if (status == 0 && signal) *signal = settings().signal;
    return status;
}

LONG WINAPI VPP_autoCrop(SnapWindow* window) {
    const LONG status = card.Call(kAutoCrop, "VPP_autoCrop", {Arg(window)});
    if (!window) return status;
    if (Settings* s = testSettings()) s->autoCropGot = *window;
    if (status != 0) return status;
    const Window& found = settings().autoWindow;
    window->hStart = found.hStart;
    window->hSpan = found.hSpan;
    window->vStart = found.vStart;
    window->vSpan = found.vSpan;
    return status;
}

LONG WINAPI VPP_getLimits(LONG signal, Limits* limits) {
    const LONG status = card.Call(kGetLimits, "VPP_getLimits", {signal, Arg(limits)});
    if (!limits) return status;
    if (Settings* s = testSettings()) s->getLimitsGot = *limits;
    if (status != 0) return status;
    limits->width = settings().limitWidth;
    limits->height = settings().limitHeight;
    for (int i = 0; i < 3; ++i) limits->reserved1[i] = limits->reserved2[i] = kReservedLimit;
    return status;
}

LONG WINAPI VPP_prepareSnap(SnapWindow* window) {
    const LONG status = card.Call(kPrepareSnap, "VPP_prepareSnap", {Arg(window)});
    if (!window) return status;
    if (Settings* s = testSettings()) s->prepareSnapGot = *window;
    if (status == 0) snapped = *window;
    return status;
}

LONG WINAPI VPP_startSnap() {
    const LONG status = card.Call(kStartSnap, "VPP_startSnap", {});
    if (status == 0) snappedFrame = card.NextFrame();
    return status;
}

LONG WINAPI VPP_finishSnap() { return card.Call(kFinishSnap, "VPP_finishSnap", {}); }

LONG WINAPI VPP_startReadout(LONG mode, int16_t* lineWidth) {
    const LONG status = card.Call(kStartReadout, "VPP_startReadout", {mode, Arg(lineWidth)});
    if (status != 0) return status;
    if (mode != kGreyMode && mode != kColourMode) return kRangeStatus;
    if (mode == kColourMode && snapped.mono) return kNoColourStatus;
    readoutMode = mode;
    nextLine = 0;
    if (lineWidth) *lineWidth = settings().lineWidth ? settings().lineWidth : snapped.outWidth;
    return status;
}

// A line that fails is not written.
LONG WINAPI VPP_readLine(BYTE* destination, LONG zero, LONG width) {
    LONG status = card.Call(kReadLine, "VPP_readLine", {Arg(destination), zero, width});
    const int32_t line = nextLine++;
    const Settings& s = settings();
    if (status == 0 && s.failLinesFrom > 0 && line + 1 >= s.failLinesFrom) status = s.failLineStatus;
    if (status == 0 && line >= snapped.outHeight) status = kOutsizeStatus;
    if (status == 0 && (width < 1 || width > kMaxLineWidth)) status = kWidthStatus;
    if (status != 0 || !destination) return status;
    DrawLine(destination, width, snapped.vStart + line);
    return status;
}

LONG WINAPI VPP_closedown(LONG zero) { return card.Call(kClosedown, "VPP_closedown", {zero}); }

}  // extern "C"
