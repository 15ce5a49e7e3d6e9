// What a host pays per call on each deliverable, with the simulated cards in
// their fast mode (no picture work per frame, so the figures are the
// plug-in's own cost): one Grab of the default frame against a plain memcpy
// of BufferSize bytes, Init, and a property read early bound (vtable) and
// late bound (IDispatch::Invoke).
//
// Run under Wine from the build folder:  ./wine-run bin/grab_bench.exe
#include "deliverables.h"
#include "fbus32_control.h"
#include "simulated_card.h"
#include "vce_tools_control.h"
#include "video_grabber.h"
#include "vpx32_control.h"
#include "wcx32_control.h"

#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using testing_support::CardControlBase;

namespace {

struct Bench {
    const ServerIdentity* identity;
    std::unique_ptr<CardControlBase> (*card)();  // the simulator's control block, made before it loads
    bool colour;                                  // has a 24-bit mode
};

template <typename Control>
std::unique_ptr<CardControlBase> FastCard(const wchar_t* library) {
    auto card = std::make_unique<testing_support::SimulatedCard<Control>>(library);
    card->SetFast(true);
    return card;
}

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(frequency.QuadPart);
}

// Median seconds per run of `body` over `runs` runs.
template <typename F>
double Median(int runs, F&& body) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = Now();
        body();
        times.push_back(Now() - start);
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[runs / 2];
}

std::wstring BinFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

IVideoGrabber* Create(const ServerIdentity& id) {
    HMODULE dll = LoadLibraryW((BinFolder() + L"\\" + id.libraryName + L".dll").c_str());
    auto get = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    if (!get || FAILED(get(id.clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) return nullptr;
    IVideoGrabber* grabber = nullptr;
    factory->CreateInstance(nullptr, IID_IVideoGrabber, reinterpret_cast<void**>(&grabber));
    factory->Release();
    return grabber;
}

void Run(const Bench& b, bool colour) {
    IVideoGrabber* g = Create(*b.identity);
    if (!g) {
        std::printf("%-22ls not built\n", b.identity->libraryName);
        return;
    }
    g->put_Color(colour ? VARIANT_TRUE : VARIANT_FALSE);
    VARIANT_BOOL ok = VARIANT_FALSE;
    const double firstInit = Median(1, [&] { g->Init(&ok); });
    const double init = Median(5, [&] { g->Init(&ok); });
    LONG size = 0, x = 0, y = 0;
    g->get_BufferSize(&size);
    g->get_XSize(&x);
    g->get_YSize(&y);
    if (!ok || size <= 0) {
        std::printf("%-22ls Init failed\n", b.identity->libraryName);
        g->Release();
        return;
    }
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size));
    std::vector<BYTE> source(static_cast<size_t>(size), 0x5A);
    for (int i = 0; i < 3; ++i) g->Grab(&array, &ok);
    const double grab = Median(31, [&] { g->Grab(&array, &ok); });
    const double copy = Median(31, [&] { std::memcpy(array->pvData, source.data(), source.size()); });

    constexpr int kReads = 20000;
    LONG value = 0;
    const double vtable = Median(5, [&] {
                              for (int i = 0; i < kReads; ++i) g->get_BufferSize(&value);
                          }) / kReads;
    IDispatch* d = nullptr;
    g->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    const double invoke = Median(5, [&] {
                              for (int i = 0; i < kReads; ++i)
                                  d->Invoke(DISPID_BufferSize, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
                          }) / kReads;
    std::printf("%-22ls %-6s %4ldx%-4ld %8ld  %8.0f  %8.0f  %5.2f  %8.0f %8.0f  %6.1f %7.1f\n", b.identity->libraryName,
                colour ? "colour" : "grey", x, y, size, grab * 1e6, copy * 1e6, grab / copy, firstInit * 1e6, init * 1e6,
                vtable * 1e9, invoke * 1e9);
    d->Release();
    g->ShutDown();
    SafeArrayDestroy(array);
    g->Release();
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetDllDirectoryW((BinFolder() + L"\\..\\cards").c_str());
    const Bench benches[] = {
        {&kCx100Identity, [] { return FastCard<card_sim::wcx32::Control>(L"wcx32"); }, false},
        {&kFlashBusMvIdentity, [] { return FastCard<card_sim::fbus32::Control>(L"fbus32"); }, true},
        {&kVideoPortProIdentity, [] { return FastCard<card_sim::vpx32::Control>(L"vpx32"); }, true},
        {&kVceIdentity, [] { return FastCard<card_sim::vce_tools::Control>(L"vce_tools"); }, false},
    };
    // The control blocks exist before the simulators load: fast cards, no scripted faults.
    std::vector<std::unique_ptr<CardControlBase>> cards;
    for (const Bench& b : benches) cards.push_back(b.card());
    std::printf("%-22s %-6s %9s %8s  %8s  %8s  %5s  %8s %8s  %6s %7s\n", "deliverable", "mode", "frame", "bytes",
                "Grab us", "memcpy us", "ratio", "1st Init", "Init us", "get ns", "Invoke ns");
    for (const Bench& b : benches) {
        Run(b, false);
        if (b.colour) Run(b, true);
    }
    CoUninitialize();
    return 0;
}
