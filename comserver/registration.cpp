// DllRegisterServer and DllUnregisterServer: the embedded type library and
// the class's keys under HKEY_CLASSES_ROOT, written as a table of rows.
#include "server.h"

#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace {

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// Full path of this DLL, wherever it was loaded from.
std::wstring ModulePath() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModulePath), &module);
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring VersionText(const ServerIdentity& id) {
    return std::to_wstring(id.versionMajor) + L"." + std::to_wstring(id.versionMinor);
}

struct RegistryRow {
    std::wstring key;
    const wchar_t* valueName;  // nullptr: the key's default value
    std::wstring data;
};

std::vector<RegistryRow> ClassRows(const ServerIdentity& id, const std::wstring& path) {
    const std::wstring clsidKey = L"CLSID\\" + GuidText(id.clsid);
    const std::wstring progId = id.progId();
    return {
        {clsidKey, nullptr, progId},
        {clsidKey + L"\\InprocServer32", nullptr, path},
        {clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {clsidKey + L"\\ProgID", nullptr, progId},
        {clsidKey + L"\\VERSION", nullptr, VersionText(id)},
        {clsidKey + L"\\TypeLib", nullptr, GuidText(id.libid)},
        {progId, nullptr, progId},
        {progId + L"\\CLSID", nullptr, GuidText(id.clsid)},
    };
}

HRESULT WriteRow(const RegistryRow& row) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, row.key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    status = RegSetValueExW(key, row.valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(row.data.c_str()),
                            static_cast<DWORD>((row.data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(status);
}

HRESULT DeleteTree(const std::wstring& key) {
    const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) return S_OK;
    return HRESULT_FROM_WIN32(status);
}

// Removes the type library's registration; one that is not registered (any
// more) is what was asked for.
HRESULT UnregisterTypeLibrary(const ServerIdentity& id) {
    const HRESULT hr = UnRegisterTypeLib(id.libid, id.versionMajor, id.versionMinor, kTypeLibLcid, SYS_WIN32);
    if (SUCCEEDED(hr)) return hr;
    HKEY key = nullptr;
    const std::wstring path = L"TypeLib\\" + GuidText(id.libid) + L"\\" + VersionText(id);
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return S_OK;
    RegCloseKey(key);
    return hr;
}

}  // namespace

extern "C" HRESULT WINAPI DllRegisterServer() {
    const ServerIdentity& id = ServedIdentity();
    std::wstring path = ModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());

    // The type library is the DLL's TYPELIB resource 1. Registering it also
    // registers the dual default interface for automation marshalling.
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    hr = RegisterTypeLib(library, path.data(), nullptr);
    library->Release();
    if (FAILED(hr)) return hr;

    for (const RegistryRow& row : ClassRows(id, path)) {
        hr = WriteRow(row);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    const ServerIdentity& id = ServedIdentity();
    HRESULT result = DeleteTree(L"CLSID\\" + GuidText(id.clsid));
    const HRESULT progIdResult = DeleteTree(id.progId());
    if (SUCCEEDED(result)) result = progIdResult;
    const HRESULT typeLibResult = UnregisterTypeLibrary(id);
    return SUCCEEDED(result) ? typeLibResult : result;
}
