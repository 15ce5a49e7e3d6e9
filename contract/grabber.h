// What a plug-in class implements: the behaviour of IVideoGrabber for one
// card, in plain C++. The COM object that the host sees (comserver) wraps it
// and turns ComError into the member's HRESULT.
//
// The defaults are what most cards answer: no colour capability, a Color
// request that is ignored and reads False, no set-up dialog. Property puts
// other than Color never reach the plug-in: the host's contract ignores them.
#pragma once

#include <windows.h>
#include <oaidl.h>

class Grabber {
public:
    virtual ~Grabber() = default;

    virtual VARIANT_BOOL HasColor() const { return VARIANT_FALSE; }
    virtual VARIANT_BOOL Color() const { return VARIANT_FALSE; }
    virtual void SetColor(VARIANT_BOOL) {}
    virtual LONG BufferSize() const = 0;
    virtual LONG DIBxSize() const = 0;
    virtual LONG XSize() const = 0;
    virtual LONG YSize() const = 0;

    // True on success. False after a message box has told the user why.
    virtual bool Init() = 0;
    virtual void ShutDown() = 0;
    virtual bool Grab(SAFEARRAY** buffer) = 0;
};

inline VARIANT_BOOL ToVariantBool(bool b) { return b ? VARIANT_TRUE : VARIANT_FALSE; }
