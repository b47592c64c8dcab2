// The MIDI file reader and stream-event converter.
#include "sound/mstr_file.h"

#include <cstdio>
#include <cstring>

#include "platform/win_kernel.h"

uint8_t mstrSeekTempo[3];
uint8_t mstrSeekProgram[16];
uint8_t mstrSeekControl[16 * 120];

namespace {

uint32_t be32(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// Two data bytes for 0x8n, 0x9n, 0xAn, 0xBn and 0xEn; one for 0xCn and 0xDn.
bool twoDataBytes(uint8_t status) { return (status & 0xE0) != 0xC0; }

void rewind(mstrFile* file) {
  file->clock = 0;
  file->flags &= ~MSTR_F_END;
  file->carry = 0;
  mstrTrack* tracks = mstrTracks(file);
  for (uint32_t i = 0; i < file->trackCount; ++i) {
    mstrTrack& t = tracks[i];
    t.bytesLeft = t.length;
    t.readPtr = file->image + t.dataOffset;
    t.time = 0;
    t.runningStatus = 0;
    t.flags = 0;
  }
}

uint32_t freeBytes(const MIDIHDR* buffer) { return buffer->dwBufferLength - buffer->dwBytesRecorded; }

void putWords(MIDIHDR* buffer, uint32_t delta, uint32_t event) {
  const uint32_t words[3] = {delta, 0, event};
  std::memcpy(buffer->lpData + buffer->dwBytesRecorded, words, sizeof words);
  buffer->dwBytesRecorded += sizeof words;
}

uint32_t tempoOf(const uint8_t* bytes) { return static_cast<uint32_t>(bytes[0]) << 16 | bytes[1] << 8 | bytes[2]; }

}  // namespace

void* mstrGlobalAlloc(size_t bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes);
  void* address = block ? GlobalLock(block) : nullptr;
  if (block && !address) GlobalFree(block);
  return address;
}

void mstrGlobalFree(void* address) {
  if (!address) return;
  HGLOBAL block = GlobalHandle(address);
  GlobalUnlock(block);
  GlobalFree(block);
}

uint32_t mstrReadVarLen(const uint8_t* bytes, uint32_t count, uint32_t* value) {
  uint32_t v = 0;
  for (uint32_t i = 0; i < count; ++i) {
    v = v << 7 | (bytes[i] & 0x7F);
    if (bytes[i] < 0x80) {
      *value = v;
      return i + 1;
    }
  }
  *value = v;
  return 0;
}

int mstrNextEvent(mstrFile* file, mstrEvent* event, uint32_t tickLimit) {
  if (file->flags & MSTR_F_END) return MSTR_END;
  mstrTrack* tracks = mstrTracks(file);
  mstrTrack* chosen = nullptr;
  uint32_t best = 0, bestDelta = 0, bestDeltaBytes = 0;
  for (uint32_t i = 0; i < file->trackCount; ++i) {
    mstrTrack& t = tracks[i];
    if (t.flags & MSTR_TF_ENDED) continue;
    uint32_t delta;
    const uint32_t used = mstrReadVarLen(t.readPtr, t.bytesLeft, &delta);
    if (!used) return MSTR_INVALID;
    const uint32_t distance = t.time + delta - file->clock;
    if (!chosen || distance < best) {
      chosen = &t;
      best = distance;
      bestDelta = delta;
      bestDeltaBytes = used;
    }
  }
  if (!chosen) {
    file->flags |= MSTR_F_END;
    return MSTR_END;
  }
  if (file->clock + best >= tickLimit) return MSTR_AT_LIMIT;

  mstrTrack& t = *chosen;
  t.readPtr += bestDeltaBytes;
  t.bytesLeft -= bestDeltaBytes;
  if (t.bytesLeft < 3) return MSTR_INVALID;
  t.time += bestDelta;
  event->delta = t.time - file->clock;
  file->clock = t.time;

  const uint8_t* p = t.readPtr;
  event->data2 = 0;
  event->length = 0;
  event->data = nullptr;
  uint64_t used;
  if (p[0] < 0x80) {
    if (!t.runningStatus) return MSTR_INVALID;
    event->status = t.runningStatus;
    event->data1 = p[0];
    used = 1;
    if (twoDataBytes(event->status)) event->data2 = p[used++];
  } else if (p[0] < 0xF0) {
    t.runningStatus = event->status = p[0];
    event->data1 = p[1];
    used = 2;
    if (twoDataBytes(event->status)) event->data2 = p[used++];
  } else {
    t.runningStatus = 0;
    uint32_t header;
    if (p[0] == 0xFF) {
      event->status = 0xFF;
      event->data1 = p[1];
      if (p[1] == 0x2F) t.flags |= MSTR_TF_ENDED;
      header = 2;
    } else if (p[0] == 0xF0 || p[0] == 0xF7) {
      event->status = p[0];
      header = 1;
    } else {
      return MSTR_INVALID;
    }
    uint32_t length;
    const uint32_t lengthBytes = mstrReadVarLen(p + header, t.bytesLeft - 2, &length);
    // In 64 bits: a length near 2^32 must not wrap the sum.
    if (!lengthBytes || uint64_t{header} + lengthBytes + length > t.bytesLeft) return MSTR_INVALID;
    event->length = length;
    event->data = p + header + lengthBytes;
    used = uint64_t{header} + lengthBytes + length;
  }
  t.readPtr += used;
  t.bytesLeft -= static_cast<uint32_t>(used);
  return MSTR_OK;
}

int mstrParseFile(mstrFile*& file) {
  const uint8_t* image = file->image;
  const uint32_t size = file->imageSize;
  if (size < 8 || std::memcmp(image, "MThd", 4) != 0) return MSTR_INVALID;
  const uint32_t headerLength = be32(image + 4);
  if (headerLength < 6 || headerLength > size - 8) return MSTR_INVALID;
  file->format = be16(image + 8);
  file->trackCount = be16(image + 10);
  file->division = be16(image + 12);

  const size_t bytes = sizeof(mstrFile) + size_t{file->trackCount} * sizeof(mstrTrack);
  auto* grown = static_cast<mstrFile*>(LocalReAlloc(file, bytes, LMEM_MOVEABLE | LMEM_ZEROINIT));
  if (!grown) return MSTR_NO_MEMORY;
  file = grown;

  mstrTrack* tracks = mstrTracks(file);
  uint64_t at = uint64_t{8} + headerLength;
  for (uint32_t i = 0; i < file->trackCount; ++i) {
    if (size - at < 8 || std::memcmp(image + at, "MTrk", 4) != 0) return MSTR_INVALID;
    const uint32_t length = be32(image + at + 4);
    if (length > size - at - 8) return MSTR_INVALID;
    tracks[i].owner = file;
    tracks[i].dataOffset = static_cast<uint32_t>(at + 8);
    tracks[i].length = length;
    at += uint64_t{8} + length;
  }

  rewind(file);
  mstrEvent event;
  int code;
  while ((code = mstrNextEvent(file, &event, 0xFFFFFFFFu)) == MSTR_OK) {
    if (event.status == 0xFF && event.data1 == 0x51 && event.length != 3) return MSTR_INVALID;
  }
  if (code != MSTR_END) return code;
  file->songLength = file->clock;
  return MSTR_OK;
}

int mstrReadFile(const char* fileName, mstrFile** result) {
  *result = nullptr;
  MMIOINFO info{};
  HMMIO mmio = mmioOpenA(const_cast<char*>(fileName), &info, MMIO_READ | MMIO_ALLOCBUF);
  if (!mmio) return MSTR_CANT_OPEN;
  auto* file = static_cast<mstrFile*>(LocalAlloc(LMEM_ZEROINIT, sizeof(mstrFile)));
  if (!file) {
    mmioClose(mmio, 0);
    return MSTR_NO_MEMORY;
  }
  // The record keeps at most 127 characters; the file opened by its full name.
  std::snprintf(file->name, sizeof file->name, "%s", fileName);

  int code = MSTR_OK;
  MMCKINFO riff{};
  LONG start = 0;
  if (mmioDescend(mmio, &riff, nullptr, MMIO_FINDRIFF) == MMSYSERR_NOERROR &&
      riff.fccType == mmioFOURCC('R', 'M', 'I', 'D')) {
    MMCKINFO data{};
    data.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(mmio, &data, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) code = MSTR_INVALID;
    file->imageSize = data.cksize;
    start = static_cast<LONG>(data.dwDataOffset);
  } else {
    mmioSeek(mmio, 0, SEEK_SET);
    const LONG end = mmioSeek(mmio, 0, SEEK_END);
    file->imageSize = end < 0 ? 0 : static_cast<uint32_t>(end);
    if (end < 0) code = MSTR_INVALID;
  }
  // A size the file cannot hold fails as the short read would, before a
  // large allocation is made for it.
  const LONG end = mmioSeek(mmio, 0, SEEK_END);
  if (code == MSTR_OK && (end < 0 || uint64_t{file->imageSize} > static_cast<uint64_t>(end - start)))
    code = MSTR_INVALID;
  if (code == MSTR_OK && mmioSeek(mmio, start, SEEK_SET) != start) code = MSTR_INVALID;

  if (code == MSTR_OK) {
    file->image = static_cast<uint8_t*>(mstrGlobalAlloc(file->imageSize));
    if (!file->image) code = MSTR_NO_MEMORY;
  }
  if (code == MSTR_OK &&
      mmioRead(mmio, reinterpret_cast<HPSTR>(file->image), static_cast<LONG>(file->imageSize)) !=
          static_cast<LONG>(file->imageSize))
    code = MSTR_INVALID;
  if (code == MSTR_OK) code = mstrParseFile(file);
  mmioClose(mmio, 0);
  if (code != MSTR_OK) {
    mstrGlobalFree(file->image);
    LocalFree(file);
    return code;
  }
  *result = file;
  return MSTR_OK;
}

int mstrFreeFile(mstrFile* file) {
  if (!file) return MSTR_OK;
  mstrGlobalFree(file->image);
  LocalFree(file);
  return MSTR_OK;
}

int mstrGetFileInfo(const mstrFile* file, mstrFileInfo* info) {
  info->trackCount = file->trackCount;
  info->format = file->format;
  info->division = file->division;
  info->songLength = file->songLength;
  return MSTR_OK;
}

int mstrSeek(mstrFile* file, uint32_t startTick, MIDIHDR* buffer) {
  std::memset(mstrSeekTempo, 0xFF, sizeof mstrSeekTempo);
  std::memset(mstrSeekProgram, 0xFF, sizeof mstrSeekProgram);
  std::memset(mstrSeekControl, 0xFF, sizeof mstrSeekControl);
  rewind(file);

  mstrEvent event;
  int code;
  while ((code = mstrNextEvent(file, &event, startTick)) == MSTR_OK) {
    const int channel = event.status & 0x0F;
    switch (event.status & 0xF0) {
      case 0xB0:
        if (event.data1 < 120) mstrSeekControl[channel * 120 + event.data1] = event.data2;
        break;
      case 0xC0: mstrSeekProgram[channel] = event.data1; break;
      case 0xF0:
        if (event.status == 0xFF && event.data1 == 0x51) {
          if (event.length != 3) return MSTR_INVALID;
          std::memcpy(mstrSeekTempo, event.data, 3);
        }
        break;
      default: break;
    }
  }
  if (code != MSTR_AT_LIMIT) return code;

  buffer->dwBytesRecorded = 0;
  const bool tempoSeen = mstrSeekTempo[0] != 0xFF || mstrSeekTempo[1] != 0xFF || mstrSeekTempo[2] != 0xFF;
  if (tempoSeen) {
    if (freeBytes(buffer) < 12) return MSTR_NO_MEMORY;
    putWords(buffer, 0, static_cast<uint32_t>(MEVT_TEMPO) << 24 | tempoOf(mstrSeekTempo));
  }
  for (uint32_t channel = 0; channel < 16; ++channel) {
    if (mstrSeekProgram[channel] == 0xFF) continue;
    if (freeBytes(buffer) < 12) return MSTR_NO_MEMORY;
    putWords(buffer, 0, (0xC0 | channel) | static_cast<uint32_t>(mstrSeekProgram[channel]) << 8);
  }
  for (uint32_t channel = 0; channel < 16; ++channel) {
    for (uint32_t controller = 0; controller < 120; ++controller) {
      const uint8_t value = mstrSeekControl[channel * 120 + controller];
      if (value == 0xFF) continue;
      if (freeBytes(buffer) < 12) return MSTR_NO_MEMORY;
      putWords(buffer, 0, (0xB0 | channel) | controller << 8 | static_cast<uint32_t>(value) << 16);
    }
  }
  mstrTrack* tracks = mstrTracks(file);
  for (uint32_t i = 0; i < file->trackCount; ++i) tracks[i].time = startTick;
  return MSTR_OK;
}

int mstrPutLongEvent(uint32_t delta, mstrFile* file, MIDIHDR* buffer) {
  const uint32_t room = freeBytes(buffer);
  if (room < 16 || !file->pendingEvent) return MSTR_OK;
  // Pieces keep the buffer's 4-byte steps, so the padding never passes its end.
  uint32_t n = (room - 12) & ~3u;
  if (n > file->pendingLeft) n = file->pendingLeft;
  if (n > 0xFFFFFCu) n = 0xFFFFFCu;  // the event's 24-bit length
  putWords(buffer, delta, static_cast<uint32_t>(MEVT_LONGMSG) << 24 | n);
  uint8_t* out = reinterpret_cast<uint8_t*>(buffer->lpData) + buffer->dwBytesRecorded;
  uint32_t copied = 0;
  if (file->flags & MSTR_F_F0_DUE) {
    out[copied++] = 0xF0;
    file->flags &= ~MSTR_F_F0_DUE;
  }
  std::memcpy(out + copied, file->pendingData, n - copied);
  file->pendingData += n - copied;
  file->pendingLeft -= n;
  if (!file->pendingLeft) file->pendingEvent = 0;
  buffer->dwBytesRecorded += (n + 3) & ~3u;
  return MSTR_OK;
}

int mstrFillBuffer(mstrFile* file, MIDIHDR* buffer, uint32_t endTick) {
  buffer->dwBytesRecorded = 0;
  if (file->pendingEvent) mstrPutLongEvent(0, file, buffer);
  if (file->flags & MSTR_F_END) return MSTR_END;

  while (freeBytes(buffer) >= 16) {
    mstrEvent event;
    const int code = mstrNextEvent(file, &event, endTick);
    if (code == MSTR_AT_LIMIT) {
      file->flags |= MSTR_F_END;
      break;
    }
    if (code != MSTR_OK) break;
    const uint32_t delta = file->carry + event.delta;
    if (event.status < 0xF0) {
      putWords(buffer, delta, event.status | event.data1 << 8 | static_cast<uint32_t>(event.data2) << 16);
    } else if (event.status == 0xFF) {
      if (event.data1 != 0x51) {
        file->carry = delta;  // written with the next event, so stream times stay file times
        continue;
      }
      if (event.length != 3) return MSTR_INVALID;
      putWords(buffer, delta, static_cast<uint32_t>(MEVT_TEMPO) << 24 | tempoOf(event.data));
    } else {
      // The file stores a 0xF0 message without its 0xF0; 0xF7 events go as stored.
      file->pendingEvent = 0x80000000u;
      file->pendingData = event.data;
      file->pendingLeft = event.length;
      if (event.status == 0xF0) {
        file->pendingLeft += 1;
        file->flags |= MSTR_F_F0_DUE;
      } else {
        file->flags &= ~MSTR_F_F0_DUE;
      }
      mstrPutLongEvent(delta, file, buffer);
    }
    file->carry = 0;
  }
  return (file->flags & MSTR_F_END) ? MSTR_END : MSTR_OK;
}
