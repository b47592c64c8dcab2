#include "game/share_image.h"

#include <cstring>
#include <ostream>

#include "engine/app/app.h"
#include "game/game.h"
#include "platform/win_kernel.h"
#include "talvo/Log.h"

namespace {

using BeginWriteFn = void* (*)();
using EndWriteFn = void (*)();
using SetWriterFn = void (*)(int);

}  // namespace

bool gameShareImage() { return gameSetHasWriter != nullptr; }

void gameShareOpen() {
  if (!gaApp->cfg->GetInt("share_image")) return;
  HMODULE module = LoadLibraryA("../Quillframe.dll");
  if (!module) {
    talvo::warning_log << "share_image: \"../Quillframe.dll\" could not be loaded; the scene is not shared"
                       << std::endl;
    return;
  }
  auto begin = reinterpret_cast<BeginWriteFn>(GetProcAddress(module, "begin_write_img"));
  auto end = reinterpret_cast<EndWriteFn>(GetProcAddress(module, "end_write_img"));
  auto setWriter = reinterpret_cast<SetWriterFn>(GetProcAddress(module, "set_has_writer"));
  if (!begin || !end || !setWriter) {
    talvo::warning_log << "share_image: \"../Quillframe.dll\" lacks begin_write_img, end_write_img or "
                          "set_has_writer; the scene is not shared"
                       << std::endl;
    FreeLibrary(module);
    return;
  }
  gameShareModule = module;
  gameBeginWriteImg = begin;
  gameEndWriteImg = end;
  gameSetHasWriter = setWriter;
  gameSetHasWriter(1);
}

void gameShareFrame() {
  if (!gameShareImage()) return;
  if (auto* pels = static_cast<uint8_t*>(gameBeginWriteImg())) {
    // The scene is kept in the game's own image and copied whole: the
    // shared buffer is ours only until end_write_img, and the snapshot
    // reads the scene later.
    gameSprites.DrawDirty(&gameOutputImage);
    gameOutputImage.Lock(nullptr, img_LOCK_READ);
    if (gameOutputImage.data)
      std::memcpy(pels, gameOutputImage.data, size_t(gameSceneW) * gameSceneH * 2);
    gameOutputImage.Unlock();
  }
  gameEndWriteImg();
}

void gameShareClose() {
  if (gameShareImage()) gameSetHasWriter(0);
}
