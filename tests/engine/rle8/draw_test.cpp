// The draw entries and their dispatch, over every destination format, mode,
// key, depth and direction. The oracle is the engine's own draw of the same
// indices from a memory P8 image (its paletted kernels are tested on their
// own): an RLE8 draw must leave the destination, and the depths, exactly as
// that draw does.
#include <cmath>
#include <random>
#include <string>

#include "engine/img_row.h"
#include "rle8_fixture.h"

using namespace rle8_test;
using engine_test::makeImage;

namespace {

using Rle8Draw = engine_test::ImagesTest;
using Row = std::unique_ptr<imgRowCTy>;

constexpr int kW = 13, kH = 7;

// Key stretches around the edges and inside, repeats and literals.
Bytes sourcePels() {
  std::mt19937 rng(9);
  Bytes pels(size_t(kW) * kH, 0);
  for (int y = 1; y < kH - 1; ++y) {
    if (y == 3) continue;  // a null row inside the bounds
    for (int x = 2; x < kW - 1;) {
      const int kind = int(rng() % 3), n = 1 + int(rng() % 4);
      const uint8_t v = uint8_t(1 + rng() % 255);
      for (int i = 0; i < n && x < kW - 1; ++i, ++x)
        pels[size_t(y) * kW + x] = kind == 0 ? 0 : kind == 1 ? v : uint8_t(1 + rng() % 255);
    }
  }
  pels[size_t(1) * kW + 2] = 5;
  return pels;
}

Row p8Image(int w, int h, const Bytes& pels, bool keyed, palCTy* palette) {
  Row image(makeImage(w, h, pel_FMT_P8, 0, palette));
  std::memcpy(image->buffer, pels.data(), pels.size());
  if (keyed) image->SetColorKey(0);
  return image;
}

// The image mirrored by the draws' rule: one column wider, column c holding
// source column W - c (column 0 is the key).
Bytes mirrored(const Bytes& pels) {
  Bytes out(size_t(kW + 1) * kH, 0);
  for (int y = 0; y < kH; ++y)
    for (int c = 1; c <= kW; ++c) out[size_t(y) * (kW + 1) + c] = pels[size_t(y) * kW + kW - c];
  return out;
}

Row filled(int w, int h, int format, uint32_t seed) {
  Row image(makeImage(w, h, format));
  std::mt19937 rng(seed);
  for (int64_t i = 0; i < image->BufferBytes(); ++i) image->buffer[i] = uint8_t(rng());
  return image;
}

Bytes pelsOf(const imgRowCTy& image) { return Bytes(image.buffer, image.buffer + image.BufferBytes()); }

// Where two pel buffers differ first, and how many bytes differ.
std::string difference(const Bytes& got, const Bytes& want) {
  size_t first = got.size(), n = 0;
  for (size_t i = 0; i < got.size() && i < want.size(); ++i)
    if (got[i] != want[i]) {
      if (first == got.size()) first = i;
      ++n;
    }
  if (n == 0 && got.size() == want.size()) return "";
  const size_t at = first & ~size_t(3);
  std::string around;
  for (size_t i = at; i < at + 4 && i < got.size(); ++i) around += " " + std::to_string(got[i]) + "/" + std::to_string(want[i]);
  return "byte " + std::to_string(first) + ":" + around +
         " (" + std::to_string(n) + " bytes differ)";
}

bool unlocked(std::initializer_list<const imgCTy*> images) {
  for (const imgCTy* image : images)
    if (image && image->data) return false;
  return true;
}

}  // namespace

namespace {

// Which source index lands on each pel of a destination of w x h when the
// P8 image is copied at (2, 1) with rectangle r: -1 where nothing lands.
// Drawn onto 32-bit pels whose byte 3 starts at 0: the palette's entries
// carry 0x80 | i there, and i in B and G.
std::vector<int> landing(imgRowCTy& p8, const rectCTy& r, int w, int h) {
  Row canvas(makeImage(w, h, pel_FMT_X8R8G8B8, 0));
  imgDrawParams copy{};
  p8.DrawEx(canvas.get(), 2, 1, &r, &copy);
  std::vector<int> out;
  for (int i = 0; i < w * h; ++i) {
    const uint8_t* pel = canvas->buffer + 4 * i;
    out.push_back(pel[3] ? pel[0] >> 3 | (pel[1] >> 3) << 5 : -1);
  }
  return out;
}

// The modes the engine's draw of a P8 image does not share with the RLE8
// kernels, pel by pel: Alpha (drawn at 300, clamped to 256: the entry's
// colour, byte 3 and bit 15 kept), onto 32-bit pels Modulate2X and
// Subtract on B, G and R, onto R5G6B5 Subtract per field.
bool modelled(int format, int mode) {
  const bool wide32 = format == pel_FMT_X8R8G8B8 || format == pel_FMT_A8R8G8B8;
  return mode == pel_OP_ALPHA || (wide32 && (mode == pel_OP_MODULATE2X || mode == pel_OP_SUBTRACT)) ||
         (format == pel_FMT_R5G6B5 && mode == pel_OP_SUBTRACT);
}
void model(int format, int mode, uint8_t* d, const uint8_t* s) {
  const int n = pelBytes(format);
  if (mode == pel_OP_ALPHA) {
    if (n == 2) {
      const uint16_t keep = format == pel_FMT_R5G6B5 ? 0 : 0x8000;
      const uint16_t dv = uint16_t(d[0] | d[1] << 8), sv = uint16_t(s[0] | s[1] << 8);
      const uint16_t v = uint16_t((dv & keep) | (sv & ~keep));
      d[0] = uint8_t(v);
      d[1] = uint8_t(v >> 8);
    } else {
      std::memcpy(d, s, 3);
    }
    return;
  }
  if (n == 2) {
    const int dv = d[0] | d[1] << 8, sv = s[0] | s[1] << 8;
    int v = 0;
    for (const int mask : {0xF800, 0x07E0, 0x001F}) v |= std::max(0, (dv & mask) - (sv & mask));
    d[0] = uint8_t(v);
    d[1] = uint8_t(v >> 8);
    return;
  }
  for (int c = 0; c < 3; ++c)
    d[c] = uint8_t(mode == pel_OP_MODULATE2X ? std::min(255, (d[c] * s[c]) >> 7) : std::max(0, d[c] - s[c]));
}

int32_t depthAt(const imgRowCTy& z, int x, int y) {
  int32_t v;
  std::memcpy(&v, z.buffer + 4 * (size_t(y) * z.width + x), 4);
  return v;
}

}  // namespace

TEST_F(Rle8Draw, EveryFormatModeKeyDepthAndDirection) {
  const Bytes pels = sourcePels();
  palCTy palette;
  indexPalette(palette);
  constexpr int dw = kW + 4, dh = kH + 3;
  for (bool keyed : {false, true}) {
    Image rle = packed(kW, kH, pels, keyed ? 0 : kNoKey);
    const rectCTy b = rle->bounds;
    Row plain = p8Image(kW, kH, pels, keyed, &palette);
    Row flipped = p8Image(kW + 1, kH, mirrored(pels), keyed, &palette);
    const rectCTy sub{b.x + 1, b.y + 1, b.w - 3, b.h - 1};
    for (const rectCTy* rect : {static_cast<const rectCTy*>(nullptr), &sub}) {
      const rectCTy r = rect ? *rect : b;
      rectCTy m = r;  // r in mirrored-image pels
      m.x = kW - r.w - r.x + 1;
      const std::vector<int> lands = landing(*plain, r, dw, dh), landsMirrored = landing(*flipped, m, dw, dh);
      for (int format = pel_FMT_R8G8B8; format <= pel_FMT_A1R5G5B5; ++format) {
        const size_t n = size_t(pelBytes(format));
        palette.BuildTbl(format);
        for (int mode = -1; mode <= 16; ++mode) {
          for (bool depth : {false, true}) {
            for (bool mirror : {false, true}) {
              SCOPED_TRACE("format " + std::to_string(format) + " mode " + std::to_string(mode) +
                           (keyed ? " keyed" : "") + (depth ? " depth" : "") + (mirror ? " mirrored" : "") +
                           (rect ? " part" : " whole"));
              const uint32_t seed = uint32_t(format * 100 + mode);
              Row dst = filled(dw, dh, format, seed), want = filled(dw, dh, format, seed);
              Row zSrc = filled(kW, kH, pel_FMT_Z32, 1), zDst = filled(dw, dh, pel_FMT_Z32, 2);
              Row zWant = filled(dw, dh, pel_FMT_Z32, 2);
              imgDrawParams p{};
              p.mode = mode;
              p.alpha = mode == pel_OP_ALPHA ? 300 : 100;
              p.scaleX = p.scaleY = 1.0f;
              if (depth) {
                p.zSrc = zSrc.get();
                p.zDst = zDst.get();
              }
              if (mirror) {
                rectCTy given = m;
                rle->DrawExMirrorH(dst.get(), 2, 1, rect ? &given : nullptr, &p);
                if (rect) {
                  EXPECT_EQ(given.x, r.x);  // the caller's x, mirrored back
                }
              } else {
                rle->DrawEx(dst.get(), 2, 1, rect, &p);
              }
              EXPECT_TRUE(unlocked({dst.get(), zSrc.get(), zDst.get(), rle.get()}));

              // The oracle: the row loops' modes as they are, the stretch at
              // 1.0 as a copy; nothing for the modes without a member.
              const bool draws = mode == 0 || mode == 1 || (mode >= 4 && mode <= 11) || mode == 13;
              imgDrawParams q{};
              q.mode = mode == pel_OP_STRETCH ? pel_OP_COPY : mode;
              q.alpha = p.alpha;
              const std::vector<int>& at = mirror ? landsMirrored : lands;
              if (draws && modelled(format, mode)) {
                for (size_t i = 0; i < at.size(); ++i)
                  if (at[i] >= 0) model(format, mode, want->buffer + i * n, palette.table + size_t(at[i]) * n);
              } else if (draws) {
                (mirror ? flipped : plain)->DrawEx(want.get(), 2, 1, mirror ? &m : &r, &q);
              }
              // Depth members (unmirrored modes 0 and 4 to 11): a pel lands
              // where its depth is greater, and leaves its depth there.
              if (depth && !mirror && draws && mode != pel_OP_ALPHA && mode != pel_OP_STRETCH) {
                Row before = filled(dw, dh, format, seed);
                for (int y = 0; y < dh; ++y)
                  for (int x = 0; x < dw; ++x) {
                    const size_t i = size_t(y) * dw + x;
                    if (at[i] < 0) continue;
                    const int32_t zs = depthAt(*zSrc, x - 2, y - 1);
                    if (zs > depthAt(*zWant, x, y)) std::memcpy(zWant->buffer + 4 * i, &zs, 4);
                    else std::memcpy(want->buffer + i * n, before->buffer + i * n, n);
                  }
              }
              EXPECT_EQ(difference(pelsOf(*dst), pelsOf(*want)), "");
              EXPECT_EQ(difference(pelsOf(*zDst), pelsOf(*zWant)), "");
            }
          }
        }
      }
    }
  }
  EXPECT_EQ(reports().size(), 0u);
}
