#!/usr/bin/python3
"""Remakes the seed corpus of the midi_read fuzz target in
fuzz/corpus/midi_read: the files of tests/sound/make_midi.py (MIDI files and
one RIFF "RMID" file), and RMID wrappings of the smallest of them: with an
odd-sized chunk before "data", without a "data" chunk, with a "data" chunk
longer than the file, and a RIFF file of another form."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "corpus", "midi_read")
os.makedirs(out, exist_ok=True)

with tempfile.TemporaryDirectory() as work:
    subprocess.run([sys.executable, os.path.join(here, "..", "tests", "sound", "make_midi.py"), work], check=True)
    for name in sorted(os.listdir(work)):
        if name.endswith((".mid", ".rmi")):
            shutil.copy(os.path.join(work, name), os.path.join(out, name))
    smallest = min((n for n in os.listdir(out) if n.endswith(".mid")), key=lambda n: os.path.getsize(os.path.join(out, n)))
    with open(os.path.join(out, smallest), "rb") as f:
        song = f.read()


def chunk(cid, body, size=None):
    size = len(body) if size is None else size
    return cid + struct.pack("<I", size) + body + (b"\0" if len(body) % 2 else b"")


def riff(form, chunks):
    return b"RIFF" + struct.pack("<I", len(chunks) + 4) + form + chunks


seeds = {
    "rmid_info_first.rmi": riff(b"RMID", chunk(b"LIST", b"INFOabc") + chunk(b"data", song)),
    "rmid_no_data.rmi": riff(b"RMID", chunk(b"LIST", b"INFO")),
    "rmid_data_past_end.rmi": riff(b"RMID", chunk(b"data", song, len(song) + 100)),
    "riff_wave.rmi": riff(b"WAVE", chunk(b"data", song)),
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
