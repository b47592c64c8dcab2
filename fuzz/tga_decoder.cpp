// TGA files from untrusted bytes.
#include "decode_picture.h"
#include "img/TgaDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The TGA decoder decodes the whole picture when it opens: sizes above the
  // fuzzer's limit are left out before that.
  if (size >= 16 && std::int64_t(data[12] | data[13] << 8) * (data[14] | data[15] << 8) > fuzz::max_pels)
    return 0;
  return fuzz::decode_both_ways<talvo::g::TgaDecoder>(data, size);
}
