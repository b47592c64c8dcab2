#!/usr/bin/python3
"""Writes MIDI files made with mido, and what mido makes of them.

Usage: make_midi.py OUTDIR

For each song NAME: NAME.mid; NAME.events, the tracks merged by
mido.merge_tracks as lines "tick hexbytes" (channel and system-exclusive
messages, and tempo changes as ff51 and the three tempo bytes); NAME.times,
mido's tempo-aware play order as lines "seconds hexbytes" (channel and
system-exclusive messages). Also song.rmi: the first song in a RIFF "RMID"
file. The same files seed the converter's fuzz target.
"""
import os
import struct
import sys

import mido
from mido import Message, MetaMessage, MidiFile, MidiTrack


def track(*messages):
    t = MidiTrack()
    t.extend(messages)
    return t


def conductor():
    """Format 1: a tempo map with changes, two instrument tracks meeting on
    the same ticks, running status, and a system-exclusive message long
    enough to be split over stream buffers."""
    mid = MidiFile(type=1, ticks_per_beat=480)
    mid.tracks.append(track(
        MetaMessage('track_name', name='tempo', time=0),
        MetaMessage('set_tempo', tempo=500000, time=0),
        MetaMessage('time_signature', numerator=3, denominator=4, time=0),
        MetaMessage('set_tempo', tempo=300000, time=960),
        MetaMessage('text', text='  faster  ', time=0),
        MetaMessage('set_tempo', tempo=750000, time=960),
    ))
    melody = [Message('program_change', channel=0, program=19, time=0),
              Message('control_change', channel=0, control=7, value=100, time=0)]
    for i, note in enumerate([60, 62, 64, 65, 67, 69, 71, 72]):
        melody.append(Message('note_on', channel=0, note=note, velocity=90, time=0 if i == 0 else 120))
        melody.append(Message('note_on', channel=0, note=note, velocity=0, time=360))
    melody.append(Message('pitchwheel', channel=0, pitch=-4000, time=10))
    mid.tracks.append(track(*melody))
    drums = [Message('sysex', data=[0x7E, 0x7F, 0x09, 0x01], time=0)]
    for _ in range(8):
        drums.append(Message('note_on', channel=9, note=36, velocity=100, time=0))
        drums.append(Message('note_off', channel=9, note=36, velocity=0, time=480))
    drums.append(Message('sysex', data=[(i * 7) & 0x7F for i in range(1500)], time=5))
    drums.append(Message('note_on', channel=9, note=38, velocity=80, time=0))
    drums.append(Message('note_off', channel=9, note=38, velocity=0, time=1))
    mid.tracks.append(track(*drums))
    return mid


def single():
    """Format 0: one track with tempo changes, meta events between notes and
    every kind of channel message."""
    mid = MidiFile(type=0, ticks_per_beat=96)
    mid.tracks.append(track(
        MetaMessage('set_tempo', tempo=400000, time=0),
        Message('program_change', channel=2, program=40, time=0),
        Message('note_on', channel=2, note=50, velocity=70, time=0),
        Message('polytouch', channel=2, note=50, value=30, time=24),
        MetaMessage('marker', text='A', time=24),
        Message('aftertouch', channel=2, value=20, time=24),
        MetaMessage('set_tempo', tempo=1000000, time=0),
        Message('control_change', channel=2, control=64, value=127, time=24),
        Message('note_off', channel=2, note=50, velocity=0, time=96),
        MetaMessage('lyrics', text='la', time=30),
        Message('control_change', channel=2, control=64, value=0, time=66),
        MetaMessage('set_tempo', tempo=250000, time=10),
        Message('note_on', channel=3, note=70, velocity=60, time=0),
        Message('note_off', channel=3, note=70, velocity=0, time=192),
    ))
    return mid


SONGS = [('conductor', conductor), ('single', single)]


def message_bytes(msg):
    if msg.is_meta:
        if msg.type != 'set_tempo':
            return None
        return bytes([0xFF, 0x51]) + msg.tempo.to_bytes(3, 'big')
    return bytes(msg.bytes())


def main(out):
    os.makedirs(out, exist_ok=True)
    for name, make in SONGS:
        mid = make()
        path = os.path.join(out, name + '.mid')
        mid.save(path)
        mid = MidiFile(path)
        with open(os.path.join(out, name + '.events'), 'w') as f:
            tick = 0
            for msg in mido.merge_tracks(mid.tracks):
                tick += msg.time
                data = message_bytes(msg)
                if data is not None:
                    f.write('%d %s\n' % (tick, data.hex()))
        with open(os.path.join(out, name + '.times'), 'w') as f:
            seconds = 0.0
            for msg in mid:
                seconds += msg.time
                if not msg.is_meta:
                    f.write('%.9f %s\n' % (seconds, bytes(msg.bytes()).hex()))
    with open(os.path.join(out, SONGS[0][0] + '.mid'), 'rb') as f:
        song = f.read()
    info = b'INFO' + struct.pack('<I', 4) + b'ISFT'
    body = b'RMID' + info + b'data' + struct.pack('<I', len(song)) + song + b'\0' * (len(song) & 1)
    with open(os.path.join(out, 'song.rmi'), 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', len(body)) + body)


if __name__ == '__main__':
    main(sys.argv[1])
