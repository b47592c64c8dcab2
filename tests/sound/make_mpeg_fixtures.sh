#!/bin/sh
# Makes the MPEG audio fixtures of the decoder tests in OUTDIR: sox signals at
# -6 dB (so nothing clips) encoded to layer II by twolame and to layer III by
# lame, and manifest.txt with one "group file" line per fixture.
# Usage: make_mpeg_fixtures.sh OUTDIR
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
    clicks) sox -R -n -r "$rate" -c 2 -b 16 "clicks_$rate.wav" synth "$len" square 3 square 4 gain -12 ;;
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

# Layer III: lame -t (no info frame, so every decoder starts at the same
# sample) low-passed below the first line our decoder drops at the rate:
# subband 31 (line 558), and for the lower rates the last long band (whose
# first line is L21) and the last short band (3 x S12). The filter's
# transition (--lowpass-width) and one subband of spread must end below it.
# layer3 GROUP SIGNAL RATE LOWPASS_KHZ [lame options...]
layer3() {
  group="$1"; sig="$2"; rate="$3"; lowpass="$4"; shift 4
  case "$rate" in
    44100|48000|32000) first=558 ;;
    22050|16000|11025|12000) first=522 ;;  # L21 522, S12 174
    24000) first=540 ;;                    # L21 540, S12 180
    8000) first=498 ;;                     # L21 574, S12 166
    *) echo "make_mpeg_fixtures: no limit for $rate Hz" >&2; exit 1 ;;
  esac
  awk -v r="$rate" -v f="$first" -v lp="$lowpass" -v w=0.5 'BEGIN {
    limit = f * r / 2 / 576; top = (lp + w) * 1000 + r / 64
    if (top >= limit) { printf "make_mpeg_fixtures: %s kHz + %s kHz reaches line %d (%.0f Hz) at %d Hz\n", lp, w, f, limit, r > "/dev/stderr"; exit 1 }
  }'
  [ -f "${sig}_$rate.wav" ] || signal "$sig" "$rate"
  file="l3_${rate}_${sig}$(printf '%s' "$*" | tr -d ' -').mp3"
  lame --quiet -t --lowpass "$lowpass" --lowpass-width 0.5 "$@" "${sig}_$rate.wav" "$file"
  echo "$group $file" >> manifest.txt
}

layer3 layer3-mpeg1 sweep 44100 16 -b 128
layer3 layer3-mpeg1 clicks 44100 16 -b 128
layer3 layer3-mpeg1 noise 44100 16 -b 128
layer3 layer3-mpeg1 lr 44100 16 -b 128 -m s
layer3 layer3-mpeg1 noise 44100 16 -b 128 -m f
layer3 layer3-mpeg1 mono 44100 16 -b 128 -m m
layer3 layer3-mpeg1 noise 44100 19 -b 320
layer3 layer3-mpeg1 sweep 44100 16 -V 2
layer3 layer3-mpeg1 lr 44100 16 -b 128 -p
layer3 layer3-mpeg1 clicks 48000 16 -b 128
layer3 layer3-mpeg1 sweep 48000 18 -b 192 -m s
layer3 layer3-mpeg1 noise 32000 12 -b 96
layer3 layer3-mpeg1 mono 32000 12 -b 64 -m m
layer3 layer3-mpeg2 sweep 22050 8 -b 64
layer3 layer3-mpeg2 clicks 22050 8 -b 64
layer3 layer3-mpeg2 noise 24000 9 -b 64
layer3 layer3-mpeg2 lr 24000 9 -b 56 -m s
layer3 layer3-mpeg2 mono 16000 5.5 -b 32 -m m
layer3 layer3-mpeg2 clicks 16000 5.5 -b 48
layer3 layer3-mpeg25 sweep 11025 4 -b 32
layer3 layer3-mpeg25 clicks 12000 4.2 -b 32
layer3 layer3-mpeg25 mono 8000 2.7 -b 16 -m m
layer3 layer3-mpeg25 lr 8000 2.7 -b 24 -m s
rm -f ./*.wav
