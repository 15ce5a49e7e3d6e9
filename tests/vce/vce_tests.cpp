// clsVCE through COM, against the simulated VCE_Tools_VB.DLL: the Init
// sequence and its arguments from the call log, every failure with its
// message box and the ShutDown that follows it, status narrowing inside and
// outside Init's guard, and the bytes of the grey frame in the host's array.
#include "grabber_fixture.h"
#include "test_picture.h"
#include "vce_tools_control.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

using namespace testing_support;
namespace vt = card_sim::vce_tools;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr UINT kOk = 0;
constexpr UINT kExclamation = 48;
const wchar_t kTitle[] = L"Error - Video Capture Essentials";
const Box kUnreachable{L"Error", L"Unable to access Video Capture Essentials frame grabber", kOk};

// Init's calls up to the snap preparation, in order.
const std::vector<std::string> kInitCalls = {
    "_VCE_init@0",      "_VCE_videoConfig@12", "_VCE_GetFrame@4",   "_VCEX_defaultConfig@4",
    "_VCE_getLimits@8", "_VCEX_prepare@8",     "_VCE_prepareSnap@4"};
const LoggedCall kCloseDown{"_VCE_closedown@4", {1}};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The calls of a grab that reads n lines.
std::vector<std::string> LinesRead(int n) {
    std::vector<std::string> calls = {"_VCE_startSnap@0", "_VCE_finishSnap@0", "_VCE_startReadout@8"};
    calls.insert(calls.end(), n, "_VCE_readLine@12");
    return calls;
}

// The grey level of a pixel of the simulated card's picture.
BYTE ExpectedGrey(uint32_t frame, int x, int y) {
    uint8_t bgr[3];
    card_sim::ColourPixel(frame, x, y, bgr);
    return static_cast<BYTE>((bgr[0] + bgr[1] + bgr[2] + 1) / 3);
}

// The geometry the object reports.
constexpr Geometry kDefaultGeometry{640, 480, 640, 308264};

struct Vce {
    using Control = card_sim::vce_tools::Control;
    static constexpr const wchar_t* kLibrary = L"vce_tools";
    static constexpr const char* kName = "vce_tools";
    static constexpr const wchar_t* kProgId = L"TRVGPlugVCE.clsVCE";
};

class VceTest : public GrabberTest<Vce> {
protected:
    // A successful Init, its warm-up grab included, then a clean log.
    void InitAndClearLog() {
        ASSERT_TRUE(Init());
        ASSERT_THAT(boxes.seen(), IsEmpty());
        card().ClearLog();
    }
    static void AdjustOutput(int16_t width, int16_t height) {
        settings().adjustOutput = 1;
        settings().adjustedWidth = width;
        settings().adjustedHeight = height;
    }
};

TEST_F(VceTest, ANewObjectReports640x480GreyWithoutTouchingTheCard) {
    EXPECT_EQ(kDefaultGeometry, geometry());
    // Puts change nothing; the card has colour, the frames are grey.
    EXPECT_EQ(S_OK, grabber->put_BufferSize(7));
    EXPECT_EQ(S_OK, grabber->put_DIBxSize(7));
    EXPECT_EQ(S_OK, grabber->put_XSize(7));
    EXPECT_EQ(S_OK, grabber->put_YSize(7));
    EXPECT_EQ(S_OK, grabber->put_HasColor(VARIANT_FALSE));
    EXPECT_EQ(S_OK, grabber->put_Color(VARIANT_TRUE));
    EXPECT_EQ(S_OK, grabber->put_HasSetupDlg(VARIANT_TRUE));
    EXPECT_EQ(kDefaultGeometry, geometry());
    struct BoolCase {
        HRESULT (STDMETHODCALLTYPE IVideoGrabber::*getter)(VARIANT_BOOL*);
        VARIANT_BOOL expected;
    };
    for (const BoolCase& c : {BoolCase{&IVideoGrabber::get_HasColor, VARIANT_TRUE},
                              BoolCase{&IVideoGrabber::get_Color, VARIANT_FALSE},
                              BoolCase{&IVideoGrabber::get_HasSetupDlg, VARIANT_FALSE}}) {
        VARIANT_BOOL b = 123;
        EXPECT_EQ(S_OK, (grabber.get()->*c.getter)(&b));
        EXPECT_EQ(c.expected, b);
    }
    EXPECT_EQ(S_OK, grabber->SetupDlg());
    EXPECT_THAT(card().Calls(), IsEmpty());
    EXPECT_THAT(boxes.seen(), IsEmpty());
}

TEST_F(VceTest, InitSetsUpTheSnapWindowAndWarmsUpWithOneGrab) {
    ASSERT_TRUE(Init());
    EXPECT_THAT(boxes.seen(), IsEmpty());
    const std::vector<LoggedCall> calls = card().Calls();
    ASSERT_EQ(7u + 3u + 480u, calls.size());
    // The records are the object's own: the snap window lies 32 bytes into
    // the configuration record.
    const int64_t signal = calls[1].args.at(2), config = calls[3].args.at(0), limits = calls[4].args.at(1);
    EXPECT_NE(0, signal);
    EXPECT_NE(0, config);
    EXPECT_NE(0, limits);
    EXPECT_THAT(std::vector<LoggedCall>(calls.begin(), calls.begin() + 10),
                ElementsAre(LoggedCall{"_VCE_init@0", {}}, LoggedCall{"_VCE_videoConfig@12", {0, 0, signal}},
                            LoggedCall{"_VCE_GetFrame@4", {1}}, LoggedCall{"_VCEX_defaultConfig@4", {config}},
                            LoggedCall{"_VCE_getLimits@8", {0, limits}}, LoggedCall{"_VCEX_prepare@8", {config, 1}},
                            LoggedCall{"_VCE_prepareSnap@4", {config + 32}}, LoggedCall{"_VCE_startSnap@0", {}},
                            LoggedCall{"_VCE_finishSnap@0", {}},
                            LoggedCall{"_VCE_startReadout@8", {7, calls[9].args.at(1)}}));
    // The warm-up frame is read line by line through one line buffer.
    const int64_t line = calls[10].args.at(0);
    for (size_t i = 10; i < calls.size(); ++i)
        ASSERT_EQ((LoggedCall{"_VCE_readLine@12", {line, 0, 640}}), calls[i]) << "call " << i;

    // The window as the card got it: 754 of its 768 pixels centred, 480
    // lines from line 24, 640 x 480 out, snapped in colour.
    const vt::SnapWindow& w = settings().windowAtPrepareSnap;
    EXPECT_EQ(7, w.horizontalStart);
    EXPECT_EQ(754, w.horizontalSpan);
    EXPECT_EQ(640, w.outputWidth);
    EXPECT_EQ(24, w.verticalStart);
    EXPECT_EQ(480, w.verticalSpan);
    EXPECT_EQ(480, w.outputHeight);
    EXPECT_EQ(1, w.snapOption);
    EXPECT_EQ(0, w.mono);
    // The configuration record at _VCEX_prepare@8: the defaults, the first
    // field cleared before they were loaded, the window at 32, 7 at 72.
    EXPECT_EQ(0, settings().leadFieldAtDefaults);
    const uint8_t* record = settings().configAtPrepare;
    int32_t at72 = 0;
    std::memcpy(&at72, record + 72, 4);
    EXPECT_EQ(7, at72);
    EXPECT_EQ(0, std::memcmp(record + 32, &w, sizeof w));
    for (int i = 4; i < vt::kConfigSize; ++i) {
        if ((i >= 32 && i < 52) || (i >= 72 && i < 76)) continue;
        EXPECT_EQ(vt::DefaultConfigByte(i), record[i]) << "configuration byte " << i;
    }
    EXPECT_EQ(kDefaultGeometry, geometry());
}

TEST_F(VceTest, ASecondInitRepeatsTheSequenceWithAFreshWindow) {
    AdjustOutput(320, 240);
    ASSERT_TRUE(Init());
    EXPECT_EQ((Geometry{320, 240, 320, 1064 + 320 * 240}), geometry());
    settings().adjustOutput = 0;
    card().ClearLog();
    ASSERT_TRUE(Init());
    EXPECT_EQ(Concat(kInitCalls, LinesRead(480)), card().CallNames());
    // The toolkit had written into the record; the first field is cleared
    // again and the window set afresh.
    EXPECT_EQ(0, settings().leadFieldAtDefaults);
    EXPECT_EQ(640, settings().windowAtPrepareSnap.outputWidth);
    EXPECT_EQ(480, settings().windowAtPrepareSnap.outputHeight);
    EXPECT_EQ(kDefaultGeometry, geometry());
}

struct StartCase {
    int16_t horizontalLimit;
    int16_t horizontalStart;
};

class VceHorizontalStartTest : public VceTest, public ::testing::WithParamInterface<StartCase> {};

// Half the spare width, halves going to the even neighbour.
TEST_P(VceHorizontalStartTest, CentresThe754PixelSpan) {
    settings().horizontalLimit = GetParam().horizontalLimit;
    ASSERT_TRUE(Init());
    EXPECT_EQ(GetParam().horizontalStart, settings().windowAtPrepareSnap.horizontalStart);
}

INSTANTIATE_TEST_SUITE_P(Limits, VceHorizontalStartTest,
                         ::testing::Values(StartCase{768, 7}, StartCase{767, 6}, StartCase{769, 8}, StartCase{755, 0},
                                           StartCase{757, 2}, StartCase{754, 0}, StartCase{700, -27},
                                           StartCase{753, 0}, StartCase{751, -2}));

// A toolkit status other than 0 anywhere in Init: its text under the card's
// title with the exclamation icon, then (after _VCE_init@0) ShutDown.
struct InitFailure {
    vt::Function function;
    const char* name;
    int32_t status;
    const wchar_t* text;
};

class VceInitFailureTest : public VceTest, public ::testing::WithParamInterface<InitFailure> {};

TEST_P(VceInitFailureTest, ShowsTheStatusThenClosesTheToolkit) {
    const InitFailure f = GetParam();
    card().Returns(f.function, f.status);
    std::vector<std::string> callsWhenShown;
    MessageBoxWatch watch([&](const SeenMessageBox&) { callsWhenShown = card().CallNames(); });
    EXPECT_FALSE(Init());
    EXPECT_THAT(watch.seen(), ElementsAre(Box{kTitle, f.text, kExclamation}));
    const auto failed = std::find(kInitCalls.begin(), kInitCalls.end(), f.name);
    ASSERT_NE(kInitCalls.end(), failed);
    const std::vector<std::string> upToFailure(kInitCalls.begin(), failed + 1);
    EXPECT_EQ(upToFailure, callsWhenShown);
    if (f.function == vt::kInit) {
        // The toolkit never opened: nothing to close.
        EXPECT_EQ(upToFailure, card().CallNames());
    } else {
        EXPECT_EQ(Concat(upToFailure, {"_VCE_closedown@4"}), card().CallNames());
        EXPECT_EQ(kCloseDown, card().Calls().back());
    }
    EXPECT_EQ(kDefaultGeometry, geometry());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, VceInitFailureTest,
    ::testing::Values(InitFailure{vt::kInit, "_VCE_init@0", 1, L"VCE toolkit is already in use"},
                      InitFailure{vt::kVideoConfig, "_VCE_videoConfig@12", 3, L"No VCE card driver detected"},
                      InitFailure{vt::kDefaultConfig, "_VCEX_defaultConfig@4", 6, L"Video digitizer in not configured"},
                      InitFailure{vt::kGetLimits, "_VCE_getLimits@8", 14, L"Parameter to function is out of range"},
                      InitFailure{vt::kPrepare, "_VCEX_prepare@8", 19, L"Out of memory"},
                      InitFailure{vt::kPrepareSnap, "_VCE_prepareSnap@4", 15, L"Image width is out of range"},
                      InitFailure{vt::kPrepareSnap, "_VCE_prepareSnap@4", -1, L"Unknown error"}));

struct StatusCase {
    int32_t status;
    const wchar_t* text;  // nullptr: no box, Init succeeds
};

class VceStatusTextTest : public VceTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(VceStatusTextTest, StatusOfTheOpeningCall) {
    card().Returns(vt::kInit, GetParam().status);
    if (!GetParam().text) {
        EXPECT_TRUE(Init());
        EXPECT_THAT(boxes.seen(), IsEmpty());
        return;
    }
    EXPECT_FALSE(Init());
    EXPECT_THAT(boxes.seen(), ElementsAre(Box{kTitle, GetParam().text, kExclamation}));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, VceStatusTextTest,
    ::testing::Values(StatusCase{0, nullptr}, StatusCase{1, L"VCE toolkit is already in use"},
                      StatusCase{2, L"No VCE detected."}, StatusCase{3, L"No VCE card driver detected"},
                      StatusCase{4, L"The installed VCE card is old-style"}, StatusCase{5, L"Toolkit is not initialized"},
                      StatusCase{6, L"Video digitizer in not configured"},
                      StatusCase{7, L"Attempt to start snap before snap prepared"},
                      StatusCase{8, L"Attempt to finish snap before snap started"},
                      StatusCase{9, L"Attempt to read image before snap finished"},
                      StatusCase{10, L"Attempt to read image before startReadout"},
                      StatusCase{11, L"No video signal detected"},
                      StatusCase{12, L"Attempt to read monochrome image as colour"},
                      StatusCase{13, L"Attempt to read outside snapped image"},
                      StatusCase{14, L"Parameter to function is out of range"},
                      StatusCase{15, L"Image width is out of range"}, StatusCase{16, L"Image height is out of range"},
                      StatusCase{17, L"Bad pointer (possibly NULL)"},
                      StatusCase{18, L"Lost contact with digitizer (no acknowledge)"}, StatusCase{19, L"Out of memory"},
                      StatusCase{20, L"An error while reading or writing to file"}, StatusCase{21, L"Unknown error"},
                      StatusCase{-1, L"Unknown error"}, StatusCase{32767, L"Unknown error"},
                      StatusCase{-32768, L"Unknown error"}));

TEST_F(VceTest, NoVideoSignalClosesTheToolkitBeforeSayingSo) {
    settings().signal = 1;
    std::vector<std::string> callsWhenShown;
    MessageBoxWatch watch([&](const SeenMessageBox&) { callsWhenShown = card().CallNames(); });
    EXPECT_FALSE(Init());
    EXPECT_THAT(watch.seen(), ElementsAre(Box{kTitle, L"No video signal detected", kOk}));
    EXPECT_THAT(callsWhenShown, ElementsAre("_VCE_init@0", "_VCE_videoConfig@12", "_VCE_closedown@4"));
    EXPECT_EQ(callsWhenShown, card().CallNames());
}

// A 32-bit status that is no 16-bit code: inside Init's guard the card
// counts as unreachable; anywhere else the call fails with an overflow,
// no box and nothing closed.
struct OverflowCase {
    vt::Function function;
    int32_t status;
    bool inGrab;
    const char* lastCall;
};

class VceOverflowTest : public VceTest, public ::testing::WithParamInterface<OverflowCase> {};

TEST_P(VceOverflowTest, StatusOutside16Bits) {
    const OverflowCase c = GetParam();
    if (c.inGrab) InitAndClearLog();
    card().Returns(c.function, c.status);
    VARIANT_BOOL ok = VARIANT_TRUE;
    if (c.function == vt::kInit) {
        EXPECT_FALSE(Init());
        EXPECT_THAT(boxes.seen(), ElementsAre(kUnreachable));
    } else if (c.inGrab) {
        GuardedArray a(BufferSize());
        EXPECT_EQ(DISP_E_OVERFLOW, grabber->Grab(a.ref(), &ok));
        EXPECT_THAT(boxes.seen(), IsEmpty());
    } else {
        EXPECT_EQ(DISP_E_OVERFLOW, grabber->Init(&ok));
        EXPECT_THAT(boxes.seen(), IsEmpty());
    }
    EXPECT_EQ(c.lastCall, card().CallNames().back());
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, VceOverflowTest,
    ::testing::Values(OverflowCase{vt::kInit, 32768, false, "_VCE_init@0"},
                      OverflowCase{vt::kInit, -32769, false, "_VCE_init@0"},
                      OverflowCase{vt::kInit, 0x10000, false, "_VCE_init@0"},
                      OverflowCase{vt::kInit, INT32_MIN, false, "_VCE_init@0"},
                      OverflowCase{vt::kVideoConfig, 32768, false, "_VCE_videoConfig@12"},
                      OverflowCase{vt::kPrepareSnap, -40000, false, "_VCE_prepareSnap@4"},
                      OverflowCase{vt::kReadLine, 0x7FFFFFFF, false, "_VCE_readLine@12"},
                      OverflowCase{vt::kStartSnap, 65536, true, "_VCE_startSnap@0"},
                      OverflowCase{vt::kReadLine, -65536, true, "_VCE_readLine@12"}));

// Sizes the toolkit may set when it prepares the snap: taken as the
// geometry when a host can allocate by them, refused otherwise (the
// toolkit closed, then a box) with the geometry left as it was.
struct OutputCase {
    int16_t width, height;
    std::optional<Geometry> taken;
};

class VceOutputSizeTest : public VceTest, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(VceOutputSizeTest, AdjustedOutputSize) {
    const OutputCase c = GetParam();
    AdjustOutput(c.width, c.height);
    std::vector<std::string> callsWhenShown;
    MessageBoxWatch watch([&](const SeenMessageBox&) { callsWhenShown = card().CallNames(); });
    if (c.taken) {
        EXPECT_TRUE(Init());
        EXPECT_EQ(*c.taken, geometry());
        EXPECT_THAT(watch.seen(), IsEmpty());
        return;
    }
    EXPECT_FALSE(Init());
    EXPECT_THAT(watch.seen(), ElementsAre(Box{kTitle, L"Incorrect frame size", kOk}));
    EXPECT_EQ(Concat(kInitCalls, {"_VCE_closedown@4"}), callsWhenShown);
    EXPECT_EQ(callsWhenShown, card().CallNames());
    EXPECT_EQ(kDefaultGeometry, geometry());
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, VceOutputSizeTest,
    ::testing::Values(OutputCase{641, 480, Geometry{641, 480, 644, 1064 + 644 * 480}},
                      OutputCase{320, 240, Geometry{320, 240, 320, 1064 + 320 * 240}},
                      OutputCase{1, 1, Geometry{1, 1, 4, 1068}}, OutputCase{0, 480, std::nullopt},
                      OutputCase{640, 0, std::nullopt}, OutputCase{-1, 480, std::nullopt},
                      OutputCase{640, -480, std::nullopt}, OutputCase{-32768, -32768, std::nullopt}));

// The frame in the host's array: header and grey palette, then each line
// read (top line first) in its row counted from the end, the row padding
// and everything past BufferSize as the host left them.
struct FrameCase {
    int16_t width, height;
    int extraElements;  // beyond BufferSize
};

class VceFrameTest : public VceTest, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(VceFrameTest, GrabWritesABottomUpGreyDib) {
    const FrameCase c = GetParam();
    AdjustOutput(c.width, c.height);
    InitAndClearLog();
    const int64_t row = (c.width + 3) / 4 * 4;
    const int64_t size = 1064 + row * c.height;
    ASSERT_EQ(size, BufferSize());
    GuardedArray a(size + c.extraElements);
    ASSERT_TRUE(Grab(a));
    EXPECT_THAT(boxes.seen(), IsEmpty());

    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(a.data());
    EXPECT_EQ(40u, h->biSize);
    EXPECT_EQ(c.width, h->biWidth);
    EXPECT_EQ(c.height, h->biHeight);
    EXPECT_EQ(1, h->biPlanes);
    EXPECT_EQ(8, h->biBitCount);
    EXPECT_EQ(0u, h->biCompression | h->biClrUsed | h->biClrImportant);
    EXPECT_EQ(static_cast<DWORD>(row * c.height), h->biSizeImage);
    EXPECT_EQ(0, h->biXPelsPerMeter | h->biYPelsPerMeter);
    for (int i = 0; i < 256; ++i) {
        const BYTE* entry = a.data() + 40 + 4 * i;
        ASSERT_TRUE(entry[0] == i && entry[1] == i && entry[2] == i && entry[3] == 0) << "palette entry " << i;
    }
    const uint32_t frame = card().frames() - 1;
    for (int y = 0; y < c.height; ++y) {
        const int64_t base = 1064 + row * (c.height - 1 - y);
        for (int x = 0; x < row; ++x) {
            const BYTE expected = x < c.width ? ExpectedGrey(frame, x, y) : GuardedArray::kFill;
            ASSERT_EQ(expected, a[base + x]) << "picture row " << y << ", x " << x;
        }
    }
    for (int64_t i = size; i < size + c.extraElements; ++i) ASSERT_EQ(GuardedArray::kFill, a[i]) << "element " << i;
    EXPECT_TRUE(a.fenceIntact());

    // One snap, the readout in colour, one line buffer for every line.
    const auto calls = card().Calls();
    ASSERT_EQ(3u + c.height, calls.size());
    EXPECT_EQ(LinesRead(c.height), card().CallNames());
    EXPECT_EQ(7, calls[2].args.at(0));
    for (size_t i = 3; i < calls.size(); ++i)
        ASSERT_EQ((LoggedCall{"_VCE_readLine@12", {calls[3].args.at(0), 0, c.width}}), calls[i]);
}

INSTANTIATE_TEST_SUITE_P(Geometries, VceFrameTest,
                         ::testing::Values(
                             // Exact size: the last byte written abuts the no-access page.
                             FrameCase{640, 480, 0}, FrameCase{640, 480, 1},
                             // Three bytes of padding a row, and a tail.
                             FrameCase{641, 480, 5}, FrameCase{17, 3, 4096}, FrameCase{1, 1, 3}));

TEST_F(VceTest, SuccessiveFramesDiffer) {
    InitAndClearLog();
    GuardedArray first(BufferSize()), second(BufferSize());
    ASSERT_TRUE(Grab(first));
    ASSERT_TRUE(Grab(second));
    EXPECT_NE(0, std::memcmp(first.data() + 1064, second.data() + 1064, 640 * 480));
}

class VceBufferTooSmallTest : public VceTest, public ::testing::WithParamInterface<int> {};

TEST_P(VceBufferTooSmallTest, IsRefusedBeforeAnyToolkitCall) {
    InitAndClearLog();
    GuardedArray a(BufferSize() - GetParam());
    EXPECT_FALSE(Grab(a));
    EXPECT_THAT(boxes.seen(), ElementsAre(Box{kTitle, L"Incorrect buffer size.", kOk}));
    EXPECT_TRUE(a.untouched());
    EXPECT_THAT(card().Calls(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Shortfalls, VceBufferTooSmallTest, ::testing::Values(1, 640, 308263));

struct LineWidthCase {
    int16_t outputWidth;  // 0: 640 as Init sets it
    int16_t lineWidth;    // from _VCE_startReadout@8
    bool accepted;
};

class VceLineWidthTest : public VceTest, public ::testing::WithParamInterface<LineWidthCase> {};

TEST_P(VceLineWidthTest, ReadoutWidthMustBeThreeBytesAPixelPadded) {
    const LineWidthCase c = GetParam();
    if (c.outputWidth) AdjustOutput(c.outputWidth, 480);
    InitAndClearLog();
    settings().lineWidth = c.lineWidth;
    GuardedArray a(BufferSize());
    EXPECT_EQ(c.accepted, Grab(a));
    if (c.accepted) {
        EXPECT_THAT(boxes.seen(), IsEmpty());
        return;
    }
    EXPECT_THAT(boxes.seen(), ElementsAre(Box{kTitle, L"Incorrect buffer width", kOk}));
    EXPECT_THAT(card().CallNames(), ElementsAre("_VCE_startSnap@0", "_VCE_finishSnap@0", "_VCE_startReadout@8"));
    EXPECT_TRUE(a.untouched());
}

INSTANTIATE_TEST_SUITE_P(Widths, VceLineWidthTest,
                         ::testing::Values(LineWidthCase{0, 1920, true}, LineWidthCase{0, 1921, false},
                                           LineWidthCase{0, 1916, false}, LineWidthCase{0, 1924, false},
                                           LineWidthCase{0, 640, false}, LineWidthCase{0, -1920, false},
                                           LineWidthCase{641, 1924, true}, LineWidthCase{641, 1923, false}));

// A toolkit status other than 0 in Grab: its text, False; only a failed
// line read closes the toolkit (after the box).
struct GrabFailure {
    vt::Function function;
    int32_t failingLine;  // for _VCE_readLine@12
    int32_t status;
    const wchar_t* text;
};

class VceGrabFailureTest : public VceTest, public ::testing::WithParamInterface<GrabFailure> {};

TEST_P(VceGrabFailureTest, ShowsTheStatus) {
    const GrabFailure f = GetParam();
    InitAndClearLog();
    if (f.function == vt::kReadLine) {
        settings().failingLine = f.failingLine;
        settings().failingLineStatus = f.status;
    } else {
        card().Returns(f.function, f.status);
    }
    std::vector<std::string> callsWhenShown;
    MessageBoxWatch watch([&](const SeenMessageBox&) { callsWhenShown = card().CallNames(); });
    GuardedArray a(BufferSize());
    EXPECT_FALSE(Grab(a));
    EXPECT_THAT(watch.seen(), ElementsAre(Box{kTitle, f.text, kExclamation}));
    if (f.function != vt::kReadLine) {
        EXPECT_EQ(callsWhenShown, card().CallNames());
        EXPECT_TRUE(a.untouched());
        return;
    }
    EXPECT_EQ(3u + f.failingLine, callsWhenShown.size());
    EXPECT_EQ(Concat(callsWhenShown, {"_VCE_closedown@4"}), card().CallNames());
    // The lines read before the failure are in their rows at the end of
    // the array; the rows of the lines not read are as the host left them.
    EXPECT_EQ(40, a[0]);
    const int64_t readRows = 1064 + 640 * (481 - f.failingLine);
    EXPECT_TRUE(std::all_of(a.data() + 1064, a.data() + readRows, [](BYTE b) { return b == GuardedArray::kFill; }));
    const uint32_t frame = card().frames() - 1;
    for (int y = 0; y < f.failingLine - 1; ++y)
        for (int x = 0; x < 640; ++x)
            ASSERT_EQ(ExpectedGrey(frame, x, y), a[1064 + 640 * (479 - y) + x]) << "picture row " << y << ", x " << x;
}

INSTANTIATE_TEST_SUITE_P(
    Calls, VceGrabFailureTest,
    ::testing::Values(GrabFailure{vt::kStartSnap, 0, 7, L"Attempt to start snap before snap prepared"},
                      GrabFailure{vt::kFinishSnap, 0, 8, L"Attempt to finish snap before snap started"},
                      GrabFailure{vt::kStartReadout, 0, 12, L"Attempt to read monochrome image as colour"},
                      GrabFailure{vt::kReadLine, 1, 13, L"Attempt to read outside snapped image"},
                      GrabFailure{vt::kReadLine, 100, 18, L"Lost contact with digitizer (no acknowledge)"}));

TEST_F(VceTest, GrabBeforeInitStartsASnapAnyway) {
    card().Returns(vt::kStartSnap, 5);
    GuardedArray a(BufferSize());
    EXPECT_FALSE(Grab(a));
    EXPECT_THAT(boxes.seen(), ElementsAre(Box{kTitle, L"Toolkit is not initialized", kExclamation}));
    EXPECT_THAT(card().CallNames(), ElementsAre("_VCE_startSnap@0"));
    EXPECT_TRUE(a.untouched());
}

// A warm-up grab that fails has shown its one box; Init then closes the
// toolkit and fails, so the host does not go on to grab from a card that
// is not ready.
struct WarmUpFailure {
    vt::Function function;
    int32_t status;         // 0: the line width is wrong instead
    int32_t failingLine;    // for _VCE_readLine@12
    Box box;
    std::vector<std::string> grabCalls;  // before Init's closing call
};

class VceWarmUpFailureTest : public VceTest, public ::testing::WithParamInterface<WarmUpFailure> {};

TEST_P(VceWarmUpFailureTest, FailsInitWithTheToolkitClosed) {
    const WarmUpFailure f = GetParam();
    if (f.function == vt::kReadLine) {
        settings().failingLine = f.failingLine;
        settings().failingLineStatus = f.status;
    } else if (f.status) {
        card().Returns(f.function, f.status);
    } else {
        settings().lineWidth = 1919;
    }
    EXPECT_FALSE(Init());
    EXPECT_THAT(boxes.seen(), ElementsAre(f.box));
    std::vector<std::string> expected = Concat(Concat(kInitCalls, f.grabCalls), {"_VCE_closedown@4"});
    EXPECT_EQ(expected, card().CallNames());
    EXPECT_EQ(kCloseDown, card().Calls().back());

    // The closed toolkit answers the next snap with its status.
    boxes.clear();
    card().Reset();
    card().Returns(vt::kStartSnap, 5);
    GuardedArray a(BufferSize());
    EXPECT_FALSE(Grab(a));
    EXPECT_THAT(boxes.seen(), ElementsAre(Box{kTitle, L"Toolkit is not initialized", kExclamation}));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, VceWarmUpFailureTest,
    ::testing::Values(
        WarmUpFailure{vt::kStartSnap, 7, 0, Box{kTitle, L"Attempt to start snap before snap prepared", kExclamation},
                      {"_VCE_startSnap@0"}},
        WarmUpFailure{vt::kFinishSnap, 18, 0, Box{kTitle, L"Lost contact with digitizer (no acknowledge)", kExclamation},
                      {"_VCE_startSnap@0", "_VCE_finishSnap@0"}},
        WarmUpFailure{vt::kStartReadout, 0, 0, Box{kTitle, L"Incorrect buffer width", kOk}, LinesRead(0)},
        // The failed line read has closed the toolkit once already.
        WarmUpFailure{vt::kReadLine, 13, 1, Box{kTitle, L"Attempt to read outside snapped image", kExclamation},
                      Concat(LinesRead(1), {"_VCE_closedown@4"})},
        WarmUpFailure{vt::kReadLine, 9, 480, Box{kTitle, L"Attempt to read image before snap finished", kExclamation},
                      Concat(LinesRead(480), {"_VCE_closedown@4"})}));

TEST_F(VceTest, ShutDownClosesTheToolkitEachTimeAndKeepsTheGeometry) {
    AdjustOutput(641, 480);
    InitAndClearLog();
    EXPECT_EQ(S_OK, grabber->ShutDown());
    EXPECT_EQ(S_OK, grabber->ShutDown());
    EXPECT_EQ((Geometry{641, 480, 644, 1064 + 644 * 480}), geometry());
    // Releasing the object closes it once more.
    grabber = ComPtr<IVideoGrabber>();
    EXPECT_THAT(card().Calls(), ElementsAre(kCloseDown, kCloseDown, kCloseDown));
    EXPECT_THAT(boxes.seen(), IsEmpty());
}

TEST_F(VceTest, ReleasingAnObjectClosesTheToolkitEvenIfNeverInitialised) {
    grabber = ComPtr<IVideoGrabber>();
    EXPECT_THAT(card().Calls(), ElementsAre(kCloseDown));
}

TEST_F(VceTest, TwoObjectsKeepTheirOwnGeometry) {
    ComPtr<IVideoGrabber> other = New();
    AdjustOutput(320, 240);
    ASSERT_TRUE(Init());
    LONG x = 0;
    EXPECT_EQ(S_OK, other->get_XSize(&x));
    EXPECT_EQ(640, x);
    EXPECT_EQ(320, Get(&IVideoGrabber::get_XSize));
}

TEST_F(VceTest, BadDescriptorsAreRefusedWithoutWriting) {
    InitAndClearLog();
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(E_POINTER, grabber->Grab(nullptr, &ok));
    GuardedArray twoDims(308264, {0, 2, 1});
    EXPECT_EQ(DISP_E_BADINDEX, grabber->Grab(twoDims.ref(), &ok));
    EXPECT_TRUE(twoDims.untouched());
    GuardedArray noData(308264);
    noData.array()->pvData = nullptr;
    EXPECT_EQ(E_INVALIDARG, grabber->Grab(noData.ref(), &ok));
    EXPECT_TRUE(noData.untouched());
    EXPECT_THAT(card().Calls(), IsEmpty());
    EXPECT_THAT(boxes.seen(), IsEmpty());
}

// Runs with the cards folder off the search path (CTest: vce_tests.no_card).
TEST_F(VceTest, WithoutTheLibraryInitSaysItCannotReachTheCard) {
    if (CardsPresent()) GTEST_SKIP() << "run with --no-cards";
    EXPECT_FALSE(Init());
    EXPECT_THAT(boxes.seen(), ElementsAre(kUnreachable));
    boxes.clear();
    // Nothing else is guarded: ShutDown and Grab fail without a box, and
    // releasing the object ends quietly.
    EXPECT_TRUE(FAILED(grabber->ShutDown()));
    GuardedArray a(BufferSize());
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_TRUE(FAILED(grabber->Grab(a.ref(), &ok)));
    EXPECT_TRUE(a.untouched());
    grabber = ComPtr<IVideoGrabber>();
    EXPECT_THAT(boxes.seen(), IsEmpty());
}

// Runs with one export hidden (CTest: vce_tests.missing_<export>).
TEST_F(VceTest, AMissingExportFailsItsCallerWithoutABox) {
    const auto hidden = HiddenExports("vce_tools");
    if (hidden.empty()) GTEST_SKIP() << "run with --hide=vce_tools:<export>";
    const std::string& missing = hidden[0];
    VARIANT_BOOL ok = VARIANT_TRUE;
    const HRESULT init = grabber->Init(&ok);
    if (missing == "_VCE_init@0") {
        EXPECT_EQ(S_OK, init);
        EXPECT_EQ(VARIANT_FALSE, ok);
        EXPECT_THAT(boxes.seen(), ElementsAre(kUnreachable));
    } else if (missing == "_VCE_closedown@4") {
        EXPECT_EQ(S_OK, init);
        EXPECT_EQ(VARIANT_TRUE, ok);
        EXPECT_TRUE(FAILED(grabber->ShutDown()));
        EXPECT_THAT(boxes.seen(), IsEmpty());
    } else {
        // Every other export is called by Init after the guard.
        EXPECT_TRUE(FAILED(init)) << missing;
        EXPECT_THAT(boxes.seen(), IsEmpty());
    }
    // Releasing the object ends quietly, whatever its ShutDown meets.
    grabber = ComPtr<IVideoGrabber>();
    EXPECT_THAT(boxes.seen(), ::testing::SizeIs(missing == "_VCE_init@0" ? 1u : 0u));
}

}  // namespace
