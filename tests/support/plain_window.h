// A window class whose procedure leaves every message to DefWindowProcA,
// registered once per process, for tests that need windows and no
// procedure of their own.
#pragma once

#include "platform/win32.h"

// The class name; the class is registered on the first call.
inline const char* plainWindowClass() {
  static const char* const name = [] {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT { return DefWindowProcA(w, m, wp, lp); };
    wc.lpszClassName = "PlainTestWindow";
    return RegisterClassExA(&wc) ? "PlainTestWindow" : nullptr;
  }();
  return name;
}
