// Stand-in for wcx32.dll, the ImageNation CX100 driver library: the same
// eight stdcall exports. As a demo card it freezes a moving grey picture on
// each grab and copies its rows out through copy_line; as a test double it
// logs each call and returns what the test scripted.
#include "card_runtime.h"
#include "test_picture.h"
#include "wcx32_control.h"

#include <cstring>

using namespace card_sim;
using namespace card_sim::wcx32;

namespace {

CardRuntime card;
uint32_t frozenFrame = 0;  // the frame in the card's memory since the last grab
uint8_t fastRow[kWidth];

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        card.Attach(module, L"wcx32", sizeof(wcx32::Control));
        for (int x = 0; x < kWidth; ++x) fastRow[x] = GreyLevel(0, x, 0);
    }
    return TRUE;
}

LONG WINAPI init_library() { return card.Call(kInitLibrary, "init_library", {}); }
LONG WINAPI exit_library() { return card.Call(kExitLibrary, "exit_library", {}); }
LONG WINAPI reset_cx() { return card.Call(kResetCx, "reset_cx", {}); }
LONG WINAPI high_res() { return card.Call(kHighRes, "high_res", {}); }
LONG WINAPI ccir_mode() { return card.Call(kCcirMode, "ccir_mode", {}); }
LONG WINAPI acquire() { return card.Call(kAcquire, "acquire", {}); }

LONG WINAPI grab() {
    frozenFrame = card.NextFrame();
    return card.Call(kGrab, "grab", {});
}

LONG WINAPI copy_line(BYTE* destination, LONG row, LONG r, LONG h) {
    const LONG result = card.Call(kCopyLine, "copy_line", {Arg(destination), row, r, h});
    if (!destination) return result;
    if (card.fast()) {
        std::memcpy(destination, fastRow, kWidth);
    } else {
        for (int x = 0; x < kWidth; ++x) destination[x] = GreyLevel(frozenFrame, x, row);
    }
    return result;
}

}  // extern "C"
