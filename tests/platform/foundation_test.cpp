#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/path.h"
#include "platform/test_api.h"
#include "platform/win32.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

void touch(const fs::path& p) { std::ofstream(p) << "x"; }

}  // namespace

TEST(PathResolution, SeparatorsAndCase) {
  TempDir t;
  fs::create_directories(t.path / "DATA" / "Sub");
  touch(t.path / "DATA" / "Mask.BMP");
  touch(t.path / "DATA" / "Sub" / "a.wav");
  const std::string root = t.path.string();
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {root + "/DATA/Mask.BMP", root + "/DATA/Mask.BMP"},
      {root + "/data/mask.bmp", root + "/DATA/Mask.BMP"},
      {root + "\\data\\sub\\A.WAV", root + "/DATA/Sub/a.wav"},
      {root + "/data/missing/new.txt", root + "/DATA/missing/new.txt"},
      {root + "/data//sub/", root + "/DATA/Sub/"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(plat::resolvePath(c.in), c.out) << c.in;

  EXPECT_TRUE(plat::pathExists(root + "/data/MASK.bmp", plat::PathKind::File));
  EXPECT_FALSE(plat::pathExists(root + "/data", plat::PathKind::File));
  EXPECT_TRUE(plat::pathExists(root + "/data", plat::PathKind::Directory));
  EXPECT_FALSE(plat::pathExists(root + "/nothing"));
}

TEST(PathResolution, RelativePathsAndDirectoryRefusal) {
  TempDir t;
  fs::create_directories(t.path / "DATA");
  touch(t.path / "DATA" / "bkg.jpg");
  fs::path old = fs::current_path();
  fs::current_path(t.path);
  EXPECT_EQ(plat::resolvePath("data\\BKG.JPG"), "DATA/bkg.jpg");
  int fd = plat::openResolved("Data/Bkg.jpg", O_RDONLY);
  EXPECT_GE(fd, 0);
  if (fd >= 0) close(fd);
  errno = 0;
  EXPECT_EQ(plat::openResolved("data", O_RDONLY), -1);
  EXPECT_EQ(errno, EISDIR);
  fs::current_path(old);
}

TEST(MessageBox, ScriptedAnswersAreCapturedInOrder) {
  plat::test::takeMessageBoxes();
  plat::test::pushMessageBoxAnswer(IDRETRY);
  plat::test::pushMessageBoxAnswer(IDABORT);
  HWND owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));
  EXPECT_EQ(MessageBoxA(owner, "first", "Cap", MB_ABORTRETRYIGNORE), IDRETRY);
  EXPECT_EQ(MessageBoxA(nullptr, "second", nullptr, MB_ABORTRETRYIGNORE | MB_ICONHAND), IDABORT);
  auto boxes = plat::test::takeMessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].owner, owner);
  EXPECT_EQ(boxes[0].text, "first");
  EXPECT_EQ(boxes[0].caption, "Cap");
  EXPECT_EQ(boxes[0].style, MB_ABORTRETRYIGNORE);
  EXPECT_EQ(boxes[1].caption, "Error");  // a null caption reads "Error"
  EXPECT_EQ(boxes[1].style, MB_ABORTRETRYIGNORE | MB_ICONHAND);
}

TEST(MessageBox, HeadlessDefaultsNeverBlock) {
  ASSERT_TRUE(plat::test::headless());
  plat::test::clearMessageBoxAnswers();
  struct {
    UINT style;
    int answer;
  } cases[] = {
      {MB_OK, IDOK},           {MB_ABORTRETRYIGNORE, IDIGNORE}, {MB_OKCANCEL, IDCANCEL},
      {MB_RETRYCANCEL, IDCANCEL}, {MB_YESNO, IDNO},             {MB_CANCELTRYCONTINUE, IDCONTINUE},
  };
  for (auto c : cases) EXPECT_EQ(MessageBoxA(nullptr, "t", "c", c.style), c.answer) << c.style;
  EXPECT_EQ(plat::test::takeMessageBoxes().size(), std::size(cases));
}

TEST(Cursor, DisplayCounterLoopsEnd) {
  plat::test::setCursorCount(-3);
  int n = 0;
  int guard = 0;
  while ((n = ShowCursor(TRUE)) < 0 && ++guard < 100) {
  }
  EXPECT_EQ(n, 0);
  EXPECT_EQ(ShowCursor(FALSE), -1);
  plat::test::setCursorCount(0);
}

TEST(Kernel, ModuleFileNameAndTruncation) {
  char buf[8];
  plat::test::setModuleFileName("/opt/game/ballmaze");
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameA(nullptr, buf, sizeof buf), 8u);
  EXPECT_STREQ(buf, "/opt/ga");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  char big[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameA(nullptr, big, sizeof big), 18u);
  EXPECT_STREQ(big, "/opt/game/ballmaze");
  plat::test::setModuleFileName(nullptr);
  DWORD n = GetModuleFileNameA(GetModuleHandleA(nullptr), big, sizeof big);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(big[0], '/');
  EXPECT_NE(std::strstr(big, "test_platform_foundation"), nullptr);
}

TEST(Kernel, TempPathHasTrailingSeparator) {
  char buf[MAX_PATH];
  DWORD n = GetTempPathA(sizeof buf, buf);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(buf[n - 1], '/');
  EXPECT_EQ(GetTempPathA(1, buf), n + 1);  // too small: the size needed
}

TEST(Kernel, LastErrorIsPerThreadAndFormatMessageGivesSystemText) {
  SetLastError(7);
  std::thread([] { EXPECT_EQ(GetLastError(), 0u); }).join();
  EXPECT_EQ(GetLastError(), 7u);
  char text[256];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ENOENT, 0x400,
                           text, sizeof text, nullptr);
  EXPECT_EQ(n, std::strlen(text));
  EXPECT_STREQ(text, std::strerror(ENOENT));
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ENOENT, 0, text, 3, nullptr), 0u);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 99999, 0, text, sizeof text, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
}

TEST(Kernel, DebuggerCallsAreQuietWithoutDebugger) {
  ASSERT_FALSE(IsDebuggerPresent());
  plat::test::captureDebugOutput(true);
  OutputDebugStringA("[talvo.io] error: x\n");
  DebugBreak();  // no debugger: nothing happens
  auto out = plat::test::takeDebugOutput();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0], "[talvo.io] error: x\n");
  plat::test::captureDebugOutput(false);
}

TEST(Kernel, PerformanceCounterAdvances) {
  LARGE_INTEGER f, a, b;
  ASSERT_TRUE(QueryPerformanceFrequency(&f));
  EXPECT_EQ(f.QuadPart, 1000000000LL);
  QueryPerformanceCounter(&a);
  Sleep(5);
  QueryPerformanceCounter(&b);
  EXPECT_GE(b.QuadPart - a.QuadPart, 5000000LL);
}

TEST(MessageQueue, QuitMessageAndFilters) {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
  PostMessageA(nullptr, WM_USER + 20, 1, 2);
  PostQuitMessage(3);
  // A number filter that excludes both still yields WM_QUIT.
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(m.wParam, 3u);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 20));
  EXPECT_EQ(m.lParam, 2);
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  // Another thread's queue is its own.
  std::thread([] {
    PostQuitMessage(1);
    MSG t;
    EXPECT_TRUE(PeekMessageA(&t, nullptr, 0, 0, PM_REMOVE));
  }).join();
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}
