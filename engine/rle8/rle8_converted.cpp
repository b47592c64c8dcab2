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
#include "img/VectorLevel.h"

namespace {

// Every run among the first w pels of a row, in order, cut at w:
// run(x, indices, n, repeat), a repeat's n pels all of index indices[0], a
// literal's of indices[0] to indices[n - 1]. Stops where the row's bytes
// end, as the walk does.
template <class Run>
void eachRun(const uint8_t* p, const uint8_t* end, int w, Run run) {
  for (int x = 0; x < w && p < end;) {
    const int code = *p++;
    if (!(code & 0x80)) {
      x += code;
      continue;
    }
    const int n = code & 0x3F;
    const bool repeat = code & 0x40;
    if (repeat ? p == end : end - p < n) return;
    if (n > 0) run(x, p, std::min(n, w - x), repeat);
    p += repeat ? 1 : n;
    x += n;
  }
}

// Where the spans, the row tables and the pels go: nowhere while they are
// counted, then into a block of the counted sizes.
struct Places {
  uint32_t* rowSpans;
  uint32_t* rowPels;
  rle8Span* spans;
  uint8_t* pels;
};

// The spans of one Dst gathered run by run, one group of a row at a time
// (the row's runs are walked once for each group). A repeat whose pels
// fill at least a cache line of the destination belongs to a fill group
// (3-byte pels never fill); the other run pels to a copy group; pels equal
// to the key to a key group. A span goes on while the next pels of its
// group follow it at once and, for a fill, are of its entry.
template <class Dst>
struct Gather {
  static constexpr int B = int(sizeof(Dst));
  static constexpr int kFillPels = B == 3 ? INT32_MAX : 64 / B;
  const uint8_t* table;
  int64_t key;
  Places to;
  size_t spans = 0, pels = 0;
  int group = 0;
  // Where the group's last span in the row ends; a fill's entry.
  int end = -1;
  const uint8_t* entry = nullptr;

  void start(int r, int g) {
    if (to.rowSpans) to.rowSpans[size_t(r) * rle8Groups + g] = uint32_t(spans);
    if (to.rowPels && g == 0) to.rowPels[r] = uint32_t(pels * B);
    group = g;
    end = -1;
  }
  void store(const uint8_t* e) {
    if (to.pels) std::memcpy(to.pels + pels * B, e, B);
    ++pels;
  }
  // n pels of entry e from x on, as a fill or copied.
  void add(int x, const uint8_t* e, int n, bool asFill) {
    const bool m = key >= 0 && drawFrame::KeyOf<Dst>::skip(e, uint32_t(key));
    if ((m ? rle8KeyCopies : rle8Copies) + (asFill ? 1 : 0) != group) return;
    if (x != end || (asFill && std::memcmp(e, entry, B) != 0)) {
      if (to.spans) to.spans[spans] = {x, 0};
      ++spans;
      entry = e;
      if (asFill) store(e);
    }
    if (!asFill)
      for (int i = 0; i < n; ++i) store(e);
    if (to.spans) to.spans[spans - 1].n += n;
    end = x + n;
  }
  void run(int x, const uint8_t* indices, int n, bool repeat) {
    if (repeat) {
      add(x, table + size_t(*indices) * B, n, n >= kFillPels);
      return;
    }
    for (int i = 0; i < n; ++i) add(x + i, table + size_t(indices[i]) * B, 1, false);
  }
};

template <class Dst>
void runsOf(const imgRle8CTy& image, const uint8_t* table, int64_t key, const Places& to, size_t* spanCount,
            size_t* pelCount) {
  Gather<Dst> g{table, key, to};
  for (int r = 0; r < image.bounds.h; ++r)
    for (int group = 0; group < rle8Groups; ++group) {
      g.start(r, group);
      if (const uint8_t* row = image.rows[r])
        eachRun(row, row + image.rowSizes[r], image.bounds.w,
                [&g](int x, const uint8_t* indices, int n, bool repeat) { g.run(x, indices, n, repeat); });
    }
  if (to.rowSpans) to.rowSpans[size_t(image.bounds.h) * rle8Groups] = uint32_t(g.spans);
  *spanCount = g.spans;
  *pelCount = g.pels;
}

using RunsFn = void (*)(const imgRle8CTy&, const uint8_t*, int64_t, const Places&, size_t*, size_t*);
constexpr RunsFn runsByDst[rle8Dsts] = {runsOf<R8G8B8>, runsOf<X8R8G8B8>, runsOf<R5G6B5>, runsOf<X1R5G5B5>};
constexpr int pelBytesByDst[rle8Dsts] = {3, 4, 2, 2};

// New converted runs of the image, or null (no memory, or more pels than
// the offsets reach).
rle8Converted* make(const imgRle8CTy& image, int dst, const uint8_t* table, int64_t key) {
  const int B = pelBytesByDst[dst];
  size_t spans = 0, pels = 0;
  runsByDst[dst](image, table, key, Places{}, &spans, &pels);
  const size_t h = size_t(image.bounds.h);
  if (pels * B > UINT32_MAX || spans > UINT32_MAX) return nullptr;
  const size_t bytes =
      sizeof(rle8Converted) + (h * rle8Groups + 1 + h) * sizeof(uint32_t) + spans * sizeof(rle8Span) + pels * B;
  auto* runs = static_cast<rle8Converted*>(memZoneAlloc(0, bytes));
  if (!runs) return nullptr;
  runs->rows = image.rows;
  runs->bounds = image.bounds;
  runs->dst = dst;
  runs->key = key;
  std::memcpy(runs->table, table, palCTy::kTableEntries * B);
  runs->rowSpans = reinterpret_cast<uint32_t*>(runs + 1);
  runs->rowPels = runs->rowSpans + h * rle8Groups + 1;
  runs->spans = reinterpret_cast<rle8Span*>(runs->rowPels + h);
  runs->pels = reinterpret_cast<uint8_t*>(runs->spans + spans);
  runsByDst[dst](image, table, key, Places{runs->rowSpans, runs->rowPels, runs->spans, runs->pels}, &spans, &pels);
  return runs;
}

bool holds(const rle8Converted* runs, const imgRle8CTy& image, int dst, const uint8_t* table, int64_t key) {
  const rectCTy& b = image.bounds;
  return runs && runs->rows == image.rows && runs->bounds.x == b.x && runs->bounds.y == b.y && runs->bounds.w == b.w &&
         runs->bounds.h == b.h && runs->dst == dst && runs->key == key &&
         std::memcmp(runs->table, table, palCTy::kTableEntries * pelBytesByDst[dst]) == 0;
}

// The portable draws (rle8_spans.h).
template <class Dst>
void copyRuns(const rle8Converted& runs, const rle8DrawArgs& a, bool keyed, int) {
  constexpr int B = int(sizeof(Dst));
  rle8Spans::eachSpan<B>(
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
  rle8Spans::eachSpan<B>(runs, a, keyed, blend(std::integral_constant<int, B>()), blend(std::integral_constant<int, 0>()));
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
  if (!holds(image.converted, image, dst, a.table, key)) {
    rle8FreeConverted(image.converted);
    image.converted = make(image, dst, a.table, key);
    if (!image.converted) return false;
  }
  rle8RunDraw(dst, op == rle8OpAlpha)(*image.converted, a, keyed, weight);
  return true;
}
