// clsFlashBusMV through COM, against the simulated FBUS32.DLL: every path of
// Init, Grab and ShutDown checked against the card's call log, each message
// box read as the user would see it, and the packed DIB the library writes
// into an array whose last byte abuts a no-access page.
#include "fbus32_control.h"
#include "grabber_fixture.h"
#include "test_picture.h"

#include <gmock/gmock.h>

#include <array>
#include <cstdio>
#include <cstring>

namespace testing_support {
void PrintTo(const LoggedCall& c, std::ostream* os) {
    *os << c.function << "(";
    for (size_t i = 0; i < c.args.size(); ++i) *os << (i ? ", " : "") << c.args[i];
    *os << ")";
}
}  // namespace testing_support

using namespace testing_support;
namespace fb = card_sim::fbus32;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

constexpr UINT kOk = 0;
constexpr int64_t kGreyFlags = -32766;    // 0x8002
constexpr int64_t kColourFlags = -32768;  // 0x8000
constexpr VARIANT_BOOL kOne = 1;          // neither True nor False: still colour

Box CardBox(const wchar_t* text) { return Box{L"Error - FlashBus MV", text, kOk}; }
const Box kNotInitialized = CardBox(L"FlahshBus MV not initialized");
const Box kUnreachable{L"Error", L"Unable to access FlashBus MV frame grabber", kOk};

const std::vector<std::string> kInitCalls = {"FB_Init", "FB_GetMiscParm", "FB_SetVideoConfig", "FB_GetVideoRect",
                                             "FB_VideoOffscreen"};

// XSize, YSize, DIBxSize, BufferSize.

// Checks the whole packed DIB: header, grey palette where there is one, and
// every pixel of the test picture's `frame` in its bottom-up row.
void ExpectPackedDib(const GuardedArray& a, LONG width, LONG height, bool colour, uint32_t frame) {
    const size_t bytesPerPixel = colour ? 3 : 1;
    const size_t pixelOffset = colour ? 40 : 1064;
    const size_t rowLength = (width * bytesPerPixel + 3) / 4 * 4;
    ASSERT_EQ(pixelOffset + height * rowLength, a.bytes());
    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(a.data());
    EXPECT_EQ(40u, h->biSize);
    EXPECT_EQ(width, h->biWidth);
    EXPECT_EQ(height, h->biHeight);
    EXPECT_EQ(1, h->biPlanes);
    EXPECT_EQ(colour ? 24 : 8, h->biBitCount);
    EXPECT_EQ(0u, h->biCompression);
    for (int i = 0; !colour && i < 256; ++i) {
        const BYTE* entry = a.data() + 40 + 4 * i;
        ASSERT_TRUE(entry[0] == i && entry[1] == i && entry[2] == i && entry[3] == 0) << "palette entry " << i;
    }
    std::vector<uint8_t> expected(width * bytesPerPixel);
    for (LONG y = 0; y < height; ++y) {
        for (LONG x = 0; x < width; ++x) {
            if (colour) card_sim::ColourPixel(frame, x, y, &expected[3 * x]);
            else expected[x] = card_sim::GreyLevel(frame, x, y);
        }
        const BYTE* row = a.data() + pixelOffset + (height - 1 - y) * rowLength;
        ASSERT_EQ(0, std::memcmp(row, expected.data(), expected.size())) << "picture row " << y << " of frame " << frame;
    }
    EXPECT_TRUE(a.fenceIntact());
}

struct FlashBus {
    using Control = card_sim::fbus32::Control;
    static constexpr const wchar_t* kLibrary = L"fbus32";
    static constexpr const char* kName = "fbus32";
    static constexpr const wchar_t* kProgId = L"TRVGPlugFlashBusMV.clsFlashBusMV";
};

class FlashBusTest : public GrabberTest<FlashBus> {
protected:
    void PutColor(VARIANT_BOOL value) { EXPECT_EQ(S_OK, grabber->put_Color(value)); }
    void SetVideoSize(int16_t width, int16_t height) {
        card().settings().width = width;
        card().settings().height = height;
    }

    // Runs Init expecting it to fail with the one box `text`, and returns the
    // card calls made by the time that box showed.
    std::vector<std::string> InitFailing(const wchar_t* text) {
        std::vector<std::string> atBox;
        MessageBoxWatch watch([&](const SeenMessageBox&) { atBox = card().CallNames(); });
        EXPECT_FALSE(Init());
        EXPECT_THAT(watch.seen(), ElementsAre(CardBox(text)));
        EXPECT_EQ(atBox, card().CallNames()) << "calls after the box";
        return atBox;
    }
    // Grab refuses with `box`, touching neither the card nor the array.
    void ExpectGrabRefused(GuardedArray& a, const Box& box) {
        card().ClearLog();
        boxes.clear();
        EXPECT_FALSE(Grab(a));
        EXPECT_THAT(boxes.seen(), ElementsAre(box));
        EXPECT_TRUE(a.untouched());
        EXPECT_THAT(card().Calls(), IsEmpty());
    }
    // The calls of one Grab at `width` x `height` with `flags` into `a`.
    static std::vector<LoggedCall> GrabCalls(LONG width, LONG height, int64_t flags, const GuardedArray& a) {
        return {{"FB_VideoLive", {-1, 2}},
                {"FB_WaitVSync", {2}},
                {"FB_VideoGrab", {2, 0, 0, 0}},
                {"FB_ScreenToDIB", {0, 0, width, height, flags, static_cast<int64_t>(reinterpret_cast<intptr_t>(a.data()))}}};
    }
};

TEST_F(FlashBusTest, InitAppliesTheStoredConfigurationAndSizesAGreyFrame) {
    ASSERT_TRUE(Init());
    EXPECT_THAT(boxes.seen(), IsEmpty());
    const auto calls = card().Calls();
    ASSERT_THAT(card().CallNames(), ElementsAreArray(kInitCalls));
    // The stored text goes into 8 zero bytes followed by one more zero byte.
    ASSERT_EQ(2u, calls[1].args.size());
    EXPECT_EQ(1, calls[1].args[0]);
    EXPECT_EQ(9, card().settings().zeroBytesInMiscBuffer);
    // Only the first four bytes of the text count: 1, 0, 0, 0 and then "FBMV".
    EXPECT_EQ((LoggedCall{"FB_SetVideoConfig", {1, 0, 0, 0}}), calls[2]);
    const std::vector<int64_t>& rect = calls[3].args;
    ASSERT_EQ(5u, rect.size());
    EXPECT_EQ(0, rect[0]);
    for (size_t i = 1; i < 5; ++i) {
        EXPECT_NE(0, rect[i]) << "argument " << i;
        for (size_t j = 1; j < i; ++j) EXPECT_NE(rect[j], rect[i]) << "arguments " << j << " and " << i;
    }
    EXPECT_EQ((LoggedCall{"FB_VideoOffscreen", {640, 480, 8, 0}}), calls[4]);
    EXPECT_EQ((Geometry{640, 480, 640, 308264}), geometry());

    // A second Init opens the card again without closing it first.
    card().ClearLog();
    ASSERT_TRUE(Init());
    EXPECT_THAT(card().CallNames(), ElementsAreArray(kInitCalls));
}

struct StoredConfigCase {
    int32_t status;  // of FB_GetMiscParm: anything but -1 means the text is there
    uint8_t codes[4];
};

class FlashBusStoredConfigTest : public FlashBusTest, public ::testing::WithParamInterface<StoredConfigCase> {};

TEST_P(FlashBusStoredConfigTest, StoredCodesArePassedOnOnceAsUnsignedBytes) {
    const StoredConfigCase c = GetParam();
    card().Returns(fb::kGetMiscParm, c.status);
    std::memcpy(card().settings().storedConfig, c.codes, 4);
    ASSERT_TRUE(Init());
    EXPECT_THAT(card().CallsTo("FB_SetVideoConfig"),
                ElementsAre(LoggedCall{"FB_SetVideoConfig", {c.codes[0], c.codes[1], c.codes[2], c.codes[3]}}));
}

INSTANTIATE_TEST_SUITE_P(Codes, FlashBusStoredConfigTest,
                         ::testing::Values(StoredConfigCase{0, {0, 0, 0, 0}}, StoredConfigCase{-2, {2, 1, 3, 1}},
                                           StoredConfigCase{1, {255, 128, 0, 200}}));

struct ConfigCase {
    bool stored;
    int32_t results[2];  // of the first two FB_SetVideoConfig calls
    std::vector<LoggedCall> configs;
    bool ok;
};

class FlashBusConfigTest : public FlashBusTest, public ::testing::WithParamInterface<ConfigCase> {};

TEST_P(FlashBusConfigTest, StoredConfigurationOrTheFallBacksInTurn) {
    const ConfigCase& c = GetParam();
    card().settings().hasStoredConfig = c.stored;
    card().Script(fb::kSetVideoConfig, {c.results[0], c.results[1]});
    if (c.ok) {
        EXPECT_TRUE(Init());
        EXPECT_THAT(boxes.seen(), IsEmpty());
        EXPECT_EQ(c.configs, card().CallsTo("FB_SetVideoConfig"));
        EXPECT_THAT(card().CallsTo("FB_Cleanup"), IsEmpty());
        return;
    }
    const auto atBox = InitFailing(L"Can not set video configuration");
    EXPECT_EQ(c.configs, card().CallsTo("FB_SetVideoConfig"));
    std::vector<std::string> expected = {"FB_Init", "FB_GetMiscParm"};
    expected.insert(expected.end(), c.configs.size(), "FB_SetVideoConfig");
    expected.push_back("FB_Cleanup");
    EXPECT_EQ(expected, atBox);
}

const LoggedCall kStoredConfig{"FB_SetVideoConfig", {1, 0, 0, 0}};
const LoggedCall kFirstFallback{"FB_SetVideoConfig", {0, 0, 1, 0}};
const LoggedCall kSecondFallback{"FB_SetVideoConfig", {2, 0, 0, 0}};

INSTANTIATE_TEST_SUITE_P(
    Paths, FlashBusConfigTest,
    ::testing::Values(
        // A refused stored configuration has no fall-back.
        ConfigCase{true, {-1, 0}, {kStoredConfig}, false},
        ConfigCase{false, {0, 0}, {kFirstFallback}, true},
        ConfigCase{false, {1, 0}, {kFirstFallback}, true},
        ConfigCase{false, {-1, 0}, {kFirstFallback, kSecondFallback}, true},
        ConfigCase{false, {-1, -2}, {kFirstFallback, kSecondFallback}, true},
        ConfigCase{false, {-1, -1}, {kFirstFallback, kSecondFallback}, false}));

struct InitFailureCase {
    fb::Function function;
    const wchar_t* text;
    std::vector<std::string> callsAtBox;
};

class FlashBusInitFailureTest : public FlashBusTest, public ::testing::WithParamInterface<InitFailureCase> {};

// On an initialised object: a failed Init leaves it uninitialised, with the
// sizes of the last successful Init.
TEST_P(FlashBusInitFailureTest, FailureIsReportedAfterTheCleanupItNeeds) {
    const InitFailureCase& c = GetParam();
    ASSERT_TRUE(Init());
    card().ClearLog();
    card().Returns(c.function, -1);
    EXPECT_EQ(c.callsAtBox, InitFailing(c.text));
    EXPECT_EQ((Geometry{640, 480, 640, 308264}), geometry());
    GuardedArray a(308264);
    ExpectGrabRefused(a, kNotInitialized);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FlashBusInitFailureTest,
    ::testing::Values(InitFailureCase{fb::kInit, L"Unable to initialize FlashBus MV", {"FB_Init"}},
                      InitFailureCase{fb::kGetVideoRect, L"Can not get video size",
                                      {"FB_Init", "FB_GetMiscParm", "FB_SetVideoConfig", "FB_GetVideoRect", "FB_Cleanup"}},
                      InitFailureCase{fb::kVideoOffscreen, L"Can not set offscreen capture mode",
                                      {"FB_Init", "FB_GetMiscParm", "FB_SetVideoConfig", "FB_GetVideoRect",
                                       "FB_VideoOffscreen", "FB_Cleanup"}}));

class FlashBusStatusTest : public FlashBusTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(FlashBusStatusTest, EveryStatusButMinusOneIsSuccess) {
    for (int f = fb::kInit; f <= fb::kCleanup; ++f) card().Returns(f, GetParam());
    ASSERT_TRUE(Init());
    EXPECT_THAT(card().CallNames(), ElementsAreArray(kInitCalls));
    GuardedArray a(BufferSize());
    ASSERT_TRUE(Grab(a));
    ExpectPackedDib(a, 640, 480, false, card().frames() - 1);
    EXPECT_THAT(boxes.seen(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Statuses, FlashBusStatusTest, ::testing::Values(-2, 1, -32768));

struct GeometryCase {
    int16_t width, height;
    bool colour;
    LONG dibxSize, bufferSize;
};

class FlashBusGeometryTest : public FlashBusTest, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(FlashBusGeometryTest, ReportedSizeAndColourModeSetTheGeometry) {
    const GeometryCase c = GetParam();
    SetVideoSize(c.width, c.height);
    PutColor(c.colour ? VARIANT_TRUE : VARIANT_FALSE);
    ASSERT_TRUE(Init());
    EXPECT_EQ((Geometry{c.width, c.height, c.dibxSize, c.bufferSize}), geometry());
    EXPECT_THAT(card().CallsTo("FB_VideoOffscreen"),
                ElementsAre(LoggedCall{"FB_VideoOffscreen", {c.width, c.height, c.colour ? 24 : 8, 0}}));
    EXPECT_EQ(VARIANT_FALSE, Get(&IVideoGrabber::get_HasColor));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FlashBusGeometryTest,
    ::testing::Values(GeometryCase{640, 480, false, 640, 308264}, GeometryCase{640, 480, true, 1920, 921640},
                      GeometryCase{637, 480, true, 1912, 917800}, GeometryCase{754, 480, false, 756, 363944},
                      GeometryCase{754, 480, true, 2264, 1086760}, GeometryCase{1, 1, false, 4, 1068},
                      GeometryCase{1, 1, true, 4, 44},
                      // The largest frames: every 16-bit size fits in grey, and
                      // in colour up to 21845 lines of 32767 pixels.
                      GeometryCase{32767, 32767, false, 32768, 1073710120},
                      GeometryCase{32767, 21845, true, 98304, 2147450920}));

struct UnusableSizeCase {
    int16_t width, height;
    bool colour;
};

class FlashBusUnusableSizeTest : public FlashBusTest, public ::testing::WithParamInterface<UnusableSizeCase> {};

// A size no host could allocate by is no size: Init fails as if the card had
// none, the offscreen mode is never set, and the sizes the host may allocate
// by stay those of the last successful Init.
TEST_P(FlashBusUnusableSizeTest, InitFailsAfterCleanup) {
    const UnusableSizeCase c = GetParam();
    ASSERT_TRUE(Init());
    card().ClearLog();
    SetVideoSize(c.width, c.height);
    PutColor(c.colour ? VARIANT_TRUE : VARIANT_FALSE);
    EXPECT_EQ((std::vector<std::string>{"FB_Init", "FB_GetMiscParm", "FB_SetVideoConfig", "FB_GetVideoRect",
                                        "FB_Cleanup"}),
              InitFailing(L"Can not get video size"));
    // The 16-bit sizes as the card wrote them, widened with their sign.
    EXPECT_EQ((Geometry{c.width, c.height, 640, 308264}), geometry());
    GuardedArray a(308264);
    ExpectGrabRefused(a, kNotInitialized);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FlashBusUnusableSizeTest,
                         ::testing::Values(UnusableSizeCase{0, 480, false}, UnusableSizeCase{640, 0, true},
                                           UnusableSizeCase{-1, 480, false}, UnusableSizeCase{640, -480, true},
                                           UnusableSizeCase{-32768, -32768, false},
                                           // Colour rows of 98304 bytes: beyond a Long from 21846 lines on.
                                           UnusableSizeCase{32767, 21846, true},
                                           UnusableSizeCase{32767, 32767, true}));

struct FrameCase {
    int16_t width, height;
    bool colour;
};

class FlashBusFrameTest : public FlashBusTest, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(FlashBusFrameTest, LibraryWritesTheWholePackedDibIntoTheArray) {
    const FrameCase c = GetParam();
    SetVideoSize(c.width, c.height);
    PutColor(c.colour ? VARIANT_TRUE : VARIANT_FALSE);
    ASSERT_TRUE(Init());
    card().ClearLog();
    GuardedArray a(BufferSize());
    ASSERT_TRUE(Grab(a));
    EXPECT_THAT(boxes.seen(), IsEmpty());
    EXPECT_EQ(GrabCalls(c.width, c.height, c.colour ? kColourFlags : kGreyFlags, a), card().Calls());
    EXPECT_EQ(0u, a.array()->cLocks);
    ExpectPackedDib(a, c.width, c.height, c.colour, card().frames() - 1);
}

INSTANTIATE_TEST_SUITE_P(Frames, FlashBusFrameTest,
                         ::testing::Values(FrameCase{640, 480, false}, FrameCase{640, 480, true},
                                           FrameCase{637, 480, true}, FrameCase{754, 3, false},
                                           FrameCase{1, 1, false}, FrameCase{1, 1, true}));

struct ColourModeCase {
    VARIANT_BOOL atInit;
    VARIANT_BOOL atGrab;
    bool colourFrame;  // the frame Init sized the array for
};

class FlashBusColourModeTest : public FlashBusTest, public ::testing::WithParamInterface<ColourModeCase> {};

// Color reads back as it was put, but the frame is the one Init sized: a
// change of Color after Init never makes the library write more than the
// array holds.
TEST_P(FlashBusColourModeTest, GrabAsksForTheFrameInitSized) {
    const ColourModeCase c = GetParam();
    PutColor(c.atInit);
    ASSERT_TRUE(Init());
    EXPECT_EQ(c.colourFrame ? 24 : 8, card().CallsTo("FB_VideoOffscreen").at(0).args.at(2));
    PutColor(c.atGrab);
    EXPECT_EQ(c.atGrab, Get(&IVideoGrabber::get_Color));
    EXPECT_EQ(VARIANT_FALSE, Get(&IVideoGrabber::get_HasColor));
    card().ClearLog();
    GuardedArray a(BufferSize());
    ASSERT_TRUE(Grab(a));
    EXPECT_EQ(GrabCalls(640, 480, c.colourFrame ? kColourFlags : kGreyFlags, a), card().Calls());
    ExpectPackedDib(a, 640, 480, c.colourFrame, card().frames() - 1);
}

INSTANTIATE_TEST_SUITE_P(Modes, FlashBusColourModeTest,
                         ::testing::Values(ColourModeCase{VARIANT_FALSE, VARIANT_FALSE, false},
                                           ColourModeCase{VARIANT_TRUE, VARIANT_TRUE, true},
                                           ColourModeCase{kOne, kOne, true},
                                           ColourModeCase{VARIANT_FALSE, VARIANT_TRUE, false},
                                           ColourModeCase{kOne, VARIANT_FALSE, true}));

TEST_F(FlashBusTest, GrabRefusesBeforeInitAndAfterShutDown) {
    GuardedArray a(308264);
    ExpectGrabRefused(a, kNotInitialized);
    ASSERT_TRUE(Init());
    EXPECT_EQ(S_OK, grabber->ShutDown());
    ExpectGrabRefused(a, kNotInitialized);
}

class FlashBusBufferSizeTest : public FlashBusTest, public ::testing::WithParamInterface<std::tuple<bool, int>> {};

TEST_P(FlashBusBufferSizeTest, WrongElementCountIsRefused) {
    const auto [colour, delta] = GetParam();
    PutColor(colour ? VARIANT_TRUE : VARIANT_FALSE);
    ASSERT_TRUE(Init());
    GuardedArray a(BufferSize() + delta);
    ExpectGrabRefused(a, CardBox(L"Incorrect buffer size"));
}

INSTANTIATE_TEST_SUITE_P(Sizes, FlashBusBufferSizeTest, ::testing::Combine(::testing::Bool(), ::testing::Values(-1, 1)));

TEST_F(FlashBusTest, ArraysWithAnotherLowerBoundOrLockedByTheCallerAreFilledFromTheFirstElement) {
    ASSERT_TRUE(Init());
    GuardedArray shifted(308264, {1, 1, 1});
    ASSERT_TRUE(Grab(shifted));
    ExpectPackedDib(shifted, 640, 480, false, card().frames() - 1);
    GuardedArray locked(308264);
    ASSERT_EQ(S_OK, SafeArrayLock(locked.array()));
    ASSERT_TRUE(Grab(locked));
    EXPECT_EQ(1u, locked.array()->cLocks);
    SafeArrayUnlock(locked.array());
    ExpectPackedDib(locked, 640, 480, false, card().frames() - 1);
}

// No array at all: the Initialized test comes first, then the call fails
// towards the host without a box or a card call.
TEST_F(FlashBusTest, GrabWithoutAnArray) {
    SAFEARRAY* none = nullptr;
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(S_OK, grabber->Grab(&none, &ok));
    EXPECT_EQ(VARIANT_FALSE, ok);
    EXPECT_THAT(boxes.seen(), ElementsAre(kNotInitialized));
    ASSERT_TRUE(Init());
    card().ClearLog();
    boxes.clear();
    EXPECT_TRUE(FAILED(grabber->Grab(&none, &ok)));
    EXPECT_THAT(boxes.seen(), IsEmpty());
    EXPECT_THAT(card().Calls(), IsEmpty());
}

TEST_F(FlashBusTest, FailedConversionIsReportedUnlockedAndTheNextGrabStartsAfresh) {
    ASSERT_TRUE(Init());
    card().ClearLog();
    card().Script(fb::kScreenToDib, {-1});
    GuardedArray a(308264);
    ULONG locksAtBox = 99;
    {
        MessageBoxWatch watch([&](const SeenMessageBox&) { locksAtBox = a.array()->cLocks; });
        EXPECT_FALSE(Grab(a));
        EXPECT_THAT(watch.seen(), ElementsAre(CardBox(L"Can not get video frame")));
    }
    EXPECT_EQ(0u, locksAtBox);
    EXPECT_EQ(GrabCalls(640, 480, kGreyFlags, a), card().Calls());
    card().ClearLog();
    ASSERT_TRUE(Grab(a));
    EXPECT_EQ(GrabCalls(640, 480, kGreyFlags, a), card().Calls());
    ExpectPackedDib(a, 640, 480, false, card().frames() - 1);
    EXPECT_EQ(2u, card().frames());
}

TEST_F(FlashBusTest, FailuresOfLiveWaitAndGrabAreIgnored) {
    ASSERT_TRUE(Init());
    for (int f : {fb::kVideoLive, fb::kWaitVSync, fb::kVideoGrab}) card().Returns(f, -1);
    GuardedArray a(308264);
    EXPECT_TRUE(Grab(a));
    EXPECT_THAT(boxes.seen(), IsEmpty());
    ExpectPackedDib(a, 640, 480, false, card().frames() - 1);
}

class FlashBusShutDownTest : public FlashBusTest, public ::testing::WithParamInterface<bool> {};

// ShutDown closes the library whether or not Init ran, clears every size and
// returns the object to grey.
TEST_P(FlashBusShutDownTest, ShutDownResetsEverythingAndAlwaysCleansUp) {
    PutColor(VARIANT_TRUE);
    if (GetParam()) {
        ASSERT_TRUE(Init());
    }
    card().ClearLog();
    EXPECT_EQ(S_OK, grabber->ShutDown());
    EXPECT_EQ(S_OK, grabber->ShutDown());
    EXPECT_THAT(card().CallNames(), ElementsAre("FB_Cleanup", "FB_Cleanup"));
    EXPECT_EQ((Geometry{0, 0, 0, 0}), geometry());
    EXPECT_EQ(VARIANT_FALSE, Get(&IVideoGrabber::get_Color));
    EXPECT_THAT(boxes.seen(), IsEmpty());
    GuardedArray a(1064);
    ExpectGrabRefused(a, kNotInitialized);
}

INSTANTIATE_TEST_SUITE_P(Objects, FlashBusShutDownTest, ::testing::Bool());

TEST_F(FlashBusTest, ReleasingAnInitialisedObjectLeavesTheCardOpen) {
    ASSERT_TRUE(Init());
    card().ClearLog();
    grabber = ComPtr<IVideoGrabber>();
    EXPECT_THAT(card().Calls(), IsEmpty());
}

TEST_F(FlashBusTest, PutsOtherThanColorAreIgnored) {
    ASSERT_TRUE(Init());
    EXPECT_EQ(S_OK, grabber->put_BufferSize(7));
    EXPECT_EQ(S_OK, grabber->put_DIBxSize(7));
    EXPECT_EQ(S_OK, grabber->put_XSize(7));
    EXPECT_EQ(S_OK, grabber->put_YSize(7));
    EXPECT_EQ(S_OK, grabber->put_HasColor(VARIANT_TRUE));
    EXPECT_EQ(S_OK, grabber->put_HasSetupDlg(VARIANT_TRUE));
    EXPECT_EQ((Geometry{640, 480, 640, 308264}), geometry());
    EXPECT_EQ(VARIANT_FALSE, Get(&IVideoGrabber::get_HasColor));
    EXPECT_EQ(VARIANT_FALSE, Get(&IVideoGrabber::get_HasSetupDlg));
    EXPECT_EQ(S_OK, grabber->SetupDlg());
    EXPECT_THAT(boxes.seen(), IsEmpty());
}

// Runs with the cards folder off the search path (CTest: flashbus_tests.no_card).
TEST_F(FlashBusTest, WithoutTheLibraryInitSaysItCannotReachTheCard) {
    if (CardsPresent()) GTEST_SKIP() << "run with --no-cards";
    PutColor(VARIANT_TRUE);
    EXPECT_FALSE(Init());
    EXPECT_THAT(boxes.seen(), ElementsAre(kUnreachable));
    boxes.clear();
    // Only Init's first call is guarded: ShutDown fails without a box, after
    // it has reset the object.
    EXPECT_TRUE(FAILED(grabber->ShutDown()));
    EXPECT_THAT(boxes.seen(), IsEmpty());
    EXPECT_EQ(VARIANT_FALSE, Get(&IVideoGrabber::get_Color));
}

// Runs with one export hidden (CTest: flashbus_tests.missing_<export>).
TEST_F(FlashBusTest, AMissingExportFailsItsCallerWithoutABox) {
    const auto hidden = HiddenExports("fbus32");
    if (hidden.empty()) GTEST_SKIP() << "run with --hide=fbus32:<export>";
    const std::string& missing = hidden[0];
    VARIANT_BOOL ok = VARIANT_TRUE;
    const HRESULT init = grabber->Init(&ok);
    if (missing == "FB_Init") {
        EXPECT_EQ(S_OK, init);
        EXPECT_EQ(VARIANT_FALSE, ok);
        EXPECT_THAT(boxes.seen(), ElementsAre(kUnreachable));
        return;
    }
    if (missing == "FB_Cleanup") {
        // Reached only by ShutDown and by Init's failures after FB_Init.
        EXPECT_EQ(S_OK, init);
        EXPECT_EQ(VARIANT_TRUE, ok);
        EXPECT_TRUE(FAILED(grabber->ShutDown()));
        EXPECT_EQ((Geometry{0, 0, 0, 0}), geometry());
        card().Returns(fb::kGetVideoRect, -1);
        EXPECT_TRUE(FAILED(grabber->Init(&ok)));
        EXPECT_THAT(boxes.seen(), IsEmpty());
        return;
    }
    if (missing == "FB_VideoLive" || missing == "FB_ScreenToDIB") {
        EXPECT_EQ(S_OK, init);
        EXPECT_EQ(VARIANT_TRUE, ok);
        GuardedArray a(BufferSize());
        EXPECT_TRUE(FAILED(grabber->Grab(a.ref(), &ok)));
        EXPECT_EQ(0u, a.array()->cLocks);
        EXPECT_TRUE(a.untouched());
        EXPECT_THAT(boxes.seen(), IsEmpty());
        return;
    }
    EXPECT_TRUE(FAILED(init)) << missing;
    EXPECT_THAT(boxes.seen(), IsEmpty());
    // The object was left uninitialised.
    GuardedArray a(308264);
    ExpectGrabRefused(a, kNotInitialized);
}

}  // namespace
