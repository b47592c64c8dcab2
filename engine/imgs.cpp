// Image sets and their ".imgs" files.
#include "engine/imgs.h"

#include <cassert>
#include <memory>
#include <vector>

#include "base/err.h"
#include "base/mem.h"
#include "talvo/File.h"

namespace {

struct MemFree {
  void operator()(char* p) const { memHooks.free(p); }
};
using Name = std::unique_ptr<char, MemFree>;

struct ImageDelete {
  void operator()(imgCTy* image) const { delete image; }
};
using ImagePtr = std::unique_ptr<imgCTy, ImageDelete>;

int64_t remaining(const rwStream* s) { return int64_t(s->length) - s->position; }

// A new image of the named class; null for a name the rw layer does not know
// (it reports it) or a class that is not an image.
ImagePtr createImage(const char* className) {
  rwObjCTy* object = rwObjCreateByClassName(className);
  imgCTy* image = dynamic_cast<imgCTy*>(object);
  if (!image) delete object;
  return ImagePtr(image);
}

}  // namespace

imgsCTy::~imgsCTy() { Clear(); }

imgCTy* imgsCTy::Get(uint32_t index) {
  assert(index < count);
  return images[index];
}

void imgsCTy::Clear() {
  if (stream) {
    rwClose(stream);
    stream = nullptr;
  }
  for (uint32_t i = count; i-- > 0;) delete images[i];
  memHooks.free(images);
  memHooks.free(paletteIndices);
  images = nullptr;
  paletteIndices = nullptr;
  count = 0;
  for (uint32_t i = 0; i < paletteCount; ++i) delete palettes[i];
  memHooks.free(palettes);
  palettes = nullptr;
  paletteCount = 0;
}

uint32_t imgsCTy::Add(imgCTy* image) {
  auto* more = static_cast<imgCTy**>(memRealloc(images, (size_t(count) + 1) * sizeof(imgCTy*)));
  if (!more) return count;
  images = more;
  if (paletteCount) {
    auto* indices = static_cast<uint16_t*>(memRealloc(paletteIndices, (size_t(count) + 1) * sizeof(uint16_t)));
    if (!indices) return count;
    paletteIndices = indices;
    paletteIndices[count] = imgs_NO_PALETTE;
  }
  images[count] = image;
  return count++;
}

void imgsCTy::Keep(imgCTy* image, uint16_t paletteIndex) {
  images[count] = image;
  if (paletteIndices) paletteIndices[count] = paletteIndex;
  ++count;
}

void imgsCTy::LoadImgs(const char* fileName) {
  Clear();
  stream = rwRdOpen(fileName);
  // A file that cannot be opened is reported by the rw layer.
  const bool unread = stream->failed && !stream->data;
  if (unread && !talvo::file_exists(fileName)) {
    Clear();
    return;
  }
  if (unread || !LoadBody()) {
    Clear();
    errRaiseArg(ERR_DATA, fileName);
    return;
  }
  rwClose(stream);
  stream = nullptr;
}

// False when the data does not hold what its counts, offsets and indices
// say; the caller empties the set.
bool imgsCTy::LoadBody() {
  rwStream* s = stream;
  const uint32_t first = uint32_t(rwReadInt(s));
  uint32_t version = 0, n = first;
  if (first > 0xFFFF0000u) {
    version = first;
    n = uint32_t(rwReadInt(s));
  }
  if (s->failed) return false;
  if (version && version != imgs_VERSION_1) return true;  // no images

  // Palettes: a count of at least 4 bytes each.
  const uint32_t p = uint32_t(rwReadInt(s));
  if (s->failed || p > remaining(s) / 4) return false;
  if (p) {
    palettes = static_cast<palCTy**>(memCalloc(p * sizeof(palCTy*)));
    if (!palettes) return false;
    for (uint32_t i = 0; i < p; ++i) {
      palettes[i] = new palCTy;
      paletteCount = i + 1;
      palettes[i]->Read(s);
      if (s->failed) return false;
    }
  }

  // Palette indices and data offsets.
  if (int64_t(n) * (p ? 6 : 4) > remaining(s)) return false;
  std::vector<uint16_t> wanted(n, imgs_NO_PALETTE);
  if (p) {
    rwRead(s, wanted.data(), int32_t(n * 2));
    for (uint16_t w : wanted)
      if (w != imgs_NO_PALETTE && w >= p) return false;
  }
  std::vector<int32_t> offsets(n);
  rwRead(s, offsets.data(), int32_t(n * 4));
  if (s->failed) return false;
  for (int32_t o : offsets)
    if (o < 0 || o > s->length) return false;

  std::vector<Name> names;
  while (Name name{rwReadString(s)}) {
    if (names.size() == size_t(imgs_MAX_CLASS_NAMES)) return false;
    names.push_back(std::move(name));
  }
  if (s->failed) return false;
  auto classIndex = [&](int32_t* index) {
    *index = rwReadInt(s);
    return !s->failed && *index >= 0 && size_t(*index) < names.size();
  };

  if (n) {
    images = static_cast<imgCTy**>(memCalloc(size_t(n) * sizeof(imgCTy*)));
    if (!images) return false;
    if (p) {
      paletteIndices = static_cast<uint16_t*>(memCalloc(size_t(n) * sizeof(uint16_t)));
      if (!paletteIndices) return false;
    }
  }
  // The set's palette goes to an image that asks for one; an image still
  // waiting for a palette then is left out.
  auto keep = [&](ImagePtr image, uint16_t index) {
    if (index != imgs_NO_PALETTE) image->SharePalette(palettes[index]);
    if (image->desc.waitsShared) return false;
    Keep(image.release(), index);
    return true;
  };

  if (version == imgs_VERSION_1) {
    // Every header in turn, then the data at the offsets.
    std::vector<int32_t> dataAt;
    for (uint32_t i = 0; i < n; ++i) {
      int32_t index;
      if (!classIndex(&index)) return false;
      ImagePtr image = createImage(names[size_t(index)].get());
      // An unknown class's header has no known length: the headers after
      // it cannot be found.
      if (!image) break;
      image->ReadHeader(s);
      if (s->failed) return false;
      if (keep(std::move(image), wanted[i])) dataAt.push_back(offsets[i]);
    }
    for (uint32_t k = 0; k < count; ++k) {
      rwSetPos(s, dataAt[k]);
      images[k]->ReadData(s);
      if (s->failed) return false;
    }
    return true;
  }

  for (uint32_t i = 0; i < n; ++i) {
    rwSetPos(s, offsets[i]);
    int32_t index;
    if (!classIndex(&index)) return false;
    ImagePtr image = createImage(names[size_t(index)].get());
    if (!image) continue;
    image->Read(s);
    if (s->failed) return false;
    keep(std::move(image), wanted[i]);
  }
  return true;
}
