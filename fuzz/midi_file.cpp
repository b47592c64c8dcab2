// mstrParseFile on any bytes. A file that parses converts without a
// malformed event: seeks at tick 0, in the middle and at the end, each
// followed by fills into small buffers until the end of data, never return
// 1, never write past a buffer and always make progress.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/win32.h"
#include "sound/mstr_file.h"

namespace {

struct Buffer {
  MIDIHDR header{};
  std::vector<uint32_t> words;
  explicit Buffer(uint32_t bytes) : words(bytes / 4) {
    header.lpData = reinterpret_cast<LPSTR>(words.data());
    header.dwBufferLength = bytes;
  }
};

// Walks the events a converter wrote; they must lie inside the recorded bytes.
void checkEvents(const MIDIHDR& h) {
  if (h.dwBytesRecorded > h.dwBufferLength || h.dwBytesRecorded % 4) std::abort();
  uint32_t at = 0;
  while (at < h.dwBytesRecorded) {
    if (h.dwBytesRecorded - at < 12) std::abort();
    uint32_t event;
    std::memcpy(&event, h.lpData + at + 8, 4);
    at += 12;
    if (event & MEVT_F_LONG) at += (MEVT_EVENTPARM(event) + 3) & ~3u;
  }
  if (at != h.dwBytesRecorded) std::abort();
}

void convert(mstrFile* file, uint32_t start, uint32_t fillBytes) {
  Buffer seek(4096 - sizeof(MIDIHDR));
  const int code = mstrSeek(file, start, &seek.header);
  if (code == 1) std::abort();
  if (code != 0) return;
  checkEvents(seek.header);
  const uint64_t bound = uint64_t{file->imageSize} * 2 + 16;
  for (uint64_t i = 0;; ++i) {
    if (i > bound) std::abort();
    Buffer b(fillBytes);
    const int fill = mstrFillBuffer(file, &b.header, file->songLength + 1);
    if (fill == 1) std::abort();
    checkEvents(b.header);
    if (fill == 11) break;
    if (fill != 0 || b.header.dwBytesRecorded == 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  auto* file = static_cast<mstrFile*>(LocalAlloc(LMEM_ZEROINIT, sizeof(mstrFile)));
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  file->image = static_cast<uint8_t*>(GlobalLock(block));
  file->imageSize = static_cast<uint32_t>(size);
  if (size) std::memcpy(file->image, data, size);
  if (mstrParseFile(file) == 0) {
    // Buffer sizes from the last byte: 16 to 76 bytes, in 4-byte steps.
    const uint32_t fillBytes = 16 + 4 * (size ? data[size - 1] % 16 : 0);
    convert(file, 0, fillBytes);
    convert(file, file->songLength / 2, fillBytes);
    convert(file, file->songLength, 1024);
  }
  mstrFreeFile(file);
  return 0;
}
