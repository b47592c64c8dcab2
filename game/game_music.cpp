#include "game/game_music.h"

#include "sound/midi_player.h"

GameMusic::~GameMusic() { delete player_; }

GameMusic& GameMusic::operator=(MidiPlayer* player) {
  if (player != player_) {
    delete player_;
    player_ = player;
  }
  return *this;
}
