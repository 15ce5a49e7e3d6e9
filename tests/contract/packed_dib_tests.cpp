// Packed DIB geometry and the grey bitmap info, as every plug-in builds them.
#include "packed_dib.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct LayoutCase {
    int64_t width, height;
    DibFormat format;
    int64_t rowLength, bufferSize;
};

class PackedDibLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PackedDibLayoutTest, RowLengthAndBufferSize) {
    const LayoutCase c = GetParam();
    const DibLayout layout = PackedDibLayout(c.width, c.height, c.format);
    EXPECT_EQ(c.rowLength, layout.rowLength);
    EXPECT_EQ(c.bufferSize, layout.bufferSize);
    const auto usable = UsableDibGeometry(c.width, c.height, c.format);
    ASSERT_TRUE(usable.has_value());
    EXPECT_EQ(c.rowLength, usable->rowLength);
    EXPECT_EQ(c.bufferSize, usable->bufferSize);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedSizes, PackedDibLayoutTest,
    ::testing::Values(LayoutCase{512, 486, DibFormat::Grey8, 512, 249896},
                      LayoutCase{512, 512, DibFormat::Grey8, 512, 263208},
                      LayoutCase{640, 480, DibFormat::Grey8, 640, 308264},
                      LayoutCase{640, 480, DibFormat::Bgr24, 1920, 921640},
                      LayoutCase{637, 480, DibFormat::Grey8, 640, 308264},
                      LayoutCase{637, 480, DibFormat::Bgr24, 1912, 917800},
                      LayoutCase{754, 1, DibFormat::Bgr24, 2264, 2304}, LayoutCase{1, 1, DibFormat::Grey8, 4, 1068},
                      LayoutCase{1, 1, DibFormat::Bgr24, 4, 44}));

struct RefusedCase {
    int64_t width, height;
    DibFormat format;
};

class UnusableGeometryTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(UnusableGeometryTest, IsRefused) {
    const RefusedCase c = GetParam();
    EXPECT_FALSE(UsableDibGeometry(c.width, c.height, c.format).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    CardValues, UnusableGeometryTest,
    ::testing::Values(RefusedCase{0, 480, DibFormat::Grey8}, RefusedCase{640, 0, DibFormat::Grey8},
                      RefusedCase{-640, 480, DibFormat::Bgr24}, RefusedCase{640, -480, DibFormat::Grey8},
                      // 32767 x 32767 colour: BufferSize would wrap a 32-bit Long.
                      RefusedCase{32767, 32767, DibFormat::Bgr24},
                      RefusedCase{65536, 32768, DibFormat::Grey8},
                      RefusedCase{int64_t{1} << 31, 1, DibFormat::Grey8}));

TEST(PackedDib, LargestGreyFrameThatFitsIsAccepted) {
    // 46340 x 46340 grey: 2147395600 + 1064 bytes, just under 2^31.
    const auto g = UsableDibGeometry(46340, 46340, DibFormat::Grey8);
    ASSERT_TRUE(g.has_value());
    EXPECT_EQ(2147396664, g->bufferSize);
    EXPECT_FALSE(UsableDibGeometry(46341, 46341, DibFormat::Grey8).has_value());
}

TEST(PackedDib, GreyBitmapInfoBytes) {
    const GreyBitmapInfo info = MakeGreyBitmapInfo(637, 480);
    BYTE b[1064];
    std::memcpy(b, &info, sizeof b);
    const BYTE header[40] = {40, 0, 0, 0, 0x7D, 2, 0, 0, 0xE0, 1, 0, 0, 1, 0, 8, 0};
    EXPECT_EQ(0, std::memcmp(header, b, 40));
    EXPECT_EQ(0, b[40] | b[41] | b[42]);
    EXPECT_EQ(255, b[1060]);
    EXPECT_EQ(255, b[1061]);
    EXPECT_EQ(255, b[1062]);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(i, b[40 + 4 * i]);
        EXPECT_EQ(i, b[41 + 4 * i]);
        EXPECT_EQ(i, b[42 + 4 * i]);
        EXPECT_EQ(0, b[43 + 4 * i]);
    }
}

}  // namespace
