// The sound API's front: start-up, the effects volume and switch, playing a
// file (or one of its numbered variants), and shutdown.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/str.h"
#include "sound/snd.h"
#include "sound/snd_ds.h"
#include "talvo/File.h"

sndApi sndApiGlobals;

namespace {

sndApi& A = sndApiGlobals;

// "dir/base<k>ext" (k < 0: no number); a name without a directory gets no
// leading separator. False when it does not fit MAX_PATH bytes.
bool soundName(char (&out)[MAX_PATH], const char* dir, const char* base, int k, const char* ext) {
  char number[12] = "";
  if (k >= 0) std::snprintf(number, sizeof number, "%d", k);
  const char* parts[] = {dir, *dir ? "/" : "", base, number, ext};
  size_t n = 0;
  for (const char* part : parts) {
    size_t len = std::strlen(part);
    if (len >= sizeof out - n) return false;  // no room for it and the end
    std::memcpy(out + n, part, len);
    n += len;
  }
  out[n] = 0;
  return true;
}

}  // namespace

void sndInit(HWND mainWindow) {
  if (A.initialised) return;  // once until sndDone
  ERR_TRY(frame) {
    sndDsInit(mainWindow);
    A.initialised = 1;
  }
  ERR_CATCH(frame, code) { errEndCatch(errGetState(), &frame); }
  ERR_END_TRY
  if (!A.initialised) return;
  sndCache = arrCreate(nullptr, 10, sizeof(void*), 10);
  if (!sndCache) {
    sndDsDone();
    A.initialised = 0;
    return;
  }
  for (sndVoice*& slot : A.slots) slot = nullptr;
  A.effectsEnabled = A.musicEnabled = 1;
  A.listenerX = A.listenerY = 0;
  A.effectsVolume = A.musicVolume = 100;
  sndGlobals.globalFocus = 0;
}

void sndSetGlobalFocus(int option) { sndGlobals.globalFocus = option; }

void sndSetVolume(int volume) {
  if (!A.initialised) return;
  A.effectsVolume = volume;
  bool enable = true;
  if (volume > 100) {
    A.effectsVolume = 100;
  } else if (volume <= 0) {
    A.effectsVolume = 0;
    enable = false;
  }
  if (enable) {
    A.effectsEnabled = 1;
    sndRefreshVolume(SND_CATEGORY_EFFECTS);
  } else if (A.effectsEnabled) {
    A.effectsEnabled = 0;
    sndStopEffects();
  }
}

void sndPlayFile(const char* name) {
  // A name that does not fit the path buffers plays nothing.
  if (!name || std::strlen(name) >= MAX_PATH) return;
  char dir[MAX_PATH], base[MAX_PATH], ext[MAX_PATH], chosen[MAX_PATH];
  pathSplit(name, dir, base, ext);
  if (!soundName(chosen, dir, base, -1, ext)) return;
  if (talvo::file_exists(chosen)) {
    // The variants numbered 1, 2 ... up to the first missing one; the plain
    // name and each of them are equally likely.
    char variant[MAX_PATH];
    int n = 1;
    while (soundName(variant, dir, base, n, ext) && talvo::file_exists(variant)) ++n;
    const int r = std::rand() % n;
    if (r) soundName(chosen, dir, base, r, ext);
  }
  if (!A.initialised || !A.effectsEnabled) return;
  if (sndVoice* voice = sndVoiceNew(chosen, A.listenerX, A.listenerY, 1)) sndVoicePlayAt(voice);
}

void sndRefreshVolume(int32_t category) {
  if (!A.initialised) return;
  for (sndVoice* voice : A.slots)
    if (voice && voice->category == category) sndDsSetVolume(voice->channel, (sndVoiceVolume(voice) - 100) * 100);
}

void sndStopEffects() {
  if (!A.initialised) return;
  for (sndVoice*& slot : A.slots) {
    sndVoice* voice = slot;
    if (!voice || voice->category != SND_CATEGORY_EFFECTS || voice->channel < 0 ||
        voice->channel >= SND_VOICE_SLOTS)
      continue;
    sndDsStop(voice->channel);
    slot = nullptr;
    voice->channel = -1;
    if (voice->autoFree) sndVoiceDelete(voice);
  }
}

void sndDone() {
  if (!A.initialised) return;
  for (sndVoice*& slot : A.slots) {
    sndVoice* voice = slot;
    if (!voice) continue;
    if (voice->autoFree) {
      sndVoiceDelete(voice);  // stops its channel and releases its source
    } else {
      voice->channel = -1;  // its owner's voice: the channel goes with the device
    }
    slot = nullptr;
  }
  arrFree(sndCache);
  sndCache = nullptr;
  sndDsDone();
  A.initialised = 0;
}
