// The memory image: pels row after row in one buffer, in any pel format,
// owned, or borrowed from an rw stream's data (in-place reads), or pointed by
// its owner at a buffer of the owner's (ownsBuffer clear). The image frees
// the buffer only when it owns it and it is not borrowed.
#pragma once

#include <cstdint>

#include "engine/img.h"

class imgRowCTy : public imgCTy {
 public:
  imgRowCTy();
  // Own pels equal to the source's (when it has any); bounds {0, 0, w, h}.
  imgRowCTy(const imgRowCTy& other);

  const char* GetClassName() const override;
  ~imgRowCTy() override;
  // data = buffer + (y * rowLength + x) * bytes per pel; a lock without
  // pels leaves data null.
  void Lock(const rectCTy* rect, int mode) override;
  void Unlock() override;
  imgCTy* Clone() override;
  void FreeData() override;
  // Takes a copy of the descriptor when one is given (the key follows it),
  // then a new buffer of width * height pels (contents undefined).
  void SetSize(int w, int h, const pelFmtDesc* descriptor) override;
  void ReadInPlace(rwStream* stream) override;
  // The base header, then the bounds.
  void WriteHeader(rwStream* stream) override;
  void WriteData(rwStream* stream) override;
  void ReadHeader(rwStream* stream) override;
  // A new buffer of the stream's pels; pels past the stream's data fail it
  // and leave the image without pels.
  void ReadData(rwStream* stream) override;
  // The pels at the stream's position, borrowed (the stream must outlive the
  // image); the position does not move.
  void ReadDataInPlace(rwStream* stream) override;

  // The rw create function.
  static rwObjCTy* Create();

  // Bytes of the pels: width * height * bytes per pel, 0 for negative sizes
  // (INT64_MAX beyond the 64-bit range).
  int64_t BufferBytes() const;

  rectCTy bounds{0, 0, 0, 0};
  uint8_t* buffer = nullptr;
  int rowLength = 0;       // pels from one row to the next: the width
  uint8_t ownsBuffer = 0;  // a buffer was allocated for or attached to the image

 private:
  // Frees an owned buffer that is not borrowed; no buffer afterwards.
  void ReleaseBuffer();
};
