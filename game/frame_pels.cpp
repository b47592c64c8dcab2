#include "game/frame_pels.h"

#include "engine/img.h"

std::vector<uint32_t> gameFramePels(imgCTy* frame) {
  std::vector<uint32_t> pels(static_cast<size_t>(frame->width) * frame->height);
  frame->Lock(nullptr, img_LOCK_READ);
  for (int row = 0; row < frame->height; ++row)
    for (int col = 0; col < frame->width; ++col)
      pels[static_cast<size_t>(row) * frame->width + col] = frame->LockedPelAt(col, row);
  frame->Unlock();
  return pels;
}
