#include "frame_files.h"

#include "com_ptr.h"
#include "frame_check.h"

#include <wincodec.h>

namespace {

class File {
public:
    explicit File(const std::wstring& path)
        : handle_(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~File() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    HRESULT Write(const void* data, size_t size) {
        DWORD written = 0;
        if (handle_ == INVALID_HANDLE_VALUE || !WriteFile(handle_, data, static_cast<DWORD>(size), &written, nullptr))
            return HRESULT_FROM_WIN32(GetLastError());
        return written == size ? S_OK : E_FAIL;
    }

private:
    HANDLE handle_;
};

}  // namespace

HRESULT WriteBmpFile(const std::wstring& path, const BYTE* frame, size_t size) {
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;  // "BM"
    header.bfSize = static_cast<DWORD>(sizeof header + size);
    header.bfOffBits = static_cast<DWORD>(sizeof header + (FramePixels(frame) - frame));
    File file(path);
    HRESULT hr = file.Write(&header, sizeof header);
    return SUCCEEDED(hr) ? file.Write(frame, size) : hr;
}

namespace {

HRESULT EncodePng(const std::wstring& path, const BYTE* frame) {
    const auto& h = *reinterpret_cast<const BITMAPINFOHEADER*>(frame);
    const bool grey = h.biBitCount == 8;
    const UINT width = static_cast<UINT>(h.biWidth), height = static_cast<UINT>(h.biHeight);
    const UINT stride = static_cast<UINT>(PaddedRowLength(int64_t{width} * (grey ? 1 : 3)));
    const BYTE* bottomRow = FramePixels(frame);

    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> image;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  factory.putVoid());
    if (SUCCEEDED(hr)) hr = factory->CreateStream(stream.put());
    if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
    if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put());
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(image.put(), nullptr);
    if (SUCCEEDED(hr)) hr = image->Initialize(nullptr);
    if (SUCCEEDED(hr)) hr = image->SetSize(width, height);
    // A grey frame's palette maps each value to its own grey level (CheckFrame).
    const WICPixelFormatGUID wanted = grey ? GUID_WICPixelFormat8bppGray : GUID_WICPixelFormat24bppBGR;
    WICPixelFormatGUID format = wanted;
    if (SUCCEEDED(hr)) hr = image->SetPixelFormat(&format);
    if (SUCCEEDED(hr) && format != wanted) hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    // PNG rows run top-down, the frame's bottom-up.
    for (UINT r = 0; SUCCEEDED(hr) && r < height; ++r)
        hr = image->WritePixels(1, stride, stride, const_cast<BYTE*>(bottomRow + size_t{height - 1 - r} * stride));
    if (SUCCEEDED(hr)) hr = image->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    return hr;
}

}  // namespace

HRESULT WritePngFile(const std::wstring& path, const BYTE* frame) {
    const HRESULT hr = EncodePng(path, frame);
    if (FAILED(hr)) DeleteFileW(path.c_str());  // no half-written picture left behind
    return hr;
}
