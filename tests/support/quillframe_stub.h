// The stub of the sibling library "Quillframe.dll" the game writes its scene
// into with share_image. It records every call; a test reaches its state
// through the export quillframe_stub_state.
#pragma once

#include <cstdint>

struct QuillframeStubState {
  static constexpr int kWidth = 800;
  static constexpr int kHeight = 600;
  static constexpr int kMaxWriterCalls = 16;
  int writerValues[kMaxWriterCalls];  // set_has_writer's arguments, in order
  int writerCalls;
  int beginCalls;
  int endCalls;
  // Calls in order: 'w' set_has_writer, 'b' begin_write_img, 'e' end_write_img
  // (the last 4095 kept).
  char order[4096];
  int orderLength;
  int giveNullBuffer;  // begin_write_img returns null while this is set
  uint16_t pels[kWidth * kHeight];  // the shared image, R5G6B5
};

using QuillframeStubStateFn = QuillframeStubState* (*)();
