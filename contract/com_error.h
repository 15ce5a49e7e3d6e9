// Failures that end a member call with a failure HRESULT and no message box:
// a card-library function that cannot be bound after Init's first call, or a
// byte array whose descriptor cannot be trusted. The COM object turns them
// into the member's HRESULT.
#pragma once

#include <windows.h>

struct ComError {
    HRESULT hr;
};

// The card library could not be loaded, or does not export a function.
struct CardLibraryError : ComError {};
