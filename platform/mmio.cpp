// winmm's mmio reading over the platform's file handles. Reads go straight to
// the file: MMIO_ALLOCBUF is accepted and changes nothing but speed on
// Windows, which a read of the whole image does not need.
#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "platform/win_file.h"
#include "platform/win_kernel.h"
#include "platform/win_mmsystem.h"

struct HMMIO__ {
  HANDLE file;
};

namespace {

bool seekTo(HMMIO mmio, int64_t position) {
  LARGE_INTEGER at;
  at.QuadPart = position;
  return position >= 0 && SetFilePointerEx(mmio->file, at, nullptr, FILE_BEGIN);
}

int64_t position(HMMIO mmio) {
  LARGE_INTEGER zero, at;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(mmio->file, zero, &at, FILE_CURRENT)) return -1;
  return at.QuadPart;
}

// Reads exactly count bytes.
bool readExact(HMMIO mmio, void* buffer, DWORD count) {
  DWORD done = 0;
  return ReadFile(mmio->file, buffer, count, &done, nullptr) && done == count;
}

DWORD le32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<DWORD>(p[3]) << 24; }

}  // namespace

HMMIO mmioOpenA(LPSTR fileName, LPMMIOINFO info, DWORD flags) {
  if (info) info->wErrorRet = 0;
  if (flags & (MMIO_WRITE | MMIO_READWRITE)) {
    if (info) info->wErrorRet = MMSYSERR_INVALFLAG;
    return nullptr;
  }
  HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (info) info->wErrorRet = GetLastError() == ERROR_FILE_NOT_FOUND ? MMIOERR_FILENOTFOUND : MMIOERR_CANNOTOPEN;
    return nullptr;
  }
  auto* mmio = new HMMIO__{file};
  if (info) info->hmmio = mmio;
  return mmio;
}

MMRESULT mmioClose(HMMIO mmio, UINT) {
  if (!mmio) return MMSYSERR_INVALHANDLE;
  CloseHandle(mmio->file);
  delete mmio;
  return MMSYSERR_NOERROR;
}

LONG mmioRead(HMMIO mmio, HPSTR buffer, LONG count) {
  if (!mmio || count < 0 || (count > 0 && !buffer)) return -1;
  DWORD done = 0;
  if (!ReadFile(mmio->file, buffer, static_cast<DWORD>(count), &done, nullptr)) return -1;
  return static_cast<LONG>(done);
}

LONG mmioSeek(HMMIO mmio, LONG offset, int origin) {
  if (!mmio) return -1;
  int64_t base;
  switch (origin) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = position(mmio); break;
    case SEEK_END: {
      LARGE_INTEGER size;
      if (!GetFileSizeEx(mmio->file, &size)) return -1;
      base = size.QuadPart;
      break;
    }
    default: return -1;
  }
  const int64_t target = base + offset;
  if (base < 0 || target < 0 || target > INT32_MAX || !seekTo(mmio, target)) return -1;
  return static_cast<LONG>(target);
}

MMRESULT mmioDescend(HMMIO mmio, LPMMCKINFO chunk, const MMCKINFO* parent, UINT flags) {
  if (!mmio || !chunk) return MMSYSERR_INVALPARAM;
  FOURCC wantId = 0, wantType = 0;
  if (flags & MMIO_FINDCHUNK) wantId = chunk->ckid;
  if (flags & MMIO_FINDLIST) wantId = FOURCC_LIST, wantType = chunk->fccType;
  if (flags & MMIO_FINDRIFF) wantId = FOURCC_RIFF, wantType = chunk->fccType;
  const int64_t end = parent ? int64_t{parent->dwDataOffset} + parent->cksize : INT64_MAX;
  int64_t at = position(mmio);
  if (at < 0) return MMIOERR_CANNOTSEEK;
  for (;;) {
    BYTE head[12];
    if (at + 8 > end || !seekTo(mmio, at) || !readExact(mmio, head, 8)) return MMIOERR_CHUNKNOTFOUND;
    MMCKINFO found{le32(head), le32(head + 4), 0, static_cast<DWORD>(at + 8), 0};
    const bool form = found.ckid == FOURCC_RIFF || found.ckid == FOURCC_LIST;
    if (form) {
      if (at + 12 > end || !readExact(mmio, head + 8, 4)) return MMIOERR_CHUNKNOTFOUND;
      found.fccType = le32(head + 8);
    }
    if ((wantId == 0 || found.ckid == wantId) && (wantType == 0 || found.fccType == wantType)) {
      *chunk = found;
      return MMSYSERR_NOERROR;
    }
    at += 8 + ((int64_t{found.cksize} + 1) & ~int64_t{1});
  }
}
