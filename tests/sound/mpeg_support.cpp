#include "mpeg_support.h"

#include <gtest/gtest.h>
#include <mpg123.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace mpeg_test {

std::string fixturePath(const std::string& name) { return std::string(MPEG_FIXTURE_DIR) + "/" + name; }

std::vector<std::string> fixtures(const std::string& group) {
  std::ifstream manifest(fixturePath("manifest.txt"));
  std::vector<std::string> files;
  std::string g, f;
  while (manifest >> g >> f)
    if (g == group) files.push_back(fixturePath(f));
  return files;
}

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

Pcm referenceDecode(const std::string& path) {
  Pcm pcm;
  int err = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  if (!mh) return pcm;
  mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(mh);
  const long* rates = nullptr;
  size_t count = 0;
  mpg123_rates(&rates, &count);
  for (size_t i = 0; i < count; ++i) mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (mpg123_open(mh, path.c_str()) == MPG123_OK) {
    unsigned char buf[16384];
    for (;;) {
      size_t done = 0;
      int r = mpg123_read(mh, buf, sizeof buf, &done);
      const int16_t* s = reinterpret_cast<const int16_t*>(buf);
      pcm.samples.insert(pcm.samples.end(), s, s + done / 2);
      if (r == MPG123_NEW_FORMAT) {
        int enc = 0;
        mpg123_getformat(mh, &pcm.rate, &pcm.channels, &enc);
      } else if (r != MPG123_OK) {
        break;
      }
    }
    mpg123_close(mh);
  }
  mpg123_delete(mh);
  return pcm;
}

Decoded decodeStream(mpaDecoder* dec, const Bytes& data, int reduction, int options, int freqLimit,
                     int maxFrames) {
  Decoded d;
  mpaHeader hdr{};
  int bitrate = 0, skip = 0;
  int len = int(data.size());
  int size = mpaFindFrame(data.data(), len < 4096 ? len : 4096, &hdr, &bitrate, &skip);
  if (size == 0 || !mpaDecodeInit(dec, &hdr, size, reduction, 0, options, freqLimit)) return d;
  d.ok = true;
  mpaGetInfo(dec, &d.info);
  uint8_t out[4608];
  int offset = 0;
  while (offset < len && int(d.frames.size()) < maxFrames) {
    mpaHeader h{};
    skip = 0;
    int found = mpaFindFrame(data.data() + offset, len - offset, &h, &bitrate, &skip);
    // The last frame of a free-format stream, which no frame follows to
    // measure it by, has the stream's size.
    if (!found && h.sync && h.bitrateIndex == 0 && hdr.bitrateIndex == 0 && h.layer == hdr.layer) found = size;
    if (!found) break;
    offset += skip;
    // The bytes the decoder reads: a layer III decoder the frame's own size
    // (the set-up size in free format), layers I and II the set-up size; the
    // padding slot is that of the stream's layer (4 bytes in layer I).
    const int need = hdr.layer == 1 && h.layer == 1 && h.bitrateIndex ? found : (found > size ? found : size);
    int slot = hdr.layer == 3 ? 4 : 1;
    if (offset + need + h.padding * slot > len) break;
    mpaInOut r = mpaDecode(dec, data.data() + offset, out);
    if (r.inBytes == 0) break;
    d.frames.push_back(r);
    d.pcm.insert(d.pcm.end(), out, out + r.outBytes);
    offset += r.inBytes;
  }
  return d;
}

Decoded decodeStream(const Bytes& data, int reduction, int options, int freqLimit) {
  Decoder dec;
  return decodeStream(dec.get(), data, reduction, options, freqLimit);
}

std::vector<int16_t> asInt16(const Bytes& pcm) {
  std::vector<int16_t> s(pcm.size() / 2);
  for (size_t i = 0; i < s.size(); ++i) s[i] = int16_t(pcm[2 * i] | (pcm[2 * i + 1] << 8));
  return s;
}

Diff difference(const std::vector<int16_t>& ours, const std::vector<double>& reference) {
  Diff d;
  double sum = 0;
  d.count = ours.size() < reference.size() ? ours.size() : reference.size();
  for (size_t i = 0; i < d.count; ++i) {
    double e = std::fabs(ours[i] - reference[i]);
    if (e > d.max) d.max = e;
    sum += e * e;
  }
  d.rms = d.count ? std::sqrt(sum / double(d.count)) : 0;
  return d;
}

namespace {

constexpr double kGate = 2.0;

// Reference samples as doubles, converted as asked of a single-channel output.
std::vector<double> convert(const Pcm& ref, int options) {
  std::vector<double> out;
  if (ref.channels == 1 || options == MPA_CONV_STEREO) {
    out.assign(ref.samples.begin(), ref.samples.end());
    return out;
  }
  for (size_t i = 0; i + 1 < ref.samples.size(); i += 2) {
    double l = ref.samples[i], r = ref.samples[i + 1];
    out.push_back(options == MPA_CONV_MIX ? (l + r) / 2 : options == MPA_CONV_LEFT ? l : r);
  }
  return out;
}

}  // namespace

void oracleCheckFile(const std::string& path, const Bytes& data, OracleGroup& group) {
  SCOPED_TRACE(path);
  Pcm ref = referenceDecode(path);
  ASSERT_FALSE(ref.samples.empty());
  for (int options : {MPA_CONV_STEREO, MPA_CONV_MIX, MPA_CONV_LEFT, MPA_CONV_RIGHT}) {
    SCOPED_TRACE(options);
    Decoded ours = decodeStream(data, 0, options);
    ASSERT_TRUE(ours.ok);
    EXPECT_EQ(ours.info.rate, ref.rate);
    std::vector<double> expect = convert(ref, options);
    std::vector<int16_t> got = asInt16(ours.pcm);
    ASSERT_EQ(got.size(), expect.size());
    Diff d = difference(got, expect);
    EXPECT_LE(d.max, kGate);
    if (options == MPA_CONV_STEREO) {
      if (d.max > group.all.max) group.all.max = d.max;
      group.sumSquares += d.rms * d.rms * double(d.count);
      group.all.count += d.count;
      Decoded eight = decodeStream(data, 0, options | MPA_OUT_8BIT);
      ASSERT_EQ(eight.pcm.size(), got.size());
      size_t mismatches = 0;
      for (size_t i = 0; i < got.size(); ++i)
        if (eight.pcm[i] != uint8_t((got[i] >> 8) ^ 0x80)) ++mismatches;
      EXPECT_EQ(mismatches, 0u);
    }
  }
}

void oracleReport(const char* group, OracleGroup& r) {
  r.all.rms = r.all.count ? std::sqrt(r.sumSquares / double(r.all.count)) : 0;
  std::printf("[mpeg] %s: %zu samples, max difference %.0f LSB, RMS %.4f LSB\n", group, r.all.count, r.all.max,
              r.all.rms);
}

void oracleCheckGroup(const char* group) {
  std::vector<std::string> files = fixtures(group);
  ASSERT_FALSE(files.empty()) << "no fixtures of " << group;
  OracleGroup result;
  for (const std::string& f : files) oracleCheckFile(f, readFile(f), result);
  oracleReport(group, result);
}

void BitWriter::put(uint32_t value, int bits) {
  for (int i = bits - 1; i >= 0; --i) {
    if (used == 0) bytes.push_back(0);
    if ((value >> i) & 1) bytes.back() |= uint8_t(0x80 >> used);
    used = (used + 1) & 7;
  }
}

namespace {

constexpr int kL1Bitrates[16] = {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0};
constexpr int kRate50[3] = {882, 960, 640};

int channels(const Layer1Frame& f) { return f.mode == 3 ? 1 : 2; }
int boundOf(const Layer1Frame& f) { return f.mode == 1 ? (f.modeExt + 1) * 4 : 32; }
// Channels whose allocation and samples subband sb writes.
int coded(const Layer1Frame& f, int sb) { return sb < boundOf(f) ? channels(f) : 1; }
// The allocation channel ch of subband sb has (beyond the bound, channel 0's).
int allocOf(const Layer1Frame& f, int sb, int ch) { return f.alloc[sb][sb < boundOf(f) ? ch : 0]; }

int frameBits(const Layer1Frame& f) {
  int bits = 32;
  for (int sb = 0; sb < 32; ++sb) {
    bits += 4 * coded(f, sb);
    for (int ch = 0; ch < channels(f); ++ch)
      if (allocOf(f, sb, ch)) bits += 6;
    for (int ch = 0; ch < coded(f, sb); ++ch)
      if (int a = f.alloc[sb][ch]) bits += 12 * (a + 1);
  }
  return bits;
}

}  // namespace

int layer1FrameBytes(const Layer1Frame& f) { return kL1Bitrates[f.bitrateIndex] * 240 / kRate50[f.rateIndex] * 4; }

Bytes encodeLayer1(const Layer1Frame& f) {
  BitWriter w;
  w.put(0xFFF, 12);
  w.put(1, 1);  // MPEG-1
  w.put(3, 2);  // layer I
  w.put(1, 1);  // no CRC
  w.put(uint32_t(f.bitrateIndex), 4);
  w.put(uint32_t(f.rateIndex), 2);
  w.put(0, 2);  // no padding, private bit
  w.put(uint32_t(f.mode), 2);
  w.put(uint32_t(f.modeExt), 2);
  w.put(0, 4);
  for (int sb = 0; sb < 32; ++sb)
    for (int ch = 0; ch < coded(f, sb); ++ch) w.put(uint32_t(f.alloc[sb][ch]), 4);
  for (int sb = 0; sb < 32; ++sb)
    for (int ch = 0; ch < channels(f); ++ch)
      if (allocOf(f, sb, ch)) w.put(uint32_t(f.scale[sb][ch]), 6);
  for (int s = 0; s < 12; ++s)
    for (int sb = 0; sb < 32; ++sb)
      for (int ch = 0; ch < coded(f, sb); ++ch)
        if (int a = f.alloc[sb][ch]) w.put(uint32_t(f.samples[s][sb][ch]), a + 1);
  w.padTo(size_t(layer1FrameBytes(f)));
  return w.bytes;
}

Bytes randomLayer1(int rateIndex, int mode, int modeExt, int bitrateIndex, int frames, uint32_t seed) {
  std::mt19937 rng(seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  Bytes stream;
  for (int n = 0; n < frames; ++n) {
    auto f = std::make_unique<Layer1Frame>();
    f->rateIndex = rateIndex;
    f->bitrateIndex = bitrateIndex;
    f->mode = mode;
    f->modeExt = modeExt;
    for (int sb = 0; sb < 31; ++sb)
      for (int ch = 0; ch < coded(*f, sb); ++ch) f->alloc[sb][ch] = pick(0, 14);
    while (frameBits(*f) > layer1FrameBytes(*f) * 8) {
      int sb = pick(0, 30), ch = pick(0, coded(*f, sb) - 1);
      f->alloc[sb][ch] /= 2;
    }
    for (int sb = 0; sb < 32; ++sb)
      for (int ch = 0; ch < 2; ++ch) f->scale[sb][ch] = pick(21, 62);
    for (int s = 0; s < 12; ++s)
      for (int sb = 0; sb < 32; ++sb)
        for (int ch = 0; ch < 2; ++ch)
          if (int a = f->alloc[sb][ch]) f->samples[s][sb][ch] = pick(0, (2 << a) - 2);
    Bytes frame = encodeLayer1(*f);
    stream.insert(stream.end(), frame.begin(), frame.end());
  }
  return stream;
}

}  // namespace mpeg_test
