// Drawing image pack items into locked pels.
#include <algorithm>
#include <cstddef>

#include "engine/res_pack.h"
#include "engine/rle8_row.h"

namespace {

// The pels a row walk writes: palette indices as they are, or the display
// pels of the pack's palette table.
struct IndexPels {
  using Pel = uint8_t;
  Pel operator()(uint8_t index) const { return index; }
};
struct TablePels {
  using Pel = uint16_t;
  const uint16_t* table;
  Pel operator()(uint8_t index) const { return table[index]; }
};

template <class Pels>
void walkRows(typename Pels::Pel* base, int64_t pitch, const baseRect& clip, const resPackItemTy* item, int64_t x,
              int64_t y, Pels pels) {
  const int64_t width = resPackItemWidth(item);
  const int64_t height = resPackItemHeight(item);
  // The part of the item that lands inside the clip rectangle, in item pels.
  const int64_t left = std::clamp<int64_t>(clip.x - x, 0, width);
  const int64_t right = std::clamp<int64_t>(int64_t{clip.x} + clip.w - x, left, width);
  const int64_t top = std::clamp<int64_t>(clip.y - y, 0, height);
  const int64_t bottom = std::clamp<int64_t>(int64_t{clip.y} + clip.h - y, top, height);
  if (left == right) return;
  const uint8_t* end = item->end;
  const auto inData = static_cast<size_t>(end - item->pixels);
  for (int64_t r = top; r < bottom; ++r) {
    const auto at = static_cast<uint32_t>(resPackInt(item->rowTable + 4 * r));
    if (at >= inData) continue;
    typename Pels::Pel* dst = base + (y + r) * pitch + x + left;
    rle8EachRun(item->pixels + at, end, static_cast<int>(left), static_cast<int>(right - left),
                [dst, pels](const rle8RowRun& run) {
                  if (run.repeat) std::fill_n(dst + run.x, run.n, pels(*run.indices));
                  else std::transform(run.indices, run.indices + run.n, dst + run.x, pels);
                });
  }
}

}  // namespace

void resPackDrawRows(void* pels, int32_t pitch, int32_t bytesPerPel, const baseRect& clip, const resPackItemTy* item,
                     int32_t x, int32_t y) {
  if (!item->pixels || clip.w <= 0 || clip.h <= 0) return;
  const int64_t atX = int64_t{x} + resPackItemX(item);
  const int64_t atY = int64_t{y} + resPackItemY(item);
  if (bytesPerPel == 1)
    walkRows(static_cast<uint8_t*>(pels), pitch, clip, item, atX, atY, IndexPels{});
  else if (bytesPerPel == 2 && item->palTable)
    walkRows(static_cast<uint16_t*>(pels), pitch, clip, item, atX, atY, TablePels{item->palTable});
}
