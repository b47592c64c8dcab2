// BMP files, read and written by the image base class: a 14-byte file header,
// an information header of at least 40 bytes, three masks with bit fields,
// the colour table, then rows padded to 4 bytes, bottom row first (top row
// first for a negative height).
//
// The reader takes 8-bit (a palette of up to 256 colours, 0 counting as 256),
// 16-bit (5-5-5, or 5-6-5 or 5-5-5 bit fields), 24-bit and 32-bit files
// (byte 3 taken as alpha). Pel bytes are taken as they stand. Every refusal
// is reported once, with -5, and ends the load; rows a short file does not
// hold are zero.
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/err.h"
#include "engine/img.h"
#include "platform/win_stdio.h"
#include "talvo/Stream.h"

namespace {

constexpr uint32_t kFileHeader = 14;
constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kHeaders = kFileHeader + kInfoHeader;
constexpr uint32_t kMasksEnd = kHeaders + 12;
constexpr int32_t kBitFields = 3;
constexpr int32_t kMaxColours = 256;

uint32_t le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }
void put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}

int64_t fileRowBytes(int64_t width, int32_t bits) { return (width * bits + 31) / 32 * 4; }

// The fields of the headers the reader uses.
struct BmpHeader {
  uint32_t pelOffset = 0;
  uint32_t infoSize = 0;
  int32_t width = 0;
  int32_t height = 0;  // negative: top row first
  int32_t bits = 0;
  int32_t compression = 0;
  int32_t colours = 0;
  uint32_t masks[3] = {};
};

// The pel format of a header, or pel_FMT_UNKNOWN when the reader refuses it.
int formatOf(const BmpHeader& h) {
  switch (h.bits) {
    case 8:
      return pel_FMT_P8;
    case 16:
      if (h.compression != kBitFields) return pel_FMT_X1R5G5B5;
      if (h.masks[0] == 0xF800 && h.masks[1] == 0x07E0 && h.masks[2] == 0x001F) return pel_FMT_R5G6B5;
      if (h.masks[0] == 0x7C00 && h.masks[1] == 0x03E0 && h.masks[2] == 0x001F) return pel_FMT_X1R5G5B5;
      return pel_FMT_UNKNOWN;
    case 24:
      return pel_FMT_R8G8B8;
    case 32:
      return pel_FMT_A8R8G8B8;
    default:
      return pel_FMT_UNKNOWN;
  }
}

// One load: reads sequentially, counting the bytes consumed, so forward
// skips work on every stream.
class BmpReader {
 public:
  BmpReader(imgCTy& image, talvo::io::IStream& in) : image_(image), in_(in) {}

  // 0, or the code to report once the image is unlocked.
  errCode Load();

 private:
  bool Read(void* to, int64_t n) { return Got(to, n) == n; }
  int64_t Got(void* to, int64_t n) {
    const int64_t got = n > 0 ? int64_t(in_.read(to, n)) : 0;
    at_ += got;
    return got;
  }
  // Skips forward to the file offset; false when the data ends first.
  bool SkipTo(int64_t offset);
  bool ReadHeader(BmpHeader& h);
  // The rows from the current position; none when `there` is false.
  errCode ReadRows(const BmpHeader& h, int32_t height, bool there);

  imgCTy& image_;
  talvo::io::IStream& in_;
  int64_t at_ = 0;  // bytes consumed
};

bool BmpReader::SkipTo(int64_t offset) {
  uint8_t scratch[512];
  while (at_ < offset) {
    const int64_t n = offset - at_ < int64_t(sizeof scratch) ? offset - at_ : int64_t(sizeof scratch);
    if (!Read(scratch, n)) return false;
  }
  return true;
}

bool BmpReader::ReadHeader(BmpHeader& h) {
  uint8_t b[kHeaders];
  if (!Read(b, kHeaders) || b[0] != 'B' || b[1] != 'M') return false;
  h.pelOffset = le32(b + 10);
  h.infoSize = le32(b + 14);
  h.width = int32_t(le32(b + 18));
  h.height = int32_t(le32(b + 22));
  h.bits = int32_t(le16(b + 28));
  h.compression = int32_t(le32(b + 30));
  h.colours = int32_t(le32(b + 46));
  if (h.infoSize < kInfoHeader || (h.compression != 0 && h.compression != kBitFields)) return false;
  if (h.compression == kBitFields) {
    // After the smallest information header, or inside a larger one.
    uint8_t m[12];
    if (!Read(m, sizeof m)) return false;
    for (int i = 0; i < 3; ++i) h.masks[i] = le32(m + 4 * i);
  }
  if (h.bits == 8 && h.colours == 0) h.colours = kMaxColours;
  if (h.colours < 0 || h.colours > kMaxColours || (h.colours && h.bits != 8)) return false;
  if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN) return false;
  if (fileRowBytes(h.width, h.bits) > INT32_MAX) return false;
  return formatOf(h) != pel_FMT_UNKNOWN;
}

errCode BmpReader::Load() {
  BmpHeader h;
  if (!ReadHeader(h)) return ERR_DATA;
  // The colour table follows the information header (and masks after the
  // smallest one).
  int64_t tableAt = int64_t(kFileHeader) + h.infoSize;
  if (h.compression == kBitFields && tableAt < kMasksEnd) tableAt = kMasksEnd;
  std::unique_ptr<palCTy> palette;
  if (h.colours) {
    uint8_t quads[4 * kMaxColours];
    if (!SkipTo(tableAt) || !Read(quads, 4 * h.colours)) return ERR_DATA;
    palette.reset(new palCTy);
    palette->Set(quads, uint32_t(h.colours));
  }
  const int32_t height = h.height < 0 ? -h.height : h.height;
  pelFmtDesc d;
  d.Set(formatOf(h), palette.get());
  image_.SetSize(h.width, height, &d);
  if (image_.width != h.width || image_.height != height || image_.PelFormat() != d.format) return ERR_DATA;
  // Rows from the pel offset; one that points back into the headers or the
  // table is taken as the end of the table.
  const bool there = SkipTo(h.pelOffset);
  return ReadRows(h, height, there);
}

errCode BmpReader::ReadRows(const BmpHeader& h, int32_t height, bool there) {
  const int32_t bpp = h.bits / 8;
  const int64_t pelBytes = int64_t(h.width) * bpp;
  const int64_t padding = fileRowBytes(h.width, h.bits) - pelBytes;
  image_.Lock(nullptr, img_LOCK_READWRITE);
  if (!image_.data) {
    image_.Unlock();
    return ERR_DATA;
  }
  // Rows not read, on every way out (a stream that throws too), are zero.
  struct Rows {
    imgCTy& image;
    int64_t rowBytes;
    int32_t height;
    bool topDown;
    int32_t done = 0;
    uint8_t* Row(int32_t fileRow) const {
      const int32_t y = topDown ? fileRow : height - 1 - fileRow;
      return image.data + int64_t(y) * image.pitch * image.BytesPerPel();
    }
    ~Rows() {
      for (int32_t r = done; r < height; ++r) std::memset(Row(r), 0, size_t(rowBytes));
      image.Unlock();
    }
  } rows{image_, pelBytes, height, h.height < 0};
  if (!there) return ERR_DATA;
  uint8_t pad[4];
  for (; rows.done < height; ++rows.done) {
    uint8_t* row = rows.Row(rows.done);
    const int64_t got = Got(row, pelBytes);
    const bool last = rows.done == height - 1;
    if (got < pelBytes || (!last && !Read(pad, padding))) {
      std::memset(row + got, 0, size_t(pelBytes - got));
      ++rows.done;
      return ERR_DATA;
    }
  }
  return 0;
}

}  // namespace

void imgCTy::LoadBmp(const char* fileName) {
  talvo::io::IArcStream in;
  in.open(fileName, talvo::AbstractFile::in, 0);
  if (!in.good()) {
    errRaiseArg(ERR_CANT_OPEN, fileName);
    return;
  }
  LoadBmpStream(&in);
}

void imgCTy::LoadBmpStream(talvo::io::IStream* stream) {
  if (const errCode code = BmpReader(*this, *stream).Load()) errRaiseArg(code, "");
}

namespace {

// Bits per pel written for each format code.
int32_t bitsWritten(int format) {
  switch (format) {
    case pel_FMT_R8G8B8:
      return 24;
    case pel_FMT_P8:
      return 8;
    case pel_FMT_R5G6B5:
    case pel_FMT_X1R5G5B5:
    case pel_FMT_A1R5G5B5:
    case pel_FMT_X4R4G4B4:
    case pel_FMT_A4R4G4B4:
      return 16;
    default:
      return 32;
  }
}

}  // namespace

void imgCTy::SaveBmp(const char* fileName) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(_fsopen(fileName, "wb", _SH_DENYNO), std::fclose);
  if (!f) {
    errRaiseArg(-18, fileName);
    return;
  }
  const int format = PelFormat();
  const int32_t bits = bitsWritten(format);
  const palCTy* palette = desc.palette && desc.palette->count ? desc.palette : nullptr;
  const uint32_t colours = bits != 8 ? 0 : palette ? palette->count : 256;
  const uint32_t compression = format == pel_FMT_R5G6B5 || format == pel_FMT_X8R8G8B8 ? kBitFields : 0;
  const int32_t w = width > 0 ? width : 0, h = height > 0 ? height : 0;
  const int64_t rowBytes = fileRowBytes(w, bits), pelBytes = int64_t(w) * (bits / 8);
  const uint32_t offset = kHeaders + 4 * (compression + colours);

  uint8_t header[kMasksEnd] = {'B', 'M'};
  put32(header + 2, uint32_t(offset + rowBytes * h));
  put32(header + 10, offset);
  put32(header + 14, kInfoHeader);
  put32(header + 18, uint32_t(w));
  put32(header + 22, uint32_t(h));
  put16(header + 26, 1);
  put16(header + 28, uint32_t(bits));
  put32(header + 30, compression);
  put32(header + 34, uint32_t(rowBytes * h));
  put32(header + 46, colours);
  const uint32_t masks565[3] = {0xF800, 0x07E0, 0x001F}, masks888[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
  for (int i = 0; i < 3; ++i) put32(header + kHeaders + 4 * i, format == pel_FMT_R5G6B5 ? masks565[i] : masks888[i]);
  bool ok = std::fwrite(header, compression ? kMasksEnd : kHeaders, 1, f.get()) == 1;

  uint8_t table[4 * kMaxColours] = {};
  for (uint32_t i = 0; i < colours; ++i) {
    const uint32_t c = palette ? palette->Entry(i) : i * 0x010101u;
    put32(table + 4 * i, c & 0xFFFFFF);
  }
  if (colours) ok = ok && std::fwrite(table, 4 * colours, 1, f.get()) == 1;

  Lock(nullptr, img_LOCK_READ);
  const uint8_t zeros[4] = {};
  for (int32_t y = h - 1; ok && y >= 0; --y) {
    // An image without pels writes zero rows.
    if (data) ok = std::fwrite(data + int64_t(y) * pitch * BytesPerPel(), size_t(pelBytes), 1, f.get()) == 1 || !pelBytes;
    for (int64_t n = data ? pelBytes : 0; ok && n < rowBytes; n += 4)
      ok = std::fwrite(zeros, size_t(rowBytes - n < 4 ? rowBytes - n : 4), 1, f.get()) == 1;
  }
  Unlock();
  ok = std::fclose(f.release()) == 0 && ok;
  // A file that was not written whole is no success.
  if (!ok) errRaiseArg(-20, fileName);
}
