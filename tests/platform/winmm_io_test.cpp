// mmio reading of RIFF files, and local and global memory.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32.h"
#include "support/temp_dir.h"

namespace {

std::string le32(uint32_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
}

std::string chunk(const std::string& id, const std::string& data) { return id + le32(data.size()) + data; }

TEST(Mmio, DescendsFindsChunksInsideTheirParentAndReads) {
  TempDir dir;
  // RIFF "RMID" { "junk", "data" } (odd sizes, padded), then a chunk outside it.
  const std::string pad(1, '\0');
  const std::string riff = chunk("RIFF", "RMID" + chunk("junk", "abc") + pad + chunk("data", "MThd!") + pad);
  writeBytes(dir.file("Song.MID"), riff + chunk("tail", "zz"));

  MMIOINFO info{};
  HMMIO mmio = mmioOpenA(const_cast<char*>(dir.file("song.mid").c_str()), &info, MMIO_READ | MMIO_ALLOCBUF);
  ASSERT_NE(mmio, nullptr);
  MMCKINFO form{};
  ASSERT_EQ(mmioDescend(mmio, &form, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
  EXPECT_EQ(form.fccType, mmioFOURCC('R', 'M', 'I', 'D'));
  EXPECT_EQ(form.dwDataOffset, 8u);
  EXPECT_EQ(form.cksize, riff.size() - 8);

  MMCKINFO data{};
  data.ckid = mmioFOURCC('d', 'a', 't', 'a');
  ASSERT_EQ(mmioDescend(mmio, &data, &form, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
  EXPECT_EQ(data.cksize, 5u);
  char bytes[8] = {};
  EXPECT_EQ(mmioRead(mmio, bytes, 8), 8);  // reads go on past the chunk
  EXPECT_EQ(std::string(bytes, 5), "MThd!");

  // "tail" lies outside the RIFF chunk: not found inside it, found from the top.
  EXPECT_EQ(mmioSeek(mmio, static_cast<LONG>(form.dwDataOffset + 4), SEEK_SET), 12);
  MMCKINFO tail{};
  tail.ckid = mmioFOURCC('t', 'a', 'i', 'l');
  EXPECT_EQ(mmioDescend(mmio, &tail, &form, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
  EXPECT_EQ(mmioSeek(mmio, 0, SEEK_SET), 0);
  EXPECT_EQ(mmioDescend(mmio, &tail, nullptr, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
  EXPECT_EQ(mmioSeek(mmio, 0, SEEK_END), static_cast<LONG>(riff.size() + 10));
  EXPECT_EQ(mmioSeek(mmio, -1, SEEK_SET), -1);
  EXPECT_EQ(mmioClose(mmio, 0), MMSYSERR_NOERROR);

  // A RIFF file of another form is found as it is; a plain file has none.
  writeBytes(dir.file("plain"), "MThd" + std::string(10, '\0'));
  mmio = mmioOpenA(const_cast<char*>(dir.file("plain").c_str()), nullptr, MMIO_READ);
  ASSERT_NE(mmio, nullptr);
  MMCKINFO none{};
  EXPECT_EQ(mmioDescend(mmio, &none, nullptr, MMIO_FINDRIFF), MMIOERR_CHUNKNOTFOUND);
  mmioClose(mmio, 0);

  EXPECT_EQ(mmioOpenA(const_cast<char*>(dir.file("missing").c_str()), &info, MMIO_READ), nullptr);
  EXPECT_EQ(info.wErrorRet, static_cast<UINT>(MMIOERR_FILENOTFOUND));
  EXPECT_EQ(mmioOpenA(const_cast<char*>(dir.file("plain").c_str()), &info, MMIO_WRITE), nullptr);
  EXPECT_EQ(info.wErrorRet, static_cast<UINT>(MMSYSERR_INVALFLAG));
}

TEST(Memory, MoveableBlocksKeepTheirHandleAndBytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, 16);
  ASSERT_NE(block, nullptr);
  auto* p = static_cast<char*>(GlobalLock(block));
  ASSERT_NE(p, nullptr);
  EXPECT_NE(static_cast<void*>(p), block);
  EXPECT_EQ(GlobalHandle(p), block);
  std::memcpy(p, "0123456789abcdef", 16);
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_EQ(GetLastError(), 0u);

  HGLOBAL grown = GlobalReAlloc(block, 1 << 20, GMEM_MOVEABLE | GMEM_ZEROINIT);
  EXPECT_EQ(grown, block);
  p = static_cast<char*>(GlobalLock(block));
  EXPECT_EQ(std::string(p, 16), "0123456789abcdef");
  EXPECT_EQ(p[(1 << 20) - 1], 0);
  EXPECT_EQ(GlobalHandle(p), block);
  // Locked, it grows only when allowed to move.
  EXPECT_EQ(GlobalReAlloc(block, 2 << 20, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(GlobalFree(block), nullptr);
  EXPECT_EQ(GlobalHandle(p), nullptr);
  int local = 0;
  EXPECT_EQ(GlobalFree(&local), &local);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Memory, FixedBlocksAreTheirOwnHandle) {
  auto* record = static_cast<uint8_t*>(LocalAlloc(LMEM_ZEROINIT, 8));
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(GlobalLock(record), record);
  record[7] = 7;
  EXPECT_EQ(LocalReAlloc(record, 4096, LMEM_ZEROINIT), nullptr);  // may not move
  auto* grown = static_cast<uint8_t*>(LocalReAlloc(record, 4096, LMEM_MOVEABLE | LMEM_ZEROINIT));
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(grown[7], 7);
  EXPECT_EQ(grown[4095], 0);
  EXPECT_EQ(GlobalHandle(grown), grown);
  EXPECT_EQ(LocalReAlloc(grown, 4, 0), grown);  // shrinks in place
  EXPECT_EQ(LocalFree(grown), nullptr);
}

}  // namespace
