// GDI32 stock objects.
#include "platform/win_gdi.h"

HGDIOBJ GetStockObject(int object) {
  // The stock objects are numbered 0 to 19; each gets a fixed marker handle.
  if (object < 0 || object > 19) return nullptr;
  return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x8000 + object));
}
