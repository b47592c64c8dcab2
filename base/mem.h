// Allocation hooks and memory zones.
//
// All heap memory of the base library, the engine and the sound code goes
// through the memHooks table. Its default entries allocate in the current
// zone; zone 0, current from the start, is the plain heap. A block of a zone
// n >= 1 has a header in front of the address given out that links it into
// the zone's chain (newest first); the header keeps the block aligned for any
// type.
//
// Only the front ends (memAlloc, memCalloc, memRealloc, memAllocChecked)
// raise -2 "No memory"; the entries themselves return null.
#pragma once

#include <cstddef>
#include <cstdint>

#define MEM_HOOKS_VERSION 2
#define MEM_ZERO_FILL 0x100  // flag of the alloc-with-flags entry
#define MEM_ZONE_CURRENT (-1)

struct memHookTable {
  uint32_t version;                               // MEM_HOOKS_VERSION
  void (*zonesInit)();                            // 1
  int (*reserved1)();                             // 2: returns 0
  void* (*alloc)(size_t size);                    // 3
  void* (*calloc)(size_t count, size_t size);     // 4
  void* (*realloc)(void* block, size_t size);     // 5
  void (*free)(void* block);                      // 6: null is allowed
  void* (*alloc2)(size_t size);                   // 7: strings, directories, memAllocChecked
  void* (*alloc3)(size_t size);                   // 8
  void* (*alloc4)(size_t size);                   // 9
  void* (*allocFlags)(size_t size, unsigned flags);  // 10: MEM_ZERO_FILL
  void (*nop1)();                                 // 11
  void (*nop2)();                                 // 12
  int (*reserved2)();                             // 13: returns 0
  int (*zoneCreate)();                            // 14
  int (*zoneSelect)(int zone);
  void (*zoneFreeAll)(int zone);
  void* (*zoneAlloc)(int zone, size_t size);
  void* (*zoneRealloc)(int zone, void* block, size_t size);
  void (*zoneFree)(int zone, void* block);
  void* (*zoneMove)(int destZone, int srcZone, void* block);
  size_t (*blockSize)(void* block);
  void (*zonesDone)();                            // 22
};

extern memHookTable memHooks;

// Raising front ends; a size of 0 is taken as 1. On failure: -2 is raised
// (a debug break when the raise returns Retry) and the result is null; after
// a failed memRealloc the caller still owns the old block.
void* memAlloc(size_t size);
void* memCalloc(size_t size);
void* memRealloc(void* block, size_t size);
void* memAllocChecked(size_t size);

// The pointer when 4 bytes can be read there, else null (never faults).
const void* memIsReadable(const void* p);

// Zones. A zone number of MEM_ZONE_CURRENT means the current zone.
void memZonesInit();
// The first free zone number from 1 up, or a new one; -2 when the table
// cannot grow.
int memZoneCreate();
// Makes a zone of the table current; returns the previous current zone. A
// number that is not a zone in use changes nothing.
int memZoneSelect(int zone);
// Frees every block of a zone above 0 that holds blocks and releases its
// number; zone 0 becomes current when the zone was. A zone without blocks
// stays in use.
void memZoneFreeAll(int zone);
void* memZoneAlloc(int zone, size_t size);
// A failed reallocation leaves the block valid and in its zone; a block that
// is not in the zone's chain is not touched and gives null.
void* memZoneRealloc(int zone, void* block, size_t size);
// A block that is not in the zone's chain is left alone.
void memZoneFree(int zone, void* block);
// Moves a block between two zones above 0; returns the block.
void* memZoneMove(int destZone, int srcZone, void* block);
// Heap size of a block of the current zone (with its header in zones above 0).
size_t memBlockSize(void* block);
void memZonesDone();

// The default entries: the zone operations on the current zone.
void* memDefAlloc(size_t size);
void* memDefCalloc(size_t count, size_t size);
void* memDefRealloc(void* block, size_t size);
void memDefFree(void* block);
void* memDefAllocFlags(size_t size, unsigned flags);
