// The bodies of the RLE8 draw families (rle8_members.h): one run walk over a
// per-pel colour rule and the variant flags, one row loop, one stretched
// draw. Included by the files that instantiate the members.
//
// The colour each Op gives, d the destination pel and s the table entry
// (on B, G and R of 3- and 4-byte pels; 16-bit pels by field):
//
//   Op           R8G8B8            X8R8G8B8            R5G6B5             X1R5G5B5
//   Copy         the entry's bytes, byte 3 and bit 15 included
//   Alpha        pelAlpha          (s*a + d*(256-a))   d + ((s-d)*a >> 8)  pelAlpha
//                                  >> 8                per field (floors)
//   the others   the draw's per-pel operation of the mode (pelModulate ...
//                pelAddSmooth) on the layout word: B, G, R bytes, or the
//                16-bit fields widened to 8 bits and narrowed back
//
// A blend leaves byte 3 and bit 15 as they were. The weight a is used as
// given (the draws clamp it to 0..256).
#pragma once

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

#include "engine/draw/frame_rules.h"
#include "engine/rle8/rle8_members.h"
#include "engine/rle8_row.h"

namespace rle8Walk {

template <class Dst>
constexpr int kBytes = int(sizeof(Dst));

// --- Colours ---------------------------------------------------------------------
// Colour<Dst, Op>(a) combines one destination pel with one entry; fill()
// draws n pels of one entry, each `step` bytes from the last.

template <class Dst, class Op>
struct Colour {
  explicit Colour(int) {}
  void operator()(uint8_t* d, const uint8_t* s) const {
    pelModeOp<Op, drawFrame::WordOf<Dst>, drawFrame::WordOf<Dst>>{}(d, s);
  }
};

template <class Dst>
struct Colour<Dst, imgOp::Copy> {
  explicit Colour(int) {}
  void operator()(uint8_t* d, const uint8_t* s) const { std::memcpy(d, s, kBytes<Dst>); }
};

template <class Dst>
  requires(std::is_same_v<Dst, R8G8B8> || std::is_same_v<Dst, X1R5G5B5>)
struct Colour<Dst, imgOp::Alpha> {
  int a;
  explicit Colour(int weight) : a(weight) {}
  void operator()(uint8_t* d, const uint8_t* s) const { pelAlpha<Dst, Dst>(d, s, a); }
};

template <>
struct Colour<X8R8G8B8, imgOp::Alpha> {
  uint32_t a, rest;
  explicit Colour(int weight) : a(uint32_t(weight)), rest(uint32_t(256 - weight)) {}
  // B and R in one product, G in another: with a in 0..256 no sum passes 16
  // bits, so the channels stay apart.
  void operator()(uint8_t* d, const uint8_t* s) const {
    uint32_t dv, sv;
    std::memcpy(&dv, d, 4);
    std::memcpy(&sv, s, 4);
    const uint32_t rb = (((sv & 0xFF00FF) * a + (dv & 0xFF00FF) * rest) >> 8) & 0xFF00FF;
    const uint32_t g = (((sv & 0xFF00) * a + (dv & 0xFF00) * rest) >> 8) & 0xFF00;
    dv = (dv & 0xFF000000) | rb | g;
    std::memcpy(d, &dv, 4);
  }
};

template <>
struct Colour<R5G6B5, imgOp::Alpha> {
  int a;
  explicit Colour(int weight) : a(weight) {}
  static int mix(int d, int s, int a) { return d + (((s - d) * a) >> 8); }
  void operator()(uint8_t* d, const uint8_t* s) const {
    uint16_t dv, sv;
    std::memcpy(&dv, d, 2);
    std::memcpy(&sv, s, 2);
    const int r = mix(dv >> 11, sv >> 11, a), g = mix((dv >> 5) & 63, (sv >> 5) & 63, a),
              b = mix(dv & 31, sv & 31, a);
    dv = uint16_t((r & 31) << 11 | (g & 63) << 5 | (b & 31));
    std::memcpy(d, &dv, 2);
  }
};

// --- The last argument ---------------------------------------------------------------
template <class Dst, class Op, bool Key>
struct Extra {
  int a = 0;
  uint32_t key = 0;
  explicit Extra(const void* extra) {
    if constexpr (std::is_same_v<Op, imgOp::Alpha>) {
      if constexpr (Key) {
        rle8AlphaKey k;
        std::memcpy(&k, extra, sizeof k);
        a = k.alpha;
        key = k.key;
      } else {
        std::memcpy(&a, extra, sizeof a);
      }
    } else if constexpr (Key) {
      key = drawFrame::loadBytes<Dst>(static_cast<const uint8_t*>(extra));
    }
  }
};

// --- Copies of 2- and 4-byte pels ------------------------------------------------
// A Copy without depths only stores, and the pels of a run lie side by side
// in the destination whichever way the walk goes. So a run is stored in
// blocks of pels, the last block of a run that is no whole number of them
// overlapping the one before it: a run costs a few stores and a choice or
// two on its length, where a store per pel costs a loop whose end the
// processor mispredicts on nearly every run. The words are made for a
// little-endian processor, as engine/pel.h's pel numbers are.
template <class Dst>
struct Blocks {
  static constexpr int B = kBytes<Dst>;
  static_assert(B == 2 || B == 4);
  static_assert(std::endian::native == std::endian::little);
  using KeyTest = drawFrame::KeyOf<Dst>;

  // The first `bytes` bytes of the word v at `at`.
  template <int bytes>
  static void put(uint8_t* at, uint64_t v) {
    std::memcpy(at, &v, bytes);
  }
  static void put16(uint8_t* at, uint64_t v) {
    put<8>(at, v);
    put<8>(at + 8, v);
  }

  // n pels (0 to 63) of the entry e from `first`, the lowest in memory, on:
  // the first and the last 16 bytes and every 16 between them; shorter runs
  // the first and the last 8, 4 or 2 bytes.
  static void fill(uint8_t* first, const uint8_t* e, int n) {
    const uint64_t v = drawFrame::loadBytes<Dst>(e) * (B == 2 ? 0x0001000100010001ull : 0x0000000100000001ull);
    const size_t bytes = size_t(n) * B;
    if (bytes >= 16) {
      uint8_t* const last = first + bytes - 16;
      put16(first, v);
      put16(last, v);
      for (uint8_t* at = first + 16; at < last; at += 16) put16(at, v);
    } else if (bytes >= 8) {
      put<8>(first, v);
      put<8>(first + bytes - 8, v);
    } else if (bytes >= 4) {
      put<4>(first, v);
      put<4>(first + bytes - 4, v);
    } else if (bytes) {
      put<2>(first, v);
    }
  }

  // Pels i to i + K - 1 of a literal's indices drawn from `at` on (to the
  // left of it when mirrored): in words of up to 8 bytes, or, where the
  // entry of one of them is the key (keyed members), pel by pel past it.
  template <int K, bool Mirror, bool Key>
  static void block(uint8_t* at, const uint8_t* indices, int i, const uint8_t* table, uint32_t key) {
    constexpr ptrdiff_t step = Mirror ? -B : B;
    // The entries, loaded before anything is stored (a store could be to
    // the table as far as the compiler knows), and KeyOf's test of each.
    uint64_t v[K];
    bool keyed[K], anyKeyed = false;
    for (int j = 0; j < K; ++j) {
      v[j] = drawFrame::loadBytes<Dst>(table + size_t(indices[i + j]) * B);
      keyed[j] = Key && ((uint32_t(v[j]) ^ key) & KeyTest::mask) == 0;
      anyKeyed |= keyed[j];
    }
    if (anyKeyed) {
      for (int j = 0; j < K; ++j)
        if (!keyed[j]) put<B>(at + (i + j) * step, v[j]);
      return;
    }
    // Word w holds the pels of memory order w * perWord on, the lowest
    // first: reversed when mirrored.
    constexpr int perWord = K * B < 8 ? K : 8 / B;
    uint8_t* const lowest = at + (Mirror ? i + K - 1 : i) * step;
    for (int w = 0; w < K / perWord; ++w) {
      uint64_t word = 0;
      for (int j = 0; j < perWord; ++j) {
        const int pel = w * perWord + j;
        word |= v[Mirror ? K - 1 - pel : pel] << (8 * B * j);
      }
      put<perWord * B>(lowest + 8 * w, word);
    }
  }

  // The n pels (0 to 63) of a literal's indices from `at` on: four at a
  // time, the last four overlapping the four before them; two or three as
  // two pairs.
  template <bool Mirror, bool Key>
  static void copy(uint8_t* at, const uint8_t* indices, int n, const uint8_t* table, uint32_t key) {
    if (n >= 4) {
      block<4, Mirror, Key>(at, indices, 0, table, key);
      for (int i = 4; i < n - 4; i += 4) block<4, Mirror, Key>(at, indices, i, table, key);
      block<4, Mirror, Key>(at, indices, n - 4, table, key);
    } else if (n >= 2) {
      block<2, Mirror, Key>(at, indices, 0, table, key);
      block<2, Mirror, Key>(at, indices, n - 2, table, key);
    } else if (n == 1) {
      block<1, Mirror, Key>(at, indices, 0, table, key);
    }
  }
};

// --- The walk ----------------------------------------------------------------------------
// Draws the runs of pels `start` to `start + count - 1` of the row
// (rle8EachRun): each run's pels from d + its x pels on; skips leave the
// pels as they are. A Copy without depths onto 2- or 4-byte pels stores
// blocks; the rest goes pel by pel. Flattened, so that the per-pel colour
// stays in line.
template <class Dst, class Op, bool Mirror, bool Key, bool Z>
[[gnu::flatten]] void run(const uint8_t* p, const uint8_t* end, int start, int count, const uint8_t* zs,
                          uint8_t* zd, uint8_t* d, const uint8_t* table, const void* extra) {
  constexpr int B = kBytes<Dst>;
  constexpr ptrdiff_t step = Mirror ? -B : B;
  using KeyTest = drawFrame::KeyOf<Dst>;
  const Extra<Dst, Op, Key> x(extra);
  const Colour<Dst, Op> colour(x.a);

  if constexpr (!Z && std::is_same_v<Op, imgOp::Copy> && B != 3) {
    rle8EachRun(p, end, start, count, [&](const rle8RowRun& r) {
      uint8_t* const at = d + r.x * step;
      if (!r.repeat) {
        Blocks<Dst>::template copy<Mirror, Key>(at, r.indices, r.n, table, x.key);
      } else {
        // From the repeat's lowest pel in memory: mirrored, its last.
        const uint8_t* e = table + size_t(*r.indices) * B;
        if (!(Key && KeyTest::skip(e, x.key))) Blocks<Dst>::fill(Mirror ? at - (r.n - 1) * B : at, e, r.n);
      }
    });
    return;
  }
  rle8EachRun(p, end, start, count, [&](const rle8RowRun& r) {
    uint8_t* const at = d + r.x * step;
    const int n = r.n;
    // Pel i of the run: the depth test (the depth written even under the
    // key), the key, the colour.
    auto pel = [&](int i, const uint8_t* e, bool keyed) {
      if constexpr (Z) {
        const ptrdiff_t z = 4 * (ptrdiff_t(r.x) + i);
        int32_t s, t;
        std::memcpy(&s, zs + z, 4);
        std::memcpy(&t, zd + z, 4);
        if (!(s > t)) return;
        std::memcpy(zd + z, &s, 4);
      }
      if (!keyed) colour(at + i * step, e);
    };
    if (r.repeat) {
      const uint8_t* e = table + size_t(*r.indices) * B;
      const bool keyed = Key && KeyTest::skip(e, x.key);
      if constexpr (!Z && std::is_same_v<Op, imgOp::Copy>) {
        // A repeated Copy (of 3-byte pels) stores one value.
        if (!keyed) {
          const Dst v = pelLoad<Dst>(e);
          for (int i = 0; i < n; ++i) pelStore(at + i * step, v);
        }
      } else if (!keyed || Z) {
        for (int i = 0; i < n; ++i) pel(i, e, keyed);
      }
    } else {
      for (int i = 0; i < n; ++i) {
        const uint8_t* e = table + size_t(r.indices[i]) * B;
        pel(i, e, Key && KeyTest::skip(e, x.key));
      }
    }
  });
}

// --- The row loop --------------------------------------------------------------------------
// The kernel once per non-null row of k; every row, null ones too, advances
// the destination and the depth rows.
template <class Dst, bool Mirror, bool Z, auto Kernel>
void rows(const rle8DrawArgs& a) {
  const imgRle8CTy& s = *a.src;
  uint8_t* d = a.dst + (Mirror ? ptrdiff_t(a.k.w - 1) * kBytes<Dst> : 0);
  const uint8_t* zs = a.zSrc;
  uint8_t* zd = a.zDst;
  for (int i = 0; i < a.k.h; ++i, d += a.dstPitch) {
    const int r = a.k.y + i;
    if (const uint8_t* row = s.rows[r]) {
      if constexpr (Z)
        Kernel(row, row + s.rowSizes[r], a.k.x, a.k.w, zs, zd, d, a.table, a.extra);
      else
        Kernel(row, row + s.rowSizes[r], a.k.x, a.k.w, d, a.table, a.extra);
    }
    if constexpr (Z) {
      zs += a.zSrcPitch;
      zd += a.zDstPitch;
    }
  }
}

// --- The stretched draw ------------------------------------------------------------------------

// How many of n samples from `first` on, (first + j) * step >> 16, fall
// below `limit`.
inline int64_t samplesBelow(int64_t first, int64_t n, uint32_t step, int64_t limit) {
  if (n <= 0 || limit <= 0) return 0;
  if (step == 0) return n;
  const int64_t below = ((limit << 16) - 1) / step + 1 - first;
  return std::clamp<int64_t>(below, 0, n);
}

template <class Dst, bool Mirror>
void scaled(const rle8DrawArgs& a) {
  uint32_t stepX, stepY;
  if (!drawFrame::scaleStep(a.scaleX, &stepX) || !drawFrame::scaleStep(a.scaleY, &stepY)) return;
  if (a.k.x < 0 || a.k.y < 0) return;
  constexpr int B = kBytes<Dst>;
  constexpr ptrdiff_t step = Mirror ? -B : B;
  const imgRle8CTy& s = *a.src;
  const int64_t columns = samplesBelow(a.k.x, a.k.w, stepX, s.bounds.w);
  const int64_t lines = samplesBelow(a.k.y, a.k.h, stepY, s.bounds.h);
  if (columns <= 0) return;
  uint8_t* first = a.dst + (Mirror ? ptrdiff_t(a.k.w - 1) * B : 0);
  for (int64_t i = 0; i < lines; ++i, first += a.dstPitch) {
    const int64_t r = ((a.k.y + i) * stepY) >> 16;
    const uint8_t* p = s.rows[r];
    if (!p) continue;
    // The samples go forward along the row, and the runs with them: the
    // window ends at the last sampled pel.
    uint8_t* d = first;
    int64_t j = 0;
    const int64_t last = ((a.k.x + columns - 1) * stepX) >> 16;
    rle8EachRun(p, p + s.rowSizes[r], 0, int(last + 1), [&](const rle8RowRun& run) {
      for (; j < columns; ++j, d += step) {
        const int64_t c = ((a.k.x + j) * stepX) >> 16;
        if (c >= run.x + run.n) break;  // a later run's
        if (c < run.x) continue;        // a skip's
        const uint8_t index = run.repeat ? run.indices[0] : run.indices[c - run.x];
        std::memcpy(d, a.table + size_t(index) * B, B);
      }
    });
  }
}

}  // namespace rle8Walk

// --- The members ------------------------------------------------------------------------------

template <class Dst, class Op>
void rle8Run(RLE8_RUN_ARGS) {
  rle8Walk::run<Dst, Op, false, false, false>(row, end, start, count, nullptr, nullptr, d, table, extra);
}
template <class Dst, class Op>
void rle8RunKey(RLE8_RUN_ARGS) {
  rle8Walk::run<Dst, Op, false, true, false>(row, end, start, count, nullptr, nullptr, d, table, extra);
}
template <class Dst, class Op>
void rle8RunZ(RLE8_RUN_Z_ARGS) {
  rle8Walk::run<Dst, Op, false, false, true>(row, end, start, count, zSrc, zDst, d, table, extra);
}
template <class Dst, class Op>
void rle8RunKeyZ(RLE8_RUN_Z_ARGS) {
  rle8Walk::run<Dst, Op, false, true, true>(row, end, start, count, zSrc, zDst, d, table, extra);
}
template <class Dst, class Op>
void rle8RunMirror(RLE8_RUN_ARGS) {
  rle8Walk::run<Dst, Op, true, false, false>(row, end, start, count, nullptr, nullptr, d, table, extra);
}
template <class Dst, class Op>
void rle8RunMirrorKey(RLE8_RUN_ARGS) {
  rle8Walk::run<Dst, Op, true, true, false>(row, end, start, count, nullptr, nullptr, d, table, extra);
}

template <class Dst, class Op>
void imgRle8Draw(const rle8DrawArgs& a) {
  rle8Walk::rows<Dst, false, false, rle8Run<Dst, Op>>(a);
}
template <class Dst, class Op>
void imgRle8DrawKey(const rle8DrawArgs& a) {
  rle8Walk::rows<Dst, false, false, rle8RunKey<Dst, Op>>(a);
}
template <class Dst, class Op>
void imgRle8DrawZ(const rle8DrawArgs& a) {
  rle8Walk::rows<Dst, false, true, rle8RunZ<Dst, Op>>(a);
}
template <class Dst, class Op>
void imgRle8DrawKeyZ(const rle8DrawArgs& a) {
  rle8Walk::rows<Dst, false, true, rle8RunKeyZ<Dst, Op>>(a);
}
template <class Dst, class Op>
void imgRle8DrawMirror(const rle8DrawArgs& a) {
  rle8Walk::rows<Dst, true, false, rle8RunMirror<Dst, Op>>(a);
}
template <class Dst, class Op>
void imgRle8DrawMirrorKey(const rle8DrawArgs& a) {
  rle8Walk::rows<Dst, true, false, rle8RunMirrorKey<Dst, Op>>(a);
}

template <class Dst>
void imgRle8DrawScaled(const rle8DrawArgs& a) {
  rle8Walk::scaled<Dst, false>(a);
}
template <class Dst>
void imgRle8DrawScaledMirror(const rle8DrawArgs& a) {
  rle8Walk::scaled<Dst, true>(a);
}
