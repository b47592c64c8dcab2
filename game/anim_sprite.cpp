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

const AnimSprite::FramePels* AnimSprite::Pels() {
  imgCTy* image = sprite.image;
  if (!image || frames.count == 0 || frame < 0 || uint32_t(frame) >= frames.count) return nullptr;
  if (opaque.size() < frames.count) opaque.resize(frames.count);
  if (pels_.size() < frames.count) pels_.resize(frames.count);
  std::vector<int32_t>& bitmap = opaque[size_t(frame)];
  FramePels& lists = pels_[size_t(frame)];
  if (bitmap.empty()) {
    // A frame without a colour key shows every pel but those of value 0
    // (the transparent pels of an alpha frame).
    const uint32_t key = image->keyFlag ? image->keyPel : 0;
    const std::vector<uint32_t> framePels = gameFramePels(image);
    bitmap.resize(framePels.size());
    for (size_t i = 0; i < framePels.size(); ++i) bitmap[i] = framePels[i] != key ? 1 : 0;
    const int32_t w = image->width, h = image->height;
    lists = {};
    auto solid = [&](int32_t c, int32_t r) { return c >= 0 && r >= 0 && c < w && r < h && bitmap[size_t(r) * w + c]; };
    for (int32_t r = 0; r < h; ++r)
      for (int32_t c = 0; c < w; ++c) {
        if (!solid(c, r)) continue;
        lists[kEveryPel].push_back({c, r});
        // After a step of (sx, sy) this pel lies where pel (c + sx, r + sy)
        // lay before it.
        for (int32_t sy = -1; sy <= 1; ++sy)
          for (int32_t sx = -1; sx <= 1; ++sx)
            if ((sx || sy) && !solid(c + sx, r + sy)) lists[size_t(stepIndex(sx, sy))].push_back({c, r});
      }
  }
  return &lists;
}

namespace {

// The mask under one read lock, and the two colours looked for.
struct MaskView {
  talvo::g::Image::Lock lock;
  int32_t w, h;
  const uint8_t *colourA, *colourB;

  MaskView(talvo::g::Image& mask, const uint8_t* a, const uint8_t* b)
      : lock(mask, nullptr, talvo::g::Image::Lock::read), w(mask.width()), h(mask.height()), colourA(a), colourB(b) {}

  // The first of the frame's pels, the frame's top-left corner on the scene
  // point (left, top), that lies on the mask on colour A (0) or B (1); -1
  // when none does.
  template <class Pels>
  int FirstOn(int64_t left, int64_t top, const Pels& pels) const {
    for (const auto& p : pels) {
      const int64_t mx = left + p.c, my = top + p.r;
      if (mx < 0 || my < 0 || mx >= w || my >= h) continue;
      const uint8_t* pel = lock.row(int32_t(my)) + 3 * mx;
      if (std::memcmp(pel, colourA, 3) == 0) return 0;
      if (std::memcmp(pel, colourB, 3) == 0) return 1;
    }
    return -1;
  }
};

bool testable(talvo::g::Image& mask) {
  return talvo::g::bytes_per_pel(mask.type()) == 3 && mask.width() > 0 && mask.height() > 0;
}

}  // namespace

int AnimSprite::Collide(talvo::g::Image& mask, const uint8_t* colourA, const uint8_t* colourB) {
  if (!testable(mask)) return -1;
  const FramePels* lists = Pels();
  if (!lists) return -1;
  const MaskView view(mask, colourA, colourB);
  return view.FirstOn(int64_t(x) - hotX, int64_t(y) - hotY, (*lists)[kEveryPel]);
}

int AnimSprite::CollideAlong(int32_t fromX, int32_t fromY, talvo::g::Image& mask, const uint8_t* colourA,
                             const uint8_t* colourB) {
  if (!testable(mask)) return -1;
  const FramePels* lists = Pels();
  if (!lists) return -1;
  const MaskView view(mask, colourA, colourB);
  const int64_t dx = int64_t(x) - fromX, dy = int64_t(y) - fromY;
  const int64_t steps = std::max<int64_t>(1, std::max(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy));
  // The i-th position: i / steps of the way, to the nearest pel.
  auto along = [steps](int64_t from, int64_t d, int64_t i) {
    return from + (2 * d * i + (d < 0 ? -steps : steps)) / (2 * steps);
  };
  // The first position is tested whole. Each later one is a step of one pel
  // from the one before, which found neither colour under any of its pels:
  // only the pels of the step's leading edge can find one, and the first of
  // them in row order is the first of all the frame's pels.
  int64_t px = fromX, py = fromY;
  for (int64_t i = 1; i <= steps; ++i) {
    const int64_t nx = along(fromX, dx, i), ny = along(fromY, dy, i);
    const int index = i == 1 ? kEveryPel : stepIndex(int32_t(nx - px), int32_t(ny - py));
    px = nx, py = ny;
    const int hit = view.FirstOn(px - hotX, py - hotY, (*lists)[size_t(index)]);
    if (hit == -1) continue;
    if (px != x || py != y) SetPos(int32_t(px), int32_t(py));
    return hit;
  }
  return -1;
}
