// TGA pictures into alpha images, through the image library's decoder.
#include <memory>

#include "engine/alpha/img_alpha.h"
#include "img/TgaDecoder.h"
#include "talvo/File.h"
#include "talvo/Stream.h"

void imgAlpha::LoadTga(const char* fileName) {
  // Mask bad and fail: a file that cannot be read throws
  // talvo::io::Failure. The stream closes when it goes.
  talvo::io::IFStream stream(fileName, talvo::AbstractFile::in,
                             talvo::io::Stream::badbit | talvo::io::Stream::failbit);
  LoadTgaStream(&stream);
}

void imgAlpha::LoadTgaStream(talvo::io::IStream* stream) {
  talvo::g::TgaDecoder decoder;
  decoder.open(*stream);
  talvo::g::ImageDecoderI::Info info;
  decoder.get_info(info);
  SetSize(info.width, info.height, nullptr);
  // The picture as Rgba8888 pels (bytes B, G, R, A), rows without gaps.
  const std::size_t pitch = std::size_t(info.width) * 4;
  std::unique_ptr<std::uint8_t[]> pels(new std::uint8_t[pitch * std::size_t(info.height)]);
  talvo::g::ImageRow row(info.width, info.height, talvo::g::PelFmt(talvo::g::pel_type::rgba8888), pels.get(),
                         std::int32_t(pitch));
  decoder.read(row, talvo::g::ResampleMode::filter);
  decoder.close();
  talvo::g::Image::Lock lock(row, nullptr, talvo::g::Image::Lock::read);
  Encode(lock.pels);
}
