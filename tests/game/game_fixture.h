// What the game object tests share: an application object (for the
// configuration), a temporary working directory with DATA/ in it, the game's
// sprite list sized to the scene, and writers of small picture files.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/app/app.h"
#include "engine/img_row.h"
#include "engine/inp.h"
#include "game/game.h"
#include "platform/test_api.h"
#include "support/temp_dir.h"

namespace game_test {

// A 24-bit image of w x h pels, every pel `colour` (0xRRGGBB) but the ones
// `paint` sets.
template <class Paint>
std::unique_ptr<imgRowCTy> rgbImage(int w, int h, uint32_t colour, Paint paint) {
  auto image = std::make_unique<imgRowCTy>();
  pelFmtDesc desc;
  desc.Set(pel_FMT_R8G8B8, nullptr);
  image->SetSize(w, h, &desc);
  image->Lock(nullptr, img_LOCK_WRITE);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = paint(x, y, colour);
      uint8_t* p = image->data + (y * image->pitch + x) * 3;
      p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16);
    }
  image->Unlock();
  return image;
}

inline std::unique_ptr<imgRowCTy> rgbImage(int w, int h, uint32_t colour) {
  return rgbImage(w, h, colour, [](int, int, uint32_t c) { return c; });
}

// A 24-bit BMP whose pel (0, 0) is `corner` and every other pel `colour`.
inline void writeBmp(const std::string& path, int w, int h, uint32_t colour, uint32_t corner) {
  rgbImage(w, h, colour, [corner](int x, int y, uint32_t c) { return x == 0 && y == 0 ? corner : c; })
      ->SaveBmp(path.c_str());
}

// A 32-bit top-down TGA of w x h pels of one colour (0xAARRGGBB).
inline void writeTga(const std::string& path, int w, int h, uint32_t argb) {
  std::string bytes(18, '\0');
  bytes[2] = 2;  // true colour, uncompressed
  bytes[12] = char(w), bytes[13] = char(w >> 8), bytes[14] = char(h), bytes[15] = char(h >> 8);
  bytes[16] = 32;
  bytes[17] = 0x28;  // top-left origin, 8 alpha bits
  for (int i = 0; i < w * h; ++i) {
    const char pel[4] = {char(argb), char(argb >> 8), char(argb >> 16), char(argb >> 24)};
    bytes.append(pel, 4);
  }
  writeBytes(path, bytes);
}

class GameObjects : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir.path / "DATA");
    previousDir = std::filesystem::current_path();
    std::filesystem::current_path(dir.path);
    // The input of a fresh run: the engine's state before its first update
    // over the platform's keys all up.
    inpCTy fresh{};
    fresh.smooth = 1;
    const_cast<inpCTy&>(inpState()) = fresh;
    plat::test::resetInput();
    app = std::make_unique<gaCTy>();
    app->appName = dir.file("game");
    gaApp = app.get();
    gameSprites.SetSize(gameSceneW, gameSceneH);
  }
  void TearDown() override {
    gaApp = nullptr;
    app.reset();
    plat::test::resetInput();
    inpUpdate();
    std::filesystem::current_path(previousDir);
  }
  std::string data(const std::string& name) const { return dir.file("DATA/" + name); }

  TempDir dir;
  std::filesystem::path previousDir;
  std::unique_ptr<gaCTy> app;
};

}  // namespace game_test
