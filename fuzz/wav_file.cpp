// WAV files from any bytes, read two ways inside TRY frames as the load runs
// them: the RIFF WAVE walk over an exact-size copy of the bytes (on success
// the PCM must lie inside them), and the WAV source opening the bytes as a
// file (sndWavOpen maps it). Both must accept or refuse alike and find the
// same format and PCM. An opened source is started without a device (the
// start computes its format) and its PCM is read through the memory fill
// in pieces of 4096 bytes and past its end. The seeds are made by
// fuzz/wav_file_seeds.py.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "base/err.h"
#include "err_frame.h"
#include "input_file.h"
#include "sound/snd_ds.h"
#include "sound/snd_source.h"
#include "talvo/Log.h"

namespace {

bool sameFormat(const sndWavInfo& a, const sndWavInfo& b) {
  return a.formatTag == b.formatTag && a.channels == b.channels && a.samplesPerSec == b.samplesPerSec &&
         a.avgBytesPerSec == b.avgBytesPerSec && a.blockAlign == b.blockAlign && a.bitsPerSample == b.bitsPerSample &&
         a.dataBytes == b.dataBytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (errInit(), true);
  (void)ready;
  // Refusals log; the log is not what is tested here.
  talvo::log_switch.disable = 1;
  if (size > (1u << 24)) return 0;
  const uint32_t len = uint32_t(size);
  // The image in a block of exactly its size, so a read past it is caught.
  std::unique_ptr<uint8_t[]> image(new uint8_t[len ? len : 1]);
  if (len) std::memcpy(image.get(), data, len);
  sndWavInfo info{};
  const sndWavInfo* parsed = nullptr;
  fuzz::runInFrame([&] { parsed = sndDsParseWav(&info, image.get(), len); });
  if (parsed) {
    if (parsed != &info) std::abort();
    if (info.data < image.get() || info.data > image.get() + len) std::abort();
    if (info.dataBytes > uint32_t(image.get() + len - info.data)) std::abort();
  }

  sndWavSource* source = nullptr;
  const char* path = fuzz::writeInput("input.wav", data, size);
  fuzz::runInFrame([&] { source = sndWavOpen(path); });
  if (!source) return 0;
  // The source refuses more than the walk (formats the channels cannot
  // play), never less.
  const sndWavInfo& own = source->info;
  const uint8_t* view = source->image->view;
  if (!parsed || !sameFormat(own, info) || own.data - view != info.data - image.get()) std::abort();
  sndWavPlay(source, 0, 0, 0, 0, 0, 0);  // no device: nothing starts
  std::vector<uint8_t> piece(4096);
  for (int64_t at = 0; at <= int64_t(own.dataBytes); at += int64_t(piece.size())) {
    if (sndDsMemoryFill(&source->info, piece.data(), int32_t(at), int32_t(piece.size()), 0) !=
        at + int64_t(piece.size()))
      std::abort();
    const int64_t have = std::min<int64_t>(int64_t(own.dataBytes) - at, int64_t(piece.size()));
    if (have > 0 && std::memcmp(piece.data(), info.data + at, size_t(have))) std::abort();
  }
  sndWavClose(source);
  return 0;
}
