// Arrays and lists.
#include "base/arr.h"

#include <cstring>

#include "base/mem.h"

namespace {

size_t bytesFor(int64_t elements, int32_t elemSize) {
  return static_cast<size_t>(elements) * static_cast<size_t>(elemSize);
}

char* elementAt(const arrArray* arr, int32_t index) {
  return static_cast<char*>(arr->data) + bytesFor(index, arr->elemSize);
}

listNode** headOf(void* head) { return static_cast<listNode**>(head); }

}  // namespace

arrArray* arrCreate(arrArray* arr, int32_t capacity, int32_t elemSize, int32_t step) {
  // Frees a header this call allocated when a raise in here goes to a TRY block.
  struct OwnedHeader {
    arrArray* header = nullptr;
    ~OwnedHeader() { memHooks.free(header); }
  } owned;
  if (!arr) {
    arr = static_cast<arrArray*>(memCalloc(sizeof(arrArray)));
    if (!arr) return nullptr;
    owned.header = arr;
    arr->flags = ARR_OWNS_HEADER;
  } else {
    std::memset(arr, 0, sizeof *arr);
  }
  arr->elemSize = elemSize;
  arr->step = step;
  if (capacity > 0) {
    arr->data = memRealloc(nullptr, bytesFor(capacity, elemSize));
    if (!arr->data) {
      errRaise(ERR_NO_MEMORY);
      return nullptr;
    }
    arr->capacity = capacity;
  }
  owned.header = nullptr;
  return arr;
}

errCode arrReserve(arrArray* arr) {
  int64_t capacity = static_cast<int64_t>(arr->capacity) + arr->step;
  size_t bytes = bytesFor(capacity, arr->elemSize);
  // A step below 1 gives no room (and must not shrink the data).
  if (bytes == 0 || capacity <= arr->capacity) return 0;
  if (capacity > INT32_MAX) return -3;
  void* data = memRealloc(arr->data, bytes);
  if (!data) return ERR_NO_MEMORY;
  arr->data = data;
  arr->capacity = static_cast<int32_t>(capacity);
  return 0;
}

errCode arrAppend(arrArray* arr, const void* elem) {
  if (!arr) {
    errRaise(ERR_NOT_CREATED);
    return ERR_NOT_CREATED;
  }
  if (arr->count >= arr->capacity) {
    errCode r = arrReserve(arr);
    if (r == 0 && arr->count >= arr->capacity) r = ERR_ARRAY_OVERFLOW;
    if (r < 0) {
      errRaise(r);
      return r;
    }
  }
  std::memcpy(elementAt(arr, arr->count), elem, static_cast<size_t>(arr->elemSize));
  return arr->count++;
}

errCode arrGet(const arrArray* arr, int32_t index, void* dest) {
  if (!arr || static_cast<uint32_t>(index) >= static_cast<uint32_t>(arr->count)) return ERR_BAD_INDEX;
  std::memcpy(dest, elementAt(arr, index), static_cast<size_t>(arr->elemSize));
  return index;
}

errCode arrRemove(arrArray* arr, int32_t index) {
  if (!arr || index < 0 || index >= arr->count) return ERR_BAD_INDEX;
  std::memmove(elementAt(arr, index), elementAt(arr, index + 1), bytesFor(arr->count - index - 1, arr->elemSize));
  --arr->count;
  if (arr->cursor > index) --arr->cursor;
  return 0;
}

void arrFree(arrArray* arr) {
  if (!arr) return;
  memHooks.free(arr->data);
  if (arr->flags & ARR_OWNS_HEADER) {
    memHooks.free(arr);
    return;
  }
  // A header of the caller's is left empty, not with a freed data pointer.
  arr->data = nullptr;
  arr->count = arr->capacity = 0;
}

void listAppend(void* head, void* node) {
  if (!node) return;
  auto* n = static_cast<listNode*>(node);
  n->next = nullptr;
  listNode** link = headOf(head);
  while (*link) link = &(*link)->next;
  *link = n;
}

int listRemove(void* head, void* node) {
  if (!node) return 0;
  for (listNode** link = headOf(head); *link; link = &(*link)->next) {
    if (*link == node) {
      *link = (*link)->next;
      return 1;
    }
  }
  return 0;
}

void listFreeAll(void* head) {
  listNode** link = headOf(head);
  while (listNode* n = *link) {
    *link = n->next;
    memHooks.free(n);
  }
}
