// The sound API: the plain functions the engine and the game call to play
// sound files, and beneath them voices (one sound placed in the world, with a
// volume and a category), a name-keyed cache of open sound sources with
// reference counts, the effects and music categories, and the arithmetic
// that turns a voice's distance from the listener into a channel volume, a
// pan and a priority.
//
// Every call comes from the window thread; the API takes no lock (the
// channel layer does). Every call does nothing (or returns 0) until sndInit
// and after sndDone.
#pragma once

#include <cstdint>

#include "base/arr.h"
#include "platform/win_types.h"

#define SND_CATEGORY_EFFECTS 0
#define SND_CATEGORY_MUSIC 1

#define SND_KIND_WAV 0
#define SND_KIND_MP3 1
#define SND_KIND_OGG 2

#define SND_VOICE_SLOTS 10  // one per channel

struct sndVoice {
  void* source;     // borrowed from the cache
  int32_t channel;  // -1 while it holds no channel slot
  int32_t x, y;
  int32_t category;  // SND_CATEGORY_*; every voice is made an effect
  int32_t kind;      // SND_KIND_*
  int32_t autoFree;  // the API frees it when it leaves its slot or fails to start
  int32_t volume;    // 0..100
};

struct sndCacheEntry {
  char* name;  // owned copy of the name the source was opened under
  void* source;
  int32_t references;  // one per voice
  int32_t kind;
};

// The API's process state; the channel layer keeps its own (sndGlobals).
struct sndApi {
  sndVoice* slots[SND_VOICE_SLOTS];  // the voice of each channel, or null
  int32_t listenerX, listenerY;
  int32_t effectsVolume, musicVolume;  // 0..100
  int32_t effectsEnabled, musicEnabled;
  int32_t initialised;
};
extern sndApi sndApiGlobals;
// Beside it, the cache: an array of sndCacheEntry pointers.
extern arrArray* sndCache;

// The public calls.
void sndInit(HWND mainWindow);
// Non-zero: sound buffers created afterwards keep playing while the window
// is not focused.
void sndSetGlobalFocus(int option);
// The effects volume, 0..100; 0 or below switches effects off (stopping
// every effect), above 100 is taken as 100.
void sndSetVolume(int volume);
// Plays the file, or one of its numbered variants ("click1.wav",
// "click2.wav" ... beside "click.wav") picked with rand(), at the listener.
void sndPlayFile(const char* name);
void sndDone();

// The cache.
void* sndLoad(const char* name, int32_t* kind);
void sndUnload(sndCacheEntry* entry);
sndCacheEntry* sndCacheFind(const char* name);
sndCacheEntry* sndCacheFindSource(const void* source);
int32_t sndCacheIndex(const sndCacheEntry* entry);

// Voices.
sndVoice* sndVoiceNew(const char* name, int32_t x, int32_t y, int32_t autoFree);
void sndVoiceDelete(sndVoice* voice);
// volume and pan in DirectSound units; a priority outside 0..255 is the
// voice's own (sndVoicePriority).
void sndVoicePlay(sndVoice* voice, int32_t volume, int32_t pan, uint32_t playFlags, int32_t priority);
int32_t sndVoicePlayAt(sndVoice* voice);
void sndVoiceStop(sndVoice* voice);
int32_t sndVoiceVolume(const sndVoice* voice);
uint8_t sndVoicePriority(const sndVoice* voice);
int32_t sndVoicePan(const sndVoice* voice);

void sndRefreshVolume(int32_t category);
void sndStopEffects();
