// clsVideoPortPro: snap-and-readout capture from the MRT VideoPort Pro, a
// PCMCIA capture card, through its toolkit VPX32.DLL. Init lets the toolkit
// find the active picture (or centres a 640 x 480 window in the signal),
// each Grab snaps one frame and reads it out line by line straight into the
// host's array: 8-bit grey, or 24-bit colour when Color was True at Init.
#pragma once

#include "grabber.h"
#include "message_box.h"
#include "packed_dib.h"
#include "vpx32.h"

class VideoPortProGrabber final : public Grabber {
public:
    VARIANT_BOOL Color() const override { return colour_; }
    void SetColor(VARIANT_BOOL colour) override { colour_ = colour; }
    LONG BufferSize() const override { return bufferSize_; }
    LONG DIBxSize() const override { return rowStride_; }
    LONG XSize() const override { return width_; }
    LONG YSize() const override { return height_; }

    bool Init() override;
    void ShutDown() override;
    bool Grab(SAFEARRAY** buffer) override;

private:
    // True for status 0; otherwise shows the status's text and returns False.
    bool CheckStatus(LONG status) const;
    static const wchar_t* StatusText(LONG status);
    // Releases the toolkit after an Init failure; returns False.
    bool CloseAfterFailure();

    VARIANT_BOOL colour_ = VARIANT_FALSE;  // as the host put it
    int16_t width_ = 0;
    int16_t height_ = 0;
    LONG rowStride_ = 0;
    LONG bufferSize_ = 0;
    // The frame format Init sized the geometry for; Grab reads out in it
    // even if the host changes Color before ShutDown.
    DibFormat format_ = DibFormat::Grey8;
    bool initialized_ = false;
    // Lent to the toolkit; kept across Init calls.
    vpx32::SnapWindow window_{};
    CardMessages messages_{L"VideoPort Pro"};
};
