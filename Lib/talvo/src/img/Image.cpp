#include "img/Image.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <memory>

#include "img/Op.h"
#include "talvo/Exception.h"
#include "talvo/Report.h"

namespace talvo::g {

void Rect::intersect(const Rect& o) {
  x0 = std::max(x0, o.x0);
  x1 = std::min(x1, o.x1);
  y0 = std::max(y0, o.y0);
  y1 = std::min(y1, o.y1);
  if (x1 < x0) x1 = x0;
  if (y1 < y0) y1 = y0;
}

Rect& Rect::intersection(const Rect& o, Rect& out) const {
  out = *this;
  out.intersect(o);
  return out;
}

// ---------------------------------------------------------------------------
// Image

void Image::set_color_key(std::uint32_t pel) {
  key_ = true;
  key_pel_ = pel;
  key_colour_ = format_.convert(pel, pel_type::rgbx8888);
}

void Image::clear_color_key() { key_ = false; }

void Image::set_color_key_rgb(Rgba8888 colour) {
  if (Palette* p = format_.palette())
    set_color_key(p->nearest(colour));
  else
    set_color_key(format_.from_rgba(colour));
  key_colour_ = colour.value;
}

std::uint32_t Image::get_pel(std::int32_t x, std::int32_t y) {
  const Rect r{x, y, x + 1, y + 1};
  Lock lock(*this, &r, Lock::read);
  const std::uint8_t* p = lock.pels;
  switch (type()) {
    case pel_type::rgb888: return load_pel<Rgb888>(p).raw();
    case pel_type::rgbx8888: return load_pel<Rgbx8888>(p).raw() & 0x00FFFFFFu;
    case pel_type::rgba8888: return load_pel<Rgba8888>(p).raw();
    case pel_type::rgb565:
    case pel_type::rgbx5551:
    case pel_type::rgba5551:
    case pel_type::rgbx4444:
    case pel_type::rgba4444: return load_pel<Rgb565>(p).raw();
    case pel_type::index8: return *p;
    default: return 0;
  }
}

void Image::get_rect(Rect& out) const { out = Rect{0, 0, width_, height_}; }

namespace {
// Bits of a pel that the opaque-bounds scan compares with the key pel, by
// type code; 0 for types it does not scan.
std::uint32_t opaque_compare_mask(PelType type) {
  switch (type) {
    case pel_type::index8: return 0xFFu;
    case pel_type::reserved10: return 0xFFFFu;
    case pel_type::reserved11: return 0xFFFFFFFFu;
    default: return visit_pel_type(type, std::uint32_t(0), [](auto* tag) {
      return std::remove_pointer_t<decltype(tag)>::key_mask;
    });
  }
}
}  // namespace

void Image::get_opaque_rect(Rect& out) {
  const std::uint32_t mask = opaque_compare_mask(type());
  if (!mask) return;
  const int size = bytes_per_pel(type());
  Lock lock(*this, nullptr, Lock::read);
  std::int32_t x0 = width_, y0 = height_, x1 = 0, y1 = 0;
  for (std::int32_t y = 0; y < height_; ++y) {
    const std::uint8_t* p = lock.row(y);
    for (std::int32_t x = 0; x < width_; ++x, p += size) {
      std::uint32_t v = 0;
      std::memcpy(&v, p, size);  // little-endian: the pel in the low bytes
      if (((v ^ key_pel_) & mask) == 0) continue;
      x0 = std::min(x0, x);
      x1 = std::max(x1, x + 1);
      y0 = std::min(y0, y);
      y1 = y + 1;
    }
  }
  out = x1 ? Rect{x0, y0, x1, y1} : Rect{0, 0, 0, 0};
}

ImageContext* Image::context() const { return &ImageContext::instance(); }

void Image::dispatch(Op& op) {
  if (format_.palette()) {
    op.on_palette();
    return;
  }
  switch (type()) {
    case pel_type::rgb888: op.on_Rgb888(nullptr); break;
    case pel_type::rgbx8888: op.on_Rgbx8888(nullptr); break;
    case pel_type::rgba8888: op.on_Rgba8888(nullptr); break;
    case pel_type::rgb565: op.on_Rgb565(nullptr); break;
    case pel_type::rgbx5551: op.on_Rgbx5551(nullptr); break;
    case pel_type::rgba5551: op.on_Rgba5551(nullptr); break;
    case pel_type::rgbx4444: op.on_Rgbx4444(nullptr); break;
    case pel_type::rgba4444: op.on_Rgba4444(nullptr); break;
    case pel_type::index8: op.on_type9(nullptr); break;
    case pel_type::reserved10: op.on_type10(nullptr); break;
    case pel_type::reserved11: op.on_type11(nullptr); break;
    default: break;
  }
}

namespace {
// Points an operation's rectangle at a local one for the length of a run
// and puts the caller's back afterwards, also when an exception passes.
class RectDuringRun {
 public:
  RectDuringRun(Op& op, const Rect& r) : op_(op), saved_(op.rect) { op.rect = &r; }
  ~RectDuringRun() { op_.rect = saved_; }
  RectDuringRun(const RectDuringRun&) = delete;
  RectDuringRun& operator=(const RectDuringRun&) = delete;

 private:
  Op& op_;
  const Rect* saved_;
};
}  // namespace

void Image::apply(Op& op) {
  Rect r;
  if (op.rect)
    r = *op.rect;
  else
    get_rect(r);
  if (clip_) {
    r.intersect(clip_rect_);
    if (r.empty()) return;
  }
  RectDuringRun during(op, r);
  dispatch(op);
}

void Image::apply_binary(std::int32_t x, std::int32_t y, Image& source, const Rect* source_rect,
                         BOp& op) {
  Rect s;
  if (source_rect) {
    s = *source_rect;
  } else {
    source.get_rect(s);
    x += s.x0;
    y += s.y0;
  }
  Rect d{x, y, x + s.width(), y + s.height()};
  Rect t = s;
  if (clip_) {
    Rect i;
    d.intersection(clip_rect_, i);
    if (i.empty()) return;
    t.x0 = s.x0 + (i.x0 - d.x0);
    t.y0 = s.y0 + (i.y0 - d.y0);
    t.x1 = t.x0 + i.width();
    t.y1 = t.y0 + i.height();
  }
  op.rect = &d;
  op.image = this;
  op.source = &source;
  op.source_rect = &t;
  apply(op);
  op.rect = nullptr;
  op.source_rect = nullptr;
}

namespace {
// Hands an operation back to the context that made it on every path.
struct OpReleaser {
  ImageContext* context;
  void operator()(Op* op) const { context->delete_op(op); }
};
template <class O>
using OwnedOp = std::unique_ptr<O, OpReleaser>;
}  // namespace

void Image::assign(std::int32_t x, std::int32_t y, Image& source, const Rect* source_rect) {
  ImageContext* ctx = context();
  OwnedOp<OpAssignStd> op(ctx->new_assign(), OpReleaser{ctx});
  if (op) apply_binary(x, y, source, source_rect, *op);
}

void Image::fill(std::uint32_t pel, const Rect* rect) {
  Rect r;
  get_rect(r);
  if (rect) r.intersect(*rect);
  ImageContext* ctx = context();
  OwnedOp<UOpFillStd> op(ctx->new_fill(pel), OpReleaser{ctx});
  if (!op) return;
  op->image = this;
  op->rect = &r;
  apply(*op);
}

// ---------------------------------------------------------------------------
// ImageRow

ImageRow::ImageRow(std::int32_t width, std::int32_t height, const PelFmt& format,
                   std::uint8_t* pels, std::int32_t pitch)
    : pels_(pels), pitch_(pitch) {
  width_ = width;
  height_ = height;
  format_ = format;
}

ImageRow::~ImageRow() { ImageRow::free_pels(); }

void ImageRow::create(std::int32_t width, std::int32_t height, const PelFmt& format) {
  if (width <= 0 || height <= 0 || width > max_image_side || height > max_image_side)
    throw_logged({"\\Lib\\talvo\\src\\img\\Image.cpp", __LINE__, "talvo::g::ImageRow::create"},
                 Exception("Invalid image size"));
  free_pels();
  width_ = width;
  height_ = height;
  format_ = format;
  alloc_pels();
  if (clip_) clip_rect_ = Rect{0, 0, width, height};
}

void ImageRow::alloc_pels() {
  const std::size_t pitch = std::size_t(bytes_per_pel(type())) * std::size_t(width_);
  const std::size_t bytes = pitch * std::size_t(height_);
  pels_ = new std::uint8_t[bytes ? bytes : 1];
  pitch_ = std::int32_t(pitch);
  owns_ = true;
}

void ImageRow::free_pels() {
  if (owns_) delete[] pels_;
  pels_ = nullptr;
  key_ = false;
}

void ImageRow::lock(Lock& lock, const Rect* rect, std::int32_t mode) {
  if (rect)
    lock.rect = *rect;
  else
    get_rect(lock.rect);
  lock.mode = mode;
  lock.pitch = pitch_;
  lock.pels = pels_ ? pels_ + std::intptr_t(bytes_per_pel(type())) * lock.rect.x0 +
                          std::intptr_t(pitch_) * lock.rect.y0
                    : nullptr;
}

void ImageRow::unlock(Lock&) {}

Image* ImageRow::clone() {
  std::unique_ptr<ImageRow> copy(new ImageRow);
  copy->create(width_, height_, format_);
  // A keyed copy leaves the key pels out; they start zeroed, not as
  // whatever the fresh buffer held.
  if (key_) std::memset(copy->pels_, 0, std::size_t(copy->pitch_) * std::size_t(height_));
  copy->assign(0, 0, *this, nullptr);
  return copy.release();
}

}  // namespace talvo::g
