// The stored form of the alpha image, after the image header; integers are
// 32-bit little-endian:
//   matte, premultiplied, storageFormat
//   runCount, runCount 16-bit run codes
//   alphaCount, alphaCount alpha bytes
//   colorCount, colorCount colours of storageFormat's size
//   bounds x, y, w, h
#include <algorithm>
#include <utility>

#include "base/err.h"
#include "base/mem.h"
#include "engine/alpha/alpha_coded.h"
#include "platform/win_kernel.h"

namespace {

// The coded arrays as read; freed unless handed to the image.
struct Arrays {
  int32_t runCount = 0, alphaCount = 0, colorCount = 0;
  imgAlphaRun* runs = nullptr;
  uint8_t* alphas = nullptr;
  uint8_t* colors = nullptr;
  ~Arrays() {
    memHooks.free(runs);
    memHooks.free(alphas);
    memHooks.free(colors);
  }
};

// Reads what the stream holds of the stored form and checks it against the
// image's size as it goes; every array is read only once its bytes are
// known to be there.
class Reader {
 public:
  Reader(const imgAlpha& image, rwStream* stream) : image_(image), stream_(stream) {}

  // ok: the form was read and checked; noMemory: an array could not be had.
  bool ok = false, noMemory = false;
  int32_t matte = 0, premultiplied = 0, storageFormat = 0;
  Arrays arrays;
  rectCTy bounds{0, 0, 0, 0};

  void Read() {
    matte = Int();
    premultiplied = Int();
    storageFormat = Int();
    const int colourBytes = imgAlphaColourBytes(storageFormat);
    if (!colourBytes) return;

    arrays.runCount = Int();
    if (!Array(arrays.runs, arrays.runCount, 2) || !RunsCover()) return;

    arrays.alphaCount = Int();
    if (arrays.alphaCount != translucent_ || !Array(arrays.alphas, arrays.alphaCount, 1)) return;
    if (premultiplied) {
      // 255 would be a pel of alpha 0, whose colour cannot be made straight.
      const uint8_t* first = arrays.alphas;
      const uint8_t* end = first + arrays.alphaCount;
      if (std::find(first, end, uint8_t(255)) != end) return;
    }

    arrays.colorCount = Int();
    if (arrays.colorCount != visible_ || !Array(arrays.colors, arrays.colorCount, colourBytes)) return;

    int32_t b[4];
    for (int32_t& v : b) v = Int();
    bounds = {b[0], b[1], b[2], b[3]};
    ok = !stream_->failed && BoundsFit();
  }

 private:
  int32_t Int() { return rwReadInt(stream_); }

  // count items of `size` bytes into a new block (none for 0); the count
  // must be at least 0 and the bytes in the stream.
  template <class T>
  bool Array(T*& out, int32_t count, int size) {
    if (stream_->failed || count < 0 || int64_t(count) * size > int64_t(stream_->length) - stream_->position)
      return false;
    if (count == 0) return true;  // no array
    // Not memAlloc: a raise must not leave before the arrays are freed.
    out = static_cast<T*>(memHooks.alloc(size_t(count) * size_t(size)));
    if (!out) {
      noMemory = true;
      return false;
    }
    rwRead(stream_, out, count * size);
    return !stream_->failed;
  }

  // Kinds 0 to 2, lengths of at least 1 adding up to width * height; counts
  // the translucent and visible pels. No runs at all is an image without
  // coded pels, as WriteData writes one.
  bool RunsCover() {
    int64_t total = 0;
    for (int i = 0; i < arrays.runCount; ++i) {
      const uint32_t length = alphaCoded::length(arrays.runs[i]);
      const int kind = alphaCoded::kind(arrays.runs[i]);
      if (length == 0 || kind > imgAlphaOpaque) return false;
      total += length;
      if (kind == imgAlphaTranslucent) translucent_ += length;
      if (kind != imgAlphaTransparent) visible_ += length;
    }
    return arrays.runCount == 0 || total == alphaCoded::pelCount(image_);
  }

  // Inside the image, or {0, 0, 1, 1} (no visible pel).
  bool BoundsFit() const {
    const rectCTy& r = bounds;
    if (r.x == 0 && r.y == 0 && r.w == 1 && r.h == 1) return true;
    return r.x >= 0 && r.y >= 0 && r.w >= 0 && r.h >= 0 && int64_t(r.x) + r.w <= image_.width &&
           int64_t(r.y) + r.h <= image_.height;
  }

  const imgAlpha& image_;
  rwStream* stream_;
  int64_t translucent_ = 0, visible_ = 0;
};

}  // namespace

void imgAlpha::WriteData(rwStream* stream) {
  rwWriteInt(stream, matte);
  rwWriteInt(stream, premultiplied);
  rwWriteInt(stream, storageFormat);
  rwWriteInt(stream, runCount);
  if (runCount > 0) rwWrite(stream, runs, runCount * 2);
  rwWriteInt(stream, alphaCount);
  if (alphaCount > 0) rwWrite(stream, alphas, alphaCount);
  rwWriteInt(stream, colorCount);
  if (colorCount > 0) rwWrite(stream, colors, colorCount * imgAlphaColourBytes(storageFormat));
  for (int32_t v : {bounds.x, bounds.y, bounds.w, bounds.h}) rwWriteInt(stream, v);
}

// Nothing is trusted: every count must fit what the stream holds; run kinds
// are 0 to 2 with lengths of at least 1 adding up to width * height (or no
// runs at all); alphaCount is the number of translucent pels and colorCount
// of visible ones; storageFormat is 1, 2, 4 or 5; premultiplied alpha bytes
// are at most 254; the bounds lie inside the image. A stream that failed
// before (a short header) leaves the image without coded pels and raises
// nothing more; any other failure fails the stream and raises -5 "Data
// error" once (-2 "No memory" when an array cannot be had). The flags, the
// storage format and the bounds change only with an image that was read.
void imgAlpha::ReadData(rwStream* stream) {
  FreeCoded();
  if (stream->failed) return;
  errCode failure = 0;
  {
    Reader reader(*this, stream);
    reader.Read();
    if (reader.ok) {
      matte = reader.matte;
      premultiplied = reader.premultiplied;
      storageFormat = reader.storageFormat;
      bounds = reader.bounds;
      std::swap(runs, reader.arrays.runs);
      std::swap(alphas, reader.arrays.alphas);
      std::swap(colors, reader.arrays.colors);
      runCount = reader.arrays.runCount;
      alphaCount = reader.arrays.alphaCount;
      colorCount = reader.arrays.colorCount;
      return;
    }
    failure = reader.noMemory ? ERR_NO_MEMORY : ERR_DATA;
  }
  stream->failed = 1;
  if (errRaise(failure) == ERR_OUTCOME_RETRY) DebugBreak();
}
