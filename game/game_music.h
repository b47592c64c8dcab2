// The holder of the game's music player: it owns one MidiPlayer, deletes
// the one it held when given another, and deletes its player when destroyed
// (after the program's shutdown, so the music plays on through it).
#pragma once

class MidiPlayer;

class GameMusic {
 public:
  GameMusic() = default;
  GameMusic(const GameMusic&) = delete;
  GameMusic& operator=(const GameMusic&) = delete;
  ~GameMusic();

  // Takes the player; the old one is deleted unless it is the same.
  GameMusic& operator=(MidiPlayer* player);
  MidiPlayer* get() const { return player_; }
  MidiPlayer* operator->() const { return player_; }
  explicit operator bool() const { return player_ != nullptr; }

 private:
  MidiPlayer* player_ = nullptr;
};
