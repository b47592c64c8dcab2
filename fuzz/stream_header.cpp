// Stream headers and the factory records after them, from untrusted bytes:
// the header is read over a memory buffer, then object references are read
// with the registry the header chose until the stream fails.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "talvo/Log.h"
#include "talvo/Registry.h"
#include "talvo/Stream.h"

namespace {

class HeaderStream : public talvo::io::IStream {
 public:
  explicit HeaderStream(std::streambuf* buffer) : IStream(buffer) {}
  using IStream::read_header;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Refusals log; the log is not what is tested here.
  talvo::log_switch.disable = 1;
  talvo::io::MemBuf buffer;
  char* block = static_cast<char*>(std::malloc(size + 1));
  if (size) std::memcpy(block, data, size);
  buffer.set_data(block, size, size);

  HeaderStream in(&buffer);
  in.exceptions(0);
  in.read_header();
  in.clear();
  if (auto* registry = dynamic_cast<talvo::io::BasicRegistry*>(in.registry())) {
    for (int i = 0; i < 64 && in.good(); ++i) {
      talvo::io::Registry::ObjectSlot slot;
      uint32_t id = 0;
      if (registry->load_object_ref(in, slot, id) && id > 1) registry->bind_id(&slot, id);
    }
  } else {
    char rest[256];
    while (in.read_some(rest, sizeof rest) > 0) {
    }
  }
  return 0;
}
