// The common interface of the picture decoders (BMP, TGA, JPEG).
//
// A decoder is opened on an input stream, describes the picture (size and
// pixel format), reads any rectangle of it into any rectangle of an ImageRow
// and is closed:
//
//   talvo::g::TgaDecoder decoder;
//   decoder.open(stream);
//   talvo::g::ImageDecoderI::Info info;
//   decoder.get_info(info);
//   row.create(info.width, info.height, info.format);
//   decoder.read(row, talvo::g::ResampleMode::filter);
//   decoder.close();
//
// load() does all of it in one call. Rows go straight into the row's
// rectangle when the sizes and the type codes agree; otherwise the picture's
// rectangle is decoded into a temporary image of its own format, resampled to
// the destination's size and copied with conversion.
//
// Every decoder releases what it holds on every path: do_close may run twice
// and the destructors run it, so a decoder left open by a failed load leaks
// nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "img/Image.h"

namespace talvo::io {
class IStream;
}

namespace talvo::g {

class ImageDecoderI {
 public:
  struct Info {
    std::int32_t width = 0;
    std::int32_t height = 0;
    PelFmt format;
  };

  ImageDecoderI() = default;
  ImageDecoderI(const ImageDecoderI&) = delete;
  ImageDecoderI& operator=(const ImageDecoderI&) = delete;
  virtual ~ImageDecoderI() = default;

  // Reads the picture's header from the stream's current position. The
  // stream must stay open until the last read.
  void open(io::IStream& stream) {
    do_open(stream);
    opened_ = true;
  }
  void close() {
    do_close();
    opened_ = false;
  }
  bool opened() const { return opened_; }

  // Width, height and a copy of the format of the opened picture.
  virtual void get_info(Info& info) {
    info.width = picture_.width;
    info.height = picture_.height;
    info.format = picture_.format;
  }

  // Writes the source rectangle of the picture (null: all of it) into the
  // destination rectangle of the row (null: all of it). Both rectangles lie
  // inside their images.
  void read(const Rect* source, ImageRow& row, const Rect* destination, ResampleMode mode);
  void read(ImageRow& row, ResampleMode mode) { read(nullptr, row, nullptr, mode); }

  // Opens, makes the row the picture's size and format, reads and closes. A
  // failure passes on as it came, leaving the decoder open.
  void load(io::IStream& stream, ImageRow& row);
  // The same from a plain file or an archive member, read raw (no stream
  // header); a missing file or a short read throws talvo::io::Failure.
  void load(const char* path, ImageRow& row);

 protected:
  virtual void do_open(io::IStream& stream) = 0;
  virtual void do_close() = 0;
  virtual void do_read(const Rect& source, ImageRow& row, const Rect& destination, ResampleMode mode) = 0;

  // The picture do_open found: its size and the format of its pels.
  Info picture_;

  // True when the rows can go straight into the row: the rectangles have the
  // same size and the row has the picture's type code.
  static bool direct(const Rect& source, const ImageRow& row, const Rect& destination, const PelFmt& format) {
    return source.width() == destination.width() && source.height() == destination.height() &&
           row.type() == format.type();
  }

  // Resamples the decoded picture to the destination's size when it differs
  // and copies it with conversion to the destination's place in the row.
  static void place(ImageRow& picture, ImageRow& row, const Rect& destination, ResampleMode mode);

  // Where a decoder writes the rows of the source rectangle, top row first:
  // the destination rectangle of the row itself, or a zeroed temporary image
  // of the picture's format and the source's size that finish() places.
  class Target {
   public:
    Target(ImageRow& row, const Rect& source, const Rect& destination, const PelFmt& format,
           ResampleMode mode);
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    std::uint8_t* row(std::int32_t i) const { return lock_->row(i); }
    void finish();

   private:
    ImageRow& row_;
    Rect destination_;
    ResampleMode mode_;
    std::unique_ptr<ImageRow> temporary_;
    std::optional<Image::Lock> lock_;
  };

 private:
  bool opened_ = false;
};

}  // namespace talvo::g
