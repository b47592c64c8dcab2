// C run-time helpers.
#include <gtest/gtest.h>

#include <string>

#include "platform/win_crt.h"

namespace {

TEST(SplitPath, Parts) {
  struct Case {
    const char* path;
    const char* drive;
    const char* dir;
    const char* fname;
    const char* ext;
  } cases[] = {
      {"data\\pics\\a.bmp", "", "data\\pics\\", "a", ".bmp"},
      {"C:\\data/pics/a.tar.gz", "C:", "\\data/pics/", "a.tar", ".gz"},
      {"C:a.bmp", "C:", "", "a", ".bmp"},
      {"a", "", "", "a", ""},
      {"dir.d\\name", "", "dir.d\\", "name", ""},
      {"\\.hidden", "", "\\", "", ".hidden"},
      {"data\\", "", "data\\", "", ""},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    char drive[_MAX_DRIVE], dir[_MAX_DIR], fname[_MAX_FNAME], ext[_MAX_EXT];
    _splitpath(c.path, drive, dir, fname, ext);
    EXPECT_STREQ(drive, c.drive);
    EXPECT_STREQ(dir, c.dir);
    EXPECT_STREQ(fname, c.fname);
    EXPECT_STREQ(ext, c.ext);
  }

  // Outputs may be left out; a long part is cut to its buffer.
  const std::string long_dir = std::string(300, 'd') + "\\x.y";
  char dir[_MAX_DIR];
  _splitpath(long_dir.c_str(), nullptr, dir, nullptr, nullptr);
  EXPECT_EQ(std::string(dir), std::string(_MAX_DIR - 1, 'd'));
}

}  // namespace
