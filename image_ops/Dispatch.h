// Pieces shared by the operations' two dispatches.
#pragma once

#include "img/Op.h"
#include "img/Pixel.h"
#include "talvo/Exception.h"

namespace talvo::g {

// Implements the eight direct-colour slots of an operation class by calling
// Derived::run<P>() with the slot's pixel struct P; the palette and type
// 9 to 11 slots refuse with "NOT IMPLEMENTED". The implementation templates
// of the second dispatch derive from it.
template <class Derived, class Base>
struct FormatSlots : Base {
  using Base::Base;

  void on_palette() override { not_implemented(); }
  void on_type9(std::uint8_t*) override { not_implemented(); }
  void on_type10(std::uint16_t*) override { not_implemented(); }
  void on_type11(std::uint32_t*) override { not_implemented(); }
  void on_Rgbx4444(Rgbx4444*) override { self().template run<Rgbx4444>(); }
  void on_Rgba4444(Rgba4444*) override { self().template run<Rgba4444>(); }
  void on_Rgbx5551(Rgbx5551*) override { self().template run<Rgbx5551>(); }
  void on_Rgba5551(Rgba5551*) override { self().template run<Rgba5551>(); }
  void on_Rgb565(Rgb565*) override { self().template run<Rgb565>(); }
  void on_Rgb888(Rgb888*) override { self().template run<Rgb888>(); }
  void on_Rgba8888(Rgba8888*) override { self().template run<Rgba8888>(); }
  void on_Rgbx8888(Rgbx8888*) override { self().template run<Rgbx8888>(); }

 private:
  Derived& self() { return static_cast<Derived&>(*this); }
};

// The first dispatch of an operation: the implementation instance for the
// destination struct D is made on the stack with the operation's fields and
// sent to `target` (the source image of a binary operation, the same image
// of a unary one), whose type picks the slot that runs. The instance is
// destroyed on every path out.
template <template <class> class Implementation, class D, class Operation>
void run_for_destination(const Operation& op, Image& target) {
  Implementation<D> impl(op);
  target.dispatch(impl);
}

// The rectangle a unary writer keeps to: the one Image::apply passed down,
// cut to the image, so that no pel outside either is written.
inline Rect within_image(const Rect& rect, const Image& image) {
  Rect r;
  image.get_rect(r);
  r.intersect(rect);
  return r;
}

}  // namespace talvo::g

// Defines the palette and type 9 to 11 slots that TALVO_G_INDEXED_SLOTS
// declares, for an operation class that runs on direct-colour images only:
// they refuse with "NOT IMPLEMENTED".
#define TALVO_G_REFUSE_INDEXED(Operation)                          \
  void Operation::on_palette() { not_implemented(); }              \
  void Operation::on_type9(std::uint8_t*) { not_implemented(); }   \
  void Operation::on_type10(std::uint16_t*) { not_implemented(); } \
  void Operation::on_type11(std::uint32_t*) { not_implemented(); }

// Defines the eight direct-colour slots that TALVO_G_FORMAT_SLOTS declares:
// each runs the first dispatch with Implementation<slot's struct>, sent to
// the image `target` names (source for binary operations, image for unary).
#define TALVO_G_FIRST_DISPATCH(Operation, Implementation, target)                            \
  void Operation::on_Rgbx4444(Rgbx4444*) { run_for_destination<Implementation, Rgbx4444>(*this, *target); } \
  void Operation::on_Rgba4444(Rgba4444*) { run_for_destination<Implementation, Rgba4444>(*this, *target); } \
  void Operation::on_Rgbx5551(Rgbx5551*) { run_for_destination<Implementation, Rgbx5551>(*this, *target); } \
  void Operation::on_Rgba5551(Rgba5551*) { run_for_destination<Implementation, Rgba5551>(*this, *target); } \
  void Operation::on_Rgb565(Rgb565*) { run_for_destination<Implementation, Rgb565>(*this, *target); }       \
  void Operation::on_Rgb888(Rgb888*) { run_for_destination<Implementation, Rgb888>(*this, *target); }       \
  void Operation::on_Rgba8888(Rgba8888*) { run_for_destination<Implementation, Rgba8888>(*this, *target); } \
  void Operation::on_Rgbx8888(Rgbx8888*) { run_for_destination<Implementation, Rgbx8888>(*this, *target); }
