// The inverse MDCTs of layer III as fast DCT-IVs, generic over the value
// type: a float, or a vector of floats that carries one subband per lane.
//
// The 36-point inverse MDCT x[i] = sum X[k] cos(pi/72 (2i + 19)(2k + 1)) of
// 18 lines is the 18-point DCT-IV y[m] = sum X[k] cos(pi/72 (2m + 1)(2k + 1))
// read from index 9 on and extended by its symmetries: x[i] = y[9 + i] for
// i < 9, x[i] = -y[26 - i] for 9 <= i < 27, x[i] = -y[i - 27] for i >= 27.
// Likewise the 12-point transform of 6 lines is the 6-point DCT-IV: x[i] =
// y[3 + i] for i < 3, -y[8 - i] for 3 <= i < 9, -y[i - 9] for i >= 9. The
// windows carry those minus signs (mpaL3TableInit), so both transforms leave
// y in place.
//
// A DCT-IV of N points is 1 / (2 cos((2m + 1) pi / 4N)) times the DCT-III of
// the sums Z[j] = X[j] + X[j - 1]; that DCT-III splits into its even inputs,
// a DCT-III of N/2 points, and its odd ones, which the same step turns into
// another. Each lane does the same operations in the same order, so a vector
// gives the bits of the plain float code.
#pragma once

namespace mpa_l3 {

struct ImdctConstants {
  float c72[18];    // 1 / (2 cos((2m + 1) pi / 72))
  float c36[9];     // 1 / (2 cos((2m + 1) pi / 36))
  float f9[4][9];   // cos(pi p (2m + 1) / 18), m = 0..3, p = 0..8
  float c24[6];     // 1 / (2 cos((2m + 1) pi / 24))
  float c12[3];     // 1 / (2 cos((2m + 1) pi / 12))
  float cos30;      // cos(pi / 6)
  ImdctConstants();
};

// Made during static initialisation, shared by every decoder.
extern const ImdctConstants kImdct;

// F[m] = sum over p < 9 of a[p] cos(pi p (2m + 1) / 18), m = 0..8: the
// outputs m and 8 - m share the even and odd half sums.
template <class V>
[[gnu::always_inline]] inline void dct3x9(const V* a, V* f) {
  for (int m = 0; m < 4; ++m) {
    const float* c = kImdct.f9[m];
    V even = a[0] + a[2] * c[2] + a[4] * c[4] + a[6] * c[6] + a[8] * c[8];
    V odd = a[1] * c[1] + a[3] * c[3] + a[5] * c[5] + a[7] * c[7];
    f[m] = even + odd;
    f[8 - m] = even - odd;
  }
  f[4] = a[0] - a[2] + a[4] - a[6] + a[8];
}

// The 18-point DCT-IV in place.
template <class V>
[[gnu::always_inline]] inline void dct4x18(V* x) {
  for (int j = 17; j > 0; --j) x[j] += x[j - 1];  // Z
  V even[9], odd[9], fe[9], fo[9];
  for (int p = 0; p < 9; ++p) even[p] = x[2 * p];
  odd[0] = x[1];
  for (int q = 1; q < 9; ++q) odd[q] = x[2 * q + 1] + x[2 * q - 1];
  dct3x9(even, fe);
  dct3x9(odd, fo);
  for (int m = 0; m < 9; ++m) {
    V o = fo[m] * kImdct.c36[m];
    x[m] = (fe[m] + o) * kImdct.c72[m];
    x[17 - m] = (fe[m] - o) * kImdct.c72[17 - m];
  }
}

// The 6-point DCT-IV from in[0], in[stride], ... in[5 stride] into y.
template <class V>
[[gnu::always_inline]] inline void dct4x6(const V* in, int stride, V* y) {
  V z[6];
  z[0] = in[0];
  for (int j = 1; j < 6; ++j) z[j] = in[j * stride] + in[(j - 1) * stride];
  // DCT-III of 3 points: F[0] = a0 + a1 cos30 + a2 / 2, F[1] = a0 - a2,
  // F[2] = a0 - a1 cos30 + a2 / 2.
  V e0 = z[0] + z[4] * 0.5f, e1 = z[2] * kImdct.cos30;
  V w0 = z[1], w1 = z[3] + z[1], w2 = z[5] + z[3];
  V o0 = w0 + w2 * 0.5f, o1 = w1 * kImdct.cos30;
  V fe[3] = {e0 + e1, z[0] - z[4], e0 - e1};
  V fo[3] = {(o0 + o1) * kImdct.c12[0], (w0 - w2) * kImdct.c12[1], (o0 - o1) * kImdct.c12[2]};
  for (int m = 0; m < 3; ++m) {
    y[m] = (fe[m] + fo[m]) * kImdct.c24[m];
    y[5 - m] = (fe[m] - fo[m]) * kImdct.c24[5 - m];
  }
}

}  // namespace mpa_l3
