// The application object: the program entry, the main window, start-up and
// shutdown, the main loop and the window procedure. The game plugs in
// through the eight hook functions of engine/game_hooks.h; there is no game
// subclass. Window thread only.
#pragma once

#include <string>

#include "base/err.h"
#include "engine/cfg.h"
#include "platform/win32.h"

class gaCTy {
 public:
  gaCTy();
  gaCTy(const gaCTy&) = delete;
  gaCTy& operator=(const gaCTy&) = delete;

  // The shutdown sequence. A talvo::Exception from a hook leaves it.
  virtual ~gaCTy() noexcept(false);
  // Every engine configuration key with its default, in table order.
  virtual void SetDefaults();
  // The executable's file name without directory and extension.
  virtual void GetAppName();
  // With USE_GFX: the display device for the main window.
  virtual void InitGraphics();
  virtual void ShutdownGraphics();
  // With a DirectDraw object: the screen update of one frame.
  virtual void UpdateScreen();
  virtual void GameInit();
  // Changes the display mode at run time (bits 0: SCR_BPP).
  virtual void SetMode(int width, int height, int bits);
  virtual LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  virtual void GameFrame();
  virtual void Reserved();
  virtual void GameShutdown();
  virtual void GamePreInit();
  virtual void GameExit();

  // The start-up sequence.
  void Init(HINSTANCE instance, int showCommand);
  // The main loop, until the quit flag is set.
  void Run();
  // One pass of it: the messages, the input poll, the game's frame, its
  // drawing and the screen update, then the rest of the frame-time limit
  // (cut short once the program is asked to end).
  void RunPass();
  // Climbs from the executable's directory until "<dir>/<DATA_DIR>" can be
  // scanned, and makes that directory current.
  void FindDataDir();
  // Registers the window class, creates, shows and places the main window,
  // then InitGraphics.
  void CreateMainWindow(int showCommand);
  // Alt+Enter: between exclusive full screen and window mode.
  void SwitchFullScreen();

  HINSTANCE instance = nullptr;
  void* accelerators = nullptr;  // always null
  HWND window = nullptr;
  cfgCTy* cfg = nullptr;
  int quit = 0;
  int exitCode = 0;  // WinMain's result: non-zero once the start was refused
  int active = 0;
  const char* commandLine = nullptr;  // stored, never interpreted
  int frameTimeLimit = 0;             // FPS_LIMIT: milliseconds per pass at least
  int pollInput = 1;
  std::string programDir;  // with its trailing separator
  std::string appName;     // names "<appName>.cfg"
};

extern gaCTy* gaApp;

// The window class of the main window, and of the single-instance check.
inline constexpr const char* kGaWindowClass = "GameAppWndClass";

// The program entry: the application's exit code (1 when an exception ended
// it), unless a running copy was found.
int WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
// A new application object, or null.
gaCTy* gaCreateApp();
// The main window's procedure: gaApp's WndProc.
LRESULT gaWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The error system's exit hook: the report box for an error nobody caught.
int gaErrorHook(errState* state);
// Centres a window on its owner (or the work area), inside the work area.
void CenterWindow(HWND owner, HWND window);
// The file name of a path without directory and extension.
void gaBaseName(const char* path, std::string* out);
