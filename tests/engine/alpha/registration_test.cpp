// The alpha image registers by name in a program that names nothing of it:
// this file includes no header of engine/alpha.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "engine/img.h"
#include "engine/img_alpha_hook.h"

TEST(AlphaRegistration, CreatedByNameWithTheHookSet) {
  std::unique_ptr<rwObjCTy> object(rwObjCreateByClassName("imgAlpha"));
  ASSERT_NE(object, nullptr);
  EXPECT_STREQ(object->GetClassName(), "imgAlpha");
  auto* image = dynamic_cast<imgCTy*>(object.get());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->classId, imgClassAlpha);
  EXPECT_EQ(image->PelFormat(), pel_FMT_A8R8G8B8);

  // The font loader's door: a white pel stored as R5G6B5 reads 248, 252, 248.
  ASSERT_NE(imgAlphaConvertColorsHook, nullptr);
  image->SetSize(1, 1, nullptr);
  image->Fill(0xFFFFFFFF, nullptr);
  const int r5g6b5 = pel_FMT_R5G6B5;
  imgAlphaConvertColorsHook(image, &r5g6b5);
  EXPECT_EQ(image->PelAtXY(0, 0), 0xFFF8FCF8u);
  // Another image class is left alone.
  imgAlphaConvertColorsHook(nullptr, &r5g6b5);
}
