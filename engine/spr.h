// Sprites: things with a position and a depth that draw themselves into a
// rectangle of a target image. They live in a sprite list (engine/sprs.h),
// which orders them by depth and redraws the areas they mark.
//
// Every visible change (position, image, parameters, shown state, depth,
// removal) marks the sprite's rectangle in its list's dirty grid with the
// count 3, so the area is redrawn in the next three dirty draws. A sprite
// owns nothing: it borrows its image and its clip rectangle, and the list
// does not own it. A sprite destroyed while in a list takes itself out of it
// (marking its area); a list destroyed first lets its sprites go.
#pragma once

#include <cstdint>
#include <map>

#include "engine/img.h"

class sprsCTy;
class sprCTy;
struct fntFont;

// The depth map of a list: depth (larger is farther) to sprite, equal depths
// in insertion order. A sprite keeps the iterator of its own entry.
using sprDepthMap = std::multimap<int32_t, sprCTy*>;

// The depth of a new sprite and of one just added to a list.
constexpr int32_t spr_DEFAULT_Z = 0x7FFFFFFE;

class sprCTy {
 public:
  sprCTy() = default;
  sprCTy(const sprCTy&) = delete;
  sprCTy& operator=(const sprCTy&) = delete;
  // Lets go of a list entry that a derived class left behind (no marking:
  // the rectangle is no longer known here).
  virtual ~sprCTy();

  // The slots, in this order.
  // Moves the sprite's entry in its list to the new depth and marks it; a
  // detached sprite keeps its depth.
  virtual void SetZ(int32_t newDepth);
  // Draws into the target SetTarget gave, inside the draw clip.
  virtual void Draw() = 0;
  // The sprite's rectangle in list coordinates.
  virtual void GetRect(rectCTy* out) = 0;

  // Marks the current rectangle in the owner's grid (nothing when detached).
  void Invalidate();
  // Marks the old and the new rectangle when the position changes.
  void SetPos(int32_t newX, int32_t newY);
  void Show();
  // Only a sprite in a list is hidden.
  void Hide();
  // The owner (or null); the in-list flag is cleared.
  void SetList(sprsCTy* list);
  // Where and how far the next Draw goes: the target, the sprite's origin in
  // target coordinates and the draw clip in sprite coordinates.
  void SetTarget(imgCTy* target, int32_t offsetX, int32_t offsetY, const rectCTy* clip);

  // The image's bounds, scaled when the parameters say so, cut to the draw
  // clip and drawn through the image's DrawEx slot.
  void DrawImage(imgCTy* image, const imgDrawParams* params);
  // The mirrored bounds cut to the draw clip, through DrawMirrorH.
  void DrawImageMirrorH(imgCTy* image);
  // The mirrored bounds, scaled, cut to the draw clip, through DrawExMirrorH.
  void DrawImageExMirrorH(imgCTy* image, const imgDrawParams* params);
  // One line of text (engine/text.h) with its top-left corner at the offset
  // from the sprite's position, cut to the draw clip; nothing for a null
  // font or text.
  void DrawText(const fntFont* font, const char* text, int32_t offsetX, int32_t offsetY);

  int32_t x = 0, y = 0;
  int32_t depth = spr_DEFAULT_Z;  // larger is farther
  int32_t shown = 0;
  const rectCTy* clip = nullptr;  // borrowed; null: no clip
  uint8_t inList = 0;
  sprDepthMap::iterator entry{};
  sprsCTy* owner = nullptr;
  int32_t relative = 1;  // the position is relative to the list's origin
  imgCTy* target = nullptr;
  int32_t targetX = 0, targetY = 0;
  rectCTy drawClip{};

 protected:
  // For the destructors of the concrete classes, while GetRect still
  // works: out of the list as sprsCTy::Remove takes it.
  void Detach();
};

// A sprite that draws one image with a set of draw parameters.
class sprImgCTy : public sprCTy {
 public:
  // Mode copy, unscaled (scale 1), alpha 0, no alpha map or depth images.
  sprImgCTy();
  ~sprImgCTy() override;

  void Draw() override;
  void GetRect(rectCTy* out) override;
  // Marks the old and the new rectangle when the image changes.
  virtual void SetImage(imgCTy* newImage);

  // Copies the parameters and marks the rectangle before and after.
  void SetDrawParams(const imgDrawParams* params);

  imgCTy* image = nullptr;  // borrowed
  imgDrawParams drawParams{};
  uint8_t mirror = 0;
};
