// What vgview showed: the test runs it on a simulated card for a few frames
// (tests/host/CMakeLists.txt); it saved its window's client area and the last
// frame. The window must show that frame pixel for pixel at 1:1, and the
// frame must be the demo card's picture of that frame number.
#include "picture_file.h"
#include "test_picture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct ViewerRun {
    const char* name;
    const wchar_t* files;  // <files>-snapshot.bmp and <files>-frame.bmp
    bool colour;
    uint32_t lastFrame;  // the card's frame number: the first Grab takes frame 0
};

const ViewerRun kRuns[] = {
    {"CX100", L"cx100", false, 2},
#ifdef VIEWER_COLOUR_RUN
    {"FlashBusColour", L"flashbus-color", true, 2},
#endif
};

class ViewerPicture : public testing::TestWithParam<ViewerRun> {};

TEST_P(ViewerPicture, WindowShowsTheLastFrameAndTheFrameIsTheCardsPicture) {
    const std::wstring base = std::wstring(VIEWER_DIR) + L"\\" + GetParam().files;
    const Picture snapshot = ReadPicture(base + L"-snapshot.bmp");
    const Picture frame = ReadPicture(base + L"-frame.bmp");
    ASSERT_EQ(snapshot.width, frame.width);
    ASSERT_EQ(snapshot.height, frame.height);
    for (UINT y = 0; y < frame.height; ++y)
        for (UINT x = 0; x < frame.width; ++x) {
            ASSERT_EQ(std::memcmp(snapshot.at(x, y), frame.at(x, y), 3), 0) << "window and frame differ at " << x << ", " << y;
            BYTE card[3];
            if (GetParam().colour) card_sim::ColourPixel(GetParam().lastFrame, x, y, card);
            else card[0] = card[1] = card[2] = card_sim::GreyLevel(GetParam().lastFrame, x, y);
            ASSERT_EQ(std::memcmp(frame.at(x, y), card, 3), 0) << "frame and card picture differ at " << x << ", " << y;
        }
}

INSTANTIATE_TEST_SUITE_P(Runs, ViewerPicture, testing::ValuesIn(kRuns), [](const auto& info) { return info.param.name; });

}  // namespace
