// Image sets: an ordered set of images (an animation's frames, say) with the
// palettes they share, loaded from ".imgs" files or filled one by one.
//
// A ".imgs" file is an rw file whose data holds, in 4-byte little-endian
// words: [version 0xFFFF0001,] image count N, palette count P, P palettes
// (palCTy::Write's form), N 16-bit palette indices (only when P > 0; 0xFFFF
// for none), N data offsets, class names (rw strings ended by a length of
// -1, at most 50), then:
//   version 1: per image its class index and header; at each offset its data;
//   version 0 (the first word is N): at each offset a class index and the
//   whole image (header and data).
// The set owns its images and palettes; images borrow the set's palettes.
#pragma once

#include <cstdint>

#include "engine/img.h"
#include "engine/pal.h"
#include "engine/rw.h"

constexpr uint32_t imgs_VERSION_1 = 0xFFFF0001;
constexpr uint16_t imgs_NO_PALETTE = 0xFFFF;
constexpr int32_t imgs_MAX_CLASS_NAMES = 50;

class imgsCTy {
 public:
  imgsCTy() = default;
  imgsCTy(const imgsCTy&) = delete;
  imgsCTy& operator=(const imgsCTy&) = delete;
  // Clear.
  virtual ~imgsCTy();
  // The image at the index (callers pass indices below the count).
  virtual imgCTy* Get(uint32_t index);
  // Closes a stream a load left open, deletes the images (last first), then
  // the palettes they borrowed; the set is empty.
  virtual void Clear();

  // Takes the image; its index. With palettes, it gets no palette index.
  uint32_t Add(imgCTy* image);
  // Replaces the set by the file's images. A file whose counts, offsets,
  // strings or indices do not fit its data is reported (-5) and leaves the
  // set empty; an image of an unknown class, or one waiting for a palette
  // the set does not give, is left out. A version other than 1 loads nothing.
  void LoadImgs(const char* fileName);

  uint32_t count = 0;
  imgCTy** images = nullptr;           // count entries, owned
  uint16_t* paletteIndices = nullptr;  // count entries while there are palettes
  uint32_t paletteCount = 0;
  palCTy** palettes = nullptr;         // paletteCount entries, owned
  rwStream* stream = nullptr;          // open while loading

 private:
  // Stores a loaded image with its palette index.
  void Keep(imgCTy* image, uint16_t paletteIndex);
  bool LoadBody();
};
