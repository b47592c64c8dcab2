// Linked into the test programs marked ONE_PER_PROCESS (cmake/talvo.cmake).
// Their tests watch the process from its start (the main log, the first
// state of a global), so they only hold when each runs in a process of its
// own, as ctest runs them. A run of more than one of them in one process is
// refused before any starts, rather than failing in confusing ways.
#include <gtest/gtest.h>

namespace {

class OneTestPerProcess : public ::testing::Environment {
 public:
  void SetUp() override {
    const int count = ::testing::UnitTest::GetInstance()->test_to_run_count();
    if (count > 1)
      GTEST_FAIL() << "this program runs one test per process, " << count
                   << " were selected: pick one with --gtest_filter (ctest runs each alone)";
  }
};

[[maybe_unused]] const bool g_registered = [] {
  ::testing::AddGlobalTestEnvironment(new OneTestPerProcess);
  return true;
}();

}  // namespace
