// The grey rule and each of its vectorised forms: equal to the rounded
// exact third for every possible sum, equal to the scalar rule on random
// lines of awkward widths, and reading and writing nothing outside the line.
#include "grey_conversion.h"
#include "guarded_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

// The grey level as the toolkit's colour bytes define it: the mean of the
// three, rounded to nearest.
uint8_t RoundedMean(int b0, int b1, int b2) { return static_cast<uint8_t>(std::lround((b0 + b1 + b2) / 3.0)); }

class GreyConversionTest : public ::testing::TestWithParam<GreyConversion> {
protected:
    void SetUp() override {
        if (!GetParam().supported) GTEST_SKIP() << GetParam().name << " is not supported by this processor";
    }
    // Converts `colour` with the form under test, reading from the end of an
    // array that abuts a no-access page and writing into another.
    std::vector<uint8_t> Convert(const std::vector<uint8_t>& colour) {
        const size_t pixels = colour.size() / 3;
        GuardedArray in(colour.size()), out(pixels);
        std::copy(colour.begin(), colour.end(), in.data());
        GetParam().convert(in.data(), out.data(), pixels);
        EXPECT_TRUE(out.fenceIntact()) << "wrote before the line";
        return std::vector<uint8_t>(out.data(), out.data() + pixels);
    }
};

// Every sum from 0 to 765, with its bytes spread over the three channels in
// three different ways, in one line long enough for whole vector blocks.
TEST_P(GreyConversionTest, EverySumRoundsToTheNearestThird) {
    for (int spread = 0; spread < 3; ++spread) {
        std::vector<uint8_t> colour;
        for (int sum = 0; sum <= 765; ++sum) {
            const int low = sum / 3, rest = sum - 2 * low;  // low, low, rest: rest is at most low + 2
            uint8_t bytes[3] = {static_cast<uint8_t>(low), static_cast<uint8_t>(low), static_cast<uint8_t>(rest)};
            if (rest > 255) bytes[2] = 255, bytes[1] = static_cast<uint8_t>(sum - low - 255);
            std::rotate(bytes, bytes + spread, bytes + 3);
            colour.insert(colour.end(), bytes, bytes + 3);
        }
        const std::vector<uint8_t> grey = Convert(colour);
        for (int sum = 0; sum <= 765; ++sum) {
            const uint8_t* c = &colour[3 * sum];
            ASSERT_EQ(c[0] + c[1] + c[2], sum);
            ASSERT_EQ(RoundedMean(c[0], c[1], c[2]), grey[sum]) << "sum " << sum << ", spread " << spread;
            ASSERT_EQ((sum + 1) / 3, grey[sum]) << "sum " << sum;
        }
    }
}

struct GreyCase {
    uint8_t b0, b1, b2, grey;
};
constexpr GreyCase kGreyTable[] = {
    {255, 255, 255, 255}, {0, 0, 1, 0}, {0, 0, 2, 1}, {10, 20, 31, 20}, {10, 20, 32, 21},
    {32, 20, 10, 21},  // the order of the bytes does not matter
};

// Each case at the start, in the middle and at the very end of lines of
// several widths, so that it meets every block position and the tail.
TEST_P(GreyConversionTest, GreyTable) {
    for (size_t pixels : {1u, 17u, 33u, 64u, 641u}) {
        for (const GreyCase& c : kGreyTable) {
            for (size_t at : {size_t{0}, pixels / 2, pixels - 1}) {
                std::vector<uint8_t> colour(3 * pixels, 0), expected(pixels, 0);
                colour[3 * at] = c.b0, colour[3 * at + 1] = c.b1, colour[3 * at + 2] = c.b2;
                expected[at] = c.grey;
                ASSERT_EQ(expected, Convert(colour)) << int{c.b0} << "," << int{c.b1} << "," << int{c.b2} << " at "
                                                     << at << " of " << pixels;
            }
        }
    }
}

// Random lines of odd and block-straddling widths, against the scalar rule.
TEST_P(GreyConversionTest, RandomLinesEqualTheScalarRule) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (size_t pixels : {1u, 3u, 15u, 16u, 17u, 31u, 32u, 33u, 47u, 63u, 65u, 97u, 639u, 641u, 1001u}) {
        std::vector<uint8_t> colour(3 * pixels);
        for (uint8_t& b : colour) b = static_cast<uint8_t>(byte(random));
        std::vector<uint8_t> expected(pixels);
        ColourToGreyScalar(colour.data(), expected.data(), pixels);
        ASSERT_EQ(expected, Convert(colour)) << pixels << " pixels";
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, GreyConversionTest, ::testing::ValuesIn(GreyConversions()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
