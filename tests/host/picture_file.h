// A picture file (.bmp or .png) read back through the Windows Imaging
// Component, as blue-green-red pixels, top row first.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct Picture {
    UINT width = 0;
    UINT height = 0;
    std::vector<BYTE> bgr;  // 3 bytes a pixel, rows top-down, no padding

    const BYTE* at(UINT x, UINT y) const { return &bgr[(size_t{y} * width + x) * 3]; }
};

// Throws std::runtime_error naming the file when it cannot be read.
Picture ReadPicture(const std::wstring& path);
