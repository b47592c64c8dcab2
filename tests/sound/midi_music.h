// The fixture of the stream module and music player tests: an owner window
// for MSTR_MSG_DONE, the recording sink, the audio device on the manual
// clock, songs in a temporary directory, and a state block set up as the
// player sets up its own.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include "midi_bytes.h"
#include "platform/test_api.h"
#include "sound/mstr_stream.h"
#include "support/temp_dir.h"

constexpr uint32_t kBlock = 256;  // frames rendered between looks at the callbacks and messages

class MidiMusic : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::test::setInstanceDir(dir_.path.c_str());
    // Before the first MIDI call opens the audio device: the tests render it.
    plat::test::setManualAudioClock(true);
    plat::test::recordMidi(true);
    static bool registered = false;
    if (!registered) {
      WNDCLASSEXA wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = DefWindowProcA;
      wc.lpszClassName = "MidiOwner";
      ASSERT_NE(RegisterClassExA(&wc), 0);
      registered = true;
    }
    window_ = CreateWindowExA(0, "MidiOwner", "music", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    plat::test::waitMidiCallbacks();
    DestroyWindow(window_);
    plat::test::recordMidi(false);
    plat::test::setMidiSoundFont(nullptr);
    plat::test::setInstanceDir(nullptr);
  }

  std::string song(const std::string& name, const std::string& content) {
    writeBytes(dir_.file(name), content);
    return dir_.file(name);
  }

  // Renders block by block, letting the callbacks run, until the window gets
  // MSTR_MSG_DONE or maxFrames have passed.
  std::optional<MSG> renderUntilDone(uint64_t maxFrames) {
    for (uint64_t done = 0; done < maxFrames; done += kBlock) {
      plat::test::renderAudio(kBlock);
      plat::test::waitMidiCallbacks();
      MSG m;
      if (PeekMessageA(&m, window_, MSTR_MSG_DONE, MSTR_MSG_DONE, PM_REMOVE)) return m;
    }
    return std::nullopt;
  }

  TempDir dir_;
  HWND window_ = nullptr;
};

// A state block as the player makes it.
struct Module {
  mstrState st{};
  explicit Module(HWND owner, const std::string& file) : name(file) {
    st.bufferCount = 4;
    st.bufferSize = 1024;
    EXPECT_EQ(mstrAllocBuffers(&st), 0);
    st.owner = owner;
    st.device = MIDI_MAPPER;
    st.fileName = name.c_str();
  }
  ~Module() {
    EXPECT_TRUE(mstrStop(&st));
    mstrClose(&st);
    mstrFreeConvHeader(&st);
    mstrFreeBuffers(&st);
  }
  int cue(uint32_t start) {
    const mstrRange range{start, st.songLength + 1};
    return mstrCue(&st, &range);
  }
  std::set<MIDIHDR*> freeList() const {
    std::set<MIDIHDR*> out;
    for (MIDIHDR* h = st.freeList; h; h = h->lpNext) out.insert(h);
    return out;
  }
  std::string name;
};
