// The sound sources: a sound file turned into PCM for the channels. Every
// kind has open, play, a fill function the channels call while they stream,
// and close. One source serves every voice of its file name.
//   WAV: the whole file mapped, its PCM played from memory; a missing file is
//        created as a short silent WAV and played.
//   Ogg Vorbis: decoded on demand through vorbisfile; its length and its
//        positions are those of decoding in sequence, also where the granule
//        positions run ahead of the data.
//   MP3: the file mapped, MPEG audio frames decoded one at a time as the
//        channel asks; the length is open (SND_DS_OPEN_TOTAL), the source ends
//        the stream itself.
// Open, play and close run on the window thread; the fills run with the
// channel lock held.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/mf.h"
#include "sound/mpa.h"

// The format of a sound started on a channel. total SND_DS_OPEN_TOTAL: the
// source cannot tell its length.
struct sndDsFormat {
  int32_t channels;
  int32_t samplesPerSec;
  int32_t bitsPerSample;
  int32_t totalBytes;
  int32_t requestedBytes;
};
#define SND_DS_OPEN_TOTAL 0x7fffffff

// PCM held in memory: the 16 bytes of a PCM "fmt " chunk, then the data.
struct sndWavInfo {
  uint16_t formatTag;
  uint16_t channels;
  uint32_t samplesPerSec;
  uint32_t avgBytesPerSec;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
  uint16_t extraSize;
  uint32_t dataBytes;
  const uint8_t* data;
};

#define SND_WAV_OWNS_IMAGE 0x8000

struct sndWavSource {
  int32_t channel;  // the result of the last start, -1 before
  uint32_t flags;   // SND_WAV_OWNS_IMAGE
  sndWavInfo info;
  mfFile* image;
};

// Fills info (null: allocates one) from a RIFF WAVE image of `size` bytes.
// The walk ends at the smaller of 8 + the RIFF size and the image size, and
// the data is cut to what the image holds. Null after raising -5.
sndWavInfo* sndDsParseWav(sndWavInfo* info, const uint8_t* image, uint32_t size);
// Creates (or empties) the file as the 50-byte silent WAV; its mapping.
mfFile* sndWavMakeSilent(const char* name);
sndWavSource* sndWavOpen(const char* name);
// The plays start the source on a channel of first..last (sndDsStart); the
// result, a channel or a negative one, is also kept in the channel field.
int32_t sndWavPlay(sndWavSource* s, uint8_t priority, uint32_t playFlags, int32_t volume, int32_t pan,
                   int32_t first, int32_t last);
void sndWavClose(sndWavSource* s);

struct OggVorbis_File;
struct sndOggSource {
  int32_t channel;
  OggVorbis_File* vf;  // owned
  FILE* file;
  sndDsFormat format;
  int32_t bitstream;
  int32_t position;  // bytes of PCM delivered so far
  // Set where the granule positions are not where decoding is: seeks to a
  // sample frame from `trusted` on go by vorbisfile's position frame + lead,
  // before it they decode from the start (sndOggGranules).
  bool walked;
  int64_t lead;
  int64_t trusted;
  // vorbisfile's seeks by position go only to positions above this one (-1:
  // all); to it and below, decoding starts at the start of the audio data
  // (sndOggAudioStart).
  int64_t seekAbove;
};

sndOggSource* sndOggOpen(const char* name);
int32_t sndOggFill(void* source, uint8_t* dst, int32_t position, int32_t n, int32_t channel);
int32_t sndOggPlay(sndOggSource* s, uint8_t priority, uint32_t playFlags, int32_t volume, int32_t pan,
                   int32_t first, int32_t last);
void sndOggClose(sndOggSource* s);

// The MPEG audio decoder as the MP3 source calls it. The real decoder is the
// default; tests install a stand-in with sndMp3SetCodec (null puts the real
// one back). A source keeps the codec it was opened with.
struct sndMp3Codec {
  int (*findFrame)(const uint8_t* buf, int len, mpaHeader* hdr, int* bitrate, int* skip);
  void (*init)(mpaDecoder* dec, int allocEq);
  int (*decodeInit)(mpaDecoder* dec, const mpaHeader* hdr, int frameSize, int reduction, int reserved,
                    int options, int freqLimit);
  void (*getInfo)(const mpaDecoder* dec, mpaInfo* info);
  mpaInOut (*decode)(mpaDecoder* dec, const uint8_t* frame, uint8_t* out);
  void (*release)(mpaDecoder* dec);
};
void sndMp3SetCodec(const sndMp3Codec* codec);

#define SND_MP3_FRAME_MAX 4608
#define SND_MP3_CARRY_BYTES 22528

struct sndMp3Source {
  int32_t channel;
  mfFile* image;
  int32_t fileSize;
  sndDsFormat format;
  int32_t produced;  // PCM bytes decoded since the start of the stream
  uint8_t carry[SND_MP3_CARRY_BYTES];
  int32_t inputOffset;
  int32_t carryStart, carryLength;
  int32_t frameSize;  // the first frame's size without padding
  mpaDecoder decoder;
  // Beyond the decoder's calls: where the frames begin (past an ID3v2 tag
  // and an encoder's info frame); the first header of sound; the channel
  // whose stream this is (-1 none, -2 the start in progress: its first fill
  // takes it) and whether it loops; the end of a stream that ended inside
  // its buffer's first fill, reported by the next fill; the codec and the
  // frame buffer.
  int32_t dataStart;
  mpaHeader firstHeader;
  int32_t owner;
  int32_t loop;
  int32_t endPending;
  const sndMp3Codec* codec;
  uint8_t frame[SND_MP3_FRAME_MAX];
};

sndMp3Source* sndMp3Open(const char* name);
// Rewinds the source and gives its stream to this start (a channel still
// playing an earlier start of it gets silence and its end).
int32_t sndMp3Play(sndMp3Source* s, uint8_t priority, uint32_t playFlags, int32_t volume, int32_t pan,
                   int32_t first, int32_t last);
int32_t sndMp3Fill(void* source, uint8_t* dst, int32_t position, int32_t n, int32_t channel);
void sndMp3Read(sndMp3Source* s, uint8_t* dst, int32_t* position, int32_t n, int loop);
void sndMp3ReadChunk(sndMp3Source* s, uint8_t** dst, int32_t* position, int32_t* n, int loop);
int32_t sndMp3DecodeFrame(sndMp3Source* s, uint8_t* out, int32_t* position, int loop);
void sndMp3Close(sndMp3Source* s);
