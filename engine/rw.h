// rw persistence: streams of serialised objects held whole in memory, the rw
// files they are read from and written to, and the registry that creates
// objects by class name.
//
// rw file: a 24-byte header of little-endian words (magic "rw2" or "rw1",
// flags 0 plain or 1 packed, packer 0 LZ or 1 zlib, reserved, stored size,
// unpacked buffer size), then the stored data. The data is what the objects'
// Write operations appended: 4-byte integers, byte runs and strings (a 4-byte
// length, -1 for none, then the bytes), read back in the order written.
//
// Reads are bounded by the data: a read past it reads nothing (an integer
// reads 0, a string none) and sets the stream's `failed` flag, which every
// reader may test.
#pragma once

#include <cstdint>

struct mfFile;
struct rwStream;

constexpr uint32_t RW_MAGIC_RW1 = 0x00317772;  // "rw1": read as rw2
constexpr uint32_t RW_MAGIC_RW2 = 0x00327772;  // "rw2"
constexpr uint32_t RW_FLAG_PACKED = 1;
constexpr uint32_t RW_FLAG_MAPPED = 4;  // the data is a mapped file (never from a file)
constexpr int32_t RW_PACKER_LZ = 0;
constexpr int32_t RW_PACKER_ZLIB = 1;
constexpr int32_t RW_HEADER_SIZE = 24;
// The most bytes a read stream unpacks into.
constexpr int32_t RW_MAX_UNPACKED = 256 << 20;

// What rwClose hands a memory target: the header words (unpacked buffer
// size before size, unlike the file), the address of the bytes, then the
// bytes themselves, in one block the receiver frees through memHooks.
struct rwMemBlock {
  uint32_t magic;
  uint32_t flags;
  uint32_t packer;
  uint32_t reserved;
  uint32_t unpackedSize;
  uint32_t size;
  uint8_t* data;  // the bytes after this header
};

struct rwStream {
  uint32_t magic = RW_MAGIC_RW2;
  int32_t mode = 0;  // 1 read, 0 written
  char* fileName = nullptr;  // a written stream's, owned
  uint32_t flags = 0;
  int32_t packer = RW_PACKER_ZLIB;
  int32_t reserved = 0;
  // Read: the stored size of the header. Written: the highest position
  // written, the packed length once rwClose has packed.
  int32_t size = 0;
  // Read: the header's value. Written: the data buffer's capacity.
  int32_t unpackedSize = 0;
  int32_t position = 0;
  uint8_t* data = nullptr;  // owned
  rwMemBlock** memTarget = nullptr;
  mfFile* map = nullptr;  // with RW_FLAG_MAPPED
  int32_t length = 0;     // bytes the data holds; reads stop there
  int32_t failed = 0;     // a read or write was refused, or the file was bad
};

// Serialisable object base.
class rwObjCTy {
 public:
  virtual const char* GetClassName() const;
  virtual ~rwObjCTy() = default;
  virtual void Write(rwStream* stream);
  virtual void Read(rwStream* stream);

  // The class's create function: a new rwObjCTy.
  static rwObjCTy* Create();
};

// --- Buffer operations --------------------------------------------------------

void rwSetPos(rwStream* stream, int32_t position);
// Writes n bytes at the position, growing the buffer (by n + 10 MiB, or to
// the position + n when that is further); a gap before the position reads as
// zero bytes.
void rwWrite(rwStream* stream, const void* bytes, int32_t n);
void rwWriteInt(rwStream* stream, int32_t value);
// n bytes from the position; past the data the destination is zeroed.
void rwRead(rwStream* stream, void* destination, int32_t n);
int32_t rwReadInt(rwStream* stream);
// A zero-ended copy of the next string (freed through memHooks), or null for
// the length -1; a length below -1 or past the data fails the stream.
char* rwReadString(rwStream* stream);

// --- Files ----------------------------------------------------------------------

// Reads a whole rw file (a plain file or a zip archive member) and unpacks
// it. Never null: a file that cannot be opened (-17 raised), is short, packed
// beyond repair or flagged with anything but bit 0 gives a failed stream
// without data.
rwStream* rwRdOpen(const char* fileName);
// A new written stream ("rw2", zlib, not packed) for a file, or, with a
// memory target, for an rwMemBlock handed to it at rwClose. Set
// RW_FLAG_PACKED in its flags (and the packer) to have it packed.
rwStream* rwWrOpen(const char* fileName, rwMemBlock** memTarget = nullptr);
// Ends a stream of either mode and deletes it; a written one is packed as
// its flags say (the plain data when packing fails) and written out.
void rwClose(rwStream* stream);

// One-call zlib at the default level; 0 on success.
int rwPackZlib(const void* source, uint32_t sourceLength, void* destination, uint32_t* destinationLength);
int rwUnpackZlib(const void* source, uint32_t sourceLength, void* destination, uint32_t* destinationLength);

// --- Classes --------------------------------------------------------------------

using rwCreateFn = rwObjCTy* (*)();
// Enters (or replaces) the name's create function; returns true.
bool rwRegisterClass(const char* className, rwCreateFn create);
// A new object of the named class, or null (reported) for an unknown name.
rwObjCTy* rwObjCreateByClassName(const char* className);
