// What a host checks before it uses a frame: the sizes the plug-in reported
// after Init against each other, and the packed DIB that Grab delivered
// against those sizes (header values, grey palette, length). Every problem
// comes back as one sentence in plain words.
#pragma once

#include "packed_dib.h"

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// XSize, YSize, DIBxSize and BufferSize as read after Init.
struct ReportedSizes {
    LONG xSize;
    LONG ySize;
    LONG dibxSize;
    LONG bufferSize;
};

// The frame format that BufferSize announces: YSize rows of DIBxSize bytes
// after the grey header and palette (1064 bytes) or after the bare header
// (40 bytes). None when it fits neither.
std::optional<DibFormat> AnnouncedFormat(const ReportedSizes& sizes);

// Problems with the reported sizes alone: what a host sees before it grabs.
std::vector<std::wstring> CheckSizes(const ReportedSizes& sizes);

// Problems with one frame of `size` bytes; none for a frame a host can use.
std::vector<std::wstring> CheckFrame(const BYTE* frame, size_t size, const ReportedSizes& sizes);

// The pixel rows of a frame that passed CheckFrame.
inline const BYTE* FramePixels(const BYTE* frame) {
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(frame);
    return frame + PixelOffset(header->biBitCount == 8 ? DibFormat::Grey8 : DibFormat::Bgr24);
}
