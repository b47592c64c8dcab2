// LoadLibraryA, GetProcAddress and FreeLibrary over the stub sibling library.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/win32.h"
#include "support/quillframe_stub.h"
#include "support/temp_dir.h"

namespace {

// A game directory with the stub one level up, named in other case.
struct ModuleDirs {
  TempDir dir;
  std::filesystem::path game;
  std::filesystem::path previous = std::filesystem::current_path();
  ModuleDirs() {
    game = dir.path / "game";
    std::filesystem::create_directories(game);
    std::filesystem::copy_file(QUILLFRAME_STUB, dir.path / "QUILLFRAME.DLL");
    std::filesystem::current_path(game);
  }
  ~ModuleDirs() { std::filesystem::current_path(previous); }
};

TEST(Module, LoadsByRelativeWindowsPathAndCallsExports) {
  ModuleDirs dirs;
  HMODULE module = LoadLibraryA("..\\Quillframe.dll");
  ASSERT_NE(module, nullptr);
  auto state = reinterpret_cast<QuillframeStubStateFn>(GetProcAddress(module, "quillframe_stub_state"));
  auto setHasWriter = reinterpret_cast<void (*)(int)>(GetProcAddress(module, "set_has_writer"));
  auto begin = reinterpret_cast<void* (*)()>(GetProcAddress(module, "begin_write_img"));
  ASSERT_NE(state, nullptr);
  ASSERT_NE(setHasWriter, nullptr);
  ASSERT_NE(begin, nullptr);

  setHasWriter(1);
  EXPECT_EQ(begin(), state()->pels);
  EXPECT_EQ(state()->writerCalls, 1);
  EXPECT_EQ(state()->writerValues[0], 1);
  EXPECT_EQ(std::string(state()->order, static_cast<size_t>(state()->orderLength)), "wb");

  // A second load is the same module, with the same state.
  HMODULE again = LoadLibraryA("../quillframe.dll");
  EXPECT_EQ(again, module);
  EXPECT_TRUE(FreeLibrary(again));
  EXPECT_TRUE(FreeLibrary(module));
}

TEST(Module, FailuresReturnNullWithTheLastError) {
  ModuleDirs dirs;
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("../Missing.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  // A file that is no shared object.
  writeBytes((dirs.game / "notes.dll").string(), "not a library");
  EXPECT_EQ(LoadLibraryA("notes.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  // A bare name is a file of the current directory, not a search of the
  // system's library path.
  EXPECT_EQ(LoadLibraryA("libc.so.6"), nullptr);
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);

  HMODULE module = LoadLibraryA("../Quillframe.dll");
  ASSERT_NE(module, nullptr);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(module, "no_such_export"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(GetProcAddress(nullptr, "set_has_writer"), nullptr);
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_FALSE(FreeLibrary(nullptr));
}

}  // namespace
