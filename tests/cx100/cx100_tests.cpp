// clsCX100 through COM, against the simulated wcx32.dll: every path of Init,
// Grab and ShutDown checked against the card's call log, each message box
// read as the user would see it, and the bytes of the frame.
#include "grabber_fixture.h"
#include "test_picture.h"
#include "wcx32_control.h"

#include <gmock/gmock.h>

using namespace testing_support;
namespace wcx = card_sim::wcx32;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr UINT kOk = 0;

struct Cx100 {
    using Control = card_sim::wcx32::Control;
    static constexpr const wchar_t* kLibrary = L"wcx32";
    static constexpr const char* kName = "wcx32";
    static constexpr const wchar_t* kProgId = L"TRVGPlugCX100.clsCX100";
};

class Cx100Test : public GrabberTest<Cx100> {};

TEST_F(Cx100Test, InitOpensAndConfiguresTheCardInOrder) {
    ASSERT_TRUE(Init());
    EXPECT_THAT(card().CallNames(), ElementsAre("init_library", "reset_cx", "high_res", "ccir_mode", "acquire"));
    EXPECT_THAT(boxes.seen(), IsEmpty());
}

struct ModeCase {
    int32_t ccirMode;
    LONG xSize, ySize, dibxSize, bufferSize;
};

class Cx100ModeTest : public Cx100Test, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(Cx100ModeTest, VideoModeSetsTheGeometry) {
    const ModeCase c = GetParam();
    card().Returns(wcx::kCcirMode, c.ccirMode);
    ASSERT_TRUE(Init());
    EXPECT_EQ(c.xSize, Get(&IVideoGrabber::get_XSize));
    EXPECT_EQ(c.ySize, Get(&IVideoGrabber::get_YSize));
    EXPECT_EQ(c.dibxSize, Get(&IVideoGrabber::get_DIBxSize));
    EXPECT_EQ(c.bufferSize, BufferSize());
}

INSTANTIATE_TEST_SUITE_P(Modes, Cx100ModeTest,
                         ::testing::Values(ModeCase{0, 512, 486, 512, 249896}, ModeCase{1, 512, 512, 512, 263208},
                                           // An unknown mode on a new object leaves the sizes at 0.
                                           ModeCase{2, 0, 0, 0, 1064}, ModeCase{-1, 0, 0, 0, 1064}));

TEST_F(Cx100Test, UnknownModeKeepsTheGeometryOfAnEarlierInit) {
    ASSERT_TRUE(Init());
    card().Returns(wcx::kCcirMode, 2);
    ASSERT_TRUE(Init());
    EXPECT_EQ(512, Get(&IVideoGrabber::get_XSize));
    EXPECT_EQ(486, Get(&IVideoGrabber::get_YSize));
    EXPECT_EQ(249896, BufferSize());
}

struct StatusCase {
    int32_t status;
    const wchar_t* text;  // nullptr: Init succeeds
};

class Cx100InitStatusTest : public Cx100Test, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(Cx100InitStatusTest, InitLibraryStatus) {
    const StatusCase c = GetParam();
    card().Returns(wcx::kInitLibrary, c.status);
    std::vector<std::string> callsWhenShown;
    MessageBoxWatch watch([&](const SeenMessageBox&) { callsWhenShown = card().CallNames(); });
    const bool ok = Init();
    if (!c.text) {
        EXPECT_TRUE(ok);
        EXPECT_THAT(watch.seen(), IsEmpty());
        return;
    }
    EXPECT_FALSE(ok);
    ASSERT_EQ(1u, watch.seen().size());
    EXPECT_EQ((Box{L"Error - CX100", c.text, kOk}), watch.seen()[0]);
    // The library is closed before the user sees why.
    EXPECT_THAT(callsWhenShown, ElementsAre("init_library", "exit_library"));
    EXPECT_THAT(card().CallNames(), ElementsAre("init_library", "exit_library"));
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, Cx100InitStatusTest,
    ::testing::Values(StatusCase{0, nullptr}, StatusCase{-1, nullptr}, StatusCase{1, L"No free memory segments"},
                      StatusCase{2, L"No CX100 frame grabbers found"},
                      StatusCase{3, L"Frame grabber cannot be mapped into memory"},
                      StatusCase{4, L"Frame grabber index out of range"},
                      StatusCase{5, L"There is no device on this port"},
                      StatusCase{6, L"The device on this port is not a frame grabber--no vertical blank"},
                      StatusCase{7, L"The device on this port is not a CX100"}, StatusCase{8, L""},
                      StatusCase{9, L""}));

TEST_F(Cx100Test, FailedInitLeavesAnInitialisedObjectUninitialised) {
    ASSERT_TRUE(Init());
    card().Returns(wcx::kInitLibrary, 2);
    EXPECT_FALSE(Init());
    boxes.clear();
    GuardedArray a(BufferSize());
    EXPECT_FALSE(Grab(a));
    EXPECT_EQ((Box{L"Error - CX100", L"CX100 not initialized", kOk}), boxes.seen().at(0));
}

TEST_F(Cx100Test, GrabWritesABottomUpGreyDib) {
    ASSERT_TRUE(Init());
    card().ClearLog();
    GuardedArray a(249896);
    ASSERT_TRUE(Grab(a));
    EXPECT_THAT(boxes.seen(), IsEmpty());

    ExpectDibHeader(a.data(), 512, 486, false);
    EXPECT_EQ(0u, reinterpret_cast<const BITMAPINFOHEADER*>(a.data())->biSizeImage);
    // Buffer row k holds picture row 485 - k.
    const uint32_t frame = card().frames() - 1;
    for (int k = 0; k < 486; ++k)
        for (int x = 0; x < 512; ++x)
            ASSERT_EQ(card_sim::GreyLevel(frame, x, 485 - k), a[1064 + k * 512 + x]) << "row " << k << " x " << x;
    EXPECT_TRUE(a.fenceIntact());

    // The header is in place before the card is asked for a frame; rows are
    // fetched bottom row first, forward through the buffer.
    const auto calls = card().Calls();
    ASSERT_EQ(1u + 486u, calls.size());
    EXPECT_EQ("grab", calls[0].function);
    const int64_t base = reinterpret_cast<intptr_t>(a.data());
    EXPECT_EQ((LoggedCall{"copy_line", {base + 1064, 485, 114, 104}}), calls[1]);
    EXPECT_EQ((LoggedCall{"copy_line", {base + 249384, 0, 114, 104}}), calls[486]);
}

TEST_F(Cx100Test, SuccessiveFramesDiffer) {
    ASSERT_TRUE(Init());
    GuardedArray first(BufferSize()), second(BufferSize());
    ASSERT_TRUE(Grab(first));
    ASSERT_TRUE(Grab(second));
    EXPECT_NE(0, memcmp(first.data() + 1064, second.data() + 1064, 512 * 486));
}

TEST_F(Cx100Test, UnknownModeGrabsAHeaderOnly) {
    card().Returns(wcx::kCcirMode, 2);
    ASSERT_TRUE(Init());
    card().ClearLog();
    GuardedArray a(1064);
    ASSERT_TRUE(Grab(a));
    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(a.data());
    EXPECT_EQ(0, h->biWidth);
    EXPECT_EQ(0, h->biHeight);
    EXPECT_EQ(255, a[1062]);
    EXPECT_THAT(card().CallNames(), ElementsAre("grab"));
}

TEST_F(Cx100Test, GrabBeforeInitRefusesWithoutTouchingCardOrArray) {
    GuardedArray a(249896);
    EXPECT_FALSE(Grab(a));
    EXPECT_THAT(boxes.seen(), ElementsAre(Box{L"Error - CX100", L"CX100 not initialized", kOk}));
    EXPECT_TRUE(a.untouched());
    EXPECT_THAT(card().Calls(), IsEmpty());
}

class Cx100BufferSizeTest : public Cx100Test, public ::testing::WithParamInterface<int> {};

TEST_P(Cx100BufferSizeTest, WrongElementCountIsRefused) {
    ASSERT_TRUE(Init());
    card().ClearLog();
    GuardedArray a(BufferSize() + GetParam());
    EXPECT_FALSE(Grab(a));
    EXPECT_THAT(boxes.seen(), ElementsAre(Box{L"Error - CX100", L"Incorrect buffer size", kOk}));
    EXPECT_TRUE(a.untouched());
    EXPECT_THAT(card().Calls(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, Cx100BufferSizeTest, ::testing::Values(-1, 1, -249896));

TEST_F(Cx100Test, ShutDownClosesTheCardAndKeepsTheRowSizes) {
    ASSERT_TRUE(Init());
    card().ClearLog();
    EXPECT_EQ(S_OK, grabber->ShutDown());
    EXPECT_THAT(card().CallNames(), ElementsAre("exit_library"));
    EXPECT_EQ(0, Get(&IVideoGrabber::get_XSize));
    EXPECT_EQ(0, Get(&IVideoGrabber::get_YSize));
    EXPECT_EQ(512, Get(&IVideoGrabber::get_DIBxSize));
    EXPECT_EQ(249896, BufferSize());
    GuardedArray a(249896);
    EXPECT_FALSE(Grab(a));
    EXPECT_THAT(boxes.seen(), ElementsAre(Box{L"Error - CX100", L"CX100 not initialized", kOk}));
}

TEST_F(Cx100Test, ShutDownCallsExitLibraryEveryTimeEvenUninitialised) {
    EXPECT_EQ(S_OK, grabber->ShutDown());
    EXPECT_EQ(S_OK, grabber->ShutDown());
    EXPECT_THAT(card().CallNames(), ElementsAre("exit_library", "exit_library"));
    EXPECT_THAT(boxes.seen(), IsEmpty());
}

TEST_F(Cx100Test, ReleasingAnInitialisedObjectLeavesTheCardOpen) {
    ASSERT_TRUE(Init());
    card().ClearLog();
    grabber = ComPtr<IVideoGrabber>();
    EXPECT_THAT(card().Calls(), IsEmpty());
}

TEST_F(Cx100Test, PropertiesReportFixedValuesAndIgnorePuts) {
    ASSERT_TRUE(Init());
    EXPECT_EQ(S_OK, grabber->put_BufferSize(7));
    EXPECT_EQ(S_OK, grabber->put_DIBxSize(7));
    EXPECT_EQ(S_OK, grabber->put_XSize(7));
    EXPECT_EQ(S_OK, grabber->put_YSize(7));
    EXPECT_EQ(S_OK, grabber->put_HasColor(VARIANT_TRUE));
    EXPECT_EQ(S_OK, grabber->put_Color(VARIANT_TRUE));
    EXPECT_EQ(S_OK, grabber->put_HasSetupDlg(VARIANT_TRUE));
    EXPECT_EQ(249896, BufferSize());
    EXPECT_EQ(512, Get(&IVideoGrabber::get_DIBxSize));
    EXPECT_EQ(512, Get(&IVideoGrabber::get_XSize));
    EXPECT_EQ(486, Get(&IVideoGrabber::get_YSize));
    VARIANT_BOOL b = 1;
    EXPECT_EQ(S_OK, grabber->get_HasColor(&b));
    EXPECT_EQ(VARIANT_FALSE, b);
    b = 1;
    EXPECT_EQ(S_OK, grabber->get_Color(&b));
    EXPECT_EQ(VARIANT_FALSE, b);
    b = 1;
    EXPECT_EQ(S_OK, grabber->get_HasSetupDlg(&b));
    EXPECT_EQ(VARIANT_FALSE, b);
    EXPECT_EQ(S_OK, grabber->SetupDlg());
    EXPECT_THAT(boxes.seen(), IsEmpty());
}

TEST_F(Cx100Test, TwoObjectsAreIndependent) {
    ComPtr<IVideoGrabber> other = New();
    ASSERT_TRUE(Init());
    GuardedArray a(249896);
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(S_OK, other->Grab(a.ref(), &ok));
    EXPECT_EQ(VARIANT_FALSE, ok);
    LONG size = -1;
    other->get_BufferSize(&size);
    EXPECT_EQ(0, size);
}

// Descriptors that cannot be trusted end Grab with a failure HRESULT, with
// no message box and nothing written.
TEST_F(Cx100Test, BadDescriptorsAreRefusedWithoutWriting) {
    ASSERT_TRUE(Init());
    card().ClearLog();
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(E_POINTER, grabber->Grab(nullptr, &ok));
    SAFEARRAY* none = nullptr;
    EXPECT_EQ(E_POINTER, grabber->Grab(&none, &ok));

    struct ShapeCase {
        GuardedArray::Shape shape;
        HRESULT expected;
    };
    for (const ShapeCase& c : {ShapeCase{{0, 2, 1}, DISP_E_BADINDEX}, ShapeCase{{0, 1, 2}, DISP_E_TYPEMISMATCH},
                               ShapeCase{{0, 1, 4}, DISP_E_TYPEMISMATCH}}) {
        GuardedArray a(249896, c.shape);
        EXPECT_EQ(c.expected, grabber->Grab(a.ref(), &ok));
        EXPECT_TRUE(a.untouched());
    }
    GuardedArray noData(249896);
    noData.array()->pvData = nullptr;
    EXPECT_EQ(E_INVALIDARG, grabber->Grab(noData.ref(), &ok));
    EXPECT_TRUE(noData.untouched());
    EXPECT_THAT(card().Calls(), IsEmpty());
    EXPECT_THAT(boxes.seen(), IsEmpty());
}

TEST_F(Cx100Test, ArraysWithOtherLowerBoundsOrLockedByTheCallerAreFilledFromTheFirstElement) {
    ASSERT_TRUE(Init());
    GuardedArray shifted(249896, {1, 1, 1});
    EXPECT_TRUE(Grab(shifted));
    EXPECT_EQ(40, shifted[0]);
    GuardedArray locked(249896);
    ASSERT_EQ(S_OK, SafeArrayLock(locked.array()));
    EXPECT_TRUE(Grab(locked));
    EXPECT_EQ(1u, locked.array()->cLocks);
    SafeArrayUnlock(locked.array());
    EXPECT_EQ(40, locked[0]);
}

// Runs with the cards folder off the search path (CTest: cx100_tests.no_card).
TEST_F(Cx100Test, WithoutTheLibraryInitSaysItCannotReachTheCard) {
    if (CardsPresent()) GTEST_SKIP() << "run with --no-cards";
    EXPECT_FALSE(Init());
    EXPECT_THAT(boxes.seen(), ElementsAre(Box{L"Error", L"Unable to access CX100 frame grabber", kOk}));
    boxes.clear();
    // Only Init's first call is guarded: ShutDown fails without a box.
    EXPECT_TRUE(FAILED(grabber->ShutDown()));
    EXPECT_THAT(boxes.seen(), IsEmpty());
}

// Runs with one export hidden (CTest: cx100_tests.missing_<export>).
TEST_F(Cx100Test, AMissingExportFailsItsCallerWithoutABox) {
    const auto hidden = HiddenExports("wcx32");
    if (hidden.empty()) GTEST_SKIP() << "run with --hide=wcx32:<export>";
    const std::string& missing = hidden[0];
    VARIANT_BOOL ok = VARIANT_TRUE;
    const HRESULT init = grabber->Init(&ok);
    if (missing == "init_library") {
        EXPECT_EQ(S_OK, init);
        EXPECT_EQ(VARIANT_FALSE, ok);
        EXPECT_THAT(boxes.seen(), ElementsAre(Box{L"Error", L"Unable to access CX100 frame grabber", kOk}));
        return;
    }
    if (missing == "exit_library") {
        // Reached only by ShutDown and by a failed init_library.
        EXPECT_EQ(S_OK, init);
        EXPECT_TRUE(FAILED(grabber->ShutDown()));
        card().Returns(wcx::kInitLibrary, 3);
        EXPECT_TRUE(FAILED(grabber->Init(&ok)));
        EXPECT_THAT(boxes.seen(), IsEmpty());
        return;
    }
    if (missing == "grab" || missing == "copy_line") {
        EXPECT_EQ(S_OK, init);
        GuardedArray a(BufferSize());
        EXPECT_TRUE(FAILED(grabber->Grab(a.ref(), &ok)));
        EXPECT_THAT(boxes.seen(), IsEmpty());
        return;
    }
    EXPECT_TRUE(FAILED(init)) << missing;
    EXPECT_THAT(boxes.seen(), IsEmpty());
    // The object was left uninitialised.
    GuardedArray a(249896);
    EXPECT_FALSE(Grab(a));
    EXPECT_THAT(boxes.seen(), ElementsAre(Box{L"Error - CX100", L"CX100 not initialized", kOk}));
}

}  // namespace
