// The Windows interfaces the engine calls, as this port declares them.
#pragma once

#include "platform/win_types.h"
#include "platform/win_kernel.h"
#include "platform/win_user.h"
#include "platform/win_file.h"
#include "platform/win_memory.h"
#include "platform/win_gdi.h"
#include "platform/win_thread.h"
#include "platform/win_sync.h"
#include "platform/win_mapping.h"
#include "platform/win_bitmap.h"
#include "platform/win_stdio.h"
#include "platform/win_mmsystem.h"
