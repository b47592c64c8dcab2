// rw streams, files and the class registry, and memory images through them.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/pack.h"
#include "images_fixture.h"
#include "support/shell.h"
#include "support/temp_dir.h"

using namespace engine_test;

namespace {

using RwTest = ImagesTest;

Bytes payload(size_t n) {
  Bytes b;
  for (size_t i = 0; i < n; ++i) b.push_back(uint8_t(i % 97 < 40 ? 'a' + i % 5 : (i * 2654435761u) >> 24));
  return b;
}

void put(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// An rw file's bytes: header words, then the stored data.
Bytes rwFile(uint32_t magic, uint32_t flags, uint32_t packer, uint32_t storedSize, uint32_t unpacked,
             const Bytes& stored) {
  Bytes b;
  for (uint32_t v : {magic, flags, packer, 0u, storedSize, unpacked}) put(b, v);
  b.insert(b.end(), stored.begin(), stored.end());
  return b;
}

Bytes lzPacked(const Bytes& plain) {
  Bytes out(plain.size() * 2 + 16);
  const int32_t n = lzPack(plain.data(), uint32_t(plain.size()), out.data(), uint32_t(out.size()));
  out.resize(size_t(n));
  return out;
}

Bytes zlibPacked(const Bytes& plain) {
  Bytes out(plain.size() * 2 + 64);
  uint32_t n = uint32_t(out.size());
  zlibCompress(out.data(), &n, plain.data(), uint32_t(plain.size()));
  out.resize(n);
  return out;
}

std::string str(const Bytes& b) { return std::string(b.begin(), b.end()); }
Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes streamData(const rwStream* s) { return s->data ? Bytes(s->data, s->data + s->length) : Bytes(); }

using Stream = std::unique_ptr<rwStream, void (*)(rwStream*)>;
Stream open(const std::string& path) { return Stream(rwRdOpen(path.c_str()), rwClose); }

}  // namespace

TEST_F(RwTest, BufferWritesGrowAndReadsStopAtTheData) {
  rwStream* w = rwWrOpen(nullptr, nullptr);
  EXPECT_EQ(w->magic, RW_MAGIC_RW2);
  EXPECT_EQ(w->packer, RW_PACKER_ZLIB);
  rwWriteInt(w, 0x04030201);
  EXPECT_EQ(w->unpackedSize, 4 + 0xA00000);  // n + 10 MiB
  rwWrite(w, "abcd", 4);
  rwSetPos(w, 2);
  rwWrite(w, "XY", 2);  // below the size: overwritten, size kept
  EXPECT_EQ(w->size, 8);
  EXPECT_EQ(w->position, 4);
  // A position past the capacity: the buffer grows to hold it; the gap is
  // zero.
  rwSetPos(w, 0xA00000 + 100);
  rwWrite(w, "z", 1);
  EXPECT_EQ(w->size, 0xA00000 + 101);
  EXPECT_GT(w->unpackedSize, 0xA00000 + 101);
  for (int i = 8; i < 0xA00000 + 100; i += 4093) ASSERT_EQ(w->data[i], 0) << i;
  EXPECT_EQ(w->data[0xA00000 + 99], 0);
  EXPECT_EQ(w->data[0xA00000 + 100], 'z');
  EXPECT_EQ(Bytes(w->data, w->data + 8), bytes(std::string("\x01\x02XYabcd", 8)));
  EXPECT_EQ(w->failed, 0);
  rwSetPos(w, -1);
  rwWrite(w, "q", 1);
  EXPECT_EQ(w->failed, 1);
  discard(w);

  Bytes b;
  put(b, 0xFFFFFFFF);  // no string
  put(b, 0);           // ""
  put(b, 3);
  for (char c : std::string("abc")) b.push_back(uint8_t(c));
  put(b, 7);  // past the data
  rwStream* r = readStream(b);
  EXPECT_EQ(rwReadString(r), nullptr);
  EXPECT_EQ(r->position, 4);
  char* empty = rwReadString(r);
  ASSERT_NE(empty, nullptr);
  EXPECT_STREQ(empty, "");
  EXPECT_EQ(r->position, 8);
  char* abc = rwReadString(r);
  EXPECT_STREQ(abc, "abc");
  memHooks.free(empty);
  memHooks.free(abc);
  EXPECT_EQ(r->failed, 0);
  EXPECT_EQ(rwReadString(r), nullptr);
  EXPECT_EQ(r->failed, 1);
  // Past the data: zeros, nothing moves.
  r->failed = 0;
  rwSetPos(r, 17);
  EXPECT_EQ(rwReadInt(r), 0);
  EXPECT_EQ(r->failed, 1);
  EXPECT_EQ(r->position, 17);
  uint8_t out[4] = {1, 2, 3, 4};
  rwRead(r, out, 4);
  EXPECT_EQ(Bytes(out, out + 4), Bytes(4, 0));
  // A length below -1.
  Bytes neg;
  put(neg, 0xFFFFFFFE);
  put(neg, 0);
  rwStream* n = readStream(neg);
  EXPECT_EQ(rwReadString(n), nullptr);
  EXPECT_EQ(n->failed, 1);
  rwClose(n);
  rwClose(r);
}

TEST_F(RwTest, ReadingFiles) {
  TempDir dir;
  const Bytes plain = payload(3000);
  const Bytes lz = lzPacked(plain), zl = zlibPacked(plain);
  Bytes badZlib = zl;
  badZlib[zl.size() / 2] ^= 0x5A;
  Bytes badLz = lz;
  badLz.resize(lz.size() - 3);
  const uint32_t n = uint32_t(plain.size());
  const std::string wrong = "Wrong file or obsolete file format.";
  struct Case {
    const char* what;
    Bytes file;
    Bytes data;            // what the stream holds
    int failed;
    const char* report;    // once, or none
  } cases[] = {
      {"rw2 plain", rwFile(RW_MAGIC_RW2, 0, 1, n, 0, plain), plain, 0, nullptr},
      {"rw1 reads as rw2", rwFile(RW_MAGIC_RW1, 0, 0, n, 7, plain), plain, 0, nullptr},
      {"a wrong magic is reported, read on", rwFile(0x00337772, 0, 1, n, 0, plain), plain, 0, wrong.c_str()},
      {"empty plain", rwFile(RW_MAGIC_RW2, 0, 1, 0, 0, {}), {}, 0, nullptr},
      {"LZ", rwFile(RW_MAGIC_RW2, 1, 0, uint32_t(lz.size()), n, lz), plain, 0, nullptr},
      {"LZ into a larger buffer", rwFile(RW_MAGIC_RW2, 1, 0, uint32_t(lz.size()), n + 9999, lz), plain, 0, nullptr},
      {"LZ with a hostile buffer size", rwFile(RW_MAGIC_RW2, 1, 0, uint32_t(lz.size()), 0xFFFFFFFF, lz), plain, 0,
       nullptr},
      {"LZ larger than its buffer", rwFile(RW_MAGIC_RW2, 1, 0, uint32_t(lz.size()), n - 1, lz), {}, 1, "Data error"},
      {"LZ cut short", rwFile(RW_MAGIC_RW2, 1, 0, uint32_t(badLz.size()), n, badLz), {}, 1, "Data error"},
      {"zlib", rwFile(RW_MAGIC_RW2, 1, 1, uint32_t(zl.size()), n, zl), plain, 0, nullptr},
      {"zlib with a hostile buffer size", rwFile(RW_MAGIC_RW2, 1, 1, uint32_t(zl.size()), 0x7FFFFFFF, zl), plain, 0,
       nullptr},
      {"zlib larger than its buffer", rwFile(RW_MAGIC_RW2, 1, 1, uint32_t(zl.size()), n / 2, zl), {}, 1,
       "Can't unpack."},
      {"zlib damaged", rwFile(RW_MAGIC_RW2, 1, 1, uint32_t(zl.size()), n, badZlib), {}, 1, "Can't unpack."},
      {"unknown packer", rwFile(RW_MAGIC_RW2, 1, 2, uint32_t(zl.size()), n, zl), {}, 1,
       "rwRdOpen: Unknown packer type"},
      {"flags 2", rwFile(RW_MAGIC_RW2, 2, 1, n, 0, plain), {}, 1, nullptr},
      {"flags 4 (the mapped mark)", rwFile(RW_MAGIC_RW2, 4, 1, n, 0, plain), {}, 1, nullptr},
      {"flags 5", rwFile(RW_MAGIC_RW2, 5, 1, uint32_t(zl.size()), n, zl), {}, 1, nullptr},
      {"data cut short", rwFile(RW_MAGIC_RW2, 0, 1, n + 1, 0, plain), {}, 1, nullptr},
      {"a stored size of 4 GiB", rwFile(RW_MAGIC_RW2, 0, 1, 0xFFFFFFF0, 0, plain), {}, 1, nullptr},
      {"a stored size of 2 GiB", rwFile(RW_MAGIC_RW2, 0, 1, 0x7FFFFFF0, 0, plain), {}, 1, nullptr},
      {"header cut short", Bytes{'r', 'w', '2', 0, 0, 0, 0, 0, 1, 0}, {}, 1, nullptr},
      {"two bytes", Bytes{'r', 'w'}, {}, 1, nullptr},
  };
  for (const Case& c : cases) {
    const std::string path = dir.file("case.rw");
    writeBytes(path, str(c.file));
    Stream s = open(path);
    EXPECT_EQ(s->mode, 1) << c.what;
    EXPECT_EQ(s->position, 0) << c.what;
    EXPECT_EQ(s->failed, c.failed) << c.what;
    EXPECT_EQ(streamData(s.get()), c.data) << c.what;
    if (c.failed) {
      EXPECT_EQ(s->data, nullptr) << c.what;
    }
    const auto shown = reports();
    if (c.report) {
      ASSERT_EQ(shown.size(), 1u) << c.what;
      EXPECT_NE(shown[0].find(c.report), std::string::npos) << c.what << ": " << shown[0];
    } else {
      EXPECT_TRUE(shown.empty()) << c.what << ": " << (shown.empty() ? "" : shown[0]);
    }
  }

  // A missing file: one -17, then an empty stream.
  Stream missing = open(dir.file("missing.rw"));
  EXPECT_EQ(reported("Can't open file '" + dir.file("missing.rw") + "'"), 1);
  EXPECT_EQ(missing->magic, RW_MAGIC_RW2);
  EXPECT_EQ(missing->length, 0);
  EXPECT_EQ(missing->failed, 1);
  EXPECT_EQ(rwReadInt(missing.get()), 0);

  // Inside a TRY frame a raise jumps out of the reader, which frees what it
  // held (ASan's leak check).
  for (const Bytes& file : {rwFile(RW_MAGIC_RW2, 1, 0, uint32_t(badLz.size()), n, badLz),
                            rwFile(RW_MAGIC_RW2, 1, 1, uint32_t(zl.size()), n, badZlib)}) {
    writeBytes(dir.file("try.rw"), str(file));
    errCode caught = 0;
    ERR_TRY(frame) { rwClose(rwRdOpen(dir.file("try.rw").c_str())); }
    ERR_CATCH(frame, code) {
      caught = code;
      errEndCatch(errGetState(), &frame);
    }
    ERR_END_TRY
    EXPECT_NE(caught, 0);
  }
  EXPECT_TRUE(reports().empty());
}

TEST_F(RwTest, WritingFilesAndMemory) {
  TempDir dir;
  const Bytes plain = payload(5000);
  struct Case {
    const char* what;
    uint32_t flags;
    int32_t packer;
    Bytes data;
    uint32_t storedFlags;  // in the file
    const char* report;
  } cases[] = {
      {"plain", 0, RW_PACKER_ZLIB, plain, 0, nullptr},
      {"LZ", 1, RW_PACKER_LZ, plain, 1, nullptr},
      {"zlib", 1, RW_PACKER_ZLIB, plain, 1, nullptr},
      {"nothing written, zlib", 1, RW_PACKER_ZLIB, {}, 1, nullptr},
      // LZ data that does not shrink is no packing: reported once (the
      // packer's own raise is caught), the plain data written.
      {"LZ that does not shrink", 1, RW_PACKER_LZ, Bytes{1, 2, 3}, 0, "rwClose: Can't pack file."},
      {"nothing written, LZ", 1, RW_PACKER_LZ, {}, 0, "rwClose: Can't pack file."},
      {"unknown packer", 1, 5, plain, 0, "rwClose: Unknown packer type"},
  };
  for (const Case& c : cases) {
    const std::string path = dir.file("out.rw");
    rwStream* w = rwWrOpen(path.c_str());
    w->flags = c.flags;
    w->packer = c.packer;
    if (!c.data.empty()) rwWrite(w, c.data.data(), int32_t(c.data.size()));
    const int32_t capacity = w->unpackedSize;
    rwClose(w);
    if (c.report) {
      EXPECT_EQ(reported(c.report), 1) << c.what;
    } else {
      EXPECT_TRUE(reports().empty()) << c.what;
    }

    const Bytes file = bytes(readBytes(path));
    ASSERT_GE(file.size(), 24u) << c.what;
    uint32_t words[6];
    std::memcpy(words, file.data(), 24);
    EXPECT_EQ(words[0], RW_MAGIC_RW2) << c.what;
    EXPECT_EQ(words[1], c.storedFlags) << c.what;
    EXPECT_EQ(words[4], file.size() - 24) << c.what;
    EXPECT_EQ(words[5], uint32_t(capacity)) << c.what;  // the unpacked size written is the capacity
    if (!c.storedFlags) {
      EXPECT_EQ(Bytes(file.begin() + 24, file.end()), c.data) << c.what;
    }
    Stream back = open(path);
    EXPECT_EQ(back->failed, 0) << c.what;
    EXPECT_EQ(streamData(back.get()), c.data) << c.what;
  }

  // The memory target gets one block: the words, the address of the bytes,
  // the bytes.
  rwMemBlock* block = nullptr;
  rwStream* w = rwWrOpen(nullptr, &block);
  w->flags = 1;
  w->packer = RW_PACKER_LZ;
  rwWrite(w, plain.data(), int32_t(plain.size()));
  const uint32_t capacity = uint32_t(w->unpackedSize);
  rwClose(w);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->magic, RW_MAGIC_RW2);
  EXPECT_EQ(block->flags, 1u);
  EXPECT_EQ(block->packer, 0u);
  EXPECT_EQ(block->unpackedSize, capacity);
  EXPECT_EQ(block->data, reinterpret_cast<uint8_t*>(block + 1));
  EXPECT_EQ(Bytes(block->data, block->data + block->size), lzPacked(plain));
  memHooks.free(block);

  // A file that cannot be created: one -17, and nothing is left behind.
  const std::string nowhere = dir.file("no/such/dir/out.rw");
  rwStream* lost = rwWrOpen(nowhere.c_str());
  rwWriteInt(lost, 1);
  rwClose(lost);
  EXPECT_EQ(reported("Can't open file '" + nowhere + "'"), 1);
}

TEST_F(RwTest, ZlibFilesEqualPythons) {
  TempDir dir;
  const Bytes plain = payload(20000);
  writeBytes(dir.file("plain"), str(plain));
  const std::string script = "import sys, zlib\nd = sys.argv[1]\n"
                             "open(d + '/py', 'wb').write(zlib.compress(open(d + '/plain', 'rb').read()))\n";
  writeBytes(dir.file("run.py"), script);
  ASSERT_EQ(runPython({dir.file("run.py"), dir.path.string()}), 0);
  const Bytes python = bytes(readBytes(dir.file("py")));

  rwStream* w = rwWrOpen(dir.file("ours.rw").c_str());
  w->flags = RW_FLAG_PACKED;
  rwWrite(w, plain.data(), int32_t(plain.size()));
  rwClose(w);
  const Bytes ours = bytes(readBytes(dir.file("ours.rw")));
  EXPECT_EQ(Bytes(ours.begin() + 24, ours.end()), python);

  // Python's stream in a file of ours reads back.
  writeBytes(dir.file("theirs.rw"), str(rwFile(RW_MAGIC_RW2, 1, 1, uint32_t(python.size()), 20000, python)));
  Stream back = open(dir.file("theirs.rw"));
  EXPECT_EQ(streamData(back.get()), plain);
}

TEST_F(RwTest, MemoryImagesRoundTrip) {
  TempDir dir;
  palCTy pal;
  setColours(pal, {0xFF000000, 0xFF102030, 0xFFF8F8F8});
  std::unique_ptr<imgRowCTy> paletted(makeImage(3, 2, pel_FMT_P8, 0, &pal));
  paletted->SetPalette(&pal);
  for (int i = 0; i < 6; ++i) paletted->buffer[i] = uint8_t(i % 3);
  paletted->SetColorKeyRGB(0x00102030);
  std::unique_ptr<imgRowCTy> wide(makeImage(5, 1, pel_FMT_R5G6B5));
  for (int i = 0; i < 10; ++i) wide->buffer[i] = uint8_t(0xF0 + i);

  const std::string path = dir.file("images.rw");
  rwStream* w = rwWrOpen(path.c_str());
  w->flags = RW_FLAG_PACKED;
  paletted->Write(w);
  const int32_t keyedHeader = w->position;
  wide->WriteHeader(w);
  const int32_t plainHeader = w->position - keyedHeader;
  wide->WriteData(w);
  rwClose(w);
  // 12 bytes (20 keyed) before the descriptor, the bounds after it.
  EXPECT_EQ(plainHeader, 12 + 8 + 16);
  EXPECT_EQ(keyedHeader, 20 + 8 + 4 + 9 + 16 + 6);

  for (bool inPlace : {false, true}) {
    Stream s = open(path);
    ASSERT_EQ(s->failed, 0);
    for (imgRowCTy* want : {paletted.get(), wide.get()}) {
      std::unique_ptr<rwObjCTy> object(rwObjCreateByClassName("imgRowCTy"));
      auto* got = dynamic_cast<imgRowCTy*>(object.get());
      ASSERT_NE(got, nullptr);
      const uint8_t* at = s->data + s->position;
      if (inPlace) {
        got->ReadInPlace(s.get());
        // The pels lie in the stream's data, just after the header; the
        // position stays there.
        EXPECT_EQ(got->borrowedPels, 1);
        EXPECT_EQ(s->data + s->position, got->buffer);
        rwSetPos(s.get(), s->position + int32_t(got->BufferBytes()));
      } else {
        got->Read(s.get());
        EXPECT_EQ(got->borrowedPels, 0);
        EXPECT_TRUE(got->buffer < s->data || got->buffer >= s->data + s->length);
      }
      (void)at;
      EXPECT_EQ(got->width, want->width);
      EXPECT_EQ(got->height, want->height);
      EXPECT_EQ(got->PelFormat(), want->PelFormat());
      EXPECT_EQ(got->keyFlag, want->keyFlag);
      EXPECT_EQ(got->keyColor, want->keyColor);
      EXPECT_EQ(got->keyPel, want->keyPel);
      EXPECT_EQ(got->bounds.w, want->width);
      EXPECT_EQ(got->rowLength, want->width);
      ASSERT_EQ(got->desc.palette != nullptr, want->desc.palette != nullptr);
      for (uint32_t i = 0; want->desc.palette && i < 3; ++i) EXPECT_EQ(got->desc.palette->Entry(i), pal.Entry(i));
      EXPECT_EQ(Bytes(got->buffer, got->buffer + got->BufferBytes()),
                Bytes(want->buffer, want->buffer + want->BufferBytes()));
      EXPECT_EQ(got->PelAtXY(got->width - 1, got->height - 1), want->PelAtXY(want->width - 1, want->height - 1));
      // Resizing pels borrowed from the stream gives the image its own.
      if (inPlace && want == wide.get()) {
        uint8_t* borrowed = got->buffer;
        got->SetSize(2, 2, nullptr);
        EXPECT_NE(got->buffer, borrowed);
        EXPECT_EQ(got->borrowedPels, 0);
      }
    }
    EXPECT_EQ(s->failed, 0);
    EXPECT_EQ(s->position, s->length);
  }
  EXPECT_TRUE(reports().empty());
}

TEST_F(RwTest, HostileImagesReadNoPels) {
  auto image = [](int32_t w, int32_t h, int32_t format, size_t pelBytesFollowing) {
    Bytes b;
    for (int32_t v : {w, h, 0, format, 0, 0, 0, w, h}) put(b, uint32_t(v));
    b.resize(b.size() + pelBytesFollowing, 0xAB);
    return b;
  };
  struct Case {
    const char* what;
    Bytes bytes;
    int failed;
  } cases[] = {
      {"whole", image(4, 3, pel_FMT_R5G6B5, 24), 0},
      {"pels past the data", image(4, 3, pel_FMT_R5G6B5, 23), 1},
      {"negative width", image(-4, 3, pel_FMT_R5G6B5, 24), 1},
      {"negative height", image(4, -3, pel_FMT_R5G6B5, 24), 1},
      {"format 11", image(4, 3, 11, 24), 1},
      {"huge", image(0x10000, 0x10000, pel_FMT_A8R8G8B8, 16), 1},
      {"bytes beyond 64 bits", image(0x7FFFFFFF, 0x7FFFFFFF, pel_FMT_A8R8G8B8, 16), 1},
  };
  for (bool inPlace : {false, true}) {
    for (const Case& c : cases) {
      rwStream* s = readStream(c.bytes);
      imgRowCTy image;
      if (inPlace)
        image.ReadInPlace(s);
      else
        image.Read(s);
      EXPECT_EQ(s->failed, c.failed) << c.what;
      EXPECT_EQ(image.buffer != nullptr, !c.failed) << c.what;
      image.Lock(nullptr, img_LOCK_READ);
      if (c.failed) {
        EXPECT_EQ(image.data, nullptr) << c.what;
      }
      image.Unlock();
      rwClose(s);
    }
  }
  EXPECT_TRUE(reports().empty());
}

TEST_F(RwTest, ClassRegistry) {
  for (const char* name : {"imgRowCTy", "rwObjCTy"}) {
    std::unique_ptr<rwObjCTy> object(rwObjCreateByClassName(name));
    ASSERT_NE(object, nullptr) << name;
    EXPECT_STREQ(object->GetClassName(), name);
  }
  // Unknown names: reported per call, as text even when they look like a
  // format; names are case-sensitive.
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(rwObjCreateByClassName("rwTestThing%s%n"), nullptr);
    EXPECT_EQ(reported("rwObjCreateByClassName: Unknown class name. rwTestThing%s%n"), 1);
  }
  EXPECT_EQ(rwObjCreateByClassName("imgrowcty"), nullptr);
  EXPECT_EQ(reported("Unknown class name. imgrowcty"), 1);
  // Registered afterwards, it is creatable (a name of this run's own).
  static int runs = 0;
  const std::string fresh = "rwTestThing" + std::to_string(++runs);
  EXPECT_EQ(rwObjCreateByClassName(fresh.c_str()), nullptr);
  EXPECT_EQ(reported("Unknown class name. " + fresh), 1);
  EXPECT_TRUE(rwRegisterClass(fresh.c_str(), [] { return static_cast<rwObjCTy*>(new imgRowCTy); }));
  std::unique_ptr<rwObjCTy> made(rwObjCreateByClassName(fresh.c_str()));
  EXPECT_NE(made, nullptr);
  EXPECT_TRUE(reports().empty());
}
