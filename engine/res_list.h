// The resource list: the engine's register of loaded resources (images,
// image packs and sets of them) with a running count of the memory they
// take. The application creates it at start-up and frees every listed
// resource at shutdown. Main thread only.
#pragma once

#include <cstdint>

#include "base/err.h"

// Resource kinds (resEntry::kind) and what `items` then points at.
constexpr int32_t res_KIND_IMAGES = 1;  // itemCount resImage pointers (null ones allowed)
constexpr int32_t res_KIND_PACK = 2;    // one open image pack (resPackOpen)
constexpr int32_t res_KIND_SET = 3;     // one resSet
constexpr int32_t res_KIND_BUFFERS = 4; // itemCount resBuffers pointers

// An image record: its size in bytes first, then its pels.
struct resImage {
  uint32_t size;
  int32_t ownsPels;  // 1: the pels are freed with the record
  void* pels;
};

// A record of three owned buffers (any may be null).
struct resBuffers {
  void* buffers[3];
};

// A set of buffer records.
struct resSet {
  uint32_t count;
  resBuffers** records;
};

// One listed resource. The list owns everything it points at, all of it
// allocated through the base library's hooks.
struct resEntry {
  char* name;  // the resource's name
  char* path;  // the file it came from
  uint32_t itemCount;
  void* items;
  int32_t kind;
};

// Creates the list (room for 10, growing by 10) and sets the memory counter
// to 0.
void resListCreate();
// Releases every entry in list order, then frees the list. Without a list,
// nothing happens.
void resListDone();
// Lists a resource: the list takes it over, and the counter grows by the
// sizes of a kind 1 entry's records or by a pack's size word. Returns the
// entry's index, or the failure raised (-66 without a list, -2 when the list
// cannot grow), which leaves the entry with the caller.
errCode resListAdd(const resEntry* entry);
// The memory counter: bytes of memory the listed resources take.
int32_t resListMemory();
// The entries listed, 0 without a list.
int32_t resListCount();
