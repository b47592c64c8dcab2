// Allocation hooks, the raising front ends and memory zones.
#include "base/mem.h"

#include <cstdlib>
#include <cstring>

#include "base/err.h"
#include "platform/win32.h"
#include "platform/win_crt.h"

namespace {

// The header in front of a block of a zone above 0.
struct alignas(alignof(std::max_align_t)) ZoneLink {
  ZoneLink* next;
};
constexpr size_t kHeader = sizeof(ZoneLink);

constexpr intptr_t kFreeSlot = -1;
constexpr intptr_t kEmptyZone = 0;

// Chain heads by zone number (a ZoneLink* for a zone in use), the slot count
// and the current zone. Zone 0 has no chain and needs no table.
intptr_t* g_heads = nullptr;
int g_count = 0;
int g_current = 0;

int returnZero() { return 0; }
void doNothing() {}

ZoneLink* linkOf(void* block) { return reinterpret_cast<ZoneLink*>(static_cast<char*>(block) - kHeader); }
void* blockOf(ZoneLink* link) { return reinterpret_cast<char*>(link) + kHeader; }

int resolve(int zone) { return zone == MEM_ZONE_CURRENT ? g_current : zone; }

// A zone above 0 that is in the table and in use.
bool zoneInUse(int zone) { return zone > 0 && zone < g_count && g_heads[zone] != kFreeSlot; }

ZoneLink* headOf(int zone) { return reinterpret_cast<ZoneLink*>(g_heads[zone]); }
void setHead(int zone, ZoneLink* l) { g_heads[zone] = reinterpret_cast<intptr_t>(l); }

void link(int zone, ZoneLink* l) {
  l->next = headOf(zone);
  setHead(zone, l);
}

// Takes the block's header out of the zone's chain; false when it is not there.
bool unlink(int zone, ZoneLink* l) {
  ZoneLink* head = headOf(zone);
  if (head == l) {
    setHead(zone, l->next);
    return true;
  }
  for (ZoneLink* p = head; p; p = p->next) {
    if (p->next == l) {
      p->next = l->next;
      return true;
    }
  }
  return false;
}

bool ensureTable() {
  if (g_count == 0) memZonesInit();
  return g_count > 0;
}

void* raiseNoMemory() {
  if (errRaise(ERR_NO_MEMORY) == ERR_OUTCOME_RETRY) DebugBreak();
  return nullptr;
}

}  // namespace

memHookTable memHooks = {
    MEM_HOOKS_VERSION,
    memZonesInit,
    returnZero,
    memDefAlloc,
    memDefCalloc,
    memDefRealloc,
    memDefFree,
    memDefAlloc,
    memDefAlloc,
    memDefAlloc,
    memDefAllocFlags,
    doNothing,
    doNothing,
    returnZero,
    memZoneCreate,
    memZoneSelect,
    memZoneFreeAll,
    memZoneAlloc,
    memZoneRealloc,
    memZoneFree,
    memZoneMove,
    memBlockSize,
    memZonesDone,
};

void* memAlloc(size_t size) {
  void* p = memHooks.alloc(size ? size : 1);
  return p ? p : raiseNoMemory();
}

void* memCalloc(size_t size) {
  void* p = memHooks.calloc(size ? size : 1, 1);
  return p ? p : raiseNoMemory();
}

void* memRealloc(void* block, size_t size) {
  void* p = memHooks.realloc(block, size ? size : 1);
  return p ? p : raiseNoMemory();
}

void* memAllocChecked(size_t size) {
  void* p = memHooks.alloc2(size ? size : 1);
  return p ? p : raiseNoMemory();
}

const void* memIsReadable(const void* p) { return p && !IsBadReadPtr(p, 4) ? p : nullptr; }

void memZonesInit() {
  if (g_count > 0) return;
  g_heads = static_cast<intptr_t*>(std::malloc(sizeof(intptr_t)));
  if (!g_heads) return;
  g_heads[0] = kEmptyZone;
  g_count = 1;
  g_current = 0;
}

int memZoneCreate() {
  if (!ensureTable()) return ERR_NO_MEMORY;
  for (int zone = 1; zone < g_count; ++zone) {
    if (g_heads[zone] == kFreeSlot) {
      g_heads[zone] = kEmptyZone;
      return zone;
    }
  }
  auto* grown = static_cast<intptr_t*>(std::realloc(g_heads, sizeof(intptr_t) * (static_cast<size_t>(g_count) + 1)));
  if (!grown) return ERR_NO_MEMORY;
  g_heads = grown;
  g_heads[g_count] = kEmptyZone;
  return g_count++;
}

int memZoneSelect(int zone) {
  int previous = g_current;
  if (zone == 0 || zoneInUse(zone)) g_current = zone;
  return previous;
}

void memZoneFreeAll(int zone) {
  zone = resolve(zone);
  if (!zoneInUse(zone) || g_heads[zone] == kEmptyZone) return;
  for (ZoneLink* l = headOf(zone); l;) {
    ZoneLink* next = l->next;
    std::free(l);
    l = next;
  }
  g_heads[zone] = kFreeSlot;
  if (g_current == zone) g_current = 0;
}

void* memZoneAlloc(int zone, size_t size) {
  zone = resolve(zone);
  if (zone == 0) return std::malloc(size);
  if (!zoneInUse(zone) || size > SIZE_MAX - kHeader) return nullptr;
  auto* l = static_cast<ZoneLink*>(std::malloc(size + kHeader));
  if (!l) return nullptr;
  link(zone, l);
  return blockOf(l);
}

void* memZoneRealloc(int zone, void* block, size_t size) {
  if (!block) return memZoneAlloc(zone, size);
  zone = resolve(zone);
  if (zone == 0) return std::realloc(block, size);
  if (!zoneInUse(zone) || size > SIZE_MAX - kHeader) return nullptr;
  ZoneLink* old = linkOf(block);
  if (!unlink(zone, old)) return nullptr;
  auto* l = static_cast<ZoneLink*>(std::realloc(old, size + kHeader));
  if (!l) {
    link(zone, old);  // the old block stays valid and in its zone
    return nullptr;
  }
  link(zone, l);
  return blockOf(l);
}

void memZoneFree(int zone, void* block) {
  if (!block) return;
  zone = resolve(zone);
  if (zone == 0) {
    std::free(block);
    return;
  }
  if (zoneInUse(zone) && unlink(zone, linkOf(block))) std::free(linkOf(block));
}

void* memZoneMove(int destZone, int srcZone, void* block) {
  destZone = resolve(destZone);
  srcZone = resolve(srcZone);
  if (!block || srcZone == destZone || !zoneInUse(srcZone) || !zoneInUse(destZone) ||
      g_heads[srcZone] == kEmptyZone)
    return block;
  if (unlink(srcZone, linkOf(block))) link(destZone, linkOf(block));
  return block;
}

size_t memBlockSize(void* block) {
  if (!block) return 0;
  return _msize(g_current == 0 ? block : linkOf(block));
}

void memZonesDone() {
  std::free(g_heads);
  g_heads = nullptr;
  g_count = 0;
  g_current = 0;
}

void* memDefAlloc(size_t size) { return memZoneAlloc(MEM_ZONE_CURRENT, size); }

void* memDefCalloc(size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  if (g_current == 0) return std::calloc(count, size);
  void* p = memZoneAlloc(MEM_ZONE_CURRENT, count * size);
  if (p) std::memset(p, 0, count * size);
  return p;
}

void* memDefRealloc(void* block, size_t size) { return memZoneRealloc(MEM_ZONE_CURRENT, block, size); }

void memDefFree(void* block) { memZoneFree(MEM_ZONE_CURRENT, block); }

void* memDefAllocFlags(size_t size, unsigned flags) {
  return (flags & MEM_ZERO_FILL) ? memDefCalloc(size, 1) : memDefAlloc(size);
}
