// The tools' own pieces: the checks a host makes on the sizes and frames a
// plug-in delivers, and the frame files (.bmp, and .png through WIC) read
// back pixel for pixel.
#include "frame_check.h"
#include "frame_files.h"
#include "packed_dib.h"
#include "picture_file.h"
#include "test_picture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// A frame as a plug-in should deliver it: the demo card's picture in the
// packed DIB layout, with the sizes the plug-in would report.
struct TestFrame {
    std::vector<BYTE> bytes;
    ReportedSizes sizes;

    BITMAPINFOHEADER& header() { return *reinterpret_cast<BITMAPINFOHEADER*>(bytes.data()); }
    RGBQUAD* palette() { return reinterpret_cast<RGBQUAD*>(bytes.data() + sizeof(BITMAPINFOHEADER)); }
    std::vector<std::wstring> problems() const { return CheckFrame(bytes.data(), bytes.size(), sizes); }
};

TestFrame MakeFrame(LONG width, LONG height, DibFormat format, uint32_t frameNumber = 5) {
    const DibLayout layout = PackedDibLayout(width, height, format);
    TestFrame f{std::vector<BYTE>(static_cast<size_t>(layout.bufferSize), 0xEE),
                {width, height, static_cast<LONG>(layout.rowLength), static_cast<LONG>(layout.bufferSize)}};
    if (format == DibFormat::Grey8) {
        const GreyBitmapInfo info = MakeGreyBitmapInfo(width, height);
        std::memcpy(f.bytes.data(), &info, sizeof info);
    } else {
        const BITMAPINFOHEADER header = MakeBitmapHeader(width, height, 24);
        std::memcpy(f.bytes.data(), &header, sizeof header);
    }
    for (LONG y = 0; y < height; ++y) {
        BYTE* row = f.bytes.data() + PixelOffset(format) + (height - 1 - y) * layout.rowLength;
        for (LONG x = 0; x < width; ++x) {
            if (format == DibFormat::Grey8) row[x] = card_sim::GreyLevel(frameNumber, x, y);
            else card_sim::ColourPixel(frameNumber, x, y, row + 3 * x);
        }
    }
    return f;
}

bool Mentions(const std::vector<std::wstring>& problems, const std::wstring& text) {
    for (const std::wstring& p : problems)
        if (p.find(text) != std::wstring::npos) return true;
    return false;
}

std::string Narrow(const std::vector<std::wstring>& problems) {
    std::string s;
    for (const std::wstring& p : problems) s += "\n  " + std::string(p.begin(), p.end());
    return s;
}

TEST(FrameCheck, FramesAsThePlugInsDeliverThemPass) {
    for (const auto& [width, height, format] : {std::tuple{512, 486, DibFormat::Grey8}, std::tuple{637, 480, DibFormat::Grey8},
                                                std::tuple{637, 480, DibFormat::Bgr24}, std::tuple{1, 1, DibFormat::Bgr24}}) {
        const TestFrame f = MakeFrame(width, height, format);
        EXPECT_EQ(f.problems(), std::vector<std::wstring>{}) << width << " x " << height;
        EXPECT_EQ(CheckSizes(f.sizes), std::vector<std::wstring>{}) << width << " x " << height;
        EXPECT_EQ(AnnouncedFormat(f.sizes), format) << width << " x " << height;
    }
}

struct Fault {
    const char* name;
    DibFormat format;
    std::function<void(TestFrame&)> damage;
    const wchar_t* told;  // part of the sentence that must say what is wrong
};

const Fault kFaults[] = {
    {"header size", DibFormat::Grey8, [](TestFrame& f) { f.header().biSize = 12; },
     L"the header size (biSize) is 12, not 40"},
    {"width", DibFormat::Grey8, [](TestFrame& f) { f.header().biWidth = 511; },
     L"the width in the header (biWidth) is 511, but XSize is 512"},
    {"rows top-down", DibFormat::Grey8, [](TestFrame& f) { f.header().biHeight = -486; },
     L"(biHeight) is -486: the rows are stored top-down"},
    {"height", DibFormat::Bgr24, [](TestFrame& f) { f.header().biHeight = 480; },
     L"the height in the header (biHeight) is 480, but YSize is 486"},
    {"planes", DibFormat::Grey8, [](TestFrame& f) { f.header().biPlanes = 2; }, L"gives 2 planes (biPlanes), not 1"},
    {"bit count", DibFormat::Grey8, [](TestFrame& f) { f.header().biBitCount = 16; },
     L"16 bits per pixel (biBitCount); a host reads 8 (grey) or 24 (colour)"},
    {"compression", DibFormat::Grey8, [](TestFrame& f) { f.header().biCompression = BI_RLE8; },
     L"compressed (biCompression 1)"},
    {"one palette entry", DibFormat::Grey8, [](TestFrame& f) { f.palette()[17].rgbRed = 0; },
     L"palette entry 17 is blue 17, green 17, red 0, reserved 0 instead of grey level 17"},
    {"no palette", DibFormat::Grey8, [](TestFrame& f) { std::memset(f.palette(), 0, 1024); },
     L"palette entry 1 is blue 0, green 0, red 0, reserved 0 instead of grey level 1 (255 of the 256 entries are not grey)"},
    {"grey palette length", DibFormat::Grey8, [](TestFrame& f) { f.header().biClrUsed = 16; },
     L"announces 16 palette entries (biClrUsed); a grey frame has 256"},
    {"colour palette", DibFormat::Bgr24, [](TestFrame& f) { f.header().biClrUsed = 2; },
     L"the colour frame announces 2 palette entries (biClrUsed); a host expects none"},
    {"row length", DibFormat::Grey8, [](TestFrame& f) { f.sizes.dibxSize = 510; },
     L"DIBxSize is 510, but a row of 512 grey pixels takes 512 bytes"},
    {"buffer size", DibFormat::Bgr24, [](TestFrame& f) { f.sizes.bufferSize += 4; f.bytes.resize(f.bytes.size() + 4); },
     L"BufferSize is 746540, but 486 rows of 1536 bytes after the 40 bytes of header make 746536"},
    {"colour frame, grey sizes", DibFormat::Bgr24, [](TestFrame& f) { f.sizes.dibxSize = 512; f.sizes.bufferSize = 249896; f.bytes.resize(249896); },
     L"DIBxSize is 512, but a row of 512 colour pixels takes 1536 bytes"},
    {"short array", DibFormat::Grey8, [](TestFrame& f) { f.bytes.resize(1000); },
     L"the frame holds 1000 bytes and ends inside its palette"},
};

class FrameFault : public testing::TestWithParam<Fault> {};

TEST_P(FrameFault, IsToldInPlainWords) {
    TestFrame f = MakeFrame(512, 486, GetParam().format);
    GetParam().damage(f);
    EXPECT_TRUE(Mentions(f.problems(), GetParam().told)) << "problems found:" << Narrow(f.problems());
}

INSTANTIATE_TEST_SUITE_P(Header, FrameFault, testing::ValuesIn(kFaults), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
});

TEST(FrameCheck, SizesThatFitNoFrameAreTold) {
    const struct {
        ReportedSizes sizes;
        const wchar_t* told;
    } cases[] = {
        {{0, 0, 0, 1064}, L"the frame size 0 x 0 has no pixels"},
        {{512, 486, 512, 249000},
         L"BufferSize is 249000, which fits neither a grey frame (249896 bytes) nor a colour frame (248872 bytes)"},
        {{637, 480, 1911, 480 * 1911 + 40}, L"DIBxSize is 1911, but a row of 637 colour pixels takes 1912 bytes"},
    };
    for (const auto& c : cases) EXPECT_TRUE(Mentions(CheckSizes(c.sizes), c.told)) << Narrow(CheckSizes(c.sizes));
}

// Files written and read back: every pixel where it belongs, the padding of
// odd widths dropped, the rows the right way up.
class FrameFiles : public testing::TestWithParam<DibFormat> {};

TEST_P(FrameFiles, ReadBackAsTheFrameShowsIt) {
    const TestFrame f = MakeFrame(37, 9, GetParam());
    const std::wstring folder = WORK_DIR;
    for (const std::wstring& path : {folder + L"\\frame.bmp", folder + L"\\frame.png"}) {
        const bool bmp = path.find(L".bmp") != std::wstring::npos;
        const HRESULT hr = bmp ? WriteBmpFile(path, f.bytes.data(), f.bytes.size()) : WritePngFile(path, f.bytes.data());
        ASSERT_EQ(hr, S_OK);
        const Picture p = ReadPicture(path);
        ASSERT_EQ(p.width, 37u);
        ASSERT_EQ(p.height, 9u);
        for (UINT y = 0; y < p.height; ++y)
            for (UINT x = 0; x < p.width; ++x) {
                BYTE expected[3];
                if (GetParam() == DibFormat::Grey8) expected[0] = expected[1] = expected[2] = card_sim::GreyLevel(5, x, y);
                else card_sim::ColourPixel(5, x, y, expected);
                ASSERT_EQ(std::memcmp(p.at(x, y), expected, 3), 0) << "pixel " << x << ", " << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Both, FrameFiles, testing::Values(DibFormat::Grey8, DibFormat::Bgr24),
                         [](const auto& info) { return info.param == DibFormat::Grey8 ? "Grey" : "Colour"; });

}  // namespace
