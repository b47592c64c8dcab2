#!/bin/sh
# Makes the MPEG audio fixtures of the decoder tests in OUTDIR: sox signals at
# -6 dB (so nothing clips) encoded to layer II by twolame, and manifest.txt
# with one "group file" line per fixture. Usage: make_mpeg_fixtures.sh OUTDIR
set -eu
out="$1"
mkdir -p "$out"
cd "$out"
rm -f manifest.txt
len=1.5

# signal NAME RATE: NAME.wav at RATE Hz (sox -R: the same bytes every run).
signal() {
  name="$1"; rate="$2"; top=$((rate * 9 / 20))
  case "$name" in
    sweep) sox -R -n -r "$rate" -c 2 -b 16 "sweep_$rate.wav" synth "$len" sine "100-$top" gain -6 ;;
    lr) sox -R -n -r "$rate" -c 2 -b 16 "lr_$rate.wav" synth "$len" sine 440 sine 3000 gain -6 ;;
    mono) sox -R -n -r "$rate" -c 1 -b 16 "mono_$rate.wav" synth "$len" sine "200-$top" gain -6 ;;
    noise)
      sox -R -n -r "$rate" -c 2 -b 16 "hiss_$rate.wav" synth "$len" whitenoise gain -14
      sox -R -n -r "$rate" -c 2 -b 16 "clicks_$rate.wav" synth "$len" square 8 gain -14
      sox -R -m "hiss_$rate.wav" "clicks_$rate.wav" -b 16 "noise_$rate.wav"
      rm -f "hiss_$rate.wav" "clicks_$rate.wav" ;;
  esac
}

# layer2 GROUP SIGNAL RATE MODE KBITS [twolame options...]
layer2() {
  group="$1"; sig="$2"; rate="$3"; mode="$4"; kbits="$5"; shift 5
  [ -f "${sig}_$rate.wav" ] || signal "$sig" "$rate"
  file="l2_${rate}_${sig}_${mode}${kbits}$(printf '%s' "$*" | tr -d ' -').mp2"
  twolame --quiet -m "$mode" -b "$kbits" "$@" "${sig}_$rate.wav" "$file"
  echo "$group $file" >> manifest.txt
}

layer2 layer2-mpeg1 sweep 44100 j 192
layer2 layer2-mpeg1 noise 44100 s 256
layer2 layer2-mpeg1 lr 44100 d 192
layer2 layer2-mpeg1 mono 44100 m 96
layer2 layer2-mpeg1 lr 44100 j 128 -p
layer2 layer2-mpeg1 sweep 48000 s 192
layer2 layer2-mpeg1 noise 48000 j 160
layer2 layer2-mpeg1 mono 48000 m 64
layer2 layer2-mpeg1 lr 48000 s 128
layer2 layer2-mpeg1 lr 32000 s 128
layer2 layer2-mpeg1 noise 32000 j 96
layer2 layer2-mpeg1 mono 32000 m 56
layer2 layer2-mpeg2 sweep 16000 j 64
layer2 layer2-mpeg2 mono 16000 m 32
layer2 layer2-mpeg2 noise 22050 s 96
layer2 layer2-mpeg2 lr 22050 d 80
layer2 layer2-mpeg2 lr 24000 j 64
layer2 layer2-mpeg2 mono 24000 m 48
rm -f ./*.wav
