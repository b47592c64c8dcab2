// Pixel format records and palettes.
#pragma once

#include <cstdint>
#include <memory>

#include "img/Pixel.h"

namespace talvo::g {

// Palette entries stored in one format (Rgba8888 for every palette the system
// builds), with the whole table converted to one other type kept on demand.
class Palette {
 public:
  Palette() = default;
  // Copies are deep: the copy owns entries of its own and no converted table.
  Palette(const Palette& other) { assign(other); }
  Palette& operator=(const Palette& other) {
    if (this != &other) assign(other);
    return *this;
  }
  ~Palette() = default;

  // Replaces the entries by `count` Rgba8888 colours.
  void set(const Rgba8888* colours, std::uint32_t count);
  // Replaces the entries by a copy of the other palette's.
  void assign(const Palette& other);

  // Entry `index` converted to a type code; 0 for an index at or past the
  // entry count and for an entry type without a struct.
  std::uint32_t entry(std::uint32_t index, PelType target) const;

  // The whole table converted to `target`, one pel of bytes_per_pel(target)
  // bytes per entry, rebuilt only when another type is asked for. The table
  // always holds at least 256 entries; those past the entry count are zero,
  // so any 8-bit index can be looked up in it.
  const std::uint8_t* converted(PelType target);

  // Index of the entry nearest to the colour's blue, green and red (squared
  // distance, ties to the lower index); 0 when no entry is closer than a
  // squared distance of 10000, and for an empty palette.
  std::uint32_t nearest(Rgba8888 colour) const;

  std::uint32_t count() const { return count_; }
  PelType entry_type() const { return entry_type_; }
  const std::uint8_t* entries() const { return entries_.get(); }

 private:
  PelType entry_type_ = 0;
  std::uint32_t count_ = 0;
  std::unique_ptr<std::uint8_t[]> entries_;
  std::unique_ptr<std::uint8_t[]> table_;
  PelType table_type_ = 0;
};

// How the pels of an image are read: a type code and, for indexed images, a
// palette (owned, or borrowed for a short-lived format that is then copied).
class PelFmt {
 public:
  PelFmt() = default;
  explicit PelFmt(PelType type) : type_(type) {}
  PelFmt(PelType type, Palette* palette) : type_(type), palette_(palette) {}
  // Copies never share a palette: a copied palette is owned by the copy.
  PelFmt(const PelFmt& other) { *this = other; }
  PelFmt& operator=(const PelFmt& other);
  ~PelFmt() { release(); }

  PelType type() const { return type_; }
  Palette* palette() const { return palette_; }
  bool owns_palette() const { return owned_; }

  // A pel of this format (or a palette index) converted to a type code.
  std::uint32_t convert(std::uint32_t value, PelType target) const;
  // A colour as a pel of this format, or the nearest palette index.
  std::uint32_t from_rgba(Rgba8888 colour) const;

 private:
  void release();

  PelType type_ = 0;
  Palette* palette_ = nullptr;
  bool owned_ = false;
};

}  // namespace talvo::g
