// lzUnpack on any stream: the first two bytes give the destination's
// capacity, the rest is the stream; the unpack must end in a length within
// the capacity or in "Data error". The same bytes then go through the packer,
// whose stream must unpack to them exactly.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/err.h"
#include "base/pack.h"

namespace {

// A copy in a block of exactly n bytes, so a read past it is caught.
std::unique_ptr<uint8_t[]> exact(const uint8_t* data, size_t n) {
  std::unique_ptr<uint8_t[]> block(new uint8_t[n ? n : 1]);
  if (n && data) std::memcpy(block.get(), data, n);
  return block;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = (errInit(), true);
  (void)ready;
  if (size < 2) return 0;
  const uint32_t capacity = data[0] | data[1] << 8;
  const size_t len = size - 2;
  auto src = exact(data + 2, len);
  auto dst = exact(nullptr, capacity);
  ERR_TRY(frame) {
    int32_t n = lzUnpack(src.get(), static_cast<uint32_t>(len), dst.get(), capacity);
    if (n < 0 || static_cast<uint32_t>(n) > capacity) std::abort();
  }
  ERR_CATCH(frame, code) {
    if (code != ERR_DATA) std::abort();
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY

  const uint32_t room = static_cast<uint32_t>(len + len / 8 + 16);
  auto packed = exact(nullptr, room);
  const int32_t packedLen = lzPack(src.get(), static_cast<uint32_t>(len), packed.get(), room);
  if (packedLen < 0) std::abort();
  auto stream = exact(packed.get(), static_cast<size_t>(packedLen));
  auto back = exact(nullptr, len);
  if (lzUnpack(stream.get(), static_cast<uint32_t>(packedLen), back.get(), static_cast<uint32_t>(len)) !=
          static_cast<int32_t>(len) ||
      (len && std::memcmp(back.get(), src.get(), len) != 0))
    std::abort();
  return 0;
}
