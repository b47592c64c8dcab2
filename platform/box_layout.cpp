// The box's pure layout: buttons and answers in Windows terms, and the text
// broken into lines that fit the screen.
#include "platform/box_layout.h"

#include <algorithm>

#include "platform/win_user.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool continuesCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// One line of the text (no line feed in it), wrapped, appended to out.
void wrapLine(std::string_view line, size_t columns, std::string* out) {
  for (;;) {
    // cut: where the first character that does not fit starts.
    size_t cut = 0, characters = 0;
    for (; cut < line.size(); ++cut) {
      if (continuesCharacter(line[cut])) continue;
      if (characters == columns) break;
      ++characters;
    }
    if (cut == line.size()) {
      out->append(line);
      return;
    }
    // The last blank at or before the cut that has a word before it; else
    // the word is longer than a line and is cut where the line is full.
    size_t head = cut, rest = cut;
    for (size_t b = cut + 1; b-- > 0;) {
      if (!isBlank(line[b])) continue;
      size_t end = b;
      while (end > 0 && isBlank(line[end - 1])) --end;
      if (end == 0) break;
      head = end;
      rest = b;
      break;
    }
    while (rest < line.size() && isBlank(line[rest])) ++rest;
    out->append(line.substr(0, head));
    line.remove_prefix(rest);
    if (line.empty()) return;
    out->push_back('\n');
  }
}

}  // namespace

namespace plat::detail {

MessageBoxLayout messageBoxLayout(UINT type) {
  auto b = [](int id, const char* text) { return SDL_MessageBoxButtonData{0, id, text}; };
  // Per type: the buttons, and the answers where no button was chosen. A box
  // without Cancel cannot be dismissed on Windows; here it can be closed, and
  // answers with the button that does no harm (Ignore, No), as headless.
  MessageBoxLayout l{};
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: l = {2, {b(IDOK, "OK"), b(IDCANCEL, "Cancel"), {}}, 0, IDCANCEL, IDCANCEL}; break;
    case MB_ABORTRETRYIGNORE:
      l = {3, {b(IDABORT, "Abort"), b(IDRETRY, "Retry"), b(IDIGNORE, "Ignore")}, 0, IDIGNORE, IDIGNORE};
      break;
    case MB_YESNOCANCEL:
      l = {3, {b(IDYES, "Yes"), b(IDNO, "No"), b(IDCANCEL, "Cancel")}, 0, IDCANCEL, IDCANCEL};
      break;
    case MB_YESNO: l = {2, {b(IDYES, "Yes"), b(IDNO, "No"), {}}, 0, IDNO, IDNO}; break;
    case MB_RETRYCANCEL: l = {2, {b(IDRETRY, "Retry"), b(IDCANCEL, "Cancel"), {}}, 0, IDCANCEL, IDCANCEL}; break;
    case MB_CANCELTRYCONTINUE:
      l = {3, {b(IDCANCEL, "Cancel"), b(IDTRYAGAIN, "Try Again"), b(IDCONTINUE, "Continue")}, 0, IDCANCEL, IDCONTINUE};
      break;
    default: l = {1, {b(IDOK, "OK"), {}, {}}, 0, IDOK, IDOK}; break;
  }
  unsigned def = (type & MB_DEFMASK) >> 8;
  if (def >= static_cast<unsigned>(l.count)) def = 0;
  l.buttons[def].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
  for (int i = 0; i < l.count; ++i)
    if (l.buttons[i].buttonid == IDCANCEL || l.count == 1) l.buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND: l.flags = SDL_MESSAGEBOX_ERROR; break;
    case MB_ICONEXCLAMATION: l.flags = SDL_MESSAGEBOX_WARNING; break;
    default: l.flags = SDL_MESSAGEBOX_INFORMATION; break;
  }
  return l;
}

int messageBoxAnswer(const MessageBoxLayout& layout, int shown, int hit) {
  if (shown != 0) return 0;
  for (int i = 0; i < layout.count; ++i)
    if (layout.buttons[i].buttonid == hit) return hit;
  return layout.closed;
}

std::string wrapBoxText(std::string_view text, size_t columns) {
  columns = std::max<size_t>(columns, 1);
  std::string out;
  for (;;) {
    const size_t end = text.find('\n');
    wrapLine(text.substr(0, end), columns, &out);
    if (end == std::string_view::npos) return out;
    out.push_back('\n');
    text.remove_prefix(end + 1);
  }
}

size_t boxColumns(int screenWidth) {
  // The box's font averages about 7 pels a character; a line of 3/4 of the
  // screen at 8 pels leaves room for the box's margins and wider letters.
  return static_cast<size_t>(std::max(screenWidth * 3 / 4 / 8, 32));
}

}  // namespace plat::detail
