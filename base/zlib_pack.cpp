// One-call deflate and inflate over zlib. zlib's statuses become base codes;
// its allocations go through memHooks and never raise, so no raise ever
// unwinds through zlib's own frames.
#include <zlib.h>

#include <cstring>

#include "base/mem.h"
#include "base/pack.h"

namespace {

errCode fromZlib(int status) {
  switch (status) {
    case Z_OK:
    case Z_STREAM_END:
    case Z_NEED_DICT: return status;
    case Z_STREAM_ERROR: return ERR_BAD_ARGUMENT;
    case Z_DATA_ERROR: return ERR_DATA;
    case Z_MEM_ERROR: return ERR_NO_MEMORY;
    case Z_BUF_ERROR: return ERR_BUFFER_SMALL;
    case Z_VERSION_ERROR: return -40;
    default: return -252;
  }
}

voidpf zAlloc(voidpf, uInt items, uInt size) {
  return memHooks.alloc(static_cast<size_t>(items) * size);
}

void zFree(voidpf, voidpf block) { memHooks.free(block); }

// The version the wrappers ask zlib for; zlib takes any 1.x.
constexpr const char* kZlibVersion = "1.1.3";

z_stream streamFor(void* dst, uint32_t capacity, const void* src, uint32_t srcLen) {
  z_stream z;
  std::memset(&z, 0, sizeof z);
  z.next_in = static_cast<Bytef*>(const_cast<void*>(src));
  z.avail_in = srcLen;
  z.next_out = static_cast<Bytef*>(dst);
  z.avail_out = capacity;
  z.zalloc = zAlloc;
  z.zfree = zFree;
  return z;
}

// Runs a stream made by its init (initStatus) with Z_FINISH once and ends
// it; the failure of a run that did not reach the stream's end with the
// output unfinished (Z_OK) means the destination ran out. Negative results
// are raised after zlib has returned.
errCode oneCall(z_stream& z, int initStatus, int (*run)(z_streamp, int), int (*end)(z_streamp), uint32_t* dstLen) {
  errCode code = fromZlib(initStatus);
  if (code == 0) {
    const int status = run(&z, Z_FINISH);
    if (status == Z_STREAM_END) {
      *dstLen = static_cast<uint32_t>(z.total_out);
      code = fromZlib(end(&z));
    } else {
      end(&z);
      code = status == Z_OK ? ERR_BUFFER_SMALL : fromZlib(status);
    }
  }
  if (code < 0) errRaise(code);
  return code;
}

}  // namespace

errCode zlibCompressLevel(void* dst, uint32_t* dstLen, const void* src, uint32_t srcLen, int level) {
  z_stream z = streamFor(dst, *dstLen, src, srcLen);
  return oneCall(z, deflateInit_(&z, level, kZlibVersion, static_cast<int>(sizeof z)), deflate, deflateEnd, dstLen);
}

errCode zlibCompress(void* dst, uint32_t* dstLen, const void* src, uint32_t srcLen) {
  return zlibCompressLevel(dst, dstLen, src, srcLen, Z_DEFAULT_COMPRESSION);
}

errCode zlibUncompress(void* dst, uint32_t* dstLen, const void* src, uint32_t srcLen) {
  z_stream z = streamFor(dst, *dstLen, src, srcLen);
  return oneCall(z, inflateInit_(&z, kZlibVersion, static_cast<int>(sizeof z)), inflate, inflateEnd, dstLen);
}
