// An independent model of the filtered resampling for the tests: pels as
// plain numbers in a vector, layouts from pel_reference.h, every footprint
// edge divided afresh, every sample weighed channel by channel in 64 bits.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Lib/talvo/src/img/pel_reference.h"

namespace resref {

using pelref::Layout;

struct Picture {
  std::int64_t width, height;
  std::vector<std::uint32_t> pels;  // row by row
};

// Mode 1 filter, 2 columns wrap, 3 rows wrap, 4 both.
inline bool columns_wrap(int mode) { return mode == 2 || mode == 4; }
inline bool rows_wrap(int mode) { return mode == 3 || mode == 4; }

class Model {
 public:
  Model(const Layout& l, bool keyed, std::uint32_t key) : l_(l), keyed_(keyed), key_(key) {}

  // A sample interpolated in each row with the row's own fraction, the rows
  // mixed by fy.
  void rows(std::uint32_t tl, std::uint32_t tr, std::int64_t fxt, std::uint32_t bl, std::uint32_t br,
            std::int64_t fxb, std::int64_t fy) {
    for (int c = 0; c < channels(); ++c) {
      const pelref::Chan ch = chan(c);
      const std::int64_t top = std::int64_t(ch.get(tl)) * (65536 - fxt) + std::int64_t(ch.get(tr)) * fxt;
      const std::int64_t bottom = std::int64_t(ch.get(bl)) * (65536 - fxb) + std::int64_t(ch.get(br)) * fxb;
      sum_[c] += (top * (65536 - fy) + bottom * fy) / 65536;  // all terms are non-negative
    }
    ++count_;
  }

  void four(std::uint32_t tl, std::uint32_t tr, std::uint32_t bl, std::uint32_t br, std::int64_t fx,
            std::int64_t fy) {
    std::int64_t fxt = fx, fxb = fx;
    if (keyed_) {
      const bool ktl = key(tl), ktr = key(tr), kbl = key(bl), kbr = key(br);
      if (ktl && ktr && kbl && kbr) return;
      if (ktl && ktr) fy = 65536;
      else if (ktl) fxt = 65536;
      else if (ktr) fxt = 0;
      if (kbl && kbr) fy = 0;
      else if (kbl) fxb = 65536;
      else if (kbr) fxb = 0;
    }
    rows(tl, tr, fxt, bl, br, fxb, fy);
  }

  void two(std::uint32_t a, std::uint32_t b, std::int64_t f) {
    if (keyed_) {
      if (key(a) && key(b)) return;
      if (key(a)) f = 65536;
      if (key(b)) f = 0;
    }
    for (int c = 0; c < channels(); ++c)
      sum_[c] += std::int64_t(chan(c).get(a)) * (65536 - f) + std::int64_t(chan(c).get(b)) * f;
    ++count_;
  }

  void one(std::uint32_t p) {
    if (keyed_ && key(p)) return;
    for (int c = 0; c < channels(); ++c) sum_[c] += std::int64_t(chan(c).get(p)) * 65536;
    ++count_;
  }

  std::uint32_t average() {
    std::uint32_t out = 0;
    if (count_ == 0) {
      out = keyed_ ? key_ : 0;
    } else {
      for (int c = 0; c < channels(); ++c) out |= std::uint32_t(sum_[c] / count_ / 65536) << chan(c).shift;
    }
    std::fill(std::begin(sum_), std::end(sum_), 0);
    count_ = 0;
    return out;
  }

 private:
  int channels() const { return l_.a.bits ? 4 : 3; }
  pelref::Chan chan(int c) const { return c == 0 ? l_.r : c == 1 ? l_.g : c == 2 ? l_.b : l_.a; }
  bool key(std::uint32_t p) const { return ((p ^ key_) & l_.key_mask) == 0; }

  const Layout& l_;
  bool keyed_;
  std::uint32_t key_;
  std::int64_t sum_[4] = {};
  std::int64_t count_ = 0;
};

// The source of `type` resampled to w x h in filtered mode 1 to 4; `key` is
// the source's key pel when `keyed`.
inline Picture resample(int type, int mode, bool keyed, std::uint32_t key, const Picture& s,
                        std::int64_t w, std::int64_t h) {
  const Layout& l = pelref::layout(type);
  key &= pelref::mask_of(l.size);
  if (type == 3 && mode == 4) key |= 0xFF000000u;
  Model m(l, keyed, key);
  const std::int64_t W = s.width, H = s.height;
  auto at = [&](std::int64_t c, std::int64_t r) { return s.pels[std::size_t(r * W + c)]; };
  auto right = [&](std::int64_t c) {
    if (columns_wrap(mode)) return c == W - 1 ? 0 : c + 1;
    return std::min(c + 1, W - 1);  // a one-pel source is its own neighbour
  };
  auto below = [&](std::int64_t r) {
    if (rows_wrap(mode)) return r == H - 1 ? 0 : r + 1;
    return std::min(r + 1, H - 1);
  };

  Picture d{w, h, std::vector<std::uint32_t>(std::size_t(w * h))};
  const std::int64_t step_x = W * 65536 / w, step_y = H * 65536 / h;
  const bool whole = step_x % 65536 == 0 && step_y % 65536 == 0 && W > 1 && H > 1;
  const std::int64_t ex = whole || columns_wrap(mode) || step_x > 65536 ? W : W - 1;
  const std::int64_t ey = whole || rows_wrap(mode) || step_y > 65536 ? H : H - 1;
  auto edge = [](std::int64_t n, std::int64_t extent, std::int64_t count) {
    return std::int64_t(std::uint64_t(n * extent * 65536) / std::uint64_t(count));
  };
  for (std::int64_t i = 0; i < h; ++i) {
    const std::int64_t y0 = i == 0 ? 0 : edge(i, ey, h), y1 = edge(i + 1, ey, h);
    for (std::int64_t j = 0; j < w; ++j) {
      const std::int64_t x0 = j == 0 ? 0 : edge(j, ex, w), x1 = edge(j + 1, ex, w);
      if (whole) {
        for (std::int64_t r = y0 / 65536; r < y1 / 65536; ++r)
          for (std::int64_t c = x0 / 65536; c < x1 / 65536; ++c) m.one(at(c, r));
      } else {
        const std::int64_t xi = x0 / 65536, fx = x0 % 65536, yi = y0 / 65536, fy = y0 % 65536;
        // Integer positions strictly inside the footprint.
        std::vector<std::int64_t> ks, vs;
        for (std::int64_t k = xi + 1; k * 65536 < x1; ++k) ks.push_back(k);
        for (std::int64_t v = yi + 1; v * 65536 < y1; ++v) vs.push_back(v);
        m.four(at(xi, yi), at(right(xi), yi), at(xi, below(yi)), at(right(xi), below(yi)), fx, fy);
        for (std::int64_t k : ks) m.two(at(k, yi), at(k, below(yi)), fy);
        for (std::int64_t v : vs) {
          m.two(at(xi, v), at(right(xi), v), fx);
          for (std::int64_t k : ks) m.one(at(k, v));
        }
      }
      d.pels[std::size_t(i * w + j)] = m.average();
    }
  }
  return d;
}

}  // namespace resref
