// The sound cache: one open source per file name, shared by every voice of
// that name and counted by them.
#include <cstring>

#include "base/mem.h"
#include "base/str.h"
#include "sound/snd.h"
#include "sound/snd_source.h"

arrArray* sndCache = nullptr;

namespace {

sndCacheEntry* entryAt(int32_t index) {
  sndCacheEntry* entry = nullptr;
  return arrGet(sndCache, index, &entry) == index ? entry : nullptr;
}

int32_t entryCount() { return sndCache ? sndCache->count : 0; }

bool sameName(const char* a, const char* b) {
  for (; *a && chrLower(*a) == chrLower(*b); ++a, ++b) {
  }
  return chrLower(*a) == chrLower(*b);
}

void closeSource(void* source, int32_t kind) {
  switch (kind) {
    case SND_KIND_WAV:
      sndWavClose(static_cast<sndWavSource*>(source));
      break;
    case SND_KIND_MP3:
      sndMp3Close(static_cast<sndMp3Source*>(source));
      break;
    case SND_KIND_OGG:
      sndOggClose(static_cast<sndOggSource*>(source));
      break;
    default:
      break;
  }
}

void freeEntry(sndCacheEntry* entry) {
  memHooks.free(entry->name);
  memHooks.free(entry);
}

}  // namespace

sndCacheEntry* sndCacheFind(const char* name) {
  if (!name) return nullptr;
  for (int32_t i = 0; i < entryCount(); ++i) {
    sndCacheEntry* entry = entryAt(i);
    if (entry && sameName(entry->name, name)) return entry;
  }
  return nullptr;
}

sndCacheEntry* sndCacheFindSource(const void* source) {
  if (!source) return nullptr;
  for (int32_t i = 0; i < entryCount(); ++i) {
    sndCacheEntry* entry = entryAt(i);
    if (entry && entry->source == source) return entry;
  }
  return nullptr;
}

int32_t sndCacheIndex(const sndCacheEntry* entry) {
  for (int32_t i = 0; entry && i < entryCount(); ++i)
    if (entryAt(i) == entry) return i;
  return -1;
}

void* sndLoad(const char* name, int32_t* kind) {
  if (!sndApiGlobals.initialised || !name) return nullptr;
  if (sndCacheEntry* found = sndCacheFind(name)) {
    ++found->references;
    if (kind) *kind = found->kind;
    return found->source;
  }
  auto* entry = static_cast<sndCacheEntry*>(memCalloc(sizeof(sndCacheEntry)));
  if (!entry) return nullptr;
  entry->references = 1;
  char ext[MAX_PATH];
  pathSplit(name, nullptr, nullptr, ext);
  strLower(ext);
  // Every failure raised while the source opens lands here: the load fails
  // without a box.
  ERR_TRY(frame) {
    entry->name = strDup(name);
    if (!std::strcmp(ext, ".wav")) {
      entry->kind = SND_KIND_WAV;
      entry->source = sndWavOpen(name);
    } else if (!std::strcmp(ext, ".mp3")) {
      entry->kind = SND_KIND_MP3;
      entry->source = sndMp3Open(name);
    } else if (!std::strcmp(ext, ".ogg")) {
      entry->kind = SND_KIND_OGG;
      entry->source = sndOggOpen(name);
    } else {
      errPrintf(ERR_LEVEL_ERROR, "Unknown sound format!");
    }
    if (entry->source) arrAppend(sndCache, &entry);
  }
  ERR_CATCH(frame, code) {
    if (entry->source) closeSource(entry->source, entry->kind);
    entry->source = nullptr;
    errEndCatch(errGetState(), &frame);
  }
  ERR_END_TRY
  if (!entry->source) {
    freeEntry(entry);
    return nullptr;
  }
  if (kind) *kind = entry->kind;
  return entry->source;
}

void sndUnload(sndCacheEntry* entry) {
  if (!sndApiGlobals.initialised || !entry) return;
  const int32_t index = sndCacheIndex(entry);
  closeSource(entry->source, entry->kind);
  freeEntry(entry);
  if (index >= 0) arrRemove(sndCache, index);
}
