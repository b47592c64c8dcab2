#include "img/ImageDecoder.h"

#include <cstring>

#include "talvo/Stream.h"

namespace talvo::g {

void ImageDecoderI::read(const Rect* source, ImageRow& row, const Rect* destination, ResampleMode mode) {
  Rect whole_picture;
  if (!source) {
    Info info;
    get_info(info);
    whole_picture = Rect{0, 0, info.width, info.height};
    source = &whole_picture;
  }
  Rect whole_row;
  if (!destination) {
    whole_row = Rect{0, 0, row.width(), row.height()};
    destination = &whole_row;
  }
  do_read(*source, row, *destination, mode);
}

void ImageDecoderI::load(io::IStream& stream, ImageRow& row) {
  open(stream);
  Info info;
  get_info(info);
  row.create(info.width, info.height, info.format);
  read(nullptr, row, nullptr, ResampleMode::filter);
  close();
}

void ImageDecoderI::load(const char* path, ImageRow& row) {
  io::IArcStream stream;
  stream.set_flags(stream.flags() | io::Stream::raw);
  stream.open(path, AbstractFile::in, io::Stream::badbit | io::Stream::failbit);
  load(stream, row);
}

void ImageDecoderI::place(ImageRow& picture, ImageRow& row, const Rect& destination, ResampleMode mode) {
  if (picture.width() != destination.width() || picture.height() != destination.height())
    picture.resize(destination.width(), destination.height(), mode);
  row.assign(destination.x0, destination.y0, picture, nullptr);
}

ImageDecoderI::Target::Target(ImageRow& row, const Rect& source, const Rect& destination,
                              const PelFmt& format, ResampleMode mode)
    : row_(row), destination_(destination), mode_(mode) {
  if (direct(source, row, destination, format)) {
    lock_.emplace(row, &destination, Image::Lock::write_all);
    return;
  }
  temporary_ = std::make_unique<ImageRow>();
  temporary_->create(source.width(), source.height(), format);
  // Rows a short read leaves out stay black instead of stale heap bytes.
  std::memset(temporary_->pels(), 0, std::size_t(temporary_->pitch()) * std::size_t(temporary_->height()));
  lock_.emplace(*temporary_, nullptr, Image::Lock::write_all);
}

void ImageDecoderI::Target::finish() {
  lock_.reset();
  if (temporary_) {
    place(*temporary_, row_, destination_, mode_);
    temporary_.reset();
  }
}

}  // namespace talvo::g
