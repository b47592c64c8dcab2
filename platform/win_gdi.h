// GDI32 services of the engine.
#pragma once

#include "platform/win_types.h"

#define BLACK_BRUSH 4
// Stock objects are fixed handles; nothing draws with them on this platform.
HGDIOBJ GetStockObject(int object);
