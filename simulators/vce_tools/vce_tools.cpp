// Stand-in for VCE_Tools_VB.DLL, the Video Capture Essentials toolkit: the
// same twelve stdcall exports under their decorated names. As a demo card it
// snaps a moving colour picture and reads it out three bytes a pixel, top
// line first; as a test double it logs each call, answers with the scripted
// statuses and keeps what it was handed for the test to read.
#include "card_runtime.h"
#include "test_picture.h"
#include "vce_tools_control.h"

#include <cstring>

using namespace card_sim;
using namespace card_sim::vce_tools;

namespace {

CardRuntime card;
Settings demoSettings;       // the demo card's, without a control block
uint32_t snappedFrame = 0;   // the frame in the card's memory since the last snap
constexpr int kMaxWidth = 32767;
uint8_t fastLine[3 * kMaxWidth];  // every line of every frame in fast mode

Settings& settings() { return card.card() ? *static_cast<Settings*>(card.card()) : demoSettings; }

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        card.Attach(module, L"vce_tools", sizeof(vce_tools::Control));
        for (int x = 0; x < kMaxWidth; ++x) ColourPixel(0, x, 0, fastLine + 3 * x);
    }
    return TRUE;
}

LONG WINAPI VCE_init() { return card.Call(kInit, "_VCE_init@0", {}); }

LONG WINAPI VCE_videoConfig(LONG a, LONG b, LONG* signal) {
    if (signal) *signal = settings().signal;
    return card.Call(kVideoConfig, "_VCE_videoConfig@12", {a, b, Arg(signal)});
}

LONG WINAPI VCE_GetFrame(BYTE value) { return card.Call(kGetFrame, "_VCE_GetFrame@4", {value}); }

LONG WINAPI VCEX_defaultConfig(BYTE* config) {
    if (config) {
        std::memcpy(&settings().leadFieldAtDefaults, config, 4);
        for (int i = 4; i < kConfigSize; ++i) config[i] = DefaultConfigByte(i);
    }
    return card.Call(kDefaultConfig, "_VCEX_defaultConfig@4", {Arg(config)});
}

LONG WINAPI VCE_getLimits(LONG signal, BYTE* limits) {
    if (limits) {
        std::memcpy(limits, &settings().horizontalLimit, 2);
        std::memset(limits + 2, kLimitsFill, 14);
    }
    return card.Call(kGetLimits, "_VCE_getLimits@8", {signal, Arg(limits)});
}

LONG WINAPI VCEX_prepare(BYTE* config, LONG value) {
    if (config) {
        std::memcpy(settings().configAtPrepare, config, kConfigSize);
        std::memcpy(config, &kPreparedStamp, 4);
    }
    return card.Call(kPrepare, "_VCEX_prepare@8", {Arg(config), value});
}

LONG WINAPI VCE_prepareSnap(SnapWindow* window) {
    Settings& s = settings();
    if (window) {
        s.windowAtPrepareSnap = *window;
        if (s.adjustOutput) {
            window->outputWidth = s.adjustedWidth;
            window->outputHeight = s.adjustedHeight;
        }
        s.snapWidth = window->outputWidth;
    }
    return card.Call(kPrepareSnap, "_VCE_prepareSnap@4", {Arg(window)});
}

LONG WINAPI VCE_startSnap() {
    snappedFrame = card.NextFrame();
    return card.Call(kStartSnap, "_VCE_startSnap@0", {});
}

LONG WINAPI VCE_finishSnap() { return card.Call(kFinishSnap, "_VCE_finishSnap@0", {}); }

LONG WINAPI VCE_startReadout(LONG mode, int16_t* lineWidth) {
    Settings& s = settings();
    s.linesRead = 0;
    if (lineWidth) *lineWidth = s.lineWidth ? s.lineWidth : static_cast<int16_t>((3 * s.snapWidth + 3) / 4 * 4);
    return card.Call(kStartReadout, "_VCE_startReadout@8", {mode, Arg(lineWidth)});
}

LONG WINAPI VCE_readLine(BYTE* line, LONG value, int16_t pixels) {
    Settings& s = settings();
    const int32_t y = s.linesRead++;
    const LONG status = card.Call(kReadLine, "_VCE_readLine@12", {Arg(line), value, pixels});
    if (s.failingLine && y + 1 >= s.failingLine) return s.failingLineStatus;
    if (!line || pixels <= 0) return status;
    if (card.fast()) {
        std::memcpy(line, fastLine, 3 * static_cast<size_t>(pixels));
    } else {
        for (int x = 0; x < pixels; ++x) ColourPixel(snappedFrame, x, y, line + 3 * x);
    }
    return status;
}

LONG WINAPI VCE_closedown(LONG value) { return card.Call(kCloseDown, "_VCE_closedown@4", {value}); }

}  // extern "C"
