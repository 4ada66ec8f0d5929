// What the processor can run, asked once: the fast pixel passes choose their
// kernels by these. Header-only so that every pass library can use it.
#pragma once

namespace tav1::fast {

inline bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

inline bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

// AVX2 with fused multiply-add (every AVX2 processor sold has both).
inline bool HasAvx2Fma() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return has;
}

// AVX-512 F, VL, BW and DQ: what the wide kernels use.
inline bool HasAvx512() {
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
                          __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq");
  return has;
}

// AVX-512 F and BW with VBMI byte permutes: the table-mapping kernel.
inline bool HasAvx512Vbmi() {
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                          __builtin_cpu_supports("avx512vbmi");
  return has;
}

}  // namespace tav1::fast
