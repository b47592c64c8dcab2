// The buffer operations of rw streams: positioned reads and writes.
#include <cstring>

#include "base/err.h"
#include "base/mem.h"
#include "engine/rw.h"

namespace {

constexpr int64_t kGrowStep = 0xA00000;  // 10 MiB beyond each request

// True when n bytes from the position lie inside the data; otherwise the
// stream is failed.
bool readable(rwStream* s, int64_t n) {
  if (n >= 0 && s->position >= 0 && s->position + n <= s->length && s->data) return true;
  if (n == 0 && s->position >= 0 && s->position <= s->length) return true;
  s->failed = 1;
  return false;
}

}  // namespace

void rwSetPos(rwStream* stream, int32_t position) { stream->position = position; }

void rwWrite(rwStream* s, const void* bytes, int32_t n) {
  const int64_t end = int64_t(s->position) + n;
  // A read stream's buffer is its file's data, not a capacity to grow.
  if (s->mode == 1 || n < 0 || s->position < 0 || end > INT32_MAX) {
    s->failed = 1;
    return;
  }
  if (end >= s->unpackedSize) {
    int64_t capacity = int64_t(s->unpackedSize) + n + kGrowStep;
    // A position past the capacity outruns the step.
    if (capacity <= end) capacity = end + kGrowStep;
    if (capacity > INT32_MAX) capacity = INT32_MAX;
    auto* grown = static_cast<uint8_t*>(memRealloc(s->data, size_t(capacity)));
    if (!grown) {
      s->failed = 1;
      return;
    }
    s->data = grown;
    s->unpackedSize = int32_t(capacity);
  }
  // Bytes skipped over by a position past the end read as zero.
  if (s->position > s->size) std::memset(s->data + s->size, 0, size_t(s->position - s->size));
  if (n) std::memcpy(s->data + s->position, bytes, size_t(n));
  s->position = int32_t(end);
  if (s->position > s->size) s->size = s->length = s->position;
}

void rwWriteInt(rwStream* stream, int32_t value) {
  uint8_t bytes[4];
  std::memcpy(bytes, &value, 4);
  rwWrite(stream, bytes, 4);
}

void rwRead(rwStream* s, void* destination, int32_t n) {
  if (!readable(s, n)) {
    if (n > 0) std::memset(destination, 0, size_t(n));
    return;
  }
  if (n) std::memcpy(destination, s->data + s->position, size_t(n));
  s->position += n;
}

int32_t rwReadInt(rwStream* stream) {
  int32_t value = 0;
  rwRead(stream, &value, 4);
  return value;
}

char* rwReadString(rwStream* s) {
  if (!readable(s, 4)) return nullptr;
  const int32_t length = rwReadInt(s);
  if (length == -1) return nullptr;
  if (length < -1 || !readable(s, length)) {
    s->failed = 1;
    return nullptr;
  }
  auto* text = static_cast<char*>(memCalloc(size_t(length) + 1));
  if (!text) return nullptr;
  rwRead(s, text, length);
  return text;
}
