// The platform layer's test API: scripts what a user would answer, captures
// what the program showed, and injects what the machine would report.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win_types.h"

struct IDirectDrawSurface7;

namespace plat::test {

struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
};

// The next boxes answer these results, in order (each answer is used once).
// Without a scripted answer and without a display a box answers IDIGNORE for
// Abort/Retry/Ignore, IDOK for OK, IDCANCEL for boxes with Cancel, IDNO for
// Yes/No and IDCONTINUE for Cancel/Try again/Continue.
void pushMessageBoxAnswer(int answer);
void clearMessageBoxAnswers();
// Every box shown since the last call (also when answered by a script).
std::vector<MessageBoxRecord> takeMessageBoxes();
// Stands in for the window system's box wherever a box would be shown, also
// headless (a scripted answer still comes first): called on the box's
// thread, while the box is up, with the text laid out as the box shows it
// and the caption; returns MessageBoxA's result. Null: the window system's
// box.
using MessageBoxShower = int (*)(const char* text, const char* caption);
void setMessageBoxShower(MessageBoxShower show);

struct ShowWindowRecord {
  HWND window;
  int command;
};
std::vector<ShowWindowRecord> takeShowWindowCalls();

// Replaces the executable path GetModuleFileNameA reports (null: the real one).
void setModuleFileName(const char* path);

// OutputDebugStringA texts are kept while capturing is on.
void captureDebugOutput(bool on);
std::vector<std::string> takeDebugOutput();

// The cursor display counter ShowCursor keeps.
int cursorCount();
void setCursorCount(int count);

// True when no box or window can be shown (SDL's dummy or offscreen video
// driver, or no display at all).
bool headless();

// --- windows and input ---

// With focus assumed, the layer plays the window manager's part in focus: a
// window shown (or restored, or raised with SetForegroundWindow) becomes the
// foreground window and its application receives WM_ACTIVATEAPP 1; hiding,
// minimising or destroying it sends WM_ACTIVATEAPP 0. SDL's focus events are
// then ignored. On by default when headless.
void setAssumeFocus(bool on);
bool assumeFocus();

// The directory of the single-instance lock files (null: the user's runtime
// directory, $XDG_RUNTIME_DIR/talvo or /tmp/talvo-<uid>). Tests that open
// windows give each test its own fresh directory, so that test processes
// running side by side never find each other's windows.
void setInstanceDir(const char* dir);

// Input as the user would give it. The cursor moves on the desktop: the window
// under it gets WM_MOUSEMOVE in client coordinates, a window it leaves gets
// WM_MOUSELEAVE when tracked. Keys (mouse buttons VK_LBUTTON, VK_RBUTTON,
// VK_MBUTTON included; generic Shift, Control and Alt stand for the left key)
// go to the key table and, as key messages, to the foreground window.
void injectCursorMove(int x, int y);
void injectKey(int virtualKey, bool down);
// GetCursorPos fails (FALSE) while this is on.
void setCursorPosFails(bool fail);
// The input as a process starts: every key up and not pressed since the last
// poll, the cursor at (0, 0), GetCursorPos working. No messages are sent.
void resetInput();

enum class WindowEvent { Close, Expose, Minimized, Restored, Shown, FocusGained, FocusLost, Maximized, Moved, Resized };
// What the window system reports about a window, handled as the SDL event.
// Moved: the client area now starts at (x, y) on the desktop; Resized: it is
// now x by y pels. For those two the SDL window is first put there, as the
// window system would have done. Expose (uncovered), Shown (mapped) and
// Restored come from a display that has lost the window's picture: the copy
// of the display that keepScreen keeps loses it first.
void injectWindowEvent(HWND window, WindowEvent event, int x = 0, int y = 0);

// A pass-driven input script for a program's main loop. A pass is counted
// each time PeekMessageA, asked for every message of a window, finds that
// window's queue empty; the window it asked for is the main window the steps
// act on. Each step waits `passes` passes after the previous step ran (the
// first: after the script was set; 0 runs it in the same pass), then acts;
// messages the step causes are then returned by that same PeekMessageA.
struct ScriptStep {
  enum class Kind { Move, Key, Close, Call };
  int passes = 0;
  Kind kind = Kind::Call;
  int x = 0, y = 0;        // Move: the point of the main window's client area
  int key = 0;             // Key: the virtual key (mouse buttons included)
  bool down = false;       // Key: pressed or released
  std::function<void()> call{};  // Call: the test function
};
ScriptStep moveTo(int passes, int x, int y);
ScriptStep keyDown(int passes, int virtualKey);
ScriptStep keyUp(int passes, int virtualKey);
// WM_CLOSE as the window system sends it when the user closes the window.
ScriptStep closeWindow(int passes);
ScriptStep callAt(int passes, std::function<void()> call);
// Replaces the script (an empty one stops scripting) and restarts the count.
void setInputScript(std::vector<ScriptStep> steps);
// Passes counted since the script was set, and the steps not yet run.
int scriptPasses();
size_t scriptStepsLeft();

// --- faults and the call trace of the COM-style interfaces ---
//
// One mechanism for every emulated interface (DirectDraw, DirectSound) and
// its creation function. The winmm MIDI calls (midiStreamOut...) and the
// memory allocations (GlobalAlloc, GlobalReAlloc, LocalAlloc, LocalReAlloc)
// and WriteFile take faults too: a MIDI call returns the result as its
// MMRESULT, an allocation returns null and WriteFile FALSE, with the result
// as the last error (ENOSPC: a full disk). An operation is named as the
// interface declares it: "Blt", "Lock", "CreateSoundBuffer",
// "DirectSoundCreate". Where two interfaces share a name,
// "IDirectSoundBuffer::Lock" names one of them; the plain name names the
// operation of every interface.

// The next `count` calls of the operation fail with `result`: such a call
// does nothing else (no output is written). Faults asked for one operation
// are used in the order asked. A count of 0 drops the operation's pending
// faults (for that exact name).
void failNext(const std::string& op, int count, HRESULT result);
// Drops every pending fault.
void clearFaults();

struct CallRecord {
  std::string op{};               // the plain name: "Lock"
  std::string iface{};            // "IDirectSoundBuffer"; empty for a free function
  const void* object = nullptr;   // the interface called, or what a function made
  std::vector<RECT> rects{};      // up to two rectangles: destination, then source
  DWORD flags = 0;                // the call's flags argument
  HRESULT result = 0;             // what the call returned (injected faults too)
  std::vector<int64_t> values{};  // its other numeric arguments, as each layer documents
  std::string text{};             // a text argument, where there is one
};
// Starts or stops recording the calls (off at start). Switching clears the
// records. The trace holds calls of every thread in the order they returned.
void traceCalls(bool on);
// The calls recorded since tracing started or since the last take.
std::vector<CallRecord> takeCalls();

// --- clock ---
//
// A manual clock for QueryPerformanceCounter, timeGetTime and Sleep: it starts
// at the real clock's reading and moves only by advanceClock and by Sleep,
// which returns at once. Off at start; switching clears the sleeps record.
void setManualClock(bool on);
void advanceClock(DWORD milliseconds);
// The Sleep calls made while the manual clock ran, since the last take.
std::vector<DWORD> takeSleeps();

// --- display (DirectDraw and GDI) ---

// The desktop's pel format, which the window-mode primary surface and the
// surfaces made in the display's format take (R5G6B5 at start). Applies to
// surfaces created afterwards.
enum class DesktopFormat { R5G6B5, X1R5G5B5, R8G8B8, X8R8G8B8 };
void setDesktopFormat(DesktopFormat format);
// The video memory budget in bytes (32 MiB at start).
void setVideoMemory(DWORD bytes);
// Extra bytes at the end of every row of surfaces created afterwards
// (rounded up so pitches stay multiples of 4 and of the pel size).
void setRowPadding(int bytes);
// Desktop format, budget and padding as at start.
void resetDisplay();

// The surface (one, or every surface of the process) is lost, as when the
// display mode changes; its pels are kept.
void loseSurface(IDirectDrawSurface7* surface);
void loseAllSurfaces();

// Pels read back: rows of width * (bitsPerPel / 8) bytes, top row first,
// in the layout of the SDL pixel format named (an SDL_PixelFormatEnum).
struct PelImage {
  int width = 0;
  int height = 0;
  int bitsPerPel = 0;
  uint32_t sdlFormat = 0;
  std::vector<uint8_t> pels;
};
// A surface's pels (whether or not it is locked or lost).
PelImage readSurface(IDirectDrawSurface7* surface);
// What the window's SDL surface holds (its client area): empty when the
// window has none.
PelImage readWindowSurface(HWND window);
// A copy of what the display shows of each window, for tests: while on, every
// pel the layer sends to a window's display is kept (black where none was
// sent), and an injected event of a display that lost the picture (see
// injectWindowEvent) blacks it. Off at start; switching drops the copies.
void keepScreen(bool on);
// What the display shows of the window's client area, in readWindowSurface's
// layout: empty when nothing was sent to it since keepScreen(true).
PelImage readWindowScreen(HWND window);

// The pel loops of blits and presents: the fastest the processor runs
// (Best), or the portable ones.
enum class PelPath { Best, Portable };
void setPelPath(PelPath path);

// --- MIDI ---

struct MidiRecord {
  uint64_t frame;              // of the MIDI input (midiFrames), where the message applied
  std::vector<uint8_t> bytes;  // a channel message, or a whole F0 ... F7 message
};
// While on, the MIDI output goes to a record list instead of the synthesizer
// (which then need not exist), and midiOutGetNumDevs reports the device.
// Switching clears the list.
void recordMidi(bool on);
std::vector<MidiRecord> takeMidiRecords();
// The SoundFont the synthesizer loads from now on; null restores the search
// (TALVO_SOUNDFONT, then Debian's TimGM6mb). A path that does not exist
// leaves the system without a MIDI device.
void setMidiSoundFont(const char* path);
// The MIDI stream renders into the audio device's second input (opened by
// the first MIDI call that needs the device, for the process): on the manual
// audio clock renderAudio drives it. Switch the clock on before that first
// call. Frames the device has rendered through the MIDI input so far (the
// records' frames count on the same clock):
uint64_t midiFrames();
// Returns once the MIDI callback thread has run every callback due.
void waitMidiCallbacks();

// --- audio ---
//
// The audio device (platform/win_dsound.h) plays 44100 Hz stereo 16-bit.
// With the manual audio clock on, DirectSoundCreate opens no SDL device and
// the mix runs only inside renderAudio: time stands still for every buffer
// (a stalled device) until a test renders. Switch it while no DirectSound
// object exists; off at start.
void setManualAudioClock(bool on);
// Runs the mix for `frames` device frames as the device would, a period
// (512 frames) at a time, moving every playing buffer's cursors, and returns
// the samples: left and right interleaved, 2 x frames values. The primary
// buffer need not play.
std::vector<int16_t> renderAudio(int frames);

}  // namespace plat::test
