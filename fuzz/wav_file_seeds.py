#!/usr/bin/env python3
"""Remakes the seed corpus of the wav_file fuzz target in fuzz/corpus/wav_file:
small WAVs of 8 and 16 bits, mono and stereo, one with an odd-sized chunk
before its data, one with its format after its data, truncated ones, and
formats that are not plain PCM (mu-law, A-law, float, ADPCM, and
WAVE_FORMAT_EXTENSIBLE with a PCM and a float sub-format)."""
import os
import struct

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "wav_file")
os.makedirs(out, exist_ok=True)


def chunk(cid, body, size=None):
    size = len(body) if size is None else size
    return cid + struct.pack("<I", size) + body + (b"\0" if len(body) % 2 else b"")


def fmt(channels, rate, bits):
    align = channels * bits // 8
    return chunk(b"fmt ", struct.pack("<HHIIHH", 1, channels, rate, rate * align, align, bits))


def fmt_tag(tag, channels, rate, bits, extra=b""):
    align = channels * max(bits, 8) // 8
    body = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)
    if extra:
        body += struct.pack("<H", len(extra)) + extra
    return chunk(b"fmt ", body)


def extensible(channels, rate, bits, sub_format):
    guid = struct.pack("<H", sub_format) + bytes.fromhex("000000001000800000aa00389b71")
    return fmt_tag(0xFFFE, channels, rate, bits, struct.pack("<HI", bits, 3 if channels == 2 else 4) + guid)


def riff(chunks):
    return b"RIFF" + struct.pack("<I", len(chunks) + 4) + b"WAVE" + chunks


def pcm(count, bits):
    if bits == 8:
        return bytes((0x80 + (i * 37) % 64) & 0xFF for i in range(count))
    return b"".join(struct.pack("<h", (i * 1237) % 20000 - 10000) for i in range(count))


seeds = {
    "mono8": riff(fmt(1, 11025, 8) + chunk(b"data", pcm(40, 8))),
    "stereo8": riff(fmt(2, 22050, 8) + chunk(b"data", pcm(40, 8))),
    "mono16": riff(fmt(1, 22050, 16) + chunk(b"data", pcm(20, 16))),
    "stereo16": riff(fmt(2, 44100, 16) + chunk(b"data", pcm(24, 16))),
    "odd_chunk": riff(fmt(1, 22050, 16) + chunk(b"LIST", b"abc") + chunk(b"data", pcm(8, 16))),
    "fmt_after_data": riff(chunk(b"data", pcm(8, 16)) + fmt(1, 22050, 16)),
    "data_size_past_end": riff(fmt(1, 22050, 16) + chunk(b"data", pcm(8, 16), 4096)),
    "mulaw": riff(fmt_tag(7, 1, 8000, 8, b"") + chunk(b"data", pcm(40, 8))),
    "alaw": riff(fmt_tag(6, 1, 8000, 8, b"") + chunk(b"data", pcm(40, 8))),
    "float": riff(fmt_tag(3, 1, 22050, 32) + chunk(b"data", struct.pack("<4f", 0.5, -0.25, 1.0, 0.0))),
    "adpcm": riff(fmt_tag(2, 1, 22050, 4, struct.pack("<HH", 500, 7) + bytes(28)) + chunk(b"data", bytes(64))),
    "extensible_pcm": riff(extensible(2, 44100, 16, 1) + chunk(b"data", pcm(24, 16))),
    "extensible_float": riff(extensible(1, 48000, 32, 3) + chunk(b"data", struct.pack("<2f", 0.5, -0.5))),
}
seeds["truncated_header"] = seeds["mono16"][:40]
seeds["truncated_data"] = seeds["stereo16"][:60]
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
