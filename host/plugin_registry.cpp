#include "plugin_registry.h"

#include "com_ptr.h"
#include "tool_error.h"
#include "video_grabber.h"

#include <objbase.h>
#include <oleauto.h>

#include <cwchar>
#include <map>
#include <optional>

namespace {

class Key {
public:
    Key(HKEY parent, const std::wstring& path) {
        if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    explicit operator bool() const { return key_ != nullptr; }
    HKEY get() const { return key_; }

    // The names of the subkeys, in the registry's order.
    std::vector<std::wstring> Subkeys() const {
        std::vector<std::wstring> names;
        wchar_t name[256];
        for (DWORD i = 0; key_; ++i) {
            DWORD length = 256;
            const LONG status = RegEnumKeyExW(key_, i, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) break;
            if (status == ERROR_SUCCESS) names.emplace_back(name, length);
        }
        return names;
    }

    // A text value (environment strings expanded) of the key or a subkey.
    std::optional<std::wstring> Text(const std::wstring& subkey, const wchar_t* value = nullptr) const {
        DWORD bytes = 0;
        if (!key_ || RegGetValueW(key_, subkey.c_str(), value, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
            return std::nullopt;
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (RegGetValueW(key_, subkey.c_str(), value, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) != ERROR_SUCCESS)
            return std::nullopt;
        text.resize(wcslen(text.c_str()));
        return text;
    }

private:
    HKEY key_ = nullptr;
};

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FullPath(const std::wstring& file) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetFullPathNameW(file.c_str(), MAX_PATH, path, nullptr);
    return n > 0 && n < MAX_PATH ? std::wstring(path, n) : file;
}

// Paths registered by LoadTypeLibEx may carry the long-path prefix \\?\.
bool SamePath(const std::wstring& a, const std::wstring& b) {
    auto plain = [](const std::wstring& p) { return FullPath(p.rfind(L"\\\\?\\", 0) == 0 ? p.substr(4) : p); };
    return lstrcmpiW(plain(a).c_str(), plain(b).c_str()) == 0;
}

// The file registered for the highest version of a type library:
// TypeLib\{libid}\<major.minor, hexadecimal>\<lcid>\win32.
std::wstring RegisteredTypeLibraryFile(const std::wstring& libid) {
    const Key library(HKEY_CLASSES_ROOT, L"TypeLib\\" + libid);
    std::wstring best;
    unsigned bestMajor = 0, bestMinor = 0;
    for (const std::wstring& version : library.Subkeys()) {
        unsigned major = 0, minor = 0;
        if (swscanf(version.c_str(), L"%x.%x", &major, &minor) != 2) continue;
        if (!best.empty() && (major < bestMajor || (major == bestMajor && minor < bestMinor))) continue;
        const Key versionKey(library.get(), version);
        for (const std::wstring& lcid : versionKey.Subkeys())
            if (const auto file = versionKey.Text(lcid + L"\\win32")) {
                best = *file;
                bestMajor = major;
                bestMinor = minor;
                break;
            }
    }
    return best;
}

// True when the coclass `clsid` of `library` lists IVideoGrabber among the
// interfaces it implements.
bool ImplementsVideoGrabber(ITypeLib* library, const CLSID& clsid) {
    ComPtr<ITypeInfo> coclass;
    if (FAILED(library->GetTypeInfoOfGuid(clsid, coclass.put()))) return false;
    TYPEATTR* attributes = nullptr;
    if (FAILED(coclass->GetTypeAttr(&attributes))) return false;
    const bool isCoclass = attributes->typekind == TKIND_COCLASS;
    const WORD count = attributes->cImplTypes;
    coclass->ReleaseTypeAttr(attributes);
    for (WORD i = 0; isCoclass && i < count; ++i) {
        HREFTYPE reference = 0;
        ComPtr<ITypeInfo> implemented;
        if (FAILED(coclass->GetRefTypeOfImplType(i, &reference)) ||
            FAILED(coclass->GetRefTypeInfo(reference, implemented.put())) ||
            FAILED(implemented->GetTypeAttr(&attributes)))
            continue;
        const bool found = IsEqualGUID(attributes->guid, IID_IVideoGrabber);
        implemented->ReleaseTypeAttr(attributes);
        if (found) return true;
    }
    return false;
}

std::wstring LibraryTitle(ITypeLib* library) {
    BSTR name = nullptr;
    TLIBATTR* attributes = nullptr;
    std::wstring title;
    if (SUCCEEDED(library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr)) && name) title = name;
    SysFreeString(name);
    if (SUCCEEDED(library->GetLibAttr(&attributes))) {
        title += L" " + std::to_wstring(attributes->wMajorVerNum) + L"." + std::to_wstring(attributes->wMinorVerNum);
        library->ReleaseTLibAttr(attributes);
    }
    return title;
}

// The registered path of VideoGrabber 1.0, if any.
std::optional<std::wstring> RegisteredVideoGrabberPath() {
    BSTR path = nullptr;
    if (FAILED(QueryPathOfRegTypeLib(LIBID_VideoGrabber, kVideoGrabberLibMajor, kVideoGrabberLibMinor, 0, &path)))
        return std::nullopt;
    std::wstring text = path;
    SysFreeString(path);
    return text;
}

}  // namespace

PluginScan ScanRegisteredPlugins() {
    PluginScan scan;
    struct LoadedLibrary {
        std::wstring file;
        ComPtr<ITypeLib> library;
    };
    std::map<std::wstring, LoadedLibrary> libraries;  // by LIBID: many classes share one
    const Key classes(HKEY_CLASSES_ROOT, L"CLSID");
    for (const std::wstring& clsidText : classes.Subkeys()) {
        const auto dll = classes.Text(clsidText + L"\\InprocServer32");
        const auto libid = classes.Text(clsidText + L"\\TypeLib");
        CLSID clsid;
        if (!dll || !libid || FAILED(CLSIDFromString(clsidText.c_str(), &clsid))) continue;
        auto [entry, added] = libraries.try_emplace(*libid);
        LoadedLibrary& loaded = entry->second;
        if (added) {
            loaded.file = RegisteredTypeLibraryFile(*libid);
            if (!loaded.file.empty()) LoadTypeLibEx(loaded.file.c_str(), REGKIND_NONE, loaded.library.put());
        }
        const std::wstring progId = classes.Text(clsidText + L"\\ProgID").value_or(clsidText);
        if (!loaded.library) {
            scan.unreadable.push_back({progId, clsidText, *dll, FileExists(*dll), loaded.file});
        } else if (ImplementsVideoGrabber(loaded.library.get(), clsid)) {
            scan.plugins.push_back({progId, clsidText, *dll, FileExists(*dll), LibraryTitle(loaded.library.get())});
        }
    }
    return scan;
}

std::wstring RegisterVideoGrabberLibrary(const std::wstring& file) {
    const std::wstring path = FullPath(file);
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
    if (FAILED(hr)) throw ToolError{kCallFailed, path + L" cannot be read as a type library: " + DescribeHresult(hr)};
    TLIBATTR* attributes = nullptr;
    bool isVideoGrabber = false;
    if (SUCCEEDED(library->GetLibAttr(&attributes))) {
        isVideoGrabber = IsEqualGUID(attributes->guid, LIBID_VideoGrabber) &&
                         attributes->wMajorVerNum == kVideoGrabberLibMajor && attributes->wMinorVerNum == kVideoGrabberLibMinor;
        library->ReleaseTLibAttr(attributes);
    }
    if (!isVideoGrabber) throw ToolError{kUsage, path + L" is not the VideoGrabber 1.0 type library"};

    const auto registered = RegisteredVideoGrabberPath();
    if (registered && FileExists(*registered) && !SamePath(*registered, path))
        return L"VideoGrabber 1.0 is registered already, from " + *registered + L": left as it is";
    hr = RegisterTypeLib(library.get(), const_cast<wchar_t*>(path.c_str()), nullptr);
    if (FAILED(hr)) throw ToolError{kCallFailed, L"cannot register " + path + L": " + DescribeHresult(hr)};
    return L"registered VideoGrabber 1.0 from " + path;
}

std::wstring UnregisterVideoGrabberLibrary(const std::wstring& file) {
    const std::wstring path = FullPath(file);
    const auto registered = RegisteredVideoGrabberPath();
    if (!registered) return L"VideoGrabber 1.0 is not registered: nothing to do";
    if (!SamePath(*registered, path))
        return L"VideoGrabber 1.0 is registered from " + *registered + L", not from " + path + L": left as it is";
    const HRESULT hr = UnRegisterTypeLib(LIBID_VideoGrabber, kVideoGrabberLibMajor, kVideoGrabberLibMinor, 0, SYS_WIN32);
    if (FAILED(hr)) throw ToolError{kCallFailed, L"cannot unregister VideoGrabber 1.0: " + DescribeHresult(hr)};
    return L"unregistered VideoGrabber 1.0 (" + path + L")";
}
