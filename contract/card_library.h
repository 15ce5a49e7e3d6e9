// Run-time binding of a card maker's driver library. The library is loaded
// by file name, through the ordinary DLL search, on the first call of any of
// its functions; each function is looked up by its exported name on its own
// first call and the address serves every later call. The library is never
// unloaded. All card-library functions are stdcall.
#pragma once

#include "com_error.h"

#include <windows.h>

class CardLibrary {
public:
    constexpr explicit CardLibrary(const wchar_t* fileName) : fileName_(fileName) {}
    CardLibrary(const CardLibrary&) = delete;
    CardLibrary& operator=(const CardLibrary&) = delete;

    // Throws CardLibraryError when the library cannot be loaded or does not
    // export `name`.
    FARPROC Resolve(const char* name);

private:
    const wchar_t* fileName_;
    HMODULE module_ = nullptr;
};

template <typename R, typename... Args>
class CardFunction {
public:
    using Pointer = R(WINAPI*)(Args...);
    constexpr CardFunction(CardLibrary& library, const char* name) : library_(library), name_(name) {}
    CardFunction(const CardFunction&) = delete;
    CardFunction& operator=(const CardFunction&) = delete;

    R operator()(Args... args) {
        if (!address_) address_ = reinterpret_cast<Pointer>(reinterpret_cast<void*>(library_.Resolve(name_)));
        return address_(args...);
    }

private:
    CardLibrary& library_;
    const char* name_;
    Pointer address_ = nullptr;
};
