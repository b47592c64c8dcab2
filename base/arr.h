// Growable arrays of fixed-size elements and singly linked lists.
#pragma once

#include <cstdint>

#include "base/err.h"

#define ARR_OWNS_HEADER 8  // arrCreate allocated the header

struct arrArray {
  int32_t flags;     // ARR_OWNS_HEADER
  int32_t cursor;    // kept for the owner; removing below it moves it down
  int32_t elemSize;  // bytes per element (sizeof(void*) for arrays of pointers)
  int32_t count;
  int32_t capacity;
  int32_t step;      // growth in elements, at least 1
  int32_t reserved;  // 0
  void* data;
};

// header null: a header is allocated and owned by the array. Returns the
// header, or null when the first allocation fails (-2 raised; an allocated
// header is freed again).
arrArray* arrCreate(arrArray* arr, int32_t capacity, int32_t elemSize, int32_t step);
// Grows the capacity by one step: 0, or -2 when the reallocation failed, -3
// when the capacity would pass 2^31 - 1 (nothing changed either way).
errCode arrReserve(arrArray* arr);
// The index of the appended element, or the failure raised: -66 for a null
// array, -2 or -3 when it cannot grow, -9 when growing gave no room (a step
// of 0). Nothing is written past the capacity.
errCode arrAppend(arrArray* arr, const void* elem);
// Copies element index to dest; returns index, or -4 (nothing raised).
errCode arrGet(const arrArray* arr, int32_t index, void* dest);
errCode arrRemove(arrArray* arr, int32_t index);
void arrFree(arrArray* arr);

// A list node is any record whose first field is the pointer to the next node;
// a list is the pointer to its first node. `head` is the address of that
// pointer.
struct listNode {
  listNode* next;
};
void listAppend(void* head, void* node);
int listRemove(void* head, void* node);
void listFreeAll(void* head);
