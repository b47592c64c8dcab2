// Opening image packs and finding their items.
#include "engine/res_pack.h"

#include <cstring>
#include <memory>

#include "base/err.h"
#include "base/mem.h"

namespace {

struct StreamClose {
  void operator()(FILE* f) const { fileCloseCore(f); }
};

struct PackClose {
  void operator()(resPackTy* pack) const { resPackClose(pack); }
};

}  // namespace

uint16_t* resPackPalTable(const uint8_t* palette, resPackRGBFn rgb) {
  auto* table = static_cast<uint16_t*>(memAlloc(256 * sizeof(uint16_t)));
  if (!table) return nullptr;
  for (int i = 0; i < 256; ++i) {
    const uint8_t* e = palette + 4 * i;
    const uint32_t colorRef = e[0] | static_cast<uint32_t>(e[1]) << 8 | static_cast<uint32_t>(e[2]) << 16;
    table[i] = rgb(colorRef);
  }
  return table;
}

resPackTy* resPackOpen(const char* fileName, resPackRGBFn rgb) {
  FILE* stream = fileOpenStream(fileName, FILE_READ | FILE_BINARY);
  if (stream == FILE_NO_STREAM) return nullptr;
  std::unique_ptr<FILE, StreamClose> streamGuard(stream);
  // Everything held is let go also when a raise below leaves for a TRY block.
  std::unique_ptr<resPackTy, PackClose> pack(static_cast<resPackTy*>(memCalloc(sizeof(resPackTy))));
  if (!pack) return nullptr;
  if (std::fread(pack->header, 1, resPackHeaderSize, stream) != resPackHeaderSize) {
    errRaiseArg(ERR_DATA, fileName);
    return nullptr;
  }
  pack->ownsTable = 1;
  pack->palTable = resPackPalTable(pack->header + resPackPaletteAt, rgb);
  if (!pack->palTable) return nullptr;
  streamGuard.reset();

  pack->mapping = mfOpenRead(nullptr, fileName);
  if (!pack->mapping) return nullptr;
  const uint32_t size = pack->mapping->dataSize;
  if (size < resPackHeaderSize) {  // cut since it was read
    errRaiseArg(ERR_DATA, fileName);
    return nullptr;
  }
  pack->offsets = pack->mapping->view + resPackHeaderSize;
  const uint32_t inFile = (size - resPackHeaderSize) / 4;
  if (inFile > 0) {
    const auto first = static_cast<uint32_t>(resPackInt(pack->offsets));
    const uint32_t stated = first >= resPackHeaderSize ? (first - resPackHeaderSize) / 4 : 0;
    pack->itemCount = stated < inFile ? stated : inFile;
  }
  return pack.release();
}

void resPackClose(resPackTy* pack) {
  if (!pack) return;
  if (pack->mapping) mfCloseSized(pack->mapping, 0);
  if (pack->ownsTable) memHooks.free(pack->palTable);
  memHooks.free(pack);
}

void resPackItem(const resPackTy* pack, int32_t index, resPackItemTy* copy) {
  if (!copy) return;
  std::memset(copy, 0, sizeof *copy);
  if (!pack || !pack->mapping || index < 0 || static_cast<uint32_t>(index) >= pack->itemCount) return;
  const uint8_t* file = pack->mapping->view;
  const uint64_t size = pack->mapping->dataSize;
  const auto at = static_cast<uint32_t>(resPackInt(pack->offsets + 4 * static_cast<uint32_t>(index)));
  if (uint64_t{at} + resPackItemHeaderSize > size) return;
  const uint8_t* item = file + at;
  const int32_t width = resPackInt(item + 16);
  const int32_t height = resPackInt(item + 20);
  if (width < 0 || height < 0) return;
  const uint64_t pixelsAt = uint64_t{at} + resPackItemHeaderSize + 4 * uint64_t(height);
  if (pixelsAt > size) return;
  const uint8_t* rows = item + resPackItemHeaderSize;
  for (int32_t r = 0; r < height; ++r)
    if (static_cast<uint32_t>(resPackInt(rows + 4 * r)) >= size - pixelsAt) return;
  std::memcpy(copy->header, item, resPackItemHeaderSize);
  copy->palTable = pack->palTable;
  copy->rowTable = rows;
  copy->pixels = file + pixelsAt;
  copy->end = file + size;
}
