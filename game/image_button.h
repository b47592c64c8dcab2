// Two-picture buttons: a normal and a pressed look, and an action run when
// the left mouse button is released over the button.
#pragma once

#include <cstdint>

#include "engine/img_row.h"
#include "engine/spr.h"

class ImageButton {
 public:
  // Both pictures empty, the sprite in no list.
  ImageButton();
  ImageButton(const ImageButton&) = delete;
  ImageButton& operator=(const ImageButton&) = delete;
  // The sprite (out of its list, if any), then both pictures.
  virtual ~ImageButton();
  // The action of a click; nothing here.
  virtual void OnClick();

  // Pictures "DATA/<name>0.bmp" and "DATA/<name>1.bmp" (unkeyed); shown in
  // gameSprites at the position keys of the name and the depth.
  void Load(const char* name, int32_t depth);
  // Once per pass: the pressed look while the left button is down over the
  // button; a release over it clicks (OnClick, then "DATA/click.wav").
  void Update();

  imgRowCTy images[2];  // 0 normal, 1 pressed
  sprImgCTy sprite;
};

// Ends the main loop after the current pass.
class QuitButton : public ImageButton {
 public:
  void OnClick() override;
};

// Starts a new run (gameNewGame).
class NewGameButton : public ImageButton {
 public:
  void OnClick() override;
};

class ShowInfoButton : public ImageButton {
 public:
  void OnClick() override;
};

class HideInfoButton : public ImageButton {
 public:
  void OnClick() override;
};
