// vgview: a live view of one frame-grabber plug-in. It drives the plug-in as
// the host application does, grabs a frame whenever no window message is
// waiting (on the window's thread, which is the plug-in's apartment), and
// paints each frame straight from the packed DIB that Grab filled. The title
// shows the frame rate; closing the window shuts the plug-in down.
#include "frame_check.h"
#include "frame_files.h"
#include "message_box_watch.h"
#include "packed_dib.h"
#include "plugin_session.h"

#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

const wchar_t kName[] = L"vgview";
const wchar_t kHelp[] =
    L"usage: vgview [options] PROGID\n"
    L"\n"
    L"Shows the frames of a frame-grabber plug-in as they arrive.\n"
    L"\n"
    L"  --color             put Color True before Init\n"
    L"  --show-boxes        show the plug-in's message boxes (the default)\n"
    L"  --dismiss-boxes     print each message box to standard error and close it\n"
    L"  --frames N          close after N frames\n"
    L"  --snapshot FILE     on closing after N frames, save the window's picture as a .bmp\n"
    L"  --save-frame FILE   on closing after N frames, save the last frame as a .bmp\n"
    L"  -h, --help          this text\n";

struct Options {
    std::wstring progId;
    bool color = false;
    bool dismissBoxes = false;
    int frames = 0;  // 0: until the user closes the window
    std::wstring snapshot;
    std::wstring frameFile;
    bool help = false;
};

std::optional<Options> Parse(int argc, wchar_t** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == L"-h" || a == L"--help") o.help = true;
        else if (a == L"--color") o.color = true;
        else if (a == L"--show-boxes") o.dismissBoxes = false;
        else if (a == L"--dismiss-boxes") o.dismissBoxes = true;
        else if (a == L"--frames" && hasValue) {
            wchar_t* end = nullptr;
            const long n = wcstol(argv[++i], &end, 10);
            if (*end || n < 1 || n > 1000000) return std::nullopt;
            o.frames = static_cast<int>(n);
        } else if (a == L"--snapshot" && hasValue) o.snapshot = argv[++i];
        else if (a == L"--save-frame" && hasValue) o.frameFile = argv[++i];
        else if (!a.empty() && a[0] != L'-' && o.progId.empty()) o.progId = a;
        else return std::nullopt;
    }
    if (o.progId.empty() && !o.help) return std::nullopt;
    return o;
}

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

// The picture in a window's client area, as a 24-bit packed DIB.
std::vector<BYTE> CaptureClientArea(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    const LONG width = client.right, height = client.bottom;
    std::vector<BYTE> dib(static_cast<size_t>(PackedDibLayout(width, height, DibFormat::Bgr24).bufferSize));
    BITMAPINFOHEADER header = MakeBitmapHeader(width, height, 24);
    std::memcpy(dib.data(), &header, sizeof header);
    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, width, height);
    HGDIOBJ previous = SelectObject(memoryDc, bitmap);
    BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    SelectObject(memoryDc, previous);
    const int rows = GetDIBits(memoryDc, bitmap, 0, static_cast<UINT>(height), dib.data() + sizeof header,
                               reinterpret_cast<BITMAPINFO*>(dib.data()), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    if (rows != height) dib.clear();
    return dib;
}

class Viewer {
public:
    Viewer(PluginSession& session, const Options& options) : session_(session), options_(options) {}

    // Opens the window, sized for the frame at 1:1. False when it cannot.
    bool Open(HINSTANCE instance) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &Viewer::WindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        windowClass.lpszClassName = kName;
        RegisterClassW(&windowClass);
        const ReportedSizes& s = session_.properties().sizes;
        RECT frame{0, 0, s.xSize, s.ySize};
        AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
        window_ = CreateWindowW(kName, kName, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, instance, this);
        if (!window_) return false;
        SetTitle(L"starting");
        ShowWindow(window_, SW_SHOW);
        UpdateWindow(window_);
        return true;
    }

    // Grabs and shows frames until the window closes; the exit status.
    int Run() {
        MSG message;
        for (;;) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT) return status_;
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            if (grabbing_ && !IsIconic(window_)) GrabNext();
            else WaitMessage();
        }
    }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE)
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        auto* viewer = reinterpret_cast<Viewer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        switch (message) {
        case WM_PAINT:
            if (viewer) {
                viewer->Paint();
                return 0;
            }
            break;
        case WM_ERASEBKGND:
            return 1;  // Paint covers the whole client area
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    void Paint() {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window_, &paint);
        RECT client;
        GetClientRect(window_, &client);
        if (frame_) {
            const auto* info = reinterpret_cast<const BITMAPINFO*>(frame_);
            SetStretchBltMode(dc, COLORONCOLOR);
            StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, info->bmiHeader.biWidth, info->bmiHeader.biHeight,
                          FramePixels(frame_), info, DIB_RGB_COLORS, SRCCOPY);
        } else {
            FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        }
        EndPaint(window_, &paint);
    }

    void GrabNext() {
        try {
            const BYTE* frame = session_.Grab();
            const std::vector<std::wstring> problems = CheckFrame(frame, session_.frameSize(), session_.properties().sizes);
            if (!problems.empty()) {
                std::wstring text = session_.progId() + L": frame " + std::to_wstring(frames_ + 1) + L" is not what a host expects:";
                for (const std::wstring& problem : problems) text += L"\n  - " + problem;
                throw ToolError{kInvalidFrame, text};
            }
            frame_ = frame;
        } catch (const ToolError& e) {
            Stop(e);
            return;
        }
        ++frames_;
        InvalidateRect(window_, nullptr, FALSE);
        UpdateWindow(window_);
        ShowRate();
        if (frames_ == options_.frames) Finish();
    }

    // Once a second: the frames shown since the last time, per second.
    void ShowRate() {
        const double now = Now();
        if (rateStart_ == 0) rateStart_ = now;
        ++rateFrames_;
        if (now - rateStart_ < 1.0) return;
        wchar_t rate[32];
        swprintf(rate, 32, L"%.1f fps", rateFrames_ / (now - rateStart_));
        SetTitle(rate);
        rateStart_ = now;
        rateFrames_ = 0;
    }

    void SetTitle(const std::wstring& state) {
        const ReportedSizes& s = session_.properties().sizes;
        const auto format = AnnouncedFormat(s);
        wchar_t title[256];
        swprintf(title, 256, L"%ls - %ld x %ld %ls - %ls - %ls", session_.progId().c_str(), s.xSize, s.ySize,
                 format == DibFormat::Bgr24 ? L"colour" : L"grey", state.c_str(), kName);
        SetWindowTextW(window_, title);
    }

    // A failure stops the grabbing; the plug-in has told the user about a
    // Grab that returned False, the viewer tells about the rest.
    void Stop(const ToolError& e) {
        grabbing_ = false;
        frame_ = nullptr;  // the array's contents are not to be used
        status_ = e.status;
        SetTitle(L"stopped");
        InvalidateRect(window_, nullptr, FALSE);
        if (e.status != kGrabFailed) MessageBoxW(window_, e.message.c_str(), kName, MB_OK | MB_ICONEXCLAMATION);
        if (options_.frames > 0) DestroyWindow(window_);
    }

    // After the frames asked for: the files asked for, then close.
    void Finish() {
        grabbing_ = false;
        HRESULT hr = S_OK;
        if (!options_.snapshot.empty()) {
            const std::vector<BYTE> picture = CaptureClientArea(window_);
            hr = picture.empty() ? E_FAIL : WriteBmpFile(options_.snapshot, picture.data(), picture.size());
        }
        if (SUCCEEDED(hr) && !options_.frameFile.empty()) hr = WriteBmpFile(options_.frameFile, frame_, session_.frameSize());
        if (FAILED(hr)) {
            status_ = kWriteFailed;
            MessageBoxW(window_, (L"cannot write the snapshot: " + DescribeHresult(hr)).c_str(), kName, MB_OK | MB_ICONEXCLAMATION);
        }
        DestroyWindow(window_);
    }

    PluginSession& session_;
    const Options& options_;
    HWND window_ = nullptr;
    const BYTE* frame_ = nullptr;  // the session's array, after a good Grab
    bool grabbing_ = true;
    int frames_ = 0;
    double rateStart_ = 0;
    int rateFrames_ = 0;
    int status_ = kOk;
};

int View(HINSTANCE instance, const Options& options) {
    try {
        PluginSession session(options.progId, options.color);
        std::vector<std::wstring> problems = CheckSizes(session.properties().sizes);
        if (!problems.empty()) throw ToolError{kInvalidFrame, options.progId + L": " + problems.front()};
        Viewer viewer(session, options);
        if (!viewer.Open(instance)) throw ToolError{kCallFailed, L"cannot open a window: " + DescribeHresult(HRESULT_FROM_WIN32(GetLastError()))};
        const int status = viewer.Run();
        session.ShutDown();
        return status;
    } catch (const ToolError& e) {
        MessageBoxW(nullptr, e.message.c_str(), kName, MB_OK | MB_ICONERROR);
        return e.status;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::optional<Options> options = Parse(argc, argv);
    LocalFree(argv);
    if (!options || options->help) {
        MessageBoxW(nullptr, kHelp, kName, MB_OK | (options ? MB_ICONINFORMATION : MB_ICONERROR));
        return options ? kOk : kUsage;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return kCallFailed;
    int status;
    {
        std::unique_ptr<MessageBoxWatch> watch;
        if (options->dismissBoxes)
            watch = std::make_unique<MessageBoxWatch>([](const SeenMessageBox& box) {
                std::fwprintf(stderr, L"message box \"%ls\": %ls\n", box.title.c_str(), box.text.c_str());
            });
        status = View(instance, *options);
    }
    CoUninitialize();
    return status;
}
