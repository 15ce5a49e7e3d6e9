// A plug-in driven the way the host application drives it: created in
// process by ProgID, Color put when colour is wanted, Init, the properties
// read, a byte array of exactly BufferSize elements handed to Grab, and
// ShutDown before the object goes.
#pragma once

#include "com_ptr.h"
#include "frame_check.h"
#include "tool_error.h"
#include "video_grabber.h"

#include <cstddef>
#include <string>

struct PluginProperties {
    ReportedSizes sizes;
    bool hasColor;
    bool color;
    bool hasSetupDlg;
};

class PluginSession {
public:
    // Creates the object, puts Color True when `color`, calls Init and reads
    // the properties. Throws ToolError.
    PluginSession(const std::wstring& progId, bool color);
    // ShutDown, unless ShutDown() already ran.
    ~PluginSession();
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    const std::wstring& progId() const { return progId_; }
    const PluginProperties& properties() const { return properties_; }

    // One frame into the session's array; the returned bytes (frameSize()
    // of them) stay valid until the next Grab. Throws ToolError.
    const BYTE* Grab();
    size_t frameSize() const { return static_cast<size_t>(properties_.sizes.bufferSize); }

    // Throws ToolError when ShutDown fails.
    void ShutDown();

private:
    [[noreturn]] void Fail(ExitStatus status, const std::wstring& what) const;

    std::wstring progId_;
    ComPtr<IVideoGrabber> grabber_;
    PluginProperties properties_{};
    SAFEARRAY* array_ = nullptr;
    bool shutDown_ = false;
};
