// clsVCE: the Video Capture Essentials card through its toolkit,
// VCE_Tools_VB.DLL. Init sets the card up once for a fixed 640 x 480 snap
// window, 754 pixels of the line centred within the card's full width; each
// Grab snaps a colour frame, reads it out line by line and delivers it as a
// grey packed DIB. The card is colour-capable, but the host always gets grey.
#pragma once

#include "grabber.h"
#include "message_box.h"
#include "packed_dib.h"
#include "vce_tools.h"

class VceGrabber final : public Grabber {
public:
    VceGrabber();
    // The toolkit is closed when the host lets the object go, whether or not
    // it called ShutDown.
    ~VceGrabber() override;

    VARIANT_BOOL HasColor() const override { return VARIANT_TRUE; }
    // The geometry lives in the bitmap header that heads every frame.
    LONG BufferSize() const override { return static_cast<LONG>(bitmapInfo_.header.biSizeImage + kGreyPixelOffset); }
    LONG DIBxSize() const override { return static_cast<LONG>(PaddedRowLength(bitmapInfo_.header.biWidth)); }
    LONG XSize() const override { return bitmapInfo_.header.biWidth; }
    LONG YSize() const override { return bitmapInfo_.header.biHeight; }

    bool Init() override;
    void ShutDown() override;
    bool Grab(SAFEARRAY** buffer) override;

private:
    // A status from the toolkit: 0 passes silently; any other code shows its
    // text (exclamation icon) and fails. Throws ComError{DISP_E_OVERFLOW}
    // for a status that is no 16-bit code.
    bool CheckStatus(LONG status) const;
    // ShutDown after a failure that has already been reported; returns false.
    bool CloseAfterFailure();
    // Sets the snap window's geometry as the frame's, if a host can allocate
    // by it; false (nothing changed) otherwise.
    bool TakeGeometry(const VCE_Tools::SnapWindow& window);
    // The first snap after set-up, into a throw-away array one byte longer
    // than a frame; true when it delivered a frame.
    bool WarmUpGrab();

    bool initialized_ = false;
    VCE_Tools::ConfigRecord config_{};
    GreyBitmapInfo bitmapInfo_;
    CardMessages messages_{L"Video Capture Essentials"};
};
