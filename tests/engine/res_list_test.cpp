#include <gtest/gtest.h>

#include <string>

#include "base/err.h"
#include "base/err_fixture.h"
#include "base/mem.h"
#include "base/str.h"
#include "engine/res_list.h"
#include "engine/res_pack.h"
#include "pack_fixtures.h"

namespace {

class ResListTest : public ErrTest {
 protected:
  void TearDown() override {
    resListDone();
    ErrTest::TearDown();
  }

  static resBuffers* buffers() {
    auto* r = static_cast<resBuffers*>(memAlloc(sizeof(resBuffers)));
    r->buffers[0] = memAlloc(16);
    r->buffers[1] = memAlloc(8);
    r->buffers[2] = nullptr;  // a buffer may be missing
    return r;
  }
  static resImage* image(uint32_t size, bool owns, void* pels) {
    auto* r = static_cast<resImage*>(memAlloc(sizeof(resImage)));
    *r = {size, owns ? 1 : 0, pels};
    return r;
  }
  static resEntry entry(int32_t kind, uint32_t count, void* items) {
    return {strDup("name"), strDup("DATA/file"), count, items, kind};
  }
};

}  // namespace

// One entry of each kind: the counter counts the images' sizes and the
// pack's size word, and freeing the list gives back everything
// (LeakSanitizer checks) and the counter returns to 0.
TEST_F(ResListTest, DoneFreesEveryKindAndTheCounterReturnsToZero) {
  PackFiles files;
  resListCreate();
  EXPECT_EQ(resListMemory(), 0);

  static char borrowed[32];
  auto** images = static_cast<resImage**>(memAlloc(3 * sizeof(resImage*)));
  images[0] = image(100, true, memAlloc(100));
  images[1] = nullptr;
  images[2] = image(28, false, borrowed);
  resEntry e = entry(res_KIND_IMAGES, 3, images);
  EXPECT_EQ(resListAdd(&e), 0);

  resPackTy* pack = resPackOpen(files["two_items.pak"].c_str(), testRGB);
  ASSERT_NE(pack, nullptr);
  e = entry(res_KIND_PACK, 0, pack);
  EXPECT_EQ(resListAdd(&e), 1);

  auto* set = static_cast<resSet*>(memAlloc(sizeof(resSet)));
  set->count = 2;
  set->records = static_cast<resBuffers**>(memAlloc(2 * sizeof(resBuffers*)));
  set->records[0] = buffers();
  set->records[1] = buffers();
  e = entry(res_KIND_SET, 0, set);
  EXPECT_EQ(resListAdd(&e), 2);

  auto** records = static_cast<resBuffers**>(memAlloc(2 * sizeof(resBuffers*)));
  records[0] = buffers();
  records[1] = nullptr;
  e = entry(res_KIND_BUFFERS, 2, records);
  EXPECT_EQ(resListAdd(&e), 3);

  // Entries past the first ten make the list grow.
  for (int i = 4; i < 12; ++i) {
    e = entry(res_KIND_BUFFERS, 0, nullptr);
    EXPECT_EQ(resListAdd(&e), i);
  }
  EXPECT_EQ(resListCount(), 12);
  EXPECT_EQ(resListMemory(), static_cast<int32_t>(100 + 28 + resPackSize(pack)));
  resListDone();
  EXPECT_EQ(resListMemory(), 0);
  EXPECT_EQ(resListCount(), 0);
  EXPECT_EQ(mfOpenFiles(), nullptr);
  EXPECT_TRUE(hookCalls().empty());
}

TEST_F(ResListTest, EmptyListOnlyFreesTheList) {
  resListCreate();
  resListDone();
  EXPECT_EQ(resListMemory(), 0);
  resListDone();  // a second time, and without a list: nothing
}

// Without a list the entry is refused with -66 and stays the caller's.
TEST_F(ResListTest, AddWithoutListIsRefused) {
  resEntry e = entry(res_KIND_BUFFERS, 0, nullptr);
  EXPECT_EQ(resListAdd(&e), ERR_NOT_CREATED);
  EXPECT_EQ(resListMemory(), 0);
  memHooks.free(e.name);
  memHooks.free(e.path);
}
