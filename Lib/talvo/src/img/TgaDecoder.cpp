#include "img/TgaDecoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "img/DecoderStream.h"
#include "talvo/Report.h"

namespace talvo::g {
namespace {

[[noreturn]] void refuse(std::int32_t line) {
  throw_logged({"\\Lib\\talvo\\src\\img\\TgaDecoder.cpp", line, "talvo::g::TgaDecoder::do_open"},
               Exception("Unknown TGA Image Type"));
}

constexpr std::size_t header_bytes = 18;
// Image descriptor bits: the first stored row is the top one; the first pel
// of a stored row is its right one.
constexpr std::uint8_t descriptor_top = 0x20;
constexpr std::uint8_t descriptor_right = 0x10;
constexpr std::uint8_t image_type_grey = 3;

bool run_length_encoded(std::uint8_t image_type) { return image_type == 9 || image_type == 10; }
bool known_image_type(std::uint8_t image_type) {
  return image_type == 1 || image_type == 2 || image_type == 3 || run_length_encoded(image_type);
}

// A 5-5-5 pel (bit 15 dropped) widened to blue, green, red by shifting.
void widen_555(std::uint16_t v, std::uint8_t* bgr) {
  bgr[0] = std::uint8_t((v & 0x1F) << 3);
  bgr[1] = std::uint8_t(((v >> 5) & 0x1F) << 3);
  bgr[2] = std::uint8_t(((v >> 10) & 0x1F) << 3);
}

// The palette of an 8-bit picture: 256 greys without a colour map; otherwise
// the map's entries, read at their declared size, placed from the map's
// first index on. Entries before it and past the map stay zero.
void read_palette(io::IStream& stream, std::uint32_t first, std::uint32_t length, std::uint8_t entry_bits,
                  Palette& palette) {
  std::vector<Rgba8888> entries(256);
  if (length == 0) {
    for (std::uint32_t i = 0; i < 256; ++i) entries[i].value = 0xFF000000u | i * 0x010101u;
    palette.set(entries.data(), 256);
    return;
  }
  const std::size_t size = (entry_bits + 7u) / 8u;
  if (size < 2 || size > 4) refuse(__LINE__);
  std::vector<std::uint8_t> map(std::size_t(length) * size);
  read_exact(stream, map.data(), map.size());
  const std::uint32_t count = std::min<std::uint32_t>(first + length, 256);
  for (std::uint32_t i = first; i < count; ++i) {
    const std::uint8_t* e = map.data() + std::size_t(i - first) * size;
    std::uint8_t bgr[3] = {e[0], e[1], size > 2 ? e[2] : std::uint8_t(0)};
    if (size == 2) widen_555(le16(e), bgr);
    entries[i].value = 0xFF000000u | std::uint32_t(bgr[2]) << 16 | std::uint32_t(bgr[1]) << 8 | bgr[0];
  }
  palette.set(entries.data(), count);
}

// A grey and alpha pel (grey first) as Rgba8888.
void widen_grey_alpha(const std::uint8_t* ga, std::uint8_t* bgra) {
  bgra[0] = bgra[1] = bgra[2] = ga[0];
  bgra[3] = ga[1];
}

// Turns every row of the buffer end for end.
void mirror_rows(std::uint8_t* pels, std::size_t row_bytes, std::size_t rows, std::size_t size) {
  for (std::size_t y = 0; y < rows; ++y) {
    std::uint8_t* left = pels + y * row_bytes;
    for (std::uint8_t* right = left + row_bytes - size; left < right; left += size, right -= size)
      std::swap_ranges(left, left + size, right);
  }
}

// One pel of Size bytes written over `bytes` bytes.
template <std::size_t Size>
void fill_run(std::uint8_t* out, const std::uint8_t* pel, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; i += Size) std::memcpy(out + i, pel, Size);
}

// Run-length packets into the buffer until it is full: a header byte b, then
// for b >= 128 one pel written b - 127 times, else b + 1 pels. A packet that
// runs past the end of the buffer is cut there; once the data ends, the rest
// of the buffer stays black.
//
// The data is read in pieces as large as it surely is: every packet fills at
// most 128 pels and takes a header byte and at least one pel, so the pels
// still to fill tell how many bytes at least are still to come. Nothing
// behind the picture's data is read.
void read_packets(io::IStream& stream, std::uint8_t* pels, std::size_t total, std::size_t size) {
  std::vector<std::uint8_t> data;
  std::size_t next = 0;  // the first byte of data not taken yet
  std::size_t at = 0;    // the first byte of pels not written yet
  // Makes n bytes available from next on; false when the data ends first.
  const auto hold = [&](std::size_t n) {
    const std::size_t held = data.size() - next;
    if (held >= n) return true;
    const std::size_t to_come = ((total - at) / size + 127) / 128 * (1 + size);
    data.erase(data.begin(), data.begin() + std::ptrdiff_t(next));
    next = 0;
    const std::size_t more = std::max(n, to_come) - held;
    data.resize(held + more);
    data.resize(held + read_exact(stream, data.data() + held, more));
    return data.size() >= n;
  };
  while (at < total && (next < data.size() || hold(1))) {
    const std::uint8_t b = data[next];
    const std::size_t bytes = std::min((std::size_t(b & 0x7F) + 1) * size, total - at);
    const std::size_t packet = 1 + ((b & 0x80) ? size : bytes);
    if (data.size() - next < packet && !hold(packet)) break;
    const std::uint8_t* p = data.data() + next + 1;
    if (!(b & 0x80)) {
      std::memcpy(pels + at, p, bytes);
    } else {
      switch (size) {
        case 1: std::memset(pels + at, *p, bytes); break;
        case 2: fill_run<2>(pels + at, p, bytes); break;
        case 3: fill_run<3>(pels + at, p, bytes); break;
        default: fill_run<4>(pels + at, p, bytes); break;
      }
    }
    next += packet;
    at += bytes;
  }
  std::memset(pels + at, 0, total - at);
}

}  // namespace

void TgaDecoder::do_open(io::IStream& stream) {
  do_close();
  std::uint8_t h[header_bytes] = {};
  read_exact(stream, h, header_bytes);
  if (h[0] > 0) skip_forward(stream, h[0]);
  const std::uint8_t image_type = h[2];
  const std::uint32_t map_first = le16(h + 3), map_length = le16(h + 5);
  const std::uint8_t map_entry_bits = h[7];
  const std::int32_t width = le16(h + 12), height = le16(h + 14);
  const std::uint8_t depth = h[16] == 15 ? 16 : h[16];
  // 16-bit grey pels are grey and alpha, not 5-5-5 colour.
  const bool grey_alpha = image_type == image_type_grey && depth == 16;
  if (!known_image_type(image_type) || (depth != 8 && depth != 16 && depth != 24 && depth != 32) ||
      width == 0 || height == 0 || width > max_image_side || height > max_image_side)
    refuse(__LINE__);

  if (depth == 8) {
    Palette palette;
    read_palette(stream, map_first, map_length, map_entry_bits, palette);
    picture_.format = PelFmt(pel_type::index8, &palette);
  } else {
    // The colour map of a true-colour picture is not used.
    skip_forward(stream, std::int64_t(map_length) * ((map_entry_bits + 7) / 8));
    picture_.format = PelFmt(depth == 32 || grey_alpha ? pel_type::rgba8888 : pel_type::rgb888);
  }

  std::size_t size = depth / 8;
  std::size_t row_bytes = std::size_t(width) * size;
  const std::size_t total = row_bytes * std::size_t(height);
  std::unique_ptr<std::uint8_t[]> pels(new std::uint8_t[total]);
  if (run_length_encoded(image_type)) {
    read_packets(stream, pels.get(), total, size);
  } else {
    const std::size_t got = read_exact(stream, pels.get(), total);
    std::memset(pels.get() + got, 0, total - got);
  }

  if (depth == 16) {
    size = grey_alpha ? 4 : 3;
    std::unique_ptr<std::uint8_t[]> wide(new std::uint8_t[total / 2 * size]);
    for (std::size_t i = 0, n = total / 2; i < n; ++i) {
      const std::uint8_t* pel = pels.get() + 2 * i;
      if (grey_alpha) {
        widen_grey_alpha(pel, wide.get() + 4 * i);
      } else {
        widen_555(le16(pel), wide.get() + 3 * i);
      }
    }
    pels = std::move(wide);
  }
  row_bytes = std::size_t(width) * size;
  if (h[17] & descriptor_right) mirror_rows(pels.get(), row_bytes, std::size_t(height), size);

  picture_.width = width;
  picture_.height = height;
  row_bytes_ = row_bytes;
  bytes_per_pel_ = std::int32_t(size);
  top_down_ = (h[17] & descriptor_top) != 0;
  pels_ = std::move(pels);
}

void TgaDecoder::do_close() { pels_.reset(); }

void TgaDecoder::do_read(const Rect& source, ImageRow& row, const Rect& destination, ResampleMode mode) {
  const std::int32_t w = source.width(), h = source.height();
  const std::intptr_t step = top_down_ ? std::intptr_t(row_bytes_) : -std::intptr_t(row_bytes_);
  const std::size_t first = top_down_ ? std::size_t(source.y0) : std::size_t(picture_.height - source.y0 - 1);
  std::uint8_t* p = pels_.get() + first * row_bytes_ + std::size_t(source.x0) * bytes_per_pel_;
  if (direct(source, row, destination, picture_.format)) {
    Image::Lock lock(row, &destination, Image::Lock::write_all);
    for (std::int32_t i = 0; i < h; ++i, p += step)
      std::memcpy(lock.row(i), p, std::size_t(w) * bytes_per_pel_);
    return;
  }
  ImageRow picture(w, h, picture_.format, p, std::int32_t(step));
  place(picture, row, destination, mode);
}

}  // namespace talvo::g
