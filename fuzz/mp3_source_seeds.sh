#!/bin/sh
# Remakes the seed corpus of the mp3_source fuzz target in
# fuzz/corpus/mp3_source: the first frames of each layer and MPEG version,
# each behind the target's option byte. Layer II comes from twolame, layer
# III from lame (-t: no info frame; one file keeps it), layer I, which no
# Debian package encodes, from a few random valid frames written here. Some
# files begin with an ID3v2 tag (with a footer, or a size past the file).
set -eu
out="$(cd "$(dirname "$0")" && pwd)/corpus/mp3_source"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"

# seed NAME OPTIONBYTE FILE BYTES: the option byte, then the first BYTES of FILE.
seed() {
  { printf "\\$(printf '%03o' "$2")"; head -c "$4" "$3"; } > "$out/$1"
}

# id3 FLAGS SIZE: an ID3v2.4 header with the flags and a sync-safe size,
# then SIZE bytes of tag data (fewer when the size is to lie past the file).
id3() {
  python3 -c '
import sys
flags, size, body = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
safe = bytes([(size >> 21) & 127, (size >> 14) & 127, (size >> 7) & 127, size & 127])
sys.stdout.buffer.write(b"ID3\4\0" + bytes([flags]) + safe + b"T" * body)
' "$@"
}

sox -R -n -r 44100 -c 2 -b 16 s44.wav synth 0.3 sine 300-9000 sine 1200 gain -6
sox -R -n -r 22050 -c 1 -b 16 m22.wav synth 0.3 sine 200-6000 gain -6
sox -R -n -r 8000 -c 1 -b 16 m8.wav synth 0.3 sine 200-3000 gain -6
sox -R -n -r 48000 -c 2 -b 16 s48.wav synth 0.3 whitenoise gain -12

twolame --quiet -m j -b 192 s44.wav l2_44.mp2
twolame --quiet -m m -b 64 m22.wav l2_22.mp2
twolame --quiet -m s -b 128 -p s48.wav l2_48.mp2
lame --quiet -t -b 128 s44.wav l3_44.mp3
lame --quiet -t -m m -b 32 m22.wav l3_22.mp3
lame --quiet -t -m m -b 16 m8.wav l3_8.mp3
lame --quiet -m m -b 32 m22.wav l3_22_info.mp3
{ id3 0 300 300; head -c 1500 l3_44.mp3; } > id3_l3_44.mp3
{ id3 16 40 50; head -c 1200 l2_22.mp2; } > id3_footer_l2_22.mp2
{ id3 0 5000 20; head -c 600 l3_22.mp3; } > id3_past_end.mp3

# Layer I at 32 kHz, joint stereo (bound 8 subbands), 384 kbit/s: allocation
# 4 in every coded subband, scale factor 40, samples counting up.
python3 - <<'PY'
bits = []
def put(v, n):
    bits.extend((v >> (n - 1 - i)) & 1 for i in range(n))
frames = b""
for f in range(3):
    bits.clear()
    put(0xFFF, 12); put(1, 1); put(3, 2); put(1, 1)
    put(12, 4); put(2, 2); put(0, 2); put(1, 2); put(1, 2); put(0, 4)
    coded = [2 if sb < 8 else 1 for sb in range(32)]
    for sb in range(32):
        for ch in range(coded[sb]):
            put(4 if sb < 24 else 0, 4)
    for sb in range(24):
        for ch in range(2):
            put(40, 6)
    for s in range(12):
        for sb in range(24):
            for ch in range(coded[sb]):
                put((s * 3 + sb + f) % 31, 5)
    size = 384 * 240 // 640 * 4
    bits.extend([0] * (size * 8 - len(bits)))
    frames += bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))
open("l1_32.mp1", "wb").write(frames)
PY

seed layer1_32k_joint 0 l1_32.mp1 2000
seed layer1_32k_joint_half_mix 5 l1_32.mp1 2000
seed layer2_44k_joint 0 l2_44.mp2 2000
seed layer2_44k_joint_quarter_right_8bit 30 l2_44.mp2 2000
seed layer2_22k_mono 0 l2_22.mp2 1000
seed layer2_48k_crc_left 8 l2_48.mp2 1300
seed layer3_44k_joint 0 l3_44.mp3 2000
seed layer3_44k_joint_mix_8bit 20 l3_44.mp3 2000
seed layer3_22k_mono 0 l3_22.mp3 800
seed layer3_8k_mono_half 1 l3_8.mp3 400
# Looping (bit 5) and fills of 4608, 6000 and 32768 bytes (bits 6-7).
seed layer3_22k_info_frame 64 l3_22_info.mp3 3000
seed layer3_44k_id3 128 id3_l3_44.mp3 2000
seed layer2_22k_id3_footer 192 id3_footer_l2_22.mp2 1300
seed id3_past_end 0 id3_past_end.mp3 700
seed layer3_44k_looping 32 l3_44.mp3 2000
seed layer2_48k_looping_8bit 48 l2_48.mp2 1300
