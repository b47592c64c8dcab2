// The decoder of JPEG files, over libjpeg's decompressor (the version-62
// interface) with a source manager that reads the talvo::io stream in blocks
// of 4096 bytes. Pictures come out as Rgb888 (blue, green, red), greyscale
// ones with blue = green = red; the output settings are fixed: fast integer
// DCT, no dithering.
//
// Every libjpeg error and warning fails the read with a talvo::Exception
// carrying libjpeg's message ("Premature end of JPEG file" for data that
// ends early); a stream failure inside the source manager comes out as the
// stream's own talvo::io::Failure. Neither crosses libjpeg's frames as a C++
// exception: the hooks leave libjpeg by longjmp to the decoder, which throws.
//
// A read after the first one seeks the stream back to where do_open started
// and decodes the picture again.
#pragma once

#include <cstdint>
#include <memory>

#include "img/ImageDecoder.h"

struct jpeg_common_struct;

namespace talvo::g {

class JpgDecoder : public ImageDecoderI {
 public:
  JpgDecoder();
  ~JpgDecoder() override;

 protected:
  void do_open(io::IStream& stream) override;
  void do_close() override;
  void do_read(const Rect& source, ImageRow& row, const Rect& destination, ResampleMode mode) override;

 private:
  struct Jpeg;

  // libjpeg's error exit, emit message and output message hooks.
  static void JpgErrCatch(jpeg_common_struct* cinfo);
  static void JpgEmitMessage(jpeg_common_struct* cinfo, int level);
  static void JpgOutputMessage(jpeg_common_struct* cinfo);
  // Formats libjpeg's message for the decoder and leaves libjpeg.
  [[noreturn]] static void give_up(jpeg_common_struct* cinfo, std::int32_t line, const char* function,
                                   bool fatal);

  // Runs calls into libjpeg; false when a hook left them by longjmp.
  template <class F>
  bool guarded(F&& calls);
  // Throws what made the guarded calls give up, after putting the
  // decompressor out of the way: destroyed after an error, else aborted.
  [[noreturn]] void fail();

  // Makes the decompression object (when there is none) with its error and
  // source managers over the stream.
  void create();
  void apply_settings();
  // Back to the start of the stream for another read.
  void restart();

  std::unique_ptr<Jpeg> jpeg_;
  io::IStream* stream_ = nullptr;
  std::int64_t start_ = 0;  // stream position of the picture
  std::int32_t row_bytes_ = 0;
  std::int32_t components_ = 0;
  bool just_opened_ = false;
};

}  // namespace talvo::g
