// The decoder of Truevision TGA files: colour-mapped, true-colour and grey
// pictures (image types 1, 2, 3), uncompressed or run-length encoded (9,
// 10), of 8, 15, 16, 24 and 32 bits per pel, from any of the four origins.
//
// do_open decodes the whole picture into memory (8-bit pictures as indices
// with their palette, 15- and 16-bit colour pels widened to Rgb888, 16-bit
// grey pels, grey and alpha, as Rgba8888, 24-bit as Rgb888, 32-bit as
// Rgba8888), rows stored right to left turned round; do_read copies rows
// out of it and do_close frees it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "img/ImageDecoder.h"

namespace talvo::g {

class TgaDecoder : public ImageDecoderI {
 public:
  TgaDecoder() = default;
  ~TgaDecoder() override { TgaDecoder::do_close(); }

 protected:
  void do_open(io::IStream& stream) override;
  void do_close() override;
  void do_read(const Rect& source, ImageRow& row, const Rect& destination, ResampleMode mode) override;

 private:
  std::size_t row_bytes_ = 0;
  std::int32_t bytes_per_pel_ = 0;
  bool top_down_ = false;  // the first row of the buffer is the top row
  std::unique_ptr<std::uint8_t[]> pels_;
};

}  // namespace talvo::g
