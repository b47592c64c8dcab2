// Helpers of the image operation tests: pictures over guarded buffers, and an
// independent model of what the draw with source alpha and the
// constant-weight blend write for one pel.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Lib/talvo/src/img/pel_reference.h"
#include "Lib/talvo/src/img/vector_levels.h"
#include "img/Image.h"
#include "img/Op.h"
#include "img/VectorLevel.h"
#include "talvo/Exception.h"

namespace opref {

using pelref::Buffer;
using pelref::Chan;
using pelref::Layout;
using pelref::layout;

// Every per-format list's order.
constexpr int all_types[] = {2, 3, 1, 4, 6, 5, 8, 7};

using vector_levels::at_every_level;

// Widths of the rectangles the row tests copy, draw and blend: short rows
// that only the per-pel step writes, and rows that take whole vectors of
// every level and leave a tail.
constexpr int row_widths[] = {6, 37};

// A picture over a guarded buffer.
struct Picture {
  Buffer buf;
  talvo::g::ImageRow image;
  Picture(int w, int h, const talvo::g::PelFmt& fmt, bool bottom_up, std::mt19937& rng)
      : buf(w, h, talvo::g::bytes_per_pel(fmt.type()), bottom_up, rng),
        image(w, h, fmt, buf.first_row(), buf.signed_pitch()) {}

  // Where pel (x, y) of this picture lies in a copy of its bytes.
  std::uint8_t* in(std::vector<std::uint8_t>& copy, int x, int y) {
    return copy.data() + (buf.at(x, y) - buf.bytes.data());
  }
};

// Gives a source picture the colour key `key` and plants a few more key pels:
// one equal to it, one differing only in bits the key test ignores, one
// differing in bit 0. st is the source's type, 0 for a paletted source (whose
// key test compares every bit).
inline void plant_key(Picture& src, int st, std::uint32_t key) {
  src.image.set_color_key(key);
  const int size = src.buf.size;
  const std::uint32_t ignored = st ? ~pelref::layout(st).key_mask & pelref::mask_of(size) : 0;
  pelref::store(src.buf.at(4, 4), size, key);
  pelref::store(src.buf.at(5, 2), size, key ^ ignored);
  pelref::store(src.buf.at(1, 6), size, key ^ 1);
}

// An operation made by an image's context, handed back to it on every path.
struct OpReleaser {
  talvo::g::ImageContext* context;
  void operator()(talvo::g::Op* op) const { context->delete_op(op); }
};
template <class O>
using OwnedOp = std::unique_ptr<O, OpReleaser>;

template <class O>
OwnedOp<O> own(talvo::g::Image& image, O* op) {
  return OwnedOp<O>(op, OpReleaser{image.context()});
}

// Runs a binary operation from the context on dst.
template <class O>
void run_binary(talvo::g::Image& dst, std::int32_t x, std::int32_t y, talvo::g::Image& src,
                const talvo::g::Rect* source_rect, O* made) {
  OwnedOp<O> op = own(dst, made);
  dst.apply_binary(x, y, src, source_rect, *op);
}

// Runs a unary operation from the context on an image, over a rectangle
// (null: the whole image).
template <class O>
void run_unary(talvo::g::Image& image, const talvo::g::Rect* rect, O* made) {
  OwnedOp<O> op = own(image, made);
  op->image = &image;
  op->rect = rect;
  image.apply(*op);
}

// One kind of destination and source, and what a binary operation does with
// them: "written", "nothing", or the message it throws.
struct DispatchCase {
  talvo::g::PelFmt dst, src;
  const char* want;
};

// Runs `run(dst, src)` for each case, on a zeroed destination and a source of
// index 0 or all-ones pels, and checks the outcome; a throw must leave the
// destination as it was.
template <class Run>
void check_dispatch(std::initializer_list<DispatchCase> cases, Run run) {
  std::mt19937 rng(9);
  for (const DispatchCase& k : cases) {
    Picture dst(4, 3, k.dst, false, rng);
    Picture src(4, 3, k.src, false, rng);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) {
        pelref::store(dst.buf.at(x, y), dst.buf.size, 0);
        pelref::store(src.buf.at(x, y), src.buf.size, k.src.type() == 9 ? 0 : 0xFFFFFFFFu);
      }
    const std::vector<std::uint8_t> before = dst.buf.bytes;
    std::string got;
    try {
      run(dst.image, src.image);
      got = dst.buf.bytes == before ? "nothing" : "written";
    } catch (const talvo::Exception& e) {
      got = e.what();
      EXPECT_EQ(dst.buf.bytes, before);
    }
    EXPECT_EQ(got, k.want) << "destination " << k.dst.type() << (k.dst.palette() ? "p" : "") << ", source "
                           << k.src.type() << (k.src.palette() ? "p" : "");
  }
}

// `run(dst, src, source_rect)` with source rectangles without pels changes
// nothing.
template <class Run>
void check_empty_source_rects(int dt, int st, Run run) {
  std::mt19937 rng(1);
  Picture dst(4, 4, talvo::g::PelFmt(dt), false, rng);
  Picture src(4, 4, talvo::g::PelFmt(st), false, rng);
  const std::vector<std::uint8_t> before = dst.buf.bytes;
  for (const talvo::g::Rect s : {talvo::g::Rect{2, 1, 2, 3}, talvo::g::Rect{3, 3, 1, 4}, talvo::g::Rect{0, 2, 4, 2}}) {
    run(dst.image, src.image, &s);
    EXPECT_EQ(dst.buf.bytes, before);
  }
}

// `run(image)` on indexed images and types 10 and 11 throws "NOT
// IMPLEMENTED" and writes nothing.
template <class Run>
void check_refused_on_indexed(Run run) {
  const talvo::g::Rgba8888 c[] = {{0xFF000000}};
  talvo::g::Palette pal;
  pal.set(c, 1);
  using talvo::g::PelFmt;
  for (const PelFmt& f : {PelFmt(9), PelFmt(9, &pal), PelFmt(10), PelFmt(11), PelFmt(2, &pal)}) {
    std::uint32_t pels[4] = {1, 2, 3, 4};
    talvo::g::ImageRow img(2, 2, f, reinterpret_cast<std::uint8_t*>(pels), 8);
    try {
      run(img);
      ADD_FAILURE() << "type " << f.type() << " was written";
    } catch (const talvo::Exception& e) {
      EXPECT_STREQ(e.what(), "NOT IMPLEMENTED");
    }
    EXPECT_EQ(pels[0], 1u);
    EXPECT_EQ(pels[3], 4u);
  }
}

// The colour fields of `prior` (a pel of type dt) mixed with those of `t`
// (a pel of the same type) at weight w/256 for t; other bits of prior kept.
inline std::uint32_t mix(int dt, std::uint32_t prior, std::uint32_t t, std::int64_t w) {
  const Layout& d = layout(dt);
  std::uint32_t out = prior;
  for (const Chan& c : {d.r, d.g, d.b}) {
    const std::int64_t cs = c.get(t), cd = c.get(prior);
    const std::uint32_t v = std::uint32_t((cs * w) / 256 + (cd * (256 - w)) / 256);
    const std::uint32_t field = ((1u << c.bits) - 1) << c.shift;
    out = (out & ~field) | ((v << c.shift) & field);
  }
  return out;
}

// The alpha of a pel of type st on the scale 0 to 255.
inline std::uint32_t alpha_255(int st, std::uint32_t v) {
  const Chan& a = layout(st).a;
  return pelref::scale(a.get(v), a.bits, 8);
}

// The draw of a source pel v of type st (with alpha) onto `prior` of type dt.
inline std::uint32_t draw_pel(int dt, std::uint32_t prior, int st, std::uint32_t v) {
  const std::uint32_t a = alpha_255(st, v);
  if (a == 0) return prior;
  if (a == 255) return pelref::copy_pel(dt, prior, st, v);
  return mix(dt, prior, pelref::convert(dt, 0, st, v), a);
}

// Which rule the blend uses for a pair: 'P' weighted without shortcuts, 'D'
// difference form, 'W' weighted with shortcuts at 0 and 255. st 0 stands for
// a paletted source.
inline char blend_rule(int dt, int st) {
  if (dt == 2 && (st == 2 || st == 0)) return 'P';
  if (dt == 4 && (st == 4 || st == 0)) return 'D';
  return 'W';
}

// floor(n / 256) for any sign.
inline std::int64_t floor_div_256(std::int64_t n) { return n >= 0 ? n / 256 : -((-n + 255) / 256); }

// The blend of a source pel onto `prior` of type dt at weight k (0 to 256).
// A direct-colour source gives st and its pel v; a paletted source gives
// st = 0 and v its palette entry already in dt's format.
inline std::uint32_t blend_pel(int dt, std::uint32_t prior, int st, std::uint32_t v, int k) {
  const std::uint32_t t = st == 0 ? v : pelref::convert(dt, 0, st, v);
  switch (blend_rule(dt, st)) {
    case 'P':
      return mix(dt, prior, t, k);
    case 'D': {
      std::uint32_t out = 0;
      for (const Chan& c : {layout(dt).r, layout(dt).g, layout(dt).b}) {
        const std::int64_t cd = c.get(prior), cs = c.get(t);
        out |= (std::uint32_t(cd + floor_div_256((cs - cd) * k)) & ((1u << c.bits) - 1)) << c.shift;
      }
      return out;
    }
    default:
      if (k == 0) return prior;
      if (k == 255) return st == 0 ? v : pelref::copy_pel(dt, prior, st, v);
      return mix(dt, prior, t, k);
  }
}

}  // namespace opref
