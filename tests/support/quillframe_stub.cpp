// The stub sibling library (built as a shared object named Quillframe.dll).
#include "support/quillframe_stub.h"

namespace {

QuillframeStubState g_state;

void record(char call) {
  if (g_state.orderLength < static_cast<int>(sizeof g_state.order) - 1) {
    g_state.order[g_state.orderLength++] = call;
  }
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) QuillframeStubState* quillframe_stub_state() { return &g_state; }

__attribute__((visibility("default"))) void* begin_write_img() {
  ++g_state.beginCalls;
  record('b');
  return g_state.giveNullBuffer ? nullptr : g_state.pels;
}

__attribute__((visibility("default"))) void end_write_img() {
  ++g_state.endCalls;
  record('e');
}

__attribute__((visibility("default"))) void set_has_writer(int hasWriter) {
  if (g_state.writerCalls < QuillframeStubState::kMaxWriterCalls) {
    g_state.writerValues[g_state.writerCalls] = hasWriter;
  }
  ++g_state.writerCalls;
  record('w');
}

}  // extern "C"
