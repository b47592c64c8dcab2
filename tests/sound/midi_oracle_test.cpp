// Files written by mido: the converter merges their tracks as
// mido.merge_tracks does, and the player sends each message at mido's
// tempo-aware time.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "midi_music.h"
#include "sound/midi_player.h"
#include "support/shell.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes fromHex(const std::string& hex) {
  Bytes out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

// Lines "number hexbytes".
template <class Number>
std::vector<std::pair<Number, Bytes>> readLines(const std::string& path) {
  std::vector<std::pair<Number, Bytes>> out;
  std::ifstream in(path);
  Number n;
  std::string hex;
  while (in >> n >> hex) out.emplace_back(n, fromHex(hex));
  return out;
}

class MidoSongs : public MidiMusic, public ::testing::WithParamInterface<const char*> {
 protected:
  static void SetUpTestSuite() {
    songs_ = new TempDir;
    ASSERT_EQ(runPython({MAKE_MIDI_SCRIPT, songs_->path.string()}), 0);
  }
  static void TearDownTestSuite() {
    delete songs_;
    songs_ = nullptr;
  }
  std::string path(const std::string& ext) const { return songs_->file(std::string(GetParam()) + ext); }
  static TempDir* songs_;
};
TempDir* MidoSongs::songs_ = nullptr;

TEST_P(MidoSongs, MergeAsMidoDoes) {
  mstrFile* file = nullptr;
  ASSERT_EQ(mstrReadFile(path(".mid").c_str(), &file), MSTR_OK);
  const Conversion c = convert(file, 1024, 0, file->songLength + 1);
  EXPECT_EQ(c.lastFill, MSTR_END);
  EXPECT_EQ(ticksOf(c), readLines<uint32_t>(path(".events")));
  mstrFreeFile(file);
}

TEST_P(MidoSongs, PlayAtMidosTimes) {
  const auto want = readLines<double>(path(".times"));
  MidiPlayer player(window_);
  ASSERT_EQ(player.Play(path(".mid").c_str()), 0);
  ASSERT_TRUE(renderUntilDone(uint64_t{44100} * 60).has_value());
  auto records = plat::test::takeMidiRecords();
  ASSERT_GE(records.size(), 16u);
  records.resize(records.size() - 16);  // the close's all-notes-off
  ASSERT_EQ(records.size(), want.size());
  const uint64_t start = records[0].frame;
  EXPECT_EQ(want[0].first, 0.0);
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(records[i].bytes, want[i].second) << i;
    EXPECT_NEAR(double(records[i].frame - start) / 44100.0, want[i].first, 0.001) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Mido, MidoSongs, ::testing::Values("conductor", "single"));

}  // namespace
