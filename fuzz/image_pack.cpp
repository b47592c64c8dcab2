// Image packs from any file: the input is written to a file and opened; every
// item (up to 8) is drawn onto 64 x 64 pels of 1 and 2 bytes at positions
// inside and across every edge. The pack is read from an exact-size heap copy
// of the file, so a read past its end is seen; the draws must leave the rows'
// padding and the guard bytes around the pels as they were, and the pack
// must close without leaving its file open.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/err.h"
#include "base/mf.h"
#include "engine/res_pack.h"
#include "input_file.h"
#include "tests/engine/pack_heap.h"

namespace {

constexpr int kSide = 64;
constexpr int kPad = 3;
constexpr int kGuard = 32;
constexpr uint8_t kFill = 0xEE;
constexpr uint32_t kMaxItems = 8;

// Where an item of that length starts along an edge of kSide pels: across
// the near edge, at it, inside, at the far edge and across it.
std::vector<int32_t> spots(int32_t length) {
  const int64_t l = std::max<int32_t>(length, 1);
  std::vector<int32_t> out;
  for (int64_t s : {-l + 1, -l / 2, int64_t{0}, int64_t{kSide / 3}, kSide - l / 2, int64_t{kSide - 1}})
    out.push_back(static_cast<int32_t>(std::clamp<int64_t>(s, INT32_MIN / 2, INT32_MAX / 2)));
  return out;
}

void drawEverywhere(const resPackItemTy& item, int bpp) {
  const size_t rowBytes = size_t(kSide + kPad) * size_t(bpp);
  std::vector<uint8_t> bytes(2 * kGuard + rowBytes * kSide, kFill);
  const baseRect clip{0, 0, kSide, kSide};
  for (int32_t y : spots(resPackItemHeight(&item))) {
    for (int32_t x : spots(resPackItemWidth(&item))) {
      // The position that puts the item's first pel at (x, y); the item's
      // offsets may be anything, so it is found in 64 bits and, where no
      // 32-bit position reaches, the nearest one is taken.
      const auto position = [](int32_t at, int32_t offset) {
        return static_cast<int32_t>(std::clamp<int64_t>(int64_t{at} - offset, INT32_MIN, INT32_MAX));
      };
      resPackDrawRows(bytes.data() + kGuard, kSide + kPad, bpp, clip, &item, position(x, resPackItemX(&item)),
                      position(y, resPackItemY(&item)));
    }
  }
  for (size_t i = 0; i < kGuard; ++i)
    if (bytes[i] != kFill || bytes[bytes.size() - 1 - i] != kFill) std::abort();
  for (int row = 0; row < kSide; ++row)
    for (size_t i = size_t(kSide) * size_t(bpp); i < rowBytes; ++i)
      if (bytes[kGuard + size_t(row) * rowBytes + i] != kFill) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (errInit(), true);
  (void)ready;
  const char* path = fuzz::writeInput("input.pak", data, size);
  ERR_TRY(frame) {
    if (resPackTy* pack = resPackOpen(path, [](uint32_t colorRef) { return uint16_t(colorRef); })) {
      {
        HeapMapping heap(pack);
        const uint32_t count = std::min(pack->itemCount + 1, kMaxItems);
        for (uint32_t i = 0; i < count; ++i) {
          resPackItemTy item;
          resPackItem(pack, static_cast<int32_t>(i), &item);
          drawEverywhere(item, 1);
          drawEverywhere(item, 2);
        }
      }
      resPackClose(pack);
    }
  }
  ERR_CATCH(frame, code) {
    if (code != ERR_DATA) std::abort();
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  if (mfOpenFiles()) std::abort();
  return 0;
}
