// Text drawing and text sprites, checked on the target's pels against the
// strip the font was made from.
#include "fonts_fixture.h"

using namespace engine_test;

namespace {

using TextTest = FontTest;
constexpr uint32_t kBackground = 0x123456;

// Every pel of the target against the text drawn with text (0, 0) at (x0, y0).
void expectText(imgRowCTy& target, const std::string& text, const rectCTy& clip, int x0, int y0,
                const std::string& what) {
  for (int y = 0; y < target.height; ++y)
    for (int x = 0; x < target.width; ++x)
      ASSERT_EQ(rgb(target, x, y), expectedTextPel(text, clip, x - x0, y - y0, kBackground))
          << what << " at " << x << ", " << y;
}

}  // namespace

// Clips, spaces and tabs, missing characters and the cut glyph.
TEST_F(TextTest, DrawnPels) {
  fntFont* f = fntGet("%s", name().c_str());
  ASSERT_NE(f, nullptr);
  struct Case {
    const char* name;
    std::string text;
    rectCTy clip;
  } cases[] = {
      {"whole", "ABCD", rect(0, 0, 40, 9)},
      // A at 0 to 4, B at 6 to 11, C at 13 to 15: the clip starts in C.
      {"clip inside the third character", "ABCD", rect(14, 0, 26, 9)},
      {"clip ending inside a character", "ABCD", rect(0, 2, 8, 4)},
      {"spaces and tabs only advance", "A \t\tB  C", rect(0, 0, 40, 9)},
      {"missing characters draw the default glyph", "AZ\x01" "B", rect(0, 0, 40, 9)},
      {"empty", "", rect(0, 0, 40, 9)},
  };
  for (const Case& c : cases) {
    Image target = solid(48, 12, kBackground);
    fontDrawText(f, c.text.c_str(), 3, 2, &c.clip, target.get());
    expectText(*target, c.text, c.clip, 3, 2, c.name);
  }
  // Without a font or a text nothing is drawn.
  Image target = solid(48, 12, kBackground);
  const rectCTy all = rect(0, 0, 40, 9);
  fontDrawText(nullptr, "AB", 3, 2, &all, target.get());
  fontDrawText(f, nullptr, 3, 2, &all, target.get());
  expectText(*target, "", all, 3, 2, "no font, no text");
  fntRelease(f);
}

// "AAAAAAAAAABCD" measures 10 * 6 + 7 + 4 + 4 = 75 (one spacing per character).
TEST_F(TextTest, AlignmentRectangles) {
  sprsCTy list;
  list.SetSize(800, 600);
  sprDfStrCTy s;
  sprsCTy::Add(&list, &s);
  s.SetPos(400, 10);
  EXPECT_EQ(s.AddFont(name().c_str()), 0);
  s.Printf("%s%s", "AAAAAAAAAA", "BCD");
  EXPECT_EQ(s.textWidth, 75);
  struct Case {
    int align;
    rectCTy rect;
  } cases[] = {{1, rect(363, 10, 75, kLineHeight)}, {2, rect(325, 10, 75, kLineHeight)},
               {0, rect(400, 10, 75, kLineHeight)}};
  for (const Case& c : cases) {
    s.SetAlign(c.align);
    rectCTy r;
    s.GetRect(&r);
    EXPECT_EQ(r, c.rect) << c.align;
  }
}

// A shown text sprite in a list: drawn at its anchor, marked before and
// after each change even when the text stays the same.
TEST_F(TextTest, TextSpriteDrawsAndMarks) {
  sprsCTy list;
  list.SetSize(64, 32);  // cells of 4 x 4
  sprDfStrCTy s;
  sprsCTy::Add(&list, &s);
  s.SetPos(20, 8);
  s.Show();
  s.AddFont(name().c_str());
  s.Printf("A%cB", 'Z');  // width 5 + 4 + 6 + 3 spacings = 18: anchor 9
  EXPECT_EQ(counters(list), marked(list, {rect(11, 8, 18, kLineHeight)}));
  Image target = solid(64, 32, kBackground);
  list.DrawDirty(target.get());
  expectText(*target, "AZB", rect(0, 0, 18, kLineHeight), 11, 8, "sprite");

  clearGrid(list);
  s.Printf("AZB");
  EXPECT_EQ(counters(list), marked(list, {rect(11, 8, 18, kLineHeight)}));
  // Shorter text, left: the old and the new rectangle.
  clearGrid(list);
  s.SetAlign(spr_ALIGN_LEFT);
  EXPECT_EQ(counters(list), marked(list, {rect(11, 8, 18, kLineHeight), rect(20, 8, 18, kLineHeight)}));
}

// Printf before any font and a font that failed to load: width 0, nothing
// drawn; the sprite's destruction releases what it holds.
TEST_F(TextTest, NoFontDrawsNothing) {
  sprsCTy list;
  list.SetSize(64, 32);
  auto s = std::make_unique<sprDfStrCTy>();
  sprsCTy::Add(&list, s.get());
  s->SetPos(20, 8);
  s->Show();
  s->Printf("AB");
  EXPECT_EQ(s->textWidth, 0);
  EXPECT_EQ(s->AddFont(dir.file("missing").c_str()), 0);
  EXPECT_EQ(reported("Font's file not found"), 1);
  EXPECT_EQ(s->AddFont(name().c_str()), 1);  // a second font: never the current one
  s->Printf("AB");
  EXPECT_EQ(s->textWidth, 0);
  rectCTy whole = list.area;
  list.MarkDirty(&whole, &list.area, 1);
  Image target = solid(64, 32, kBackground);
  list.DrawDirty(target.get());
  expectText(*target, "", rect(0, 0, 0, 0), 0, 0, "no font");
  // Destroyed after shutdown: nothing released twice.
  fntSystemDone();
  s.reset();
}
