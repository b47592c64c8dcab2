// JPEG files from untrusted bytes.
#include "decode_picture.h"
#include "img/JpgDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::decode_both_ways<talvo::g::JpgDecoder>(data, size);
}
