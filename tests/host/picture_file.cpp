#include "picture_file.h"

#include "com_ptr.h"

#include <objbase.h>
#include <wincodec.h>

#include <cstdio>
#include <stdexcept>

Picture ReadPicture(const std::wstring& path) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // once per thread; later calls change nothing
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    Picture p;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  factory.putVoid());
    if (SUCCEEDED(hr))
        hr = factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                decoder.put());
    if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, frame.put());
    if (SUCCEEDED(hr)) hr = factory->CreateFormatConverter(converter.put());
    // Through 32-bit BGRA, which Wine's converter reaches from every format
    // (8-bit indexed to 24-bit BGR directly it does not do).
    if (SUCCEEDED(hr))
        hr = converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                   WICBitmapPaletteTypeCustom);
    if (SUCCEEDED(hr)) hr = converter->GetSize(&p.width, &p.height);
    std::vector<BYTE> bgra(size_t{p.width} * p.height * 4);
    if (SUCCEEDED(hr)) hr = converter->CopyPixels(nullptr, p.width * 4, static_cast<UINT>(bgra.size()), bgra.data());
    for (size_t i = 0; i < bgra.size(); i += 4) p.bgr.insert(p.bgr.end(), &bgra[i], &bgra[i] + 3);
    if (FAILED(hr)) {
        char text[32];
        snprintf(text, sizeof text, " (0x%08lX)", static_cast<unsigned long>(hr));
        throw std::runtime_error("cannot read " + std::string(path.begin(), path.end()) + text);
    }
    return p;
}
