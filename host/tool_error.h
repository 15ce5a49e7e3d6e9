// How the tools end: an exit status of their own for each kind of failure,
// and one plain line for the user.
#pragma once

#include <windows.h>

#include <string>

// Exit statuses of the tools, each failure with its own.
enum ExitStatus {
    kOk = 0,
    kUsage = 1,
    kNotCreated = 2,     // not registered, or the class could not be created
    kInitFailed = 3,     // Init returned False
    kGrabFailed = 4,     // Grab returned False
    kCallFailed = 5,     // a plug-in member or a system call failed
    kWriteFailed = 6,    // a file could not be written
    kInvalidFrame = 7,   // sizes or a frame that a host would refuse
};

// Ends a command: its exit status and one line for the user.
struct ToolError {
    ExitStatus status;
    std::wstring message;
};

// "<Windows' text for it> (0x8007000E)", or just the number when Windows has none.
std::wstring DescribeHresult(HRESULT hr);
