// The RIFF WAVE walk of the WAV source over any bytes, inside a TRY frame as
// the load runs it. On success the PCM must lie inside the input. The seeds
// are made by fuzz/wav_file_seeds.py.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/err.h"
#include "sound/snd_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (errInit(), true);
  (void)ready;
  const uint32_t len = size > (1u << 24) ? 1u << 24 : uint32_t(size);
  // The image in a block of exactly its size, so a read past it is caught.
  std::unique_ptr<uint8_t[]> image(new uint8_t[len ? len : 1]);
  if (len) std::memcpy(image.get(), data, len);
  sndWavInfo info{};
  const sndWavInfo* parsed = nullptr;
  ERR_TRY(frame) { parsed = sndDsParseWav(&info, image.get(), len); }
  ERR_CATCH(frame, code) {
    if (code != ERR_DATA) std::abort();
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  if (parsed) {
    if (parsed != &info) std::abort();
    if (info.data < image.get() || info.data > image.get() + len) std::abort();
    if (info.dataBytes > uint32_t(image.get() + len - info.data)) std::abort();
  }
  return 0;
}
