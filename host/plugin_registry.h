// The plug-ins as the registry knows them, and the registration of the
// host's own type library, VideoGrabber.tlb, that theirs refer to.
//
// A plug-in is any class registered with an in-process server and a type
// library in which its coclass implements IVideoGrabber: nothing here knows
// the plug-ins by name.
#pragma once

#include <string>
#include <vector>

struct RegisteredPlugin {
    std::wstring progId;       // the CLSID where the class has no ProgID
    std::wstring clsid;
    std::wstring dll;          // as InprocServer32 names it
    bool dllPresent;
    std::wstring typeLibrary;  // name and version, "TRVGPlugCX100 5.0"
};

// A registered class whose type library could not be read, so that what it
// implements is unknown: typically a plug-in whose DLL has been deleted.
struct UnreadableClass {
    std::wstring progId;
    std::wstring clsid;
    std::wstring dll;
    bool dllPresent;
    std::wstring typeLibraryFile;  // as registered; empty when not registered at all
};

struct PluginScan {
    std::vector<RegisteredPlugin> plugins;  // in the registry's order of CLSIDs
    std::vector<UnreadableClass> unreadable;
};

// Reads HKEY_CLASSES_ROOT\CLSID and the registered type libraries. COM must
// be initialised on the calling thread.
PluginScan ScanRegisteredPlugins();

// Registers VideoGrabber.tlb from `file`, unless a copy that exists is
// registered already (the host application's own, say). Unregisters it only
// where it was registered from `file`. Each returns what it did, in one line;
// throws ToolError.
std::wstring RegisterVideoGrabberLibrary(const std::wstring& file);
std::wstring UnregisterVideoGrabberLibrary(const std::wstring& file);
