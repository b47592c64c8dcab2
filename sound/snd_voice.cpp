// Voices: one sound placed in the world, started on a channel with a volume,
// a pan and a priority from its distance to the listener.
#include <cmath>

#include "base/mem.h"
#include "sound/snd.h"
#include "sound/snd_ds.h"
#include "sound/snd_source.h"

namespace {

sndApi& A = sndApiGlobals;

bool holdsChannel(const sndVoice* voice) { return voice->channel >= 0 && voice->channel < SND_VOICE_SLOTS; }

// The distance to the listener, truncated.
int64_t distance(const sndVoice* voice) {
  const double dx = double(int64_t(voice->x) - A.listenerX);
  const double dy = double(int64_t(voice->y) - A.listenerY);
  return int64_t(std::sqrt(dx * dx + dy * dy));
}

bool categoryEnabled(int32_t category) {
  if (category == SND_CATEGORY_EFFECTS) return A.effectsEnabled != 0;
  if (category == SND_CATEGORY_MUSIC) return A.musicEnabled != 0;
  return true;
}

int32_t startSource(sndVoice* voice, uint8_t priority, uint32_t flags, int32_t volume, int32_t pan) {
  switch (voice->kind) {
    case SND_KIND_WAV:
      return sndWavPlay(static_cast<sndWavSource*>(voice->source), priority, flags, volume, pan, 0, 10);
    case SND_KIND_MP3:
      return sndMp3Play(static_cast<sndMp3Source*>(voice->source), priority, flags, volume, pan, 0, 10);
    case SND_KIND_OGG:
      return sndOggPlay(static_cast<sndOggSource*>(voice->source), priority, flags, volume, pan, 0, 10);
    default:
      return SND_DS_NO_DEVICE;
  }
}

}  // namespace

sndVoice* sndVoiceNew(const char* name, int32_t x, int32_t y, int32_t autoFree) {
  if (!A.initialised || !name) return nullptr;
  auto* voice = static_cast<sndVoice*>(memCalloc(sizeof(sndVoice)));
  if (!voice) return nullptr;
  voice->channel = -1;
  voice->x = x;
  voice->y = y;
  voice->category = SND_CATEGORY_EFFECTS;
  voice->autoFree = autoFree;
  voice->volume = 100;
  voice->source = sndLoad(name, &voice->kind);
  if (!voice->source) {
    memHooks.free(voice);
    return nullptr;
  }
  return voice;
}

void sndVoiceDelete(sndVoice* voice) {
  if (!A.initialised || !voice) return;
  if (holdsChannel(voice)) sndVoiceStop(voice);
  if (sndCacheEntry* entry = sndCacheFindSource(voice->source)) {
    if (--entry->references <= 0) sndUnload(entry);
  }
  memHooks.free(voice);
}

void sndVoiceStop(sndVoice* voice) {
  if (!A.initialised || !voice || !holdsChannel(voice)) return;
  sndDsStop(voice->channel);
  if (A.slots[voice->channel] == voice) A.slots[voice->channel] = nullptr;
  voice->channel = -1;
}

void sndVoicePlay(sndVoice* voice, int32_t volume, int32_t pan, uint32_t playFlags, int32_t priority) {
  if (!A.initialised || !voice) return;
  if (!categoryEnabled(voice->category)) {
    if (voice->autoFree) sndVoiceDelete(voice);
    return;
  }
  if (priority < 0 || priority > 255) priority = sndVoicePriority(voice);
  // A voice keeps one channel: its earlier play ends here, so that no slot
  // but the new one holds it and no channel plays its source unseen.
  if (holdsChannel(voice)) sndVoiceStop(voice);
  const int32_t result = uint8_t(startSource(voice, uint8_t(priority), playFlags, volume, pan));
  if (result >= SND_VOICE_SLOTS) {
    if (voice->autoFree) sndVoiceDelete(voice);
    return;
  }
  if (sndVoice* previous = A.slots[result]) {
    A.slots[result] = nullptr;
    previous->channel = -1;  // its sound is gone: the channel plays this one
    if (previous->autoFree) sndVoiceDelete(previous);
  }
  A.slots[result] = voice;
  voice->channel = result;
}

int32_t sndVoicePlayAt(sndVoice* voice) {
  const int32_t volume = sndVoiceVolume(voice);
  const int32_t pan = sndVoicePan(voice);
  sndVoicePlay(voice, (volume - 100) * 100, pan * 100, 0, -1);
  return 0;
}

int32_t sndVoiceVolume(const sndVoice* voice) {
  if (!A.initialised || !voice) return 0;
  const int64_t d = distance(voice);
  if (d >= 8000) return 0;
  const int32_t c =
      voice->volume * (voice->category == SND_CATEGORY_MUSIC ? A.musicVolume : A.effectsVolume) / 100;
  return c - int32_t(c * double(d) * 0.000125);
}

uint8_t sndVoicePriority(const sndVoice* voice) {
  if (!A.initialised || !voice) return 0;
  // Clamped before the byte: far voices get 0, not a wrapped high priority.
  const double p = 255.0 - double(distance(voice)) * 0.032;
  return p <= 0 ? 0 : p >= 255 ? 255 : uint8_t(p);
}

int32_t sndVoicePan(const sndVoice* voice) {
  if (!A.initialised || !voice) return 0;
  const double p = double(int64_t(voice->x) - A.listenerX) * A.effectsVolume * 0.000125;
  return p <= -100 ? -100 : p >= 100 ? 100 : int32_t(p);
}
