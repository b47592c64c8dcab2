// The game's interface: buttons, texts and snapshots.
#include <string>

#include "engine/app/app.h"
#include "engine/gfx.h"
#include "engine/inp.h"
#include "engine/surf.h"
#include "game/game.h"
#include "game/share_image.h"
#include "platform/win_window.h"
#include "talvo/File.h"

void gameUpdateUi() {
  if (!gameInfoShown) {
    gameButExit.Update();
    gameButNew.Update();
    gameButShowInfo.Update();
    gameButHideInfo.sprite.Hide();
    gameInfoPage.Hide();
  } else {
    gameButHideInfo.Update();
    gameButHideInfo.sprite.Show();
    gameInfoPage.Show();
  }
  if (inpKeyPressed(VK_F9) || inpKeyPressed(VK_F5)) gameSnapshot();
  inpUpdate();
}

void gameInitText(sprDfStrCTy* text, const char* fontName, int32_t depth, const char* name) {
  int x = 0, y = 0;
  gameReadPos(name, &x, &y);
  sprsCTy::Add(&gameSprites, text);
  text->SetPos(x, y);
  text->SetZ(depth);
  text->Show();
  text->AddFont(fontName);
  text->SetAlign(spr_ALIGN_CENTRE);
}

void gameSnapshot() {
  imgRowCTy shot;
  pelFmtDesc desc;
  desc.Set(pel_FMT_R8G8B8, nullptr);
  shot.SetSize(gameSceneW, gameSceneH, &desc);
  // The picture of the previous pass: the frame is drawn after this pass's
  // interface.
  imgCTy* scene = gameShareImage() ? static_cast<imgCTy*>(&gameOutputImage)
                                   : (gfxDevice ? static_cast<imgCTy*>(gfxDevice->back) : nullptr);
  if (!scene || scene->width != gameSceneW || scene->height != gameSceneH) return;
  scene->Draw(&shot, 0, 0, nullptr);
  const std::string prefix = gaApp->cfg->GetStr("WND_NAME");
  std::string name;
  for (int n = 0;; ++n) {
    name = prefix + "_" + std::to_string(n) + ".bmp";
    if (!talvo::file_exists(name.c_str())) break;
  }
  shot.SaveBmp(name.c_str());
}
