// The fault injection and call trace that the DirectDraw and DirectSound
// layers share: which calls a fault reaches, in which order faults are used,
// and what the trace keeps.
#include <gtest/gtest.h>

#include <thread>

#include "platform/call_trace.h"
#include "platform/win_com.h"

namespace {

using plat::detail::injected;

class CallTrace : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }
  static void reset() {
    plat::test::clearFaults();
    plat::test::traceCalls(false);
  }
};

// The result each call gets: 0 when no fault reached it.
HRESULT call(const char* iface, const char* op) {
  HRESULT hr = 0;
  return injected(iface, op, &hr) ? hr : 0;
}

const HRESULT kA = E_FAIL;
const HRESULT kB = E_OUTOFMEMORY;

TEST_F(CallTrace, FaultsReachTheNamedOperationsInOrder) {
  plat::test::failNext("Lock", 2, kA);
  plat::test::failNext("Lock", 1, kB);
  plat::test::failNext("IDirectSoundBuffer::Play", 1, kA);
  plat::test::failNext("DirectSoundCreate", 1, kB);
  struct Step {
    const char* iface;
    const char* op;
    HRESULT expected;
  } steps[] = {
      {"IDirectSoundBuffer", "Unlock", 0},             // another operation
      {"IDirectDrawSurface7", "Lock", kA},              // a plain name reaches every interface
      {"IDirectSoundBuffer", "Lock", kA},
      {"IDirectSoundBuffer", "Lock", kB},              // then the fault asked second
      {"IDirectSoundBuffer", "Lock", 0},               // all used up
      {"IDirectDrawSurface7", "Play", 0},               // a qualified name reaches one interface
      {"IDirectSound", "Play", 0},                      // not one whose name is a prefix
      {"", "Play", 0},                                  // nor a free function
      {"IDirectSoundBuffer", "Play", kA},
      {"", "DirectSoundCreate", kB},                    // and a free function
      {"", "DirectSoundCreate", 0},
  };
  for (const Step& s : steps) EXPECT_EQ(call(s.iface, s.op), s.expected) << s.iface << "::" << s.op;
}

TEST_F(CallTrace, CountZeroAndClearDropPendingFaults) {
  plat::test::failNext("Blt", 5, kA);
  plat::test::failNext("IDirectDrawSurface7::Blt", 5, kB);
  plat::test::failNext("Blt", 0, 0);  // drops the plain name's only
  EXPECT_EQ(call("IDirectDrawSurface7", "Blt"), kB);
  plat::test::clearFaults();
  EXPECT_EQ(call("IDirectDrawSurface7", "Blt"), 0);
  plat::test::failNext("Flip", -1, kA);  // nothing to drop, nothing asked
  EXPECT_EQ(call("IDirectDrawSurface7", "Flip"), 0);
}

TEST_F(CallTrace, TraceKeepsRecordsWhileOnInReturnOrder) {
  using plat::test::CallRecord;
  EXPECT_FALSE(plat::detail::tracing());
  plat::detail::trace({.op = "Stop"});
  plat::test::traceCalls(true);
  EXPECT_TRUE(plat::test::takeCalls().empty()) << "records made while off are dropped";

  int object = 0;
  RECT dst{1, 2, 3, 4}, src{5, 6, 7, 8};
  plat::detail::trace({.op = "Blt", .iface = "IDirectDrawSurface7", .object = &object,
                       .rects = {dst, src}, .flags = 0x8000, .result = kA});
  std::thread other([] { plat::detail::trace({.op = "SetVolume", .values = {-9999}, .text = "x"}); });
  other.join();
  std::vector<CallRecord> calls = plat::test::takeCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].op, "Blt");
  EXPECT_EQ(calls[0].iface, "IDirectDrawSurface7");
  EXPECT_EQ(calls[0].object, &object);
  ASSERT_EQ(calls[0].rects.size(), 2u);
  EXPECT_EQ(calls[0].rects[1].left, 5);
  EXPECT_EQ(calls[0].flags, 0x8000u);
  EXPECT_EQ(calls[0].result, kA);
  EXPECT_EQ(calls[1].op, "SetVolume");
  EXPECT_EQ(calls[1].values, std::vector<int64_t>{-9999});
  EXPECT_EQ(calls[1].text, "x");
  EXPECT_TRUE(plat::test::takeCalls().empty()) << "a take empties the trace";

  plat::detail::trace({.op = "Flip"});
  plat::test::traceCalls(true);
  EXPECT_TRUE(plat::test::takeCalls().empty()) << "switching clears";
  plat::test::traceCalls(false);
  plat::detail::trace({.op = "Flip"});
  EXPECT_TRUE(plat::test::takeCalls().empty());
}

}  // namespace
