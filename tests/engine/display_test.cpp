// The display device, the surface image and the screen update over the
// emulated DirectDraw: pel masks, window sizing, the back surface's memory
// fallback, the retry rule, DrawEx routing, restores, the dirty grid and
// what reaches the window.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <fstream>
#include <string>
#include <vector>

#include "base/dib.h"
#include "base/mem.h"
#include "engine/gfx.h"
#include "engine/gfx_dirty.h"
#include "engine/img_row.h"
#include "engine/sprs.h"
#include "engine/surf.h"
#include "platform/test_api.h"
#include "platform/win32.h"
#include "support/plain_window.h"
#include "support/temp_dir.h"

namespace {

using plat::test::CallRecord;

int countOf(const std::vector<CallRecord>& calls, const char* op) {
  int n = 0;
  for (const auto& c : calls) n += c.op == op;
  return n;
}

class Display : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::test::setInstanceDir(tmp_.path.c_str());
    ASSERT_NE(plainWindowClass(), nullptr);
    errInit();
    plat::test::resetDisplay();
    plat::test::clearFaults();
    plat::test::takeMessageBoxes();
    gfxState.fpsCount = 0;
    gfxState.fpsText[0] = '\0';
  }
  void TearDown() override {
    gfxDirtyClear();
    gfxShutdown();
    if (window_) DestroyWindow(window_);
    plat::test::clearFaults();
    plat::test::traceCalls(false);
    plat::test::setManualClock(false);
    plat::test::resetDisplay();
    plat::test::takeMessageBoxes();
    plat::test::setInstanceDir(nullptr);
  }

  // A captioned window whose top-left corner is at (x, y).
  HWND makeWindow(int x = 50, int y = 40, DWORD style = 0x90CA0000u) {
    window_ = CreateWindowExA(WS_EX_APPWINDOW, plainWindowClass(), "Display", style, x, y, 200, 100, nullptr,
                              nullptr, nullptr, nullptr);
    return window_;
  }
  // Window mode, 640 x 480 x 16, system memory back surface.
  void start(int flags = 0, int w = 640, int h = 480, int bits = 16) {
    ASSERT_NE(makeWindow(), nullptr);
    ASSERT_EQ(gfxInit(window_, flags, w, h, bits), 0);
    ASSERT_NE(gfxDevice->back, nullptr);
    ASSERT_NE(gfxDevice->back->surface, nullptr);
  }
  size_t boxes() { return plat::test::takeMessageBoxes().size(); }

  // An off-screen surface image of the display's format.
  std::unique_ptr<gSurfDxdCTy> offscreen(int w, int h, int video = 0) {
    auto s = std::make_unique<gSurfDxdCTy>();
    s->CreateOffscreen(w, h, video, 0);
    return s;
  }

  TempDir tmp_;
  HWND window_ = nullptr;
};

// --- the device ---

TEST_F(Display, PelMasksFollowThePrimarySurface) {
  using plat::test::DesktopFormat;
  struct Case {
    DesktopFormat desktop;
    int bits;
    int screenBits, screenBytes;
    uint16_t red, blue, green;  // gfxRGB of 0x0000FF, 0xFF0000, 0x00FF00
  } cases[] = {
      {DesktopFormat::R5G6B5, 16, 16, 2, 0xF800, 0x001F, 0x07E0},
      {DesktopFormat::X1R5G5B5, 16, 16, 2, 0x7C00, 0x001F, 0x03E0},
      {DesktopFormat::X1R5G5B5, 0, 16, 2, 0x7C00, 0x001F, 0x03E0},
      {DesktopFormat::X1R5G5B5, 32, 32, 4, 0xF800, 0x001F, 0x07E0},  // other depths keep 5-6-5
      {DesktopFormat::X8R8G8B8, 0, 32, 4, 0xF800, 0x001F, 0x07E0},
      {DesktopFormat::R8G8B8, 16, 24, 3, 0xF800, 0x001F, 0x07E0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    plat::test::setDesktopFormat(c.desktop);
    start(0, 64, 48, c.bits);
    EXPECT_EQ(gfxState.screenBits, c.screenBits);
    EXPECT_EQ(gfxState.screenBytes, c.screenBytes);
    EXPECT_EQ(gfxRGB(0x0000FF), c.red);
    EXPECT_EQ(gfxRGB(0xFF0000), c.blue);
    EXPECT_EQ(gfxRGB(0x00FF00), c.green);
    EXPECT_EQ(gfxState.textColor, 0x00FFFFFFu);
    gfxShutdown();
    DestroyWindow(window_);
    window_ = nullptr;
  }
  // A zero mask: shift 0, loss 8, so the channel is always 0.
  const gfxChannel zero = gfxChannelOf(0);
  EXPECT_EQ(zero.shift, 0);
  EXPECT_EQ(zero.loss, 8);
  gfxState.red = zero;
  EXPECT_EQ(gfxRGB(0x0000FF), 0);
  const gfxChannel wide = gfxChannelOf(0xFFFF0000u | 0x03E0);  // only the low 16 bits count
  EXPECT_EQ(wide.shift, 5);
  EXPECT_EQ(wide.loss, 3);
}

TEST_F(Display, WindowModeSizesTheClientAreaInPlace) {
  ASSERT_NE(makeWindow(50, 40), nullptr);
  RECT before;
  GetWindowRect(window_, &before);
  ASSERT_EQ(gfxInit(window_, gfx_MODE_VIDMEM, 640, 480, 16), 0);
  RECT client, after;
  GetClientRect(window_, &client);
  GetWindowRect(window_, &after);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(gfxDevice->back->width, 640);
  EXPECT_EQ(gfxDevice->back->PelFormat(), pel_FMT_R5G6B5);
  EXPECT_EQ(gfxDevice->primary->primary, 1);
  EXPECT_NE(gfxDevice->clipper, nullptr);
  EXPECT_EQ(boxes(), 0u);
}

TEST_F(Display, BackSurfaceFallsBackToSystemMemory) {
  // Room for the desktop-sized primary surface, not for the back surface:
  // system memory instead, without a box.
  plat::test::setVideoMemory(1024 * 768 * 2 + 1000);
  ASSERT_NE(makeWindow(), nullptr);
  ASSERT_EQ(gfxInit(window_, gfx_MODE_VIDMEM, 320, 200, 16), 0);
  EXPECT_EQ(boxes(), 0u);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof d;
  ASSERT_EQ(gfxDevice->back->surface->GetSurfaceDesc(&d), DD_OK);
  EXPECT_TRUE(d.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);

  // Both refused (too wide for any memory): one box, a back surface object
  // without a surface, and everything after it safe.
  EXPECT_EQ(gfxSetMode(gfx_MODE_VIDMEM, 17000, 1, 16), 0);
  auto shown = plat::test::takeMessageBoxes();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].text.find("DDERR_TOOBIGSIZE"), std::string::npos);
  EXPECT_EQ(gfxDevice->back->surface, nullptr);
  gfxDevice->back->Lock(nullptr, img_LOCK_READWRITE);
  EXPECT_EQ(gfxDevice->back->data, nullptr);
  EXPECT_EQ(gfxDevice->back->GetDC(), nullptr);
  gfxDevice->back->Fill(1, nullptr);
  gfxTextOut(0, 0, "x");
  gfxPresent();
  gfxDirtyReset();
  gfxDirtyUpdate();
  EXPECT_EQ(boxes(), 0u);
}

TEST_F(Display, FailedDirectDrawCreationEndsTheModeSetting) {
  ASSERT_NE(makeWindow(), nullptr);
  plat::test::failNext("DirectDrawCreateEx", 1, DDERR_NODIRECTDRAWHW);
  EXPECT_EQ(gfxInit(window_, 0, 64, 48, 16), DDERR_NODIRECTDRAWHW);
  EXPECT_EQ(boxes(), 1u);
  EXPECT_EQ(gfxDirectDraw, nullptr);
  EXPECT_EQ(gfxDevice->primary, nullptr);
  EXPECT_EQ(gfxDevice->back, nullptr);
  gfxPresent();
  gfxTextOut(0, 0, "x");
  gfxDrawFps(0, 0);
  // The next mode setting tries again.
  EXPECT_EQ(gfxSetMode(0, 64, 48, 16), 1);
  EXPECT_NE(gfxDevice->back->surface, nullptr);
}

// Alt+Enter's mode settings both ways: the cooperative level follows the
// full-screen state, the display mode is set and restored.
TEST_F(Display, FullScreenAndBackRenewTheCooperativeLevel) {
  start(gfx_MODE_VIDMEM, 64, 48);
  plat::test::traceCalls(true);
  ASSERT_EQ(gfxSetMode(gfx_MODE_FULLSCREEN | gfx_MODE_VIDMEM, 64, 48, 32), 1);
  EXPECT_EQ(gfxDevice->back->PelFormat(), pel_FMT_X8R8G8B8);
  EXPECT_EQ(gfxDevice->clipper, nullptr);
  ASSERT_EQ(gfxSetMode(gfx_MODE_VIDMEM, 64, 48, 16), 1);
  EXPECT_EQ(gfxDevice->back->PelFormat(), pel_FMT_R5G6B5);
  EXPECT_NE(gfxDevice->clipper, nullptr);
  std::vector<DWORD> levels;
  std::vector<std::string> modeCalls;
  for (const CallRecord& c : plat::test::takeCalls()) {
    if (c.op == "SetCooperativeLevel") levels.push_back(c.flags);
    if (c.op == "SetDisplayMode" || c.op == "RestoreDisplayMode") modeCalls.push_back(c.op);
    EXPECT_GE(c.result, 0) << c.op;
  }
  EXPECT_EQ(levels, (std::vector<DWORD>{0x51, DDSCL_NORMAL}));
  EXPECT_EQ(modeCalls, (std::vector<std::string>{"SetDisplayMode", "RestoreDisplayMode"}));
  EXPECT_EQ(boxes(), 0u);
  // A flip chain asked without full screen is full screen.
  ASSERT_EQ(gfxSetMode(gfx_MODE_FLIP, 64, 48, 16), 1);
  EXPECT_TRUE(gfxDevice->flags & gfx_MODE_FULLSCREEN);
  EXPECT_EQ(gfxDevice->back->ownsSurface, 0);
  gfxDevice->back->Clear(0x1234);
  gfxPresent();
  EXPECT_EQ(plat::test::readSurface(gfxDevice->primary->surface).pels[0], 0x34);
}

TEST_F(Display, TextAndTheFrameRateLine) {
  start(0, 640, 48);
  gSurfDxdCTy& back = *gfxDevice->back;
  auto blank = [&] {
    const auto pels = plat::test::readSurface(back.surface).pels;
    return std::all_of(pels.begin(), pels.end(), [](uint8_t b) { return b == 0; });
  };
  gfxTextOut(0, 0, "%s", std::string(200, 'x').c_str());  // too long: nothing
  const char* none = nullptr;
  gfxTextOut(0, 0, none);
  EXPECT_TRUE(blank());
  plat::test::setManualClock(true);
  for (int frame = 1; frame <= 11; ++frame) {
    gfxDrawFps(10, 10);
    plat::test::advanceClock(10);
  }
  EXPECT_STREQ(gfxState.fpsText, "");
  EXPECT_TRUE(blank());
  gfxDrawFps(10, 10);  // the 12th: 11 frames in 110 ms
  DDCAPS caps{};
  caps.dwSize = sizeof caps;
  gfxDirectDraw->GetCaps(&caps, nullptr);
  EXPECT_EQ(std::string(gfxState.fpsText),
            "  11   100.0  V_M = " + std::to_string(caps.dwVidMemTotal - caps.dwVidMemFree));
  EXPECT_FALSE(blank());
  EXPECT_EQ(gfxState.fpsCount, 1);
}

// --- the surface image ---

// Each row injects a code into one operation and counts what followed.
TEST_F(Display, RetryRule) {
  start();
  struct Case {
    const char* what;
    const char* op;  // the DirectDraw call the fault reaches
    int faults;
    HRESULT code;
    int calls, boxes;  // calls of that DirectDraw operation, report boxes
    bool done;         // the operation's effect took place
  } cases[] = {
      {"lock still drawing", "Lock", 2, DDERR_WASSTILLDRAWING, 3, 0, true},
      {"lock still drawing on", "Lock", 9, DDERR_WASSTILLDRAWING, 4, 0, false},
      {"lock lost", "Lock", 1, DDERR_SURFACELOST, 2, 0, true},
      {"lock lost on", "Lock", 9, DDERR_SURFACELOST, 4, 0, false},
      {"lock failed", "Lock", 1, E_FAIL, 1, 1, false},
      {"fill still drawing", "Blt", 1, DDERR_WASSTILLDRAWING, 2, 0, true},
      {"fill failed", "Blt", 1, E_FAIL, 1, 1, false},
      {"dc still drawing", "GetDC", 1, DDERR_WASSTILLDRAWING, 1, 1, false},
      {"dc can't create", "GetDC", 1, DDERR_CANTCREATEDC, 2, 0, true},
      {"dc lost", "GetDC", 1, DDERR_SURFACELOST, 2, 0, true},
      {"release dc failed", "ReleaseDC", 1, E_FAIL, 1, 1, false},
      {"release dc lost", "ReleaseDC", 1, DDERR_SURFACELOST, 2, 0, true},
      {"unlock still drawing", "Unlock", 1, DDERR_WASSTILLDRAWING, 1, 1, false},
      {"unlock lost", "Unlock", 1, DDERR_SURFACELOST, 1, 0, false},
      {"unlock failed", "Unlock", 1, E_FAIL, 1, 1, false},
      {"key still drawing", "SetColorKey", 2, DDERR_WASSTILLDRAWING, 3, 1, true},
      {"key lost", "SetColorKey", 1, DDERR_SURFACELOST, 1, 0, false},
      {"key failed", "SetColorKey", 1, E_FAIL, 1, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto s = offscreen(8, 8);
    ASSERT_NE(s->surface, nullptr);
    const std::string op = c.op;
    if (op == "Unlock" || op == "ReleaseDC") {
      if (op == "Unlock") s->Lock(nullptr, img_LOCK_READWRITE);
    }
    HDC dc = op == "ReleaseDC" ? s->GetDC() : nullptr;
    plat::test::traceCalls(true);
    plat::test::failNext(c.op, c.faults, c.code);
    bool done = false;
    std::vector<CallRecord> calls;
    auto stopTrace = [&] {
      calls = plat::test::takeCalls();
      plat::test::traceCalls(false);
      plat::test::clearFaults();
    };
    if (op == "Lock") {
      s->Lock(nullptr, img_LOCK_READWRITE);
      stopTrace();
      done = s->data != nullptr;
      s->Unlock();
    } else if (op == "Blt") {
      s->Fill(0x5555, nullptr);
      stopTrace();
      done = plat::test::readSurface(s->surface).pels[0] == 0x55;
    } else if (op == "GetDC") {
      HDC got = s->GetDC();
      stopTrace();
      done = got != nullptr;
      if (got) s->ReleaseDC(got);
    } else if (op == "ReleaseDC") {
      s->ReleaseDC(dc);
      stopTrace();
      HDC again = nullptr;
      done = s->surface->GetDC(&again) == DD_OK;  // the first context is gone
      if (again) s->surface->ReleaseDC(again);
    } else if (op == "Unlock") {
      s->Unlock();
      stopTrace();
    } else {
      s->SetColorKey(0x1234);
      stopTrace();
      DDSURFACEDESC2 d{};
      d.dwSize = sizeof d;
      s->surface->GetSurfaceDesc(&d);
      done = (d.dwFlags & DDSD_CKSRCBLT) != 0;
    }
    EXPECT_EQ(countOf(calls, c.op), c.calls);
    EXPECT_EQ(boxes(), size_t(c.boxes));
    EXPECT_EQ(done, c.done);
  }
}

TEST_F(Display, BlitsRestoreALostDestination) {
  start();
  auto a = offscreen(8, 8), b = offscreen(8, 8);
  a->Clear(0x4242);
  plat::test::loseSurface(b->surface);
  plat::test::traceCalls(true);
  a->Draw(b.get(), 0, 0, nullptr);
  const auto calls = plat::test::takeCalls();
  EXPECT_EQ(countOf(calls, "Blt"), 2);
  EXPECT_EQ(countOf(calls, "Restore"), 1);
  EXPECT_EQ(plat::test::readSurface(b->surface).pels[0], 0x42);
  EXPECT_EQ(boxes(), 0u);
}

TEST_F(Display, DrawExRoutesToTheHardwareOrTheSoftwareDraw) {
  start();
  auto src = offscreen(16, 8), dst = offscreen(48, 48);  // every case lies inside both
  imgRowCTy memory;
  pelFmtDesc d;
  d.Set(pel_FMT_R5G6B5, nullptr);
  memory.SetSize(32, 32, &d);
  struct Case {
    const char* what;
    int32_t mode;
    int32_t scaled;
    float scale;
    bool keyed;
    rectCTy rect;
    bool toMemory;
    int blts;  // Blt calls of the destination
    DWORD flags;
  } cases[] = {
      {"copy", pel_OP_COPY, 0, 1, false, {0, 0, 16, 8}, false, 1, 0},
      {"keyed copy", pel_OP_COPY, 0, 1, true, {2, 1, 4, 4}, false, 1, DDBLT_KEYSRC},
      {"source alpha", pel_OP_SRCALPHA, 0, 1, false, {0, 0, 16, 8}, false, 1, 0},
      {"alpha", pel_OP_ALPHA, 0, 1, false, {0, 0, 16, 8}, false, 0, 0},
      {"add", pel_OP_ADD, 0, 1, false, {0, 0, 16, 8}, false, 0, 0},
      {"stretch onto the scaled bounds", pel_OP_STRETCH, 1, 2, false, {0, 0, 32, 16}, false, 1, 0},
      {"stretch onto another rectangle", pel_OP_STRETCH, 1, 2, false, {0, 0, 16, 16}, false, 0, 0},
      {"keyed stretch", pel_OP_STRETCH, 1, 2, true, {0, 0, 32, 16}, false, 0, 0},
      {"scaled copy", pel_OP_COPY, 1, 2, false, {0, 0, 32, 16}, false, 1, 0},
      {"copy onto a memory image", pel_OP_COPY, 0, 1, false, {0, 0, 16, 8}, true, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.keyed) src->SetColorKey(0x1234);
    else src->keyFlag = 0;
    imgDrawParams p{};
    p.mode = c.mode;
    p.scaled = c.scaled;
    p.scaleX = p.scaleY = c.scale;
    plat::test::traceCalls(true);
    src->DrawEx(c.toMemory ? static_cast<imgCTy*>(&memory) : dst.get(), 3, 2, &c.rect, &p);
    const auto calls = plat::test::takeCalls();
    plat::test::traceCalls(false);
    std::vector<CallRecord> blts;
    for (const auto& call : calls)
      if (call.op == "Blt" && call.object == dst->surface) blts.push_back(call);
    ASSERT_EQ(int(blts.size()), c.blts);
    if (!c.blts) continue;
    EXPECT_EQ(blts[0].flags, c.flags);
    const RECT& to = blts[0].rects[0];
    EXPECT_EQ(to.left, 3 + c.rect.x);
    EXPECT_EQ(to.bottom, 2 + c.rect.y + c.rect.h);
    // A stretch takes the whole source; DirectDraw here cannot stretch, so
    // the same call falls to the software draw.
    if (c.scaled) {
      EXPECT_EQ(blts[0].rects[1].right, 16);
      EXPECT_EQ(blts[0].result, DDERR_NOSTRETCHHW);
    }
  }
  EXPECT_EQ(boxes(), 0u);
}

TEST_F(Display, RestoresReloadTheirContent) {
  start();
  // Kind 0 with a key: the whole surface becomes the key, and keeps it.
  auto keyed = offscreen(8, 8);
  keyed->Clear(0x1111);
  keyed->SetColorKey(0x07E0);
  plat::test::loseSurface(keyed->surface);
  EXPECT_EQ(keyed->Restore(), 1);
  auto pels = plat::test::readSurface(keyed->surface).pels;
  EXPECT_EQ(pels[0] | pels[1] << 8, 0x07E0);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof d;
  keyed->surface->GetSurfaceDesc(&d);
  EXPECT_EQ(d.ddckCKSrcBlt.dwColorSpaceLowValue, 0x07E0u);

  // Kind 1: a rectangle of an 8-bit BMP file through the palette.
  dibHeader* dib = dibCreate(4, 3, 8, 2, 1);
  auto* colours = reinterpret_cast<RGBQUAD*>(dib + 1);
  colours[1] = RGBQUAD{0xFF, 0, 0, 0};  // blue
  uint8_t* rows = dibBits(dib);
  std::memset(rows, 0, 12);
  rows[8 + 1] = 1;  // the top row (stored last), column 1
  const std::string bmp = tmp_.file("pic.bmp");
  {
    const uint32_t bitsAt = 14 + 40 + 8, size = bitsAt + 12;
    std::ofstream out(bmp, std::ios::binary);
    out.write("BM", 2);
    out.write(reinterpret_cast<const char*>(&size), 4);
    out.write("\0\0\0\0", 4);
    out.write(reinterpret_cast<const char*>(&bitsAt), 4);
    out.write(reinterpret_cast<const char*>(dib), 40 + 8 + 12);
  }
  memHooks.free(dib);
  auto loaded = offscreen(4, 3);
  loaded->SetRestoreBmp(bmp.c_str(), 0, 0, 4, 3);
  plat::test::loseSurface(loaded->surface);
  EXPECT_EQ(loaded->Restore(), 1);
  pels = plat::test::readSurface(loaded->surface).pels;
  EXPECT_EQ(pels[2] | pels[3] << 8, 0x001F);
  EXPECT_EQ(pels[0] | pels[1] << 8, 0);

  // Kind 3 from a keyed image: this surface takes the key colour and is
  // filled with it before the image is drawn.
  imgRowCTy image;
  pelFmtDesc f;
  f.Set(pel_FMT_R5G6B5, nullptr);
  image.SetSize(2, 2, &f);
  image.SetColorKeyRGB(0x0000FF00);  // green
  auto copy = offscreen(4, 4);
  copy->SetRestoreImage(&image, nullptr, 1, 1);
  plat::test::loseSurface(copy->surface);
  EXPECT_EQ(copy->Restore(), 1);
  EXPECT_EQ(copy->keyFlag, 1);
  EXPECT_EQ(copy->keyPel, 0x07E0u);
  pels = plat::test::readSurface(copy->surface).pels;
  EXPECT_EQ(pels[0] | pels[1] << 8, 0x07E0);

  // Kind 2 without its pack: reported, nothing drawn, still restored.
  auto packed = offscreen(4, 4);
  packed->SetRestorePack(tmp_.file("none.pack").c_str(), 0);
  plat::test::loseSurface(packed->surface);
  EXPECT_EQ(packed->Restore(), 1);
  EXPECT_EQ(boxes(), 1u);
}

TEST_F(Display, RestoreLimitsAndRecreation) {
  start(gfx_MODE_VIDMEM);
  // A primary surface short of memory is not recreated.
  gSurfDxdCTy& front = *gfxDevice->primary;
  plat::test::loseSurface(front.surface);
  plat::test::failNext("Restore", 1, DDERR_OUTOFVIDEOMEMORY);
  plat::test::traceCalls(true);
  EXPECT_EQ(front.Restore(), 0);
  EXPECT_EQ(countOf(plat::test::takeCalls(), "CreateSurface"), 0);

  // An off-screen surface in video memory: recreated one kind of memory
  // down at a time.
  auto s = offscreen(16, 16, 1);
  plat::test::setVideoMemory(0);
  plat::test::loseSurface(s->surface);
  plat::test::failNext("Restore", 1, DDERR_OUTOFVIDEOMEMORY);
  plat::test::takeCalls();
  EXPECT_EQ(s->Restore(), 1);
  std::vector<int64_t> caps;
  for (const CallRecord& c : plat::test::takeCalls())
    if (c.op == "CreateSurface") caps.push_back(c.values[0]);
  const int64_t offscreenVideo = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
  EXPECT_EQ(caps, (std::vector<int64_t>{offscreenVideo | DDSCAPS_LOCALVIDMEM, offscreenVideo | DDSCAPS_NONLOCALVIDMEM,
                                        DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY}));
  ASSERT_NE(s->surface, nullptr);
  EXPECT_EQ(s->surface->IsLost(), DD_OK);
  EXPECT_EQ(boxes(), 0u);
  // Anything else: reported once, 0.
  plat::test::loseSurface(s->surface);
  plat::test::failNext("Restore", 1, E_FAIL);
  EXPECT_EQ(s->Restore(), 0);
  EXPECT_EQ(boxes(), 1u);
  // A clone is not available.
  EXPECT_EQ(s->Clone(), nullptr);
  EXPECT_EQ(boxes(), 1u);
}

// --- the screen update ---

struct R {
  int x, y, w, h;
  bool operator==(const R&) const = default;
};
std::ostream& operator<<(std::ostream& o, const R& r) {
  return o << "{" << r.x << "," << r.y << "," << r.w << "," << r.h << "}";
}

std::vector<R> merged() {
  gfxDirtyMerge();
  std::vector<R> out;
  for (uint32_t i = 0; i < gfxDirtyRectCount(); ++i) {
    const rectCTy& r = gfxDirtyRects()[i];
    out.push_back({r.x, r.y, r.w, r.h});
  }
  gfxDirtyPresent();  // empties the list
  return out;
}

TEST_F(Display, MarksMergeIntoRectangles) {
  start();
  gfxDirtyReset();
  gfxDirty.drawFps = 0;
  EXPECT_EQ(gfxDirty.cols, 20);
  EXPECT_EQ(merged(), (std::vector<R>{{0, 0, 640, 480}}));  // all marked after init
  struct Case {
    const char* what;
    std::vector<R> marks;
    std::vector<R> rects;
  } cases[] = {
      {"a cell's size marks four", {{0, 0, 32, 24}}, {{0, 0, 64, 24}, {0, 24, 64, 24}}},
      {"the whole screen", {{0, 0, 640, 480}}, {{0, 0, 640, 480}}},
      {"the right edge through the stride",
       {{608, 0, 32, 24}},
       {{608, 0, 32, 24}, {0, 24, 32, 24}, {608, 24, 32, 24}, {0, 48, 32, 24}}},
      {"two runs in a row", {{0, 0, 10, 10}, {100, 0, 10, 10}}, {{0, 0, 32, 24}, {96, 0, 32, 24}}},
      {"a full row below a partial one", {{0, 0, 10, 10}, {0, 24, 639, 10}}, {{0, 0, 32, 24}, {0, 24, 640, 24}}},
      {"outside the screen", {{700, 500, 10, 10}, {-50, -50, 20, 20}}, {}},
      {"nothing", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const R& m : c.marks) gfxDirtyTouchRect(m.x, m.y, m.w, m.h);
    EXPECT_EQ(merged(), c.rects);
  }
}

TEST_F(Display, ScreenSizesOffTheCellGridAreCovered) {
  start(0, 650, 490);
  gfxDirtyReset();
  EXPECT_EQ(gfxDirty.cols, 21);
  EXPECT_EQ(gfxDirty.rows, 21);
  EXPECT_EQ(merged(), (std::vector<R>{{0, 0, 672, 504}}));
  gfxDirtyTouchRect(645, 485, 5, 5);
  EXPECT_EQ(merged(), (std::vector<R>{{640, 480, 32, 24}}));
}

TEST_F(Display, FlipChainsPresentTheWholeScreen) {
  start(gfx_MODE_FLIP, 64, 48);
  gfxDirtyReset();
  gfxDirty.drawFps = 0;
  merged();
  EXPECT_EQ(merged(), (std::vector<R>{{0, 0, 64, 48}}));  // nothing marked
  plat::test::traceCalls(true);
  gfxDirtyUpdate();
  const auto calls = plat::test::takeCalls();
  EXPECT_EQ(countOf(calls, "Flip"), 1);
  EXPECT_EQ(countOf(calls, "Blt"), 0);
}

TEST_F(Display, MarkedCellsReachTheWindow) {
  start();
  gfxDirtyReset();
  gfxDirty.drawFps = 0;
  gfxDirtyUpdate();  // the first update presents the (black) screen
  gSurfDxdCTy& back = *gfxDevice->back;
  back.Lock(nullptr, img_LOCK_WRITE);
  ASSERT_NE(back.data, nullptr);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const uint16_t pel = uint16_t(x * 7 + y * 13 + 1);
      std::memcpy(back.data + (y * back.pitch + x) * 2, &pel, 2);
    }
  back.Unlock();
  plat::test::traceCalls(true);
  gfxDirtyUpdate();  // nothing marked: nothing blitted
  EXPECT_EQ(countOf(plat::test::takeCalls(), "Blt"), 0);
  gfxDirtyTouchRect(40, 30, 10, 10);  // cell (1, 1)
  gfxDirtyUpdate();
  const auto ws = plat::test::readWindowSurface(window_);
  ASSERT_EQ(ws.width, 640);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      uint32_t want = 0;
      if (x >= 32 && x < 64 && y >= 24 && y < 48) {
        const uint16_t pel = uint16_t(x * 7 + y * 13 + 1);
        SDL_ConvertPixels(1, 1, SDL_PIXELFORMAT_RGB565, &pel, 2, ws.sdlFormat, &want, 4);
      }
      uint32_t got;
      std::memcpy(&got, &ws.pels[(y * 640 + x) * 4], 4);
      ASSERT_EQ(got & 0xFFFFFF, want & 0xFFFFFF) << x << "," << y;
    }
  // The frame-rate strip is marked by the update itself.
  gfxDirty.drawFps = 1;
  plat::test::takeCalls();
  gfxDirtyUpdate();
  int blts = 0;
  for (const CallRecord& c : plat::test::takeCalls())
    if (c.op == "Blt" && c.rects.size() == 2) ++blts;
  EXPECT_EQ(blts, 2);  // {10, 10, 400, 20}: cells 0 to 12 of rows 0 and 1
}

// A scene as the game draws it: a sprite list over the back surface, each
// pass drawing what its list marked and marking that for the screen update.
class ScenePasses : public Display {
 protected:
  void SetUp() override {
    Display::SetUp();
    start();
    gfxDirtyReset();
    gfxDirty.drawFps = 0;
    const pelFmtDesc desc = gfxDevice->back->GetPelFmtDesc();
    background_.SetSize(640, 480, &desc);
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) setPel(background_, x, y, uint16_t(x * 7 + y * 13 + 1));
    ball_.SetSize(16, 16, &desc);
    ball_.Fill(0xFFFF, nullptr);
    list_.SetSize(640, 480);
    sprsCTy::Add(&list_, &bkg_);
    bkg_.SetImage(&background_);
    bkg_.SetZ(1000);
    bkg_.Show();
    sprsCTy::Add(&list_, &ballSprite_);
    ballSprite_.SetImage(&ball_);
    ballSprite_.SetZ(0);
    ballSprite_.SetPos(100, 100);
    ballSprite_.Show();
    for (int i = 0; i < 3; ++i) pass();  // everything is drawn in three passes
  }
  static void setPel(imgRowCTy& image, int x, int y, uint16_t pel) {
    std::memcpy(image.buffer + (int64_t(y) * image.width + x) * 2, &pel, 2);
  }
  // One pass; the pels it blitted to the screen.
  int64_t pass() {
    plat::test::traceCalls(true);
    list_.DrawDirty(gfxDevice->back);
    gfxDirtyTouchRects(list_.Drawn());
    gfxDirtyUpdate();
    int64_t pels = 0;
    for (const CallRecord& c : plat::test::takeCalls())
      if (c.op == "Blt" && c.object == gfxDevice->primary->surface && c.rects.size() == 2)
        pels += int64_t(c.rects[1].right - c.rects[1].left) * (c.rects[1].bottom - c.rects[1].top);
    plat::test::traceCalls(false);
    return pels;
  }
  // Whether the window shows the back surface's pel at (x, y).
  bool shows(int x, int y) {
    const auto ws = plat::test::readWindowSurface(window_);
    const auto back = plat::test::readSurface(gfxDevice->back->surface);
    uint32_t want = 0, got = 0;
    SDL_ConvertPixels(1, 1, back.sdlFormat, &back.pels[size_t(y * back.width + x) * 2], 2, ws.sdlFormat, &want, 4);
    std::memcpy(&got, &ws.pels[size_t(y * ws.width + x) * 4], 4);
    return (got & 0xFFFFFF) == (want & 0xFFFFFF);
  }
  // Changes a pel of the back surface behind the sprite list's back.
  void scribble(int x, int y) {
    gSurfDxdCTy& back = *gfxDevice->back;
    back.Lock(nullptr, img_LOCK_WRITE);
    const uint16_t pel = 0x1234;
    std::memcpy(back.data + (y * back.pitch + x) * 2, &pel, 2);
    back.Unlock();
  }

  imgRowCTy background_, ball_;
  sprImgCTy bkg_, ballSprite_;
  sprsCTy list_;  // lets the sprites go before they go
};

// Only what the list drew reaches the window: a pass that drew nothing
// blits nothing, a move blits the cells around the ball's two places.
TEST_F(ScenePasses, OnlyWhatWasDrawnIsPresented) {
  scribble(600, 400);
  EXPECT_EQ(pass(), 0);
  EXPECT_FALSE(shows(600, 400));

  ballSprite_.SetPos(140, 100);
  const int64_t moved = pass();
  EXPECT_GT(moved, 0);
  EXPECT_LE(moved, 4 * 64 * 48) << "more than the cells of the ball's two places";
  EXPECT_TRUE(shows(150, 110));  // the ball's new place
  EXPECT_TRUE(shows(105, 105));  // its old place, background again
  EXPECT_FALSE(shows(600, 400));
  EXPECT_GT(pass(), 0);  // a change is drawn three times
  EXPECT_GT(pass(), 0);
  EXPECT_EQ(pass(), 0);

  // The whole list marked (as the game marks it on activation).
  const rectCTy all{0, 0, 640, 480};
  list_.MarkDirty(&all, &all, 1);
  EXPECT_EQ(pass(), 640 * 480);
  EXPECT_TRUE(shows(600, 400));
}

// A lost surface restored by the update: the whole screen is presented.
TEST_F(ScenePasses, ARestoredSurfacePresentsTheWholeScreen) {
  for (bool primary : {true, false}) {
    SCOPED_TRACE(primary ? "primary" : "back");
    scribble(600, 400);
    EXPECT_EQ(pass(), 0);
    plat::test::loseSurface(primary ? gfxDevice->primary->surface : gfxDevice->back->surface);
    EXPECT_EQ(pass(), 640 * 480);
    EXPECT_TRUE(shows(600, 400));
    EXPECT_EQ(pass(), 0);
  }
}

}  // namespace
