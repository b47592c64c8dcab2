// The display device: DirectDraw's primary surface, the back surface
// everything is drawn into, and a clipper; the display mode in exclusive
// full screen or the client area's size in window mode; presenting a frame
// by a flip or a blit; the frame-rate line. Around it, the `gfx` functions
// and their one global state. Window thread only.
#pragma once

#include <cstdint>

#include "base/err.h"
#include "engine/img.h"
#include "platform/win_ddraw.h"
#include "platform/win_gdi.h"

class gSurfDxdCTy;

// Mode flags.
constexpr int gfx_MODE_FULLSCREEN = 1;  // exclusive full screen with its own display mode
constexpr int gfx_MODE_VIDMEM = 2;      // the separate back surface in video memory first
constexpr int gfx_MODE_FLIP = 4;        // a flip chain; implies gfx_MODE_FULLSCREEN
constexpr int gfx_MODE_CLIPPER = 8;     // a clipper also in exclusive full screen

// The abstract display device.
class gCTy {
 public:
  virtual ~gCTy();
  virtual void SetHwnd(HWND window) = 0;
  virtual void Release() = 0;
  // DD_OK, or the first DirectDraw failure (each one is reported).
  virtual HRESULT SetMode(int width, int height, int bits, int refresh, int flags) = 0;
  virtual void Present() = 0;
};

class gDDCTy : public gCTy {
 public:
  gDDCTy() = default;
  ~gDDCTy() override;
  gDDCTy(const gDDCTy&) = delete;
  gDDCTy& operator=(const gDDCTy&) = delete;

  void SetHwnd(HWND window) override;
  // In exclusive full screen the display mode is restored; the clipper, the
  // surfaces and the DirectDraw object are released.
  void Release() override;
  HRESULT SetMode(int width, int height, int bits, int refresh, int flags) override;
  void Present() override;

  // As Release, keeping the DirectDraw object.
  void ReleaseSurfaces();
  HRESULT CreateDirectDraw();
  HRESULT CreateSurfaces();

  gSurfDxdCTy* primary = nullptr;
  gSurfDxdCTy* back = nullptr;
  HWND window = nullptr;
  rectCTy screen{0, 0, 0, 0};
  int flags = 0;
  IDirectDraw7* directDraw = nullptr;
  IDirectDrawClipper* clipper = nullptr;

 private:
  // Clipper, back and primary surface released; the display mode as it is.
  void DropSurfaces();
  // The cooperative level the DirectDraw object was last given (the
  // full-screen state it stands for).
  bool levelFullScreen_ = false;
};

// One channel of the display's 16-bit pels.
struct gfxChannel {
  uint16_t mask;
  int shift;  // the mask's lowest set bit
  int loss;   // 8 minus the mask's width
};

struct gfxStateTy {
  int initialised;
  int screenWidth, screenHeight;  // as last given to gfxSetMode
  int screenBits, screenBytes;    // as gfxSetupPelMasks worked them out
  gfxChannel red, green, blue;
  COLORREF textColor;    // white after every gfxSetMode
  COLORREF textBkColor;  // black
  char fpsText[256];     // the frame-rate line
  DWORD fpsTime;         // timeGetTime of the last measurement
  int fpsCount;          // gfxDrawFps calls since
};

extern gDDCTy* gfxDevice;
// The device's DirectDraw object, for the surfaces; null while none exists.
extern IDirectDraw7* gfxDirectDraw;
extern gfxStateTy gfxState;
// The texts of DirectDraw's result codes.
extern errTextTable gfxDDErrorTable;

// Creates the device when there is none, registers the DirectDraw texts and
// the error box hooks, gives the device the window and sets the mode. 0, or
// the first DirectDraw failure of the mode setting (reported already).
int gfxInit(HWND window, int flags, int width, int height, int bits);
// The device's mode, the channel layout and the screen size; the text
// colour becomes white. 1 when the mode was set without a failure, else 0.
int gfxSetMode(int flags, int width, int height, int bits);
void gfxShutdown();
void gfxPresent();
// The channel layout and the screen depth: 5-6-5 and `bits`, or for 0 and
// 16 the primary surface's own layout.
void gfxSetupPelMasks(int bits);
// The channel of a 16-bit mask (its low 16 bits): shift and loss; a zero
// mask gives shift 0 and loss 8 (the channel is always 0).
gfxChannel gfxChannelOf(DWORD mask);
// A COLORREF (red in the low byte) as the display's 16-bit pel.
uint16_t gfxRGB(COLORREF colour);
// printf-style text on the back surface with GDI (at most 127 characters;
// a longer text or a null format draws an empty one).
void gfxTextOut(int x, int y, const char* format, ...) __attribute__((format(printf, 3, 4)));
// The frame-rate line, renewed every 11th call.
void gfxDrawFps(int x, int y);
// Error boxes are owned by the device's window.
void gfxSetErrorHooks();
HWND gfxErrorOwner();
// Puts gfxDDErrorTable at the head of the error system's tables.
void gfxRegisterDDErrors();
