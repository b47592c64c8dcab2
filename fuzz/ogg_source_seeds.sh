#!/bin/sh
# Remakes the seed corpus of the ogg_source fuzz target in
# fuzz/corpus/ogg_source: short Ogg Vorbis files from oggenc (mono and
# stereo, low and high rates and qualities), a chained file of two logical
# streams (refused), files cut inside their headers and inside their audio,
# and files whose granule positions run ahead of the decoded samples (from the
# second audio page on) or fall behind on the last page before the end, with
# one on the last header page, as an early encoder wrote them. The other
# seeds there were found by fuzzing and are kept as they are.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
out="$here/corpus/ogg_source"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"

sox -R -n -r 8000 -c 1 -b 16 m8.wav synth 0.3 sine 200-3000 gain -6
sox -R -n -r 22050 -c 1 -b 16 m22.wav synth 0.25 sine 440 gain -6
sox -R -n -r 44100 -c 2 -b 16 s44.wav synth 0.2 sine 300-9000 sine 1200 gain -6
sox -R -n -r 48000 -c 2 -b 16 s48.wav synth 0.1 whitenoise gain -12

oggenc --quiet -q 0 -s 1 -o "$out/mono_8k.ogg" m8.wav
oggenc --quiet -q -1 -s 2 -o "$out/mono_22k_low.ogg" m22.wav
oggenc --quiet -q 2 -s 3 -o s44.ogg s44.wav
cp s44.ogg "$out/stereo_44k.ogg"
oggenc --quiet -q 6 -s 4 -o s48.ogg s48.wav
cat "$out/mono_8k.ogg" "$out/mono_22k_low.ogg" > "$out/chained.ogg"
head -c 3000 s44.ogg > "$out/cut_in_headers.ogg"
size=$(wc -c < s48.ogg)
head -c $((size * 2 / 3)) s48.ogg > "$out/cut_in_audio.ogg"

sox -R -n -r 22050 -c 1 -b 16 n22.wav synth 3 whitenoise gain -12
oggenc --quiet -q 0 -s 5 -o n22.ogg n22.wav
granules="$here/../tests/sound/ogg_granules.py"
python3 "$granules" n22.ogg "$out/granules_ahead.ogg" --ahead 3000 1 --header 1234
python3 "$granules" n22.ogg "$out/granules_fall_behind.ogg" --ahead -30000 -2 --header 1234
