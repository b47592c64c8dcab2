// DirectDraw 7 of the engine, over SDL2.
//
// Surfaces live in this layer's memory. In window mode the primary surface is
// the emulated desktop (desktop coordinates, the desktop's pel format); a blit
// onto it is clipped to the clipper window's client area and shown in that
// window's SDL surface at once. In exclusive full screen (DDSCL_EXCLUSIVE and
// SetDisplayMode) the primary is the mode's screen, shown in the cooperative
// window made SDL_WINDOW_FULLSCREEN_DESKTOP, scaled to fit. Video memory is a
// budget (GetCaps); blits copy, key and fill in the surfaces' own format, and
// stretching is left to the caller (DDERR_NOSTRETCHHW). Every call goes
// through the shared fault injection and call trace (platform/call_trace.h).
#pragma once

#include "platform/win_com.h"
#include "platform/win_types.h"

// --- results ---
#define _FACDD 0x876
#define MAKE_DDHRESULT(code) MAKE_HRESULT(1, _FACDD, code)
#define DD_OK S_OK
#define DD_FALSE S_FALSE

#define DDERR_ALREADYINITIALIZED MAKE_DDHRESULT(5)
#define DDERR_CANNOTATTACHSURFACE MAKE_DDHRESULT(10)
#define DDERR_CANNOTDETACHSURFACE MAKE_DDHRESULT(20)
#define DDERR_CURRENTLYNOTAVAIL MAKE_DDHRESULT(40)
#define DDERR_EXCEPTION MAKE_DDHRESULT(55)
#define DDERR_GENERIC E_FAIL
#define DDERR_HEIGHTALIGN MAKE_DDHRESULT(90)
#define DDERR_INCOMPATIBLEPRIMARY MAKE_DDHRESULT(95)
#define DDERR_INVALIDCAPS MAKE_DDHRESULT(100)
#define DDERR_INVALIDCLIPLIST MAKE_DDHRESULT(110)
#define DDERR_INVALIDMODE MAKE_DDHRESULT(120)
#define DDERR_INVALIDOBJECT MAKE_DDHRESULT(130)
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_INVALIDPIXELFORMAT MAKE_DDHRESULT(145)
#define DDERR_INVALIDRECT MAKE_DDHRESULT(150)
#define DDERR_LOCKEDSURFACES MAKE_DDHRESULT(160)
#define DDERR_NO3D MAKE_DDHRESULT(170)
#define DDERR_NOALPHAHW MAKE_DDHRESULT(180)
#define DDERR_NOSTEREOHARDWARE MAKE_DDHRESULT(181)
#define DDERR_NOSURFACELEFT MAKE_DDHRESULT(182)
#define DDERR_NOCLIPLIST MAKE_DDHRESULT(205)
#define DDERR_NOCOLORCONVHW MAKE_DDHRESULT(210)
#define DDERR_NOCOOPERATIVELEVELSET MAKE_DDHRESULT(212)
#define DDERR_NOCOLORKEY MAKE_DDHRESULT(215)
#define DDERR_NOCOLORKEYHW MAKE_DDHRESULT(220)
#define DDERR_NODIRECTDRAWSUPPORT MAKE_DDHRESULT(222)
#define DDERR_NOEXCLUSIVEMODE MAKE_DDHRESULT(225)
#define DDERR_NOFLIPHW MAKE_DDHRESULT(230)
#define DDERR_NOGDI MAKE_DDHRESULT(240)
#define DDERR_NOMIRRORHW MAKE_DDHRESULT(250)
#define DDERR_NOTFOUND MAKE_DDHRESULT(255)
#define DDERR_NOOVERLAYHW MAKE_DDHRESULT(260)
#define DDERR_OVERLAPPINGRECTS MAKE_DDHRESULT(270)
#define DDERR_NORASTEROPHW MAKE_DDHRESULT(280)
#define DDERR_NOROTATIONHW MAKE_DDHRESULT(290)
#define DDERR_NOSTRETCHHW MAKE_DDHRESULT(310)
#define DDERR_NOT4BITCOLOR MAKE_DDHRESULT(316)
#define DDERR_NOT4BITCOLORINDEX MAKE_DDHRESULT(317)
#define DDERR_NOT8BITCOLOR MAKE_DDHRESULT(320)
#define DDERR_NOTEXTUREHW MAKE_DDHRESULT(330)
#define DDERR_NOVSYNCHW MAKE_DDHRESULT(335)
#define DDERR_NOZBUFFERHW MAKE_DDHRESULT(340)
#define DDERR_NOZOVERLAYHW MAKE_DDHRESULT(350)
#define DDERR_OUTOFCAPS MAKE_DDHRESULT(360)
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_OUTOFVIDEOMEMORY MAKE_DDHRESULT(380)
#define DDERR_OVERLAYCANTCLIP MAKE_DDHRESULT(382)
#define DDERR_OVERLAYCOLORKEYONLYONEACTIVE MAKE_DDHRESULT(384)
#define DDERR_PALETTEBUSY MAKE_DDHRESULT(387)
#define DDERR_COLORKEYNOTSET MAKE_DDHRESULT(400)
#define DDERR_SURFACEALREADYATTACHED MAKE_DDHRESULT(410)
#define DDERR_SURFACEALREADYDEPENDENT MAKE_DDHRESULT(420)
#define DDERR_SURFACEBUSY MAKE_DDHRESULT(430)
#define DDERR_CANTLOCKSURFACE MAKE_DDHRESULT(435)
#define DDERR_SURFACEISOBSCURED MAKE_DDHRESULT(440)
#define DDERR_SURFACELOST MAKE_DDHRESULT(450)
#define DDERR_SURFACENOTATTACHED MAKE_DDHRESULT(460)
#define DDERR_TOOBIGHEIGHT MAKE_DDHRESULT(470)
#define DDERR_TOOBIGSIZE MAKE_DDHRESULT(480)
#define DDERR_TOOBIGWIDTH MAKE_DDHRESULT(490)
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_UNSUPPORTEDFORMAT MAKE_DDHRESULT(510)
#define DDERR_UNSUPPORTEDMASK MAKE_DDHRESULT(520)
#define DDERR_INVALIDSTREAM MAKE_DDHRESULT(521)
#define DDERR_VERTICALBLANKINPROGRESS MAKE_DDHRESULT(537)
#define DDERR_WASSTILLDRAWING MAKE_DDHRESULT(540)
#define DDERR_DDSCAPSCOMPLEXREQUIRED MAKE_DDHRESULT(542)
#define DDERR_XALIGN MAKE_DDHRESULT(560)
#define DDERR_INVALIDDIRECTDRAWGUID MAKE_DDHRESULT(561)
#define DDERR_DIRECTDRAWALREADYCREATED MAKE_DDHRESULT(562)
#define DDERR_NODIRECTDRAWHW MAKE_DDHRESULT(563)
#define DDERR_PRIMARYSURFACEALREADYEXISTS MAKE_DDHRESULT(564)
#define DDERR_NOEMULATION MAKE_DDHRESULT(565)
#define DDERR_REGIONTOOSMALL MAKE_DDHRESULT(566)
#define DDERR_CLIPPERISUSINGHWND MAKE_DDHRESULT(567)
#define DDERR_NOCLIPPERATTACHED MAKE_DDHRESULT(568)
#define DDERR_NOHWND MAKE_DDHRESULT(569)
#define DDERR_HWNDSUBCLASSED MAKE_DDHRESULT(570)
#define DDERR_HWNDALREADYSET MAKE_DDHRESULT(571)
#define DDERR_NOPALETTEATTACHED MAKE_DDHRESULT(572)
#define DDERR_NOPALETTEHW MAKE_DDHRESULT(573)
#define DDERR_BLTFASTCANTCLIP MAKE_DDHRESULT(574)
#define DDERR_NOBLTHW MAKE_DDHRESULT(575)
#define DDERR_NODDROPSHW MAKE_DDHRESULT(576)
#define DDERR_OVERLAYNOTVISIBLE MAKE_DDHRESULT(577)
#define DDERR_NOOVERLAYDEST MAKE_DDHRESULT(578)
#define DDERR_INVALIDPOSITION MAKE_DDHRESULT(579)
#define DDERR_NOTAOVERLAYSURFACE MAKE_DDHRESULT(580)
#define DDERR_EXCLUSIVEMODEALREADYSET MAKE_DDHRESULT(581)
#define DDERR_NOTFLIPPABLE MAKE_DDHRESULT(582)
#define DDERR_CANTDUPLICATE MAKE_DDHRESULT(583)
#define DDERR_NOTLOCKED MAKE_DDHRESULT(584)
#define DDERR_CANTCREATEDC MAKE_DDHRESULT(585)
#define DDERR_NODC MAKE_DDHRESULT(586)
#define DDERR_WRONGMODE MAKE_DDHRESULT(587)
#define DDERR_IMPLICITLYCREATED MAKE_DDHRESULT(588)
#define DDERR_NOTPALETTIZED MAKE_DDHRESULT(589)
#define DDERR_UNSUPPORTEDMODE MAKE_DDHRESULT(590)
#define DDERR_NOMIPMAPHW MAKE_DDHRESULT(591)
#define DDERR_INVALIDSURFACETYPE MAKE_DDHRESULT(592)
#define DDERR_NOOPTIMIZEHW MAKE_DDHRESULT(600)
#define DDERR_NOTLOADED MAKE_DDHRESULT(601)
#define DDERR_NOFOCUSWINDOW MAKE_DDHRESULT(602)
#define DDERR_NOTONMIPMAPSUBLEVEL MAKE_DDHRESULT(603)
#define DDERR_DCALREADYCREATED MAKE_DDHRESULT(620)
#define DDERR_NONONLOCALVIDMEM MAKE_DDHRESULT(630)
#define DDERR_CANTPAGELOCK MAKE_DDHRESULT(640)
#define DDERR_CANTPAGEUNLOCK MAKE_DDHRESULT(660)
#define DDERR_NOTPAGELOCKED MAKE_DDHRESULT(680)
#define DDERR_MOREDATA MAKE_DDHRESULT(690)
#define DDERR_EXPIRED MAKE_DDHRESULT(691)
#define DDERR_TESTFINISHED MAKE_DDHRESULT(692)
#define DDERR_NEWMODE MAKE_DDHRESULT(693)
#define DDERR_D3DNOTINITIALIZED MAKE_DDHRESULT(694)
#define DDERR_VIDEONOTACTIVE MAKE_DDHRESULT(695)
#define DDERR_NOMONITORINFORMATION MAKE_DDHRESULT(696)
#define DDERR_NODRIVERSUPPORT MAKE_DDHRESULT(697)
#define DDERR_DEVICEDOESNTOWNSURFACE MAKE_DDHRESULT(699)
#define DDERR_NOTINITIALIZED static_cast<HRESULT>(0x800401F0u)

// --- flags ---
#define DDSCL_FULLSCREEN 0x00000001u
#define DDSCL_NORMAL 0x00000008u
#define DDSCL_EXCLUSIVE 0x00000010u
#define DDSCL_ALLOWMODEX 0x00000040u

#define DDSD_CAPS 0x00000001u
#define DDSD_HEIGHT 0x00000002u
#define DDSD_WIDTH 0x00000004u
#define DDSD_PITCH 0x00000008u
#define DDSD_BACKBUFFERCOUNT 0x00000020u
#define DDSD_LPSURFACE 0x00000800u
#define DDSD_PIXELFORMAT 0x00001000u
#define DDSD_CKSRCBLT 0x00010000u

#define DDSCAPS_BACKBUFFER 0x00000004u
#define DDSCAPS_COMPLEX 0x00000008u
#define DDSCAPS_FLIP 0x00000010u
#define DDSCAPS_FRONTBUFFER 0x00000020u
#define DDSCAPS_OFFSCREENPLAIN 0x00000040u
#define DDSCAPS_PRIMARYSURFACE 0x00000200u
#define DDSCAPS_SYSTEMMEMORY 0x00000800u
#define DDSCAPS_VIDEOMEMORY 0x00004000u
#define DDSCAPS_LOCALVIDMEM 0x10000000u
#define DDSCAPS_NONLOCALVIDMEM 0x20000000u

#define DDPF_ALPHAPIXELS 0x00000001u
#define DDPF_PALETTEINDEXED4 0x00000008u
#define DDPF_PALETTEINDEXEDTO8 0x00000010u
#define DDPF_PALETTEINDEXED8 0x00000020u
#define DDPF_RGB 0x00000040u
#define DDPF_PALETTEINDEXED1 0x00000800u
#define DDPF_PALETTEINDEXED2 0x00001000u

#define DDLOCK_SURFACEMEMORYPTR 0x00000000u
#define DDLOCK_WAIT 0x00000001u
#define DDLOCK_READONLY 0x00000010u
#define DDLOCK_WRITEONLY 0x00000020u
#define DDLOCK_NOSYSLOCK 0x00000800u

#define DDBLT_COLORFILL 0x00000400u
#define DDBLT_KEYSRC 0x00008000u
#define DDBLT_WAIT 0x01000000u

#define DDFLIP_WAIT 0x00000001u

#define DDCKEY_COLORSPACE 0x00000001u
#define DDCKEY_SRCBLT 0x00000008u

#define DDCAPS_BLT 0x00000040u
#define DDCAPS_BLTSTRETCH 0x00000200u
#define DDCAPS_COLORKEY 0x00400000u
#define DDCAPS_BLTCOLORFILL 0x04000000u
#define DDCKEYCAPS_SRCBLT 0x00000200u

#define DDENUMRET_CANCEL 0
#define DDENUMRET_OK 1

// --- structures (the sizes the callers pass in dwSize are these sizeofs) ---
struct DDPIXELFORMAT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwFourCC;
  DWORD dwRGBBitCount;
  DWORD dwRBitMask;
  DWORD dwGBitMask;
  DWORD dwBBitMask;
  DWORD dwRGBAlphaBitMask;
};
static_assert(sizeof(DDPIXELFORMAT) == 32);

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue;
  DWORD dwColorSpaceHighValue;
};

struct DDSCAPS2 {
  DWORD dwCaps;
  DWORD dwCaps2;
  DWORD dwCaps3;
  DWORD dwCaps4;
};

struct DDSURFACEDESC2 {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHeight;
  DWORD dwWidth;
  LONG lPitch;
  DWORD dwBackBufferCount;
  DWORD dwMipMapCount;
  DWORD dwAlphaBitDepth;
  DWORD dwReserved;
  LPVOID lpSurface;
  DDCOLORKEY ddckCKDestOverlay;
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS2 ddsCaps;
  DWORD dwTextureStage;
};

// The blit effects record; only the fill colour is read.
struct DDBLTFX {
  DWORD dwSize;
  DWORD dwDDFX;
  DWORD dwROP;
  DWORD dwDDROP;
  DWORD dwRotationAngle;
  DWORD dwReserved[15];
  DWORD dwFillColor;
  DDCOLORKEY ddckDestColorkey;
  DDCOLORKEY ddckSrcColorkey;
};
static_assert(sizeof(DDBLTFX) == 100);

// Capabilities; the video memory fields are those of the layer's budget.
struct DDCAPS {
  DWORD dwSize;
  DWORD dwCaps;
  DWORD dwCaps2;
  DWORD dwCKeyCaps;
  DWORD dwFXCaps;
  DWORD dwFXAlphaCaps;
  DWORD dwPalCaps;
  DWORD dwSVCaps;
  DWORD dwAlphaBltConstBitDepths;
  DWORD dwAlphaBltPixelBitDepths;
  DWORD dwAlphaBltSurfaceBitDepths;
  DWORD dwAlphaOverlayConstBitDepths;
  DWORD dwAlphaOverlayPixelBitDepths;
  DWORD dwAlphaOverlaySurfaceBitDepths;
  DWORD dwZBufferBitDepths;
  DWORD dwVidMemTotal;
  DWORD dwVidMemFree;
  DWORD dwReserved[78];
};
static_assert(sizeof(DDCAPS) == 380);

using LPDDPIXELFORMAT = DDPIXELFORMAT*;
using LPDDCOLORKEY = DDCOLORKEY*;
using LPDDSCAPS2 = DDSCAPS2*;
using LPDDSURFACEDESC2 = DDSURFACEDESC2*;
using LPDDBLTFX = DDBLTFX*;
using LPDDCAPS = DDCAPS*;

// --- interfaces ---
struct IDirectDrawSurface7;
struct IDirectDrawClipper;

using LPDDENUMSURFACESCALLBACK7 = HRESULT (*)(IDirectDrawSurface7* surface, DDSURFACEDESC2* desc, LPVOID context);

struct IDirectDrawClipper : IUnknown {
  // Clips blits onto the primary surface to the window's client area.
  virtual HRESULT SetHWnd(DWORD flags, HWND window) = 0;
  virtual HRESULT GetHWnd(HWND* window) = 0;
};

struct IDirectDrawSurface7 : IUnknown {
  // The whole surface (rect null) or a rectangle; lpSurface points at its
  // first pel, lPitch is the row distance in bytes. A locked surface refuses
  // a second Lock, blits and GetDC with DDERR_SURFACEBUSY.
  virtual HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) = 0;
  virtual HRESULT Unlock(RECT* rect) = 0;
  // Copy (source rectangle onto an equally sized destination rectangle; null
  // means the whole surface), DDBLT_KEYSRC (the source's colour key, compared
  // on the colour bits), DDBLT_COLORFILL (fx->dwFillColor). Rectangles are
  // clipped to both surfaces and to the destination's clipper; a stretch
  // gives DDERR_NOSTRETCHHW, surfaces of two formats DDERR_UNSUPPORTED.
  virtual HRESULT Blt(RECT* dest, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) = 0;
  // The flip chain's memory rotates one step: the first back buffer's pels
  // become the primary's and are shown.
  virtual HRESULT Flip(IDirectDrawSurface7* target, DWORD flags) = 0;
  virtual HRESULT GetDC(HDC* dc) = 0;
  virtual HRESULT ReleaseDC(HDC dc) = 0;
  virtual HRESULT GetPixelFormat(DDPIXELFORMAT* format) = 0;
  virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
  // DD_OK or DDERR_SURFACELOST.
  virtual HRESULT IsLost() = 0;
  // Pels survive a loss. A back buffer of a flip chain answers
  // DDERR_IMPLICITLYCREATED (restore the primary); a surface made for
  // another display format DDERR_WRONGMODE.
  virtual HRESULT Restore() = 0;
  virtual HRESULT SetClipper(IDirectDrawClipper* clipper) = 0;
  // DDCKEY_SRCBLT with the low value of the key; a null key removes it.
  virtual HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
  // The surfaces attached to this one (the primary's first back buffer);
  // each is lent to the callback for the chain's lifetime.
  virtual HRESULT EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK7 callback) = 0;
  // The attached surface with those caps (DDSCAPS_BACKBUFFER); not AddRef-ed
  // beyond the chain's own reference, released with the primary.
  virtual HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface) = 0;
};

struct IDirectDraw7 : IUnknown {
  // DDSCL_NORMAL, or DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE (ALLOWMODEX allowed)
  // with a window. One object of the process holds exclusive mode.
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  // Needs exclusive mode (else DDERR_NOEXCLUSIVEMODE). 8 bits: indices shown
  // grey; 16: R5G6B5; 24: R8G8B8; 32: X8R8G8B8. Loses every surface.
  virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bits, DWORD refresh, DWORD flags) = 0;
  virtual HRESULT RestoreDisplayMode() = 0;
  // Primary (DDSCAPS_PRIMARYSURFACE, with DDSCAPS_FLIP | DDSCAPS_COMPLEX and
  // dwBackBufferCount a flip chain, which needs exclusive mode) or off-screen
  // (DDSD_WIDTH | DDSD_HEIGHT, the display's format unless DDSD_PIXELFORMAT
  // names one). DDSCAPS_VIDEOMEMORY takes from the budget; without a memory
  // caps video memory is tried first.
  virtual HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown* outer) = 0;
  virtual HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) = 0;
  virtual HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) = 0;
};

using LPDIRECTDRAW7 = IDirectDraw7*;
using LPDIRECTDRAWSURFACE7 = IDirectDrawSurface7*;
using LPDIRECTDRAWCLIPPER = IDirectDrawClipper*;

extern const GUID IID_IDirectDraw7;

// guid null (the display driver); iid IID_IDirectDraw7; outer null.
HRESULT DirectDrawCreateEx(GUID* guid, LPVOID* object, REFIID iid, IUnknown* outer);
