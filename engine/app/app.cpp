// The application object: the entry point, start-up, the main loop and
// shutdown. The main window and its procedure are in app_window.cpp.
#include "engine/app/app.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "base/str.h"
#include "base/tm.h"
#include "engine/app/game_hooks.h"
#include "engine/fnt.h"
#include "engine/gfx.h"
#include "engine/gfx_dirty.h"
#include "engine/inp.h"
#include "engine/res_list.h"
#include "platform/win_mmsystem.h"
#include "sound/snd.h"
#include "talvo/Archive.h"
#include "talvo/Log.h"
#include "talvo/Report.h"

gaCTy* gaApp = nullptr;

namespace {

// The engine's configuration keys and their defaults, in the order they are
// entered (and written back).
struct DefaultKey {
  const char* name;
  int value;
  const char* text;  // a text key when not null
};
constexpr DefaultKey kDefaults[] = {
    {"USE_GFX", 1, nullptr},
    {"AUTO_FOCUS", 1, nullptr},
    {"FULL_SCREEN", 0, nullptr},
    {"FULL_SCREEN_CLIPPER", 10, nullptr},
    {"WINDOW_NO_CAPTION", 0, nullptr},
    {"WINDOW_STORE_POSITION", 0, nullptr},
    {"WINDOW_X", 0, nullptr},
    {"WINDOW_Y", 0, nullptr},
    {"ENABLE_ALT_ENTER", 0, nullptr},
    {"USE_VID_MEM", 1, nullptr},
    {"NEED_FLIP", 0, nullptr},
    {"SCR_LX", 640, nullptr},
    {"SCR_LY", 480, nullptr},
    {"SCR_BPP", 16, nullptr},
    {"NEED_GFX", 10, nullptr},
    {"NEED_DRAW_FPS", 1, nullptr},
    {"FPS_LIMIT", 0, nullptr},
    {"WND_NAME", 0, "Sample Demo Game"},
    {"DATA_DIR", 0, "DATA"},
    {"DBG_CRT_BLK_N", -1, nullptr},
    {"SOL_GUI_DEBUGGER", 1, nullptr},
    {"SOUNDBUFFER_ENABLE_GLOBAL_FOCUS", 10, nullptr},
};

// The executable's path, however long.
std::string moduleFileName(HINSTANCE instance) {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(instance, path.data(), DWORD(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// The directory part of a path, with its trailing separator ("" when none).
std::string directoryOf(const std::string& path) {
  const size_t sep = path.find_last_of("\\/");
  return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

// A wait for the rest of a pass looks this often whether the program was
// asked to end.
constexpr uint64_t kQuitLookMs = 50;

// The program is asked to end: the quit flag, or a WM_CLOSE waiting for the
// main window (its close box, or a termination, interrupt or hang-up signal).
bool quitAsked(const gaCTy& app) {
  MSG message;
  return app.quit || PeekMessageA(&message, app.window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE);
}

// Sleeps `ms` unless the program is asked to end meanwhile: a long frame-time
// limit does not hold the exit back. The next pass takes the close.
void sleepRest(const gaCTy& app, uint64_t ms) {
  const uint64_t end = tmMilliseconds() + ms;
  for (uint64_t left = ms; left > 0 && !quitAsked(app);) {
    Sleep(DWORD(std::min(left, kQuitLookMs)));
    const uint64_t now = tmMilliseconds();
    left = now < end ? end - now : 0;
  }
}

bool canScan(const std::string& dir) {
  dirScan* scan = dirOpen(dir.c_str());
  if (!scan) return false;
  dirClose(scan);
  return true;
}

}  // namespace

// --- entry ---

gaCTy* gaCreateApp() { return new (std::nothrow) gaCTy; }

int WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
  HWND window = nullptr;     // the main window, for the handler
  gaCTy* deleting = nullptr;  // the object whose shutdown runs
  try {
    talvo::io::ZipFormat zip;
    gaApp = gaCreateApp();
    if (!gaApp) {
      errReportAt(__FILE__, __LINE__, ERR_NO_MEMORY, "%s", "Can't create the application object");
      return 1;
    }
    gaApp->commandLine = commandLine;
    gaApp->Init(instance, showCommand);
    gaApp->Run();
    window = gaApp->window;
    const int exitCode = gaApp->exitCode;
    deleting = gaApp;
    delete gaApp;  // the window procedure reaches it until the window is gone
    gaApp = nullptr;
    return exitCode;
  } catch (const talvo::Exception& e) {
    // The object is abandoned as it is: no shutdown, nothing written.
    if (gaApp && gaApp != deleting) window = gaApp->window;
    if (gaApp == deleting) gaApp = nullptr;
    ShowCursor(TRUE);
    if (window) {
      ShowWindow(window, SW_MINIMIZE);
      SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_HIDEWINDOW);
    }
    talvo::report_exception(e, 0, window, nullptr);
    return 1;
  }
}

int gaErrorHook(errState* state) {
  return errReportAt(state->srcFile, state->line, state->code, "%s", state->text ? state->text : "");
}

void gaBaseName(const char* path, std::string* out) {
  char name[MAX_PATH];
  pathSplit(path, nullptr, name, nullptr);
  out->assign(name);
}

// --- the object ---

gaCTy::gaCTy() : cfg(new cfgCTy) {}

gaCTy::~gaCTy() noexcept(false) {
  gameShutdown();
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  if (window && GetWindowPlacement(window, &placement)) {
    cfg->UpdateInt("WINDOW_X", placement.rcNormalPosition.left);
    cfg->UpdateInt("WINDOW_Y", placement.rcNormalPosition.top);
  }
  if (!cfg->Save((appName + ".cfg").c_str())) {
    // Said, not forced: the player's file stays as it was.
    const DWORD why = GetLastError();
    const std::string path = (appName.starts_with('/') ? "" : programDir) + appName + ".cfg";
    const std::string said =
        cfgSaveFailure(path.c_str(), why) + ". Nothing was written: this session's settings and best time are lost.";
    std::fprintf(stderr, "%s\n", said.c_str());
    talvo::error_log << said << std::endl;
  }
  gfxDirtyClear();
  fntSystemDone();
  if (cfg->GetInt("USE_GFX")) gfxShutdown();
  resListDone();
  sndDone();
  tmDone();
  gfxFreeUpdateBuffer();
  if (window) DestroyWindow(window);
  gameExit();
  errDone();
  delete cfg;
}

void gaCTy::SetDefaults() {
  for (const DefaultKey& k : kDefaults) {
    if (k.text) cfg->SetStr(k.name, k.text);
    else cfg->SetInt(k.name, k.value);
  }
}

void gaCTy::GetAppName() { gaBaseName(moduleFileName(instance).c_str(), &appName); }

void gaCTy::InitGraphics() {
  if (!cfg->GetInt("USE_GFX")) return;
  const int flags = (cfg->GetInt("FULL_SCREEN") ? gfx_MODE_FULLSCREEN : 0) |
                    (cfg->GetInt("USE_VID_MEM") ? gfx_MODE_VIDMEM : 0) | (cfg->GetInt("NEED_FLIP") ? gfx_MODE_FLIP : 0);
  gfxInit(window, flags, cfg->GetInt("SCR_LX"), cfg->GetInt("SCR_LY"), cfg->GetInt("SCR_BPP"));
}

void gaCTy::ShutdownGraphics() {
  gfxDirtyClear();
  fntSystemDone();
  if (cfg->GetInt("USE_GFX")) gfxShutdown();
}

void gaCTy::UpdateScreen() {
  if (gfxDirectDraw) gfxDirtyUpdate();
}

void gaCTy::GameInit() { gameInit(); }
void gaCTy::GameFrame() { gameFrame(); }
void gaCTy::Reserved() {}
void gaCTy::GameShutdown() { gameShutdown(); }
void gaCTy::GamePreInit() { gamePreInit(); }
void gaCTy::GameExit() { gameExit(); }

void gaCTy::Init(HINSTANCE inst, int showCommand) {
  instance = inst;
  errInit();
  errSetExitHook(gaErrorHook);
  SetDefaults();
  FindDataDir();
  const std::string cfgName = appName + ".cfg";
  // A failure while reading ends the reading without a box; what was read
  // stays.
  ERR_TRY(load) { cfg->Load(cfgName.c_str()); }
  ERR_CATCH(load, code) { errEndCatch(errGetState(), &load); }
  ERR_END_TRY
  if (HWND running = FindWindowA(kGaWindowClass, cfg->GetStr("WND_NAME"))) {
    SetForegroundWindow(running);
    talvo::info_log << "'" << cfg->GetStr("WND_NAME") << "' is running already: brought it to the front; this copy ends"
                    << std::endl;
    std::exit(0);
  }
  accelerators = nullptr;
  tmCalibrate();
  GamePreInit();
  CreateMainWindow(showCommand);
  sndInit(window);
  sndSetGlobalFocus(cfg->GetInt("SOUNDBUFFER_ENABLE_GLOBAL_FOCUS") ? 1 : 0);
  fntSystemInit();
  resListCreate();
  gfxDirtyReset();
  gfxDirty.drawFps = cfg->GetInt("NEED_DRAW_FPS");
  frameTimeLimit = cfg->GetInt("FPS_LIMIT");
  GameInit();
}

void gaCTy::FindDataDir() {
  programDir = directoryOf(moduleFileName(instance));
  GetAppName();
  const std::string dataDir = cfg->GetStr("DATA_DIR");
  bool found = false;
  while (!programDir.empty()) {
    if (canScan(programDir + "/" + dataDir)) {
      found = true;
      break;
    }
    programDir.pop_back();  // the trailing separator
    programDir = directoryOf(programDir);
  }
  if (!found) {
    exitCode = 1;  // whatever the box is answered
    errPrintf(ERR_LEVEL_ERROR, "Initialization.\n Can't find data directory!");
  }
  SetCurrentDirectoryA(programDir.c_str());
}

void gaCTy::Run() {
  while (!quit) RunPass();
}

void gaCTy::RunPass() {
  auto shown = [this] { return active && !IsIconic(window) && GetForegroundWindow() == window; };
  const uint64_t t0 = tmMilliseconds();
  MSG message;
  while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (pollInput && shown()) inpUpdate();
  GameFrame();
  if (cfg->GetInt("USE_GFX") && shown() && gameDraw() && shown()) UpdateScreen();
  const uint64_t elapsed = tmMilliseconds() - t0;
  if (frameTimeLimit > 0 && elapsed < uint64_t(frameTimeLimit)) sleepRest(*this, uint64_t(frameTimeLimit) - elapsed);
}
