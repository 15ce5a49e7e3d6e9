#include "grabber_fixture.h"

namespace testing_support {

void ExpectDibHeader(const BYTE* dib, LONG width, LONG height, bool colour) {
    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
    EXPECT_EQ(40u, h->biSize);
    EXPECT_EQ(width, h->biWidth);
    EXPECT_EQ(height, h->biHeight);
    EXPECT_EQ(1, h->biPlanes);
    EXPECT_EQ(colour ? 24 : 8, h->biBitCount);
    EXPECT_EQ(0u, h->biCompression);
    EXPECT_EQ(0, h->biXPelsPerMeter | h->biYPelsPerMeter);
    EXPECT_EQ(0u, h->biClrUsed | h->biClrImportant);
    for (int i = 0; !colour && i < 256; ++i) {
        const BYTE* entry = dib + 40 + 4 * i;
        ASSERT_TRUE(entry[0] == i && entry[1] == i && entry[2] == i && entry[3] == 0) << "palette entry " << i;
    }
}

}  // namespace testing_support
