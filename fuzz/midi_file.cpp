// mstrParseFile on any bytes; a file that parses converts without a
// malformed event (midi_convert.h). The buffer size comes from the last
// byte.
#include <cstdint>
#include <cstring>

#include "midi_convert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  auto* file = static_cast<mstrFile*>(LocalAlloc(LMEM_ZEROINIT, sizeof(mstrFile)));
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  file->image = static_cast<uint8_t*>(GlobalLock(block));
  file->imageSize = static_cast<uint32_t>(size);
  if (size) std::memcpy(file->image, data, size);
  if (mstrParseFile(file) == 0) fuzz::convertMidiEverywhere(file, size ? data[size - 1] : 0);
  mstrFreeFile(file);
  return 0;
}
