// What the image tests share: a clean error system whose reports are
// captured (headless boxes answer Ignore), images made in one call, and
// streams over bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/err.h"
#include "engine/img_row.h"
#include "base/mem.h"
#include "engine/rw.h"
#include "platform/test_api.h"

namespace engine_test {

using Bytes = std::vector<uint8_t>;

class ImagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    errInit();
    errSetTryHead(nullptr);
    plat::test::clearMessageBoxAnswers();
    plat::test::takeMessageBoxes();
  }
  void TearDown() override { errSetTryHead(nullptr); }

  // The texts of the reports shown since the last call.
  static std::vector<std::string> reports() {
    std::vector<std::string> texts;
    for (auto& box : plat::test::takeMessageBoxes()) texts.push_back(box.text);
    return texts;
  }
  // How many of the reports shown since the last call hold the message.
  static int reported(const std::string& message) {
    int n = 0;
    for (auto& text : reports()) n += text.find(message) != std::string::npos;
    return n;
  }
};

// A new memory image of the format with every byte set to `fill`.
inline imgRowCTy* makeImage(int w, int h, int format, uint8_t fill = 0, palCTy* palette = nullptr) {
  pelFmtDesc d;
  d.Set(format, palette);
  auto* image = new imgRowCTy;
  image->SetSize(w, h, &d);
  std::memset(image->buffer, fill, size_t(image->BufferBytes()));
  return image;
}

// A palette of colours (B, G, R, A as 0xAARRGGBB; A kept as given).
inline void setColours(palCTy& p, const std::vector<uint32_t>& colours) {
  Bytes quads;
  for (uint32_t c : colours)
    for (int i = 0; i < 4; ++i) quads.push_back(uint8_t(c >> (8 * i)));
  p.Set(quads.data(), uint32_t(colours.size()));
  for (size_t i = 0; i < colours.size(); ++i) p.entries[i].a = uint8_t(colours[i] >> 24);
}

// A read stream over a copy of the bytes, as rwRdOpen leaves a plain file.
inline rwStream* readStream(const Bytes& bytes) {
  rwMemBlock* block = nullptr;
  rwStream* w = rwWrOpen(nullptr, &block);
  if (!bytes.empty()) rwWrite(w, bytes.data(), int32_t(bytes.size()));
  rwClose(w);
  auto* s = new rwStream;
  s->mode = 1;
  s->data = static_cast<uint8_t*>(memAlloc(block->size + 1));
  std::memcpy(s->data, block->data, block->size);
  s->size = s->length = int32_t(block->size);
  memHooks.free(block);
  return s;
}

// Ends a written stream, keeping nothing of it.
inline void discard(rwStream* w) {
  rwMemBlock* block = nullptr;
  w->memTarget = &block;
  rwClose(w);
  memHooks.free(block);
}

// The bytes a written stream holds so far.
inline Bytes written(const rwStream* s) { return Bytes(s->data, s->data + s->size); }

// The bytes an object's Write gives.
inline Bytes stored(rwObjCTy& object) {
  rwMemBlock* block = nullptr;
  rwStream* w = rwWrOpen(nullptr, &block);
  object.Write(w);
  rwClose(w);
  Bytes out(block->data, block->data + block->size);
  memHooks.free(block);
  return out;
}

// A read stream over an exact-size copy of the bytes: a read past them is an
// ASan fault.
struct ExactStream {
  rwStream stream;
  explicit ExactStream(const Bytes& bytes) {
    stream.mode = 1;
    stream.data = static_cast<uint8_t*>(memAlloc(bytes.empty() ? 1 : bytes.size()));
    if (!bytes.empty()) std::memcpy(stream.data, bytes.data(), bytes.size());
    stream.size = stream.length = int32_t(bytes.size());
  }
  ~ExactStream() { memHooks.free(stream.data); }
  ExactStream(const ExactStream&) = delete;
  ExactStream& operator=(const ExactStream&) = delete;
};

}  // namespace engine_test
