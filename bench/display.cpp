// The emulated display's blits and presents on 800x600 surfaces beside SDL2
// and pixman on the same pels (dummy video driver). Every row reports
// "pixels=...M/s" (Mpixels/s) and checks its output once after its timed
// loop against what the work must give (all three libraries compute the
// same pels): a copy the source's pels, a keyed copy those of the source
// that are not the key over the destination's first pels, a fill its value
// in every byte, a present SDL2's conversion of the frame's rectangles into
// the window. Ours runs at the display's fastest pel loops; its blits also
// check that the portable loops give the same pels.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "bench/picture.h"
#include "platform/detail.h"
#include "platform/test_api.h"
#include "platform/win32.h"
#include "platform/win_ddraw.h"

namespace {

using bench_picture::H;
using bench_picture::Pels;
using bench_picture::W;

constexpr Uint32 kKey = 0x1234;

void countPixels(benchmark::State& state, double perIteration) {
  state.counters["pixels"] = benchmark::Counter(double(state.iterations()) * perIteration, benchmark::Counter::kIsRate);
}

struct Format {
  int bits;
  DWORD r, g, b;
  Uint32 sdl;
  pixman_format_code_t pixman;
};
const Format kR5G6B5{16, 0xF800, 0x07E0, 0x001F, SDL_PIXELFORMAT_RGB565, PIXMAN_r5g6b5};
const Format kX8R8G8B8{32, 0xFF0000, 0xFF00, 0xFF, SDL_PIXELFORMAT_RGB888, PIXMAN_x8r8g8b8};

// Random pels with about one in eight the key.
Pels picture(int bytes, bool keyed) {
  Pels p(bytes);
  if (keyed)
    for (size_t i = 0; i < size_t(W) * H; i += 8) std::memcpy(p.bytes() + i * bytes, &kKey, size_t(bytes));
  return p;
}

// A DirectDraw object with 800x600 off-screen surfaces.
struct Ours {
  IDirectDraw7* dd = nullptr;
  std::vector<IDirectDrawSurface7*> surfaces;
  Ours() { DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr); }
  ~Ours() {
    for (auto* s : surfaces) s->Release();
    dd->Release();
  }
  IDirectDrawSurface7* surface(const Format& f, Pels* pels) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = W;
    d.dwHeight = H;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    d.ddpfPixelFormat = {sizeof(DDPIXELFORMAT), DDPF_RGB, 0, DWORD(f.bits), f.r, f.g, f.b, 0};
    IDirectDrawSurface7* s = nullptr;
    dd->CreateSurface(&d, &s, nullptr);
    surfaces.push_back(s);
    if (pels) {
      DDSURFACEDESC2 l{};
      l.dwSize = sizeof l;
      s->Lock(nullptr, &l, 0, nullptr);
      for (int y = 0; y < H; ++y)
        std::memcpy(static_cast<uint8_t*>(l.lpSurface) + y * l.lPitch, pels->bytes() + y * pels->pitch(),
                    size_t(pels->pitch()));
      s->Unlock(nullptr);
    }
    return s;
  }
};

// A surface's pels, rows packed.
std::vector<uint8_t> pelsOf(IDirectDrawSurface7* s) { return plat::test::readSurface(s).pels; }
std::vector<uint8_t> pelsOf(Pels& p) { return {p.bytes(), p.bytes() + size_t(p.pitch()) * H}; }

// What a copy of src over the destination's first pels `dst` gives: every
// pel of src, or with `keyed` those that are not the key.
std::vector<uint8_t> copied(const Format& f, Pels& src, std::vector<uint8_t> dst, bool keyed) {
  const size_t size = size_t(f.bits / 8);
  for (size_t i = 0; i < size_t(W) * H; ++i) {
    uint32_t v = 0;
    std::memcpy(&v, src.bytes() + i * size, size);
    if (!keyed || v != kKey) std::memcpy(dst.data() + i * size, &v, size);
  }
  return dst;
}

// The row fails unless `got` is `want`; written also unless it differs from
// `before`.
void check(benchmark::State& state, const std::vector<uint8_t>& before, const std::vector<uint8_t>& got,
           const std::vector<uint8_t>& want) {
  if (got == before) state.SkipWithError("nothing was written");
  if (got != want) state.SkipWithError("the pels differ from what the work gives");
}

void checkFill(benchmark::State& state, const std::vector<uint8_t>& got) {
  if (!std::all_of(got.begin(), got.end(), [](uint8_t b) { return b == 0x5A; }))
    state.SkipWithError("a pel differs from the fill");
}

// Our blit of src onto a fresh destination, at the pel loops of `path`.
std::vector<uint8_t> oursOnce(const Format& f, Pels& pels, bool keyed, plat::test::PelPath path) {
  plat::test::setPelPath(path);
  Ours ours;
  IDirectDrawSurface7* src = ours.surface(f, &pels);
  Pels first = picture(f.bits / 8, false);
  IDirectDrawSurface7* dst = ours.surface(f, &first);
  DDCOLORKEY key{kKey, kKey};
  if (keyed) src->SetColorKey(DDCKEY_SRCBLT, &key);
  dst->Blt(nullptr, src, nullptr, keyed ? DDBLT_KEYSRC : 0, nullptr);
  plat::test::setPelPath(plat::test::PelPath::Best);
  return pelsOf(dst);
}

// Destinations start as other pels than the source's.
Pels destination(const Format& f) {
  Pels p = picture(f.bits / 8, false);
  for (auto& w : p.words) w ^= 0x5A5A5A5Au;
  return p;
}

void Ours_Blt(benchmark::State& state, Format f, bool keyed) {
  Ours ours;
  Pels pels = picture(f.bits / 8, keyed), first = destination(f);
  IDirectDrawSurface7* src = ours.surface(f, &pels);
  IDirectDrawSurface7* dst = ours.surface(f, &first);
  DDCOLORKEY key{kKey, kKey};
  if (keyed) src->SetColorKey(DDCKEY_SRCBLT, &key);
  for (auto _ : state) dst->Blt(nullptr, src, nullptr, keyed ? DDBLT_KEYSRC : 0, nullptr);
  check(state, pelsOf(first), pelsOf(dst), copied(f, pels, pelsOf(first), keyed));
  if (oursOnce(f, pels, keyed, plat::test::PelPath::Portable) != oursOnce(f, pels, keyed, plat::test::PelPath::Best))
    state.SkipWithError("the portable pel loops give other pels");
  countPixels(state, double(W) * H);
}

void Ours_Fill(benchmark::State& state, Format f) {
  Ours ours;
  IDirectDrawSurface7* dst = ours.surface(f, nullptr);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0x5A5A5A5A;
  for (auto _ : state) dst->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  checkFill(state, pelsOf(dst));
  countPixels(state, double(W) * H);
}

void Memcpy(benchmark::State& state, Format f) {
  Pels src = picture(f.bits / 8, false), dst = destination(f);
  const std::vector<uint8_t> before = pelsOf(dst);
  for (auto _ : state) {
    std::memcpy(dst.bytes(), src.bytes(), size_t(src.pitch()) * H);
    benchmark::DoNotOptimize(dst.words.data());
  }
  check(state, before, pelsOf(dst), pelsOf(src));
  countPixels(state, double(W) * H);
}

void SDL_Blit(benchmark::State& state, Format f, bool keyed) {
  Pels src = picture(f.bits / 8, keyed), dst = destination(f);
  const std::vector<uint8_t> before = pelsOf(dst);
  SDL_Surface* d = SDL_CreateRGBSurfaceWithFormatFrom(dst.bytes(), W, H, f.bits, dst.pitch(), f.sdl);
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(src.bytes(), W, H, f.bits, src.pitch(), f.sdl);
  if (keyed) SDL_SetColorKey(s, SDL_TRUE, kKey);
  for (auto _ : state) {
    SDL_BlitSurface(s, nullptr, d, nullptr);
    benchmark::DoNotOptimize(dst.words.data());
  }
  SDL_FreeSurface(s);
  SDL_FreeSurface(d);
  std::vector<uint8_t> got = pelsOf(dst), want = copied(f, src, before, keyed);
  if (keyed && f.bits == 32) {
    // SDL2's keyed blit writes 0 into the x byte, ours copies the pel whole:
    // the colours are compared.
    for (size_t i = 3; i < got.size(); i += 4) got[i] = want[i] = 0;
  }
  check(state, before, got, want);
  countPixels(state, double(W) * H);
}

void SDL_Fill(benchmark::State& state, Format f) {
  Pels dst(f.bits / 8);
  SDL_Surface* d = SDL_CreateRGBSurfaceWithFormatFrom(dst.bytes(), W, H, f.bits, dst.pitch(), f.sdl);
  for (auto _ : state) {
    SDL_FillRect(d, nullptr, 0x5A5A5A5A);
    benchmark::DoNotOptimize(dst.words.data());
  }
  SDL_FreeSurface(d);
  checkFill(state, pelsOf(dst));
  countPixels(state, double(W) * H);
}

void Pixman_Blt(benchmark::State& state, Format f) {
  Pels src = picture(f.bits / 8, false), dst = destination(f);
  const std::vector<uint8_t> before = pelsOf(dst);
  for (auto _ : state) {
    pixman_blt(src.words.data(), dst.words.data(), src.pitch() / 4, dst.pitch() / 4, f.bits, f.bits, 0, 0, 0, 0, W,
               H);
    benchmark::DoNotOptimize(dst.words.data());
  }
  check(state, before, pelsOf(dst), pelsOf(src));
  countPixels(state, double(W) * H);
}

void Pixman_Fill(benchmark::State& state, Format f) {
  Pels dst(f.bits / 8);
  for (auto _ : state) {
    pixman_fill(dst.words.data(), dst.pitch() / 4, f.bits, 0, 0, W, H, 0x5A5A5A5A);
    benchmark::DoNotOptimize(dst.words.data());
  }
  checkFill(state, pelsOf(dst));
  countPixels(state, double(W) * H);
}

// --- presenting an R5G6B5 frame in an 800x600 window ---

// Ten scattered 80x60 rectangles, or the whole frame.
std::vector<RECT> dirty(bool whole) {
  if (whole) return {RECT{0, 0, W, H}};
  std::vector<RECT> out;
  for (int i = 0; i < 10; ++i) {
    const int x = (i * 173) % (W - 80), y = (i * 97) % (H - 60);
    out.push_back({x, y, x + 80, y + 60});
  }
  return out;
}

double area(const std::vector<RECT>& rects) {
  double a = 0;
  for (const RECT& r : rects) a += double(r.right - r.left) * (r.bottom - r.top);
  return a;
}

LRESULT CALLBACK plainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

HWND benchWindow() {
  static HWND window = [] {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = plainProc;
    wc.lpszClassName = "BenchDisplayClass";
    RegisterClassExA(&wc);
    return CreateWindowExA(0, "BenchDisplayClass", "bench", WS_POPUP | WS_VISIBLE, 0, 0, W, H, nullptr, nullptr,
                           nullptr, nullptr);
  }();
  return window;
}

// The window's pels cleared to 0.
void clearWindow() {
  SDL_Surface* ws = SDL_GetWindowSurface(plat::detail::sdlWindowOf(benchWindow()));
  SDL_FillRect(ws, nullptr, 0);
}

// The row fails unless the rectangles of the window hold the frame's pels
// as SDL2 converts them to the window's format.
void checkPresented(benchmark::State& state, Pels& frame, const std::vector<RECT>& rects) {
  const plat::test::PelImage window = plat::test::readWindowSurface(benchWindow());
  if (window.width != W || window.height != H) {
    state.SkipWithError("the window has no surface of the frame's size");
    return;
  }
  const size_t size = size_t(window.bitsPerPel / 8), row = size_t(W) * size;
  std::vector<uint8_t> want(row * H);
  SDL_ConvertPixels(W, H, SDL_PIXELFORMAT_RGB565, frame.bytes(), frame.pitch(), window.sdlFormat, want.data(),
                    int(row));
  for (const RECT& r : rects)
    for (int y = r.top; y < r.bottom; ++y) {
      const size_t at = size_t(y) * row + size_t(r.left) * size, n = size_t(r.right - r.left) * size;
      if (std::memcmp(window.pels.data() + at, want.data() + at, n) != 0) {
        state.SkipWithError("the window's pels differ from the frame's");
        return;
      }
    }
}

void Ours_Present(benchmark::State& state, bool whole) {
  HWND window = benchWindow();
  Ours ours;
  ours.dd->SetCooperativeLevel(window, DDSCL_NORMAL);
  DDSURFACEDESC2 d{};
  d.dwSize = sizeof d;
  d.dwFlags = DDSD_CAPS;
  d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  IDirectDrawSurface7* front = nullptr;
  ours.dd->CreateSurface(&d, &front, nullptr);
  ours.surfaces.push_back(front);
  IDirectDrawClipper* clipper = nullptr;
  ours.dd->CreateClipper(0, &clipper, nullptr);
  clipper->SetHWnd(0, window);
  front->SetClipper(clipper);
  clipper->Release();
  Pels pels = picture(2, false);
  IDirectDrawSurface7* back = ours.surface(kR5G6B5, &pels);
  POINT o{0, 0};
  ClientToScreen(window, &o);
  const std::vector<RECT> rects = dirty(whole);
  auto present = [&] {
    for (RECT r : rects) {
      RECT dest{r.left + o.x, r.top + o.y, r.right + o.x, r.bottom + o.y};
      front->Blt(&dest, back, &r, 0, nullptr);
    }
  };
  for (auto _ : state) present();
  clearWindow();
  present();
  checkPresented(state, pels, rects);
  countPixels(state, area(rects));
}

void SDL_Present(benchmark::State& state, bool whole) {
  SDL_Window* sdl = plat::detail::sdlWindowOf(benchWindow());
  Pels pels = picture(2, false);
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(pels.bytes(), W, H, 16, pels.pitch(), SDL_PIXELFORMAT_RGB565);
  const std::vector<RECT> rects = dirty(whole);
  std::vector<SDL_Rect> sr;
  for (const RECT& r : rects) sr.push_back({int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)});
  auto present = [&] {
    SDL_Surface* ws = SDL_GetWindowSurface(sdl);
    for (SDL_Rect r : sr) {
      SDL_Rect to = r;
      SDL_BlitSurface(s, &r, ws, &to);
    }
    if (whole) SDL_UpdateWindowSurface(sdl);
    else SDL_UpdateWindowSurfaceRects(sdl, sr.data(), int(sr.size()));
  };
  for (auto _ : state) present();
  clearWindow();
  present();
  checkPresented(state, pels, rects);
  SDL_FreeSurface(s);
  countPixels(state, area(rects));
}

}  // namespace

BENCHMARK_CAPTURE(Ours_Blt, R5G6B5_copy, kR5G6B5, false);
BENCHMARK_CAPTURE(SDL_Blit, R5G6B5_copy, kR5G6B5, false);
BENCHMARK_CAPTURE(Pixman_Blt, R5G6B5_copy, kR5G6B5);
BENCHMARK_CAPTURE(Memcpy, R5G6B5_copy, kR5G6B5);
BENCHMARK_CAPTURE(Ours_Blt, X8R8G8B8_copy, kX8R8G8B8, false);
BENCHMARK_CAPTURE(SDL_Blit, X8R8G8B8_copy, kX8R8G8B8, false);
BENCHMARK_CAPTURE(Pixman_Blt, X8R8G8B8_copy, kX8R8G8B8);
BENCHMARK_CAPTURE(Memcpy, X8R8G8B8_copy, kX8R8G8B8);
// Keyed copies (pixman has no colour key)
BENCHMARK_CAPTURE(Ours_Blt, R5G6B5_keyed, kR5G6B5, true);
BENCHMARK_CAPTURE(SDL_Blit, R5G6B5_keyed, kR5G6B5, true);
BENCHMARK_CAPTURE(Ours_Blt, X8R8G8B8_keyed, kX8R8G8B8, true);
BENCHMARK_CAPTURE(SDL_Blit, X8R8G8B8_keyed, kX8R8G8B8, true);  // writes 0 as the x byte: colours compared
// Fills
BENCHMARK_CAPTURE(Ours_Fill, R5G6B5_fill, kR5G6B5);
BENCHMARK_CAPTURE(SDL_Fill, R5G6B5_fill, kR5G6B5);
BENCHMARK_CAPTURE(Pixman_Fill, R5G6B5_fill, kR5G6B5);
BENCHMARK_CAPTURE(Ours_Fill, X8R8G8B8_fill, kX8R8G8B8);
BENCHMARK_CAPTURE(SDL_Fill, X8R8G8B8_fill, kX8R8G8B8);
BENCHMARK_CAPTURE(Pixman_Fill, X8R8G8B8_fill, kX8R8G8B8);
// Presenting an R5G6B5 frame into the window (XRGB8888 under the dummy driver)
BENCHMARK_CAPTURE(Ours_Present, ten_rects, false);
BENCHMARK_CAPTURE(SDL_Present, ten_rects, false);
BENCHMARK_CAPTURE(Ours_Present, whole_frame, true);
BENCHMARK_CAPTURE(SDL_Present, whole_frame, true);

BENCHMARK_MAIN();
