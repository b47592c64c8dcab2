#include "img/JpgDecoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <utility>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "talvo/Report.h"
#include "talvo/Stream.h"

namespace talvo::g {
namespace {

constexpr std::size_t source_block = 4096;

// The source manager: libjpeg's part first, then the stream it reads and a
// buffer of one block. It lives in libjpeg's permanent pool, as long as the
// decompression object.
struct JpgSource {
  jpeg_source_mgr pub;
  io::IStream* stream;
  JOCTET* buffer;
  bool start_of_file;
};

// The error manager: libjpeg's part first, then what a hook that gave up
// leaves for the decoder.
struct JpgErrorMgr {
  jpeg_error_mgr pub;
  std::jmp_buf* jump;
  std::exception_ptr carried;  // a stream failure inside the source manager
  bool fatal;                  // an error exit, not a warning
  std::int32_t line;
  const char* function;
  char message[JMSG_LENGTH_MAX];
};

JpgErrorMgr& error_mgr(j_common_ptr cinfo) { return *reinterpret_cast<JpgErrorMgr*>(cinfo->err); }
JpgSource& source_mgr(j_decompress_ptr cinfo) { return *reinterpret_cast<JpgSource*>(cinfo->src); }

void init_source(j_decompress_ptr cinfo) { source_mgr(cinfo).start_of_file = true; }

boolean fill_input_buffer(j_decompress_ptr cinfo) {
  JpgSource& src = source_mgr(cinfo);
  std::size_t got = 0;
  bool failed = false;
  try {
    got = std::size_t(src.stream->read(src.buffer, std::streamsize(source_block)));
  } catch (...) {
    error_mgr(reinterpret_cast<j_common_ptr>(cinfo)).carried = std::current_exception();
    failed = true;
  }
  if (failed) std::longjmp(*error_mgr(reinterpret_cast<j_common_ptr>(cinfo)).jump, 1);
  if (got == 0) {
    if (src.start_of_file) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    // Were warnings let through, an end-of-image marker would end the data.
    src.buffer[0] = JOCTET(0xFF);
    src.buffer[1] = JOCTET(JPEG_EOI);
    got = 2;
  }
  src.pub.next_input_byte = src.buffer;
  src.pub.bytes_in_buffer = got;
  src.start_of_file = false;
  return TRUE;
}

void skip_input_data(j_decompress_ptr cinfo, long n) {
  if (n <= 0) return;
  jpeg_source_mgr& pub = source_mgr(cinfo).pub;
  while (std::size_t(n) > pub.bytes_in_buffer) {
    n -= long(pub.bytes_in_buffer);
    fill_input_buffer(cinfo);
  }
  pub.next_input_byte += n;
  pub.bytes_in_buffer -= std::size_t(n);
}

void term_source(j_decompress_ptr) {}

// Gives the decompression object a source manager over the stream (made
// once per object) with nothing buffered.
void jpeg_stream_src(j_decompress_ptr cinfo, io::IStream& stream) {
  if (!cinfo->src) {
    j_common_ptr common = reinterpret_cast<j_common_ptr>(cinfo);
    auto* src =
        static_cast<JpgSource*>((*cinfo->mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(JpgSource)));
    src->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(common, JPOOL_PERMANENT, source_block));
    cinfo->src = &src->pub;
  }
  JpgSource& src = source_mgr(cinfo);
  src.pub.init_source = init_source;
  src.pub.fill_input_buffer = fill_input_buffer;
  src.pub.skip_input_data = skip_input_data;
  src.pub.resync_to_restart = jpeg_resync_to_restart;
  src.pub.term_source = term_source;
  src.stream = &stream;
  src.pub.next_input_byte = nullptr;
  src.pub.bytes_in_buffer = 0;
}

}  // namespace

struct JpgDecoder::Jpeg {
  jpeg_decompress_struct cinfo;
  JpgErrorMgr err;
};

JpgDecoder::JpgDecoder() : jpeg_(new Jpeg{}) {}

JpgDecoder::~JpgDecoder() { JpgDecoder::do_close(); }

void JpgDecoder::give_up(j_common_ptr cinfo, std::int32_t line, const char* function, bool fatal) {
  JpgErrorMgr& err = error_mgr(cinfo);
  (*err.pub.format_message)(cinfo, err.message);
  err.fatal = fatal;
  err.line = line;
  err.function = function;
  // Every call into libjpeg is guarded; a hook outside one has nowhere to go.
  if (!err.jump) std::abort();
  std::longjmp(*err.jump, 1);
}

void JpgDecoder::JpgErrCatch(j_common_ptr cinfo) {
  give_up(cinfo, __LINE__, "talvo::g::JpgDecoder::JpgErrCatch", true);
}

void JpgDecoder::JpgEmitMessage(j_common_ptr cinfo, int level) {
  // Warnings (level below 0) always give up; trace messages up to the trace
  // level do too.
  if (level < 0) give_up(cinfo, __LINE__, "talvo::g::JpgDecoder::JpgEmitMessage", false);
  if (cinfo->err->trace_level >= level)
    give_up(cinfo, __LINE__, "talvo::g::JpgDecoder::JpgEmitMessage", false);
}

void JpgDecoder::JpgOutputMessage(j_common_ptr cinfo) {
  give_up(cinfo, __LINE__, "talvo::g::JpgDecoder::JpgOutputMessage", false);
}

template <class F>
bool JpgDecoder::guarded(F&& calls) {
  std::jmp_buf jump;
  JpgErrorMgr& err = jpeg_->err;
  err.jump = &jump;
  if (setjmp(jump)) {
    jpeg_->err.jump = nullptr;
    return false;
  }
  calls();
  err.jump = nullptr;
  return true;
}

void JpgDecoder::fail() {
  JpgErrorMgr& err = jpeg_->err;
  j_common_ptr common = reinterpret_cast<j_common_ptr>(&jpeg_->cinfo);
  if (err.carried) {
    jpeg_abort(common);
    std::rethrow_exception(std::exchange(err.carried, nullptr));
  }
  if (err.fatal)
    jpeg_destroy(common);
  else
    jpeg_abort(common);
  throw_logged({"\\Lib\\talvo\\src\\img\\JpgDecoder.cpp", err.line, err.function}, Exception(err.message));
}

void JpgDecoder::create() {
  jpeg_decompress_struct& cinfo = jpeg_->cinfo;
  JpgErrorMgr& err = jpeg_->err;
  if (!cinfo.mem) {
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JpgErrCatch;
    err.pub.emit_message = JpgEmitMessage;
    err.pub.output_message = JpgOutputMessage;
  }
  io::IStream& stream = *stream_;
  if (!guarded([&] {
        if (!cinfo.mem) jpeg_create_decompress(&cinfo);
        jpeg_stream_src(&cinfo, stream);
      }))
    fail();
}

void JpgDecoder::apply_settings() {
  jpeg_decompress_struct& cinfo = jpeg_->cinfo;
  // libjpeg's RGB output with the pel bytes in our order: blue, green, red.
  cinfo.out_color_space = JCS_EXT_BGR;
  cinfo.dct_method = JDCT_IFAST;
  cinfo.dither_mode = JDITHER_NONE;
}

void JpgDecoder::do_open(io::IStream& stream) {
  do_close();
  just_opened_ = false;
  stream_ = &stream;
  start_ = stream.tell();
  create();
  jpeg_decompress_struct& cinfo = jpeg_->cinfo;
  if (!guarded([&] {
        jpeg_read_header(&cinfo, TRUE);
        apply_settings();
        jpeg_calc_output_dimensions(&cinfo);
      }))
    fail();
  picture_.format = PelFmt(pel_type::rgb888);
  picture_.width = std::int32_t(cinfo.output_width);
  picture_.height = std::int32_t(cinfo.output_height);
  components_ = cinfo.output_components;
  row_bytes_ = picture_.width * components_;
  just_opened_ = true;
}

void JpgDecoder::restart() {
  io::IStream& stream = *stream_;
  // The first read may have left the stream at its end.
  stream.clear();
  if (stream.seek(start_) == -1) stream.setstate(io::Stream::failbit);
  create();
  jpeg_decompress_struct& cinfo = jpeg_->cinfo;
  // A read that failed may have left the decompressor in the middle.
  jpeg_abort_decompress(&cinfo);
  if (!guarded([&] { jpeg_read_header(&cinfo, TRUE); })) fail();
}

void JpgDecoder::do_close() { jpeg_destroy_decompress(&jpeg_->cinfo); }

void JpgDecoder::do_read(const Rect& source, ImageRow& row, const Rect& destination, ResampleMode mode) {
  // Every read but the first after do_open decodes from the start again,
  // also after a read that failed.
  if (!std::exchange(just_opened_, false)) restart();
  jpeg_decompress_struct& cinfo = jpeg_->cinfo;
  std::unique_ptr<JSAMPLE[]> line(new JSAMPLE[std::size_t(row_bytes_)]);
  if (!guarded([&] {
        apply_settings();
        jpeg_start_decompress(&cinfo);
      }))
    fail();

  Target target(row, source, destination, picture_.format, mode);
  const JDIMENSION y0 = JDIMENSION(source.y0), y1 = JDIMENSION(source.y1);
  const std::size_t skip = std::size_t(source.x0) * std::size_t(components_);
  const std::size_t bytes = std::size_t(source.width()) * std::size_t(components_);
  const bool whole_rows = bytes == std::size_t(row_bytes_);
  if (!guarded([&] {
        std::int32_t next = 0;
        while (cinfo.output_scanline < cinfo.output_height) {
          const JDIMENSION s = cinfo.output_scanline;
          const bool wanted = s >= y0 && s < y1;
          // Whole rows are decoded straight into the target.
          JSAMPROW out = wanted && whole_rows ? target.row(next) : line.get();
          jpeg_read_scanlines(&cinfo, &out, 1);
          if (!wanted) continue;
          if (!whole_rows) std::memcpy(target.row(next), line.get() + skip, bytes);
          ++next;
        }
      }))
    fail();
  target.finish();
  line.reset();
  if (!guarded([&] { jpeg_finish_decompress(&cinfo); })) fail();
}

}  // namespace talvo::g
