// The identities that tell one deliverable from another: its type library,
// its class, and the default interface of the class. Everything else about
// the COM server is common to all four.
#pragma once

#include <windows.h>

#include <string>

struct ServerIdentity {
    const wchar_t* libraryName;  // type library name, also the file's base name
    GUID libid;
    WORD versionMajor;
    WORD versionMinor;
    const wchar_t* helpString;   // nullptr: none
    const wchar_t* className;    // the creatable class, "cls" + card name
    CLSID clsid;
    IID defaultIid;              // "_" + class name: an empty dual interface
    bool bitmapRecords;          // the library also declares the Windows bitmap records

    std::wstring progId() const { return std::wstring(libraryName) + L"." + className; }
    std::wstring defaultInterfaceName() const { return std::wstring(L"_") + className; }
};

inline constexpr LCID kTypeLibLcid = 0x409;  // U.S. English
