// The reading script of the rw_read fuzz target: the stream's own data says
// what is read next, as an image set's loader would read it. Each step is a
// 4-byte op (its low byte the kind, the next bits an argument), then what
// that kind reads. The seed maker writes streams in the same language.
#pragma once

#include <cstdint>

namespace fuzz::rw_script {

enum Op : int32_t {
  opInt = 0,        // rwReadInt
  opString = 1,     // rwReadString
  opPalette = 2,    // palCTy::Read, then BuildTbl (format = bits 8-11)
  opDescriptor = 3, // pelFmtDesc::Read
  opObject = 4,     // a class name (string), then the object's Read
  opInPlace = 5,    // a class name, then the object's ReadInPlace
  opSeek = 6,       // rwSetPos to the next int
  opBytes = 7,      // rwRead of (bits 8-23) bytes
};

constexpr int32_t op(Op kind, int32_t argument = 0) { return kind | argument << 8; }

}  // namespace fuzz::rw_script
