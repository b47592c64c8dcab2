#include "img/Palette.h"

#include <algorithm>
#include <cstring>

namespace talvo::g {

void Palette::set(const Rgba8888* colours, std::uint32_t count) {
  const std::size_t bytes = std::size_t(count) * sizeof(Rgba8888);
  std::unique_ptr<std::uint8_t[]> fresh(count ? new std::uint8_t[bytes] : nullptr);
  if (count) std::memcpy(fresh.get(), colours, bytes);
  entries_ = std::move(fresh);
  count_ = count;
  entry_type_ = pel_type::rgba8888;
  table_type_ = 0;
}

void Palette::assign(const Palette& other) {
  if (this == &other) return;
  const std::size_t bytes = std::size_t(other.count_) * bytes_per_pel(other.entry_type_);
  std::unique_ptr<std::uint8_t[]> fresh(bytes ? new std::uint8_t[bytes] : nullptr);
  if (bytes) std::memcpy(fresh.get(), other.entries_.get(), bytes);
  entries_ = std::move(fresh);
  count_ = other.count_;
  entry_type_ = other.entry_type_;
  table_type_ = 0;
}

std::uint32_t Palette::entry(std::uint32_t index, PelType target) const {
  if (index >= count_) return 0;
  const std::uint8_t* at = entries_.get() + std::size_t(index) * bytes_per_pel(entry_type_);
  return visit_pel_type(entry_type_, std::uint32_t(0), [&](auto* tag) {
    using S = std::remove_pointer_t<decltype(tag)>;
    return to_type(load_pel<S>(at), target);
  });
}

const std::uint8_t* Palette::converted(PelType target) {
  if (table_ && target == table_type_) return table_.get();
  const std::size_t size = bytes_per_pel(target);
  const std::size_t entries = std::max<std::size_t>(count_, 256);
  table_.reset();
  table_type_ = 0;
  table_.reset(new std::uint8_t[entries * size]());
  for (std::uint32_t i = 0; i < count_; ++i) {
    // The low bytes of the little-endian value are the pel.
    const std::uint32_t v = entry(i, target);
    for (std::size_t b = 0; b < size; ++b) table_[i * size + b] = std::uint8_t(v >> (8 * b));
  }
  table_type_ = target;
  return table_.get();
}

std::uint32_t Palette::nearest(Rgba8888 colour) const {
  const std::int32_t cb = colour.value & 0xFF, cg = (colour.value >> 8) & 0xFF,
                     cr = (colour.value >> 16) & 0xFF;
  std::int32_t best = 10000;
  std::uint32_t best_index = 0;
  for (std::uint32_t i = 0; i < count_; ++i) {
    const std::uint32_t e = entry(i, pel_type::rgbx8888);
    const std::int32_t db = std::int32_t(e & 0xFF) - cb, dg = std::int32_t((e >> 8) & 0xFF) - cg,
                       dr = std::int32_t((e >> 16) & 0xFF) - cr;
    const std::int32_t d = db * db + dg * dg + dr * dr;
    if (d == 0) return i;
    if (d < best) {
      best = d;
      best_index = i;
    }
  }
  return best_index;
}

PelFmt& PelFmt::operator=(const PelFmt& other) {
  if (this == &other) return *this;
  // Copy first, so that a failed allocation leaves this format as it was.
  std::unique_ptr<Palette> copy(other.palette_ ? new Palette(*other.palette_) : nullptr);
  release();
  type_ = other.type_;
  palette_ = copy.release();
  owned_ = palette_ != nullptr;
  return *this;
}

void PelFmt::release() {
  if (owned_) delete palette_;
  palette_ = nullptr;
  owned_ = false;
}

std::uint32_t PelFmt::convert(std::uint32_t value, PelType target) const {
  if (palette_) return palette_->entry(value, target);
  return visit_pel_type(type_, std::uint32_t(0), [&](auto* tag) {
    using S = std::remove_pointer_t<decltype(tag)>;
    return to_type(S::from_raw(value), target);
  });
}

std::uint32_t PelFmt::from_rgba(Rgba8888 colour) const {
  if (palette_) return palette_->nearest(colour);
  return to_type(colour, type_);
}

}  // namespace talvo::g
