// Image packs on the display: the palette table in the display's layout and
// the reload of a restored surface of kind surf_RESTORE_PACK.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx.h"
#include "engine/res_pack.h"
#include "engine/surf.h"
#include "pack_fixtures.h"
#include "platform/test_api.h"
#include "platform/win32.h"
#include "support/plain_window.h"

namespace {

using plat::test::DesktopFormat;

class PackSurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::test::setInstanceDir(tmp_.path.c_str());
    ASSERT_NE(plainWindowClass(), nullptr);
    errInit();
    plat::test::resetDisplay();
    plat::test::takeMessageBoxes();
  }
  void TearDown() override {
    stop();
    plat::test::resetDisplay();
    plat::test::takeMessageBoxes();
    plat::test::setInstanceDir(nullptr);
  }
  void start(int flags, int bits) {
    window_ = CreateWindowExA(WS_EX_APPWINDOW, plainWindowClass(), "Packs", 0x90CA0000u, 50, 40, 200, 100,
                              nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    ASSERT_EQ(gfxInit(window_, flags, 64, 48, bits), 0);
  }
  void stop() {
    gfxShutdown();
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
  }

  TempDir tmp_;
  PackFiles files_;
  HWND window_ = nullptr;
};

}  // namespace

// On 16-bit displays of both layouts, an exclusive full-screen 8-bit mode
// and a 32-bit display, surfaces with padded rows are filled, lost and
// restored from each item of two_items.pak and from the item of
// far_offsets.pak, whose offsets are the most negative ints: the item's
// top-left pel lands on the surface's, its opaque pels are the palette
// indices (8 bits) or the pack's table (16 bits), every other pel keeps the
// fill, and the 32-bit surface keeps the fill everywhere. The table follows gfxRGB:
// palette entry 0, (255, 0, 0), is the display's red.
TEST_F(PackSurfaceTest, RestoreReloadsTheItemAtTheCornerInTheDisplayFormat) {
  struct Case {
    DesktopFormat desktop;
    int flags, bits, bytes;
    uint16_t red;
  };
  const Case cases[] = {
      {DesktopFormat::X1R5G5B5, 0, 16, 2, 0x7C00},
      {DesktopFormat::R5G6B5, 0, 16, 2, 0xF800},
      {DesktopFormat::R5G6B5, gfx_MODE_FULLSCREEN, 8, 1, 0},
      {DesktopFormat::X8R8G8B8, 0, 0, 4, 0},
  };
  const struct {
    const char* pack;
    int item;
    const Picture* picture;
  } items[] = {{"two_items.pak", 0, &kItem0}, {"two_items.pak", 1, &kItem1}, {"far_offsets.pak", 0, &kItem0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    plat::test::setDesktopFormat(c.desktop);
    plat::test::setRowPadding(6);
    start(c.flags, c.bits);
    ASSERT_EQ(gfxState.screenBytes, c.bytes);
    resPackTy* pack = resPackOpen(files_["two_items.pak"].c_str(), gfxRGB);
    ASSERT_NE(pack, nullptr);
    if (c.bytes == 2) {
      EXPECT_EQ(pack->palTable[0], c.red);
    }
    for (const auto& it : items) {
      SCOPED_TRACE(std::string(it.pack) + " item " + std::to_string(it.item));
      gSurfDxdCTy s;
      s.CreateOffscreen(10, 5, 0, 0);
      s.Fill(0x5A5A5A5A & (c.bytes == 4 ? 0xFFFFFFFFu : (1u << 8 * c.bytes) - 1), nullptr);
      std::vector<uint8_t> expected = plat::test::readSurface(s.surface).pels;
      const size_t row = 10 * size_t(c.bytes);
      const Picture& picture = *it.picture;
      for (size_t y = 0; y < picture.size() && c.bytes < 4; ++y) {
        for (size_t x = 0; x < picture[y].size(); ++x) {
          const int index = picture[y][x];
          if (index < 0) continue;
          const uint16_t pel = c.bytes == 1 ? uint16_t(index) : pack->palTable[index];
          std::memcpy(expected.data() + y * row + x * size_t(c.bytes), &pel, size_t(c.bytes));
        }
      }
      s.SetRestorePack(files_[it.pack].c_str(), it.item);
      plat::test::loseSurface(s.surface);
      EXPECT_EQ(s.Restore(), 1);
      EXPECT_EQ(plat::test::readSurface(s.surface).pels, expected);
    }
    resPackClose(pack);
    stop();
  }
  EXPECT_TRUE(plat::test::takeMessageBoxes().empty());
}
