// The fixture every plug-in suite starts from: a fresh simulated card, a new
// object created by ProgID, every message box read and closed, and the
// host's calls with their HRESULT checked.
#pragma once

#include "grabber_test_env.h"
#include "guarded_array.h"

#include <ostream>

namespace testing_support {

// The geometry a host reads after Init.
struct Geometry {
    LONG xSize, ySize, dibxSize, bufferSize;
    bool operator==(const Geometry& o) const {
        return xSize == o.xSize && ySize == o.ySize && dibxSize == o.dibxSize && bufferSize == o.bufferSize;
    }
};
inline void PrintTo(const Geometry& g, std::ostream* os) {
    *os << g.xSize << " x " << g.ySize << ", DIBxSize " << g.dibxSize << ", BufferSize " << g.bufferSize;
}

// The bitmap info header a plug-in writes at the front of a frame, and for
// grey frames the 256 grey palette entries after it.
void ExpectDibHeader(const BYTE* dib, LONG width, LONG height, bool colour);

// Plugin: a description of the deliverable under test, with
//   using Control = <its simulator's control block>;
//   static constexpr const wchar_t* kLibrary;  // the simulator, as in Card<>()
//   static constexpr const char* kName;        // the same name, for --hide
//   static constexpr const wchar_t* kProgId;
template <typename Plugin>
class GrabberTest : public ::testing::Test {
protected:
    using Control = typename Plugin::Control;

    void SetUp() override {
        card().Reset();
        grabber = New();
        ASSERT_TRUE(grabber) << "the plug-in is not registered";
    }
    static SimulatedCard<Control>& card() { return Card<Control>(Plugin::kLibrary, Plugin::kName); }
    static auto& settings() { return card().settings(); }
    static ComPtr<IVideoGrabber> New() { return CreateByProgId(Plugin::kProgId); }

    // Init and Grab as the host calls them: S_OK, and a Boolean that is
    // True or False, never anything else.
    bool Init(IVideoGrabber* on = nullptr) { return Result(&IVideoGrabber::Init, on); }
    bool Grab(GuardedArray& a, IVideoGrabber* on = nullptr) {
        VARIANT_BOOL ok = 123;
        EXPECT_EQ(S_OK, (on ? on : grabber.get())->Grab(a.ref(), &ok));
        EXPECT_TRUE(ok == VARIANT_TRUE || ok == VARIANT_FALSE) << ok;
        return ok == VARIANT_TRUE;
    }
    LONG Get(HRESULT (STDMETHODCALLTYPE IVideoGrabber::*getter)(LONG*)) {
        LONG v = -99;
        EXPECT_EQ(S_OK, (grabber.get()->*getter)(&v));
        return v;
    }
    VARIANT_BOOL Get(HRESULT (STDMETHODCALLTYPE IVideoGrabber::*getter)(VARIANT_BOOL*)) {
        VARIANT_BOOL v = 123;
        EXPECT_EQ(S_OK, (grabber.get()->*getter)(&v));
        return v;
    }
    LONG BufferSize() { return Get(&IVideoGrabber::get_BufferSize); }
    Geometry geometry() {
        return {Get(&IVideoGrabber::get_XSize), Get(&IVideoGrabber::get_YSize), Get(&IVideoGrabber::get_DIBxSize),
                BufferSize()};
    }

    MessageBoxWatch boxes;
    ComPtr<IVideoGrabber> grabber;

private:
    bool Result(HRESULT (STDMETHODCALLTYPE IVideoGrabber::*member)(VARIANT_BOOL*), IVideoGrabber* on) {
        VARIANT_BOOL ok = 123;
        EXPECT_EQ(S_OK, ((on ? on : grabber.get())->*member)(&ok));
        EXPECT_TRUE(ok == VARIANT_TRUE || ok == VARIANT_FALSE) << ok;
        return ok == VARIANT_TRUE;
    }
};

}  // namespace testing_support
