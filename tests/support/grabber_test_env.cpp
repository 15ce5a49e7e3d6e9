#include "grabber_test_env.h"

#include <oleauto.h>

#include <cstdio>
#include <cstring>

namespace testing_support {

namespace {
bool g_cards = true;
std::vector<std::pair<std::string, std::string>> g_hidden;

std::string Narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
    return s;
}

// Registers VideoGrabber.tlb and every plug-in DLL beside the test program,
// as installing the host and running regsvr32 would.
void RegisterBinFolder() {
    const std::wstring bin = BinFolder();
    ITypeLib* lib = nullptr;
    if (SUCCEEDED(LoadTypeLibEx((bin + L"\\VideoGrabber.tlb").c_str(), REGKIND_REGISTER, &lib))) lib->Release();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((bin + L"\\TRVGPlug*.dll").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        HMODULE dll = LoadLibraryW((bin + L"\\" + found.cFileName).c_str());
        auto reg = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
        if (reg) reg();
    } while (FindNextFileW(search, &found));
    FindClose(search);
}
}  // namespace

std::wstring BinFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

bool CardsPresent() { return g_cards; }

std::vector<std::string> HiddenExports(const std::string& library) {
    std::vector<std::string> names;
    for (const auto& [lib, name] : g_hidden)
        if (lib == library) names.push_back(name);
    return names;
}

ComPtr<IVideoGrabber> CreateByProgId(const wchar_t* progId) {
    ComPtr<IVideoGrabber> grabber;
    CLSID clsid;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVideoGrabber, grabber.putVoid());
    return grabber;
}

void PrintTo(const Box& b, std::ostream* os) {
    *os << "{\"" << Narrow(b.title) << "\", \"" << Narrow(b.text) << "\", " << b.buttonValue << "}";
}

}  // namespace testing_support

void PrintTo(const SeenMessageBox& b, std::ostream* os) {
    testing_support::PrintTo(testing_support::Box{b.title, b.text, b.buttonValue}, os);
}

// A write past the end of an array faults against its no-access page. End
// the run at once, naming the fault, instead of leaving the process to
// Wine's crash handling: the test that was running is the last one listed.
static LONG WINAPI EndRunOnFault(EXCEPTION_POINTERS* e) {
    const EXCEPTION_RECORD& r = *e->ExceptionRecord;
    std::fprintf(stderr, "\nunhandled exception 0x%08lX at %p (access to %p)\n", r.ExceptionCode, r.ExceptionAddress,
                 r.NumberParameters > 1 ? reinterpret_cast<void*>(r.ExceptionInformation[1]) : nullptr);
    std::fflush(stderr);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

int main(int argc, char** argv) {
    SetUnhandledExceptionFilter(EndRunOnFault);
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--no-cards") testing_support::g_cards = false;
        else if (a.rfind("--hide=", 0) == 0) {
            const std::string hidden = a.substr(7);
            const size_t colon = hidden.find(':');
            if (colon != std::string::npos) testing_support::g_hidden.emplace_back(hidden.substr(0, colon), hidden.substr(colon + 1));
        }
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (testing_support::g_cards) SetDllDirectoryW(CARDS_DIR);
    testing_support::RegisterBinFolder();
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
