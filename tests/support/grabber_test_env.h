// What every plug-in test program shares: the COM apartment, the plug-ins
// and VideoGrabber.tlb registered from the build's bin folder, the cards
// folder on the DLL search path (unless --no-cards), and the simulator
// exports hidden with --hide=<library>:<export>.
#pragma once

#include "com_ptr.h"
#include "message_box_watch.h"
#include "simulated_card.h"
#include "video_grabber.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testing_support {

// Folder of the test program, where the plug-ins and VideoGrabber.tlb lie.
std::wstring BinFolder();
// True when the cards' stand-ins are on the search path.
bool CardsPresent();
// Exports hidden in the simulator `library` by the command line.
std::vector<std::string> HiddenExports(const std::string& library);

// The control block of a card, made on first use (before the simulator
// loads) with the exports the command line hides.
template <typename Control>
SimulatedCard<Control>& Card(const wchar_t* library, const char* narrowName) {
    static SimulatedCard<Control>* card = [&] {
        auto* c = new SimulatedCard<Control>(library);
        for (const std::string& e : HiddenExports(narrowName)) c->Hide(e.c_str());
        return c;
    }();
    return *card;
}

ComPtr<IVideoGrabber> CreateByProgId(const wchar_t* progId);

// A message box as the tests expect it.
struct Box {
    std::wstring title;
    std::wstring text;
    UINT buttonValue;
    bool operator==(const SeenMessageBox& s) const {
        return title == s.title && text == s.text && buttonValue == s.buttonValue;
    }
};
inline bool operator==(const SeenMessageBox& s, const Box& b) { return b == s; }
void PrintTo(const Box& b, std::ostream* os);

}  // namespace testing_support

void PrintTo(const SeenMessageBox& b, std::ostream* os);
