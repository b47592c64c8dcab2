// The whole MPEG audio decoder on any bytes. The first byte chooses the
// reduction (bits 0-1), the channel conversion (bits 2-3) and 8-bit output
// (bit 4); the rest is taken as a file image and walked as the MP3 source
// walks it: the first header within 4096 bytes sets the decoder up, then each
// frame found from the input offset that lies wholly inside the image is
// decoded. Every frame must report input bytes and at most one frame's
// output. The seeds are made by fuzz/mpeg_decode_seeds.sh.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "sound/mpa.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int reduction = data[0] & 3;
  const int options = ((data[0] >> 2) & 3) | ((data[0] & 0x10) ? MPA_OUT_8BIT : 0);
  const int len = size - 1 > 1 << 24 ? 1 << 24 : int(size - 1);
  // The image in a block of exactly its size, so a read past it is caught.
  std::unique_ptr<uint8_t[]> image(new uint8_t[len ? size_t(len) : 1]);
  if (len) std::memcpy(image.get(), data + 1, size_t(len));

  auto dec = std::make_unique<mpaDecoder>();
  mpaInit(dec.get(), 1);
  mpaHeader hdr{};
  int bitrate = 0, skip = 0;
  const int size0 = mpaFindFrame(image.get(), len < 4096 ? len : 4096, &hdr, &bitrate, &skip);
  if (size0 > 0 && mpaDecodeInit(dec.get(), &hdr, size0, reduction, 0, options, 24000)) {
    mpaInfo info{};
    mpaGetInfo(dec.get(), &info);
    const int frameOut = info.values * info.bits / 8;
    if (frameOut <= 0 || frameOut > 4608) std::abort();
    uint8_t out[4608];
    int offset = 0;
    for (int frames = 0; offset < len && frames < 4000; ++frames) {
      mpaHeader h{};
      skip = 0;
      const int found = mpaFindFrame(image.get() + offset, len - offset, &h, &bitrate, &skip);
      if (!found) break;
      offset += skip;
      // The bytes the decoder reads: a layer III decoder the frame's own size
      // (the set-up size in free format), layers I and II the set-up size; the
      // padding slot is that of the stream's layer (4 bytes in layer I).
      const int need = hdr.layer == 1 && h.layer == 1 && h.bitrateIndex ? found : (found > size0 ? found : size0);
      const int slot = hdr.layer == 3 ? 4 : 1;
      if (int64_t(offset) + need + h.padding * slot > len) break;
      mpaInOut r = mpaDecode(dec.get(), image.get() + offset, out);
      if (r.inBytes == 0) break;
      if (r.inBytes < 0 || r.outBytes != frameOut) std::abort();
      offset += r.inBytes;
    }
  }
  mpaRelease(dec.get());
  return 0;
}
