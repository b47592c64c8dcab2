// The WAV source: the whole file mapped, a RIFF walk to its PCM (a format
// other than PCM is refused), and a 50-byte silent WAV made for a file that
// does not exist.
#include <cstdio>
#include <cstring>
#include <string>

#include "base/err.h"
#include "base/mem.h"
#include "platform/win_file.h"
#include "sound/snd_ds.h"
#include "sound/snd_source.h"
#include "talvo/Log.h"

namespace {

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// The body of the "fmt " chunk the walk read: its first byte and the bytes
// of it the image holds (null and 0 when none was read).
struct FmtBody {
  const uint8_t* bytes = nullptr;
  uint32_t size = 0;
};

// The RIFF WAVE walk; false when the image holds no usable "data" chunk.
bool parseInto(sndWavInfo* info, const uint8_t* image, uint32_t size, FmtBody* fmt) {
  if (!image || size < 12 || std::memcmp(image, "RIFF", 4) || std::memcmp(image + 8, "WAVE", 4)) return false;
  uint64_t end = 8 + uint64_t(le32(image + 4));
  if (end > size) end = size;
  uint64_t pos = 12;
  while (pos < end) {
    if (pos + 8 > end) return false;  // a chunk header that does not fit
    const uint8_t* chunk = image + pos;
    const uint32_t chunkSize = le32(chunk + 4);
    const uint64_t body = pos + 8;
    if (!std::memcmp(chunk, "data", 4)) {
      info->data = image + body;
      info->dataBytes = uint32_t(chunkSize < size - body ? chunkSize : size - body);
      return true;
    }
    if (!std::memcmp(chunk, "fmt ", 4)) {
      if (chunkSize < 16 || body + 16 > size) return false;
      const uint8_t* f = image + body;
      info->formatTag = le16(f);
      info->channels = le16(f + 2);
      info->samplesPerSec = le32(f + 4);
      info->avgBytesPerSec = le32(f + 8);
      info->blockAlign = le16(f + 12);
      info->bitsPerSample = le16(f + 14);
      *fmt = {f, uint32_t(chunkSize < size - body ? chunkSize : size - body)};
    }
    pos = body + chunkSize + (chunkSize & 1);
  }
  return false;
}

const uint8_t* viewOf(const mfFile* f) { return f ? f->view : nullptr; }
uint32_t sizeOf(const mfFile* f) { return f && f->view ? f->dataSize : 0; }

sndWavInfo* parseWav(sndWavInfo* info, const uint8_t* image, uint32_t size, FmtBody* fmt) {
  const bool allocated = !info;
  if (allocated) {
    info = static_cast<sndWavInfo*>(memCalloc(sizeof(sndWavInfo)));
    if (!info) return nullptr;
  } else {
    *info = sndWavInfo{};
  }
  if (parseInto(info, image, size, fmt)) return info;
  if (allocated) memHooks.free(info);
  errRaise(ERR_DATA);
  return nullptr;
}

constexpr uint16_t kPcm = 1;
constexpr uint16_t kExtensible = 0xFFFE;
// An extensible format's sub-format is a GUID whose first two bytes are a
// format tag; the other 14 are the same for every tag.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::string hex4(uint32_t v) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", v & 0xFFFF);
  return text;
}

// Refuses, with the reason in the log, a format the channels cannot play as
// the PCM the info describes: a format tag other than PCM, or
// WAVE_FORMAT_EXTENSIBLE of another sub-format or of PCM in bits or
// channels the channels do not take. A WAV whose "fmt " chunk was not read
// (it follows the data) is left to the channels, which refuse to start it.
void refuseNonPcm(const char* name, const FmtBody& fmt, const sndWavInfo& info) {
  if (!fmt.bytes || info.formatTag == kPcm) return;
  std::string why;
  if (info.formatTag != kExtensible) {
    why = "is not PCM";
  } else if (fmt.size < 40) {
    why = "has no sub-format";
  } else if (le16(fmt.bytes + 24) != kPcm || std::memcmp(fmt.bytes + 26, kSubFormatTail, 14)) {
    why = "with sub-format " + hex4(le16(fmt.bytes + 24)) + " is not PCM";
  } else if ((info.bitsPerSample != 8 && info.bitsPerSample != 16) || (info.channels != 1 && info.channels != 2)) {
    why = "holds PCM of " + std::to_string(info.bitsPerSample) + " bits in " + std::to_string(info.channels) +
          " channels, which cannot be played";
  } else {
    return;
  }
  talvo::warning_log << "'" << name << "': WAV format tag " << hex4(info.formatTag) << " " << why
                     << "; the sound is not loaded" << std::endl;
  errRaise(ERR_FORMAT);
}

}  // namespace

sndWavInfo* sndDsParseWav(sndWavInfo* info, const uint8_t* image, uint32_t size) {
  FmtBody fmt;
  return parseWav(info, image, size, &fmt);
}

mfFile* sndWavMakeSilent(const char* name) {
  mfFile* f = mfCreate(nullptr, name, 50, 50);
  if (!f) return nullptr;
  auto put32 = [f](int32_t at, uint32_t v) {
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    mfWrite(f, at, b, 4);
  };
  auto put16 = [f](int32_t at, uint16_t v) {
    const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    mfWrite(f, at, b, 2);
  };
  mfWrite(f, 0, "RIFF", 4);
  mfWrite(f, 8, "WAVE", 4);
  mfWrite(f, 12, "fmt ", 4);
  put32(16, 18);
  put16(20, 1);      // PCM
  put16(22, 1);      // mono
  put32(24, 22050);  // samples per second
  put32(28, 44100);  // average bytes per second
  put16(32, 2);      // block align
  put16(34, 16);     // bits per sample
  put16(36, 18);     // extra size, as the files made so far hold it
  mfWrite(f, 38, "data", 4);
  put32(42, 4);
  put32(46, 0);
  put32(4, 42);  // the RIFF size last
  return f;
}

sndWavSource* sndWavOpen(const char* name) {
  auto* s = static_cast<sndWavSource*>(memCalloc(sizeof(sndWavSource)));
  if (!s) return nullptr;
  // Only a file that does not exist is replaced by the silent one: an
  // existing file that cannot be opened, mapped or parsed, or whose format
  // is not PCM, fails the load and stays as it is. A raise (also from making
  // the silent file) frees what was taken and goes on to the caller's frame.
  const bool exists = GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
  ERR_TRY(frame) {
    s->image = exists ? mfOpenRead(nullptr, name) : sndWavMakeSilent(name);
    if (s->image) {
      FmtBody fmt;
      parseWav(&s->info, viewOf(s->image), sizeOf(s->image), &fmt);
      refuseNonPcm(name, fmt, s->info);
    }
  }
  ERR_CATCH(frame, code) {
    if (s->image) mfCloseSized(s->image, 0);
    memHooks.free(s);
    errReportCurrent();
    errEndCatch(errGetState(), &frame);
    return nullptr;
  }
  ERR_END_TRY
  if (!s->image) {
    memHooks.free(s);
    return nullptr;
  }
  s->flags = SND_WAV_OWNS_IMAGE;
  s->channel = -1;
  return s;
}

int32_t sndWavPlay(sndWavSource* s, uint8_t priority, uint32_t playFlags, int32_t volume, int32_t pan,
                   int32_t first, int32_t last) {
  s->channel = sndDsPlayMemory(&s->info, priority, playFlags, volume, pan, first, last);
  return s->channel;
}

void sndWavClose(sndWavSource* s) {
  if (!s) return;
  if (s->flags & SND_WAV_OWNS_IMAGE) mfCloseSized(s->image, 0);
  memHooks.free(s);
}
