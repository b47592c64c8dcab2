// Fixtures of the decoder tests: pictures written by Pillow, cjpeg and byte
// by byte (make_pictures.py) in fresh directories of the sandbox, what Pillow
// and djpeg read from them, and comparisons of decoded images with both.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "img/Image.h"
#include "img/ImageDecoder.h"
#include "talvo/Exception.h"
#include "talvo/Stream.h"

namespace decoder_test {

// A fresh directory holding the pictures of a group ("bmp", "tga", "jpg")
// and pics.zip with all of them.
std::string make_pictures(const char* group);

// Pels read from NAME.expect (R, G, B, A) or NAME.bgr (B, G, R).
struct Pels {
  std::int32_t width = 0, height = 0;
  std::vector<std::uint8_t> bytes;
};
Pels read_pels(const std::string& path);

// The image's pels, top row first, without row padding.
std::vector<std::uint8_t> pel_bytes(talvo::g::Image& image);

// Compares every pel with Pillow's R, G, B, A at the image's own channel
// widths (a paletted image through its palette), or at `bits` when fewer:
// the decoders widen 5-bit channels by shifting, Pillow by scaling. Alpha
// is compared only when asked.
::testing::AssertionResult same_as_pillow(talvo::g::Image& image, const Pels& rgba, bool alpha, int bits = 8);

// A picture of a make_pictures() directory, the pel type it decodes to, and
// how closely its pels are compared with Pillow's (see same_as_pillow).
struct LikePillow {
  const char* file;
  talvo::g::PelType type;
  bool alpha;
  int bits = 8;
};
// Loads the picture from its file and as a member of pics.zip (a zip
// format must be registered) and compares type, pitch and pels.
void expect_like_pillow(talvo::g::ImageDecoderI& decoder, const std::string& dir, const LikePillow& picture);

// A file of the bytes in a fresh directory; returns its path.
std::string write_temp(const std::string& bytes, const char* name = "picture");

// A stream on the path, read raw, with the exception mask.
std::unique_ptr<talvo::io::IArcStream> open_raw(const std::string& path, std::uint32_t mask);

// "Failure: text", "Exception: text", or "" when nothing was thrown.
template <class F>
std::string thrown(F&& f) {
  try {
    f();
  } catch (const talvo::io::Failure& e) {
    return std::string("Failure: ") + e.what();
  } catch (const talvo::Exception& e) {
    return std::string("Exception: ") + e.what();
  }
  return "";
}

// Little-endian fields for pictures built byte by byte.
std::string u8(std::uint32_t v);
std::string u16(std::uint32_t v);
std::string u32(std::uint32_t v);

}  // namespace decoder_test
