// The test API's pass-driven input script (see test_api.h).
#include <deque>
#include <mutex>

#include "platform/detail.h"
#include "platform/test_api.h"

namespace {

std::mutex g_mutex;
std::deque<plat::test::ScriptStep> g_steps;
int g_passes = 0;
int g_waited = 0;  // passes since the previous step ran

void act(HWND window, const plat::test::ScriptStep& step) {
  using Kind = plat::test::ScriptStep::Kind;
  switch (step.kind) {
    case Kind::Move: {
      POINT origin{0, 0};
      plat::detail::clientOrigin(window, &origin);
      plat::test::injectCursorMove(origin.x + step.x, origin.y + step.y);
      break;
    }
    case Kind::Key:
      plat::test::injectKey(step.key, step.down);
      break;
    case Kind::Close:
      plat::test::injectWindowEvent(window, plat::test::WindowEvent::Close);
      break;
    case Kind::Call:
      if (step.call) step.call();
      break;
  }
}

}  // namespace

namespace plat::detail {

bool runScriptPass(HWND window) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_steps.empty()) return false;
    ++g_passes;
    ++g_waited;
  }
  bool acted = false;
  for (;;) {
    plat::test::ScriptStep step;
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      if (g_steps.empty() || g_steps.front().passes > g_waited) break;
      step = std::move(g_steps.front());
      g_steps.pop_front();
      g_waited = 0;
    }
    // Outside the lock: a test function may set a new script.
    act(window, step);
    acted = true;
  }
  return acted;
}

}  // namespace plat::detail

namespace plat::test {

ScriptStep moveTo(int passes, int x, int y) {
  return {.passes = passes, .kind = ScriptStep::Kind::Move, .x = x, .y = y};
}

ScriptStep keyDown(int passes, int virtualKey) {
  return {.passes = passes, .kind = ScriptStep::Kind::Key, .key = virtualKey, .down = true};
}

ScriptStep keyUp(int passes, int virtualKey) {
  return {.passes = passes, .kind = ScriptStep::Kind::Key, .key = virtualKey, .down = false};
}

ScriptStep closeWindow(int passes) { return {.passes = passes, .kind = ScriptStep::Kind::Close}; }

ScriptStep callAt(int passes, std::function<void()> call) {
  return {.passes = passes, .kind = ScriptStep::Kind::Call, .call = std::move(call)};
}

void setInputScript(std::vector<ScriptStep> steps) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_steps.assign(std::make_move_iterator(steps.begin()), std::make_move_iterator(steps.end()));
  g_passes = 0;
  g_waited = 0;
}

int scriptPasses() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_passes;
}

size_t scriptStepsLeft() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_steps.size();
}

}  // namespace plat::test
