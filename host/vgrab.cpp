// vgrab: the everyday companion of the frame-grabber plug-ins. It finds the
// registered plug-ins, shows what one reports after Init, and grabs frames
// the way the host application does, checking each frame as a host would
// and writing it as .bmp and .png files.
#include "frame_check.h"
#include "frame_files.h"
#include "message_box_watch.h"
#include "plugin_registry.h"
#include "plugin_session.h"

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace {

const wchar_t kHelp[] =
    L"usage: vgrab COMMAND [options] [ARGUMENTS]\n"
    L"       vgrab [grab options] PROGID...      (the same as vgrab grab)\n"
    L"\n"
    L"Finds the frame-grabber plug-ins of the host application, shows what they\n"
    L"report, and grabs frames from them as the host does.\n"
    L"\n"
    L"commands:\n"
    L"  list [--all]             every registered class that implements IVideoGrabber:\n"
    L"                           ProgID, type library and version, whether its DLL is there;\n"
    L"                           --all also names the registered classes whose type library\n"
    L"                           cannot be read (a plug-in whose DLL was deleted is one)\n"
    L"  info PROGID...           Init, then XSize, YSize, DIBxSize, BufferSize, HasColor,\n"
    L"                           Color and HasSetupDlg; ShutDown\n"
    L"  grab PROGID...           Init, grab frames, check each one as a host would and\n"
    L"                           write it to files; frames per second at the end; ShutDown\n"
    L"  register-typelib FILE    register the host's VideoGrabber.tlb from FILE, unless a\n"
    L"                           copy is registered already\n"
    L"  unregister-typelib FILE  unregister VideoGrabber.tlb if it was registered from FILE\n"
    L"\n"
    L"options of info and grab:\n"
    L"  --color                  put Color True before Init\n"
    L"  --dismiss-boxes          print each message box of the plug-in to standard error\n"
    L"                           and close it (the default)\n"
    L"  --show-boxes             leave the plug-in's message boxes to the user\n"
    L"options of grab:\n"
    L"  --frames N               frames to grab (default 3)\n"
    L"  --format bmp|png|both|none\n"
    L"                           files to write for each frame (default both)\n"
    L"  --out DIR                folder for the files (default: the current folder)\n"
    L"  --name PREFIX            file names PREFIX-001.bmp and so on (default: the class\n"
    L"                           name, with -color after it when --color is given)\n"
    L"  -h, --help               this text\n"
    L"\n"
    L"exit status: 0 done, 1 wrong usage, 2 the class cannot be created, 3 Init returned\n"
    L"False, 4 Grab returned False, 5 a call failed, 6 a file cannot be written, 7 the\n"
    L"sizes or a frame are not what a host expects.\n";

enum class Command { List, Info, Grab, RegisterTypeLib, UnregisterTypeLib, Help };

struct CommandEntry {
    const wchar_t* name;
    Command command;
    size_t minArguments;
    size_t maxArguments;
};

constexpr CommandEntry kCommands[] = {
    {L"list", Command::List, 0, 0},
    {L"info", Command::Info, 1, SIZE_MAX},
    {L"grab", Command::Grab, 1, SIZE_MAX},
    {L"register-typelib", Command::RegisterTypeLib, 1, 1},
    {L"unregister-typelib", Command::UnregisterTypeLib, 1, 1},
    {L"help", Command::Help, 0, 0},
};

const CommandEntry* Find(Command command) {
    for (const CommandEntry& c : kCommands)
        if (c.command == command) return &c;
    return nullptr;
}

struct Options {
    const CommandEntry* entry = Find(Command::Grab);
    std::vector<std::wstring> arguments;
    bool color = false;
    int frames = 3;
    bool bmp = true;
    bool png = true;
    std::wstring outDir = L".";
    std::wstring prefix;
    bool dismissBoxes = true;
    bool all = false;
};

ToolError Usage(const std::wstring& what) { return {kUsage, what}; }

Options Parse(int argc, wchar_t** argv) {
    Options o;
    if (argc < 2) throw Usage(L"no command given");
    int i = 1;
    for (const CommandEntry& c : kCommands)
        if (c.name == std::wstring(argv[1])) {
            o.entry = &c;
            ++i;
            break;
        }
    const Command command = o.entry->command;
    for (; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (a == L"-h" || a == L"--help") {
            o.entry = Find(Command::Help);
            return o;
        }
        if (a.empty() || a[0] != L'-') {
            o.arguments.push_back(a);
            continue;
        }
        const bool grabOption = a == L"--frames" || a == L"--format" || a == L"--out" || a == L"--name";
        const bool sessionOption = a == L"--color" || a == L"--dismiss-boxes" || a == L"--show-boxes";
        const bool listOption = a == L"--all";
        if (!grabOption && !sessionOption && !listOption) throw Usage(L"unknown option " + a);
        if ((grabOption && command != Command::Grab) || (listOption && command != Command::List) ||
            (sessionOption && command != Command::Grab && command != Command::Info))
            throw Usage(L"option " + a + L" does not apply to " + o.entry->name);
        if (a == L"--all") o.all = true;
        else if (a == L"--color") o.color = true;
        else if (a == L"--dismiss-boxes") o.dismissBoxes = true;
        else if (a == L"--show-boxes") o.dismissBoxes = false;
        else {
            if (i + 1 == argc) throw Usage(L"option " + a + L" needs a value");
            const std::wstring value = argv[++i];
            if (a == L"--out") o.outDir = value;
            else if (a == L"--name") o.prefix = value;
            else if (a == L"--frames") {
                wchar_t* end = nullptr;
                const long n = wcstol(value.c_str(), &end, 10);
                if (*end || n < 1 || n > 1000000) throw Usage(L"--frames takes a number from 1 to 1000000, not " + value);
                o.frames = static_cast<int>(n);
            } else {
                o.bmp = value == L"bmp" || value == L"both";
                o.png = value == L"png" || value == L"both";
                if (!o.bmp && !o.png && value != L"none") throw Usage(L"--format takes bmp, png, both or none, not " + value);
            }
        }
    }
    const size_t n = o.arguments.size();
    const bool takesProgIds = command == Command::Info || command == Command::Grab;
    if (n < o.entry->minArguments) throw Usage(std::wstring(o.entry->name) + (takesProgIds ? L": which ProgID?" : L": which file?"));
    if (n > o.entry->maxArguments) throw Usage(std::wstring(o.entry->name) + L": too many arguments");
    if (!o.prefix.empty() && n > 1) throw Usage(L"--name applies to one ProgID only");
    return o;
}

const wchar_t* YesNo(bool b) { return b ? L"True" : L"False"; }

int List(bool all) {
    const PluginScan scan = ScanRegisteredPlugins();
    if (scan.plugins.empty()) {
        std::wprintf(L"No registered class implements IVideoGrabber.\n");
    } else {
        size_t width = 6, libraryWidth = 12;
        for (const RegisteredPlugin& p : scan.plugins) {
            width = std::max(width, p.progId.size());
            libraryWidth = std::max(libraryWidth, p.typeLibrary.size());
        }
        const int w = static_cast<int>(width), lw = static_cast<int>(libraryWidth);
        std::wprintf(L"%-*ls  %-*ls  %-7ls  %ls\n", w, L"PROGID", lw, L"TYPE LIBRARY", L"DLL", L"FILE");
        for (const RegisteredPlugin& p : scan.plugins)
            std::wprintf(L"%-*ls  %-*ls  %-7ls  %ls\n", w, p.progId.c_str(), lw, p.typeLibrary.c_str(),
                         p.dllPresent ? L"present" : L"MISSING", p.dll.c_str());
        std::wprintf(L"%zu plug-in%ls registered.\n", scan.plugins.size(), scan.plugins.size() == 1 ? L"" : L"s");
    }
    if (scan.unreadable.empty()) return kOk;
    if (!all) {
        std::wprintf(L"%zu more registered class%ls could not be checked: %ls type library cannot be read "
                     L"(vgrab list --all names them).\n",
                     scan.unreadable.size(), scan.unreadable.size() == 1 ? L"" : L"es",
                     scan.unreadable.size() == 1 ? L"its" : L"their");
        return kOk;
    }
    std::wprintf(L"Registered classes whose type library cannot be read:\n");
    for (const UnreadableClass& u : scan.unreadable)
        std::wprintf(L"  %ls  %ls\n    DLL %ls%ls\n    type library %ls\n", u.progId.c_str(), u.clsid.c_str(), u.dll.c_str(),
                     u.dllPresent ? L"" : L" (MISSING)",
                     u.typeLibraryFile.empty() ? L"not registered" : u.typeLibraryFile.c_str());
    return kOk;
}

void Info(const std::wstring& progId, const Options& o) {
    PluginSession session(progId, o.color);
    const PluginProperties& p = session.properties();
    const ReportedSizes& s = p.sizes;
    std::wprintf(L"%ls\n", progId.c_str());
    std::wprintf(L"  XSize        %ld\n  YSize        %ld\n  DIBxSize     %ld\n  BufferSize   %ld\n", s.xSize, s.ySize,
                 s.dibxSize, s.bufferSize);
    std::wprintf(L"  HasColor     %ls\n  Color        %ls\n  HasSetupDlg  %ls\n", YesNo(p.hasColor), YesNo(p.color),
                 YesNo(p.hasSetupDlg));
    const std::vector<std::wstring> problems = CheckSizes(s);
    if (const auto format = AnnouncedFormat(s); format && problems.empty())
        std::wprintf(L"  frames       %ls: %ld rows of %ld bytes after a %lld-byte header%ls\n",
                     *format == DibFormat::Grey8 ? L"8-bit grey" : L"24-bit colour", s.ySize, s.dibxSize,
                     PixelOffset(*format), *format == DibFormat::Grey8 ? L" and grey palette" : L"");
    session.ShutDown();
    if (!problems.empty()) {
        std::wstring text = progId + L": a host would not use these sizes:";
        for (const std::wstring& problem : problems) text += L"\n  - " + problem;
        throw ToolError{kInvalidFrame, text};
    }
}

std::wstring DefaultPrefix(const std::wstring& progId, bool color) {
    const size_t dot = progId.rfind(L'.');
    return (dot == std::wstring::npos ? progId : progId.substr(dot + 1)) + (color ? L"-color" : L"");
}

std::wstring FrameFile(const std::wstring& dir, const std::wstring& prefix, int number, const wchar_t* extension) {
    wchar_t suffix[24];
    swprintf(suffix, 24, L"-%03d.%ls", number, extension);
    const bool slashes = dir.find(L'/') != std::wstring::npos && dir.find(L'\\') == std::wstring::npos;
    return dir + (slashes ? L"/" : L"\\") + prefix + suffix;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// Once a second on long runs: how far the grab has come.
class Progress {
public:
    explicit Progress(int total) : total_(total) {
        DWORD mode;
        console_ = GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
        QueryPerformanceCounter(&last_);
    }
    ~Progress() {
        if (shown_ && console_) std::fwprintf(stderr, L"\n");
    }
    void Update(int done, double grabSeconds) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        if (done == total_ || Seconds(last_, now) < 1.0) return;
        last_ = now;
        shown_ = true;
        std::fwprintf(stderr, L"%ls  %d of %d frames (Grab: %.1f frames per second)%ls", console_ ? L"\r" : L"", done,
                      total_, grabSeconds > 0 ? done / grabSeconds : 0.0, console_ ? L"" : L"\n");
    }

private:
    int total_;
    bool console_;
    bool shown_ = false;
    LARGE_INTEGER last_;
};

void Grab(const std::wstring& progId, const Options& o) {
    PluginSession session(progId, o.color);
    const ReportedSizes& s = session.properties().sizes;
    const auto format = AnnouncedFormat(s);
    std::wprintf(L"%ls: %ld x %ld %ls, DIBxSize %ld, BufferSize %ld\n", progId.c_str(), s.xSize, s.ySize,
                 !format ? L"(format unknown)" : *format == DibFormat::Grey8 ? L"grey" : L"colour", s.dibxSize, s.bufferSize);
    const std::wstring prefix = o.prefix.empty() ? DefaultPrefix(progId, o.color) : o.prefix;
    double grabSeconds = 0;
    Progress progress(o.frames);
    for (int i = 1; i <= o.frames; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        const BYTE* frame = session.Grab();
        QueryPerformanceCounter(&end);
        grabSeconds += Seconds(start, end);
        const std::vector<std::wstring> problems = CheckFrame(frame, session.frameSize(), s);
        if (!problems.empty()) {
            std::wstring text = progId + L": frame " + std::to_wstring(i) + L" is not what a host expects:";
            for (const std::wstring& problem : problems) text += L"\n  - " + problem;
            throw ToolError{kInvalidFrame, text};
        }
        for (const wchar_t* extension : {L"bmp", L"png"}) {
            const bool bmp = extension[0] == L'b';
            if (!(bmp ? o.bmp : o.png)) continue;
            const std::wstring path = FrameFile(o.outDir, prefix, i, extension);
            const HRESULT hr = bmp ? WriteBmpFile(path, frame, session.frameSize()) : WritePngFile(path, frame);
            if (FAILED(hr)) throw ToolError{kWriteFailed, L"cannot write " + path + L": " + DescribeHresult(hr)};
        }
        progress.Update(i, grabSeconds);
    }
    for (const wchar_t* extension : {L"bmp", L"png"}) {
        if (!(extension[0] == L'b' ? o.bmp : o.png)) continue;
        std::wprintf(L"  wrote %ls", FrameFile(o.outDir, prefix, 1, extension).c_str());
        if (o.frames > 1) std::wprintf(L" .. %ls", FrameFile(L"", prefix, o.frames, extension).substr(1).c_str());
        std::wprintf(L"\n");
    }
    std::wprintf(L"%ls: %d frame%ls checked, %.1f frames per second (%.3f s in Grab)\n", progId.c_str(), o.frames,
                 o.frames == 1 ? L"" : L"s", grabSeconds > 0 ? o.frames / grabSeconds : 0.0, grabSeconds);
    session.ShutDown();
}

int Run(const Options& o) {
    switch (o.entry->command) {
    case Command::List:
        return List(o.all);
    case Command::RegisterTypeLib:
        std::wprintf(L"%ls\n", RegisterVideoGrabberLibrary(o.arguments[0]).c_str());
        return kOk;
    case Command::UnregisterTypeLib:
        std::wprintf(L"%ls\n", UnregisterVideoGrabberLibrary(o.arguments[0]).c_str());
        return kOk;
    default:
        break;
    }
    // info and grab: each ProgID in turn; the first failure gives the exit status.
    int status = kOk;
    for (const std::wstring& progId : o.arguments) {
        try {
            if (o.entry->command == Command::Info) Info(progId, o);
            else Grab(progId, o);
        } catch (const ToolError& e) {
            std::fwprintf(stderr, L"vgrab: %ls\n", e.message.c_str());
            if (status == kOk) status = e.status;
        }
    }
    return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);  // keep standard output in step with the messages on standard error
    Options options;
    try {
        options = Parse(argc, argv);
    } catch (const ToolError& e) {
        std::fwprintf(stderr, L"vgrab: %ls\nTry 'vgrab --help'.\n", e.message.c_str());
        return e.status;
    }
    if (options.entry->command == Command::Help) {
        std::fputws(kHelp, stdout);
        return kOk;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::fwprintf(stderr, L"vgrab: COM does not start\n");
        return kCallFailed;
    }
    int status;
    try {
        std::unique_ptr<MessageBoxWatch> watch;
        if (options.dismissBoxes)
            watch = std::make_unique<MessageBoxWatch>([](const SeenMessageBox& box) {
                std::fwprintf(stderr, L"message box \"%ls\": %ls\n", box.title.c_str(), box.text.c_str());
            });
        status = Run(options);
    } catch (const ToolError& e) {
        std::fwprintf(stderr, L"vgrab: %ls\n", e.message.c_str());
        status = e.status;
    }
    CoUninitialize();
    return status;
}
