// The RLE8 image registers by name in a program that names nothing of it:
// this file includes no header of engine/rle8.
#include <gtest/gtest.h>

#include <memory>

#include "engine/img.h"

TEST(Rle8Registration, CreatedByName) {
  std::unique_ptr<rwObjCTy> object(rwObjCreateByClassName("imgRle8CTy"));
  ASSERT_NE(object, nullptr);
  EXPECT_STREQ(object->GetClassName(), "imgRle8CTy");
  auto* image = dynamic_cast<imgCTy*>(object.get());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->classId, imgClassRle8);
  EXPECT_EQ(image->PelFormat(), pel_FMT_P8);
}
