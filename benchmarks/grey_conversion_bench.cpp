// How fast a 640 x 480 colour frame becomes grey, line by line into the rows
// of a packed DIB as Grab does it: every conversion this build has that the
// processor supports, side by side with a plain memcpy of the same 307,200
// output bytes, the floor for any of them.
//
// Each figure is the best of several rounds (the machine is shared and
// noisy); compare figures within one run only.
#include "grey_conversion.h"
#include "packed_dib.h"
#include "test_picture.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kFramesPerRound = 200;
constexpr int kRounds = 7;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Best time per frame, in seconds, of `frame` over the rounds.
template <typename F>
double BestFrameTime(F frame) {
    double best = 1e30;
    for (int round = 0; round < kRounds; ++round) {
        const double start = Now();
        for (int i = 0; i < kFramesPerRound; ++i) {
            frame();
            // Every frame's bytes count as used: no frame may be optimised away.
            asm volatile("" ::: "memory");
        }
        best = std::min(best, (Now() - start) / kFramesPerRound);
    }
    return best;
}

void Print(const char* name, double seconds, double memcpySeconds) {
    std::printf("%-24s %9.1f us/frame %7.2f Gpx/s %7.2f x memcpy\n", name, seconds * 1e6,
                kWidth * kHeight / seconds / 1e9, seconds / memcpySeconds);
}

}  // namespace

int main() {
    const DibLayout layout = PackedDibLayout(kWidth, kHeight, DibFormat::Grey8);
    // The colour lines as the toolkit reads them out.
    std::vector<uint8_t> frame(3 * kWidth * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) card_sim::ColourPixel(1, x, y, &frame[3 * (y * kWidth + x)]);
    std::vector<uint8_t> dib(layout.bufferSize);
    std::vector<uint8_t> greyFrame(kWidth * kHeight);

    const double memcpyTime = BestFrameTime([&] {
        std::memcpy(dib.data() + kGreyPixelOffset, greyFrame.data(), greyFrame.size());
    });
    std::printf("640 x 480 colour frame to grey (%d rounds of %d frames, best round)\n", kRounds, kFramesPerRound);
    Print("memcpy of the grey bytes", memcpyTime, memcpyTime);
    for (const GreyConversion& c : GreyConversions()) {
        if (!c.supported) {
            std::printf("%-24s not supported by this processor\n", c.name);
            continue;
        }
        // Each colour line into its row counted from the end of the
        // buffer, as Grab places them.
        const double t = BestFrameTime([&] {
            for (int r = 1; r <= kHeight; ++r)
                c.convert(&frame[3 * kWidth * (r - 1)], dib.data() + kGreyPixelOffset + layout.rowLength * (kHeight - r),
                          kWidth);
        });
        Print(c.name, t, memcpyTime);
    }
    return 0;
}
