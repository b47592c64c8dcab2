// The game's picture objects: a sprite whose frames come from a picture, an
// image set or numbered picture files, which can animate, sits on the scene
// by a hot spot and tests its opaque pels against a mask picture.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/imgs.h"
#include "engine/spr.h"
#include "talvo/Stopwatch.h"

class sprsCTy;
namespace talvo::g {
class Image;
}

class AnimSprite {
 public:
  // Looping, no frames, not playing, frame time 0, hot spot (0, 0), the
  // stop-watch running from 0, in no list.
  AnimSprite();
  AnimSprite(const AnimSprite&) = delete;
  AnimSprite& operator=(const AnimSprite&) = delete;
  // Detach, then the sprite, the bitmaps and the frames.
  virtual ~AnimSprite();
  // Once per pass while playing: the frame the stop-watch has reached; past
  // the last frame the animation stops, or starts again when looping (the
  // last frame stays shown on that pass). A frame time of 0 shows frame 0.
  virtual void Animate();

  // Each of the three loads attaches the sprite to gameSprites, shows frame
  // 0 at the depth and puts the object at the position keys of the name. No
  // frame at all leaves the sprite without image and hidden (one warning).
  //
  // The image (the frames own it from now on) as the only frame.
  void SetImage(const char* name, imgCTy* image, int32_t depth);
  // One frame from "DATA/<name>.bmp" (keyed by its pel (0, 0)), else
  // "DATA/<name>.jpg", else "DATA/<name>.tga" (drawn with its alpha).
  void LoadImage(const char* name, int32_t depth);
  // The frames of "DATA/<base>.imgs", else of the numbered files
  // "DATA/<base>_NNNN.bmp" or ".tga" for NNNN 0 to 59 (gaps skipped); the hot
  // spot is the middle of frame 0.
  void LoadFrames(const char* posName, const char* fileBase, int32_t depth, int32_t msPerFrame);

  // The hot spot goes to the scene point (x, y).
  void SetPos(int32_t newX, int32_t newY);
  void SetHotSpot(int32_t newX, int32_t newY);
  void Show();
  void Hide();
  // Out of the list, when the sprite is still in one.
  void Detach();
  // Playing from frame time 0; nothing when already playing.
  void Start();

  // The first opaque pel of the current frame, rows from the top, that lies
  // on a mask pel of colour A (0) or B (1); -1 when none does, when there is
  // no frame, or when the mask is not 3 bytes a pel. Colours are 3 bytes B,
  // G, R.
  int Collide(talvo::g::Image& mask, const uint8_t* colourA, const uint8_t* colourB);
  // The move from (fromX, fromY) to the current position, walked one pel at
  // a time: every position the hot spot passes through, one pel a step
  // along the longer axis and the nearest pel along the other (halves
  // rounded away from the start), in order, each tested as Collide tests
  // the current position (the start itself is not tested; no move is one
  // test of the current position). The first position that gives 0 or 1
  // ends the move: the object is put there and the result returned. -1 when
  // none decides; the object stays at the current position.
  int CollideAlong(int32_t fromX, int32_t fromY, talvo::g::Image& mask, const uint8_t* colourA,
                   const uint8_t* colourB);

  int32_t x = 0, y = 0;  // the scene point the hot spot sits on
  uint8_t loop = 1;
  imgsCTy frames;
  std::vector<std::vector<int32_t>> opaque;  // per frame: width x height of 0 or 1, built by Collide
  sprImgCTy sprite;
  talvo::Stopwatch watch;
  int32_t frameTime = 0;  // milliseconds per frame
  uint8_t playing = 0;
  sprsCTy* list = nullptr;
  int32_t frame = 0;
  int32_t hotX = 0, hotY = 0;

 private:
  // A pel of a frame: its column and row.
  struct FramePel {
    int32_t c, r;
  };
  // Per frame, in row order: at kEveryPel its opaque pels; at stepIndex of
  // a step of one pel, those opaque pels whose scene pel no opaque pel
  // covered before the step (the frame's leading edge on that step).
  static constexpr int kEveryPel = 4;
  static int stepIndex(int32_t sx, int32_t sy) { return (sy + 1) * 3 + sx + 1; }
  using FramePels = std::array<std::vector<FramePel>, 9>;

  // Attaches the sprite with frame 0 and places the object.
  void Attach(const char* name, int32_t depth);
  // The current frame's opaque bitmap and pel lists, built on first use;
  // null without a frame.
  const FramePels* Pels();

  std::vector<FramePels> pels_;  // per frame, beside its opaque bitmap
};
