// The converted runs of the RLE8 images: making them, checking that they
// still hold, and the draws through them.
#include "engine/rle8/rle8_converted.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "base/mem.h"
#include "engine/draw/dispatch.h"
#include "engine/rle8/rle8_span_rows.h"
#include "engine/rle8/rle8_table.h"
#include "engine/rle8/rle8_walk.h"
#include "engine/rle8_row.h"
#include "img/VectorLevel.h"

namespace {

// The spans of one row of one Dst gathered run by run into their groups:
// counted, or (Write) written at cursors of each group (where its spans and
// pels go next). A repeat whose pels fill at least a cache line of the
// destination belongs to a fill group (3-byte pels never fill), the other
// run pels to a copy group; pels whose entry equals the key to a key
// group. A span goes on while the next pels of its group follow it at once
// and, for a fill, are of its entry.
template <class Dst, bool Write>
struct Gather {
  static constexpr int B = int(sizeof(Dst));
  static constexpr int kFillPels = B == 3 ? INT32_MAX : 64 / B;
  struct Group {
    size_t spans = 0, pels = 0;
    // Where the group's last span ends; a fill's entry.
    int end = -1;
    const uint8_t* entry = nullptr;
  };
  const uint8_t* table;
  const uint8_t* keyGroup;  // by index: rle8KeyCopies when its entry equals the key, else 0
  rle8Span* spans = nullptr;
  uint8_t* pels = nullptr;
  Group groups[rle8Groups] = {};

  void store(Group& g, const uint8_t* e, int n) {
    if constexpr (Write)
      for (int i = 0; i < n; ++i) std::memcpy(pels + (g.pels + size_t(i)) * B, e, B);
    g.pels += size_t(n);
  }
  // n pels of index i from x on, as a fill or copied.
  void add(int x, uint8_t i, int n, bool asFill) {
    const uint8_t* e = table + size_t(i) * B;
    Group& g = groups[keyGroup[i] + (asFill ? 1 : 0)];
    if (x != g.end || (asFill && std::memcmp(e, g.entry, B) != 0)) {
      if constexpr (Write) spans[g.spans] = {x, 0};
      ++g.spans;
      g.entry = e;
      if (asFill) store(g, e, 1);
    }
    if (!asFill) store(g, e, n);
    if constexpr (Write) spans[g.spans - 1].n += n;
    g.end = x + n;
  }
  void row(const imgRle8CTy& image, int r) {
    const uint8_t* p = image.rows[r];
    if (!p) return;
    rle8EachRun(p, p + image.rowSizes[r], 0, image.bounds.w, [this](const rle8RowRun& run) {
      if (run.n == 0) return;  // a code of no pels makes no span
      if (run.repeat)
        add(run.x, *run.indices, run.n, run.n >= kFillPels);
      else
        for (int i = 0; i < run.n; ++i) add(run.x + i, run.indices[i], 1, false);
    });
  }
};

// The runs of every row gathered into runs.spans and runs.pels: counted
// first (Write false), which fills the row tables, then (Write true)
// written where the tables say. Counting gives the totals.
template <class Dst, bool Write>
void runsOf(const imgRle8CTy& image, rle8Converted& runs, size_t* spanCount, size_t* pelCount) {
  constexpr int B = int(sizeof(Dst));
  uint8_t keyGroup[palCTy::kTableEntries];
  for (uint32_t i = 0; i < palCTy::kTableEntries; ++i)
    keyGroup[i] =
        runs.key >= 0 && drawFrame::KeyOf<Dst>::skip(runs.table + i * B, uint32_t(runs.key)) ? rle8KeyCopies : 0;
  size_t spans = 0, pels = 0;
  for (size_t r = 0; r < size_t(image.bounds.h); ++r) {
    Gather<Dst, Write> g{runs.table, keyGroup, runs.spans, runs.pels};
    uint32_t* const spansAt = runs.rowSpans + r * rle8Groups;
    uint32_t* const pelsAt = runs.rowPels + r * rle8Groups;
    if constexpr (Write) {
      for (int k = 0; k < rle8Groups; ++k) {
        g.groups[k].spans = spansAt[k];
        g.groups[k].pels = pelsAt[k] / B;
      }
    }
    g.row(image, int(r));
    if constexpr (!Write) {
      for (int k = 0; k < rle8Groups; ++k) {
        spansAt[k] = uint32_t(spans);
        pelsAt[k] = uint32_t(pels * B);
        spans += g.groups[k].spans;
        pels += g.groups[k].pels;
      }
    }
  }
  if constexpr (!Write) runs.rowSpans[size_t(image.bounds.h) * rle8Groups] = uint32_t(spans);
  *spanCount = spans;
  *pelCount = pels;
}

using RunsFn = void (*)(const imgRle8CTy&, rle8Converted&, size_t*, size_t*);
template <bool Write>
constexpr RunsFn runsByDst[rle8Dsts] = {runsOf<R8G8B8, Write>, runsOf<X8R8G8B8, Write>, runsOf<R5G6B5, Write>,
                                        runsOf<X1R5G5B5, Write>};
constexpr int pelBytesByDst[rle8Dsts] = {3, 4, 2, 2};

// Points the converted runs' tables, spans and pels into their block.
void pointIntoBlock(rle8Converted* runs, size_t h, size_t spans) {
  runs->rowSpans = reinterpret_cast<uint32_t*>(runs + 1);
  runs->rowPels = runs->rowSpans + h * rle8Groups + 1;
  runs->spans = reinterpret_cast<rle8Span*>(runs->rowPels + h * rle8Groups);
  runs->pels = reinterpret_cast<uint8_t*>(runs->spans + spans);
}

// New converted runs of the image, or null (no memory, or more pels than
// the offsets reach). The block holds the row tables while the runs are
// counted, then grows to take them.
rle8Converted* convert(const imgRle8CTy& image, int dst, const uint8_t* table, int64_t key) {
  const int B = pelBytesByDst[dst];
  const size_t h = size_t(image.bounds.h);
  const size_t tables = sizeof(rle8Converted) + (2 * h * rle8Groups + 1) * sizeof(uint32_t);
  auto* runs = static_cast<rle8Converted*>(memZoneAlloc(0, tables));
  if (!runs) return nullptr;
  runs->rows = image.rows;
  runs->bounds = image.bounds;
  runs->dst = dst;
  runs->key = key;
  std::memcpy(runs->table, table, palCTy::kTableEntries * B);
  pointIntoBlock(runs, h, 0);
  size_t spans = 0, pels = 0;
  runsByDst<false>[dst](image, *runs, &spans, &pels);
  void* grown = pels * B <= UINT32_MAX && spans <= UINT32_MAX
                    ? memZoneRealloc(0, runs, tables + spans * sizeof(rle8Span) + pels * B)
                    : nullptr;
  if (!grown) {
    memZoneFree(0, runs);
    return nullptr;
  }
  runs = static_cast<rle8Converted*>(grown);
  pointIntoBlock(runs, h, spans);
  runsByDst<true>[dst](image, *runs, &spans, &pels);
  return runs;
}

// Whether the runs were made from what the image and the draw have now.
bool madeFrom(const rle8Converted* runs, const imgRle8CTy& image, int dst, const uint8_t* table, int64_t key) {
  const rectCTy& b = image.bounds;
  return runs && runs->rows == image.rows && runs->bounds.x == b.x && runs->bounds.y == b.y && runs->bounds.w == b.w &&
         runs->bounds.h == b.h && runs->dst == dst && runs->key == key &&
         std::memcmp(runs->table, table, palCTy::kTableEntries * pelBytesByDst[dst]) == 0;
}

// The portable draws (rle8_spans.h).
template <class Dst>
void copyRuns(const rle8Converted& runs, const rle8DrawArgs& a, bool keyed, int) {
  constexpr int B = int(sizeof(Dst));
  rle8Spans::eachSpan<B, false>(
      runs, a, keyed, [](uint8_t* d, const uint8_t* s, int n) { drawFrame::copyRows(d, 0, s, 0, size_t(n) * B, 1); },
      [](uint8_t* d, const uint8_t* s, int n) {
        const Dst v = pelLoad<Dst>(s);
        for (int i = 0; i < n; ++i) pelStore(d + i * B, v);
      });
}

template <class Dst>
void alphaRuns(const rle8Converted& runs, const rle8DrawArgs& a, bool keyed, int weight) {
  constexpr int B = int(sizeof(Dst));
  const rle8Walk::Colour<Dst, imgOp::Alpha> colour(weight);
  auto blend = [&colour](auto step) {
    return [&colour](uint8_t* d, const uint8_t* s, int n) {
      for (int i = 0; i < n; ++i) colour(d + i * B, s + i * decltype(step)::value);
    };
  };
  rle8Spans::eachSpan<B, true>(runs, a, keyed, blend(std::integral_constant<int, B>()),
                               blend(std::integral_constant<int, 0>()));
}

}  // namespace

void rle8FreeConverted(rle8Converted* runs) { memZoneFree(0, runs); }

const rle8RunDraws rle8RunDrawsPortable = {
    {copyRuns<R8G8B8>, copyRuns<X8R8G8B8>, copyRuns<R5G6B5>, copyRuns<X1R5G5B5>},
    {alphaRuns<R8G8B8>, alphaRuns<X8R8G8B8>, alphaRuns<R5G6B5>, alphaRuns<X1R5G5B5>},
};

rle8RunsFn rle8RunDraw(int dst, bool alpha) {
  namespace level = talvo::g::vector_level;
  const level::Level l = level::current();
  const rle8RunDraws* draws = l == level::avx2 ? &rle8RunDrawsAvx2 : l == level::sse2 ? &rle8RunDrawsSse2 : nullptr;
  const rle8RunsFn fast = draws ? (alpha ? draws->alpha : draws->copy)[dst] : nullptr;
  return fast ? fast : (alpha ? rle8RunDrawsPortable.alpha : rle8RunDrawsPortable.copy)[dst];
}

bool rle8DrawConverted(imgRle8CTy& image, int format, int op, bool keyed, const rle8DrawArgs& a, int weight) {
  const int dst = rle8DstOf(format);
  if ((op != rle8OpCopy && op != rle8OpAlpha) || dst < 0 || !image.rows) return false;
  const int64_t key = image.keyFlag ? int64_t(imgPalettedKey(format, image.keyColor)) : -1;
  if (!madeFrom(image.converted, image, dst, a.table, key)) {
    rle8FreeConverted(image.converted);
    image.converted = convert(image, dst, a.table, key);
    if (!image.converted) return false;
  }
  rle8RunDraw(dst, op == rle8OpAlpha)(*image.converted, a, keyed, weight);
  return true;
}
