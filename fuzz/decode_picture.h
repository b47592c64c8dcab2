// The body the decoder fuzz targets share: untrusted bytes are decoded over a
// memory buffer twice, once with failures thrown (as the loads from a path
// run) and once with failures left in the stream's state bits. A picture
// that opens is read whole into a row of its own format, and a middle part
// of it into a smaller row of another format, through the temporary image,
// resampling and conversion.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "img/ImageDecoder.h"
#include "memory_input.h"
#include "talvo/Exception.h"
#include "talvo/Log.h"

namespace fuzz {

// Pictures with more pels are opened but not read: the fuzzer's memory and
// time limits, not the decoders'.
constexpr std::int64_t max_pels = std::int64_t(1) << 20;

template <class Decoder>
void decode(const uint8_t* data, size_t size, uint32_t mask) {
  MemoryInput input(data, size, mask);
  talvo::io::IStream& in = input.stream;

  Decoder decoder;
  try {
    decoder.open(in);
    talvo::g::ImageDecoderI::Info info;
    decoder.get_info(info);
    if (std::int64_t(info.width) * info.height > max_pels) return;
    talvo::g::ImageRow row;
    row.create(info.width, info.height, info.format);
    decoder.read(row, talvo::g::ResampleMode::filter);

    const talvo::g::Rect part{info.width / 4, info.height / 4, info.width / 4 + (info.width + 1) / 2,
                              info.height / 4 + (info.height + 1) / 2};
    talvo::g::ImageRow small;
    small.create(std::max(1, info.width / 3), std::max(1, info.height / 3),
                 talvo::g::PelFmt(talvo::g::pel_type::rgb565));
    decoder.read(&part, small, nullptr, talvo::g::ResampleMode::filter);
    decoder.close();
  } catch (const talvo::Exception&) {
    // A refused picture: the decoder's destructor releases what it holds.
  }
}

template <class Decoder>
int decode_both_ways(const uint8_t* data, size_t size) {
  // Refusals log; the log is not what is tested here.
  talvo::log_switch.disable = 1;
  decode<Decoder>(data, size, talvo::io::Stream::badbit | talvo::io::Stream::failbit);
  decode<Decoder>(data, size, 0);
  return 0;
}

}  // namespace fuzz
