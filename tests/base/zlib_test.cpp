// The one-call zlib wrappers, checked against Python's zlib module.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/mem.h"
#include "base/pack.h"
#include "err_fixture.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes payload() {
  Bytes b;
  for (int i = 0; i < 50000; ++i) b.push_back(static_cast<uint8_t>(i % 251 < 100 ? 'a' + i % 7 : (i * 2654435761u) >> 24));
  return b;
}

std::string asString(const Bytes& b) { return std::string(b.begin(), b.end()); }
Bytes asBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Runs a Python snippet with Debian's interpreter; `d` is the directory.
int python(const TempDir& dir, const std::string& code) {
  writeBytes(dir.file("run.py"), "import sys, zlib\nd = sys.argv[1]\n" + code);
  return runPython({dir.file("run.py"), dir.path.string()});
}

using ZlibTest = ErrTest;

TEST_F(ZlibTest, RoundTripsWithPythonsZlib) {
  TempDir dir;
  const Bytes plain = payload();
  writeBytes(dir.file("plain"), asString(plain));
  // Ours packed at each level, Python's unpacks.
  for (int level : {-1, 1, 6, 9}) {
    Bytes packed(plain.size() + 64);
    uint32_t size = static_cast<uint32_t>(packed.size());
    ASSERT_EQ(zlibCompressLevel(packed.data(), &size, plain.data(), static_cast<uint32_t>(plain.size()), level), 0);
    ASSERT_LT(size, plain.size());
    packed.resize(size);
    writeBytes(dir.file("ours"), asString(packed));
    EXPECT_EQ(python(dir, "a = open(d + '/ours', 'rb').read()\n"
                          "sys.exit(0 if zlib.decompress(a) == open(d + '/plain', 'rb').read() else 1)\n"),
              0)
        << level;
  }
  // Python's packed at each level, ours unpacks.
  ASSERT_EQ(python(dir, "p = open(d + '/plain', 'rb').read()\n"
                        "for l in range(10): open(d + '/py%d' % l, 'wb').write(zlib.compress(p, l))\n"),
            0);
  for (int level = 0; level <= 9; ++level) {
    const Bytes packed = asBytes(readBytes(dir.file("py" + std::to_string(level))));
    Bytes out(plain.size());
    uint32_t size = static_cast<uint32_t>(out.size());
    EXPECT_EQ(zlibUncompress(out.data(), &size, packed.data(), static_cast<uint32_t>(packed.size())), 0);
    EXPECT_EQ(size, plain.size());
    EXPECT_TRUE(out == plain) << level;
  }
  EXPECT_TRUE(hookCalls().empty());
}

TEST_F(ZlibTest, FailuresBecomeBaseCodes) {
  const Bytes plain = payload();
  Bytes packed(plain.size());
  uint32_t packedSize = static_cast<uint32_t>(packed.size());
  ASSERT_EQ(zlibCompress(packed.data(), &packedSize, plain.data(), static_cast<uint32_t>(plain.size())), 0);
  packed.resize(packedSize);
  auto uncompress = [&](const Bytes& src, uint32_t capacity) {
    Bytes out(capacity);
    uint32_t size = capacity;
    return zlibUncompress(out.data(), &size, src.data(), static_cast<uint32_t>(src.size()));
  };
  auto flipped = [&](size_t at) {
    Bytes b = packed;
    b[at] ^= 0x40;
    return b;
  };
  struct Case {
    const char* what;
    errCode result;
    const char* text;
    std::function<errCode()> run;
  } cases[] = {
      {"destination too small to unpack", ERR_BUFFER_SMALL, "Error -74", [&] { return uncompress(packed, 1000); }},
      {"destination too small to pack", ERR_BUFFER_SMALL, "Error -74",
       [&] {
         Bytes out(100);
         uint32_t size = 100;
         return zlibCompress(out.data(), &size, plain.data(), static_cast<uint32_t>(plain.size()));
       }},
      {"flipped header byte", ERR_DATA, "Data error", [&] { return uncompress(flipped(0), 60000); }},
      {"flipped check byte", ERR_DATA, "Data error", [&] { return uncompress(flipped(packed.size() - 1), 60000); }},
      {"level out of range", ERR_BAD_ARGUMENT, "Bad argument",
       [&] {
         Bytes out(100);
         uint32_t size = 100;
         return zlibCompressLevel(out.data(), &size, plain.data(), 10, 42);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    hookCalls().clear();
    EXPECT_EQ(c.run(), c.result);
    ASSERT_EQ(hookCalls().size(), 1u);
    EXPECT_EQ(hookCalls()[0].code, c.result);
    EXPECT_EQ(hookCalls()[0].text, c.text);
  }
}

TEST_F(ZlibTest, PresetDictionaryIsReportedWithoutRaising) {
  TempDir dir;
  ASSERT_EQ(python(dir, "c = zlib.compressobj(zdict=b'maze ball maze ball')\n"
                        "open(d + '/dict', 'wb').write(c.compress(b'maze ball') + c.flush())\n"),
            0);
  const Bytes packed = asBytes(readBytes(dir.file("dict")));
  Bytes out(64);
  uint32_t size = 64;
  EXPECT_EQ(zlibUncompress(out.data(), &size, packed.data(), static_cast<uint32_t>(packed.size())), 2);
  EXPECT_TRUE(hookCalls().empty());
}

// zlib allocates through memHooks; a failure there is one raise of -2 after
// zlib has returned, and a corrupt stream inside a TRY block lands in CATCH.
TEST_F(ZlibTest, NoMemoryAndTryBlocks) {
  const Bytes plain = payload();
  Bytes out(plain.size() * 2);
  uint32_t size = static_cast<uint32_t>(out.size());
  memHookTable saved = memHooks;
  memHooks.alloc = [](size_t) -> void* { return nullptr; };
  EXPECT_EQ(zlibCompress(out.data(), &size, plain.data(), static_cast<uint32_t>(plain.size())), ERR_NO_MEMORY);
  EXPECT_EQ(zlibUncompress(out.data(), &size, plain.data(), static_cast<uint32_t>(plain.size())), ERR_NO_MEMORY);
  memHooks = saved;
  ASSERT_EQ(hookCalls().size(), 2u);
  EXPECT_EQ(hookCalls()[0].text, "No memory");

  hookCalls().clear();
  errCode caught = 0;
  ERR_TRY(frame) {
    size = static_cast<uint32_t>(out.size());
    zlibUncompress(out.data(), &size, plain.data(), static_cast<uint32_t>(plain.size()));
    ADD_FAILURE() << "not reached";
  }
  ERR_CATCH(frame, code) {
    caught = code;
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  EXPECT_EQ(caught, ERR_DATA);
}

}  // namespace
