#include "game/anim_sprite.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "engine/alpha/img_alpha.h"
#include "engine/img_row.h"
#include "engine/sprs.h"
#include "game/frame_pels.h"
#include "game/game.h"
#include "img/Image.h"
#include "talvo/File.h"
#include "talvo/Log.h"

namespace {

// The draw of alpha pictures: their own alpha over the scene.
void drawWithAlpha(sprImgCTy& sprite) {
  const imgDrawParams params = imgDrawParamsOf(pel_OP_SRCALPHA);
  sprite.SetDrawParams(&params);
}

imgRowCTy* loadBmp(const char* fileName) {
  auto* image = new imgRowCTy;
  image->LoadBmp(fileName);
  return image;
}

imgAlpha* loadTga(const char* fileName) {
  auto* image = new imgAlpha;
  image->LoadTga(fileName);
  return image;
}

}  // namespace

AnimSprite::AnimSprite() = default;

AnimSprite::~AnimSprite() { Detach(); }

void AnimSprite::Attach(const char* name, int32_t depth) {
  list = &gameSprites;
  sprsCTy::Add(&gameSprites, &sprite);
  if (frames.count > 0) {
    sprite.SetImage(frames.Get(0));
    sprite.SetZ(depth);
    sprite.Show();
  } else {
    talvo::warning_log << "'" << name << "': no picture found; the sprite stays hidden" << std::endl;
    sprite.SetZ(depth);
  }
  int px = 0, py = 0;
  gameReadPos(name, &px, &py);
  SetPos(px, py);
}

void AnimSprite::SetImage(const char* name, imgCTy* image, int32_t depth) {
  frames.Add(image);
  hotX = hotY = 0;
  Attach(name, depth);
}

void AnimSprite::LoadImage(const char* name, int32_t depth) {
  frameTime = 30;
  frame = 0;
  char file[1024];
  std::snprintf(file, sizeof file, "DATA/%s.bmp", name);
  if (talvo::file_exists(file)) {
    imgRowCTy* image = loadBmp(file);
    image->SetColorKey(image->PelAtXY(0, 0));
    frames.Add(image);
  } else if (std::snprintf(file, sizeof file, "DATA/%s.jpg", name), talvo::file_exists(file)) {
    auto* image = new imgRowCTy;
    image->LoadJpg(file);
    frames.Add(image);
  } else if (std::snprintf(file, sizeof file, "DATA/%s.tga", name), talvo::file_exists(file)) {
    frames.Add(loadTga(file));
    drawWithAlpha(sprite);
  }
  hotX = hotY = 0;
  Attach(name, depth);
}

void AnimSprite::LoadFrames(const char* posName, const char* fileBase, int32_t depth, int32_t msPerFrame) {
  frameTime = msPerFrame;
  frame = 0;
  playing = 0;
  char file[1024];
  std::snprintf(file, sizeof file, "DATA/%s.imgs", fileBase);
  if (talvo::file_exists(file)) {
    frames.LoadImgs(file);
  } else {
    bool keyed = false;
    uint32_t key = 0;
    for (int n = 0; n < 60; ++n) {
      std::snprintf(file, sizeof file, "DATA/%s_%04d.bmp", fileBase, n);
      if (talvo::file_exists(file)) {
        imgRowCTy* image = loadBmp(file);
        if (!keyed) {
          key = image->PelAtXY(0, 0);
          keyed = true;
        }
        image->SetColorKey(key);
        frames.Add(image);
        continue;
      }
      std::snprintf(file, sizeof file, "DATA/%s_%04d.tga", fileBase, n);
      if (talvo::file_exists(file)) {
        frames.Add(loadTga(file));
        drawWithAlpha(sprite);
      }
    }
  }
  if (frames.count > 0) {
    imgCTy* first = frames.Get(0);
    hotX = first->width / 2;
    hotY = first->height / 2;
  } else {
    hotX = hotY = 0;
  }
  Attach(posName, depth);
}

void AnimSprite::SetPos(int32_t newX, int32_t newY) {
  x = newX;
  y = newY;
  sprite.SetPos(x - hotX, y - hotY);
}

void AnimSprite::SetHotSpot(int32_t newX, int32_t newY) {
  hotX = newX;
  hotY = newY;
  SetPos(x, y);
}

void AnimSprite::Show() { sprite.Show(); }

void AnimSprite::Hide() { sprite.Hide(); }

void AnimSprite::Detach() {
  // A list destroyed before this object has let the sprite go already.
  if (list && sprite.owner == list) list->Remove(&sprite);
  list = nullptr;
}

void AnimSprite::Start() {
  if (playing) return;
  playing = 1;
  watch.set_elapsed(0);
}

void AnimSprite::Animate() {
  if (!playing || frames.count == 0) return;
  const int32_t count = int32_t(frames.count);
  const int32_t elapsed = int32_t(watch.elapsed_ms());
  int32_t f = frameTime > 0 ? elapsed / frameTime : 0;
  if (f < 0) f = 0;
  if (f > count - 1) {
    f = count - 1;
    playing = 0;
    if (loop) Start();
  }
  frame = f;
  sprite.SetImage(frames.Get(uint32_t(f)));
}

const std::vector<int32_t>* AnimSprite::Opaque() {
  imgCTy* image = sprite.image;
  if (!image || frames.count == 0) return nullptr;
  if (opaque.empty()) opaque.resize(frames.count);
  std::vector<int32_t>& bitmap = opaque[size_t(frame)];
  if (bitmap.empty()) {
    // A frame without a colour key shows every pel but those of value 0
    // (the transparent pels of an alpha frame).
    const uint32_t key = image->keyFlag ? image->keyPel : 0;
    const std::vector<uint32_t> pels = gameFramePels(image);
    bitmap.resize(pels.size());
    for (size_t i = 0; i < pels.size(); ++i) bitmap[i] = pels[i] != key ? 1 : 0;
  }
  return &bitmap;
}

int AnimSprite::Collide(talvo::g::Image& mask, const uint8_t* colourA, const uint8_t* colourB) {
  return CollideAt(x, y, mask, colourA, colourB);
}

int AnimSprite::CollideAt(int32_t atX, int32_t atY, talvo::g::Image& mask, const uint8_t* colourA,
                          const uint8_t* colourB) {
  if (talvo::g::bytes_per_pel(mask.type()) != 3 || mask.width() <= 0 || mask.height() <= 0) return -1;
  const std::vector<int32_t>* bitmap = Opaque();
  if (!bitmap) return -1;
  const int w = sprite.image->width, h = sprite.image->height;
  talvo::g::Image::Lock lock(mask, nullptr, talvo::g::Image::Lock::read);
  const int maskW = mask.width(), maskH = mask.height();
  for (int r = 0; r < h; ++r) {
    const int64_t my = int64_t(atY) - hotY + r;
    if (my < 0 || my >= maskH) continue;
    const uint8_t* row = lock.row(int32_t(my));
    for (int c = 0; c < w; ++c) {
      const int64_t mx = int64_t(atX) - hotX + c;
      if (mx < 0 || mx >= maskW || !(*bitmap)[size_t(r) * w + c]) continue;
      const uint8_t* pel = row + 3 * mx;
      if (std::memcmp(pel, colourA, 3) == 0) return 0;
      if (std::memcmp(pel, colourB, 3) == 0) return 1;
    }
  }
  return -1;
}

int32_t AnimSprite::SweepStep() {
  const std::vector<int32_t>* bitmap = Opaque();
  if (!bitmap) return 1;
  const int w = sprite.image->width, h = sprite.image->height;
  auto solid = [&](int c, int r) { return c >= 0 && r >= 0 && c < w && r < h && (*bitmap)[size_t(r) * w + c]; };
  // Grows the square ring by ring while every pel of the next ring is opaque.
  if (!solid(hotX, hotY)) return 1;
  int32_t half = 0;
  for (;; ++half) {
    const int32_t n = half + 1;
    bool ring = true;
    for (int32_t i = -n; i <= n && ring; ++i)
      ring = solid(hotX + i, hotY - n) && solid(hotX + i, hotY + n) && solid(hotX - n, hotY + i) &&
             solid(hotX + n, hotY + i);
    if (!ring) break;
  }
  // Squares of side 2 x half + 1 whose centres lie at most 2 x half apart
  // along each axis overlap: together they cover a connected band from the
  // start to the end, which no line of wall pels can cross unseen.
  return half > 0 ? 2 * half : 1;
}

int AnimSprite::CollideAlong(int32_t fromX, int32_t fromY, talvo::g::Image& mask, const uint8_t* colourA,
                             const uint8_t* colourB) {
  const int64_t dx = int64_t(x) - fromX, dy = int64_t(y) - fromY;
  const int64_t step = SweepStep();
  const int64_t longest = std::max(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
  const int64_t steps = std::max<int64_t>(1, (longest + step - 1) / step);
  // The i-th point rounds i / steps of the way to the nearest pel.
  auto along = [steps](int64_t from, int64_t d, int64_t i) {
    const int64_t twice = 2 * d * i;
    return int32_t(from + (twice + (d < 0 ? -steps : steps)) / (2 * steps));
  };
  for (int64_t i = 1; i <= steps; ++i) {
    const int32_t px = i == steps ? x : along(fromX, dx, i), py = i == steps ? y : along(fromY, dy, i);
    const int hit = CollideAt(px, py, mask, colourA, colourB);
    if (hit == -1) continue;
    if (px != x || py != y) SetPos(px, py);
    return hit;
  }
  return -1;
}
