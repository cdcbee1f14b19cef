// PNG row filters. Choosing a row's filter costs all five filters of every
// byte, a sixth of a whole screen's encode in plain code: where the
// processor has SSE2 (every one Windows still runs on, but checked), 16
// bytes go at once; the plain loops take the rest of a row and any other
// processor. Both give the same bytes.
#include "image/png_filter.h"

#include <stdlib.h>
#include <string.h>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#define VP_PNG_SSE2 1
#define VP_SSE2 __attribute__((target("sse2")))
#endif

namespace {

// A filtered byte's cost: its value taken as signed, made positive.
inline unsigned SignedCost(unsigned char v) {
    return v < 128 ? v : 256u - v;
}

inline int Paeth(int a, int b, int c) {
    int p = a + b - c;
    int pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// The costs of bytes [from, n) of a row, added to cost. The first bytes of
// a row have no left neighbour (a = c = 0); without a row above, b = c = 0
// too. Paeth then predicts b, or a without a row above.
template <bool kAbove>
void AddRowCosts(const unsigned char* row, const unsigned char* prev, size_t from, size_t n, size_t bpp,
                 unsigned cost[5]) {
    unsigned c0 = 0, c1 = 0, c2 = 0, c3 = 0, c4 = 0;
    size_t i = from;
    for (; i < n && i < bpp; i++) {
        int x = row[i], b = kAbove ? prev[i] : 0;
        c0 += SignedCost((unsigned char)x);
        c1 += SignedCost((unsigned char)x);
        c2 += SignedCost((unsigned char)(x - b));
        c3 += SignedCost((unsigned char)(x - (b >> 1)));
        c4 += SignedCost((unsigned char)(x - b));
    }
    for (; i < n; i++) {
        int x = row[i], a = row[i - bpp];
        int b = kAbove ? prev[i] : 0, c = kAbove ? prev[i - bpp] : 0;
        c0 += SignedCost((unsigned char)x);
        c1 += SignedCost((unsigned char)(x - a));
        c2 += SignedCost((unsigned char)(x - b));
        c3 += SignedCost((unsigned char)(x - ((a + b) >> 1)));
        c4 += SignedCost((unsigned char)(x - (kAbove ? Paeth(a, b, c) : a)));
    }
    cost[0] += c0;
    cost[1] += c1;
    cost[2] += c2;
    cost[3] += c3;
    cost[4] += c4;
}

// Writes bytes [from, n) of the row less their prediction by filter k (1-4).
template <bool kAbove>
void ApplyFilter(int k, const unsigned char* row, const unsigned char* prev, size_t from, size_t n, size_t bpp,
                 unsigned char* o) {
    size_t i = from;
    for (; i < n && i < bpp; i++) {
        int b = kAbove ? prev[i] : 0;
        o[i] = (unsigned char)(row[i] - (k == 1 ? 0 : k == 3 ? b >> 1 : b));
    }
    switch (k) {
        case 1:
            for (; i < n; i++)
                o[i] = (unsigned char)(row[i] - row[i - bpp]);
            break;
        case 2:
            for (; i < n; i++)
                o[i] = (unsigned char)(row[i] - (kAbove ? prev[i] : 0));
            break;
        case 3:
            for (; i < n; i++)
                o[i] = (unsigned char)(row[i] - ((row[i - bpp] + (kAbove ? prev[i] : 0)) >> 1));
            break;
        default:
            for (; i < n; i++)
                o[i] = (unsigned char)(row[i] - (kAbove ? Paeth(row[i - bpp], prev[i], prev[i - bpp]) : row[i - bpp]));
            break;
    }
}

#ifdef VP_PNG_SSE2

bool HaveSse2() {
    static const bool have = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("sse2") != 0;
    }();
    return have;
}

// (a + b) >> 1 of bytes: the rounded-up average less the dropped half.
VP_SSE2 inline __m128i AverageDown(__m128i a, __m128i b) {
    return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
}

// Paeth's predictor of 8 samples in 16-bit lanes: pa = |b - c|,
// pb = |a - c|, pc = |a + b - 2c|.
VP_SSE2 inline __m128i Paeth16(__m128i a, __m128i b, __m128i c) {
    const __m128i zero = _mm_setzero_si128();
    __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c), sum = _mm_add_epi16(bc, ac);
    __m128i pa = _mm_max_epi16(bc, _mm_sub_epi16(zero, bc));
    __m128i pb = _mm_max_epi16(ac, _mm_sub_epi16(zero, ac));
    __m128i pc = _mm_max_epi16(sum, _mm_sub_epi16(zero, sum));
    __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
    __m128i takeC = _mm_cmpgt_epi16(pb, pc);
    __m128i bOrC = _mm_or_si128(_mm_and_si128(takeC, c), _mm_andnot_si128(takeC, b));
    return _mm_or_si128(_mm_andnot_si128(notA, a), _mm_and_si128(notA, bOrC));
}

VP_SSE2 inline __m128i Paeth8(__m128i a, __m128i b, __m128i c) {
    const __m128i zero = _mm_setzero_si128();
    __m128i lo = Paeth16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), _mm_unpacklo_epi8(c, zero));
    __m128i hi = Paeth16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), _mm_unpackhi_epi8(c, zero));
    return _mm_packus_epi16(lo, hi);
}

// The sum of 16 filtered bytes' costs, in the two 64-bit halves.
VP_SSE2 inline __m128i Costs16(__m128i d) {
    const __m128i zero = _mm_setzero_si128();
    return _mm_sad_epu8(_mm_min_epu8(d, _mm_sub_epi8(zero, d)), zero);
}

VP_SSE2 inline __m128i Load(const unsigned char* p) {
    return _mm_loadu_si128((const __m128i*)p);
}

// Costs of bytes [bpp, end) in steps of 16, end - bpp a multiple of 16.
VP_SSE2 void AddRowCostsSse2(const unsigned char* row, const unsigned char* prev, size_t end, size_t bpp,
                             unsigned cost[5]) {
    __m128i s0 = _mm_setzero_si128(), s1 = s0, s2 = s0, s3 = s0, s4 = s0;
    for (size_t i = bpp; i < end; i += 16) {
        __m128i x = Load(row + i), a = Load(row + i - bpp);
        __m128i b = prev ? Load(prev + i) : _mm_setzero_si128();
        __m128i c = prev ? Load(prev + i - bpp) : _mm_setzero_si128();
        s0 = _mm_add_epi64(s0, Costs16(x));
        s1 = _mm_add_epi64(s1, Costs16(_mm_sub_epi8(x, a)));
        s2 = _mm_add_epi64(s2, Costs16(_mm_sub_epi8(x, b)));
        s3 = _mm_add_epi64(s3, Costs16(_mm_sub_epi8(x, AverageDown(a, b))));
        s4 = _mm_add_epi64(s4, Costs16(_mm_sub_epi8(x, Paeth8(a, b, c))));
    }
    const __m128i sums[5] = {s0, s1, s2, s3, s4};
    for (int k = 0; k < 5; k++)
        cost[k] += (unsigned)_mm_cvtsi128_si32(sums[k]) + (unsigned)_mm_cvtsi128_si32(_mm_srli_si128(sums[k], 8));
}

VP_SSE2 void ApplyFilterSse2(int k, const unsigned char* row, const unsigned char* prev, size_t end, size_t bpp,
                             unsigned char* o) {
    for (size_t i = bpp; i < end; i += 16) {
        __m128i x = Load(row + i), a = Load(row + i - bpp);
        __m128i b = prev ? Load(prev + i) : _mm_setzero_si128();
        __m128i c = prev ? Load(prev + i - bpp) : _mm_setzero_si128();
        __m128i p = k == 1 ? a : k == 2 ? b : k == 3 ? AverageDown(a, b) : Paeth8(a, b, c);
        _mm_storeu_si128((__m128i*)(o + i), _mm_sub_epi8(x, p));
    }
}

#endif

}  // namespace

void FilterPngRow(const unsigned char* row, const unsigned char* prev, size_t rowBytes, int bytesPerPixel,
                  unsigned char* out) {
    const size_t bpp = (size_t)bytesPerPixel;
    // The wide steps take [bpp, wideEnd); the plain loops the rest.
    size_t wideEnd = 0;
#ifdef VP_PNG_SSE2
    if (rowBytes > bpp + 16 && HaveSse2())
        wideEnd = bpp + (rowBytes - bpp) / 16 * 16;
#endif
    auto plainCosts = [&](size_t from, size_t to, unsigned cost[5]) {
        if (prev)
            AddRowCosts<true>(row, prev, from, to, bpp, cost);
        else
            AddRowCosts<false>(row, nullptr, from, to, bpp, cost);
    };
    auto plainApply = [&](int k, size_t from, size_t to) {
        if (prev)
            ApplyFilter<true>(k, row, prev, from, to, bpp, out + 1);
        else
            ApplyFilter<false>(k, row, nullptr, from, to, bpp, out + 1);
    };
    unsigned cost[5] = {0, 0, 0, 0, 0};
    if (wideEnd) {
#ifdef VP_PNG_SSE2
        plainCosts(0, bpp, cost);
        AddRowCostsSse2(row, prev, wideEnd, bpp, cost);
        plainCosts(wideEnd, rowBytes, cost);
#endif
    } else {
        plainCosts(0, rowBytes, cost);
    }
    int best = 0;  // the least sum; a tie keeps the lower filter
    for (int k = 1; k < 5; k++)
        if (cost[k] < cost[best])
            best = k;
    out[0] = (unsigned char)best;
    if (best == 0) {
        memcpy(out + 1, row, rowBytes);
    } else if (wideEnd) {
#ifdef VP_PNG_SSE2
        plainApply(best, 0, bpp);
        ApplyFilterSse2(best, row, prev, wideEnd, bpp, out + 1);
        plainApply(best, wideEnd, rowBytes);
#endif
    } else {
        plainApply(best, 0, rowBytes);
    }
}
