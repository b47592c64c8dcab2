// The engine's JPEG loader on any bytes: imgCTy::LoadJpg from a file, inside
// a TRY frame; a loaded image is unlocked and every byte of its pels is
// read. Pictures of more than 1M pels are left out (their size is read
// with the decoder's own header reading first). The seeds are made by
// fuzz/picture_seeds.py.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine_picture.h"
#include "img/JpgDecoder.h"
#include "input_file.h"
#include "memory_input.h"

namespace {

// The picture's pels as the decoder's header gives them; 0 when it refuses
// the header.
int64_t pelsOf(const uint8_t* data, size_t size) {
  fuzz::MemoryInput in(data, size, 0);
  try {
    talvo::g::JpgDecoder decoder;
    decoder.open(in.stream);
    talvo::g::ImageDecoderI::Info info;
    decoder.get_info(info);
    return int64_t(info.width) * info.height;
  } catch (const talvo::Exception&) {
    return 0;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::pictureSetUp();
  if (pelsOf(data, size) > fuzz::kMaxPicturePels) return 0;
  const char* path = fuzz::writeInput("input.jpg", data, size);
  imgRowCTy image;
  if (fuzz::attempt([&] { image.LoadJpg(path); })) fuzz::visitPels(image);
  return 0;
}
