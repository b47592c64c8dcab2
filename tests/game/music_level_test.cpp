// The game's music as the player hears it: the whole song (DATA/music.mid,
// 30 s) through the MIDI stream and the General MIDI synthesizer into the
// audio device, rendered on its manual clock. A desktop General MIDI
// synthesizer plays such music loud with headroom: over the 30 s an RMS of
// -25 to -19 dBFS, the loudest sample between -9 and -3 dBFS, none at full
// scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/test_api.h"
#include "platform/win_mmsystem.h"
#include "platform/win_user.h"
#include "sound/midi_player.h"
#include "support/temp_dir.h"

namespace {

double dbfs(double level) { return 20 * std::log10(level / 32768); }

TEST(GameMusic, PlaysLoudWithoutClipping) {
  TempDir instances;
  plat::test::setInstanceDir(instances.path.c_str());
  plat::test::setManualAudioClock(true);  // before the first MIDI call opens the device
  ASSERT_EQ(midiOutGetNumDevs(), 1u) << "the General MIDI SoundFont (timgm6mb-soundfont) is missing";
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "MusicOwner";
  ASSERT_NE(RegisterClassExA(&wc), 0);
  HWND owner = CreateWindowExA(0, "MusicOwner", "music", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);

  constexpr int kFrames = 30 * 44100, kBlock = 512;
  std::vector<int16_t> samples;
  samples.reserve(2 * size_t(kFrames));
  {
    MidiPlayer player(owner);
    const std::string song = (std::filesystem::path(TALVO_GAME_DIR) / "DATA" / "music.mid").string();
    ASSERT_EQ(player.Play(song.c_str()), 0);
    for (int done = 0; done < kFrames; done += kBlock) {
      const std::vector<int16_t> block = plat::test::renderAudio(std::min(kBlock, kFrames - done));
      samples.insert(samples.end(), block.begin(), block.end());
      plat::test::waitMidiCallbacks();
    }
  }
  plat::test::waitMidiCallbacks();
  DestroyWindow(owner);
  plat::test::setInstanceDir(nullptr);

  double sum = 0;
  int peak = 0, fullScale = 0;
  for (int16_t s : samples) {
    sum += double(s) * s;
    peak = std::max(peak, std::abs(int{s}));
    fullScale += s == INT16_MAX || s == INT16_MIN;
  }
  const double rms = dbfs(std::sqrt(sum / double(samples.size())));
  EXPECT_GE(rms, -25.0);
  EXPECT_LE(rms, -19.0);
  EXPECT_GE(dbfs(peak), -9.0);
  EXPECT_LE(dbfs(peak), -3.0);
  EXPECT_EQ(fullScale, 0);
  std::printf("the game's music over 30 s: RMS %.1f dBFS, peak %.1f dBFS\n", rms, dbfs(peak));
}

}  // namespace
