// mstrReadFile on any file, plain or wrapped in a RIFF "RMID" file: the
// file is read through the mmio functions and parsed; a file that reads
// converts without a malformed event (midi_convert.h), the buffer size
// coming from the last byte. A refused file leaves nothing allocated, which
// the leak checker sees. The seeds are made by fuzz/midi_read_seeds.py.
#include <cstdint>
#include <cstdlib>

#include "input_file.h"
#include "midi_convert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  mstrFile* file = nullptr;
  const int code = mstrReadFile(fuzz::writeInput("input.mid", data, size), &file);
  if (code != 0) {
    // Refused: invalid, out of memory, or (the parse's own code) an event
    // at the last tick.
    if (code != MSTR_INVALID && code != MSTR_NO_MEMORY && code != MSTR_AT_LIMIT) std::abort();
    return 0;
  }
  if (!file) std::abort();
  fuzz::convertMidiEverywhere(file, size ? data[size - 1] : 0);
  mstrFreeFile(file);
  return 0;
}
