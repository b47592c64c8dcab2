// The run walk every alpha image kernel shares, unscaled and scaled, over a
// per-pel policy. The walk stands on a run (with the pels of it already
// passed) and on the positions in the alpha bytes and the colours; Skip(n)
// passes n pels, whole runs in one step each. It never passes the last run:
// pels past the coded ones read as transparent.
//
// A policy gives the destination's pel size (dstBytes), the colour size
// (colourBytes) and what happens to a destination pel under a visible
// source pel:
//   Opaque(dst, colour)              Translucent(dst, colour, alphaByte)
//   OpaqueSpan(dst, colours, n)      TranslucentSpan(dst, colours, alphas, n)
// (alphaKernel::Policy gives the spans as loops over the single pels.)
//
// Unscaled: the rectangle r is in source pels. Skip to its first pel, then
// per row draw span by span (a span ends where the row or the run ends;
// transparent spans only move the destination) and skip width - r.w pels
// to the next row. UnscaledJoined walks the same rows for a vector kernel,
// which draws each row whole (alpha_rows.h), and hands each row the
// kernel's guess from the row before of what runs it holds.
//
// Scaled: r is in destination pels; destination pel (i, j) takes the source
// pel at row ((r.y + i) * stepY) >> 16 and column ((r.x + j) * stepX) >>
// 16, step = 65536.0 / scale truncated, without filtering. Positions are
// kept in 64 bits. The walk never moves backwards: a row that starts before
// the walk's position walks again from the first run. A column at or past
// the width reads on into the next row.
#pragma once

#include <cmath>
#include <cstdint>

#include "engine/alpha/alpha_coded.h"
#include "engine/alpha/alpha_rows.h"

namespace alphaWalk {

template <int ColourBytes>
struct Position {
  explicit Position(const imgAlpha& image)
      : first(image.runs), end(image.runs + (image.runs ? image.runCount : 0)), alphas(image.alphas),
        colours(image.colors) {
    Restart();
  }

  void Restart() {
    run = first;
    passed = 0;
    alpha = alphas;
    colour = colours;
  }

  // Passes n pels (nothing for n <= 0); a run used up exactly is left.
  void Skip(int64_t n) {
    while (n > 0 && run != end) {
      const int64_t rest = int64_t(alphaCoded::length(*run)) - passed;
      const int64_t taken = n < rest ? n : rest;
      Take(alphaCoded::kind(*run), taken);
      n -= taken;
      if (taken == rest) {
        ++run;
        passed = 0;
      } else {
        passed += uint32_t(taken);
      }
    }
  }

  // Moves the alpha and colour positions over n pels of a run of the kind.
  void Take(int kind, int64_t n) {
    if (kind == imgAlphaTranslucent) alpha += n;
    if (kind == imgAlphaTranslucent || kind == imgAlphaOpaque) colour += n * ColourBytes;
  }

  // The kind of the pel the walk stands on.
  int Kind() const { return run == end ? imgAlphaTransparent : alphaCoded::kind(*run); }

  const imgAlphaRun* first;
  const imgAlphaRun* end;
  const uint8_t* alphas;
  const uint8_t* colours;
  const imgAlphaRun* run = nullptr;
  uint32_t passed = 0;  // pels of the current run passed
  const uint8_t* alpha = nullptr;
  const uint8_t* colour = nullptr;
};

template <class Policy>
void Unscaled(const imgAlpha& source, imgCTy* destination, const rectCTy& r, const Policy& policy) {
  if (!source.runs || !destination->data) return;
  Position<Policy::colourBytes> at(source);
  at.Skip(int64_t(source.width) * r.y + r.x);
  uint8_t* row = destination->data;
  const int64_t rowBytes = int64_t(destination->pitch) * Policy::dstBytes;
  for (int i = 0; i < r.h && at.run != at.end; ++i, row += rowBytes) {
    if (i) {
      at.Skip(int64_t(source.width) - r.w);
      if (at.run == at.end) break;  // past the coded pels: transparent
    }
    uint8_t* d = row;
    // Pels left in the current run; the run is left when they are none.
    uint32_t left = alphaCoded::length(*at.run) - at.passed;
    const uint8_t* alpha = at.alpha;
    const uint8_t* colour = at.colour;
    for (int rem = r.w; rem > 0;) {
      if (left == 0) {
        if (++at.run == at.end) break;
        left = alphaCoded::length(*at.run);
        continue;
      }
      const int count = uint32_t(rem) < left ? rem : int(left);
      switch (alphaCoded::kind(*at.run)) {
        case imgAlphaTranslucent:
          policy.TranslucentSpan(d, colour, alpha, count);
          alpha += count;
          colour += count * Policy::colourBytes;
          break;
        case imgAlphaOpaque:
          policy.OpaqueSpan(d, colour, count);
          colour += count * Policy::colourBytes;
          break;
        default:
          break;
      }
      d += count * Policy::dstBytes;
      left -= uint32_t(count);
      rem -= count;
    }
    at.alpha = alpha;
    at.colour = colour;
    if (at.run != at.end) at.passed = alphaCoded::length(*at.run) - left;
  }
}

// The unscaled walk for a vector kernel (alpha_rows.h): the same skips,
// each row handed to `draw` whole.
template <int ColourBytes, int DstBytes>
void UnscaledJoined(const imgAlpha& source, imgCTy* destination, const rectCTy& r, alphaRows::DrawFn draw, int K) {
  if (!source.runs || !destination->data) return;
  Position<ColourBytes> at(source);
  const alphaRows::Source arrays{source.colors + int64_t(source.colorCount) * ColourBytes,
                                  source.alphas + source.alphaCount, K};
  at.Skip(int64_t(source.width) * r.y + r.x);
  uint8_t* row = destination->data;
  const int64_t rowBytes = int64_t(destination->pitch) * DstBytes;
  uint8_t shortRuns = alphaRows::shortRuns;  // the kernel's guess for the next row, from the row before
  for (int i = 0; i < r.h && at.run != at.end; ++i, row += rowBytes) {
    if (i) {
      at.Skip(int64_t(source.width) - r.w);
      if (at.run == at.end) break;  // past the coded pels: transparent
    }
    alphaRows::Row walk{at.run, at.end, alphaCoded::length(*at.run) - at.passed, at.colour, at.alpha, shortRuns};
    if (r.w > 0) draw(walk, row, r.w, arrays);
    shortRuns = walk.shortRuns;
    at.run = walk.run;
    at.colour = walk.colour;
    at.alpha = walk.alpha;
    if (at.run != at.end) at.passed = alphaCoded::length(*at.run) - walk.left;
  }
}

// 65536.0 / scale truncated, into *step; false for scales of 0 or below, not
// finite, or whose step leaves int32.
inline bool Step(float scale, int32_t* step) {
  if (!(scale > 0.0f) || !std::isfinite(scale)) return false;
  const double s = 65536.0 / double(scale);
  if (!(s < 2147483648.0)) return false;
  *step = int32_t(s);
  return true;
}

template <class Policy>
void Scaled(const imgAlpha& source, imgCTy* destination, const rectCTy& r, float scaleX, float scaleY,
            const Policy& policy) {
  int32_t stepX, stepY;
  if (!Step(scaleX, &stepX) || !Step(scaleY, &stepY)) return;
  if (r.h <= 0 || !source.runs || !destination->data) return;
  Position<Policy::colourBytes> at(source);
  int64_t index = 0;  // of the source pel the walk stands on
  int64_t rowAcc = int64_t(r.y) * stepY;
  uint8_t* row = destination->data;
  const int64_t rowBytes = int64_t(destination->pitch) * Policy::dstBytes;
  for (int i = 0; i < r.h; ++i, row += rowBytes, rowAcc += stepY) {
    const int64_t start = (rowAcc >> 16) * source.width;
    if (start < index) {
      at.Restart();
      at.Skip(start);
    } else {
      at.Skip(start - index);
    }
    index = start;
    uint8_t* d = row;
    int64_t colAcc = int64_t(r.x) * stepX, prev = 0;
    for (int j = 0; j < r.w; ++j, d += Policy::dstBytes, colAcc += stepX) {
      const int64_t col = colAcc >> 16;
      at.Skip(col - prev);
      index += col - prev;
      prev = col;
      const int kind = at.Kind();
      if (kind == imgAlphaTranslucent)
        policy.Translucent(d, at.colour, *at.alpha);
      else if (kind == imgAlphaOpaque)
        policy.Opaque(d, at.colour);
    }
  }
}

}  // namespace alphaWalk
