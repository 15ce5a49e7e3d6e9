// clsCX100: grey 512 x 486 or 512 x 512 frames from the ImageNation CX100,
// a monochrome frame grabber, through wcx32.dll.
#pragma once

#include "grabber.h"
#include "message_box.h"

class Cx100Grabber final : public Grabber {
public:
    LONG BufferSize() const override { return bufferSize_; }
    LONG DIBxSize() const override { return dibxSize_; }
    LONG XSize() const override { return xSize_; }
    LONG YSize() const override { return ySize_; }

    bool Init() override;
    void ShutDown() override;
    bool Grab(SAFEARRAY** buffer) override;

private:
    LONG bufferSize_ = 0;
    LONG dibxSize_ = 0;
    LONG xSize_ = 0;
    LONG ySize_ = 0;
    bool initialized_ = false;
    CardMessages messages_{L"CX100"};
};
