#include "card_library.h"

FARPROC CardLibrary::Resolve(const char* name) {
    if (!module_) {
        module_ = LoadLibraryW(fileName_);
        if (!module_) throw CardLibraryError{{HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)}};
    }
    FARPROC address = GetProcAddress(module_, name);
    if (!address) throw CardLibraryError{{HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)}};
    return address;
}
