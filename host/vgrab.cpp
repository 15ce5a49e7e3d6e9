// vgrab: a small host for the frame-grabber plug-ins. It does what the host
// application does (create by ProgID, Init, read the geometry, allocate a
// byte array of BufferSize elements, Grab, ShutDown) and writes each frame
// as a .bmp file.
#include "message_box_watch.h"
#include "video_grabber.h"

#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>

namespace {

enum Exit { kOk = 0, kUsage = 1, kNotCreated = 2, kInitFailed = 3, kGrabFailed = 4, kCallFailed = 5, kWriteFailed = 6 };

struct Options {
    std::wstring progId;
    bool color = false;
    int frames = 3;
    std::wstring outDir = L".";
    std::wstring prefix;
    bool dismissBoxes = true;
};

void Usage() {
    std::fwprintf(stderr,
                  L"usage: vgrab [options] PROGID\n"
                  L"  --color           put Color True before Init\n"
                  L"  --frames N        frames to grab (default 3)\n"
                  L"  --out DIR         folder for the .bmp files (default .)\n"
                  L"  --name PREFIX     file name prefix (default: the class name)\n"
                  L"  --show-boxes      leave the plug-in's message boxes to the user\n"
                  L"  --dismiss-boxes   print each box to standard error and close it (default)\n");
}

std::optional<Options> Parse(int argc, wchar_t** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        auto value = [&]() -> const wchar_t* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == L"--color") o.color = true;
        else if (a == L"--show-boxes") o.dismissBoxes = false;
        else if (a == L"--dismiss-boxes") o.dismissBoxes = true;
        else if (a == L"--frames") {
            const wchar_t* v = value();
            if (!v || (o.frames = _wtoi(v)) < 1) return std::nullopt;
        } else if (a == L"--out") {
            const wchar_t* v = value();
            if (!v) return std::nullopt;
            o.outDir = v;
        } else if (a == L"--name") {
            const wchar_t* v = value();
            if (!v) return std::nullopt;
            o.prefix = v;
        } else if (!a.empty() && a[0] == L'-') return std::nullopt;
        else if (o.progId.empty()) o.progId = a;
        else return std::nullopt;
    }
    if (o.progId.empty()) return std::nullopt;
    if (o.prefix.empty()) {
        const size_t dot = o.progId.rfind(L'.');
        o.prefix = dot == std::wstring::npos ? o.progId : o.progId.substr(dot + 1);
        if (o.color) o.prefix += L"-color";
    }
    return o;
}

struct ComRelease {
    void operator()(IUnknown* p) const { p->Release(); }
};

bool WriteBitmapFile(const std::wstring& path, const BYTE* dib, LONG size) {
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
    const DWORD colors = header->biBitCount <= 8 ? (header->biClrUsed ? header->biClrUsed : 1u << header->biBitCount) : 0;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfSize = static_cast<DWORD>(sizeof file + size);
    file.bfOffBits = static_cast<DWORD>(sizeof file + header->biSize + colors * sizeof(RGBQUAD));
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) return false;
    const bool ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(dib, 1, size, out) == static_cast<size_t>(size);
    return fclose(out) == 0 && ok;
}

int Fail(int code, const wchar_t* format, const std::wstring& a, HRESULT hr = S_OK) {
    std::fwprintf(stderr, L"vgrab: ");
    std::fwprintf(stderr, format, a.c_str(), static_cast<unsigned long>(hr));
    std::fwprintf(stderr, L"\n");
    return code;
}

int Run(const Options& o) {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(o.progId.c_str(), &clsid)))
        return Fail(kNotCreated, L"%ls is not registered (run regsvr32 on its DLL)", o.progId);
    IVideoGrabber* raw = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IVideoGrabber, reinterpret_cast<void**>(&raw));
    if (FAILED(hr)) return Fail(kNotCreated, L"cannot create %ls (0x%08lX)", o.progId, hr);
    std::unique_ptr<IVideoGrabber, ComRelease> grabber(raw);

    if (o.color && FAILED(hr = grabber->put_Color(VARIANT_TRUE)))
        return Fail(kCallFailed, L"%ls: Color failed (0x%08lX)", o.progId, hr);
    VARIANT_BOOL ok = VARIANT_FALSE;
    if (FAILED(hr = grabber->Init(&ok))) return Fail(kCallFailed, L"%ls: Init failed (0x%08lX)", o.progId, hr);
    if (!ok) return Fail(kInitFailed, L"%ls: Init returned False", o.progId);

    LONG width = 0, height = 0, row = 0, size = 0;
    VARIANT_BOOL color = VARIANT_FALSE;
    grabber->get_XSize(&width);
    grabber->get_YSize(&height);
    grabber->get_DIBxSize(&row);
    grabber->get_BufferSize(&size);
    grabber->get_Color(&color);
    std::wprintf(L"%ls: %ld x %ld %ls, DIBxSize %ld, BufferSize %ld\n", o.progId.c_str(), width, height,
                 color ? L"colour" : L"grey", row, size);
    if (size <= 0) return Fail(kGrabFailed, L"%ls: BufferSize is not positive", o.progId);

    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size));
    if (!array) return Fail(kCallFailed, L"%ls: cannot allocate the frame buffer", o.progId, E_OUTOFMEMORY);
    int status = kOk;
    double seconds = 0;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < o.frames && status == kOk; ++i) {
        QueryPerformanceCounter(&start);
        hr = grabber->Grab(&array, &ok);
        QueryPerformanceCounter(&end);
        seconds += double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
        if (FAILED(hr)) status = Fail(kCallFailed, L"%ls: Grab failed (0x%08lX)", o.progId, hr);
        else if (!ok) status = Fail(kGrabFailed, L"%ls: Grab returned False", o.progId);
        else {
            wchar_t name[32];
            swprintf(name, 32, L"-%03d.bmp", i + 1);
            const std::wstring path = o.outDir + L"\\" + o.prefix + name;
            if (!WriteBitmapFile(path, static_cast<const BYTE*>(array->pvData), size))
                status = Fail(kWriteFailed, L"cannot write %ls", path);
            else std::wprintf(L"  wrote %ls\n", path.c_str());
        }
    }
    if (status == kOk)
        std::wprintf(L"%ls: %d frames in %.3f s, %.1f frames per second\n", o.progId.c_str(), o.frames, seconds,
                     seconds > 0 ? o.frames / seconds : 0.0);
    SafeArrayDestroy(array);
    hr = grabber->ShutDown();
    if (FAILED(hr) && status == kOk) status = Fail(kCallFailed, L"%ls: ShutDown failed (0x%08lX)", o.progId, hr);
    return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::optional<Options> options = Parse(argc, argv);
    if (!options) {
        Usage();
        return kUsage;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Fail(kCallFailed, L"%ls", L"COM did not start");
    int status;
    {
        std::unique_ptr<MessageBoxWatch> watch;
        if (options->dismissBoxes)
            watch = std::make_unique<MessageBoxWatch>([](const SeenMessageBox& box) {
                std::fwprintf(stderr, L"message box \"%ls\": %ls\n", box.title.c_str(), box.text.c_str());
            });
        status = Run(*options);
    }
    CoUninitialize();
    return status;
}
