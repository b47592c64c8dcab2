// The vector kernels of the alpha image's most drawn cells: straight
// storage of 8-bit colours (R8G8B8, X8R8G8B8) onto R5G6B5 (the game's
// screen) and X8R8G8B8, with each of the four operations, unscaled. They
// draw the rows the walk hands them (alpha_rows.h) and compute exactly what
// the cells' per-pel operations compute (alpha_vector_ops.h; the tests
// force each level and compare).
//
// A block is L pels, one 32-bit lane each (L = 8 on AVX2, 4 on SSE2). A row
// goes run by run:
//   - a run of kJoinBelow pels or more is drawn in whole blocks, its last
//     pels in one more block (of half the lanes where they fit) whose other
//     lanes stay as they were; where drawing a pel twice draws it once
//     (copies) the last block ends with the run instead. For Copy and Add,
//     which draw translucent pels as opaque ones, visible runs that follow
//     each other are drawn as one;
//   - a shorter run is joined with the short runs after it into a window of
//     up to 64 pels, the pel kinds kept as two bit masks (eight one-pel runs
//     at a time where they come so); the window is drawn a block from each
//     visible pel on, the block's colours and alpha bytes spread out to
//     their pels (V::expand) and each lane's result picked by its kind.
// A block reaches past its run or window into the rest of the row (those
// lanes are written back as they were); at the end of the row, or of the
// source's colours or alpha bytes, it works on copies of what is left.
//
// Included by the file of each level after its vector unit V, which adds
// to img/VectorUnits.h's:
//   words(p), storeWords(p, v)  L 16-bit words, one a lane, and back
//   widen8(p)                   L bytes, one a lane
//   colours3(p)                 L 3-byte colours, one a lane
//   expand(v, bits)             lane i takes lane popcount(bits below i)
//   Half                        the unit of L / 2 lanes, or void
// Everything here has internal linkage, as the vector units have.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/alpha/alpha_rows.h"
#include "engine/alpha/alpha_vector_ops.h"
#include "img/VectorUnits.h"

namespace alphaVector {
namespace {

template <class V>
constexpr int kLanes = V::bytes / 4;

// Runs shorter than this are joined into windows.
constexpr int kJoinBelow = 3;

// Lane i all ones where bit i of `bits` is set.
template <class V>
typename V::T laneMask(uint32_t bits) {
  alignas(32) static constexpr uint32_t each[8] = {1, 2, 4, 8, 16, 32, 64, 128};
  const auto bit = V::load(reinterpret_cast<const uint8_t*>(each));
  return V::cmpeq32(V::and_(V::set32(bits), bit), bit);
}

// --- Blocks ------------------------------------------------------------------------

// A block of L pels at d. A block of one kind takes its colours and alpha
// bytes as they lie and writes its `visible` lanes (the rest stay as they
// were); a block of mixed kinds spreads them out to its pels.
template <class V, class From, class To, class Op, Kind kind>
[[gnu::always_inline]] inline void drawBlock(uint8_t* d, const uint8_t* colours, const uint8_t* alphas,
                                             uint32_t visible, uint32_t translucent, int K) {
  constexpr uint32_t all = (1u << kLanes<V>) - 1;
  Block<V> b;
  b.old = To::load(d);
  b.s = From::load(colours);
  b.a = b.visible = b.translucent = V::zero();
  if constexpr (Op::alphas && kind == translucentBlock) b.a = V::widen8(alphas);
  if constexpr (kind == mixedBlock) {
    b.s = V::expand(b.s, visible);
    if (Op::alphas && translucent) b.a = V::expand(V::widen8(alphas), translucent);
    b.visible = laneMask<V>(visible);
    b.translucent = laneMask<V>(translucent);
  }
  auto out = Op::template apply<V, To, kind>(b, K);
  if (kind != mixedBlock && visible != all) out = select<V>(laneMask<V>(visible), out, b.old);
  To::store(d, out);
}

// p, or a zero-padded copy of the bytes from p to end when N bytes from p
// reach past it.
template <int N>
const uint8_t* within(const uint8_t* p, const uint8_t* end, uint8_t (&copy)[N]) {
  if (end - p >= N) return p;
  std::memset(copy, 0, N);
  if (end > p) std::memcpy(copy, p, size_t(end - p));
  return copy;
}

// A block with `room` pels left in the row (fewer than L), or whose colours
// or alpha bytes reach past the source's: drawn on copies.
template <class V, class From, class To, class Op, Kind kind>
[[gnu::noinline]] void drawCopied(uint8_t* to, int room, const uint8_t* colour, const uint8_t* alpha,
                                  uint32_t visible, uint32_t translucent, const alphaRows::Source& source) {
  constexpr int L = kLanes<V>;
  uint8_t pels[L * To::bytes] = {}, colours[L * From::bytes], alphas[L];
  const int pelCount = room < L ? room : L;
  std::memcpy(pels, to, size_t(pelCount) * To::bytes);
  drawBlock<V, From, To, Op, kind>(pels, within(colour, source.coloursEnd, colours),
                                   within(alpha, source.alphasEnd, alphas), visible, translucent, source.K);
  std::memcpy(to, pels, size_t(pelCount) * To::bytes);
}

// A block at `to` with `room` pels left in the row, on the source's arrays
// where everything it reads lies inside them.
template <class V, class From, class To, class Op, Kind kind>
[[gnu::always_inline]] inline void drawBlockIn(uint8_t* to, int room, const uint8_t* colour, const uint8_t* alpha,
                                               uint32_t visible, uint32_t translucent,
                                               const alphaRows::Source& source) {
  constexpr int L = kLanes<V>;
  if (room >= L && source.coloursEnd - colour >= L * From::bytes &&
      (translucent == 0 || source.alphasEnd - alpha >= L))
    drawBlock<V, From, To, Op, kind>(to, colour, alpha, visible, translucent, source.K);
  else
    drawCopied<V, From, To, Op, kind>(to, room, colour, alpha, visible, translucent, source);
}

// --- Runs and windows ---------------------------------------------------------------

// The count pels of a run of one kind at `to`, `room` pels left in the row
// from `to` on: whole blocks, then one block for the last pels.
template <class V, class From, class To, class Op, Kind kind>
[[gnu::always_inline]] inline void drawSpan(uint8_t* to, int count, int room, const uint8_t* colour,
                                            const uint8_t* alpha, const alphaRows::Source& source) {
  constexpr int L = kLanes<V>;
  constexpr uint32_t all = (1u << L) - 1;
  constexpr bool translucent = kind == translucentBlock;
  if constexpr (Op::template copies<kind>) {
    // Drawing a pel twice draws it once: the last block ends with the run.
    if (count >= L) {
      const int last = count - L;
      for (int i = 0; i < last; i += L)
        drawBlock<V, From, To, Op, kind>(to + i * To::bytes, colour + i * From::bytes, alpha + (translucent ? i : 0),
                                         all, translucent ? all : 0, source.K);
      drawBlock<V, From, To, Op, kind>(to + last * To::bytes, colour + last * From::bytes,
                                       alpha + (translucent ? last : 0), all, translucent ? all : 0, source.K);
      return;
    }
  }
  uint8_t* const end = to + (count - count % L) * To::bytes;
  for (; to != end; to += L * To::bytes, colour += L * From::bytes, alpha += translucent ? L : 0)
    drawBlock<V, From, To, Op, kind>(to, colour, alpha, all, translucent ? all : 0, source.K);
  if (const int rest = count % L) {
    const uint32_t lanes = (1u << rest) - 1;
    room -= count - rest;
    using H = typename V::Half;  // blocks of half as many pels, or void
    if constexpr (!std::is_void_v<H>) {
      if (rest <= kLanes<H>) {
        using FromH = typename From::template Of<H>;
        using ToH = typename To::template Of<H>;
        drawBlockIn<H, FromH, ToH, Op, kind>(to, room, colour, alpha, lanes, translucent ? lanes : 0, source);
        return;
      }
    }
    drawBlockIn<V, From, To, Op, kind>(to, room, colour, alpha, lanes, translucent ? lanes : 0, source);
  }
}

// The pels of a window of short runs: bit i of each mask for pel i.
struct Window {
  uint64_t visible = 0, translucent = 0;
  int n = 0;
};

// Eight run codes from `run` on: whether each is one pel long, and the
// pels they make visible and translucent (bit i for code i).
struct Singles {
  bool all;
  uint32_t visible, translucent;
};

Singles singles(const imgAlphaRun* run) {
  using U = talvo::g::simd::V128;
  const U::T codes = U::load(reinterpret_cast<const uint8_t*>(run));
  // 0xFFFF lanes to one byte each, then their top bits.
  auto bits = [](U::T lanes) { return U::movemask8(U::packus16(U::template srli16<8>(lanes), U::zero())); };
  const uint32_t one = bits(U::cmpeq16(U::and_(codes, U::set16(~3)), U::set16(1 << 2)));
  const uint32_t translucent = bits(U::cmpeq16(codes, U::set16(1 << 2 | imgAlphaTranslucent)));
  const uint32_t opaque = bits(U::cmpeq16(codes, U::set16(1 << 2 | imgAlphaOpaque)));
  return {one == 0xFF, translucent | opaque, translucent};
}

// The runs from `at` on, up to `limit` pels (1 to 64), joined into a
// window; it ends before a run with L or more pels left for it, at the
// limit or at the end of the runs. `at` moves past the window's pels.
template <int L, int ColourBytes>
[[gnu::always_inline]] inline Window joinRuns(alphaRows::Row& at, int limit) {
  // By kind: 0 transparent, 1 translucent, 2 opaque, 3 (never coded) transparent.
  static constexpr uint64_t visible[4] = {0, ~0ull, ~0ull, 0}, translucent[4] = {0, ~0ull, 0, 0};
  const imgAlphaRun* run = at.run;
  uint32_t left = at.left;
  Window w;
  for (;;) {
    if (left == 1 && limit - w.n >= 8 && at.end - run >= 8) {
      // Eight runs of one pel each at once.
      const Singles eight = singles(run);
      if (eight.all) {
        w.visible |= uint64_t(eight.visible) << w.n;
        w.translucent |= uint64_t(eight.translucent) << w.n;
        w.n += 8;
        run += 8;
        if (run == at.end) {
          left = 0;
          break;
        }
        left = *run >> 2;
        if (w.n == limit) break;
        continue;
      }
    }
    const int kind = *run & 3;
    const uint32_t take = left < uint32_t(limit - w.n) ? left : uint32_t(limit - w.n);
    if (w.n > 0 && take >= uint32_t(L)) break;
    const uint64_t bits = ((take >= 64 ? 0 : ~0ull << take) ^ ~0ull) << w.n;
    w.visible |= bits & visible[kind];
    w.translucent |= bits & translucent[kind];
    left -= take;
    w.n += int(take);
    if (w.n == limit) break;
    if (left == 0) {
      if (++run == at.end) break;
      left = *run >> 2;
    }
  }
  at.run = run;
  at.left = left;
  at.colour += __builtin_popcountll(w.visible) * ColourBytes;
  at.alpha += __builtin_popcountll(w.translucent);
  return w;
}

// A window's pels at `to`, `room` pels left in the row from `to` on.
template <class V, class From, class To, class Op>
void drawWindow(Window w, uint8_t* to, int room, const uint8_t* colour, const uint8_t* alpha,
                const alphaRows::Source& source) {
  constexpr int L = kLanes<V>;
  constexpr uint32_t all = (1u << L) - 1;
  while (w.visible) {
    const int skip = __builtin_ctzll(w.visible);  // transparent pels
    to += skip * To::bytes;
    room -= skip;
    w.visible >>= skip;
    w.translucent >>= skip;
    const uint32_t v = uint32_t(w.visible) & all, t = uint32_t(w.translucent) & all;
    drawBlockIn<V, From, To, Op, mixedBlock>(to, room, colour, alpha, v, t, source);
    colour += __builtin_popcount(v) * From::bytes;
    alpha += __builtin_popcount(t);
    to += L * To::bytes;
    room -= L;
    w.visible >>= L;
    w.translucent >>= L;
  }
}

bool visibleKind(imgAlphaRun run) {
  const int kind = run & 3;
  return kind == imgAlphaTranslucent || kind == imgAlphaOpaque;
}

template <class V, class From, class To, class Op>
void drawRow(alphaRows::Row& row, uint8_t* d, int w, const alphaRows::Source& source) {
  alphaRows::Row at = row;  // kept in registers: the stores through `to` may alias `row`
  for (int pos = 0; pos < w;) {
    if (at.left == 0) {
      if (++at.run == at.end) break;
      at.left = *at.run >> 2;
    }
    const int count = at.left < uint32_t(w - pos) ? int(at.left) : w - pos;
    uint8_t* const to = d + pos * To::bytes;
    const int room = w - pos;
    if (count < kJoinBelow) {
      const uint8_t* colour = at.colour;
      const uint8_t* alpha = at.alpha;
      const Window window = joinRuns<kLanes<V>, From::bytes>(at, room < 64 ? room : 64);
      drawWindow<V, From, To, Op>(window, to, room, colour, alpha, source);
      pos += window.n;
      if (at.run == at.end) break;
      continue;
    }
    if constexpr (Op::kindBlind) {
      if (visibleKind(*at.run)) {
        // The visible runs that follow each other, as one.
        const uint8_t* colour = at.colour;
        int stretch = 0;
        for (;;) {
          const int take = at.left < uint32_t(w - pos) ? int(at.left) : w - pos;
          if ((*at.run & 3) == imgAlphaTranslucent) at.alpha += take;
          at.left -= uint32_t(take);
          stretch += take;
          pos += take;
          if (pos == w || at.run + 1 == at.end || !visibleKind(at.run[1])) break;
          at.left = *++at.run >> 2;
        }
        drawSpan<V, From, To, Op, opaqueBlock>(to, stretch, room, colour, at.alpha, source);
        at.colour += stretch * From::bytes;
        continue;
      }
    }
    at.left -= uint32_t(count);
    pos += count;
    switch (*at.run & 3) {
      case imgAlphaOpaque:
        drawSpan<V, From, To, Op, opaqueBlock>(to, count, room, at.colour, at.alpha, source);
        at.colour += count * From::bytes;
        break;
      case imgAlphaTranslucent:
        drawSpan<V, From, To, Op, translucentBlock>(to, count, room, at.colour, at.alpha, source);
        at.colour += count * From::bytes;
        at.alpha += count;
        break;
      default:  // transparent
        break;
    }
  }
  row = at;
}

template <class V, template <class> class From, template <class> class To, class Op>
constexpr alphaRows::DrawFn kRows = drawRow<V, From<V>, To<V>, Op>;

// Which kernel serves which cell, in alphaRows::Table's order.
template <class V>
constexpr alphaRows::Table kTable = {
    // Copy: from R8G8B8, then X8R8G8B8 storage; onto R5G6B5, then X8R8G8B8
    {{kRows<V, FromR8, To565, CopyOrAdd<false>>, kRows<V, FromR8, ToX8, CopyOrAdd<false>>},
     {kRows<V, FromX8, To565, CopyOrAdd<false>>, kRows<V, FromX8, ToX8, CopyOrAdd<false>>}},
    // SrcAlpha
    {{kRows<V, FromR8, To565, SrcAlpha>, kRows<V, FromR8, ToX8, SrcAlpha>},
     {kRows<V, FromX8, To565, SrcAlpha>, kRows<V, FromX8, ToX8, SrcAlpha>}},
    // Add
    {{kRows<V, FromR8, To565, CopyOrAdd<true>>, kRows<V, FromR8, ToX8, CopyOrAdd<true>>},
     {kRows<V, FromX8, To565, CopyOrAdd<true>>, kRows<V, FromX8, ToX8, CopyOrAdd<true>>}},
    // SrcAlphaK
    {{kRows<V, FromR8, To565, SrcAlphaK>, kRows<V, FromR8, ToX8, SrcAlphaK>},
     {kRows<V, FromX8, To565, SrcAlphaK>, kRows<V, FromX8, ToX8, SrcAlphaK>}},
};

// expand()'s lane sources: for each mask of L bits, lane i takes the
// number of bits set below bit i.
template <int L>
struct ExpandTable {
  uint8_t lane[1 << L][L];
  constexpr ExpandTable() : lane{} {
    for (int bits = 0; bits < (1 << L); ++bits)
      for (int i = 0, n = 0; i < L; ++i) {
        lane[bits][i] = uint8_t(n);
        n += bits >> i & 1;
      }
  }
};
template <int L>
constexpr ExpandTable<L> kExpand;

}  // namespace
}  // namespace alphaVector
