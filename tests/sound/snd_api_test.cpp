// The sound API over the channel layer: files played at the listener, the
// cache and its reference counts, the volume arithmetic, the effects
// switch, and a voice played again.
#include <cstdlib>
#include <set>

#include "api_support.h"
#include "base/mf.h"
#include "support/shell.h"

namespace {

using namespace api_test;

TEST_F(SoundApi, PlayFileStartsTheWavAtTheListenerAndMixesItsSamples) {
  // In the device's own format the mix gives back the file's samples.
  const Bytes pcm = pattern(4096 * 4, 5);
  const std::string path = wav("click.wav", pcm, 2, 44100, 16);
  plat::test::traceCalls(true);
  sndPlayFile(path.c_str());
  const auto calls = plat::test::takeCalls();
  EXPECT_EQ(valuesOf(calls, "SetVolume"), (std::vector<int64_t>{0}));
  EXPECT_EQ(valuesOf(calls, "SetPan"), (std::vector<int64_t>{0}));
  sndVoice* v = sndApiGlobals.slots[0];
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->channel, 0);
  EXPECT_EQ(v->autoFree, 1);
  EXPECT_EQ(v->kind, SND_KIND_WAV);
  EXPECT_EQ(sndGlobals.channels[0].priority, 255);
  ASSERT_EQ(cacheCount(), 1);
  sndCacheEntry* e = sndCacheFindSource(v->source);
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->name, built("click.wav").c_str()) << "the name as built, doubled separator and all";
  EXPECT_EQ(e->references, 1);

  const std::vector<int16_t> out = render(4096 + 1024);
  for (size_t i = 0; i < 4096 * 2; ++i)
    ASSERT_EQ(out[i], int16_t(pcm[2 * i] | pcm[2 * i + 1] << 8)) << "sample " << i;
  for (size_t i = 4096 * 2; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << "sample " << i;
  EXPECT_FALSE(active(0));
  // The ended sound's voice stays in its slot until something frees it.
  EXPECT_EQ(sndApiGlobals.slots[0], v);
}

TEST_F(SoundApi, OneFileSharesOneEntryUntilItsLastVoiceGoes) {
  const std::string path = wav("click.wav", pattern(2000));
  sndPlayFile(path.c_str());
  sndPlayFile(path.c_str());
  ASSERT_EQ(cacheCount(), 1);
  sndCacheEntry* e = sndCacheFind(built("click.wav").c_str());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->references, 2);
  EXPECT_EQ(sndCacheIndex(e), 0);
  ASSERT_EQ(voicesSlotted(), 2);
  EXPECT_EQ(sndApiGlobals.slots[0]->source, sndApiGlobals.slots[1]->source);

  // Names differing in case share the entry.
  std::string upper = built("CLICK.WAV");
  sndVoice* v = sndVoiceNew(upper.c_str(), 0, 0, 0);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->source, e->source);
  EXPECT_EQ(e->references, 3);
  EXPECT_EQ(sndCacheFind(upper.c_str()), e);
  sndVoiceDelete(v);
  EXPECT_EQ(e->references, 2);

  // Switching effects off frees both voices: the source closes, the entry
  // goes.
  sndSetVolume(0);
  EXPECT_EQ(voicesSlotted(), 0);
  EXPECT_EQ(cacheCount(), 0);
  for (mfFile* f = mfOpenFiles(); f; f = f->next)
    EXPECT_NE(std::string(f->name).rfind(tmp_.path.string(), 0), 0u) << "still open: " << f->name;
}

TEST_F(SoundApi, EffectsVolumeAndSwitch) {
  // Applied in order to one voice playing at the listener.
  const std::string path = wav("click.wav", pattern(40000));
  sndPlayFile(path.c_str());
  ASSERT_EQ(voicesSlotted(), 1);
  struct Case {
    const char* name;
    int volume;
    int32_t stored, enabled;
    std::vector<int64_t> setVolume;  // the device calls, neighbour first
    int stops;
    int slotted;
  } cases[] = {
      {"50 refreshes the voice to -5000", 50, 50, 1, {-5001, -5000}, 0, 1},
      {"150 stores 100 and refreshes to 0", 150, 100, 1, {-1, 0}, 0, 1},
      {"-5 stores 0, stops and frees the effect", -5, 0, 0, {}, 1, 0},
      {"0 again does nothing", 0, 0, 0, {}, 0, 0},
      {"30 switches on again", 30, 30, 1, {}, 0, 0},
  };
  plat::test::traceCalls(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sndSetVolume(c.volume);
    const auto calls = plat::test::takeCalls();
    EXPECT_EQ(sndApiGlobals.effectsVolume, c.stored);
    EXPECT_EQ(sndApiGlobals.effectsEnabled, c.enabled);
    EXPECT_EQ(valuesOf(calls, "SetVolume"), c.setVolume);
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](auto& r) { return r.op == "Stop"; }), c.stops);
    EXPECT_EQ(voicesSlotted(), c.slotted);
  }
  EXPECT_EQ(cacheCount(), 0);

  // At 50 a new sound at the listener starts at -5000.
  sndSetVolume(50);
  sndPlayFile(path.c_str());
  EXPECT_EQ(valuesOf(plat::test::takeCalls(), "SetVolume"), (std::vector<int64_t>{-5000}));
  // Effects off: nothing is loaded or started.
  sndSetVolume(-1);
  sndPlayFile(path.c_str());
  EXPECT_EQ(cacheCount(), 0);
  EXPECT_EQ(voicesSlotted(), 0);
}

TEST_F(SoundApi, DistanceGivesVolumePriorityAndPan) {
  const std::string path = wav("click.wav", pattern(200));
  struct Case {
    int32_t x, y;
    int effects;
    int32_t volume;
    int priority;
    int32_t pan;
  } cases[] = {
      {0, 0, 100, 100, 255, 0},
      {100, 0, 100, 99, 251, 1},  // 255 - 3.2 truncated
      {4000, 0, 100, 50, 127, 50},
      {0, -4000, 100, 50, 127, 0},
      {3000, 4000, 100, 38, 95, 37},  // 62.5 and 37.5 truncated
      {4000, 0, 50, 25, 127, 25},
      {-4000, 0, 50, 25, 127, -25},
      {7968, 0, 100, 1, 0, 99},
      {7969, 0, 100, 1, 0, 99},  // the priority no longer wraps to 255
      {8000, 0, 100, 0, 0, 100},
      {-20000, 0, 100, 0, 0, -100},
      {INT32_MAX, INT32_MIN, 100, 0, 0, 100},  // distances in 64 bits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << ", " << c.y << " at " << c.effects);
    sndSetVolume(c.effects);
    sndVoice* v = sndVoiceNew(path.c_str(), c.x, c.y, 0);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(sndVoiceVolume(v), c.volume);
    EXPECT_EQ(sndVoicePriority(v), c.priority);
    EXPECT_EQ(sndVoicePan(v), c.pan);
    plat::test::traceCalls(true);
    EXPECT_EQ(sndVoicePlayAt(v), 0);
    const auto calls = plat::test::takeCalls();
    plat::test::traceCalls(false);
    ASSERT_GE(v->channel, 0);
    EXPECT_EQ(sndGlobals.channels[v->channel].priority, c.priority);
    EXPECT_EQ(valuesOf(calls, "SetVolume"), (std::vector<int64_t>{(c.volume - 100) * 100}));
    EXPECT_EQ(valuesOf(calls, "SetPan"), (std::vector<int64_t>{c.pan * 100}));
    sndVoiceDelete(v);
  }
  EXPECT_EQ(cacheCount(), 0);
}

TEST_F(SoundApi, FarVoiceDoesNotStealFromNearOnes) {
  // Ten effects at the listener hold every channel; a voice 7969 units away
  // has priority 0 and gets none.
  // (Ten files: the channels refuse a seventh play of one.)
  std::vector<sndVoice*> near;
  for (int i = 0; i < 10; ++i) {
    const std::string path = wav("click" + std::to_string(i) + ".wav", pattern(40000));
    near.push_back(sndVoiceNew(path.c_str(), 0, 0, 0));
    sndVoicePlayAt(near.back());
    ASSERT_EQ(near.back()->channel, i);
  }
  sndVoice* far = sndVoiceNew(tmp_.file("click0.wav").c_str(), 7969, 0, 0);
  sndVoicePlayAt(far);
  EXPECT_EQ(far->channel, -1);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(sndApiGlobals.slots[i], near[size_t(i)]);
  sndVoiceDelete(far);
  for (sndVoice* v : near) sndVoiceDelete(v);
  EXPECT_EQ(cacheCount(), 0);
}

TEST_F(SoundApi, VoicePlayedAgainKeepsOneSlot) {
  const std::string path = wav("click.wav", pattern(40000));
  // An owner's voice restarted twice while it plays: one slot holds it,
  // its earlier plays are stopped, and deleting it leaves no slot behind.
  sndVoice* own = sndVoiceNew(path.c_str(), 0, 0, 0);
  for (int round = 0; round < 3; ++round) {
    sndVoicePlayAt(own);
    ASSERT_GE(own->channel, 0);
    EXPECT_EQ(slotsHolding(own), 1);
    EXPECT_EQ(sndApiGlobals.slots[own->channel], own);
    for (int c = 0; c < SND_DS_CHANNELS; ++c) EXPECT_EQ(active(c), c == own->channel) << c;
  }
  sndVoiceDelete(own);
  EXPECT_EQ(voicesSlotted(), 0);

  // A self-freeing voice restarted twice, the second time on the channel it
  // held (its sound had ended there): it is not freed by its own start, and
  // sndDone frees it once.
  sndVoice* v = sndVoiceNew(path.c_str(), 0, 0, 1);
  sndVoicePlayAt(v);
  ASSERT_EQ(v->channel, 0);
  sndVoicePlayAt(v);
  EXPECT_EQ(slotsHolding(v), 1);
  sndDsStop(v->channel);  // as when its sound ends
  sndVoicePlayAt(v);
  ASSERT_EQ(v->channel, 0);
  EXPECT_EQ(sndApiGlobals.slots[0], v);
  EXPECT_EQ(slotsHolding(v), 1);
  // Another voice taking that channel frees it.
  sndDsStop(0);
  sndPlayFile(path.c_str());
  EXPECT_EQ(slotsHolding(v), 0);
  EXPECT_EQ(voicesSlotted(), 1);
  EXPECT_EQ(sndCacheFind(built("click.wav").c_str())->references, 1);
}

TEST_F(SoundApi, PlayFilePicksAmongTheNumberedVariants) {
  // click, click1 and click2 present, click3 absent: seeded plays reach all
  // three, told apart by their lengths.
  const std::string path = wav("click.wav", pattern(1000));
  wav("click1.wav", pattern(1002));
  wav("click2.wav", pattern(1004));
  std::set<int64_t> sizes;
  plat::test::traceCalls(true);
  for (unsigned seed = 1; seed <= 60 && sizes.size() < 3; ++seed) {
    std::srand(seed);
    sndPlayFile(path.c_str());
    for (int64_t bytes : valuesOf(plat::test::takeCalls(), "CreateSoundBuffer")) sizes.insert(bytes);
    sndStopEffects();
  }
  EXPECT_EQ(sizes, (std::set<int64_t>{1000, 1002, 1004}));
  EXPECT_EQ(cacheCount(), 0);
}

TEST_F(SoundApi, MissingWavIsMadeSilentUnderItsBuiltName) {
  // With a directory the built name doubles the separator.
  const std::string missing = tmp_.file("gone.wav");
  sndPlayFile(missing.c_str());
  EXPECT_EQ(readBytes(missing).size(), 50u);
  EXPECT_NE(sndCacheFind(built("gone.wav").c_str()), nullptr);
  // Without one it gets no leading separator: made in the current directory.
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(tmp_.path);
  sndPlayFile("plain.wav");
  std::filesystem::current_path(previous);
  EXPECT_EQ(readBytes(tmp_.file("plain.wav")).size(), 50u);
  EXPECT_NE(sndCacheFind("plain.wav"), nullptr);
  EXPECT_EQ(voicesSlotted(), 2);
}

TEST_F(SoundApi, NamesThatCannotPlay) {
  // An unknown extension fails the load without a box; so does an existing
  // WAV that does not parse, and a missing one whose silent file cannot be
  // made (its directory is missing; nothing of the source is left behind);
  // a name past the path buffers plays nothing.
  const std::string flac = file("click.flac", pattern(100));
  const std::string broken = file("broken.wav", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
  const std::string noDir = tmp_.file("nowhere/click.wav");
  const std::string longName = tmp_.path.string() + "/" + std::string(300, 'a') + ".wav";
  plat::test::traceCalls(true);
  for (const std::string& name : {flac, broken, noDir, longName}) {
    SCOPED_TRACE(name.substr(0, 80));
    EXPECT_EQ(sndVoiceNew(name.c_str(), 0, 0, 0), nullptr);
    int32_t kind = -1;
    EXPECT_EQ(sndLoad(name.c_str(), &kind), nullptr);
    EXPECT_EQ(kind, -1);
    sndPlayFile(name.c_str());
    EXPECT_EQ(cacheCount(), 0);
    EXPECT_EQ(voicesSlotted(), 0);
  }
  EXPECT_EQ(valuesOf(plat::test::takeCalls(), "CreateSoundBuffer"), std::vector<int64_t>{});
  EXPECT_EQ(readBytes(broken).size(), 12u) << "an existing WAV is never overwritten";
  EXPECT_EQ(sndVoiceNew(nullptr, 0, 0, 0), nullptr);
  sndPlayFile(nullptr);
}

TEST_F(SoundApi, WithoutDirectSoundLoadsSucceedAndStartsFail) {
  sndDone();
  sndGlobals = sndState{};
  plat::test::failNext("DirectSoundCreate", 1, DSERR_NODRIVER);
  sndInit(nullptr);
  ASSERT_EQ(sndApiGlobals.initialised, 1);
  ASSERT_EQ(sndGlobals.directSound, nullptr);
  const std::string path = wav("click.wav", pattern(200));
  const std::string mp3 = file("tune.mp3", standInFrames(4));
  for (const std::string& name : {path, mp3}) {
    SCOPED_TRACE(name);
    sndPlayFile(name.c_str());
    EXPECT_EQ(voicesSlotted(), 0);
    EXPECT_EQ(cacheCount(), 0) << "the voice that failed to start was freed";
    sndVoice* v = sndVoiceNew(name.c_str(), 0, 0, 0);
    ASSERT_NE(v, nullptr);
    sndVoicePlayAt(v);
    EXPECT_EQ(v->channel, -1);
    int32_t kind = 0;
    void* source = sndLoad(name.c_str(), &kind);
    EXPECT_EQ(source, v->source);
    sndCacheFindSource(source)->references--;
    EXPECT_EQ(v->kind == SND_KIND_WAV ? static_cast<sndWavSource*>(source)->channel
                                      : static_cast<sndMp3Source*>(source)->channel,
              SND_DS_NO_DEVICE);
    sndVoiceDelete(v);
    EXPECT_EQ(cacheCount(), 0);
  }
}

TEST_F(SoundApi, CallsBeforeInitAndAfterDoneDoNothing) {
  const std::string path = wav("click.wav", pattern(200));
  sndVoice* own = sndVoiceNew(path.c_str(), 0, 0, 0);
  ASSERT_NE(own, nullptr);
  // A second sndInit changes nothing.
  IDirectSound* device = sndGlobals.directSound;
  arrArray* cache = sndCache;
  sndInit(nullptr);
  EXPECT_EQ(sndGlobals.directSound, device);
  EXPECT_EQ(sndCache, cache);
  sndVoiceDelete(own);
  sndDone();

  sndVoice stack{};
  stack.channel = 3;
  stack.x = 4000;
  plat::test::traceCalls(true);
  sndPlayFile(path.c_str());
  sndSetVolume(50);
  EXPECT_EQ(sndVoiceNew(path.c_str(), 0, 0, 1), nullptr);
  int32_t kind = -1;
  EXPECT_EQ(sndLoad(path.c_str(), &kind), nullptr);
  EXPECT_EQ(sndVoiceVolume(&stack), 0);
  EXPECT_EQ(sndVoicePriority(&stack), 0);
  EXPECT_EQ(sndVoicePan(&stack), 0);
  EXPECT_EQ(sndVoicePlayAt(&stack), 0);
  sndVoiceStop(&stack);
  sndVoiceDelete(&stack);  // not freed: nothing is done
  sndRefreshVolume(SND_CATEGORY_EFFECTS);
  sndStopEffects();
  sndUnload(nullptr);
  sndDone();
  EXPECT_EQ(stack.channel, 3);
  EXPECT_EQ(sndApiGlobals.effectsVolume, 100);
  EXPECT_TRUE(plat::test::takeCalls().empty());
  EXPECT_EQ(kind, -1);
  sndInit(nullptr);  // for TearDown
}

TEST_F(SoundApi, DoneFreesEverySelfFreeingVoiceAndItsSource) {
  // Checked by the address sanitizer's leak check as well.
  const std::string a = wav("a.wav", pattern(40000));
  const std::string b = wav("b.wav", pattern(40000));
  const std::string mp3 = file("tune.mp3", standInFrames(30));
  for (int i = 0; i < 4; ++i) {
    sndPlayFile(a.c_str());
    sndPlayFile(b.c_str());
    sndPlayFile(mp3.c_str());
  }
  EXPECT_EQ(voicesSlotted(), 10);
  EXPECT_EQ(cacheCount(), 3);
  sndDone();
  EXPECT_EQ(sndCache, nullptr);
  EXPECT_EQ(voicesSlotted(), 0);
  for (mfFile* f = mfOpenFiles(); f; f = f->next)
    EXPECT_NE(std::string(f->name).rfind(tmp_.path.string(), 0), 0u) << "still open: " << f->name;
  sndGlobals = sndState{};
  sndInit(nullptr);
}

}  // namespace

namespace {

using namespace api_test;

// The stand-in's stream (interleaved samples) from stream frame `from`.
std::vector<int16_t> standInStream(int64_t from, size_t frames) {
  std::vector<int16_t> out;
  for (int64_t t = from; t < from + int64_t(frames); ++t) {
    out.push_back(standInSample(t, 0));
    out.push_back(standInSample(t, 1));
  }
  return out;
}

TEST_F(SoundApi, ShortMp3PlaysOutAndFreesItsChannel) {
  // Two frames (2304 stream frames) end inside the buffer's first fill.
  const std::string mp3 = file("short.mp3", standInFrames(2));
  sndPlayFile(mp3.c_str());
  sndVoice* v = sndApiGlobals.slots[0];
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->kind, SND_KIND_MP3);
  const std::vector<int16_t> out = render(3 * 8192);
  EXPECT_FALSE(active(0));
  const std::vector<int16_t> want = standInStream(0, 2304);
  ASSERT_GE(out.size(), want.size());
  EXPECT_TRUE(std::equal(want.begin(), want.end(), out.begin()));
  EXPECT_TRUE(std::all_of(out.begin() + long(want.size()), out.end(), [](int16_t s) { return s == 0; }));
}

TEST_F(SoundApi, SecondPlayOfAnMp3TakesItsStream) {
  // Twenty frames (23040 stream frames); both plays share the source. The
  // later start plays the stream from its first frame; the earlier one
  // plays what its buffer holds, then ends and is freed.
  const std::string mp3 = file("tune.mp3", standInFrames(20));
  sndPlayFile(mp3.c_str());
  sndPlayFile(mp3.c_str());
  ASSERT_EQ(voicesSlotted(), 2);
  auto* source = static_cast<sndMp3Source*>(sndApiGlobals.slots[1]->source);
  EXPECT_EQ(sndApiGlobals.slots[0]->source, source);
  EXPECT_EQ(source->owner, 1);
  render(16384);
  EXPECT_FALSE(active(0));
  EXPECT_TRUE(active(1));
  // Channel 1 alone now: the stream at the frame it has reached.
  const std::vector<int16_t> out = render(4096);
  EXPECT_EQ(out, standInStream(16384, 4096));
  render(8192);
  EXPECT_FALSE(active(1));
}

TEST_F(SoundApi, RestartedMp3VoiceStartsItsStreamAgain) {
  const std::string mp3 = file("tune.mp3", standInFrames(20));
  sndVoice* v = sndVoiceNew(mp3.c_str(), 0, 0, 0);
  sndVoicePlayAt(v);
  render(8192);
  sndVoicePlayAt(v);
  EXPECT_EQ(slotsHolding(v), 1);
  EXPECT_EQ(render(4096), standInStream(0, 4096));
  sndVoiceDelete(v);
  EXPECT_EQ(cacheCount(), 0);
}

}  // namespace

namespace {

using namespace api_test;

TEST_F(SoundApi, OggPlaysWhatOggdecDecodes) {
  // A stereo file at the device's rate: the mix gives back oggdec's samples.
  Bytes pcm;
  for (int t = 0; t < 20000; ++t) {
    const auto s = int16_t(8000 * ((t / 50) % 2 ? 1 : -1) + t % 50 * 100);
    snd_test::put16(pcm, uint16_t(s));
    snd_test::put16(pcm, uint16_t(-s));
  }
  const std::string source = wav("source.wav", pcm, 2, 44100, 16);
  const std::string ogg = tmp_.file("tune.ogg"), raw = tmp_.file("tune.raw");
  ASSERT_EQ(std::system(shellCommand({OGGENC, "-Q", "-q", "2", "-o", ogg, source}).c_str()), 0);
  ASSERT_EQ(std::system(shellCommand({OGGDEC, "-Q", "-R", "-o", raw, ogg}).c_str()), 0);
  const std::string decoded = readBytes(raw);
  ASSERT_EQ(decoded.size(), pcm.size());

  sndPlayFile(ogg.c_str());
  ASSERT_NE(sndApiGlobals.slots[0], nullptr);
  EXPECT_EQ(sndApiGlobals.slots[0]->kind, SND_KIND_OGG);
  const std::vector<int16_t> out = render(20000 + 2048);
  ASSERT_EQ(out.size(), size_t(2 * (20000 + 2048)));
  for (size_t i = 0; i < 40000; ++i) {
    const auto want = int16_t(uint8_t(decoded[2 * i]) | uint8_t(decoded[2 * i + 1]) << 8);
    ASSERT_EQ(out[i], want) << "sample " << i;
  }
  EXPECT_TRUE(std::all_of(out.begin() + 40000, out.end(), [](int16_t s) { return s == 0; }));
  EXPECT_FALSE(active(0));
}

TEST_F(SoundApi, WavWithItsFormatAfterItsDataFailsToStart) {
  // The format stays zero: the load succeeds, the start fails with -63 and
  // the voice is freed.
  Bytes chunks;
  snd_test::chunk(chunks, "data", pattern(100));
  snd_test::chunk(chunks, "fmt ", snd_test::fmtBody(1, 22050, 16));
  const std::string path = file("late.wav", snd_test::riff(chunks));
  sndVoice* v = sndVoiceNew(path.c_str(), 0, 0, 0);
  ASSERT_NE(v, nullptr);
  sndVoicePlayAt(v);
  EXPECT_EQ(v->channel, -1);
  EXPECT_EQ(static_cast<sndWavSource*>(v->source)->channel, SND_DS_NO_DEVICE);
  sndVoiceDelete(v);
  sndPlayFile(path.c_str());
  EXPECT_EQ(voicesSlotted(), 0);
  EXPECT_EQ(cacheCount(), 0);
}

}  // namespace
