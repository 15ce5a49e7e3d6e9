#include "deliverable_table.h"

#include "deliverables.h"
#include "fbus32_control.h"
#include "vce_tools_control.h"
#include "vpx32_control.h"
#include "wcx32_control.h"

using testing_support::Card;
using testing_support::CardControlBase;

namespace conformance {

namespace {

template <typename Control>
auto& Fresh(const wchar_t* library, const char* name) {
    auto& card = Card<Control>(library, name);
    card.Reset();
    return card;
}

auto& Wcx32() { return Card<card_sim::wcx32::Control>(L"wcx32", "wcx32"); }
auto& Fbus32() { return Card<card_sim::fbus32::Control>(L"fbus32", "fbus32"); }
auto& Vpx32() { return Card<card_sim::vpx32::Control>(L"vpx32", "vpx32"); }
auto& VceTools() { return Card<card_sim::vce_tools::Control>(L"vce_tools", "vce_tools"); }

int16_t AnyShort(std::mt19937& rng) {
    // Mostly plausible sizes, sometimes the edges of a 16-bit value.
    static const int16_t kEdges[] = {0, -1, 1, -32768, 32767, 2, 3};
    std::uniform_int_distribution<int> pick(0, 9);
    const int n = pick(rng);
    if (n < 7) return kEdges[n];
    return static_cast<int16_t>(std::uniform_int_distribution<int>(1, 2000)(rng));
}

const std::vector<Deliverable> kAll = {
    {"CX100", &kCx100Identity, L"CX100",
     []() -> CardControlBase& { return Fresh<card_sim::wcx32::Control>(L"wcx32", "wcx32"); },
     [](std::mt19937& rng) { Wcx32().Returns(card_sim::wcx32::kCcirMode, std::uniform_int_distribution<int>(-1, 3)(rng)); },
     // The CX100's sizes are fixed; an unknown video mode leaves them as they were.
     [](int) { Wcx32().Returns(card_sim::wcx32::kCcirMode, 7); }, 1, 8, "reset_cx",
     false, false, false, true, false, L"CX100 not initialized", L"Incorrect buffer size"},
    {"FlashBusMV", &kFlashBusMvIdentity, L"FlashBus MV",
     []() -> CardControlBase& { return Fresh<card_sim::fbus32::Control>(L"fbus32", "fbus32"); },
     [](std::mt19937& rng) {
         Fbus32().settings().width = AnyShort(rng);
         Fbus32().settings().height = AnyShort(rng);
     },
     [](int which) {
         static const int16_t kSizes[][2] = {{0, 480}, {640, 0}, {-640, 480}, {640, -1}, {32767, 32767}};
         Fbus32().settings().width = kSizes[which][0];
         Fbus32().settings().height = kSizes[which][1];
     },
     5, 10, "FB_GetMiscParm", false, true, true, true, false, L"FlahshBus MV not initialized", L"Incorrect buffer size"},
    {"VideoPortPro", &kVideoPortProIdentity, L"VideoPort Pro",
     []() -> CardControlBase& { return Fresh<card_sim::vpx32::Control>(L"vpx32", "vpx32"); },
     [](std::mt19937& rng) {
         auto& s = Vpx32().settings();
         s.autoWindow = {AnyShort(rng), AnyShort(rng), AnyShort(rng), AnyShort(rng)};
         s.limitWidth = AnyShort(rng);
         s.limitHeight = AnyShort(rng);
     },
     [](int which) {
         // Spans the trim leaves at zero or below, and a width whose colour
         // stride would wrap 16 bits.
         static const card_sim::vpx32::Window kWindows[] = {
             {0, 640, 0, 4}, {0, 640, 0, 3}, {0, 640, 0, -32768}, {0, 32767, 0, 32767}, {0, 12000, 0, 480}};
         Vpx32().settings().autoWindow = kWindows[which];
     },
     5, 10, "VPP_videoConfig", false, true, false, true, false, L"VideoPort Pro not initialized",
     L"Incorrect buffer size"},
    {"VCE", &kVceIdentity, L"Video Capture Essentials",
     []() -> CardControlBase& { return Fresh<card_sim::vce_tools::Control>(L"vce_tools", "vce_tools"); },
     [](std::mt19937& rng) {
         VceTools().settings().adjustedWidth = AnyShort(rng);
         VceTools().settings().adjustedHeight = AnyShort(rng);
     },
     [](int which) {
         static const int16_t kSizes[][2] = {{-640, 480}, {640, -480}, {-1, -1}, {32767, 32767}};
         VceTools().settings().adjustedWidth = kSizes[which][0];
         VceTools().settings().adjustedHeight = kSizes[which][1];
     },
     4, 12, "_VCE_videoConfig@12", true, false, false, false, true, nullptr, L"Incorrect buffer size."},
};

}  // namespace

const std::vector<Deliverable>& BuiltDeliverables() {
    static const std::vector<Deliverable> built = [] {
        std::vector<Deliverable> present;
        for (const Deliverable& d : kAll) {
            const std::wstring dll = testing_support::BinFolder() + L"\\" + d.identity->libraryName + L".dll";
            if (GetFileAttributesW(dll.c_str()) != INVALID_FILE_ATTRIBUTES) present.push_back(d);
        }
        return present;
    }();
    return built;
}

}  // namespace conformance
