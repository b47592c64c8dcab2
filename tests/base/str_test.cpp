#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/err.h"
#include "base/mem.h"
#include "base/str.h"
#include "err_fixture.h"
#include "platform/test_api.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

const std::string kLongDir = "C:\\" + std::string(300, 'd') + "\\";

TEST(Paths, Split) {
  struct Case {
    std::string path;
    std::string dir, name, ext;
  } cases[] = {
      {"data\\sounds\\shot.wav", "data\\sounds\\", "shot", ".wav"},
      {"shot", "", "shot", ""},
      {"c:file.txt", "c:", "file", ".txt"},
      {".cfg", "", "", ".cfg"},
      {"a.b.c", "", "a.b", ".c"},
      {"..\\x", "..\\", "x", ""},
      {"dir.d/file", "dir.d/", "file", ""},
      {"C:/Games/maze.exe", "C:/Games/", "maze", ".exe"},
      {"name.", "", "name", "."},
      {"dir\\", "dir\\", "", ""},
      {"", "", "", ""},
      // A path longer than a buffer: each part is cut to fit, none overruns.
      {kLongDir + "name.ext", kLongDir.substr(0, MAX_PATH - 1), "name", ".ext"},
      {"x." + std::string(400, 'e'), "", "x", "." + std::string(MAX_PATH - 2, 'e')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    char dir[MAX_PATH + 1], name[MAX_PATH + 1], ext[MAX_PATH + 1];
    dir[MAX_PATH] = name[MAX_PATH] = ext[MAX_PATH] = '#';
    pathSplit(c.path.c_str(), dir, name, ext);
    EXPECT_EQ(dir, c.dir);
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(ext, c.ext);
    EXPECT_EQ(dir[MAX_PATH], '#');
    EXPECT_EQ(ext[MAX_PATH], '#');
    pathSplit(c.path.c_str(), nullptr, name, nullptr);  // outputs may be left out
    EXPECT_EQ(name, c.name);
  }
}

TEST(Paths, FileNameAndSeparator) {
  struct {
    const char* path;
    const char* fileName;
    const char* withSeparator;
  } cases[] = {
      {"data\\mask.bmp", "mask.bmp", "data\\mask.bmp\\"},
      {"data/", "", "data/"},
      {"c:", "", "c:"},
      {"a:b/c\\d", "d", "a:b/c\\d\\"},
      {"plain", "plain", "plain\\"},
      {"", "", ""},
  };
  for (auto c : cases) {
    EXPECT_STREQ(pathFileName(c.path), c.fileName) << c.path;
    char out[MAX_PATH];
    EXPECT_EQ(pathAddSeparator(out, c.path), out);
    EXPECT_STREQ(out, c.withSeparator) << c.path;
  }
  EXPECT_EQ(pathFileName(nullptr), nullptr);
  char out[MAX_PATH + 1];
  out[MAX_PATH] = '#';
  pathAddSeparator(out, kLongDir.c_str());
  EXPECT_EQ(std::strlen(out), MAX_PATH - 1u);
  EXPECT_EQ(out[MAX_PATH], '#');
}

TEST(Strings, LowerCaseFindAndCopy) {
  struct {
    unsigned char in, out;
  } lower[] = {{'A', 'a'}, {'Z', 'z'}, {'a', 'a'}, {'@', '@'}, {'[', '['}, {0x80, 0xA0}, {0x8F, 0xAF},
               {0x90, 0xE0}, {0x9F, 0xEF}, {0xA0, 0xA0}, {0xC0, 0xC0}, {0xFF, 0xFF}};
  for (auto c : lower)
    EXPECT_EQ(static_cast<unsigned char>(chrLower(static_cast<char>(c.in))), c.out) << int(c.in);
  char text[] = "DATA\\Mask.BMP\x80";
  EXPECT_EQ(strLower(text), text);
  EXPECT_STREQ(text, "data\\mask.bmp\xA0");

  const char* s = "a/b\\c.d";
  EXPECT_EQ(strFindLastOf(s, "/\\"), s + 3);
  EXPECT_EQ(strFindLastOf(s, "xyz"), nullptr);
  EXPECT_EQ(strFindLastOf(nullptr, "a"), nullptr);

  char dest[8] = "zzzzzzz";
  EXPECT_EQ(strCopyOrEmpty(dest, "abc"), dest + 3);
  EXPECT_STREQ(dest, "abc");
  EXPECT_EQ(strCopyOrEmpty(dest, nullptr), dest);
  EXPECT_STREQ(dest, "");
  EXPECT_EQ(strCopyOrEmpty(nullptr, "abc"), nullptr);
}

using StrDupTest = ErrTest;

TEST_F(StrDupTest, CopiesThroughTheFirstFurtherAllocEntry) {
  char* copy = strDup("click.wav");
  EXPECT_STREQ(copy, "click.wav");
  memHooks.free(copy);
  EXPECT_EQ(strDup(nullptr), nullptr);
  memHookTable saved = memHooks;
  memHooks.alloc2 = [](size_t) -> void* { return nullptr; };
  EXPECT_EQ(strDup("x"), nullptr);
  memHooks = saved;
  auto boxes = plat::test::takeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("No memory"), std::string::npos);
}

TEST(Directories, OpenResolvesThePathAndLoadsTheFirstEntry) {
  TempDir tmp;
  ASSERT_FALSE(tmp.path.empty());
  const fs::path& root = tmp.path;
  fs::create_directories(root / "DATA" / "Sounds");
  std::ofstream(root / "DATA" / "click.wav") << "x";
  struct {
    std::string dir;
    bool opens;
  } cases[] = {
      {root.string() + "\\data", true},
      {root.string() + "/DATA/sounds/", true},
      {root.string() + "\\data\\missing", false},
      {root.string() + "/DATA/click.wav", false},  // a file is no directory
  };
  for (const auto& c : cases) {
    dirScan* scan = dirOpen(c.dir.c_str());
    EXPECT_EQ(scan != nullptr, c.opens) << c.dir;
    if (scan) {
      EXPECT_EQ(scan->opened, 1);
      EXPECT_EQ(scan->loaded, 1);
      EXPECT_NE(scan->data.name[0], '\0');
    }
    dirClose(scan);
  }
}

TEST(Rectangles, Intersect) {
  struct {
    baseRect a, b;
    int result;
    baseRect overlap;
  } cases[] = {
      {{0, 0, 10, 10}, {5, 5, 10, 10}, 1, {5, 5, 5, 5}},
      {{0, 0, 10, 10}, {2, 3, 4, 5}, 1, {2, 3, 4, 5}},
      {{0, 0, 10, 10}, {10, 0, 5, 5}, 0, {}},  // touching at an edge
      {{0, 0, 10, 10}, {0, 10, 5, 5}, 0, {}},
      {{0, 0, 10, 10}, {20, 20, 5, 5}, 0, {}},
      {{-5, -5, 10, 10}, {-10, 0, 8, 2}, 1, {-5, 0, 3, 2}},
      {{INT32_MAX - 1, 0, INT32_MAX, 5}, {0, 0, INT32_MAX, 5}, 1, {INT32_MAX - 1, 0, 1, 5}},
  };
  for (auto c : cases) {
    baseRect r;
    EXPECT_EQ(rectIntersect(&r, &c.a, &c.b), c.result);
    if (c.result) {
      EXPECT_EQ(std::memcmp(&r, &c.overlap, sizeof r), 0) << r.x << "," << r.y << "," << r.w << "," << r.h;
    }
    // The result may be either input.
    baseRect a = c.a, b = c.b;
    EXPECT_EQ(rectIntersect(&a, &a, &c.b), c.result);
    EXPECT_EQ(rectIntersect(&b, &c.a, &b), c.result);
    if (c.result) {
      EXPECT_EQ(std::memcmp(&a, &c.overlap, sizeof a), 0);
      EXPECT_EQ(std::memcmp(&b, &c.overlap, sizeof b), 0);
    }
  }
}

}  // namespace
