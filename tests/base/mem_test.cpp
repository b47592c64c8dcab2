#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/err.h"
#include "base/mem.h"
#include "err_fixture.h"
#include "platform/test_api.h"
#include "platform/win32.h"

namespace {

// Replaces the allocation entries with failing ones that count their calls.
class FailingHooks {
 public:
  FailingHooks() : saved_(memHooks) {
    calls().assign(5, 0);
    memHooks.alloc = [](size_t) { return fail(0); };
    memHooks.calloc = [](size_t, size_t) { return fail(1); };
    memHooks.realloc = [](void*, size_t) { return fail(2); };
    memHooks.alloc2 = [](size_t) { return fail(3); };
  }
  ~FailingHooks() { memHooks = saved_; }
  static void* fail(int entry) {
    ++calls()[static_cast<size_t>(entry)];
    return nullptr;
  }
  static std::vector<int>& calls() {
    static std::vector<int> c;
    return c;
  }

 private:
  memHookTable saved_;
};

using MemTest = ErrTest;

TEST_F(MemTest, FrontEndsTakeZeroAsOneAndKeepContents) {
  void* a = memAlloc(0);
  ASSERT_NE(a, nullptr);
  EXPECT_GE(memBlockSize(a), 1u);
  auto* c = static_cast<unsigned char*>(memCalloc(0));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c[0], 0);
  auto* z = static_cast<unsigned char*>(memCalloc(100));
  for (int i = 0; i < 100; ++i) ASSERT_EQ(z[i], 0) << i;
  std::memcpy(z, "keep", 5);
  z = static_cast<unsigned char*>(memRealloc(z, 5000));
  EXPECT_STREQ(reinterpret_cast<char*>(z), "keep");
  void* g = memAllocChecked(0);
  ASSERT_NE(g, nullptr);
  auto* f = static_cast<unsigned char*>(memHooks.allocFlags(64, MEM_ZERO_FILL));
  EXPECT_EQ(f[63], 0);
  for (void* p : {a, static_cast<void*>(c), static_cast<void*>(z), g, static_cast<void*>(f)}) memHooks.free(p);
  memHooks.free(nullptr);
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
}

TEST_F(MemTest, FailingHooksRaiseNoMemory) {
  FailingHooks failing;
  void* old = std::malloc(8);
  struct Case {
    const char* name;
    std::function<void*()> call;
    int entry;  // which entry served it
  } cases[] = {
      {"memAlloc", [] { return memAlloc(10); }, 0},
      {"memCalloc", [] { return memCalloc(10); }, 1},
      {"memRealloc", [&] { return memRealloc(old, 10); }, 2},
      {"memAllocChecked", [] { return memAllocChecked(10); }, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FailingHooks::calls().assign(5, 0);
    // Outside a TRY frame: the box, then null.
    EXPECT_EQ(c.call(), nullptr);
    EXPECT_EQ(FailingHooks::calls()[c.entry], 1);
    auto boxes = plat::test::takeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find("\n\nNo memory\n"), std::string::npos);
    // Inside one: the CATCH path with -2.
    errCode got = 0;
    ERR_TRY(frame) { c.call(); }
    ERR_CATCH(frame, code) {
      got = code;
      errEndCatch(errGetState(), &frame);
    }
    ERR_END_TRY
    EXPECT_EQ(got, ERR_NO_MEMORY);
  }
  // Retry breaks into the debugger (nothing happens without one) and still gives null.
  plat::test::pushMessageBoxAnswer(IDRETRY);
  EXPECT_EQ(memAlloc(1), nullptr);
  plat::test::takeMessageBoxes();
  // The failed reallocation left the old block with its owner.
  std::memcpy(old, "still", 6);
  EXPECT_STREQ(static_cast<char*>(old), "still");
  std::free(old);
}

TEST_F(MemTest, ZonesKeepTheirBlocksAndFreeThemWhole) {
  memZonesInit();
  int zones[3];
  for (int& z : zones) {
    z = memZoneCreate();
    ASSERT_GT(z, 0);
  }
  EXPECT_NE(zones[0], zones[1]);
  std::vector<void*> blocks[3];
  for (int round = 0; round < 50; ++round) {
    for (int i = 0; i < 3; ++i) {
      size_t size = 1 + static_cast<size_t>(round * 7 + i);
      void* p = memZoneAlloc(zones[i], size);
      ASSERT_NE(p, nullptr);
      EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignof(std::max_align_t), 0u);
      std::memset(p, 0xA0 + i, size);
      blocks[i].push_back(p);
    }
  }
  // The default entries allocate in the current zone.
  EXPECT_EQ(memZoneSelect(zones[1]), 0);
  void* viaHooks = memHooks.alloc(32);
  void* zeroed = memHooks.calloc(4, 8);
  EXPECT_EQ(static_cast<char*>(zeroed)[31], 0);
  EXPECT_GE(memBlockSize(viaHooks), 32u + alignof(std::max_align_t));
  viaHooks = memHooks.realloc(viaHooks, 4096);
  ASSERT_NE(viaHooks, nullptr);
  memHooks.free(zeroed);
  // A block of another zone is not freed through this one.
  memZoneFree(zones[1], blocks[0][0]);
  EXPECT_EQ(static_cast<unsigned char*>(blocks[0][0])[0], 0xA0);
  // Realloc of a zone block keeps its contents and its zone.
  blocks[2][0] = memZoneRealloc(zones[2], blocks[2][0], 10000);
  ASSERT_NE(blocks[2][0], nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(blocks[2][0])[0], 0xA2);
  EXPECT_EQ(memZoneRealloc(zones[1], blocks[2][1], 8), nullptr);  // not in that zone
  // Move a block from zone 0's set to zone 2 and free zone 0's set whole.
  void* moved = blocks[0].back();
  EXPECT_EQ(memZoneMove(zones[2], zones[0], moved), moved);
  memZoneFree(zones[0], blocks[0][1]);

  // Freeing zone 1 (current) makes zone 0 current and releases its number.
  memZoneFreeAll(MEM_ZONE_CURRENT);
  EXPECT_EQ(memZoneSelect(0), 0);
  EXPECT_EQ(memZoneCreate(), zones[1]);
  // A zone without blocks stays in use.
  memZoneFreeAll(zones[1]);
  EXPECT_NE(memZoneCreate(), zones[1]);

  memZoneFreeAll(zones[0]);
  // The moved block survived its old zone and goes with its new one.
  EXPECT_EQ(static_cast<unsigned char*>(moved)[0], 0xA0);
  memZoneFreeAll(zones[2]);
  memZonesDone();
  // Nothing is left over: the sanitizer's leak check at exit would say so.
}

TEST(MemProbe, ReadableAddresses) {
  long page = sysconf(_SC_PAGESIZE);
  void* mapped = mmap(nullptr, static_cast<size_t>(page) * 2, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mapped, MAP_FAILED);
  char* second = static_cast<char*>(mapped) + page;
  ASSERT_EQ(munmap(second, static_cast<size_t>(page)), 0);
  int local = 7;
  EXPECT_EQ(memIsReadable(&local), &local);
  EXPECT_EQ(memIsReadable(mapped), mapped);
  EXPECT_EQ(memIsReadable(nullptr), nullptr);
  EXPECT_EQ(memIsReadable(second), nullptr);
  EXPECT_EQ(memIsReadable(second - 2), nullptr);  // straddles into the unmapped page
  munmap(mapped, static_cast<size_t>(page));
}

}  // namespace
