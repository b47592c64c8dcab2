#!/usr/bin/env python3
"""Remakes the seed corpus of the instance_record fuzz target in
fuzz/corpus/instance_record: records as a running copy writes them (process
id, window id, socket, class, title, each ended by a NUL), with fewer and more
fields, no NUL after the title, numbers with signs, blanks, letters and more
digits than fit, names in other letter case, long and empty fields, and
requests longer than a request is read."""
import os

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "instance_record")
os.makedirs(out, exist_ok=True)


def record(*fields):
    return b"".join(f + b"\0" for f in fields)


game = (b"4242", b"4096", b"talvo-window-4242-9f3c2a11d07e5b64", b"GameAppWndClass", b"Ball Maze")
seeds = {
    "game": record(*game),
    "four_fields": record(*game[:4]),
    "six_fields": record(*game, b"extra"),
    "title_unended": record(*game[:4]) + b"Ball Maze",
    "numbers": record(b" +4242", b"-1", b"talvo-window-1-0", b"GAMEAPPWNDCLASS", b"ball maze")
               + record(b"0x10", b"18446744073709551616", b"12abc", b" 7", b""),
    "long_fields": record(b"4242", b"9" * 40, b"a" * 200, b"C" * 3000, b"T\xc3\xa4" * 500),
    "empty_fields": record(b"", b"", b"", b"", b""),
    "many_requests": b"".join(str(i).encode() + b"\0" for i in range(40)),
    "empty": b"",
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
