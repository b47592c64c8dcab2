// The MP3 source: the file mapped, MPEG audio frames found and decoded one at
// a time as the channel asks, the undelivered tail of a frame carried over to
// the next request. The length is open: the source ends the stream itself.
#include <algorithm>
#include <cstring>

#include "base/err.h"
#include "base/mem.h"
#include "sound/snd_ds_private.h"
#include "sound/snd_source.h"

namespace {

const sndMp3Codec kDecoder = {mpaFindFrame, mpaInit, mpaDecodeInit, mpaGetInfo, mpaDecode, mpaRelease};
const sndMp3Codec* g_codec = &kDecoder;

constexpr int kSearchBytes = 4096;

const uint8_t* view(const sndMp3Source* s) { return s->image ? s->image->view : nullptr; }

// The bytes after a leading ID3v2 tag (its size is in its 10-byte header),
// 0 without one.
int32_t tagEnd(const uint8_t* p, int32_t size) {
  if (!p || size < 10 || std::memcmp(p, "ID3", 3) || p[3] == 0xFF || p[4] == 0xFF) return 0;
  if ((p[6] | p[7] | p[8] | p[9]) & 0x80) return 0;
  int64_t end = 10 + (int64_t(p[6]) << 21 | p[7] << 14 | p[8] << 7 | p[9]);
  if (p[5] & 0x10) end += 10;  // a footer
  return int32_t(end < size ? end : size);
}

// Bytes the decoder reads of the frame found at the input offset with
// `found` bytes: a layer III frame its own size (the set-up size in free
// format), layers I and II the set-up size; then the padding slot of the
// stream's layer (4 bytes in layer I).
int64_t frameExtent(const sndMp3Source* s, const mpaHeader& h, int found) {
  const mpaHeader& first = s->firstHeader;
  const int need = first.layer == 1 && h.layer == 1 && h.bitrateIndex ? found
                   : found > s->frameSize                             ? found
                                                                      : s->frameSize;
  const int slot = first.layer == 3 ? 4 : 1;
  return int64_t(need) + (h.padding ? slot : 0);
}

// Whether the layer III frame at p (len bytes of it readable) is an
// encoder's info frame, which carries the stream's frame count and no sound:
// "Xing" or "Info" where the side information begins, or "VBRI" 32 bytes
// after the header. LAME writes its tag behind the side information as if
// there were no CRC word, so with a CRC word both places are looked at.
bool isInfoFrame(const uint8_t* p, int64_t len, const mpaHeader& h) {
  if (!h.sync || h.layer != 1) return false;
  const bool mono = h.mode == 3;
  const int64_t side = 4 + (h.id == 1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
  auto tagAt = [&](int64_t at, const char* tag) { return at + 4 <= len && !std::memcmp(p + at, tag, 4); };
  auto xingAt = [&](int64_t at) { return tagAt(at, "Xing") || tagAt(at, "Info"); };
  return xingAt(side) || (h.protection == 0 && xingAt(side + 2)) || tagAt(4 + 32, "VBRI");
}

// Whether h is a free-format header of the stream that `first` begins.
bool isFreeFormatOf(const mpaHeader& first, const mpaHeader& h) {
  return h.sync && h.bitrateIndex == 0 && first.bitrateIndex == 0 && h.sync == first.sync && h.id == first.id &&
         h.layer == first.layer && h.rateIndex == first.rateIndex;
}

// One frame decoded from the input offset into out; its output bytes, 0
// when no frame was decoded.
int32_t decodeNext(sndMp3Source* s, uint8_t* out) {
  if (s->inputOffset >= s->fileSize) return 0;
  mpaHeader h{};
  int bitrate = 0, skip = 0;
  int found = s->codec->findFrame(view(s) + s->inputOffset, s->fileSize - s->inputOffset, &h, &bitrate, &skip);
  // No frame follows the last one of a free-format stream to measure it by:
  // it has the stream's size.
  if (found <= 0 && isFreeFormatOf(s->firstHeader, h)) found = s->frameSize;
  if (found <= 0) return 0;
  s->inputOffset += skip;
  if (s->inputOffset + frameExtent(s, h, found) > s->fileSize) return 0;
  const mpaInOut r = s->codec->decode(&s->decoder, view(s) + s->inputOffset, out);
  if (r.inBytes <= 0 || r.outBytes < 0 || r.outBytes > SND_MP3_FRAME_MAX) return 0;
  s->inputOffset += r.inBytes;
  return r.outBytes;
}

// The size without padding of the first frame within kSearchBytes from
// `at`, 0 when there is none; its header and the bytes before it.
int findFirst(const sndMp3Source* s, int32_t at, mpaHeader* h, int* skip) {
  const int avail = s->fileSize - at;
  int bitrate = 0;
  return avail > 0 ? s->codec->findFrame(view(s) + at, avail < kSearchBytes ? avail : kSearchBytes, h, &bitrate, skip)
                   : 0;
}

// When the first frame, at `first`, is an info frame, the stream begins
// behind it, on every start, and the frame after it sets the decoder up
// (with none, the stream is empty).
void skipInfoFrame(sndMp3Source* s, int64_t first) {
  const int64_t behind = std::min<int64_t>(first + frameExtent(s, s->firstHeader, s->frameSize), s->fileSize);
  if (!isInfoFrame(view(s) + first, behind - first, s->firstHeader)) return;
  s->dataStart = int32_t(behind);
  mpaHeader next{};
  int skip = 0;
  if (const int size = findFirst(s, s->dataStart, &next, &skip); size > 0) {
    s->firstHeader = next;
    s->frameSize = size;
  }
}

uint8_t silenceByte(const sndMp3Source* s) { return s->format.bitsPerSample == 8 ? 0x80 : 0; }

}  // namespace

void sndMp3SetCodec(const sndMp3Codec* codec) { g_codec = codec ? codec : &kDecoder; }

sndMp3Source* sndMp3Open(const char* name) {
  auto* s = static_cast<sndMp3Source*>(memCalloc(sizeof(sndMp3Source)));
  if (!s) return nullptr;
  s->codec = g_codec;
  s->owner = -2;  // the first fill takes the stream
  bool decoderInit = false;
  ERR_TRY(frame) {
    FILE* f = fileOpenStream(name, FILE_READ | FILE_BINARY);
    fseek(f, 0, SEEK_END);
    const long size = ftell(f);
    fileClose(f);
    s->image = mfOpenRead(nullptr, name);
    s->fileSize = int32_t(s->image->view ? (size < long(s->image->dataSize) ? size : s->image->dataSize) : 0);
    s->dataStart = tagEnd(view(s), s->fileSize);
    int skip = 0;
    s->frameSize = findFirst(s, s->dataStart, &s->firstHeader, &skip);
    if (s->frameSize > 0) skipInfoFrame(s, int64_t(s->dataStart) + skip);
    s->inputOffset = s->dataStart;
    s->codec->init(&s->decoder, 1);
    decoderInit = true;
    if (s->frameSize <= 0 ||
        !s->codec->decodeInit(&s->decoder, &s->firstHeader, s->frameSize, 0, 0, 0, 24000))
      errPrintf(ERR_LEVEL_ERROR, "MPEG decoder initialization failed !");
    mpaInfo info{};
    s->codec->getInfo(&s->decoder, &info);
    s->format.channels = info.channels;
    s->format.samplesPerSec = info.rate;
    s->format.bitsPerSample = info.bits;
    s->format.totalBytes = SND_DS_OPEN_TOTAL;
    s->format.requestedBytes = 32768;
    s->carryStart = s->carryLength = s->produced = 0;
  }
  ERR_CATCH(frame, code) {
    if (decoderInit) s->codec->release(&s->decoder);
    if (s->image) mfCloseSized(s->image, 0);
    memHooks.free(s);
    errReportCurrent();
    errEndCatch(errGetState(), &frame);
    return nullptr;
  }
  ERR_END_TRY
  return s;
}

int32_t sndMp3DecodeFrame(sndMp3Source* s, uint8_t* out, int32_t* position, int loop) {
  // A looping stream starts over once; when its first byte decodes nothing
  // either, it ends as a non-looping one does.
  for (int pass = 0; pass < 2; ++pass) {
    if (const int32_t bytes = decodeNext(s, out)) return bytes;
    s->produced = 0;
    s->inputOffset = s->dataStart;
    *position = 0;
    if (!loop) break;
  }
  *position = SND_DS_OPEN_TOTAL;
  s->carryStart = 0;
  return 0;
}

void sndMp3ReadChunk(sndMp3Source* s, uint8_t** dst, int32_t* position, int32_t* n, int loop) {
  if (*position < s->produced) {
    *n = 0;
    return;
  }
  const int32_t out = sndMp3DecodeFrame(s, s->frame, position, loop);
  s->produced += out;
  if (*position != s->produced - out) {  // the stream has ended
    *n = 0;
    return;
  }
  const int32_t take = *n < out ? *n : out;
  std::memcpy(*dst, s->frame, size_t(take));
  if (take < out) {
    s->carryStart = *position + take;
    s->carryLength = out - take;
    std::memcpy(s->carry, s->frame + take, size_t(out - take));
  }
  *dst += take;
  *position += take;
  *n -= take;
}

void sndMp3Read(sndMp3Source* s, uint8_t* dst, int32_t* position, int32_t n, int loop) {
  uint8_t* const start = dst;
  const int32_t count = n;
  if (s->carryLength > 0 && s->carryStart == *position) {
    const int32_t take = n < s->carryLength ? n : s->carryLength;
    std::memcpy(dst, s->carry, size_t(take));
    s->carryLength -= take;
    std::memmove(s->carry, s->carry + take, size_t(s->carryLength));
    s->carryStart += take;
    dst += take;
    *position += take;
    n -= take;
  } else {
    s->carryLength = 0;
  }
  while (n > 0) sndMp3ReadChunk(s, &dst, position, &n, loop);
  // What the stream did not deliver plays as silence.
  const int32_t written = int32_t(dst - start);
  if (written < count) std::memset(dst, silenceByte(s), size_t(count - written));
}

int32_t sndMp3Fill(void* source, uint8_t* dst, int32_t position, int32_t n, int32_t channel) {
  auto* s = static_cast<sndMp3Source*>(source);
  if (s->owner == -2 && position == 0) s->owner = channel;  // the start in progress takes the stream
  if (channel != s->owner || s->endPending) {
    // A channel whose stream a later start took over, or a stream whose end
    // fell into the buffer's first fill: silence, and the end.
    std::memset(dst, silenceByte(s), size_t(n));
    if (channel == s->owner) s->endPending = 0;
    return SND_DS_OPEN_TOTAL;
  }
  int32_t p = position;
  sndMp3Read(s, dst, &p, n, s->loop);
  if (p == SND_DS_OPEN_TOTAL && position == 0) {
    // The first fill of a buffer sets no end position: report the data as
    // going on, and the end with the next fill, which does.
    s->endPending = 1;
    return position + n;
  }
  return p;
}

int32_t sndMp3Play(sndMp3Source* s, uint8_t priority, uint32_t playFlags, int32_t volume, int32_t pan,
                   int32_t first, int32_t last) {
  const sndDsFillFn fill = [](void* user, void* dest, int32_t position, int32_t n, int32_t channel) {
    return sndMp3Fill(user, static_cast<uint8_t*>(dest), position, n, channel);
  };
  auto start = [&] {
    // The rewind; the decoder keeps its state. The start's first fill takes
    // the stream; until then every other channel's fill gets the end.
    s->produced = 0;
    s->inputOffset = s->dataStart;
    s->carryStart = s->carryLength = 0;
    s->endPending = 0;
    s->owner = -2;
    s->loop = (playFlags & SND_PLAY_LOOP) ? 1 : 0;
    s->channel = sndDsStart(&s->format, priority, playFlags, volume, pan, first, last, fill, s);
  };
  if (sndGlobals.directSound) {
    // Under the channel lock, so that no fill on the streaming thread runs
    // between the rewind and the start.
    sndDsHold hold(&sndGlobals.channelLock);
    start();
  } else {
    start();  // no device: no thread, and no lock to take
  }
  return s->channel;
}

void sndMp3Close(sndMp3Source* s) {
  if (!s) return;
  s->codec->release(&s->decoder);
  mfCloseSized(s->image, 0);
  memHooks.free(s);
}
