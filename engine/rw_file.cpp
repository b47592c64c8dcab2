// rw files: reading a whole file into a stream (unpacking it), writing a
// stream out (packing it) to a file or a memory block.
//
// Every buffer is held by an owner until the stream takes it, so a raise
// that jumps to a TRY block (an allocation, lzUnpack's data error, a report
// inside a TRY frame) frees it on the way.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/err.h"
#include "base/mem.h"
#include "base/mf.h"
#include "base/pack.h"
#include "base/str.h"
#include "engine/rw.h"
#include "platform/win_kernel.h"
#include "platform/win_stdio.h"
#include "talvo/File.h"
#include "talvo/Stream.h"

namespace {

struct MemFree {
  void operator()(void* p) const { memHooks.free(p); }
};
using Block = std::unique_ptr<uint8_t, MemFree>;

// Frees a stream and everything it holds.
struct StreamDelete {
  void operator()(rwStream* s) const {
    if (s->flags & RW_FLAG_MAPPED)
      mfCloseSized(s->map, 0);
    else
      memHooks.free(s->data);
    memHooks.free(s->fileName);
    delete s;
  }
};
using StreamOwner = std::unique_ptr<rwStream, StreamDelete>;

// The most one stored byte unpacks to: deflate's 1032:1; the LZ format's
// longest match, 256 bytes for 2 control bits and 3 data bytes (with the
// control words, 2048 bytes for every 26).
constexpr int64_t kZlibRatio = 1032;
constexpr int64_t kLzRatio = 79;

void report(errCode outcome) {
  if (outcome == ERR_OUTCOME_RETRY) DebugBreak();
}

uint32_t word(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Reads up to n bytes, growing the block only as far as the file goes; the
// number of bytes read.
int64_t readUpTo(talvo::io::IArcStream& in, Block& block, int64_t n) {
  constexpr int64_t kChunk = int64_t(1) << 20;
  int64_t got = 0, capacity = 0;
  while (got < n && in.good()) {
    if (got == capacity) {
      capacity = std::min(n, std::max(kChunk, capacity * 2));
      auto* grown = static_cast<uint8_t*>(memRealloc(block.get(), size_t(capacity)));
      if (!grown) return got;
      (void)block.release();
      block.reset(grown);
    }
    got += in.read(block.get() + got, capacity - got);
  }
  return got;
}

// The unpacked buffer for `stored` packed bytes: the header's size, no more
// than the packer can make of them, at most RW_MAX_UNPACKED.
uint32_t unpackedCapacity(uint32_t header, int64_t stored, int64_t ratio) {
  const int64_t bound = std::min<int64_t>(stored * ratio + 1024, RW_MAX_UNPACKED);
  return uint32_t(std::min<int64_t>(header, bound));
}

// Unpacks the stored bytes into the stream's data; false (reported) when
// they do not unpack.
bool unpack(rwStream* s, const char* fileName, const Block& stored, uint32_t storedSize) {
  if (s->packer == RW_PACKER_LZ) {
    const uint32_t capacity = unpackedCapacity(uint32_t(s->unpackedSize), storedSize, kLzRatio);
    Block data(static_cast<uint8_t*>(memAlloc(capacity)));
    if (!data) return false;
    // A data error is raised by lzUnpack itself.
    const int32_t n = lzUnpack(stored.get(), storedSize, data.get(), capacity);
    if (n < 0) return false;
    s->data = data.release();
    s->length = n;
    return true;
  }
  if (s->packer == RW_PACKER_ZLIB) {
    uint32_t length = unpackedCapacity(uint32_t(s->unpackedSize), storedSize, kZlibRatio);
    Block data(static_cast<uint8_t*>(memAlloc(length)));
    if (!data) return false;
    int result = -1;
    // The wrapper's own raise is caught here: one report says it all.
    ERR_TRY(frame) { result = rwUnpackZlib(stored.get(), storedSize, data.get(), &length); }
    ERR_CATCH(frame, code) { errEndCatch(errGetState(), &frame); }
    ERR_END_TRY
    if (result != 0) {
      report(errPrintf(ERR_LEVEL_ERROR, "rwRdOpen(%s): Can't unpack.", fileName));
      return false;
    }
    s->data = data.release();
    s->length = int32_t(length);
    return true;
  }
  report(errPrintf(ERR_LEVEL_ERROR, "rwRdOpen: Unknown packer type"));
  return false;
}

// Packs the written data in place; false when it cannot be packed (then
// reported, and the plain data stays).
bool pack(rwStream* s) {
  const int64_t room = std::min<int64_t>(2 * int64_t(s->size) + 12, UINT32_MAX);
  if (s->packer != RW_PACKER_LZ && s->packer != RW_PACKER_ZLIB) {
    report(errPrintf(ERR_LEVEL_ERROR, "rwClose: Unknown packer type"));
    return false;
  }
  Block packed(static_cast<uint8_t*>(memAlloc(size_t(room))));
  int64_t length = -1;
  if (packed) {
    // The packers' own raises are caught: the failure is reported once.
    ERR_TRY(frame) {
      if (s->packer == RW_PACKER_LZ) {
        // Capacity = size: LZ data that does not shrink is no packing.
        length = lzPack(s->data, uint32_t(s->size), packed.get(), uint32_t(s->size));
      } else {
        uint32_t n = uint32_t(room);
        if (rwPackZlib(s->data, uint32_t(s->size), packed.get(), &n) == 0) length = n;
      }
    }
    ERR_CATCH(frame, code) {
      length = -1;
      errEndCatch(errGetState(), &frame);
    }
    ERR_END_TRY
  }
  if (length < 0) {
    report(errPrintf(ERR_LEVEL_ERROR, "rwClose: Can't pack file."));
    return false;
  }
  memHooks.free(s->data);
  s->data = packed.release();
  s->size = int32_t(length);
  return true;
}

void writeToMemory(rwStream* s) {
  auto* block = static_cast<rwMemBlock*>(memAlloc(sizeof(rwMemBlock) + size_t(s->size)));
  if (!block) return;
  *block = {s->magic,   s->flags, uint32_t(s->packer), uint32_t(s->reserved), uint32_t(s->unpackedSize),
            uint32_t(s->size), reinterpret_cast<uint8_t*>(block + 1)};
  if (s->size) std::memcpy(block->data, s->data, size_t(s->size));
  *s->memTarget = block;
}

void writeToFile(rwStream* s) {
  FILE* f = s->fileName ? _fsopen(s->fileName, "wb", _SH_DENYNO) : nullptr;
  if (!f) {
    report(errRaiseArg(ERR_CANT_OPEN, s->fileName ? s->fileName : ""));
    return;
  }
  const uint32_t header[6] = {s->magic, s->flags, uint32_t(s->packer), uint32_t(s->reserved), uint32_t(s->size),
                              uint32_t(s->unpackedSize)};
  bool ok = std::fwrite(header, sizeof header, 1, f) == 1;
  if (ok && s->size) ok = std::fwrite(s->data, size_t(s->size), 1, f) == 1;
  ok = std::fclose(f) == 0 && ok;
  // A file that was not written whole is no success.
  if (!ok) report(errRaiseArg(-20, s->fileName));
}

}  // namespace

int rwPackZlib(const void* source, uint32_t sourceLength, void* destination, uint32_t* destinationLength) {
  return zlibCompress(destination, destinationLength, source, sourceLength);
}

int rwUnpackZlib(const void* source, uint32_t sourceLength, void* destination, uint32_t* destinationLength) {
  return zlibUncompress(destination, destinationLength, source, sourceLength);
}

rwStream* rwRdOpen(const char* fileName) {
  talvo::io::IArcStream in;
  in.set_flags(in.flags() | talvo::io::Stream::raw);
  in.open(fileName, talvo::AbstractFile::in, 0);
  StreamOwner s(new rwStream);
  s->mode = 1;
  if (!in.good()) {
    s->failed = 1;
    report(errRaiseArg(ERR_CANT_OPEN, fileName));
    return s.release();
  }

  uint8_t header[RW_HEADER_SIZE];
  const int64_t got = in.read(header, RW_HEADER_SIZE);
  if (got >= 4) {
    s->magic = word(header);
    if (s->magic != RW_MAGIC_RW2 && s->magic != RW_MAGIC_RW1)
      report(errPrintf(ERR_LEVEL_ERROR, "rwRdOpen(%s): Wrong file or obsolete file format.", fileName));
  }
  if (got < RW_HEADER_SIZE) {
    s->failed = 1;
    return s.release();
  }
  s->flags = word(header + 4);
  s->packer = int32_t(word(header + 8));
  s->reserved = int32_t(word(header + 12));
  const uint32_t storedSize = word(header + 16);
  s->size = int32_t(storedSize);
  s->unpackedSize = int32_t(word(header + 20));
  // Only bit 0 means anything in a file; the mapped mark is the running
  // stream's own.
  if ((s->flags & ~RW_FLAG_PACKED) != 0 || storedSize > uint32_t(INT32_MAX)) {
    s->failed = 1;
    return s.release();
  }

  Block stored(static_cast<uint8_t*>(memAlloc(1)));
  if (!stored || readUpTo(in, stored, storedSize) != storedSize) {
    s->failed = 1;
    return s.release();
  }
  if (s->flags & RW_FLAG_PACKED) {
    if (!unpack(s.get(), fileName, stored, storedSize)) s->failed = 1;
  } else {
    s->data = stored.release();
    s->length = int32_t(storedSize);
  }
  return s.release();
}

rwStream* rwWrOpen(const char* fileName, rwMemBlock** memTarget) {
  StreamOwner s(new rwStream);
  s->mode = 0;
  s->memTarget = memTarget;
  if (!memTarget && fileName) s->fileName = strDup(fileName);
  return s.release();
}

void rwClose(rwStream* stream) {
  if (!stream) return;
  StreamOwner s(stream);
  if (s->mode != 0) return;
  if ((s->flags & RW_FLAG_PACKED) && !pack(s.get())) s->flags &= ~RW_FLAG_PACKED;
  if (s->memTarget)
    writeToMemory(s.get());
  else
    writeToFile(s.get());
}
