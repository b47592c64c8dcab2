#!/usr/bin/env python3
"""Remakes the seed corpus of the wav_file fuzz target in fuzz/corpus/wav_file:
small WAVs of 8 and 16 bits, mono and stereo, one with an odd-sized chunk
before its data, one with its format after its data, and truncated ones."""
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
}
seeds["truncated_header"] = seeds["mono16"][:40]
seeds["truncated_data"] = seeds["stereo16"][:60]
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
