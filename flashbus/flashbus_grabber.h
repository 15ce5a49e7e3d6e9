// clsFlashBusMV: grey or 24-bit colour frames of the size the Integral
// Technologies FlashBus MV reports, through FBUS32.DLL. The card library
// writes each whole frame, header and palette included, into the host's
// array; the plug-in sizes it and chooses the variant.
#pragma once

#include "grabber.h"
#include "message_box.h"

class FlashBusGrabber final : public Grabber {
public:
    // Any nonzero Color selects colour; it reads back as it was put.
    VARIANT_BOOL Color() const override { return color_; }
    void SetColor(VARIANT_BOOL value) override { color_ = value; }
    LONG BufferSize() const override { return bufferSize_; }
    LONG DIBxSize() const override { return dibxSize_; }
    LONG XSize() const override { return xSize_; }
    LONG YSize() const override { return ySize_; }

    bool Init() override;
    void ShutDown() override;
    bool Grab(SAFEARRAY** buffer) override;

private:
    bool ConfigureVideo();
    bool CleanUpAndFail(const wchar_t* text);

    VARIANT_BOOL color_ = VARIANT_FALSE;
    // The library writes the frame size straight into these two.
    SHORT xSize_ = 0;
    SHORT ySize_ = 0;
    LONG dibxSize_ = 0;
    LONG bufferSize_ = 0;
    bool initialized_ = false;
    // The Color that Init sized the frame for: Grab asks the library for
    // exactly that frame, even if the host has changed Color since.
    VARIANT_BOOL sizedForColor_ = VARIANT_FALSE;
    CardMessages messages_{L"FlashBus MV"};
};
