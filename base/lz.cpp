// The LZ packer and unpacker.
//
// The packer keeps the last 8192 bytes in a ring with a 253-byte lookahead.
// Every ring position is linked into one of 4096 hash chains by its first
// byte and the low nibble of its second; a search walks the whole chain,
// newest first, and keeps the first longest match (at most 253 bytes, which
// ends the walk). Its output is fixed to the byte: stored files depend on it.
#include <bit>
#include <cstring>

#include "base/mem.h"
#include "base/pack.h"
#include "platform/win32.h"

namespace {

constexpr int kRing = 8192;
constexpr int kLookahead = 253;
constexpr int kMirror = 252;  // the ring's first bytes again after its end
constexpr int kMaxMatch = 253;
constexpr int kHashes = 4096;
constexpr uint16_t kNone = 0xFFFF;
// A chain's first entry has kHeadMark + hash as its previous entry.
constexpr uint16_t kHeadMark = kRing;
constexpr int32_t kMaxOutput = 0x7FFFFFFF;
static_assert(std::endian::native == std::endian::little, "the word-wide compare counts bytes from the low end");

struct PackState {
  uint8_t ring[kRing + kMirror + 8];  // 8 more for word-wide compares
  uint16_t next[kRing];
  uint16_t prev[kRing];
  uint16_t head[kHashes];
  // The group being built.
  uint16_t control;
  int bit;
  uint8_t pending[32];
  int pendingCount;
  // Output.
  uint8_t* out;
  uint32_t left;
  uint32_t written;
  int32_t result;
};

int hashAt(const PackState& st, int p) { return st.ring[p] | (st.ring[p + 1] & 0x0F) << 8; }

void insert(PackState& st, int p) {
  const int h = hashAt(st, p);
  const uint16_t first = st.head[h];
  st.next[p] = first;
  st.prev[p] = static_cast<uint16_t>(kHeadMark + h);
  if (first != kNone) st.prev[first] = static_cast<uint16_t>(p);
  st.head[h] = static_cast<uint16_t>(p);
}

void remove(PackState& st, int p) {
  const uint16_t before = st.prev[p];
  if (before == kNone) return;
  const uint16_t after = st.next[p];
  if (before >= kHeadMark) {
    st.head[before - kHeadMark] = after;
  } else {
    st.next[before] = after;
  }
  if (after != kNone) st.prev[after] = before;
  st.prev[p] = st.next[p] = kNone;
}

struct Match {
  int length;
  int distance;
};

// The longest match for r among the earlier positions of its chain; then r
// joins the chain.
Match search(PackState& st, int r) {
  Match best{0, 0};
  const uint8_t* at = st.ring + r;
  for (uint16_t p = st.head[hashAt(st, r)]; p != kNone; p = st.next[p]) {
    const uint8_t* cand = st.ring + p;
    // Only a candidate that agrees at the best length so far can beat it.
    if (cand[best.length] != at[best.length]) continue;
    int length = 1;
    for (;;) {
      uint64_t a, b;
      std::memcpy(&a, cand + length, 8);
      std::memcpy(&b, at + length, 8);
      if (a != b) {
        length += std::countr_zero(a ^ b) / 8;
        break;
      }
      length += 8;
      if (length >= kMaxMatch) break;
    }
    if (length > kMaxMatch) length = kMaxMatch;
    if (length > best.length) {
      best = {length, (r - p) & (kRing - 1)};
      if (length == kMaxMatch) break;
    }
  }
  insert(st, r);
  return best;
}

void writeByte(PackState& st, uint8_t b) {
  if (st.result < 0) return;
  if (st.left == 0) {
    st.result = ERR_ARRAY_OVERFLOW;
    return;
  }
  *st.out++ = b;
  ++st.written;
  if (--st.left == 0) st.result = ERR_ARRAY_OVERFLOW;
}

void flushGroup(PackState& st) {
  writeByte(st, static_cast<uint8_t>(st.control));
  writeByte(st, static_cast<uint8_t>(st.control >> 8));
  for (int i = 0; i < st.pendingCount; ++i) writeByte(st, st.pending[i]);
  st.control = 0;
  st.bit = 0;
  st.pendingCount = 0;
}

void putBit(PackState& st, int b) {
  if (b) st.control = static_cast<uint16_t>(st.control | 1u << st.bit);
  if (++st.bit == 16) flushGroup(st);
}

void putByte(PackState& st, int b) { st.pending[st.pendingCount++] = static_cast<uint8_t>(b); }

// Writes the token for the match at r; returns the number of bytes it covers.
int putToken(PackState& st, int r, Match m) {
  if (m.length < 2 || (m.length == 2 && m.distance >= 256)) {
    putBit(st, 1);
    putByte(st, st.ring[r]);
    return 1;
  }
  if (m.length <= 5 && m.distance < 256) {
    putBit(st, 0);
    putBit(st, 0);
    putBit(st, (m.length - 2) >> 1);
    putBit(st, (m.length - 2) & 1);
    putByte(st, 256 - m.distance);
    return m.length;
  }
  const int v = kRing - m.distance;
  putBit(st, 0);
  putBit(st, 1);
  putByte(st, v & 0xFF);
  if (m.length <= 9) {
    putByte(st, (v >> 8) << 3 | (m.length - 2));
  } else {
    putByte(st, (v >> 8) << 3);
    putByte(st, m.length - 1);
  }
  return m.length;
}

int32_t lzPackCore(const uint8_t* src, uint32_t len, uint8_t* dst, uint32_t capacity) {
  auto* st = static_cast<PackState*>(memHooks.alloc(sizeof(PackState)));
  if (!st) return ERR_NO_MEMORY;
  std::memset(st, 0, sizeof *st);
  std::memset(st->next, 0xFF, sizeof st->next);
  std::memset(st->prev, 0xFF, sizeof st->prev);
  std::memset(st->head, 0xFF, sizeof st->head);
  st->out = dst;
  st->left = capacity > static_cast<uint32_t>(kMaxOutput) ? kMaxOutput : capacity;

  int r = kRing - kLookahead;
  int s = 0;
  uint32_t taken = len < kLookahead ? len : kLookahead;
  int lookahead = static_cast<int>(taken);
  if (taken) std::memcpy(st->ring + r, src, taken);
  Match m = search(*st, r);
  while (lookahead > 0 && st->result == 0) {
    if (m.length > lookahead) m.length = lookahead;
    const int covered = putToken(*st, r, m);
    for (int i = 0; i < covered; ++i) {
      remove(*st, s);
      if (taken < len) {
        const uint8_t c = src[taken++];
        st->ring[s] = c;
        if (s < kMirror) st->ring[kRing + s] = c;
      } else {
        --lookahead;
      }
      s = (s + 1) & (kRing - 1);
      r = (r + 1) & (kRing - 1);
      if (i + 1 < covered) insert(*st, r);
    }
    m = search(*st, r);
  }
  // The end marker, then the last group with its unused bits 0.
  putBit(*st, 0);
  putBit(*st, 1);
  putByte(*st, 0x00);
  putByte(*st, 0xF0);
  putByte(*st, 0x00);
  flushGroup(*st);
  const int32_t result = st->result < 0 ? st->result : static_cast<int32_t>(st->written);
  memHooks.free(st);
  return result;
}

// Reads a stream within its bounds; any step outside them fails the unpack.
struct Unpacker {
  const uint8_t* in;
  uint32_t inLeft;
  uint8_t* out;
  uint32_t done = 0;
  uint32_t capacity;
  uint32_t control = 0;
  int bits = 0;

  bool byte(uint32_t* v) {
    if (inLeft == 0) return false;
    *v = *in++;
    --inLeft;
    return true;
  }
  bool word() {
    uint32_t lo, hi;
    if (!byte(&lo) || !byte(&hi)) return false;
    control = lo | hi << 8;
    bits = 16;
    return true;
  }
  // The next control bit; the next word is read as soon as one is used up.
  bool bit(uint32_t* v) {
    *v = control & 1;
    control >>= 1;
    return --bits > 0 || word();
  }
  // Copies `length` bytes from `distance` back, byte after byte as far as
  // the result goes. Where the destination has room, in 16- or 8-byte
  // chunks that may write up to 15 bytes past the match (bytes a later
  // token writes again, or left past the unpacked length).
  bool copy(uint32_t distance, uint32_t length) {
    if (distance > done || length > capacity - done) return false;
    uint8_t* to = out + done;
    const uint8_t* from = to - distance;
    done += length;
    if (capacity - (done - length) >= length + 16) {
      // A chunk no longer than the distance reads only bytes already in
      // place: the forward copy's result.
      if (distance >= 16) {
        for (uint32_t i = 0; i < length; i += 16) std::memcpy(to + i, from + i, 16);
        return true;
      }
      if (distance >= 8) {
        for (uint32_t i = 0; i < length; i += 8) std::memcpy(to + i, from + i, 8);
        return true;
      }
    }
    if (distance == 1) {
      std::memset(to, *from, length);
    } else if (distance >= length) {
      std::memcpy(to, from, length);
    } else {
      for (uint32_t i = 0; i < length; ++i) to[i] = from[i];
    }
    return true;
  }
  // A run of literal bits, short of the control word's last bit (after which
  // the next word comes before the literal's byte), taken at once; false
  // when there is none or the input or destination would run out, which the
  // token-by-token path then meets.
  bool literals() {
    const uint32_t ones = static_cast<uint32_t>(std::countr_one(control));
    const uint32_t n = ones < static_cast<uint32_t>(bits) ? ones : static_cast<uint32_t>(bits) - 1;
    if (n == 0 || n > inLeft || n > capacity - done) return false;
    if (inLeft >= 16 && capacity - done >= 16)
      std::memcpy(out + done, in, 16);
    else
      std::memcpy(out + done, in, n);
    in += n;
    inLeft -= n;
    done += n;
    control >>= n;
    bits -= static_cast<int>(n);
    return true;
  }
  bool run() {
    if (!word()) return false;
    for (;;) {
      uint32_t b, v;
      if ((control & 1) && literals()) continue;
      if (!bit(&b)) return false;
      if (b) {
        if (!byte(&v) || done == capacity) return false;
        out[done++] = static_cast<uint8_t>(v);
        continue;
      }
      if (!bit(&b)) return false;
      if (!b) {
        uint32_t b1, b0;
        if (!bit(&b1) || !bit(&b0) || !byte(&v)) return false;
        if (!copy(256 - v, 2 + 2 * b1 + b0)) return false;
        continue;
      }
      uint32_t lo, hi;
      if (!byte(&lo) || !byte(&hi)) return false;
      const uint32_t w = lo | hi << 8;
      const uint32_t distance = kRing - ((w >> 11) * 256 + (w & 0xFF));
      uint32_t length = (w >> 8) & 7;
      if (length != 0) {
        length += 2;
      } else {
        if (!byte(&v)) return false;
        if (v == 0) return true;
        if (v == 1) continue;
        length = v + 1;
      }
      if (!copy(distance, length)) return false;
    }
  }
};

}  // namespace

int32_t lzPack(const void* src, uint32_t len, void* dst, uint32_t capacity) {
  int32_t result = lzPackCore(static_cast<const uint8_t*>(src), len, static_cast<uint8_t*>(dst), capacity);
  if (result < 0) errRaise(result);
  return result;
}

int32_t lzUnpack(const void* src, uint32_t srcLen, void* dst, uint32_t capacity) {
  Unpacker u{static_cast<const uint8_t*>(src), srcLen, static_cast<uint8_t*>(dst), 0,
             capacity > static_cast<uint32_t>(kMaxOutput) ? kMaxOutput : capacity};
  if (!u.run()) {
    errRaise(ERR_DATA);
    return ERR_DATA;
  }
  return static_cast<int32_t>(u.done);
}
