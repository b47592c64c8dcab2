"""Rewrites the granule positions of an Ogg Vorbis file's pages, as encoders
that set them wrong did, or joins its audio pages into longer ones, and writes
each page's CRC again.

Usage: ogg_granules.py IN OUT [--ahead FRAMES FROM]... [--last FRAMES]
                              [--header GRANULE] [--join PAGES]
  --ahead FRAMES FROM  adds FRAMES to the granule position of every audio
                       page from the FROM-th on (0: the first; a negative
                       FROM counts from the last page); repeated, they add up
  --last FRAMES        adds FRAMES to the granule position of the last page
  --header GRANULE     sets the granule position of the last header page
  --join PAGES         makes each run of PAGES audio pages one page (fewer
                       where their lacing values would pass 255), with the
                       granule position of its last page; pages are numbered
                       again
"""
import argparse
import struct

HEADER_PACKETS = 3


def _entry(i):
    c = i << 24
    for _ in range(8):
        c = ((c << 1) ^ 0x04C11DB7 if c & 0x80000000 else c << 1) & 0xFFFFFFFF
    return c


CRC_TABLE = [_entry(i) for i in range(256)]


def crc(data):
    """The Ogg page checksum (CRC-32, polynomial 0x04C11DB7, no reflection)."""
    c = 0
    for b in data:
        c = ((c << 8) & 0xFFFFFFFF) ^ CRC_TABLE[(c >> 24) ^ b]
    return c


def pages(b):
    """(start, end, packets ending on it) of each page of the file."""
    pos = 0
    while pos < len(b):
        n = b[pos + 26]
        lacing = b[pos + 27:pos + 27 + n]
        end = pos + 27 + n + sum(lacing)
        yield pos, end, sum(1 for v in lacing if v < 255)
        pos = end


def main():
    p = argparse.ArgumentParser()
    p.add_argument('src')
    p.add_argument('dst')
    p.add_argument('--ahead', type=int, nargs=2, action='append', default=[])
    p.add_argument('--last', type=int, default=0)
    p.add_argument('--header', type=int)
    p.add_argument('--join', type=int, default=1)
    a = p.parse_args()
    b = bytearray(open(a.src, 'rb').read())
    found = list(pages(b))
    packets = 0
    audio = []  # indices of the audio pages
    for i, (start, end, ended) in enumerate(found):
        if packets >= HEADER_PACKETS:
            audio.append(i)
        packets += ended
        if packets >= HEADER_PACKETS and not audio and a.header is not None:
            b[start + 6:start + 14] = struct.pack('<q', a.header)
    for frames, first in a.ahead:
        for i in audio[first:]:
            start = found[i][0]
            granule = struct.unpack('<q', b[start + 6:start + 14])[0]
            if granule != -1:
                b[start + 6:start + 14] = struct.pack('<q', granule + frames)
    start = found[-1][0]
    granule = struct.unpack('<q', b[start + 6:start + 14])[0]
    b[start + 6:start + 14] = struct.pack('<q', granule + a.last)
    out = [b[start:end] for start, end, _ in found]
    if a.join > 1:
        out = out[:audio[0]] + joined(out[audio[0]:], a.join) if audio else out
    for number, page in enumerate(out):
        page[18:22] = struct.pack('<I', number)
        page[22:26] = bytes(4)
        page[22:26] = struct.pack('<I', crc(page))
    open(a.dst, 'wb').write(b''.join(out))


def joined(pages, most):
    """Runs of at most `most` pages, each one page: the first page's header
    (its flags but the end of the stream's), the last one's granule position
    and end flag, the lacing values and bodies one after the other."""
    out = []
    for page in pages:
        last = out[-1] if out else None
        if last is not None and run < most and last[26] + page[26] <= 255:
            n, m = last[26], page[26]
            body = last[27 + n:] + page[27 + m:]
            last[5] = (last[5] & ~4) | (page[5] & 4)
            last[6:14] = page[6:14]
            last[26] = n + m
            out[-1] = last[:27] + last[27:27 + n] + page[27:27 + m] + body
            run += 1
        else:
            out.append(bytearray(page))
            run = 1
    return out


main()
