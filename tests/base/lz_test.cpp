// The LZ packer and unpacker.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/mem.h"
#include "base/pack.h"
#include "err_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A heap block of exactly n bytes (n = 0 too), so ASan sees any access past it.
struct Exact {
  explicit Exact(const Bytes& b, size_t n) : data(new uint8_t[n ? n : 1]), size(n) {
    if (!b.empty()) std::memcpy(data.get(), b.data(), std::min(n, b.size()));
  }
  std::unique_ptr<uint8_t[]> data;
  size_t size;
};

Bytes pack(const Bytes& src) {
  Bytes out(src.size() + src.size() / 8 + 16);
  int32_t n = lzPack(src.data(), static_cast<uint32_t>(src.size()), out.data(), static_cast<uint32_t>(out.size()));
  EXPECT_GE(n, 0);
  out.resize(n < 0 ? 0 : static_cast<size_t>(n));
  return out;
}

// Unpacks with the source and destination held in blocks of their exact sizes.
int32_t unpack(const Bytes& packed, size_t srcLen, size_t capacity, Bytes* out = nullptr) {
  Exact src(packed, srcLen);
  Exact dst({}, capacity);
  int32_t n = lzUnpack(src.data.get(), static_cast<uint32_t>(srcLen), dst.data.get(), static_cast<uint32_t>(capacity));
  if (out && n >= 0) out->assign(dst.data.get(), dst.data.get() + n);
  return n;
}

std::string text(size_t n) {
  static const char* words[] = {"the ", "ball ", "rolls ", "over ", "a ", "maze ", "of ", "walls, ", "and ",
                                "time ", "runs.\n", "Mouse ", "guided ", "red ", "wins "};
  std::mt19937 rng(7);
  std::string s;
  while (s.size() < n) s += words[rng() % 15];
  s.resize(n);
  return s;
}

Bytes randomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

using LzTest = ErrTest;

// Streams worked out by hand from the format.
TEST_F(LzTest, PackedBytesAreExact) {
  const std::string z253(253, 'z'), z254(254, 'z');
  struct Case {
    const char* what;
    Bytes src;
    Bytes packed;
  } cases[] = {
      {"empty source: the end marker alone", {}, {0x02, 0x00, 0x00, 0xF0, 0x00}},
      {"one byte", bytesOf("A"), {0x05, 0x00, 'A', 0x00, 0xF0, 0x00}},
      // A literal, a 253-byte match at distance 1 (length byte 252), then the
      // rest, 46 bytes, again at distance 1.
      {"300 equal bytes",
       Bytes(300, 'x'),
       {0x55, 0x00, 'x', 0xFF, 0xF8, 0xFC, 0xFF, 0xF8, 0x2D, 0x00, 0xF0, 0x00}},
      // "AB" again at distance 256 matches 2 bytes: written as literals.
      {"length 2 at distance 256",
       bytesOf("AB" + z254 + "ABC"),
       {0xF7, 0x02, 'A', 'B', 'z', 0xFF, 0xF8, 0xFC, 'A', 'B', 'C', 0x00, 0xF0, 0x00}},
      // At distance 255 the same 2 bytes are a short match.
      {"length 2 at distance 255",
       bytesOf("AB" + z253 + "ABC"),
       {0x17, 0x0A, 'A', 'B', 'z', 0xFF, 0xF8, 0xFB, 0x01, 'C', 0x00, 0xF0, 0x00}},
      // 14 literals; the short match's first two bits end the control word, so
      // its last two bits and its data byte follow the next control word.
      {"match across a control word",
       bytesOf("abcdefghijklmnabc"),
       {0xFF, 0x3F, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 0x0A, 0x00, 0xF2, 0x00,
        0xF0, 0x00}},
      // The end marker's second bit ends the control word: its data bytes
      // follow an empty one.
      {"end marker ends a control word",
       bytesOf("abcdefghijklmn"),
       {0xFF, 0xBF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 0x00, 0x00, 0x00, 0xF0,
        0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(pack(c.src), c.packed);
    Bytes out;
    EXPECT_EQ(unpack(c.packed, c.packed.size(), c.src.size(), &out), static_cast<int32_t>(c.src.size()));
    EXPECT_EQ(out, c.src);
  }
  EXPECT_TRUE(hookCalls().empty());
}

TEST_F(LzTest, RoundTrips) {
  struct Case {
    std::string what;
    Bytes src;
  };
  std::vector<Case> cases = {
      {"zeros", Bytes(100000, 0)},
      {"text", bytesOf(text(60000))},
      {"random", randomBytes(20000, 1)},
  };
  Bytes gradient(70000);
  for (size_t i = 0; i < gradient.size(); ++i) gradient[i] = static_cast<uint8_t>((i % 640) * 255 / 639 + i / 640);
  cases.push_back({"gradient", gradient});
  // Short sources around the control words' boundaries, with and without repeats.
  for (size_t n = 0; n <= 40; ++n) {
    cases.push_back({"text of " + std::to_string(n), bytesOf(text(n))});
    cases.push_back({"random of " + std::to_string(n), randomBytes(n, static_cast<uint32_t>(n))});
  }
  // Repeats of every period up to 20 between random stretches: matches that
  // overlap their own output at every distance, ending near and at the
  // destination's end.
  for (size_t period = 1; period <= 20; ++period) {
    Bytes repeats = randomBytes(period, static_cast<uint32_t>(period));
    for (size_t i = 0; i < 300; ++i) repeats.push_back(repeats[i]);
    const Bytes tail = randomBytes(period % 7, 99);
    repeats.insert(repeats.end(), tail.begin(), tail.end());
    cases.push_back({"period " + std::to_string(period), repeats});
  }
  // 1 MiB: text, random and runs, so matches reach across the whole window.
  Bytes mixed;
  std::mt19937 rng(3);
  while (mixed.size() < (1u << 20)) {
    Bytes part = rng() % 3 == 0 ? randomBytes(rng() % 3000, rng()) : bytesOf(text(rng() % 9000));
    if (rng() % 5 == 0) part.assign(rng() % 1000, static_cast<uint8_t>(rng()));
    mixed.insert(mixed.end(), part.begin(), part.end());
  }
  mixed.resize(1u << 20);
  cases.push_back({"1 MiB mixed", mixed});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes packed = pack(c.src);
    Bytes out;
    ASSERT_EQ(unpack(packed, packed.size(), c.src.size(), &out), static_cast<int32_t>(c.src.size()));
    EXPECT_TRUE(out == c.src);
  }
  EXPECT_TRUE(hookCalls().empty());
}

TEST_F(LzTest, CapacityMustExceedThePackedLength) {
  const Bytes src = bytesOf(text(5000));
  const Bytes packed = pack(src);
  Bytes out(packed.size() + 1);
  EXPECT_EQ(lzPack(src.data(), 5000, out.data(), static_cast<uint32_t>(packed.size())), ERR_ARRAY_OVERFLOW);
  ASSERT_EQ(hookCalls().size(), 1u);
  EXPECT_EQ(hookCalls()[0].text, "Array overflow");
  EXPECT_EQ(lzPack(src.data(), 5000, out.data(), static_cast<uint32_t>(packed.size() + 1)),
            static_cast<int32_t>(packed.size()));
  EXPECT_EQ(lzPack(src.data(), 0, out.data(), 0), ERR_ARRAY_OVERFLOW);
  EXPECT_EQ(lzPack(src.data(), 0, out.data(), 5), ERR_ARRAY_OVERFLOW);  // the end marker alone is 5 bytes
  EXPECT_EQ(lzPack(src.data(), 0, out.data(), 6), 5);
  // The unpacker refuses a destination one byte short.
  EXPECT_EQ(unpack(packed, packed.size(), src.size() - 1), ERR_DATA);

  memHookTable saved = memHooks;
  memHooks.alloc = [](size_t) -> void* { return nullptr; };
  EXPECT_EQ(lzPack(src.data(), 5000, out.data(), static_cast<uint32_t>(out.size())), ERR_NO_MEMORY);
  memHooks = saved;
}

TEST_F(LzTest, HostileStreamsFailAsDataErrors) {
  struct Case {
    const char* what;
    Bytes stream;
    int32_t result;
  } cases[] = {
      {"nothing", {}, ERR_DATA},
      {"half a control word", {0x02}, ERR_DATA},
      {"literal without its byte", {0x01, 0x00}, ERR_DATA},
      {"no end marker", {0x05, 0x00, 'A'}, ERR_DATA},
      {"short match before the output", {0x00, 0x00, 0xFF}, ERR_DATA},
      {"long match before the output", {0x0D, 0x00, 'A', 0xFE, 0xFA}, ERR_DATA},  // distance 2 after 1 byte
      {"long match without its length byte", {0x0D, 0x00, 'A', 0xFF, 0xF8}, ERR_DATA},
      {"match past the destination", {0x05, 0x00, 'A', 0xFF, 0xF8, 0x20}, ERR_DATA},  // 1 + 33 bytes into 32
      {"a token that copies nothing", {0x15, 0x00, 'A', 0xFF, 0xF8, 0x01, 0x00, 0xF0, 0x00}, 1},
      {"bytes after the end marker are not read", {0x02, 0x00, 0x00, 0xF0, 0x00, 0x99}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    hookCalls().clear();
    EXPECT_EQ(unpack(c.stream, c.stream.size(), 32), c.result);
    if (c.result < 0) {
      ASSERT_EQ(hookCalls().size(), 1u);
      EXPECT_EQ(hookCalls()[0].text, "Data error");
    }
  }
}

// Every cut of a valid stream and random damage to it end in "Data error" or
// in bytes within the destination; ASan watches every access.
TEST_F(LzTest, TruncatedAndCorruptedStreams) {
  errGetState()->messageHook = [](errState*, const char*) {};
  errGetState()->exitHook = [](errState*) { return 0; };
  const Bytes sources[] = {bytesOf(text(3000)), Bytes(300, 'x'), randomBytes(700, 9), bytesOf("AB" + std::string(254, 'z') + "ABC")};
  std::mt19937 rng(11);
  for (const Bytes& src : sources) {
    const Bytes packed = pack(src);
    for (size_t cut = 0; cut < packed.size(); ++cut) ASSERT_EQ(unpack(packed, cut, src.size()), ERR_DATA) << cut;
    for (int trial = 0; trial < 400; ++trial) {
      Bytes damaged = packed;
      const int flips = 1 + static_cast<int>(rng() % 4);
      for (int i = 0; i < flips; ++i) damaged[rng() % damaged.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
      const int32_t n = unpack(damaged, damaged.size(), src.size());
      EXPECT_TRUE(n == ERR_DATA || (n >= 0 && static_cast<size_t>(n) <= src.size())) << n;
    }
  }
}

}  // namespace
