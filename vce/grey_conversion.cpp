#include "grey_conversion.h"

#include <immintrin.h>

namespace {

// The vectorised forms are compiled for their instruction sets alone and
// entered only after the processor has been asked. They may be called with
// the 4-byte stack alignment of 32-bit Windows: realign on entry, so that
// SSE spills are aligned.
#define VECTOR_ENTRY(isa) __attribute__((target(isa), force_align_arg_pointer))
#define VECTOR_INLINE(isa) __attribute__((target(isa), always_inline)) inline
// A whole block of pixels; inlined into its entry, which shares its target.
#define VECTOR_BLOCK(isa) __attribute__((target(isa))) inline

// A line converted block by block: whole blocks of `width` pixels, the last
// one moved back to end with the line, overlapping the one before it (it
// writes the same grey values again), so nothing past the line is read or
// written. Lines shorter than one block take the scalar rule. Inlined into
// each instruction set's entry.
template <size_t width, void (*block)(const uint8_t*, uint8_t*)>
__attribute__((always_inline)) inline void InBlocks(const uint8_t* colour, uint8_t* grey, size_t pixels) {
    if (pixels < width) return ColourToGreyScalar(colour, grey, pixels);
    for (size_t i = 0; i < pixels; i += width) {
        const size_t at = i + width <= pixels ? i : pixels - width;
        block(colour + 3 * at, grey + at);
    }
}

// SSE2: no byte shuffle, so the channels are sorted by interleaving. Pairing
// register k with register k + 3 by punpcklbw/punpckhbw sends byte p of the
// 96 to position 2p mod 95; after three rounds position q holds byte 12q mod
// 95, which puts the three bytes of pixels 4i, 4i + 1, 4i + 2 and 4i + 3 in
// the same word lane i of three register halves each.
VECTOR_INLINE("sse2") void Interleave(__m128i& r0, __m128i& r1, __m128i& r2, __m128i& r3, __m128i& r4, __m128i& r5) {
    const __m128i t0 = _mm_unpacklo_epi8(r0, r3), t1 = _mm_unpackhi_epi8(r0, r3);
    const __m128i t2 = _mm_unpacklo_epi8(r1, r4), t3 = _mm_unpackhi_epi8(r1, r4);
    const __m128i t4 = _mm_unpacklo_epi8(r2, r5), t5 = _mm_unpackhi_epi8(r2, r5);
    r0 = t0, r1 = t1, r2 = t2, r3 = t3, r4 = t4, r5 = t5;
}

// The low or high 8 bytes of a register, widened to words.
VECTOR_INLINE("sse2") __m128i Lo(__m128i v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }
VECTOR_INLINE("sse2") __m128i Hi(__m128i v) { return _mm_unpackhi_epi8(v, _mm_setzero_si128()); }

// Grey of 8 pixels from their three bytes widened to words:
// (s + 1) * 21846 >> 16 equals (s + 1) / 3 for every sum s up to 765.
VECTOR_INLINE("sse2") __m128i GreyWords(__m128i a, __m128i b, __m128i c) {
    const __m128i sum = _mm_add_epi16(_mm_add_epi16(a, b), _mm_add_epi16(c, _mm_set1_epi16(1)));
    return _mm_mulhi_epu16(sum, _mm_set1_epi16(21846));
}

// 32 pixels: 96 bytes in, 32 out.
VECTOR_BLOCK("sse2") void Sse2Block(const uint8_t* in, uint8_t* out) {
    const __m128i* src = reinterpret_cast<const __m128i*>(in);
    __m128i r0 = _mm_loadu_si128(src), r1 = _mm_loadu_si128(src + 1), r2 = _mm_loadu_si128(src + 2);
    __m128i r3 = _mm_loadu_si128(src + 3), r4 = _mm_loadu_si128(src + 4), r5 = _mm_loadu_si128(src + 5);
    Interleave(r0, r1, r2, r3, r4, r5);
    Interleave(r0, r1, r2, r3, r4, r5);
    Interleave(r0, r1, r2, r3, r4, r5);
    // Low and high halves widened: r0 = [4i.0 | 4i.1], r1 = [4i.2 | 4i+1.0],
    // r2 = [4i+1.1 | 4i+1.2], r3 = [4i+2.0 | 4i+2.1], r4 = [4i+2.2 | 4i+3.0],
    // r5 = [4i+3.1 | 4i+3.2] (pixel.byte, i = 0 to 7).
    const __m128i g0 = GreyWords(Lo(r0), Hi(r0), Lo(r1));  // pixels 0, 4, ..., 28
    const __m128i g1 = GreyWords(Hi(r1), Lo(r2), Hi(r2));  // pixels 1, 5, ..., 29
    const __m128i g2 = GreyWords(Lo(r3), Hi(r3), Lo(r4));  // pixels 2, 6, ..., 30
    const __m128i g3 = GreyWords(Hi(r4), Lo(r5), Hi(r5));  // pixels 3, 7, ..., 31
    // Back into pixel order: [0 4 .. 28 2 6 .. 30] and [1 5 .. 29 3 7 .. 31]
    // interleaved bytewise give [0 1 4 5 ..] and [2 3 6 7 ..], which
    // interleaved wordwise give pixels 0 to 15 and 16 to 31.
    const __m128i even = _mm_packus_epi16(g0, g2), odd = _mm_packus_epi16(g1, g3);
    const __m128i pairs01 = _mm_unpacklo_epi8(even, odd), pairs23 = _mm_unpackhi_epi8(even, odd);
    __m128i* dst = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(dst, _mm_unpacklo_epi16(pairs01, pairs23));
    _mm_storeu_si128(dst + 1, _mm_unpackhi_epi16(pairs01, pairs23));
}

VECTOR_ENTRY("sse2") void ColourToGreySse2(const uint8_t* colour, uint8_t* grey, size_t pixels) {
    InBlocks<32, Sse2Block>(colour, grey, pixels);
}

// SSSE3: pshufb spreads each pixel over a dword [b0 b1 b2 0], pmaddubsw and
// pmaddwd with ones add its bytes, and pmulhrsw by 10923 gives
// (s * 10923 + 16384) >> 15, which equals (s + 1) / 3 for every s up to 765.
VECTOR_INLINE("ssse3") __m128i PixelSums(__m128i fourPixels) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i pairs = _mm_maddubs_epi16(_mm_shuffle_epi8(fourPixels, spread), _mm_set1_epi8(1));
    return _mm_madd_epi16(pairs, _mm_set1_epi16(1));
}

// 16 pixels: 48 bytes in, 16 out.
VECTOR_BLOCK("ssse3") void Ssse3Block(const uint8_t* in, uint8_t* out) {
    const __m128i* src = reinterpret_cast<const __m128i*>(in);
    const __m128i a = _mm_loadu_si128(src), b = _mm_loadu_si128(src + 1), c = _mm_loadu_si128(src + 2);
    const __m128i s0 = PixelSums(a);                         // bytes 0-11
    const __m128i s1 = PixelSums(_mm_alignr_epi8(b, a, 12));  // bytes 12-23
    const __m128i s2 = PixelSums(_mm_alignr_epi8(c, b, 8));   // bytes 24-35
    const __m128i s3 = PixelSums(_mm_srli_si128(c, 4));       // bytes 36-47
    const __m128i third = _mm_set1_epi16(10923);
    const __m128i g01 = _mm_mulhrs_epi16(_mm_packs_epi32(s0, s1), third);
    const __m128i g23 = _mm_mulhrs_epi16(_mm_packs_epi32(s2, s3), third);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(g01, g23));
}

VECTOR_ENTRY("ssse3") void ColourToGreySsse3(const uint8_t* colour, uint8_t* grey, size_t pixels) {
    InBlocks<16, Ssse3Block>(colour, grey, pixels);
}

// AVX2: the SSSE3 steps on two 16-pixel blocks at once, one in each 128-bit
// lane (every step used works within its lane), so the lanes come out in
// pixel order.
VECTOR_INLINE("avx2") __m256i PixelSums(__m256i fourPixelsTwice) {
    const __m256i spread =
        _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i pairs = _mm256_maddubs_epi16(_mm256_shuffle_epi8(fourPixelsTwice, spread), _mm256_set1_epi8(1));
    return _mm256_madd_epi16(pairs, _mm256_set1_epi16(1));
}

// 32 pixels: 96 bytes in, 32 out. Three whole loads, regrouped so that
// lane 0 holds the 48 bytes of pixels 0-15 and lane 1 those of 16-31.
VECTOR_BLOCK("avx2") void Avx2Block(const uint8_t* in, uint8_t* out) {
    const __m256i* src = reinterpret_cast<const __m256i*>(in);
    const __m256i v0 = _mm256_loadu_si256(src), v1 = _mm256_loadu_si256(src + 1), v2 = _mm256_loadu_si256(src + 2);
    const __m256i a = _mm256_permute2x128_si256(v0, v1, 0x30);  // bytes 0-15 | 48-63
    const __m256i b = _mm256_permute2x128_si256(v0, v2, 0x21);  // bytes 16-31 | 64-79
    const __m256i c = _mm256_permute2x128_si256(v1, v2, 0x30);  // bytes 32-47 | 80-95
    const __m256i s0 = PixelSums(a);
    const __m256i s1 = PixelSums(_mm256_alignr_epi8(b, a, 12));
    const __m256i s2 = PixelSums(_mm256_alignr_epi8(c, b, 8));
    const __m256i s3 = PixelSums(_mm256_srli_si256(c, 4));
    const __m256i third = _mm256_set1_epi16(10923);
    const __m256i g01 = _mm256_mulhrs_epi16(_mm256_packs_epi32(s0, s1), third);
    const __m256i g23 = _mm256_mulhrs_epi16(_mm256_packs_epi32(s2, s3), third);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_packus_epi16(g01, g23));
}

VECTOR_ENTRY("avx2") void ColourToGreyAvx2(const uint8_t* colour, uint8_t* grey, size_t pixels) {
    InBlocks<32, Avx2Block>(colour, grey, pixels);
}

GreyConverter Fastest() {
    for (auto it = GreyConversions().rbegin(); it != GreyConversions().rend(); ++it)
        if (it->supported) return it->convert;
    return ColourToGreyScalar;
}

const GreyConverter kFastest = Fastest();

}  // namespace

void ColourToGreyScalar(const uint8_t* colour, uint8_t* grey, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i, colour += 3)
        grey[i] = static_cast<uint8_t>((colour[0] + colour[1] + colour[2] + 1) / 3);
}

const std::array<GreyConversion, 4>& GreyConversions() {
    static const std::array<GreyConversion, 4> conversions = [] {
        __builtin_cpu_init();
        return std::array<GreyConversion, 4>{{
            {"scalar", ColourToGreyScalar, true},
            {"sse2", ColourToGreySse2, __builtin_cpu_supports("sse2") != 0},
            {"ssse3", ColourToGreySsse3, __builtin_cpu_supports("ssse3") != 0},
            {"avx2", ColourToGreyAvx2, __builtin_cpu_supports("avx2") != 0},
        }};
    }();
    return conversions;
}

void ColourToGrey(const uint8_t* colour, uint8_t* grey, size_t pixels) { kFastest(colour, grey, pixels); }
