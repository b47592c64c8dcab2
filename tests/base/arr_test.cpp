#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "base/arr.h"
#include "base/err.h"
#include "base/mem.h"
#include "err_fixture.h"
#include "platform/test_api.h"

namespace {

using ArrTest = ErrTest;

TEST_F(ArrTest, GrowsByExactlyOneStep) {
  arrArray* a = arrCreate(nullptr, 0, sizeof(int32_t), 4);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->flags, ARR_OWNS_HEADER);
  EXPECT_EQ(a->data, nullptr);
  EXPECT_EQ(a->capacity, 0);
  // count after the append -> capacity
  const int expected[] = {4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12, 16};
  for (int32_t i = 0; i < 13; ++i) {
    EXPECT_EQ(arrAppend(a, &i), i);
    EXPECT_EQ(a->capacity, expected[i]) << i;
  }
  for (int32_t i = 0; i < 13; ++i) {
    int32_t v = -1;
    EXPECT_EQ(arrGet(a, i, &v), i);
    EXPECT_EQ(v, i);
  }
  arrFree(a);
}

TEST_F(ArrTest, GetAndRemoveIndices) {
  arrArray header;
  ASSERT_EQ(arrCreate(&header, 2, sizeof(void*), 3), &header);
  EXPECT_EQ(header.flags, 0);
  const char* names[] = {"a", "b", "c", "d", "e"};
  for (const char* n : names) arrAppend(&header, &n);
  header.cursor = 3;
  struct {
    int32_t index;
    errCode get;     // arrGet's result
    errCode remove;  // arrRemove's result
  } cases[] = {{-1, -4, -4}, {5, -4, -4}, {INT_MIN, -4, -4}, {1, 1, 0}};
  for (auto c : cases) {
    const char* got = nullptr;
    EXPECT_EQ(arrGet(&header, c.index, &got), c.get) << c.index;
    EXPECT_EQ(arrRemove(&header, c.index), c.remove) << c.index;
  }
  EXPECT_EQ(arrGet(nullptr, 0, nullptr), ERR_BAD_INDEX);
  EXPECT_EQ(arrRemove(nullptr, 0), ERR_BAD_INDEX);
  // Removing "b" below the cursor moved it down; removing at it does not.
  EXPECT_EQ(header.count, 4);
  EXPECT_EQ(header.cursor, 2);
  EXPECT_EQ(arrRemove(&header, 2), 0);
  EXPECT_EQ(header.cursor, 2);
  std::string left;
  for (int32_t i = 0; i < header.count; ++i) {
    const char* n;
    arrGet(&header, i, &n);
    left += n;
  }
  EXPECT_EQ(left, "ace");
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());  // arrGet and arrRemove raise nothing
  arrFree(&header);
  EXPECT_EQ(header.data, nullptr);
  EXPECT_EQ(header.count, 0);
}

TEST_F(ArrTest, AppendFailuresAreRaisedAndChangeNothing) {
  struct Case {
    const char* name;
    int32_t step;
    bool nullArray;
    errCode result;
    const char* text;
  } cases[] = {
      {"growth step 0", 0, false, ERR_ARRAY_OVERFLOW, "Array overflow"},
      {"negative step", -2, false, ERR_ARRAY_OVERFLOW, "Array overflow"},
      {"null array", 1, true, ERR_NOT_CREATED, "Object is not created"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    arrArray* a = arrCreate(nullptr, 2, 8, c.step);
    int64_t v = 1;
    arrAppend(a, &v);
    arrAppend(a, &v);
    EXPECT_EQ(arrAppend(c.nullArray ? nullptr : a, &v), c.result);
    EXPECT_EQ(a->count, 2);
    EXPECT_EQ(a->capacity, 2);
    auto boxes = plat::test::takeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find(std::string("\n\n") + c.text + "\n"), std::string::npos);
    arrFree(a);
  }
}

TEST_F(ArrTest, FailedFirstAllocationReportsTwiceAndFreesTheHeader) {
  memHookTable saved = memHooks;
  memHooks.realloc = [](void*, size_t) -> void* { return nullptr; };
  EXPECT_EQ(arrCreate(nullptr, 4, 4, 4), nullptr);
  EXPECT_EQ(plat::test::takeMessageBoxes().size(), 2u);
  // Inside a TRY frame the first raise jumps; the header is freed all the same
  // (the sanitizer's leak check would report it).
  ERR_TRY(frame) { arrCreate(nullptr, 4, 4, 4); }
  ERR_CATCH(frame, code) {
    EXPECT_EQ(code, ERR_NO_MEMORY);
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  // A failed growth leaves the array as it was.
  memHooks = saved;
  arrArray* a = arrCreate(nullptr, 1, 4, 1);
  int32_t v = 5;
  arrAppend(a, &v);
  memHooks.realloc = [](void*, size_t) -> void* { return nullptr; };
  EXPECT_EQ(arrAppend(a, &v), ERR_NO_MEMORY);
  memHooks = saved;
  EXPECT_EQ(a->count, 1);
  EXPECT_EQ(a->capacity, 1);
  arrFree(a);
}

struct Node {
  Node* next;
  int id;
};

TEST_F(ArrTest, Lists) {
  Node* head = nullptr;
  Node* nodes[4];
  for (int i = 0; i < 4; ++i) {
    nodes[i] = static_cast<Node*>(memAlloc(sizeof(Node)));
    nodes[i]->next = reinterpret_cast<Node*>(0x1);  // overwritten on append
    nodes[i]->id = i;
    listAppend(&head, nodes[i]);
  }
  listAppend(&head, nullptr);
  auto ids = [&] {
    std::string s;
    for (Node* n = head; n; n = n->next) s += static_cast<char>('0' + n->id);
    return s;
  };
  EXPECT_EQ(ids(), "0123");
  struct {
    Node* node;
    int found;
    const char* left;
  } cases[] = {{nodes[2], 1, "013"}, {nodes[2], 0, "013"}, {nullptr, 0, "013"}, {nodes[0], 1, "13"}};
  for (auto c : cases) {
    EXPECT_EQ(listRemove(&head, c.node), c.found);
    EXPECT_EQ(ids(), c.left);
  }
  memHooks.free(nodes[0]);
  memHooks.free(nodes[2]);
  listFreeAll(&head);
  EXPECT_EQ(head, nullptr);
}

}  // namespace
