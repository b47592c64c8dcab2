// talvo::Ptr: counts, release order, assignment, allocation failure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "talvo/Ptr.h"

namespace {

bool g_failNextNew = false;

}  // namespace

// The block allocation of a Ptr can be made to fail. The replacement pair
// allocates with malloc and frees with free on purpose; optimised builds see
// through the inlined pair and would warn about the mix.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (g_failNextNew) {
    g_failNextNew = false;
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using talvo::Ptr;

std::vector<std::string> g_events;

struct Base {
  virtual ~Base() { g_events.push_back("~Base"); }
};
struct Ball : Base {
  explicit Ball(const char* name) : name(name) {}
  ~Ball() override { g_events.push_back(std::string("~Ball ") + name); }
  const char* name;
};

int uses(const Ptr<Base>& p) { return p.refs() ? p.refs()->use_count : 0; }
int weaks(const Ptr<Base>& p) { return p.refs() ? p.refs()->weak_count : 0; }

// Every test starts with no recorded destructor and no allocation set to fail.
class PtrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_events.clear();
    g_failNextNew = false;
  }
};

TEST_F(PtrTest, NullHasNoBlock) {
  Ptr<Base> p(nullptr);
  EXPECT_EQ(p.refs(), nullptr);
  EXPECT_FALSE(p);
  p.reset();
  Ptr<Base> copy(p);
  EXPECT_EQ(copy.refs(), nullptr);
  EXPECT_TRUE(g_events.empty());
}

TEST_F(PtrTest, CopiesCountAndTheLastReleaseDeletesThroughTheVirtualDestructor) {
  Ptr<Base> first(new Ball("a"));
  EXPECT_EQ(uses(first), 1);
  EXPECT_EQ(weaks(first), 1);
  Ptr<Base> second(first);
  EXPECT_EQ(second.get(), first.get());
  EXPECT_EQ(uses(first), 2);
  EXPECT_EQ(weaks(first), 2);
  first.reset();
  EXPECT_EQ(first.get(), nullptr);
  EXPECT_TRUE(g_events.empty());
  EXPECT_EQ(uses(second), 1);
  EXPECT_EQ(weaks(second), 1);
  second.reset();
  EXPECT_EQ(g_events, (std::vector<std::string>{"~Ball a", "~Base"}));
}

TEST_F(PtrTest, Assignment) {
  struct Case {
    const char* what;
    bool leftSet, rightSet, same;
    std::vector<std::string> deletedByAssignment;
    int usesAfter;  // of the shared block after the assignment
  } cases[] = {
      {"other object", true, true, false, {"~Ball left", "~Base"}, 2},
      {"same object", true, true, true, {}, 2},
      {"null over object", true, false, false, {"~Ball left", "~Base"}, 0},
      {"object over null", false, true, false, {}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_events.clear();
    {
      Ptr<Base> left(c.leftSet ? new Ball("left") : nullptr);
      Ptr<Base> right = c.same ? left : Ptr<Base>(c.rightSet ? new Ball("right") : nullptr);
      left = right;
      EXPECT_EQ(g_events, c.deletedByAssignment);
      EXPECT_EQ(left.get(), right.get());
      EXPECT_EQ(uses(left), c.usesAfter);
      EXPECT_EQ(weaks(left), c.usesAfter);
      g_events.clear();
    }
    // Both gone: the remaining object is deleted exactly once.
    bool anyLeft = c.rightSet || c.same;
    EXPECT_EQ(g_events.size(), anyLeft ? 2u : 0u);
  }
}

TEST_F(PtrTest, SelfAssignmentKeepsTheObject) {
  Ptr<Base> p(new Ball("self"));
  Ptr<Base>& alias = p;
  p = alias;
  EXPECT_TRUE(g_events.empty());
  EXPECT_EQ(uses(p), 1);
  EXPECT_EQ(weaks(p), 1);
}

// The object goes when the use count reaches 0, the block when the weak
// count does; the object's destructor runs first.
TEST_F(PtrTest, ReleaseOrder) {
  struct Object {
    ~Object() { g_events.push_back("object"); }
  };
  struct Deleter {
    void operator()(Object* o) const { delete o; }
  };
  struct Refs : talvo::PtrRefsImpl<Object*, Deleter> {
    using PtrRefsImpl::PtrRefsImpl;
    void destroy() override {
      g_events.push_back("block");
      PtrRefsImpl::destroy();
    }
  };
  auto* refs = new Refs(new Object);
  refs->add_ref();         // 2 uses, 2 weak
  ++refs->weak_count;      // a weak reference of its own: 2 uses, 3 weak
  refs->release();         // 1 use, 2 weak
  EXPECT_TRUE(g_events.empty());
  refs->release();         // 0 uses: the object goes; 1 weak
  EXPECT_EQ(g_events, std::vector<std::string>{"object"});
  refs->release_weak();    // the block goes
  EXPECT_EQ(g_events, (std::vector<std::string>{"object", "block"}));
}

TEST_F(PtrTest, FailedBlockAllocationDeletesTheObject) {
  Base* ball = new Ball("lost");
  g_failNextNew = true;
  EXPECT_THROW(Ptr<Base>{ball}, std::bad_alloc);
  EXPECT_EQ(g_events, (std::vector<std::string>{"~Ball lost", "~Base"}));
}

}  // namespace
