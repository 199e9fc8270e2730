#include "Preview/TurnSampler.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KV_TURN_AVX2 1
#endif

namespace TurnSampler {
namespace {

#if defined(__SSE2__)
// The bilinear means of four pixels at once: quad holds their top-left, top-right,
// bottom-left and bottom-right texels; fx and fy their fractions in 1/256.
inline __m128i mixFour(const quint32 (&quad)[4][4], const qint16 (&fx)[4], const qint16 (&fy)[4]) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i whole = _mm_set1_epi16(256);
  // Each pixel's fraction in the four lanes of its channels: pixels 0 and 1, then 2 and 3.
  const __m128i fx01 = _mm_set_epi16(fx[1], fx[1], fx[1], fx[1], fx[0], fx[0], fx[0], fx[0]);
  const __m128i fx23 = _mm_set_epi16(fx[3], fx[3], fx[3], fx[3], fx[2], fx[2], fx[2], fx[2]);
  const __m128i fy01 = _mm_set_epi16(fy[1], fy[1], fy[1], fy[1], fy[0], fy[0], fy[0], fy[0]);
  const __m128i fy23 = _mm_set_epi16(fy[3], fy[3], fy[3], fy[3], fy[2], fy[2], fy[2], fy[2]);
  const __m128i half = _mm_set1_epi16(128);
  // (a · (256 − f) + b · f + 128) / 256 per channel: at most 255 · 256 + 128, within 16 bits.
  auto lerp = [&](__m128i a, __m128i b, __m128i f) {
    const __m128i sum =
        _mm_add_epi16(_mm_mullo_epi16(a, _mm_sub_epi16(whole, f)), _mm_mullo_epi16(b, f));
    return _mm_srli_epi16(_mm_add_epi16(sum, half), 8);
  };
  const __m128i tl = _mm_load_si128(reinterpret_cast<const __m128i*>(quad[0]));
  const __m128i tr = _mm_load_si128(reinterpret_cast<const __m128i*>(quad[1]));
  const __m128i bl = _mm_load_si128(reinterpret_cast<const __m128i*>(quad[2]));
  const __m128i br = _mm_load_si128(reinterpret_cast<const __m128i*>(quad[3]));
  const __m128i low =
      lerp(lerp(_mm_unpacklo_epi8(tl, zero), _mm_unpacklo_epi8(tr, zero), fx01),
           lerp(_mm_unpacklo_epi8(bl, zero), _mm_unpacklo_epi8(br, zero), fx01), fy01);
  const __m128i high =
      lerp(lerp(_mm_unpackhi_epi8(tl, zero), _mm_unpackhi_epi8(tr, zero), fx23),
           lerp(_mm_unpackhi_epi8(bl, zero), _mm_unpackhi_epi8(br, zero), fx23), fy23);
  return _mm_packus_epi16(low, high);
}
#endif

#if defined(KV_TURN_AVX2)
bool hasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

__attribute__((target("avx2"))) inline __m256i windowAt(const quint32* at) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}

// The texels of a row's eight-texel window at `at` that `offset` picks, one per sample.
__attribute__((target("avx2"))) inline __m256i picked(const quint32* at, __m256i offset) {
  return _mm256_permutevar8x32_epi32(windowAt(at), offset);
}

// Each sample's weights, one 32-bit lane per sample: the byte pair (64 − fx, fx) twice for the
// multiply-add across, and fy · 512 twice for the rounded high multiply down. Fractions are cut
// to 1/64 of a texel.
struct Weights {
  __m256i across;
  __m256i down;
};
__attribute__((target("avx2"))) inline Weights weightsOf(__m256i u, __m256i v) {
  const __m256i fraction = _mm256_set1_epi32(0x3f);
  const __m256i fx = _mm256_and_si256(_mm256_srli_epi32(u, 10), fraction);
  const __m256i fy = _mm256_and_si256(_mm256_srli_epi32(v, 10), fraction);
  __m256i across =
      _mm256_or_si256(_mm256_sub_epi32(_mm256_set1_epi32(64), fx), _mm256_slli_epi32(fx, 8));
  across = _mm256_or_si256(across, _mm256_slli_epi32(across, 16));
  __m256i down = _mm256_slli_epi32(fy, 9);
  down = _mm256_or_si256(down, _mm256_slli_epi32(down, 16));
  return {across, down};
}

// A row pair mixed across (64 times the value), mixed down by 1/512 steps.
__attribute__((target("avx2"))) inline __m256i mixedDown(__m256i top, __m256i bottom,
                                                         __m256i down) {
  return _mm256_add_epi16(top, _mm256_mulhrs_epi16(_mm256_sub_epi16(bottom, top), down));
}

// Eight samples from their pixel pairs, left and right bytes interleaved: the top and bottom
// rows of the samples that `lanesA` picks from the weights, then of those `lanesB` picks. Mixed
// across (to 64 times the value), then down, and packed to bytes.
__attribute__((target("avx2"))) inline __m256i mixed(__m256i topA, __m256i bottomA, __m256i topB,
                                                     __m256i bottomB, const Weights& w,
                                                     __m256i lanesA, __m256i lanesB) {
  const __m256i acrossA = _mm256_permutevar8x32_epi32(w.across, lanesA);
  const __m256i acrossB = _mm256_permutevar8x32_epi32(w.across, lanesB);
  const __m256i a =
      mixedDown(_mm256_maddubs_epi16(topA, acrossA), _mm256_maddubs_epi16(bottomA, acrossA),
                _mm256_permutevar8x32_epi32(w.down, lanesA));
  const __m256i b =
      mixedDown(_mm256_maddubs_epi16(topB, acrossB), _mm256_maddubs_epi16(bottomB, acrossB),
                _mm256_permutevar8x32_epi32(w.down, lanesB));
  const __m256i half = _mm256_set1_epi16(32);
  return _mm256_packus_epi16(_mm256_srli_epi16(_mm256_add_epi16(a, half), 6),
                             _mm256_srli_epi16(_mm256_add_epi16(b, half), 6));
}

// Eight samples written, or blended over what is there unless all are opaque.
__attribute__((target("avx2"))) inline void putEight(quint32* to, bool blend, __m256i opaque,
                                                     __m256i samples) {
  if (blend && !_mm256_testc_si256(samples, opaque)) {
    alignas(32) quint32 each[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(each), samples);
    for (int k = 0; k < 8; ++k) over(to[k], each[k]);
  } else {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), samples);
  }
}

// Eight samples per step, `count` a multiple of eight, positions and texel indices within 31
// bits. The texels come from row windows where the eight cross at most one row change, else
// from 64-bit gathers, two per sample.
__attribute__((target("avx2"))) void eightAtATime(const quint32* pixels, int width, int stride,
                                                  int u0, int v0, int stepU, int stepV,
                                                  quint32* out, int count, bool blend) {
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i u =
      _mm256_add_epi32(_mm256_set1_epi32(u0), _mm256_mullo_epi32(lane, _mm256_set1_epi32(stepU)));
  __m256i v =
      _mm256_add_epi32(_mm256_set1_epi32(v0), _mm256_mullo_epi32(lane, _mm256_set1_epi32(stepV)));
  const __m256i du = _mm256_set1_epi32(8 * stepU);
  const __m256i dv = _mm256_set1_epi32(8 * stepV);
  const __m256i rowStride = _mm256_set1_epi32(stride);
  // Within each sample's eight bytes (left texel, right texel): each channel's pair side by side.
  const __m256i pairs = _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15, 0, 4,
                                         1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
  const __m256i firstFour = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
  const __m256i lastFour = _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7);
  const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xff000000u));
  const auto* top = reinterpret_cast<const long long*>(pixels);
  const auto* bottom = reinterpret_cast<const long long*>(pixels + stride);
  const __m256i firstPairs = _mm256_setr_epi32(0, 0, 1, 1, 4, 4, 5, 5);
  const __m256i secondPairs = _mm256_setr_epi32(2, 2, 3, 3, 6, 6, 7, 7);
  // Upright or turned less than 45°, eight samples span at most nine texels across; crossing
  // more rows than this, gathers cost less than the windows.
  const bool runs = stepU > 0 && stepU <= 65536;
  constexpr int mostRowChanges = 1;
  qint64 runU = u0;  // one step past the last run may leave the lanes' range
  qint64 runV = v0;
  for (int x = 0; x < count; x += 8, runU += 8 * stepU, runV += 8 * stepV) {
    const int firstRow = static_cast<int>(runV >> 16);
    const int lastRow = static_cast<int>((runV + 7 * stepV) >> 16);
    const int topRow = std::min(firstRow, lastRow);
    const int rows = std::abs(lastRow - firstRow);  // row changes within the eight
    const int left = static_cast<int>(runU >> 16);
    if (runs && rows <= mostRowChanges && left + 8 < width) {
      // Their texels come from plain loads of nine-texel windows of the few rows they cross,
      // picked by a permute per window and a blend per row change, instead of gathers.
      const quint32* p = pixels + topRow * stride + left;
      const __m256i offset = _mm256_sub_epi32(_mm256_srai_epi32(u, 16), _mm256_set1_epi32(left));
      const __m256i rowOf = _mm256_sub_epi32(_mm256_srai_epi32(v, 16), _mm256_set1_epi32(topRow));
      __m256i tl = picked(p, offset);
      __m256i tr = picked(p + 1, offset);
      __m256i rowLeft = picked(p + stride, offset);
      __m256i rowRight = picked(p + stride + 1, offset);
      __m256i bl = rowLeft;
      __m256i br = rowRight;
      for (int r = 1; r <= rows; ++r) {
        const __m256i here = _mm256_cmpeq_epi32(rowOf, _mm256_set1_epi32(r));
        const __m256i nextLeft = picked(p + (r + 1) * stride, offset);
        const __m256i nextRight = picked(p + (r + 1) * stride + 1, offset);
        tl = _mm256_blendv_epi8(tl, rowLeft, here);
        tr = _mm256_blendv_epi8(tr, rowRight, here);
        bl = _mm256_blendv_epi8(bl, nextLeft, here);
        br = _mm256_blendv_epi8(br, nextRight, here);
        rowLeft = nextLeft;
        rowRight = nextRight;
      }
      // Interleaving left and right bytes puts samples 0 1 4 5 in the low half, 2 3 6 7 in the
      // high, so the pack below comes out in order.
      const __m256i samples = mixed(_mm256_unpacklo_epi8(tl, tr), _mm256_unpacklo_epi8(bl, br),
                                    _mm256_unpackhi_epi8(tl, tr), _mm256_unpackhi_epi8(bl, br),
                                    weightsOf(u, v), firstPairs, secondPairs);
      putEight(out + x, blend, opaque, samples);
      u = _mm256_add_epi32(u, du);
      v = _mm256_add_epi32(v, dv);
      continue;
    }
    const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(v, 16), rowStride),
                                        _mm256_srai_epi32(u, 16));
    const __m128i at0 = _mm256_castsi256_si128(at);
    const __m128i at1 = _mm256_extracti128_si256(at, 1);
    const __m256i t0 = _mm256_i32gather_epi64(top, at0, 4);
    const __m256i t1 = _mm256_i32gather_epi64(top, at1, 4);
    const __m256i b0 = _mm256_i32gather_epi64(bottom, at0, 4);
    const __m256i b1 = _mm256_i32gather_epi64(bottom, at1, 4);
    const __m256i packed = mixed(_mm256_shuffle_epi8(t0, pairs), _mm256_shuffle_epi8(b0, pairs),
                                 _mm256_shuffle_epi8(t1, pairs), _mm256_shuffle_epi8(b1, pairs),
                                 weightsOf(u, v), firstFour, lastFour);
    // The pack interleaves the halves: samples 0 1 4 5 2 3 6 7.
    putEight(out + x, blend, opaque, _mm256_permute4x64_epi64(packed, 0xd8));
    u = _mm256_add_epi32(u, du);
    v = _mm256_add_epi32(v, dv);
  }
}

bool fitsInLanes(qint64 value) { return value >= 0 && value < (qint64(1) << 31); }
#endif

}  // namespace

void innerNarrow(const quint32* pixels, int /*width*/, qsizetype stride, qint64 u, qint64 v,
                 qint64 stepU, qint64 stepV, quint32* out, int count, bool blend) {
  int x = 0;
#if defined(__SSE2__)
  // Four samples at a time, channels in 16-bit lanes.
  for (; x + 4 <= count; x += 4) {
    alignas(16) quint32 quad[4][4];  // top-left, top-right, bottom-left, bottom-right
    qint16 fx[4];
    qint16 fy[4];
    for (int k = 0; k < 4; ++k, u += stepU, v += stepV) {
      const quint32* p = pixels + (v >> 16) * stride + (u >> 16);
      quad[0][k] = p[0];
      quad[1][k] = p[1];
      quad[2][k] = p[stride];
      quad[3][k] = p[stride + 1];
      fx[k] = static_cast<qint16>((u >> 8) & 0xff);
      fy[k] = static_cast<qint16>((v >> 8) & 0xff);
    }
    const __m128i result = mixFour(quad, fx, fy);
    if (blend && _mm_movemask_epi8(
                     _mm_cmpeq_epi32(_mm_srli_epi32(result, 24), _mm_set1_epi32(255))) != 0xffff) {
      alignas(16) quint32 samples[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(samples), result);
      for (int k = 0; k < 4; ++k) over(out[x + k], samples[k]);
    } else {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), result);
    }
  }
#endif
  for (; x < count; ++x, u += stepU, v += stepV) {
    const quint32* p = pixels + (v >> 16) * stride + (u >> 16);
    const quint32 sample =
        mix(p[0], p[1], p[stride], p[stride + 1], static_cast<quint32>(u >> 8) & 0xff,
            static_cast<quint32>(v >> 8) & 0xff);
    if (blend) {
      over(out[x], sample);
    } else {
      out[x] = sample;
    }
  }
}

void inner(const quint32* pixels, int width, qsizetype stride, qint64 u, qint64 v, qint64 stepU,
           qint64 stepV, quint32* out, int count, bool blend) {
  if (count <= 0) return;
#if defined(KV_TURN_AVX2)
  const int wide = count & ~7;
  if (wide > 0 && hasAvx2()) {
    // Every position and texel index of the run must fit the 32-bit lanes.
    const qint64 lastU = u + (wide - 1) * stepU;
    const qint64 lastV = v + (wide - 1) * stepV;
    const qint64 lowestRow = std::max(v, lastV) >> 16;
    if (fitsInLanes(u) && fitsInLanes(lastU) && fitsInLanes(v) && fitsInLanes(lastV) &&
        fitsInLanes(8 * std::abs(stepU)) && fitsInLanes(8 * std::abs(stepV)) &&
        fitsInLanes((lowestRow + 2) * stride)) {
      eightAtATime(pixels, width, static_cast<int>(stride), static_cast<int>(u),
                   static_cast<int>(v), static_cast<int>(stepU), static_cast<int>(stepV), out, wide,
                   blend);
      innerNarrow(pixels, width, stride, u + wide * stepU, v + wide * stepV, stepU, stepV,
                  out + wide, count - wide, blend);
      return;
    }
  }
#endif
  innerNarrow(pixels, width, stride, u, v, stepU, stepV, out, count, blend);
}

}  // namespace TurnSampler
