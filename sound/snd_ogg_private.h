// What the Ogg Vorbis source (snd_ogg.cpp) learns at open from the granule
// positions of its stream (snd_ogg_granules.cpp) and from the pages that start
// its audio data (snd_ogg_pages.cpp).
#pragma once

#include <vorbis/codec.h>

#include <cstdint>
#include <cstdio>

// Encoders as they are now start the granule positions where decoding in
// sequence starts and keep them in step with the decoded samples, and leave
// the header pages at 0. An early encoder ran them ahead of the decoded
// samples and left a granule position on its last header page; vorbisfile's
// positions, and so its seeks and its length, follow the granule positions.
struct sndOggGranules {
  // The whole stream was walked: its first granule position is not where
  // decoding is, or its last header page has one.
  bool walked;
  // Walked: the sample frames its packets' block sizes make in sequence,
  // before the last page cuts the end.
  int64_t frames;
  // How far vorbisfile's positions run ahead of sequential decoding from the
  // sample frame `trusted` on: from there vorbisfile's seek to the page
  // before position frame + lead finds a page of that lead. Before it only
  // decoding from the start is sure (INT64_MAX: nowhere else).
  int64_t lead;
  int64_t trusted;
};

// Reads the file (at its start) page by page, packets' block sizes only, no
// decoding; a file whose first audio page shows the usual granule positions
// is left after that page. vi: the stream's header information; serial: its
// serial number.
sndOggGranules sndOggWalkGranules(FILE* file, vorbis_info* vi, int serial);

// The first two pages of the audio data as vorbisfile's seek by position
// (ov_pcm_seek, ov_pcm_seek_page) finds them. Where they do not start it as
// encoders write it, that seek can hand libogg a page mixed from two pages'
// bytes; where they do, it is sure, but for targets up to the second page's
// granule position when the two pages take more than 64 KiB.
struct sndOggAudioStart {
  // The first two pages the Ogg framing finds from the start of the audio
  // data on start there and follow each other directly, and are pages of the
  // stream with granule positions (or there are fewer pages).
  bool sure;
  // The granule position up to which targets are not sure (-1: none).
  int64_t unsureTo;
};

// Reads the pages at `dataOffset` (where vorbisfile found the audio data to
// start, after the header pages); serial: the stream's serial number. The
// file is put back where it was.
sndOggAudioStart sndOggReadAudioStart(FILE* file, int64_t dataOffset, int serial);
