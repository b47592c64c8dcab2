// A frame's pels read under one lock equal what PelAtXY gives pel by pel,
// for the image classes frames come as.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "engine/alpha/alpha_fixture.h"
#include "engine/img_row.h"
#include "game/frame_pels.h"

namespace {

std::vector<uint32_t> pelByPel(imgCTy& image) {
  std::vector<uint32_t> out;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) out.push_back(image.PelAtXY(x, y));
  return out;
}

TEST(FramePels, OneLockGivesWhatPelAtXYGives) {
  // A row image of 16-bit pels, taller than wide.
  imgRowCTy row;
  pelFmtDesc desc;
  desc.Set(pel_FMT_R5G6B5, nullptr);
  row.SetSize(3, 5, &desc);
  row.Lock(nullptr, img_LOCK_WRITE);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 3; ++x) {
      const uint16_t pel = static_cast<uint16_t>(0x1234 * (y * 3 + x + 1));
      std::memcpy(row.data + (y * row.pitch + x) * 2, &pel, 2);
    }
  row.Unlock();
  const std::vector<uint32_t> rowPels = gameFramePels(&row);
  EXPECT_EQ(rowPels, pelByPel(row));
  EXPECT_EQ(rowPels[3 * 4 + 2], uint32_t(uint16_t(0x1234 * 15)));

  // An alpha image: transparent, translucent and opaque pels.
  alpha_test::Pels pels;
  for (int i = 0; i < 4 * 6; ++i)
    pels.push_back(A8R8G8B8{uint8_t(i * 7), uint8_t(i * 5), uint8_t(i * 3), uint8_t(i % 3 == 0 ? 0 : i * 10)});
  alpha_test::Image alpha = alpha_test::coded(4, 6, pels);
  const std::vector<uint32_t> alphaPels = gameFramePels(alpha.get());
  EXPECT_EQ(alphaPels, pelByPel(*alpha));
  EXPECT_EQ(alphaPels[0], 0u);  // transparent reads as 0
  EXPECT_NE(alphaPels[1], 0u);
}

}  // namespace
