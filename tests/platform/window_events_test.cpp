// What the window system reports about a window (minimised, maximised,
// restored, moved, resized), handled as SDL's events: the messages that
// follow and the geometry the window then has. The message box's styles in
// SDL's terms and its answers in Windows terms.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "platform/box_layout.h"
#include "window_fixture.h"

using namespace window_test;
using plat::test::WindowEvent;

namespace {

struct Step {
  WindowEvent event;
  int x, y;
};

TEST_F(WindowTest, InjectedWindowEventsGiveMessagesAndGeometry) {
  // WS_OVERLAPPEDWINDOW: a 4-pel frame and a 19-pel caption. The window at
  // (100, 50), 300 x 200, has its client area at (104, 73), 292 x 173.
  constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
  RECT area;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
  const RECT maximised{area.left - 4, area.top - 4, area.right + 4, area.bottom + 4};
  struct Case {
    const char* what;
    std::vector<Step> steps;
    std::vector<UINT> messages;  // once the pump has run
    std::vector<WPARAM> activations;  // WM_ACTIVATEAPP's wParam, in order
    DWORD state;  // WS_MINIMIZE or WS_MAXIMIZE
    RECT window;
    LONG clientWidth, clientHeight;
    bool foreground;
  } cases[] = {
      {"moved", {{WindowEvent::Moved, 204, 173}}, {}, {}, 0, {200, 150, 500, 350}, 292, 173, true},
      {"moved twice", {{WindowEvent::Moved, 4, 23}, {WindowEvent::Moved, 54, 43}}, {}, {}, 0,
       {50, 20, 350, 220}, 292, 173, true},
      {"resized", {{WindowEvent::Resized, 400, 300}}, {WM_PAINT}, {}, 0, {100, 50, 508, 377}, 400, 300, true},
      {"moved and resized", {{WindowEvent::Resized, 100, 80}, {WindowEvent::Moved, 14, 33}}, {WM_PAINT}, {}, 0,
       {10, 10, 118, 117}, 100, 80, true},
      {"minimised", {{WindowEvent::Minimized, 0, 0}}, {WM_ACTIVATEAPP}, {0}, WS_MINIMIZE,
       {-32000, -32000, -31840, -31972}, 0, 0, false},
      {"minimised and restored", {{WindowEvent::Minimized, 0, 0}, {WindowEvent::Restored, 0, 0}},
       {WM_ACTIVATEAPP, WM_ACTIVATEAPP, WM_PAINT}, {0, 1}, 0, {100, 50, 400, 250}, 292, 173, true},
      {"maximised", {{WindowEvent::Maximized, 0, 0}}, {WM_PAINT}, {}, WS_MAXIMIZE, maximised,
       area.right - area.left, area.bottom - area.top - 19, true},
      {"maximised and restored", {{WindowEvent::Maximized, 0, 0}, {WindowEvent::Restored, 0, 0}}, {WM_PAINT}, {}, 0,
       {100, 50, 400, 250}, 292, 173, true},
      {"restored while normal", {{WindowEvent::Restored, 0, 0}}, {}, {}, 0, {100, 50, 400, 250}, 292, 173, true},
      // While minimised the window keeps its normal place; moves of the icon
      // do not count.
      {"moved while minimised", {{WindowEvent::Minimized, 0, 0}, {WindowEvent::Moved, 500, 500},
                                 {WindowEvent::Restored, 0, 0}},
       {WM_ACTIVATEAPP, WM_ACTIVATEAPP, WM_PAINT}, {0, 1}, 0, {100, 50, 400, 250}, 292, 173, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HWND w = create(kStyle, 100, 50, 300, 200);
    ASSERT_NE(w, nullptr);
    pump(w);  // the first paint
    g_received.clear();
    for (const Step& s : c.steps) plat::test::injectWindowEvent(w, s.event, s.x, s.y);
    pump(w);
    EXPECT_EQ(messagesOf(g_received), c.messages);
    std::vector<WPARAM> activations;
    for (const Received& r : g_received)
      if (r.message == WM_ACTIVATEAPP) activations.push_back(r.wParam);
    EXPECT_EQ(activations, c.activations);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)) & (WS_MINIMIZE | WS_MAXIMIZE), c.state);
    EXPECT_EQ(IsIconic(w), c.state == WS_MINIMIZE ? TRUE : FALSE);
    RECT r;
    ASSERT_TRUE(GetWindowRect(w, &r));
    EXPECT_EQ(r.left, c.window.left);
    EXPECT_EQ(r.top, c.window.top);
    EXPECT_EQ(r.right, c.window.right);
    EXPECT_EQ(r.bottom, c.window.bottom);
    ASSERT_TRUE(GetClientRect(w, &r));
    EXPECT_EQ(r.right, c.clientWidth);
    EXPECT_EQ(r.bottom, c.clientHeight);
    EXPECT_EQ(GetForegroundWindow() == w, c.foreground);
    DestroyWindow(w);
  }
}

// A termination, interrupt or hang-up signal asks every top-level window of
// the thread to close, as its close box would, at the next pump; a child
// window is not asked.
TEST_F(WindowTest, ASignalClosesTheTopLevelWindows) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    HWND a = create(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100);
    HWND b = create(WS_OVERLAPPEDWINDOW, 300, 10, 200, 100);
    ASSERT_TRUE(a && b);
    HWND child = create(WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, 0, a);
    ASSERT_NE(child, nullptr);
    pump(nullptr);
    if (startedIgnoring(signal)) continue;  // the box test's peer sees it
    g_received.clear();
    ASSERT_EQ(std::raise(signal), 0);
    EXPECT_TRUE(closedWindows().empty());
    pump(nullptr);
    EXPECT_EQ(closedWindows(), (std::vector<HWND>{a, b}));
  }
}

TEST(MessageBoxLayout, StylesBecomeSdlButtonsAndAnswersWindowsCodes) {
  using plat::detail::MessageBoxLayout;
  constexpr Uint32 kReturn = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
  constexpr Uint32 kEscape = SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  struct Button {
    int id;
    const char* text;
    Uint32 flags;
  };
  struct Case {
    UINT style;
    std::vector<Button> buttons;
    Uint32 icon;
    int closed, headless;
  } cases[] = {
      {MB_OK, {{IDOK, "OK", kReturn | kEscape}}, SDL_MESSAGEBOX_INFORMATION, IDOK, IDOK},
      {MB_OKCANCEL | MB_ICONQUESTION, {{IDOK, "OK", kReturn}, {IDCANCEL, "Cancel", kEscape}},
       SDL_MESSAGEBOX_INFORMATION, IDCANCEL, IDCANCEL},
      {MB_ABORTRETRYIGNORE | MB_ICONHAND, {{IDABORT, "Abort", kReturn}, {IDRETRY, "Retry", 0}, {IDIGNORE, "Ignore", 0}},
       SDL_MESSAGEBOX_ERROR, IDIGNORE, IDIGNORE},
      {MB_YESNOCANCEL | MB_DEFBUTTON3 | MB_ICONEXCLAMATION,
       {{IDYES, "Yes", 0}, {IDNO, "No", 0}, {IDCANCEL, "Cancel", kReturn | kEscape}}, SDL_MESSAGEBOX_WARNING,
       IDCANCEL, IDCANCEL},
      {MB_YESNO | MB_DEFBUTTON2 | MB_ICONASTERISK, {{IDYES, "Yes", 0}, {IDNO, "No", kReturn}},
       SDL_MESSAGEBOX_INFORMATION, IDNO, IDNO},
      {MB_RETRYCANCEL | MB_DEFBUTTON3, {{IDRETRY, "Retry", kReturn}, {IDCANCEL, "Cancel", kEscape}},
       SDL_MESSAGEBOX_INFORMATION, IDCANCEL, IDCANCEL},  // no third button: the first is the default
      {MB_CANCELTRYCONTINUE | MB_DEFBUTTON2,
       {{IDCANCEL, "Cancel", kEscape}, {IDTRYAGAIN, "Try Again", kReturn}, {IDCONTINUE, "Continue", 0}},
       SDL_MESSAGEBOX_INFORMATION, IDCANCEL, IDCONTINUE},
      {0x0000000Fu | MB_SETFOREGROUND | MB_TOPMOST, {{IDOK, "OK", kReturn | kEscape}}, SDL_MESSAGEBOX_INFORMATION,
       IDOK, IDOK},  // an unknown type is an OK box
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "style 0x" << std::hex << c.style);
    const MessageBoxLayout l = plat::detail::messageBoxLayout(c.style);
    ASSERT_EQ(l.count, static_cast<int>(c.buttons.size()));
    for (int i = 0; i < l.count; ++i) {
      EXPECT_EQ(l.buttons[i].buttonid, c.buttons[i].id) << i;
      EXPECT_STREQ(l.buttons[i].text, c.buttons[i].text) << i;
      EXPECT_EQ(l.buttons[i].flags, c.buttons[i].flags) << i;
      // A button SDL reports is the answer itself.
      EXPECT_EQ(plat::detail::messageBoxAnswer(l, 0, c.buttons[i].id), c.buttons[i].id) << i;
    }
    EXPECT_EQ(l.flags, c.icon);
    EXPECT_EQ(l.closed, c.closed);
    EXPECT_EQ(l.headless, c.headless);
    // Closed without a button (and, defensively, a button the box does not
    // have): the closed answer. A box that could not be shown: 0.
    EXPECT_EQ(plat::detail::messageBoxAnswer(l, 0, -1), c.closed);
    EXPECT_EQ(plat::detail::messageBoxAnswer(l, 0, IDTRYAGAIN + 100), c.closed);
    EXPECT_EQ(plat::detail::messageBoxAnswer(l, -1, c.buttons[0].id), 0);
  }
}

TEST(MessageBoxText, LongLinesBreakAtBlanks) {
  struct Case {
    const char* text;
    size_t columns;
    const char* shown;
  } cases[] = {
      {"short\nlines\n\nstay", 5, "short\nlines\n\nstay"},
      {"aaa bbb ccc", 7, "aaa bbb\nccc"},
      {"aaa bbb ccc", 8, "aaa bbb\nccc"},
      {"aaa bbb ccc", 3, "aaa\nbbb\nccc"},
      {"aaa   \tbbb", 4, "aaa\nbbb"},  // the blanks at a break go
      {"abc   ", 3, "abc"},
      {" The game needs a display", 9, " The game\nneeds a\ndisplay"},  // the indent stays
      {"abcdefghij", 4, "abcd\nefgh\nij"},  // a word longer than a line
      {"ab abcdefgh x", 4, "ab\nabcd\nefgh\nx"},
      {"\xC3\xA4\xC3\xA4\xC3\xA4 \xC3\xB6\xC3\xB6", 4, "\xC3\xA4\xC3\xA4\xC3\xA4\n\xC3\xB6\xC3\xB6"},
      {"\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4", 3, "\xC3\xA4\xC3\xA4\xC3\xA4\n\xC3\xA4\xC3\xA4"},
      {"", 10, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(plat::detail::wrapBoxText(c.text, c.columns), c.shown) << c.text;

  // A report as long as the game's refusal, on an 800-pel screen: every line
  // fits, and only blanks became line breaks.
  const std::string text =
      "Program     : /home/player/ball-maze/build/run/game_data/maze\nFile        : \n\n"
      "Initialization.\n The game needs a display of 800 x 600 pels: set USE_GFX 1, SCR_LX 800 and SCR_LY 600 in "
      "the configuration file, or run `make run`, which repairs the configuration.\n\n"
      "Press Retry to debug the application";
  const size_t columns = plat::detail::boxColumns(800);
  const std::string shown = plat::detail::wrapBoxText(text, columns);
  size_t start = 0;
  for (size_t end; (end = shown.find('\n', start)) != std::string::npos; start = end + 1)
    EXPECT_LE(end - start, columns) << shown.substr(start, end - start);
  EXPECT_LE(shown.size() - start, columns);
  EXPECT_GT(std::count(shown.begin(), shown.end(), '\n'), std::count(text.begin(), text.end(), '\n'));
  ASSERT_EQ(shown.size(), text.size());
  std::string joined = shown;
  for (size_t i = 0; i < text.size(); ++i)
    if (joined[i] == '\n' && text[i] == ' ') joined[i] = ' ';
  EXPECT_EQ(joined, text);
}

}  // namespace
