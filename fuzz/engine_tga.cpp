// The engine's TGA loaders on any bytes: imgCTy::LoadTga from a file and
// imgCTy::LoadTgaStream from a memory stream whose failures throw (as the
// load from a file reads) must load alike: both refuse, or both give the
// same size, format, palette and pels. LoadTgaStream also runs on a stream
// whose failures stay in its state bits, and imgAlpha::LoadTga codes the
// same file as an alpha image, which is then decoded by a lock. Pictures of
// more than 1M pels are left out before anything is decoded. The seeds are
// made by fuzz/picture_seeds.py.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/alpha/img_alpha.h"
#include "engine_picture.h"
#include "input_file.h"
#include "memory_input.h"

namespace {

// Loads from a memory stream over a copy of the bytes.
bool loadStream(imgRowCTy& image, const uint8_t* data, size_t size, uint32_t mask) {
  fuzz::MemoryInput in(data, size, mask);
  return fuzz::attempt([&] { image.LoadTgaStream(&in.stream); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::pictureSetUp();
  // The TGA decoder decodes the whole picture when it opens.
  if (size >= 16 && int64_t(data[12] | data[13] << 8) * (data[14] | data[15] << 8) > fuzz::kMaxPicturePels) return 0;
  const char* path = fuzz::writeInput("input.tga", data, size);

  imgRowCTy fromFile, fromStream, lenient;
  const bool loaded = fuzz::attempt([&] { fromFile.LoadTga(path); });
  const bool streamed = loadStream(fromStream, data, size, talvo::io::Stream::badbit | talvo::io::Stream::failbit);
  if (loaded != streamed || !fuzz::samePicture(fromFile, fromStream)) std::abort();
  fuzz::visitPels(fromFile);
  if (loadStream(lenient, data, size, 0)) fuzz::visitPels(lenient);

  imgAlpha alpha;
  if (fuzz::attempt([&] { alpha.LoadTga(path); }) && alpha.width > 0 && alpha.height > 0) {
    alpha.Lock(nullptr, img_LOCK_READ);
    if (!alpha.data) std::abort();
    volatile uint8_t sink = 0;
    for (int64_t i = 0; i < int64_t(alpha.width) * alpha.height * 4; ++i) sink = sink + alpha.data[i];
    alpha.Unlock();
  }
  return 0;
}
