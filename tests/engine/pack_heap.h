// An open pack read from an exact-size heap copy of its file. Shared by the
// pack tests and the image_pack fuzz target.
#pragma once

#include <cstdlib>
#include <cstring>

#include "engine/res_pack.h"

// Points an open pack's mapping at an exact-size heap copy of the file for
// its life, so that AddressSanitizer sees every read past the file's end
// (reads past a mapping's end land in the rest of its last page unseen).
struct HeapMapping {
  resPackTy* pack;
  uint8_t* view;
  explicit HeapMapping(resPackTy* p) : pack(p), view(p->mapping->view) {
    uint8_t* block = static_cast<uint8_t*>(std::malloc(p->mapping->dataSize));
    std::memcpy(block, view, p->mapping->dataSize);
    p->mapping->view = block;
    p->offsets = block + resPackHeaderSize;
  }
  ~HeapMapping() {
    std::free(pack->mapping->view);
    pack->mapping->view = view;
    pack->offsets = view + resPackHeaderSize;
  }
  HeapMapping(const HeapMapping&) = delete;
  HeapMapping& operator=(const HeapMapping&) = delete;
};
