#include "tools/ball_set.h"

#include <memory>
#include <stdexcept>
#include <vector>

#include "base/mem.h"
#include "engine/pal.h"
#include "engine/rle8/img_rle8.h"
#include "engine/rw.h"

namespace {

constexpr uint32_t kSetVersion1 = 0xFFFF0001;
constexpr char kClassName[] = "imgRle8CTy";

}  // namespace

Bytes ballSet(const BallFrames& ball) {
  std::vector<uint8_t> quads;
  for (const Rgba& c : ball.palette) quads.insert(quads.end(), {c.b, c.g, c.r, 0});
  palCTy palette;
  palette.Set(quads.data(), static_cast<uint32_t>(ball.palette.size()));
  pelFmtDesc desc;
  desc.Set(pel_FMT_P8, &palette);

  // Each frame packs its indices against the key index 0, then borrows the
  // set's palette, so that its header marks the palette as shared.
  std::vector<std::unique_ptr<imgRle8CTy>> frames;
  for (const auto& pels : ball.frames) {
    auto frame = std::make_unique<imgRle8CTy>();
    frame->SetSize(BallFrames::kSize, BallFrames::kSize, &desc);
    frame->SetColorKey(0);
    frame->Lock(nullptr, img_LOCK_WRITE);
    for (int y = 0; y < BallFrames::kSize; ++y)
      for (int x = 0; x < BallFrames::kSize; ++x)
        frame->data[y * frame->pitch + x] = pels[y * BallFrames::kSize + x];
    frame->Unlock();
    frame->SharePalette(&palette);
    frames.push_back(std::move(frame));
  }

  // The set's layout, version 1: counts, the palette, the palette indices,
  // the data offsets (filled in once the data is written), the class names,
  // every header, then every image's data.
  const int32_t n = static_cast<int32_t>(frames.size());
  rwMemBlock* written = nullptr;
  rwStream* s = rwWrOpen(nullptr, &written);
  rwWriteInt(s, static_cast<int32_t>(kSetVersion1));
  rwWriteInt(s, n);
  rwWriteInt(s, 1);
  palette.Write(s);
  std::vector<uint16_t> paletteIndices(n, 0);
  rwWrite(s, paletteIndices.data(), n * 2);
  const int32_t offsetsAt = s->position;
  for (int32_t i = 0; i < n; ++i) rwWriteInt(s, 0);
  rwWriteInt(s, sizeof kClassName - 1);
  rwWrite(s, kClassName, sizeof kClassName - 1);
  rwWriteInt(s, -1);
  for (auto& frame : frames) {
    rwWriteInt(s, 0);  // the class index
    frame->WriteHeader(s);
  }
  std::vector<int32_t> offsets;
  for (auto& frame : frames) {
    offsets.push_back(s->position);
    frame->WriteData(s);
  }
  const int32_t end = s->position;
  rwSetPos(s, offsetsAt);
  for (int32_t offset : offsets) rwWriteInt(s, offset);
  rwSetPos(s, end);
  const bool failed = s->failed != 0;
  rwClose(s);
  if (failed || !written) {
    memHooks.free(written);
    throw std::runtime_error("cannot make the ball's image set");
  }
  // The file's header: the block's words, the stored size before the
  // unpacked one.
  Bytes out;
  for (uint32_t word : {written->magic, written->flags, written->packer, written->reserved, written->size,
                        written->unpackedSize})
    put32(out, word);
  out.insert(out.end(), written->data, written->data + written->size);
  memHooks.free(written);
  return out;
}
