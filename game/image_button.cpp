#include "game/image_button.h"

#include <cstdio>

#include "engine/app/app.h"
#include "engine/inp.h"
#include "engine/sprs.h"
#include "game/game.h"
#include "platform/win_window.h"
#include "sound/snd.h"

ImageButton::ImageButton() = default;

// The sprite, a member declared after the pictures, is destroyed first and
// takes itself out of its list while its picture still exists.
ImageButton::~ImageButton() = default;

void ImageButton::OnClick() {}

void ImageButton::Load(const char* name, int32_t depth) {
  int px = 0, py = 0;
  gameReadPos(name, &px, &py);
  for (int i = 0; i < 2; ++i) {
    char file[1024];
    std::snprintf(file, sizeof file, "DATA/%s%d.bmp", name, i);
    images[i].LoadBmp(file);
  }
  sprsCTy::Add(&gameSprites, &sprite);
  sprite.SetImage(&images[0]);
  sprite.SetPos(px, py);
  sprite.SetZ(depth);
  sprite.Show();
}

void ImageButton::Update() {
  sprCTy* hit = gameSprites.HitTest(-1000, 100, gameMouseX(), gameMouseY(), nullptr);
  if (hit != &sprite) {
    sprite.SetImage(&images[0]);
    return;
  }
  sprite.SetImage(&images[inpKeyDown(VK_LBUTTON) ? 1 : 0]);
  if (inpKeyReleased(VK_LBUTTON)) {
    OnClick();
    sndPlayFile("DATA/click.wav");
  }
}

void QuitButton::OnClick() {
  if (gaApp) gaApp->quit = 1;
}

void NewGameButton::OnClick() { gameNewGame(); }

void ShowInfoButton::OnClick() { gameInfoShown = 1; }

void HideInfoButton::OnClick() { gameInfoShown = 0; }
