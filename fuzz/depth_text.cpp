// Depth text files on any bytes: imgCTy::LoadZText inside a TRY frame; a
// loaded image is unlocked, of the Z32 format and sized as the file says,
// and every byte of its pels is read. Files announcing more than 1M pels
// are left out. The seeds are made by fuzz/picture_seeds.py.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine_picture.h"
#include "input_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::pictureSetUp();
  if (size > 1 << 16) return 0;
  // The size as the loader reads it.
  const std::string text(reinterpret_cast<const char*>(data), size);
  int w = 0, h = 0;
  if (std::sscanf(text.c_str(), "%d\n%d\n", &w, &h) == 2 && int64_t(w) * h > fuzz::kMaxPicturePels) return 0;
  const char* path = fuzz::writeInput("input.ztxt", data, size);
  imgRowCTy image;
  const bool loaded = fuzz::attempt([&] { image.LoadZText(path); });
  if (loaded && (image.PelFormat() != pel_FMT_Z32 || image.width != w || image.height != h)) std::abort();
  fuzz::visitPels(image);
  return 0;
}
