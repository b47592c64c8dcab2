// The application object through WinMain, one test per process: start-up,
// the main loop with the test hooks, the window procedure, Alt+Enter, the
// frame-time limit, the single instance and the shutdown's configuration.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app_hooks.h"
#include "engine/app/app.h"
#include "engine/gfx.h"
#include "engine/gfx_dirty.h"
#include "engine/surf.h"
#include "platform/test_api.h"
#include "sound/snd.h"
#include "sound/snd_ds.h"
#include "support/temp_dir.h"
#include "talvo/Exception.h"

extern char** environ;

namespace fs = std::filesystem;
using app_test::script;

namespace {

// A program at <tmp>/<programDir>/testapp whose data directory the test lays
// out; the configuration file is "testapp.cfg" where DATA is found.
class App : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::test::setInstanceDir(tmp_.file("instances").c_str());
    fs::create_directories(tmp_.file("instances"));
    plat::test::takeMessageBoxes();
  }
  void TearDown() override {
    plat::test::setModuleFileName(nullptr);
    plat::test::setInstanceDir(nullptr);
    plat::test::setManualClock(false);
  }
  // The executable in `dir` (made), DATA beside it unless told otherwise.
  std::string program(const std::string& dir = "bin", bool data = true) {
    fs::create_directories(tmp_.file(dir));
    if (data) fs::create_directories(tmp_.file(dir) + "/DATA");
    const std::string path = tmp_.file(dir) + "/testapp";
    plat::test::setModuleFileName(path.c_str());
    return path;
  }
  void writeCfg(const std::string& dir, const std::string& text) { writeBytes(tmp_.file(dir) + "/testapp.cfg", text); }
  std::string readCfg(const std::string& dir = "bin") { return readBytes(tmp_.file(dir) + "/testapp.cfg"); }
  // The value of a key in the written configuration.
  std::string cfgValue(const std::string& key, const std::string& dir = "bin") {
    std::istringstream in(readCfg(dir));
    std::string line;
    while (std::getline(in, line))
      if (line.rfind(key + " = ", 0) == 0) return line.substr(key.size() + 3);
    return "(missing)";
  }
  int run() { return WinMain(nullptr, nullptr, const_cast<char*>("-x"), SW_SHOWNORMAL); }

  TempDir tmp_;
};

size_t indexOf(const std::vector<std::string>& calls, const std::string& name) {
  return size_t(std::find(calls.begin(), calls.end(), name) - calls.begin());
}

}  // namespace

TEST_F(App, RunsTheHooksAndWritesTheConfigurationBack) {
  program();
  RECT normal{};
  script().quitAfter = 3;
  script().onInit = [] {
    EXPECT_STREQ(gaApp->commandLine, "-x");
    EXPECT_NE(gaApp->window, nullptr);
    EXPECT_NE(gfxDirectDraw, nullptr);
  };
  script().onFrame = [&](int frame) {
    if (frame == 1) {
      WINDOWPLACEMENT p{};
      p.length = sizeof p;
      GetWindowPlacement(gaApp->window, &p);
      normal = p.rcNormalPosition;
      RECT client;
      GetClientRect(gaApp->window, &client);
      EXPECT_EQ(client.right, 640);
      EXPECT_EQ(client.bottom, 480);
    }
    if (frame == 2) ShowWindow(gaApp->window, SW_MINIMIZE);  // exits minimised
  };
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(gaApp, nullptr);

  const auto& calls = script().calls;
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front(), "gamePreInit");
  EXPECT_LT(indexOf(calls, "gameOnActivate"), indexOf(calls, "gameInit"));
  EXPECT_LT(indexOf(calls, "gameInit"), indexOf(calls, "gameFrame"));
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 2], "gameShutdown");
  EXPECT_EQ(calls.back(), "gameExit");
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "gameFrame"), 3);
  // Drawn while active: in the first pass only (the second minimises in its
  // gameFrame).
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "gameDraw"), 1);
  // The game sees the window's first messages, before its own start.
  ASSERT_FALSE(script().messages.empty());
  EXPECT_EQ(script().messages.front(), UINT(WM_NCCREATE));

  // Every engine key, in table order; the normal position, not the icon's.
  std::istringstream in(readCfg());
  std::vector<std::string> keys;
  std::string line;
  while (std::getline(in, line)) keys.push_back(line.substr(0, line.find(" = ")));
  const std::vector<std::string> table = {"USE_GFX", "AUTO_FOCUS", "FULL_SCREEN", "FULL_SCREEN_CLIPPER",
                                          "WINDOW_NO_CAPTION", "WINDOW_STORE_POSITION", "WINDOW_X", "WINDOW_Y",
                                          "ENABLE_ALT_ENTER", "USE_VID_MEM", "NEED_FLIP", "SCR_LX", "SCR_LY",
                                          "SCR_BPP", "NEED_GFX", "NEED_DRAW_FPS", "FPS_LIMIT", "WND_NAME",
                                          "DATA_DIR", "DBG_CRT_BLK_N", "SOL_GUI_DEBUGGER",
                                          "SOUNDBUFFER_ENABLE_GLOBAL_FOCUS"};
  EXPECT_EQ(keys, table);
  EXPECT_EQ(cfgValue("WINDOW_X"), std::to_string(normal.left));
  EXPECT_EQ(cfgValue("WINDOW_Y"), std::to_string(normal.top));
  EXPECT_NE(normal.left, -32000);
  EXPECT_EQ(cfgValue("WND_NAME"), "Sample Demo Game");
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
}

TEST_F(App, AnInvalidThirdLineEndsNothingButItself) {
  program();
  writeCfg("bin", "SCR_LX = 320\nSCR_LY = 200\nthis line has no equals sign\nFPS_LIMIT = 7\n");
  script().onInit = [] {
    RECT client;
    GetClientRect(gaApp->window, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
    EXPECT_EQ(gaApp->frameTimeLimit, 7);
  };
  EXPECT_EQ(run(), 0);
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
  EXPECT_EQ(cfgValue("SCR_LX"), "320");
}

TEST_F(App, FindsTheDataDirectoryThreeLevelsUp) {
  fs::create_directories(tmp_.file("DATA"));
  program("a/b/c", false);
  std::string current;
  script().onPreInit = [&] { current = fs::current_path().string(); };
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(fs::path(current), fs::canonical(tmp_.path));
  EXPECT_TRUE(fs::exists(tmp_.file("testapp.cfg")));
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
}

// Start-up goes on, but the start failed: the exit code says so, whichever
// way the box was answered (Abort ends the process with the error's code).
class NoDataDirectory : public App, public ::testing::WithParamInterface<int> {};

TEST_P(NoDataDirectory, IsReportedOnceAndFailsTheExit) {
  program("a/b", false);
  plat::test::pushMessageBoxAnswer(GetParam());
  const fs::path before = fs::current_path();
  EXPECT_EQ(run(), 1);
  const auto shown = plat::test::takeMessageBoxes();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].text.find("Can't find data directory!"), std::string::npos);
  EXPECT_EQ(fs::current_path(), before);
  EXPECT_EQ(script().calls.back(), "gameExit");  // start-up went on
}

INSTANTIATE_TEST_SUITE_P(Answered, NoDataDirectory, ::testing::Values(IDIGNORE, IDRETRY),
                         [](const auto& info) { return info.param == IDIGNORE ? "Ignore" : "Retry"; });

TEST_F(App, ASecondInstanceRaisesTheFirstAndEnds) {
  const std::string path = program();
  writeCfg("bin", "WND_NAME = Only One\n");
  int peerStatus = -1;
  std::string cfgWhilePeerRan;
  script().onFrame = [&](int) {
    std::string peer = APP_PEER_PATH;
    std::string dir = tmp_.file("instances");
    char* argv[] = {peer.data(), const_cast<char*>(path.c_str()), dir.data(), nullptr};
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, peer.c_str(), nullptr, nullptr, argv, environ), 0);
    waitpid(pid, &peerStatus, 0);
    cfgWhilePeerRan = readCfg();
  };
  EXPECT_EQ(run(), 0);
  ASSERT_TRUE(WIFEXITED(peerStatus));
  EXPECT_EQ(WEXITSTATUS(peerStatus), 0);
  EXPECT_EQ(cfgWhilePeerRan, "WND_NAME = Only One\n");  // untouched by the second
  EXPECT_FALSE(fs::exists(tmp_.file("bin/peer_ran")));
  // The second says so in its log, once.
  std::istringstream log(readBytes(tmp_.file("bin/testapp.log")));
  int said = 0;
  for (std::string line; std::getline(log, line);) said += line.find("'Only One' is running already") != line.npos;
  EXPECT_EQ(said, 1);
}

TEST_F(App, WindowProcedure) {
  program();
  script().onInit = [] {
    HWND w = gaApp->window;
    struct Row {
      const char* what;
      UINT message;
      WPARAM wParam;
      int game;  // gameOnMessage's answer
      LRESULT result;
      int active;  // the active flag afterwards
      int activations;  // gameOnActivate calls it makes
    } rows[] = {
        {"erase", WM_ERASEBKGND, 0, 0, 1, 1, 0},
        {"any system key up", WM_SYSKEYUP, 'A', 0, 0, 1, 0},
        {"Alt+Enter switched off", WM_SYSKEYUP, VK_RETURN, 0, 0, 1, 0},
        {"deactivation", WM_ACTIVATEAPP, 0, 0, 0, 0, 1},
        {"activation", WM_ACTIVATEAPP, 1, 0, 0, 1, 1},
        {"left to the default by the game", WM_ACTIVATEAPP, 0, 1, 0, 1, 0},
        {"a command", WM_COMMAND, 1, 0, 0, 1, 0},
    };
    for (const Row& r : rows) {
      SCOPED_TRACE(r.what);
      script().onMessage = [&](HWND, UINT m, WPARAM, LPARAM) { return m == r.message ? r.game : 0; };
      const auto before = std::count(script().calls.begin(), script().calls.end(), "gameOnActivate");
      EXPECT_EQ(gaApp->WndProc(w, r.message, r.wParam, 0), r.result);
      EXPECT_EQ(gaApp->active, r.active);
      EXPECT_EQ(std::count(script().calls.begin(), script().calls.end(), "gameOnActivate") - before, r.activations);
    }
    script().onMessage = nullptr;
    EXPECT_EQ(gaApp->cfg->GetInt("FULL_SCREEN"), 0);
    // Activation marks the whole screen.
    gfxDirtyMerge();
    gfxDirtyPresent();
    gaApp->WndProc(w, WM_ACTIVATEAPP, 1, 0);
    gfxDirtyMerge();
    ASSERT_EQ(gfxDirtyRectCount(), 1u);
    EXPECT_EQ(gfxDirtyRects()[0].w, 640);
    EXPECT_EQ(gfxDirtyRects()[0].h, 480);
    gfxDirtyPresent();
    // WM_PAINT validates and presents what it marked.
    SetWindowPos(w, nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER);
    RECT r;
    ASSERT_TRUE(GetUpdateRect(w, &r, FALSE));
    plat::test::traceCalls(true);
    gaApp->WndProc(w, WM_PAINT, 0, 0);
    EXPECT_FALSE(GetUpdateRect(w, &r, FALSE));
    int blts = 0;
    for (const auto& c : plat::test::takeCalls()) blts += c.op == "Blt";
    plat::test::traceCalls(false);
    EXPECT_GT(blts, 0);
    // WM_CLOSE ends the loop and hides the window.
    EXPECT_EQ(gaApp->WndProc(w, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(gaApp->quit, 1);
    EXPECT_FALSE(GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE);
  };
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(script().frames, 0);  // quit before the first pass
}

// The passes present the whole screen at first and when the window comes
// back from the taskbar (activated and repainted), and nothing while nothing
// is marked (the test's gameDraw marks nothing).
TEST_F(App, PassesPresentTheWholeScreenAtFirstAndAfterARestore) {
  program();
  writeCfg("bin", "NEED_DRAW_FPS = 0\n");
  std::vector<int64_t> presented;  // pels blitted to the screen since the previous frame
  script().quitAfter = 6;
  script().onInit = [] { plat::test::traceCalls(true); };
  script().onFrame = [&](int frame) {
    int64_t pels = 0;
    for (const auto& c : plat::test::takeCalls())
      if (c.op == "Blt" && c.object == gfxDevice->primary->surface && c.rects.size() == 2)
        pels += int64_t(c.rects[1].right - c.rects[1].left) * (c.rects[1].bottom - c.rects[1].top);
    presented.push_back(pels);
    if (frame == 3) ShowWindow(gaApp->window, SW_MINIMIZE);
    if (frame == 4) ShowWindow(gaApp->window, SW_RESTORE);
  };
  EXPECT_EQ(run(), 0);
  plat::test::traceCalls(false);
  constexpr int64_t kWhole = 640 * 480;
  ASSERT_EQ(presented.size(), 6u);
  EXPECT_GE(presented[0], kWhole);  // the first pass's paint
  EXPECT_EQ(presented[1], 0);
  EXPECT_EQ(presented[2], 0);
  EXPECT_EQ(presented[3], 0);  // minimised: no update
  EXPECT_GE(presented[4], kWhole);
  EXPECT_EQ(presented[5], 0);
}

// The pass that sets the quit flag does not wait for the rest of its time.
TEST_F(App, FrameTimeLimitSleepsForTheRest) {
  program();
  writeCfg("bin", "FPS_LIMIT = 20\n");
  plat::test::setManualClock(true);
  script().quitAfter = 4;
  script().onFrame = [](int frame) {
    static const DWORD kPass[] = {0, 5, 25, 20, 5};  // milliseconds each pass takes
    plat::test::advanceClock(kPass[frame]);
  };
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(plat::test::takeSleeps(), std::vector<DWORD>{15});
}

// With a frame-time limit of 100 s, the program asked to end while its first
// pass waits ends through its exit path (the configuration written) at once,
// in its second pass.
struct Asking {
  const char* name;
  int signal;  // 0: the window's close box
};

void PrintTo(const Asking& a, std::ostream* out) { *out << a.name; }

class QuitWhileWaiting : public App, public ::testing::WithParamInterface<Asking> {};

TEST_P(QuitWhileWaiting, EndsTheWaitAndTheProgram) {
  program();
  writeCfg("bin", "FPS_LIMIT = 100000\n");
  const int signal = GetParam().signal;
  if (signal) std::signal(signal, SIG_DFL);  // as started from a terminal
  std::thread asker;
  script().quitAfter = 1000;
  script().onFrame = [&](int frame) {
    if (frame != 1) return;
    HWND window = gaApp->window;
    asker = std::thread([window, signal] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (signal) kill(getpid(), signal);
      else plat::test::injectWindowEvent(window, plat::test::WindowEvent::Close);
    });
  };
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(run(), 0);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  asker.join();
  EXPECT_LT(seconds, 30.0) << "the wait held the exit back";
  EXPECT_EQ(script().frames, 2);
  EXPECT_EQ(cfgValue("WND_NAME"), "Sample Demo Game");  // the whole table written back
}

INSTANTIATE_TEST_SUITE_P(App, QuitWhileWaiting,
                         ::testing::Values(Asking{"WindowClosed", 0}, Asking{"Terminated", SIGTERM},
                                           Asking{"Interrupted", SIGINT}, Asking{"HungUp", SIGHUP}),
                         [](const auto& info) { return std::string(info.param.name); });

// A signal while a box is up closes the box, which answers as closed without
// a button (Ignore, not the Abort the box gave, which would end the process
// at once), and the program ends through its exit path at its first pass:
// a box before the main window exists (no data directory: the start failed)
// and one from the game's start.
struct BoxedStart {
  const char* name;
  bool dataDir;
  int exitCode;
};

void PrintTo(const BoxedStart& b, std::ostream* out) { *out << b.name; }

class SignalAtABox : public App, public ::testing::WithParamInterface<BoxedStart> {};

TEST_P(SignalAtABox, ClosesItAndTheProgramEndsThroughItsExit) {
  const BoxedStart& c = GetParam();
  program("bin", c.dataDir);
  // Without a data directory the configuration stays where the program was
  // started.
  const fs::path startDir = fs::current_path();
  fs::create_directories(tmp_.file("bin"));
  fs::current_path(tmp_.file("bin"));
  std::signal(SIGTERM, SIG_DFL);
  plat::test::setMessageBoxShower([](const char*, const char*) {
    std::raise(SIGTERM);
    return IDABORT;
  });
  script().quitAfter = 1000;
  if (c.dataDir) script().onInit = [] { errPrintf(ERR_LEVEL_ERROR, "A question at the start"); };
  const int status = run();
  plat::test::setMessageBoxShower(nullptr);
  fs::current_path(startDir);
  EXPECT_EQ(status, c.exitCode);
  EXPECT_EQ(plat::test::takeMessageBoxes().size(), 1u);
  EXPECT_EQ(script().frames, 1);
  EXPECT_EQ(script().calls.back(), "gameExit");
  EXPECT_EQ(cfgValue("WND_NAME"), "Sample Demo Game");
}

INSTANTIATE_TEST_SUITE_P(App, SignalAtABox,
                         ::testing::Values(BoxedStart{"NoDataDirectory", false, 1},
                                           BoxedStart{"GameInit", true, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(App, AltEnterSwitchesBothWays) {
  program();
  writeCfg("bin", "ENABLE_ALT_ENTER = 1\n");
  script().quitAfter = 3;
  script().onFrame = [](int frame) {
    HWND w = gaApp->window;
    if (frame == 1) {
      EXPECT_EQ(gaApp->WndProc(w, WM_SYSKEYUP, VK_RETURN, 0), 0);
      EXPECT_EQ(gaApp->cfg->GetInt("FULL_SCREEN"), 1);
      EXPECT_TRUE(gfxDevice->flags & gfx_MODE_FULLSCREEN);
      EXPECT_LT(plat::test::cursorCount(), 0);
    } else if (frame == 2) {
      EXPECT_EQ(gaApp->WndProc(w, WM_SYSKEYUP, VK_RETURN, 0), 0);
      EXPECT_EQ(gaApp->cfg->GetInt("FULL_SCREEN"), 0);
      EXPECT_FALSE(gfxDevice->flags & gfx_MODE_FULLSCREEN);
      EXPECT_EQ(DWORD(GetWindowLongA(w, GWL_STYLE)) & ~WS_VISIBLE, 0x90CA0000u & ~WS_VISIBLE);
      EXPECT_EQ(DWORD(GetWindowLongA(w, GWL_EXSTYLE)), WS_EX_APPWINDOW);
      ASSERT_NE(gfxDevice->back, nullptr);
      EXPECT_NE(gfxDevice->back->surface, nullptr);
      RECT client;
      GetClientRect(w, &client);
      EXPECT_EQ(client.right, 640);
    }
  };
  EXPECT_EQ(run(), 0);
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
  EXPECT_EQ(cfgValue("FULL_SCREEN"), "0");
}

// A configuration that cannot be written back at exit stays as it was, and
// the program says so on stderr and in its log: the file and the system's
// reason.
TEST_F(App, AConfigurationThatCannotBeWrittenBackIsSaid) {
  program();
  const std::string cfgPath = tmp_.file("bin") + "/testapp.cfg";
  struct Case {
    const char* what;
    std::function<void()> lay;
    const char* reason;
  };
  const Case cases[] = {
      {"a read-only file",
       [&] {
         writeCfg("bin", "best_result = 1234\n");
         fs::permissions(cfgPath, fs::perms::owner_read);
       },
       "could not be written: Permission denied"},
      {"a directory of its name", [&] { fs::create_directories(cfgPath + "/kept"); }, "is not a file but a directory"},
      {"a full disk",
       [&] {
         writeCfg("bin", "best_result = 1234\n");
         // Once the last pass ran, the next write finds the disk full.
         script().onFrame = [](int) { plat::test::failNext("WriteFile", 1, ENOSPC); };
       },
       "could not be written: No space left on device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(cfgPath);
    script().onFrame = nullptr;
    c.lay();
    const std::string before = fs::is_regular_file(cfgPath) ? readCfg() : "";
    testing::internal::CaptureStderr();
    run();
    const std::string said = testing::internal::GetCapturedStderr();
    plat::test::clearFaults();
    const std::string line = "'" + cfgPath + "' " + c.reason;
    EXPECT_NE(said.find(line), std::string::npos) << said;
    EXPECT_NE(readBytes(tmp_.file("bin/testapp.log")).find(line), std::string::npos);
    EXPECT_EQ(fs::is_regular_file(cfgPath) ? readCfg() : "", before);
  }
}

TEST_F(App, AnExceptionFromGameInitIsShownAndNothingIsSaved) {
  program();
  script().onInit = [] { throw talvo::Exception("the game cannot start"); };
  EXPECT_EQ(run(), 1);
  const auto shown = plat::test::takeMessageBoxes();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].text.find("the game cannot start"), std::string::npos);
  EXPECT_FALSE(fs::exists(tmp_.file("bin/testapp.cfg")));
  EXPECT_EQ(std::count(script().calls.begin(), script().calls.end(), "gameShutdown"), 0);
  ASSERT_NE(gaApp, nullptr);  // abandoned as it was
  EXPECT_FALSE(GetWindowLongA(gaApp->window, GWL_STYLE) & WS_VISIBLE);
}

// The sound starts once the main window exists, with the global focus option
// from its key (any non-zero value is 1), and ends at shutdown.
TEST_F(App, TheSoundStartsWithTheWindowAndEndsAtShutdown) {
  program();
  script().onPreInit = [] { EXPECT_EQ(sndApiGlobals.initialised, 0); };
  script().onInit = [] {
    EXPECT_EQ(sndApiGlobals.initialised, 1);
    EXPECT_EQ(sndGlobals.notifyWindow, gaApp->window);
    EXPECT_EQ(sndGlobals.globalFocus, 1) << "the default, 10";
  };
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(sndApiGlobals.initialised, 0);
  EXPECT_EQ(sndGlobals.directSound, nullptr);
  EXPECT_EQ(cfgValue("SOUNDBUFFER_ENABLE_GLOBAL_FOCUS"), "10");
}

TEST_F(App, GlobalFocusKeyZeroLeavesTheOptionOff) {
  program();
  writeCfg("bin", "SOUNDBUFFER_ENABLE_GLOBAL_FOCUS = 0\n");
  script().onInit = [] {
    EXPECT_EQ(sndApiGlobals.initialised, 1);
    EXPECT_EQ(sndGlobals.globalFocus, 0);
  };
  EXPECT_EQ(run(), 0);
}
