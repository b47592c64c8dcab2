// The MP3 source on any file: the first byte is the option byte, the rest
// the file. The source opens the file (an ID3v2 tag before the frames is
// passed over) and is started without a device (the start rewinds it and
// chooses looping); its fill function is then called as the channels call
// it, each fill at the position the previous one returned, so frames are
// found, decoded and their tails carried from fill to fill.
//
// Option byte: bits 0-1 the decoder's reduction, bits 2-3 its channel
// conversion, bit 4 8-bit output (the source asks for none of these; a codec
// of this target passes them on), bit 5 looping, bits 6-7 the size of the
// second stream's fills.
//
// A stream that does not loop is read twice, in fills of 16384 bytes and in
// fills of the other size: both must give the same bytes up to the shorter
// one's end (past its end a stream plays silence). Every fill returns a
// position past the one it was given, or the end (SND_DS_OPEN_TOTAL); the
// format is one a channel takes. A looping stream is filled a number of
// times that must neither fault nor hang. The seeds are made by
// fuzz/mp3_source_seeds.sh.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/err.h"
#include "err_frame.h"
#include "input_file.h"
#include "sound/snd_ds.h"
#include "sound/snd_source.h"

namespace {

int g_reduction = 0;
int g_options = 0;

int decodeInitWithOptions(mpaDecoder* dec, const mpaHeader* hdr, int frameSize, int, int reserved, int, int freqLimit) {
  return mpaDecodeInit(dec, hdr, frameSize, g_reduction, reserved, g_options, freqLimit);
}

const sndMp3Codec kCodec = {mpaFindFrame, mpaInit, decodeInitWithOptions, mpaGetInfo, mpaDecode, mpaRelease};

constexpr int32_t kFillSizes[4] = {1153, 4608, 6000, 32768};
// Output read from one stream at most: the fuzzer's time limit.
constexpr size_t kMaxOutput = size_t(1) << 21;
constexpr int kLoopFills = 24;

sndMp3Source* open(const char* path) {
  sndMp3Source* s = nullptr;
  fuzz::runInFrame([&] { s = sndMp3Open(path); });
  return s;
}

// One fill of n bytes at the position into an exact-size block; the
// position it returns.
int32_t fill(sndMp3Source* s, int32_t position, int32_t n, std::vector<uint8_t>* out) {
  std::vector<uint8_t> block(size_t(n), 0xA5);
  const int32_t next = sndMp3Fill(s, block.data(), position, n, 0);
  if (next != SND_DS_OPEN_TOTAL && (next < 0 || (!s->loop && next != position + n))) std::abort();
  if (out) out->insert(out->end(), block.begin(), block.end());
  return next;
}

// The bytes of a stream that does not loop, read in fills of n bytes.
std::vector<uint8_t> readStream(const char* path, int32_t n) {
  std::vector<uint8_t> out;
  sndMp3Source* s = open(path);
  if (!s) return out;
  if (s->format.channels < 1 || s->format.channels > 2 ||
      (s->format.bitsPerSample != 8 && s->format.bitsPerSample != 16) || s->format.samplesPerSec <= 0 ||
      s->format.totalBytes != SND_DS_OPEN_TOTAL)
    std::abort();
  sndMp3Play(s, 0, 0, 0, 0, 0, 0);  // no device: the rewind only
  for (int32_t position = 0; position != SND_DS_OPEN_TOTAL && out.size() < kMaxOutput;)
    position = fill(s, position, n, &out);
  sndMp3Close(s);
  return out;
}

void loopStream(const char* path, int32_t n) {
  sndMp3Source* s = open(path);
  if (!s) return;
  sndMp3Play(s, 0, SND_PLAY_LOOP, 0, 0, 0, 0);
  int32_t position = 0;
  for (int i = 0; i < kLoopFills && position != SND_DS_OPEN_TOTAL; ++i) position = fill(s, position, n, nullptr);
  sndMp3Close(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (errInit(), sndMp3SetCodec(&kCodec), true);
  (void)ready;
  if (size < 1 || size > (1 << 20)) return 0;
  g_reduction = data[0] & 3;
  g_options = ((data[0] >> 2) & 3) | ((data[0] & 0x10) ? MPA_OUT_8BIT : 0);
  const int32_t n = kFillSizes[data[0] >> 6];
  const char* path = fuzz::writeInput("input.mp3", data + 1, size - 1);
  if (data[0] & 0x20) {
    loopStream(path, n);
    return 0;
  }
  const std::vector<uint8_t> a = readStream(path, 16384);
  const std::vector<uint8_t> b = readStream(path, n);
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  if (common && std::memcmp(a.data(), b.data(), common)) std::abort();
  return 0;
}
