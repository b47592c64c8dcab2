// The decoder of Windows bitmap files: 8-bit paletted, 16-bit (5-5-5, or the
// 5-6-5, 5-5-5-1 and 4-4-4-4 bit fields), 24-bit and 32-bit pictures,
// uncompressed or with bit fields, bottom-up or top-down. 32-bit bit fields
// in another order than the stored one (blue in the lowest byte) are
// honoured: every field of 8 bits, wherever its mask puts it.
//
// do_open reads the headers, the masks and the palette and remembers where
// the rows start (the file header's bit offset); do_read seeks back there,
// so the stream must stay open until the last read.
#pragma once

#include <cstdint>

#include "img/ImageDecoder.h"

namespace talvo::g {

class DibDecoder : public ImageDecoderI {
 public:
  DibDecoder() = default;
  ~DibDecoder() override { DibDecoder::do_close(); }

 protected:
  void do_open(io::IStream& stream) override;
  void do_close() override;
  void do_read(const Rect& source, ImageRow& row, const Rect& destination, ResampleMode mode) override;

 private:
  // The type of 32-bit masks (none: the stored order); masks in another
  // order set the shifts. Refuses masks that are no fields of 8 bits.
  PelType take_32_bit_masks(const std::uint32_t (&masks)[4]);
  // Rewrites pels read with masks in another order into the stored one.
  void unmask_row(std::uint8_t* pels, std::int32_t count) const;

  io::IStream* stream_ = nullptr;
  std::int64_t pel_position_ = 0;  // stream position of the first stored row
  bool top_down_ = false;          // the first stored row is the top row
  std::int32_t row_bytes_ = 0;     // stored length of one row, padding included
  bool by_masks_ = false;          // 32-bit pels in another order than stored
  std::uint8_t shifts_[4] = {};    // of red, green, blue and alpha then
};

}  // namespace talvo::g
