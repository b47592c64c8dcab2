// MPEG audio decoding from memory: a 30-second 44.1 kHz stereo signal made by
// sox, encoded by lame as 128 kbit/s layer III and by twolame as 192 kbit/s
// layer II, decoded to 16-bit PCM by our decoder (the MP3 source's
// find-and-decode loop) and by libmpg123, once with the decoder it picks on
// this CPU and once with each other decoder it lists. "realtime" is how many
// seconds of sound one second of decoding gives. Our output is checked
// against libmpg123's once, outside the timed loop (the same sample count,
// every sample within 2 LSB).
#include <benchmark/benchmark.h>
#include <mpg123.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "sound/mpa.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr double kSeconds = 30.0;

enum Stream { kLayer3, kLayer2 };

// The streams, made once: a sweep and a second tone, -6 dB, so every subband
// is busy (lame low-passes at 17 kHz at this bitrate).
Bytes makeStream(Stream which) {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "talvo-bench-mpeg";
  std::filesystem::create_directories(dir);
  std::string wav = (dir / "signal.wav").string(), coded = (dir / "signal.mpa").string();
  std::string cmd = "sox -R -n -r 44100 -c 2 -b 16 '" + wav + "' synth 30 sine 50-15000 sine 440-880 gain -7 && " +
                    (which == kLayer3 ? "lame --quiet -t -b 128 '" : "twolame --quiet -b 192 '") + wav + "' '" +
                    coded + "'";
  if (std::system(cmd.c_str()) != 0) {
    std::fprintf(stderr, "bench_mpeg: sox, lame or twolame failed\n");
    std::exit(1);
  }
  std::ifstream in(coded, std::ios::binary);
  Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove_all(dir);
  return b;
}

const Bytes& stream(Stream which) {
  static const Bytes layer3 = makeStream(kLayer3), layer2 = makeStream(kLayer2);
  return which == kLayer3 ? layer3 : layer2;
}

// Our decoder over the whole stream as the MP3 source walks it; the PCM goes
// to `pcm` when given. Returns the output bytes.
size_t decodeOurs(mpaDecoder* dec, const Bytes& data, std::vector<int16_t>* pcm) {
  mpaHeader hdr{};
  int bitrate = 0, skip = 0;
  const int len = int(data.size());
  const int size = mpaFindFrame(data.data(), len < 4096 ? len : 4096, &hdr, &bitrate, &skip);
  if (!size || !mpaDecodeInit(dec, &hdr, size, 0, 0, 0, 24000)) return 0;
  alignas(16) uint8_t out[4608];
  size_t total = 0;
  for (int offset = 0; offset < len;) {
    mpaHeader h{};
    const int found = mpaFindFrame(data.data() + offset, len - offset, &h, &bitrate, &skip);
    if (!found) break;
    offset += skip;
    // The bytes the decoder reads: a layer III decoder the frame's own size
    // (the set-up size in free format), layers I and II the set-up size; the
    // padding slot is that of the stream's layer (4 bytes in layer I).
    const int need = hdr.layer == 1 && h.layer == 1 && h.bitrateIndex ? found : (found > size ? found : size);
    if (offset + need + h.padding * (hdr.layer == 3 ? 4 : 1) > len) break;
    mpaInOut r = mpaDecode(dec, data.data() + offset, out);
    if (!r.inBytes) break;
    total += size_t(r.outBytes);
    if (pcm) {
      const int16_t* s = reinterpret_cast<const int16_t*>(out);
      pcm->insert(pcm->end(), s, s + r.outBytes / 2);
    }
    offset += r.inBytes;
  }
  return total;
}

// libmpg123 with the named decoder (null: its own pick) over the whole
// stream, fed from memory.
size_t decodeMpg123(mpg123_handle* mh, const Bytes& data, std::vector<int16_t>* pcm) {
  mpg123_open_feed(mh);
  mpg123_feed(mh, data.data(), data.size());
  static unsigned char buf[1 << 16];
  size_t total = 0;
  for (;;) {
    size_t done = 0;
    int r = mpg123_read(mh, buf, sizeof buf, &done);
    total += done;
    if (pcm) {
      const int16_t* s = reinterpret_cast<const int16_t*>(buf);
      pcm->insert(pcm->end(), s, s + done / 2);
    }
    if (r != MPG123_OK && r != MPG123_NEW_FORMAT) break;
  }
  mpg123_close(mh);
  return total;
}

mpg123_handle* newMpg123(const char* decoder) {
  int err = 0;
  mpg123_handle* mh = mpg123_new(decoder, &err);
  mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(mh);
  mpg123_format(mh, 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
  return mh;
}

void setRealtime(benchmark::State& state) {
  state.counters["realtime"] =
      benchmark::Counter(kSeconds * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Ours(benchmark::State& state, Stream which) {
  const Bytes& data = stream(which);
  auto dec = std::make_unique<mpaDecoder>();
  mpaInit(dec.get(), 1);
  for (auto _ : state) benchmark::DoNotOptimize(decodeOurs(dec.get(), data, nullptr));
  setRealtime(state);
  mpaRelease(dec.get());
}

void BM_Mpg123(benchmark::State& state, Stream which, const char* decoder) {
  const Bytes& data = stream(which);
  mpg123_handle* mh = newMpg123(decoder);
  for (auto _ : state) benchmark::DoNotOptimize(decodeMpg123(mh, data, nullptr));
  setRealtime(state);
  mpg123_delete(mh);
}

// Our output against libmpg123's pick, once.
bool check(Stream which, const char* name) {
  const Bytes& data = stream(which);
  std::vector<int16_t> ours, ref;
  auto dec = std::make_unique<mpaDecoder>();
  mpaInit(dec.get(), 1);
  decodeOurs(dec.get(), data, &ours);
  mpaRelease(dec.get());
  mpg123_handle* mh = newMpg123(nullptr);
  decodeMpg123(mh, data, &ref);
  mpg123_delete(mh);
  // The feed decoder holds the last frame back until more data could follow.
  if (ours.size() < ref.size() || ours.size() - ref.size() > 2304) {
    std::fprintf(stderr, "bench_mpeg: %s: %zu samples against libmpg123's %zu\n", name, ours.size(), ref.size());
    return false;
  }
  int worst = 0;
  for (size_t i = 0; i < ref.size(); ++i) worst = std::max(worst, std::abs(ours[i] - ref[i]));
  std::printf("%s check: %zu samples, largest difference to libmpg123 %d LSB\n", name, ref.size(), worst);
  return worst <= 2;
}

void registerRows(Stream which, const char* name, const std::string& picked) {
  const std::string prefix = std::string(name) + "/";
  benchmark::RegisterBenchmark((prefix + "ours").c_str(), BM_Ours, which)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark((prefix + "mpg123-pick-" + picked).c_str(), BM_Mpg123, which, nullptr)
      ->Unit(benchmark::kMillisecond);
  for (const char** d = mpg123_supported_decoders(); *d; ++d) {
    if (picked == *d) continue;
    benchmark::RegisterBenchmark((prefix + "mpg123-" + *d).c_str(), BM_Mpg123, which, *d)
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!check(kLayer3, "Layer3") || !check(kLayer2, "Layer2")) return 1;
  mpg123_handle* probe = newMpg123(nullptr);
  std::string picked = mpg123_current_decoder(probe);
  mpg123_delete(probe);
  registerRows(kLayer3, "Layer3", picked);
  registerRows(kLayer2, "Layer2", picked);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
