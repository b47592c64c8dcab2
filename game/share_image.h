// The sibling library "../Quillframe.dll" the scene can be written into
// (share_image): loaded at pre-init, used once per pass, announced and
// withdrawn as writer.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

// The library's handle and entry points: null unless the scene is shared.
extern HMODULE gameShareModule;
extern void* (*gameBeginWriteImg)();
extern void (*gameEndWriteImg)();
extern void (*gameSetHasWriter)(int);

// True when share_image is set and the library gave all three exports.
bool gameShareImage();
// share_image: loads the library and announces the writer; a missing
// library or export is one warning, and the game runs without it.
void gameShareOpen();
// Once per pass: the scene's marked parts drawn into gameOutputImage, which
// is then copied whole into the shared image, when it gives a buffer.
void gameShareFrame();
// Withdraws the writer.
void gameShareClose();
