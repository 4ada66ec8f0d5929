#include "core/tone/fast_map.h"

#include <immintrin.h>

#include <algorithm>

#include "core/tone/cpu_features.h"

namespace tav1::fast {

namespace {

void MapRow24Plain(const std::uint8_t* in, std::uint8_t* out, int width, const ToneTables& t) {
  for (int x = 0; x < width; ++x, in += 3, out += 3) {
    const std::uint8_t b = t.TableB[in[0]], g = t.TableG[in[1]], r = t.TableR[in[2]];
    out[0] = b;
    out[1] = g;
    out[2] = r;
  }
}

void MapBytesPlain(const std::uint8_t* in, std::uint8_t* out, std::size_t n, const std::uint8_t* t) {
  for (std::size_t i = 0; i < n; ++i) out[i] = t[in[i]];
}

void SoloRow24Plain(const std::uint8_t* in, std::uint8_t* out, int width, const std::uint8_t* t,
                    int byteIndex) {
  for (int x = 0; x < width; ++x, in += 3, out += 3) {
    const std::uint8_t v = t[in[byteIndex]];
    out[0] = out[1] = out[2] = v;
  }
}

#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512vbmi")
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"  // the intrinsics' own undefined inputs

// A 256-entry byte table in four registers; one lookup of 64 indices is two
// two-table permutes (low seven bits) and a blend on the top bit.
struct Lut {
  __m512i t0, t1, t2, t3;
  explicit Lut(const std::uint8_t* t)
      : t0(_mm512_loadu_si512(t)), t1(_mm512_loadu_si512(t + 64)), t2(_mm512_loadu_si512(t + 128)),
        t3(_mm512_loadu_si512(t + 192)) {}
  __m512i Look(__m512i idx) const {
    const __m512i lo = _mm512_permutex2var_epi8(t0, idx, t1);
    const __m512i hi = _mm512_permutex2var_epi8(t2, idx, t3);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(idx), lo, hi);
  }
};

inline __mmask64 FirstBytes(std::size_t n) { return n >= 64 ? ~__mmask64{0} : ((__mmask64{1} << n) - 1); }

void MapBytesVbmi(const std::uint8_t* in, std::uint8_t* out, std::size_t n, const std::uint8_t* t) {
  const Lut lut(t);
  std::size_t i = 0;
  for (; i + 64 <= n; i += 64)
    _mm512_storeu_si512(out + i, lut.Look(_mm512_loadu_si512(in + i)));
  if (i < n) {
    const __mmask64 m = FirstBytes(n - i);
    _mm512_mask_storeu_epi8(out + i, m, lut.Look(_mm512_maskz_loadu_epi8(m, in + i)));
  }
}

void MapRow24Vbmi(const std::uint8_t* in, std::uint8_t* out, int width, const ToneTables& t) {
  const Lut lb(t.TableB), lg(t.TableG), lr(t.TableR);
  // Byte j of a vector that starts at row byte i belongs to channel (i + j) mod 3;
  // bit j of kThird[k] is set where j mod 3 = k.
  constexpr __mmask64 kThird[3] = {0x9249249249249249ull, 0x2492492492492492ull, 0x4924924924924924ull};
  const __mmask64 greenAt[3] = {kThird[1], kThird[0], kThird[2]};
  const __mmask64 redAt[3] = {kThird[2], kThird[1], kThird[0]};
  const std::size_t n = 3 * static_cast<std::size_t>(width);
  auto look = [&](__m512i v, int ph) {
    const __m512i r = _mm512_mask_blend_epi8(greenAt[ph], lb.Look(v), lg.Look(v));
    return _mm512_mask_blend_epi8(redAt[ph], r, lr.Look(v));
  };
  // Whole vectors with plain loads and stores, three a step (64 = 1 mod 3, so
  // the phase steps by one per vector); only the row's last part is masked
  // (masked stores are slow on some processors).
  std::size_t i = 0;
  for (; i + 192 <= n; i += 192) {
    _mm512_storeu_si512(out + i, look(_mm512_loadu_si512(in + i), 0));
    _mm512_storeu_si512(out + i + 64, look(_mm512_loadu_si512(in + i + 64), 1));
    _mm512_storeu_si512(out + i + 128, look(_mm512_loadu_si512(in + i + 128), 2));
  }
  int ph = 0;
  for (; i + 64 <= n; i += 64, ++ph) _mm512_storeu_si512(out + i, look(_mm512_loadu_si512(in + i), ph));
  if (i < n) {
    const __mmask64 m = FirstBytes(n - i);
    _mm512_mask_storeu_epi8(out + i, m, look(_mm512_maskz_loadu_epi8(m, in + i), ph));
  }
}

void SoloRow24Vbmi(const std::uint8_t* in, std::uint8_t* out, int width, const std::uint8_t* t,
                   int byteIndex) {
  const Lut lut(t);
  alignas(64) std::uint8_t spread[64];
  for (int j = 0; j < 64; ++j) spread[j] = static_cast<std::uint8_t>(j < 48 ? 3 * (j / 3) + byteIndex : 0);
  const __m512i spreadIdx = _mm512_load_si512(spread);
  const std::size_t n = 3 * static_cast<std::size_t>(width);
  // Sixteen pixels a step. Where 64 bytes can be read the load is plain, and
  // the 48 result bytes go out as 32 + 16 (masked stores are slow on some
  // processors); a row written in place is never written ahead of its reading.
  std::size_t off = 0;
  for (; off + 64 <= n; off += 48) {
    const __m512i v = lut.Look(_mm512_maskz_permutexvar_epi8(~__mmask64{0}, spreadIdx, _mm512_loadu_si512(in + off)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + off), _mm512_castsi512_si256(v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + off + 32), _mm512_extracti32x4_epi32(v, 2));
  }
  for (; off < n; off += 48) {
    const __mmask64 m = FirstBytes(std::min<std::size_t>(48, n - off));
    const __m512i v = _mm512_maskz_permutexvar_epi8(~__mmask64{0}, spreadIdx, _mm512_maskz_loadu_epi8(m, in + off));
    _mm512_mask_storeu_epi8(out + off, m, lut.Look(v));
  }
}

#pragma GCC diagnostic pop
#pragma GCC pop_options

}  // namespace

void MapRow24(const std::uint8_t* in, std::uint8_t* out, int width, const ToneTables& tables) {
  if (width <= 0) return;
  if (HasAvx512Vbmi()) MapRow24Vbmi(in, out, width, tables);
  else MapRow24Plain(in, out, width, tables);
}

void MapBytes(const std::uint8_t* in, std::uint8_t* out, std::size_t n, const std::uint8_t* table) {
  if (HasAvx512Vbmi()) MapBytesVbmi(in, out, n, table);
  else MapBytesPlain(in, out, n, table);
}

void SoloRow24(const std::uint8_t* in, std::uint8_t* out, int width, const std::uint8_t* table,
               int byteIndex) {
  if (width <= 0) return;
  if (HasAvx512Vbmi()) SoloRow24Vbmi(in, out, width, table, byteIndex);
  else SoloRow24Plain(in, out, width, table, byteIndex);
}

bool MapVectorised() { return HasAvx512Vbmi(); }

}  // namespace tav1::fast
