// One pel format under the names the three measured libraries give it.
#pragma once

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include "img/Pixel.h"

struct Formats {
  talvo::g::PelType ours;
  Uint32 sdl;
  pixman_format_code_t pixman;
};
inline const Formats rgbx8888{talvo::g::pel_type::rgbx8888, SDL_PIXELFORMAT_RGB888, PIXMAN_x8r8g8b8};
inline const Formats rgba8888{talvo::g::pel_type::rgba8888, SDL_PIXELFORMAT_ARGB8888, PIXMAN_a8r8g8b8};
inline const Formats rgb565{talvo::g::pel_type::rgb565, SDL_PIXELFORMAT_RGB565, PIXMAN_r5g6b5};
// Bytes B, G, R: SDL's BGR24, pixman's r8g8b8 (a little-endian 24-bit word).
inline const Formats rgb888{talvo::g::pel_type::rgb888, SDL_PIXELFORMAT_BGR24, PIXMAN_r8g8b8};
inline const Formats rgbx5551{talvo::g::pel_type::rgbx5551, SDL_PIXELFORMAT_RGB555, PIXMAN_x1r5g5b5};
inline const Formats rgba5551{talvo::g::pel_type::rgba5551, SDL_PIXELFORMAT_ARGB1555, PIXMAN_a1r5g5b5};

// SDL2's blits of the whole of s onto d, timed; both surfaces are freed.
inline void time_sdl_blits(benchmark::State& state, SDL_Surface* s, SDL_Surface* d) {
  for (auto _ : state) {
    SDL_BlitSurface(s, nullptr, d, nullptr);
    benchmark::DoNotOptimize(d->pixels);
  }
  SDL_FreeSurface(s);
  SDL_FreeSurface(d);
}
