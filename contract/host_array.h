// The host's byte array as Grab receives it: a reference to the caller's
// SAFEARRAY pointer. The descriptor is checked before anything is read from
// or written to the storage behind it; a descriptor that cannot be trusted
// ends the call with a failure HRESULT (ComError) and nothing is written.
#pragma once

#include "com_error.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdint>

class HostArray {
public:
    // Throws ComError: E_POINTER for a null reference or no array at all,
    // DISP_E_BADINDEX for an array that is not one-dimensional,
    // DISP_E_TYPEMISMATCH for elements that are not single bytes,
    // E_INVALIDARG for elements without storage behind them.
    explicit HostArray(SAFEARRAY** reference);

    // Element count of the one dimension (upper bound - lower bound + 1).
    int64_t size() const { return array_->rgsabound[0].cElements; }

    // The storage, locked so that it cannot be reallocated or freed while a
    // frame is written into it; written from the first element on.
    class Lock {
    public:
        explicit Lock(SAFEARRAY* array);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
        BYTE* data() const { return static_cast<BYTE*>(array_->pvData); }

    private:
        SAFEARRAY* array_;
    };

    Lock lock() const { return Lock(array_); }

private:
    SAFEARRAY* array_;
};
