#include "img/DibDecoder.h"

#include <bit>
#include <cstdlib>
#include <vector>

#include "img/DecoderStream.h"
#include "talvo/Report.h"
#include "talvo/Stream.h"

namespace talvo::g {
namespace {

constexpr const char* source_file = "\\Lib\\talvo\\src\\img\\DibDecoder.cpp";

[[noreturn]] void refuse(std::int32_t line, const char* text) {
  throw_logged({source_file, line, "talvo::g::DibDecoder::do_open"}, Exception(text));
}

constexpr std::int64_t file_header_bytes = 14;
constexpr std::int64_t header_bytes = 54;  // file header and the smallest info header
constexpr std::int64_t smallest_info_header = 40;
constexpr std::int64_t info_header_with_alpha_mask = 56;

constexpr std::uint32_t compression_none = 0;
constexpr std::uint32_t compression_bit_fields = 3;

// 16-bit bit-field masks and the pel type they give; the first matching row
// wins. Other masks give Rgbx5551 by depth.
struct MaskRow {
  std::uint32_t red, green, blue, alpha;
  bool any_alpha;
  PelType type;
};
constexpr MaskRow mask_rows[] = {
    {0xF800, 0x07E0, 0x001F, 0, true, pel_type::rgb565},
    {0x7C00, 0x03E0, 0x001F, 0x0000, false, pel_type::rgbx5551},
    {0x7C00, 0x03E0, 0x001F, 0x8000, false, pel_type::rgba5551},
    {0x0F00, 0x00F0, 0x000F, 0x0000, false, pel_type::rgbx4444},
    {0x0F00, 0x00F0, 0x000F, 0xF000, false, pel_type::rgba4444},
};

PelType type_of_16_bit_masks(const std::uint32_t (&m)[4]) {
  for (const MaskRow& row : mask_rows)
    if (row.red == m[0] && row.green == m[1] && row.blue == m[2] && (row.any_alpha || row.alpha == m[3]))
      return row.type;
  return pel_type::none;
}

// The place of an 8-bit field in a 32-bit pel: its shift, or -1 when the
// mask is no run of exactly 8 bits.
int byte_field(std::uint32_t mask) {
  if (mask == 0) return -1;
  const int shift = std::countr_zero(mask);
  return mask >> shift == 0xFF ? shift : -1;
}

PelType type_of_depth(std::uint16_t bits) {
  switch (bits) {
    case 16: return pel_type::rgbx5551;
    case 24: return pel_type::rgb888;
    case 32: return pel_type::rgbx8888;
    default: return pel_type::none;
  }
}

}  // namespace

void DibDecoder::do_open(io::IStream& stream) {
  stream_ = &stream;
  by_masks_ = false;
  const std::int64_t start = stream.tell();
  std::uint8_t h[header_bytes] = {};
  if (read_exact(stream, h, sizeof h) != sizeof h || h[0] != 'B' || h[1] != 'M')
    refuse(__LINE__, "Invalid BMP file");
  const std::int64_t bits_offset = le32(h + 10);
  const std::int64_t info_size = std::max<std::int64_t>(le32(h + 14), smallest_info_header);
  const std::int64_t width = std::int32_t(le32(h + 18));
  const std::int64_t height = std::int32_t(le32(h + 22));
  const std::uint16_t bits = le16(h + 28);
  const std::uint32_t compression = le32(h + 30);
  std::uint32_t colours = le32(h + 46);

  if (compression != compression_none && compression != compression_bit_fields)
    refuse(__LINE__, "Unsupported BMP Image Type");
  if (bits == 8 && colours == 0) colours = 256;
  if (width <= 0 || width > max_image_side || height == 0 || std::abs(height) > max_image_side ||
      colours > 256)
    refuse(__LINE__, "Invalid BMP file");

  // Where the headers put things, from the start of the file: the masks at
  // the end of the smallest info header (inside a larger one), the palette
  // after the info header and, behind a smallest one, after the three masks.
  std::int64_t at = header_bytes;
  PelType type = pel_type::none;
  if (compression == compression_bit_fields) {
    std::uint32_t masks[4] = {};
    const int count = info_size >= info_header_with_alpha_mask ? 4 : 3;
    for (int i = 0; i < count; ++i) {
      std::uint8_t m[4];
      if (read_exact(stream, m, 4) == 4) masks[i] = le32(m);
    }
    at += 4 * count;
    if (bits == 16) type = type_of_16_bit_masks(masks);
    if (bits == 32) type = take_32_bit_masks(masks);
  }
  const std::int64_t palette_at = std::max(at, file_header_bytes + info_size);
  const std::int64_t palette_end = palette_at + 4 * std::int64_t(colours);

  if (bits == 8) {
    skip_forward(stream, palette_at - at);
    std::vector<Rgba8888> entries(colours);
    read_exact(stream, entries.data(), entries.size() * sizeof(Rgba8888));
    for (Rgba8888& e : entries) e.value |= 0xFF000000u;
    Palette palette;
    palette.set(entries.data(), colours);
    picture_.format = PelFmt(pel_type::index8, &palette);
  } else {
    // A palette in a deeper file is a hint for displays; its rows follow it.
    if (type == pel_type::none) type = type_of_depth(bits);
    if (type == pel_type::none) refuse(__LINE__, "Unsupported BMP Image Type");
    picture_.format = PelFmt(type);
  }

  picture_.width = std::int32_t(width);
  picture_.height = std::int32_t(std::abs(height));
  top_down_ = height < 0;
  row_bytes_ = std::int32_t((bits * width + 31) / 32 * 4);
  // The rows start at the bit offset; an offset that points into the
  // headers is not believed, and the rows are taken to follow them.
  // A stream that cannot tell cannot seek back either: the read then fails.
  pel_position_ = start < 0 ? -1 : start + (bits_offset >= palette_end ? bits_offset : palette_end);
}

PelType DibDecoder::take_32_bit_masks(const std::uint32_t (&masks)[4]) {
  // No masks, or the stored order itself: the pels are taken as they stand
  // (an alpha mask beside the stored order is not honoured).
  if ((masks[0] | masks[1] | masks[2]) == 0 || (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF))
    return pel_type::none;
  const bool alpha = masks[3] != 0;
  std::uint32_t taken = 0;
  for (int i = 0; i < (alpha ? 4 : 3); ++i) {
    const int shift = byte_field(masks[i]);
    if (shift < 0 || (taken & masks[i])) refuse(__LINE__, "Unsupported BMP Image Type");
    taken |= masks[i];
    shifts_[i] = std::uint8_t(shift);
  }
  by_masks_ = true;
  return alpha ? pel_type::rgba8888 : pel_type::rgbx8888;
}

void DibDecoder::unmask_row(std::uint8_t* pels, std::int32_t count) const {
  const bool alpha = picture_.format.type() == pel_type::rgba8888;
  for (std::int32_t x = 0; x < count; ++x, pels += 4) {
    const std::uint32_t v = le32(pels);
    pels[0] = std::uint8_t(v >> shifts_[2]);
    pels[1] = std::uint8_t(v >> shifts_[1]);
    pels[2] = std::uint8_t(v >> shifts_[0]);
    pels[3] = alpha ? std::uint8_t(v >> shifts_[3]) : 0;
  }
}

void DibDecoder::do_close() {}

void DibDecoder::do_read(const Rect& source, ImageRow& row, const Rect& destination, ResampleMode mode) {
  io::IStream& stream = *stream_;
  const std::int32_t size = bytes_per_pel(picture_.format.type());
  const std::int32_t w = source.width(), h = source.height();
  const std::int64_t first_stored = top_down_ ? source.y0 : picture_.height - source.y1;
  // Rows read from anywhere but their place would be wrong: no seek, no rows.
  if (pel_position_ < 0 || stream.seek(pel_position_ + first_stored * row_bytes_) == -1)
    stream.setstate(io::Stream::failbit);

  Target target(row, source, destination, picture_.format, mode);
  const std::int64_t lead = std::int64_t(source.x0) * size;
  const std::int64_t tail = row_bytes_ - (std::int64_t(source.x0) + w) * size;
  for (std::int32_t i = 0; i < h; ++i) {
    if (lead > 0) skip_forward(stream, lead);
    const std::size_t bytes = std::size_t(w) * std::size_t(size);
    std::uint8_t* pels = target.row(top_down_ ? i : h - 1 - i);
    if (read_exact(stream, pels, bytes) != bytes) break;
    if (by_masks_) unmask_row(pels, w);
    if (tail != 0) skip_forward(stream, tail);
  }
  target.finish();
}

}  // namespace talvo::g
