// The vector kernels of the alpha image's most drawn cells: straight
// storage of 8-bit colours (R8G8B8, X8R8G8B8) onto R5G6B5 (the game's
// screen) and X8R8G8B8, with each of the four operations, unscaled. They
// draw the rows the walk hands them (alpha_rows.h) and compute exactly what
// the cells' per-pel operations compute (alpha_vector_ops.h; the tests
// force each level and compare).
//
// A block is L pels, one 32-bit lane each (L = 8 on AVX2, 4 on SSE2). A row
// goes run by run:
//   - a run is drawn in whole blocks, its last pels in one more block (of
//     half the lanes where they fit) whose other lanes stay as they were;
//     where drawing a pel twice draws it once (copies) the last block ends
//     with the run instead. For Copy and Add, which draw translucent pels
//     as opaque ones, visible runs that follow each other are drawn as one;
//   - but a stretch of short runs is staged: their pels' kinds written out,
//     then drawn a block at a time as a per-pel compositor draws (see
//     "Stretches of short runs").
// A block reaches past its run or stretch into the rest of the row (those
// lanes are written back as they were); at the end of the row, or of the
// source's colours or alpha bytes, it works on copies of what is left.
//
// Included by the file of each level after its vector unit V, which adds
// to img/VectorUnits.h's:
//   words(p), storeWords(p, v)  L 16-bit words, one a lane, and back
//   widen8(p)                   L bytes, one a lane
//   colours3(p)                 L 3-byte colours, one a lane
//   kinds(p)                    L bytes sign-extended, one a lane
//   expand(v, bits)             lane i takes lane popcount(bits below i)
//   expandAlphas(p, bits, lanes)
//                               the alpha bytes from p spread to the lanes of
//                               bits (as expand), in both 16-bit halves of
//                               each, 0 outside the lanes (their mask)
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

// Lane i all ones where bit i of `bits` is set.
template <class V>
typename V::T laneMask(uint32_t bits) {
  alignas(32) static constexpr uint32_t each[8] = {1, 2, 4, 8, 16, 32, 64, 128};
  const auto bit = V::load(reinterpret_cast<const uint8_t*>(each));
  return V::cmpeq32(V::and_(V::set32(bits), bit), bit);
}

// --- Blocks ------------------------------------------------------------------------

// A block of L pels of one kind at d, its colours and alpha bytes as they
// lie; its `visible` lanes are written, the rest stay as they were.
template <class V, class From, class To, class Op, Kind kind>
[[gnu::always_inline]] inline void drawBlock(uint8_t* d, const uint8_t* colours, const uint8_t* alphas,
                                             uint32_t visible, int K) {
  static_assert(kind != mixedBlock);
  constexpr uint32_t all = (1u << kLanes<V>) - 1;
  Block<V> b;
  b.old = To::load(d);
  b.s = From::load(colours);
  b.a = b.visible = b.translucent = V::zero();
  if constexpr (Op::alphas && kind == translucentBlock) b.a = V::widen8(alphas);
  auto out = Op::template apply<V, To, kind>(b, K);
  if (visible != all) out = select<V>(laneMask<V>(visible), out, b.old);
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
                                  uint32_t visible, const alphaRows::Source& source) {
  constexpr int L = kLanes<V>;
  uint8_t pels[L * To::bytes] = {}, colours[L * From::bytes], alphas[L];
  const int pelCount = room < L ? room : L;
  std::memcpy(pels, to, size_t(pelCount) * To::bytes);
  drawBlock<V, From, To, Op, kind>(pels, within(colour, source.coloursEnd, colours),
                                   within(alpha, source.alphasEnd, alphas), visible, source.K);
  std::memcpy(to, pels, size_t(pelCount) * To::bytes);
}

// A block at `to` with `room` pels left in the row, on the source's arrays
// where everything it reads lies inside them.
template <class V, class From, class To, class Op, Kind kind>
[[gnu::always_inline]] inline void drawBlockIn(uint8_t* to, int room, const uint8_t* colour, const uint8_t* alpha,
                                               uint32_t visible, const alphaRows::Source& source) {
  constexpr int L = kLanes<V>;
  if (room >= L && source.coloursEnd - colour >= L * From::bytes &&
      (kind != translucentBlock || source.alphasEnd - alpha >= L))
    drawBlock<V, From, To, Op, kind>(to, colour, alpha, visible, source.K);
  else
    drawCopied<V, From, To, Op, kind>(to, room, colour, alpha, visible, source);
}

// --- Runs -------------------------------------------------------------------------

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
                                         all, source.K);
      drawBlock<V, From, To, Op, kind>(to + last * To::bytes, colour + last * From::bytes,
                                       alpha + (translucent ? last : 0), all, source.K);
      return;
    }
  }
  uint8_t* const end = to + (count - count % L) * To::bytes;
  for (; to != end; to += L * To::bytes, colour += L * From::bytes, alpha += translucent ? L : 0)
    drawBlock<V, From, To, Op, kind>(to, colour, alpha, all, source.K);
  if (const int rest = count % L) {
    const uint32_t lanes = (1u << rest) - 1;
    room -= count - rest;
    using H = typename V::Half;  // blocks of half as many pels, or void
    if constexpr (!std::is_void_v<H>) {
      if (rest <= kLanes<H>) {
        using FromH = typename From::template Of<H>;
        using ToH = typename To::template Of<H>;
        drawBlockIn<H, FromH, ToH, Op, kind>(to, room, colour, alpha, lanes, source);
        return;
      }
    }
    drawBlockIn<V, From, To, Op, kind>(to, room, colour, alpha, lanes, source);
  }
}

// --- Stretches of short runs ------------------------------------------------------
//
// Where a run and the two after it hold kDenseRuns pels or fewer together,
// they and the runs after them shorter than kShortRun are staged: each run
// writes its pels' kinds into a row of bytes, one a pel (bit 7 opaque, bit 6
// translucent), in one store whatever its kind (the kinds follow each other
// unforeseeably). The bytes are then drawn a block at a time, as a per-pel
// compositor draws: a block of transparent pels is skipped, the others take
// the block's colours and alpha bytes spread out to their visible and
// translucent pels (V::expand, V::expandAlphas) and weigh every lane at once
// (alpha_vector_ops.h).
//
// A row looks for such stretches only where the row before's runs were
// under kShortRow pels long on average (the first row always): among long
// runs the test costs more than it finds.

// Runs shorter than this go on a stage.
constexpr int kShortRun = 32;
// A run and the two after it holding this many pels or fewer start a stage.
constexpr int kDenseRuns = 12;
// Rows whose runs are shorter than this on average look for stretches in
// the row after.
constexpr int kShortRow = 8;
// Pels staged at most at once.
constexpr int kStaged = 256;

// The kind bytes of a stage: kStaged pels, the last run's overhang past them
// and the closing transparent pels a block loads.
struct Stage {
  alignas(16) uint8_t kinds[kStaged + kShortRun + 16];
};

// The kind bytes of translucent and opaque pels (transparent: 0).
constexpr uint8_t kTranslucentByte = 0x40, kOpaqueByte = 0x80;

// The kind bytes of N pels of each kind.
template <int N>
struct KindBytes {
  alignas(16) uint8_t of[4][N];
  constexpr KindBytes() : of{} {
    for (int i = 0; i < N; ++i) {
      of[imgAlphaTranslucent][i] = kTranslucentByte;
      of[imgAlphaOpaque][i] = kOpaqueByte;
    }
  }
};

// Where the eight runs from `run` on are one pel each, their kind bytes at
// `to` (16 bytes written) and true.
[[gnu::always_inline]] inline bool eightSingles(const imgAlphaRun* run, uint8_t* to) {
  using U = talvo::g::simd::V128;
  const U::T codes = U::load(reinterpret_cast<const uint8_t*>(run));
  if (U::movemask8(U::cmpeq16(U::and_(codes, U::set16(~3)), U::set16(1 << 2))) != 0xFFFF) return false;
  const U::T translucent = U::cmpeq16(codes, U::set16(1 << 2 | imgAlphaTranslucent));
  const U::T opaque = U::cmpeq16(codes, U::set16(1 << 2 | imgAlphaOpaque));
  const U::T kinds = U::or_(U::and_(translucent, U::set16(kTranslucentByte)), U::and_(opaque, U::set16(kOpaqueByte)));
  U::store(to, U::packus16(kinds, U::zero()));
  return true;
}

// Stages the runs from `at` on (whose first has fewer than kShortRun pels
// left for it) up to `limit` pels (1 to kStaged); stops before a run of
// kShortRun or more pels, at the limit or at the end of the runs. Returns
// the pels staged; `at` moves past them, its colour and alpha positions
// left where they were. Singles: runs of one pel are looked for eight at a
// time.
template <bool Singles>
[[gnu::always_inline]] inline int stageKinds(alphaRows::Row& at, Stage& stage, int limit) {
  // By kind: 0 transparent, 1 translucent, 2 opaque, 3 (never coded) transparent.
  static constexpr KindBytes<kShortRun> bytes;
  const imgAlphaRun* run = at.run;
  uint32_t code = *run;
  // The pels of the current run to stage, and those it keeps.
  uint32_t take = at.left < uint32_t(limit) ? at.left : uint32_t(limit), left = at.left - take;
  uint8_t* to = stage.kinds;
  uint8_t* const stop = stage.kinds + limit;
  for (;;) {
    std::memcpy(to, bytes.of[code & 3], kShortRun);
    to += take;
    if (to >= stop) {
      // The last run staged reaches past the limit: what lies past it stays.
      left += uint32_t(to - stop);
      to = stop;
      break;
    }
    if (++run == at.end) break;
    if constexpr (Singles) {
      while (at.end - run >= 8 && stop - to >= 8 && eightSingles(run, to)) {
        to += 8;
        run += 8;
      }
      if (run == at.end) break;
    }
    code = *run;
    if (code >= uint32_t(kShortRun) << 2) {
      left = code >> 2;
      break;
    }
    take = code >> 2;
  }
  std::memset(to, 0, 16);
  const int n = int(to - stage.kinds);
  at.run = run;
  at.left = left;
  return n;
}

// The L kind bytes from p on, the rest of the vector 0.
template <int L>
[[gnu::always_inline]] inline __m128i kindBytes(const uint8_t* p) {
  if constexpr (L == 8) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  } else {
    int32_t four;
    std::memcpy(&four, p, 4);
    return _mm_cvtsi32_si128(four);
  }
}

// The block of staged pels from i on into b (but its destination pels);
// false for a block of transparent pels. The colours and alpha bytes move
// past its visible and translucent pels.
template <class V, class From, class Op, bool Checked>
[[gnu::always_inline]] inline bool kindBlock(const Stage& stage, int i, Block<V>& b, const uint8_t*& colour,
                                             const uint8_t*& alpha, const alphaRows::Source& source) {
  using U = talvo::g::simd::V128;
  constexpr int L = kLanes<V>;
  const U::T kinds = kindBytes<L>(stage.kinds + i);
  const uint32_t opaque = U::movemask8(kinds), translucent = U::movemask8(U::slli16<1>(kinds));
  const uint32_t visible = opaque | translucent;
  if (!visible) return false;
  uint8_t colours[L * From::bytes], alphas[L];
  b.s = V::expand(From::load(Checked ? within(colour, source.coloursEnd, colours) : colour), visible);
  const auto lanes = V::kinds(stage.kinds + i);
  b.opaque = V::template srai32<31>(lanes);
  b.translucent = V::cmpeq32(lanes, V::set32(kTranslucentByte));
  b.visible = V::or_(b.opaque, b.translucent);
  if constexpr (Op::alphas)
    b.a = V::expandAlphas(Checked ? within(alpha, source.alphasEnd, alphas) : alpha, translucent, b.translucent);
  colour += __builtin_popcount(visible) * From::bytes;
  alpha += __builtin_popcount(translucent);
  return true;
}

// The n staged pels at `to`, `room` pels left in the row from `to` on, from
// the colours and alpha bytes at `at`, which move past them. Checked: a
// block may read past the source's arrays (it then works on copies).
template <class V, class From, class To, class Op, bool Checked>
[[gnu::always_inline]] inline void drawKinds(const Stage& stage, int n, uint8_t* to, int room, alphaRows::Row& at,
                                             const alphaRows::Source& source) {
  constexpr int L = kLanes<V>;
  const uint8_t* colour = at.colour;
  const uint8_t* alpha = at.alpha;
  // Blocks that end inside the row, then one on copies of the row's last pels.
  const int inside = n < room - L + 1 ? n : room - L + 1;
  int i = 0;
  for (; i < inside; i += L, to += L * To::bytes) {
    Block<V> b;
    if (!kindBlock<V, From, Op, Checked>(stage, i, b, colour, alpha, source)) continue;
    b.old = To::load(to);
    To::store(to, Op::template apply<V, To, mixedBlock>(b, source.K));
  }
  if (i < n) {
    Block<V> b;
    if (kindBlock<V, From, Op, Checked>(stage, i, b, colour, alpha, source)) {
      const int last = room - i;
      uint8_t pels[L * To::bytes] = {};
      std::memcpy(pels, to, size_t(last) * To::bytes);
      b.old = To::load(pels);
      To::store(pels, Op::template apply<V, To, mixedBlock>(b, source.K));
      std::memcpy(to, pels, size_t(last) * To::bytes);
    }
  }
  at.colour = colour;
  at.alpha = alpha;
}

// `count` pels of the run `at` stands on (as many as it has left at most)
// at `to`, `room` pels left in the row from `to` on; `at` moves past them.
template <class V, class From, class To, class Op>
[[gnu::always_inline]] inline void drawRun(alphaRows::Row& at, int count, uint8_t* to, int room,
                                           const alphaRows::Source& source) {
  at.left -= uint32_t(count);
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

// Whether the run `at` stands on, with count pels for the row, and the two
// after it start a stage (the first is then shorter than kShortRun): where
// short runs lie apart among long ones, drawing each as a span costs less.
[[gnu::always_inline]] inline bool denseAhead(const alphaRows::Row& at, int count) {
  static_assert(kDenseRuns < kShortRun);
  return at.end - at.run > 2 && count + (at.run[1] >> 2) + (at.run[2] >> 2) <= kDenseRuns;
}

bool visibleKind(imgAlphaRun run) {
  const int kind = run & 3;
  return kind == imgAlphaTranslucent || kind == imgAlphaOpaque;
}

// The w pels of a row from d on; Stages: whether stretches of short runs are
// looked for, Singles: whether runs of one pel are staged eight at a time.
template <class V, class From, class To, class Op, bool Stages, bool Singles>
[[gnu::always_inline]] inline void drawRowAs(alphaRows::Row& at, uint8_t* d, int w, const alphaRows::Source& source) {
  constexpr int L = kLanes<V>;
  Stage stage;
  for (int pos = 0; pos < w;) {
    if (at.left == 0) {
      if (++at.run == at.end) break;
      at.left = *at.run >> 2;
    }
    const int count = at.left < uint32_t(w - pos) ? int(at.left) : w - pos;
    uint8_t* const to = d + pos * To::bytes;
    const int room = w - pos;
    if (Stages && denseAhead(at, count)) {
      const int limit = room < kStaged ? room : kStaged;
      const int n = stageKinds<Singles>(at, stage, limit);
      const bool roomy = source.coloursEnd - at.colour >= (n + L) * From::bytes && source.alphasEnd - at.alpha >= n + L;
      if (roomy)
        drawKinds<V, From, To, Op, false>(stage, n, to, room, at, source);
      else
        drawKinds<V, From, To, Op, true>(stage, n, to, room, at, source);
      pos += n;
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
    drawRun<V, From, To, Op>(at, count, to, room, source);
    pos += count;
  }
}

template <class V, class From, class To, class Op>
void drawRow(alphaRows::Row& row, uint8_t* d, int w, const alphaRows::Source& source) {
  alphaRows::Row at = row;  // kept in registers: the stores through `to` may alias `row`
  switch (at.shortRuns) {
    case alphaRows::noShortRuns: drawRowAs<V, From, To, Op, false, false>(at, d, w, source); break;
    case alphaRows::shortRuns: drawRowAs<V, From, To, Op, true, false>(at, d, w, source); break;
    default: drawRowAs<V, From, To, Op, true, true>(at, d, w, source); break;
  }
  // Where its runs were under kShortRow pels long on average, the next row
  // looks for stretches, and under two pels for runs of one pel.
  const int64_t runs = at.run - row.run;
  at.shortRuns = runs * 2 > w ? alphaRows::singlePelRuns : runs * kShortRow > w ? alphaRows::shortRuns
                                                                                : alphaRows::noShortRuns;
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
