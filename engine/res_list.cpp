// The resource list.
#include "engine/res_list.h"

#include "base/arr.h"
#include "base/mem.h"
#include "engine/res_pack.h"

namespace {

arrArray* g_list = nullptr;
int32_t g_memory = 0;

// The counter wraps as the 32-bit word it is; sizes come from files.
void count(uint32_t bytes, bool add) {
  const auto now = static_cast<uint32_t>(g_memory);
  g_memory = static_cast<int32_t>(add ? now + bytes : now - bytes);
}

// What a kind 1 or kind 2 entry adds to the counter (or takes from it).
void countEntry(const resEntry& e, bool add) {
  if (e.kind == res_KIND_IMAGES && e.items) {
    auto** records = static_cast<resImage**>(e.items);
    for (uint32_t i = 0; i < e.itemCount; ++i)
      if (records[i]) count(records[i]->size, add);
  } else if (e.kind == res_KIND_PACK && e.items) {
    count(resPackSize(static_cast<resPackTy*>(e.items)), add);
  }
}

void freeBuffers(resBuffers* record) {
  if (!record) return;
  for (void* b : record->buffers) memHooks.free(b);
  memHooks.free(record);
}

void release(resEntry& e) {
  countEntry(e, false);
  switch (e.kind) {
    case res_KIND_IMAGES: {
      auto** records = static_cast<resImage**>(e.items);
      for (uint32_t i = 0; records && i < e.itemCount; ++i) {
        if (!records[i]) continue;
        if (records[i]->ownsPels) memHooks.free(records[i]->pels);
        memHooks.free(records[i]);
      }
      break;
    }
    case res_KIND_PACK:
      resPackClose(static_cast<resPackTy*>(e.items));
      e.items = nullptr;
      break;
    case res_KIND_SET:
      if (auto* set = static_cast<resSet*>(e.items)) {
        for (uint32_t i = 0; set->records && i < set->count; ++i) freeBuffers(set->records[i]);
        memHooks.free(set->records);
        memHooks.free(set);
      }
      e.items = nullptr;
      break;
    case res_KIND_BUFFERS: {
      auto** records = static_cast<resBuffers**>(e.items);
      for (uint32_t i = 0; records && i < e.itemCount; ++i) freeBuffers(records[i]);
      break;
    }
    default:
      break;
  }
  memHooks.free(e.items);
  memHooks.free(e.name);
  memHooks.free(e.path);
}

}  // namespace

void resListCreate() {
  g_list = arrCreate(nullptr, 10, sizeof(resEntry), 10);
  g_memory = 0;
}

void resListDone() {
  if (!g_list) return;
  auto* entries = static_cast<resEntry*>(g_list->data);
  for (int32_t i = 0; i < g_list->count; ++i) release(entries[i]);
  arrFree(g_list);
  g_list = nullptr;
}

errCode resListAdd(const resEntry* entry) {
  const errCode index = arrAppend(g_list, entry);
  if (index >= 0) countEntry(*entry, true);
  return index;
}

int32_t resListMemory() { return g_memory; }

int32_t resListCount() { return g_list ? g_list->count : 0; }
