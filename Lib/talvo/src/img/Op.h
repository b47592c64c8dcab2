// Operations on images and the context that makes them.
//
// An operation is dispatched twice: Image::apply on the destination calls the
// slot for the destination's pixel type, which runs an implementation object
// (a class template over the destination's pixel struct) through the
// source's Image::dispatch, whose slot for the source's type runs the row
// kernels of that exact pair. The operation records below are what the image
// library sees; their slots, implementation templates and kernels live with
// the operations.
#pragma once

#include <cstddef>
#include <cstdint>

#include "img/Image.h"
#include "img/Pixel.h"

namespace talvo::g {

struct Op {
  const Rect* rect = nullptr;  // destination rectangle; null: the whole image
  Image* image = nullptr;      // the image written

  virtual ~Op() = default;

  // Slot for an image with a palette.
  virtual void on_palette() {}
  // Slots by pixel type; the argument is a null type tag.
  virtual void on_type9(std::uint8_t*) {}
  virtual void on_type10(std::uint16_t*) {}
  virtual void on_type11(std::uint32_t*) {}
  virtual void on_Rgbx4444(Rgbx4444*) {}
  virtual void on_Rgba4444(Rgba4444*) {}
  virtual void on_Rgbx5551(Rgbx5551*) {}
  virtual void on_Rgba5551(Rgba5551*) {}
  virtual void on_Rgb565(Rgb565*) {}
  virtual void on_Rgb888(Rgb888*) {}
  virtual void on_Rgba8888(Rgba8888*) {}
  virtual void on_Rgbx8888(Rgbx8888*) {}

  static void* operator new(std::size_t size) { return ::operator new(size); }
  static void operator delete(void* p) { ::operator delete(p); }
};

// Reads a source image and writes a destination image.
struct BOp : Op {
  Image* source = nullptr;
  const Rect* source_rect = nullptr;
};

// Works on one image.
struct UOp : Op {};

// Declares the eight direct-colour slots of an operation class: its first
// dispatch, one slot per destination format (defined with
// TALVO_G_FIRST_DISPATCH where the operation is implemented).
#define TALVO_G_FORMAT_SLOTS                 \
  void on_Rgbx4444(Rgbx4444*) override;      \
  void on_Rgba4444(Rgba4444*) override;      \
  void on_Rgbx5551(Rgbx5551*) override;      \
  void on_Rgba5551(Rgba5551*) override;      \
  void on_Rgb565(Rgb565*) override;          \
  void on_Rgb888(Rgb888*) override;          \
  void on_Rgba8888(Rgba8888*) override;      \
  void on_Rgbx8888(Rgbx8888*) override;

// Copy with conversion (Image::assign).
struct OpAssignStd : BOp {
  void on_palette() override;
  void on_type9(std::uint8_t*) override;
  TALVO_G_FORMAT_SLOTS
};

// Draw with source alpha: the copy, but source pels with alpha are blended
// over the destination by their alpha.
struct OpDrawStd : BOp {
  void on_palette() override;
  void on_type9(std::uint8_t*) override;
  TALVO_G_FORMAT_SLOTS
};

// Declares the palette and type 9 to 11 slots of an operation class that
// runs on direct-colour images only (defined with TALVO_G_REFUSE_INDEXED).
#define TALVO_G_INDEXED_SLOTS                \
  void on_palette() override;                \
  void on_type9(std::uint8_t*) override;     \
  void on_type10(std::uint16_t*) override;   \
  void on_type11(std::uint32_t*) override;

// Blend of a source into a destination with one constant weight.
struct BOpAlphaK : BOp {
  std::int32_t k = 0;  // the source's weight out of 256

  TALVO_G_INDEXED_SLOTS
  TALVO_G_FORMAT_SLOTS
};

// Horizontal and vertical spans of one pel, masked by a repeating pattern.
struct UOpHLineStd : UOp {
  std::uint32_t pel = 0;  // already in the image's format
  std::int32_t x = 0, y = 0;
  std::int32_t length = 0;  // end point minus start point; may be negative
  std::uint32_t pattern = 0;

  TALVO_G_INDEXED_SLOTS
  TALVO_G_FORMAT_SLOTS
};

struct UOpVLineStd : UOp {
  std::uint32_t pel = 0;
  std::int32_t x = 0, y = 0;
  std::int32_t length = 0;
  std::uint32_t pattern = 0;

  TALVO_G_INDEXED_SLOTS
  TALVO_G_FORMAT_SLOTS
};

// A solid line between two points with float coordinates.
struct UOpLineStd : UOp {
  std::uint32_t pel = 0;
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  std::uint32_t word = 0;  // kept with the line; it does not change what is drawn

  TALVO_G_INDEXED_SLOTS
  TALVO_G_FORMAT_SLOTS
};

// Fill of a rectangle with one pel (Image::fill).
struct UOpFillStd : UOp {
  std::uint32_t pel = 0;  // already in the image's format

  TALVO_G_INDEXED_SLOTS
  TALVO_G_FORMAT_SLOTS
};

// The factory of operations; one instance serves every image. The factories
// set an operation's own fields only; whoever runs it fills the rectangle,
// image and source fields.
class ImageContext {
 public:
  static ImageContext& instance();

  virtual std::uint32_t pass_through(std::uint32_t value);
  virtual void reserved(std::uint32_t, std::uint32_t);
  virtual UOpFillStd* new_fill(std::uint32_t pel);
  virtual UOpHLineStd* new_hline(std::uint32_t pel, std::int32_t x, std::int32_t y,
                                 std::int32_t length, std::uint32_t pattern);
  virtual UOpVLineStd* new_vline(std::uint32_t pel, std::int32_t x, std::int32_t y,
                                 std::int32_t length, std::uint32_t pattern);
  virtual UOpLineStd* new_line(std::uint32_t pel, float x0, float y0, float x1, float y1,
                               std::uint32_t word);
  virtual OpAssignStd* new_assign();
  virtual OpDrawStd* new_draw();
  virtual BOpAlphaK* new_alpha_k(std::int32_t k);

  // Releases an operation made by this context; nothing for null.
  void delete_op(Op* op) { delete op; }

 protected:
  ImageContext() = default;
  ~ImageContext() = default;
};

}  // namespace talvo::g
