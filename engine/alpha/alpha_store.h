// The four storage forms of an alpha image's colours: their sizes, how a
// stored colour widens to 8-bit channels, and how a pel's colour is stored.
//
//   R8G8B8    3 bytes B, G, R
//   X8R8G8B8  4 bytes B, G, R and the pel's A byte (carries nothing)
//   R5G6B5    R >> 3 in bits 11-15, G >> 2 in bits 5-10, B >> 3 in bits 0-4
//   X1R5G5B5  each channel >> 3 in bits 10-14, 5-9, 0-4; bit 15 stored 0
//
// Widening shifts each field to the top of its byte and leaves the low bits
// 0: a stored 16-bit white reads 248, 252, 248 (or 248, 248, 248).
#pragma once

#include <cstdint>

#include "engine/pel.h"

namespace alphaStore {

// Channels as ints.
struct Rgb {
  int b, g, r;
};

template <class Store>
struct Of;

template <>
struct Of<R8G8B8> {
  static constexpr int code = pel_FMT_R8G8B8;
  static constexpr int bytes = 3;
  static Rgb wide(const uint8_t* c) { return {c[0], c[1], c[2]}; }
  static void put(uint8_t* out, const A8R8G8B8& p) { pelStore(out, R8G8B8{p.b, p.g, p.r}); }
};

template <>
struct Of<X8R8G8B8> {
  static constexpr int code = pel_FMT_X8R8G8B8;
  static constexpr int bytes = 4;
  static Rgb wide(const uint8_t* c) { return {c[0], c[1], c[2]}; }
  static void put(uint8_t* out, const A8R8G8B8& p) { pelStore(out, p); }
};

template <>
struct Of<R5G6B5> {
  static constexpr int code = pel_FMT_R5G6B5;
  static constexpr int bytes = 2;
  static Rgb wide(const uint8_t* c) {
    const R8G8B8 w = pelConvert<R5G6B5, R8G8B8>(pelLoad<R5G6B5>(c));
    return {w.b, w.g, w.r};
  }
  static void put(uint8_t* out, const A8R8G8B8& p) {
    pelStore(out, pelConvert<R8G8B8, R5G6B5>(R8G8B8{p.b, p.g, p.r}));
  }
};

template <>
struct Of<X1R5G5B5> {
  static constexpr int code = pel_FMT_X1R5G5B5;
  static constexpr int bytes = 2;
  static Rgb wide(const uint8_t* c) {
    const R8G8B8 w = pelConvert<X1R5G5B5, R8G8B8>(pelLoad<X1R5G5B5>(c));
    return {w.b, w.g, w.r};
  }
  static void put(uint8_t* out, const A8R8G8B8& p) {
    pelStore(out, pelConvert<R8G8B8, X1R5G5B5>(R8G8B8{p.b, p.g, p.r}));
  }
};

// Calls f with a null pointer of the storage form of a format code; false
// (f not called) for a code that is not a storage form.
template <class F>
bool visit(int storageFormat, F&& f) {
  switch (storageFormat) {
    case pel_FMT_R8G8B8:
      f(static_cast<R8G8B8*>(nullptr));
      return true;
    case pel_FMT_X8R8G8B8:
      f(static_cast<X8R8G8B8*>(nullptr));
      return true;
    case pel_FMT_R5G6B5:
      f(static_cast<R5G6B5*>(nullptr));
      return true;
    case pel_FMT_X1R5G5B5:
      f(static_cast<X1R5G5B5*>(nullptr));
      return true;
    default:
      return false;
  }
}

}  // namespace alphaStore
