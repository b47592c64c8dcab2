// Images over pel buffers, and the locks through which their pels are read
// and written.
#pragma once

#include <cstdint>

#include "img/Palette.h"
#include "img/Pixel.h"

namespace talvo::g {

class ImageContext;
struct Op;
struct BOp;

// A rectangle; x1 and y1 are exclusive.
struct Rect {
  std::int32_t x0, y0, x1, y1;

  std::int32_t width() const { return x1 - x0; }
  std::int32_t height() const { return y1 - y0; }
  bool empty() const { return x1 <= x0 || y1 <= y0; }
  bool contains(std::int32_t x, std::int32_t y) const { return x0 <= x && x < x1 && y0 <= y && y < y1; }

  // Cuts this rectangle to the other; an empty result keeps x1 >= x0 and
  // y1 >= y0.
  void intersect(const Rect& other);
  // This rectangle cut to the other, into `out`; this one is unchanged.
  Rect& intersection(const Rect& other, Rect& out) const;

  bool operator==(const Rect&) const = default;
};

// Largest width and height of an image that allocates its pels.
inline constexpr std::int32_t max_image_side = 32768;

// An abstract picture: size, pixel format, optional colour key and clip
// rectangle. Its pels are reachable only through a Lock.
class Image {
 public:
  // A window on the pels of a rectangle, held for one read or write and
  // released when it goes out of scope.
  struct Lock {
    // Access modes: the window is written, only read, or written whole.
    static constexpr std::int32_t write = 0;
    static constexpr std::int32_t read = 1;
    static constexpr std::int32_t write_all = 3;

    Image* image;
    Rect rect{0, 0, 0, 0};
    std::int32_t mode;
    std::uint8_t* pels = nullptr;  // pel (x0, y0) of the window
    std::int32_t pitch = 0;        // bytes from a row to the next

    Lock(Image& image, const Rect* rect, std::int32_t mode) : image(&image), mode(mode) {
      image.lock(*this, rect, mode);
    }
    virtual ~Lock() {
      if (pels) image->unlock(*this);
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    // First pel of row r of the window.
    std::uint8_t* row(std::int32_t r) const { return pels + std::intptr_t(r) * pitch; }
  };

  Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  virtual ~Image() = default;

  // A new image of the same size and format with the same pels (caller owns it).
  virtual Image* clone() = 0;
  virtual void alloc_pels() = 0;
  virtual void free_pels() = 0;
  // Fills the lock for the rectangle (the whole image when null).
  virtual void lock(Lock& lock, const Rect* rect, std::int32_t mode) = 0;
  virtual void unlock(Lock& lock) = 0;
  // Sets the colour key to a pel of the image's own format (or an index).
  virtual void set_color_key(std::uint32_t pel);
  virtual void clear_color_key();
  // The pel at (x, y) as a number (24 colour bits of an Rgbx8888 pel).
  virtual std::uint32_t get_pel(std::int32_t x, std::int32_t y);
  virtual void get_rect(Rect& out) const;
  // Bounding box of the pels that differ from the key pel.
  virtual void get_opaque_rect(Rect& out);
  // The context that makes the operations on images.
  virtual ImageContext* context() const;

  // Runs an operation on this image: the operation's slot for this image's
  // pixel type (or its palette slot) is called, with the operation's
  // rectangle (the whole image when null) cut by the clip rectangle.
  void apply(Op& op);
  // The second half of a dispatch: calls the slot for this image's type
  // without touching the operation's rectangle.
  void dispatch(Op& op);
  // Places the source rectangle (the whole source when null) at (x, y) of
  // this image and runs the binary operation.
  void apply_binary(std::int32_t x, std::int32_t y, Image& source, const Rect* source_rect, BOp& op);
  // Copies the source rectangle to (x, y), converting the pels to this
  // image's format and leaving out the source's key pels.
  void assign(std::int32_t x, std::int32_t y, Image& source, const Rect* source_rect = nullptr);
  // Sets every pel of the rectangle (the whole image when null), cut to the
  // image, to a pel of the image's format.
  void fill(std::uint32_t pel, const Rect* rect = nullptr);
  // Sets the colour key from a colour: the nearest palette index, or the
  // colour in the image's format.
  void set_color_key_rgb(Rgba8888 colour);

  // Clip rectangle that every operation run on this image is cut to.
  void set_clip_rect(const Rect& rect) {
    clip_ = true;
    clip_rect_ = rect;
  }
  void clear_clip_rect() { clip_ = false; }
  bool has_clip_rect() const { return clip_; }
  const Rect& clip_rect() const { return clip_rect_; }

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  const PelFmt& format() const { return format_; }
  PelType type() const { return format_.type(); }
  Palette* palette() const { return format_.palette(); }
  bool has_color_key() const { return key_; }
  std::uint32_t key_pel() const { return key_pel_; }
  std::uint32_t key_colour() const { return key_colour_; }

 protected:
  std::int32_t width_ = 0, height_ = 0;
  PelFmt format_;
  bool key_ = false;
  std::uint32_t key_colour_ = 0;  // the key as an Rgbx8888 value
  std::uint32_t key_pel_ = 0;     // the key in the image's own format
  bool clip_ = false;
  Rect clip_rect_{0, 0, 0, 0};
};

// How ImageRow::resize and ImageRow::scale resample: nearest neighbour, or
// filtered with neither direction, the columns, the rows or both wrapping
// around as a repeating tile. Any other value is refused.
enum class ResampleMode : std::int32_t {
  nearest = 0,
  filter = 1,
  filter_wrap_x = 2,
  filter_wrap_y = 3,
  filter_wrap_xy = 4,
};

// An image over a row-major pel buffer, owned or borrowed. Row y starts at
// pels + y * pitch; a negative pitch lays the rows bottom-up.
class ImageRow : public Image {
 public:
  ImageRow() = default;
  // An image over a buffer the caller owns.
  ImageRow(std::int32_t width, std::int32_t height, const PelFmt& format, std::uint8_t* pels,
           std::int32_t pitch);
  ~ImageRow() override;

  // Gives the image a new size and format and an owned buffer of
  // width * bytes-per-pel bytes a row (not cleared); the old pels and the
  // colour key are gone. Refuses sizes of 0 or less or past max_image_side.
  void create(std::int32_t width, std::int32_t height, const PelFmt& format);

  // Resamples this image to a new size; nothing happens at the same size.
  // The result owns new pels in the old format and has no colour key.
  void resize(std::int32_t width, std::int32_t height, ResampleMode mode);
  // Makes this image the source (which may be this image) resampled to a
  // new size; at the source's own size, an exact copy with its colour key.
  // Sizes of 0 or less, and for a new size the formats and modes no
  // resampler handles, are refused before this image changes.
  void scale(Image& source, std::int32_t width, std::int32_t height, ResampleMode mode);

  Image* clone() override;
  void alloc_pels() override;
  void free_pels() override;
  void lock(Lock& lock, const Rect* rect, std::int32_t mode) override;
  void unlock(Lock& lock) override;

  std::uint8_t* pels() const { return pels_; }
  std::int32_t pitch() const { return pitch_; }
  bool owns_pels() const { return owns_; }

 private:
  std::uint8_t* pels_ = nullptr;
  std::int32_t pitch_ = 0;
  bool owns_ = false;
};

}  // namespace talvo::g
