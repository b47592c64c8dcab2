#include "decoder_fixtures.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "Lib/talvo/src/talvo/sandbox.h"
#include "img/Pixel.h"
#include "support/shell.h"

using namespace talvo::g;

namespace decoder_test {

std::string make_pictures(const char* group) {
  const std::string dir = talvo_test::fresh_dir();
  EXPECT_EQ(runPython({MAKE_PICTURES_SCRIPT, dir, group}), 0) << "make_pictures.py " << group;
  return dir;
}

Pels read_pels(const std::string& path) {
  const std::string all = talvo_test::read_file(path);
  std::istringstream header(all);
  Pels p;
  header >> p.width >> p.height;
  const std::size_t start = all.find('\n') + 1;
  p.bytes.assign(all.begin() + std::ptrdiff_t(start), all.end());
  return p;
}

std::vector<std::uint8_t> pel_bytes(Image& image) {
  const std::size_t row = std::size_t(image.width()) * bytes_per_pel(image.type());
  std::vector<std::uint8_t> out(row * std::size_t(image.height()));
  Image::Lock lock(image, nullptr, Image::Lock::read);
  for (std::int32_t y = 0; y < image.height(); ++y) std::memcpy(out.data() + y * row, lock.row(y), row);
  return out;
}

::testing::AssertionResult same_as_pillow(Image& image, const Pels& rgba, bool alpha, int bits) {
  if (image.width() != rgba.width || image.height() != rgba.height)
    return ::testing::AssertionFailure() << "size " << image.width() << "x" << image.height() << ", Pillow "
                                         << rgba.width << "x" << rgba.height;
  // A paletted pel is compared as its palette entry.
  const PelType type = image.palette() ? pel_type::rgba8888 : image.type();
  const int size = bytes_per_pel(image.type());
  Image::Lock lock(image, nullptr, Image::Lock::read);
  for (std::int32_t y = 0; y < image.height(); ++y) {
    for (std::int32_t x = 0; x < image.width(); ++x) {
      std::uint32_t raw = 0;
      std::memcpy(&raw, lock.row(y) + x * size, size);
      if (image.palette()) raw = image.format().convert(raw, pel_type::rgba8888);
      const std::uint8_t* want = rgba.bytes.data() + 4 * (std::size_t(y) * rgba.width + x);
      const bool same = visit_pel_type(type, false, [&](auto* tag) {
        using S = std::remove_pointer_t<decltype(tag)>;
        // Both channels cut to the width compared.
        auto match = [&](Field f, std::uint8_t v) {
          const int n = std::min(f.bits, bits);
          return f.bits == 0 || f.get(raw) >> (f.bits - n) == std::uint32_t(v >> (8 - n));
        };
        return match(S::red, want[0]) && match(S::green, want[1]) && match(S::blue, want[2]) &&
               (!alpha || match(S::alpha, want[3]));
      });
      if (!same) {
        std::ostringstream text;
        text << "pel (" << x << ", " << y << ") is 0x" << std::hex << raw << std::dec << ", Pillow reads R "
             << int(want[0]) << " G " << int(want[1]) << " B " << int(want[2]) << " A " << int(want[3]);
        return ::testing::AssertionFailure() << text.str();
      }
    }
  }
  return ::testing::AssertionSuccess();
}

void expect_like_pillow(ImageDecoderI& decoder, const std::string& dir, const LikePillow& picture) {
  const Pels pillow = read_pels(dir + "/" + picture.file + ".expect");
  for (const std::string& path : {dir + "/" + picture.file, dir + "/pics/" + picture.file}) {
    SCOPED_TRACE(path);
    ImageRow row;
    decoder.load(path.c_str(), row);
    EXPECT_EQ(row.type(), picture.type);
    EXPECT_EQ(row.pitch(), row.width() * bytes_per_pel(picture.type));
    EXPECT_TRUE(same_as_pillow(row, pillow, picture.alpha, picture.bits));
  }
}

std::string write_temp(const std::string& bytes, const char* name) {
  const std::string path = talvo_test::fresh_dir() + "/" + name;
  talvo_test::write_file(path, bytes);
  return path;
}

std::unique_ptr<talvo::io::IArcStream> open_raw(const std::string& path, std::uint32_t mask) {
  auto stream = std::make_unique<talvo::io::IArcStream>();
  stream->set_flags(stream->flags() | talvo::io::Stream::raw);
  stream->open(path.c_str(), talvo::AbstractFile::in, mask);
  return stream;
}

std::string u8(std::uint32_t v) { return std::string(1, char(v)); }
std::string u16(std::uint32_t v) { return u8(v) + u8(v >> 8); }
std::string u32(std::uint32_t v) { return u16(v) + u16(v >> 16); }

}  // namespace decoder_test
