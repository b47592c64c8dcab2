// What a MessageBoxA style asks of SDL's message box, what SDL's answer means
// in Windows terms, and how the box's text is laid out: pure functions,
// shared by the box and its tests.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace plat::detail {

struct MessageBoxLayout {
  int count;                          // buttons, in the order shown
  SDL_MessageBoxButtonData buttons[3];  // buttonid: IDOK, IDCANCEL, ...
  Uint32 flags;                       // SDL_MESSAGEBOX_ERROR, _WARNING or _INFORMATION
  int closed;                         // the answer of a box closed without a button
  int headless;                       // the answer where no box can be shown
};

// The buttons of the style's type (OK for an unknown type), the default
// button (MB_DEFBUTTON2/3, the first where there is no such button) taking
// Return, Escape on Cancel (or on the only button), and the icon.
MessageBoxLayout messageBoxLayout(UINT type);

// MessageBoxA's result for SDL_ShowMessageBox's result and the button id it
// gave: 0 when the box could not be shown, the layout's closed answer for a
// box closed without a button (-1).
int messageBoxAnswer(const MessageBoxLayout& layout, int shown, int hit);

// The text as the box shows it: every line of more than `columns` characters
// is broken at its last blank that leaves the line within them (the blanks
// there become the line break), and a word longer than a line where the line
// is full. Lines are separated by '\n'; a UTF-8 character counts once and is
// never split. SDL's box is as wide as its longest line and never wraps.
std::string wrapBoxText(std::string_view text, size_t columns);

// The characters a line of a box may hold on a screen that many pels wide.
size_t boxColumns(int screenWidth);

}  // namespace plat::detail
