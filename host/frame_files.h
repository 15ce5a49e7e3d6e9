// Frames as files: a packed DIB as Grab delivers it, written as a .bmp (the
// DIB behind a file header) or as a .png encoded by the Windows Imaging
// Component. Both expect a frame that passed CheckFrame.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

HRESULT WriteBmpFile(const std::wstring& path, const BYTE* frame, size_t size);

// COM must be initialised on the calling thread.
HRESULT WritePngFile(const std::wstring& path, const BYTE* frame);
