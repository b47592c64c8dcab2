#!/usr/bin/env python3
"""Remakes the seed corpus of the recent_log fuzz target in
fuzz/corpus/recent_log: a log as the program writes it (CR LF line ends,
channel names, indented continuation lines) longer than the box shows, a few
lines without an end, empty lines and lines of a lone CR, lines of 258, 259
and many characters (with a CR at the cut), NULs inside lines, and long words
and UTF-8 text that the box breaks into lines."""
import os

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "recent_log")
os.makedirs(out, exist_ok=True)

pad = " " * 19
game = "".join(f"[talvo.io] info: 'DATA/level{i}.rw' file opened.\r\n" for i in range(12))
game += ("[exception] error: class talvo::io::Failure\r\n"
         f"{pad}    \\Lib\\talvo\\src\\talvo\\stream.cpp(120) : talvo::io::Stream::throw_failure_ : \r\n"
         f"{pad}    i/o error\r\n")
seeds = {
    "game": game.encode(),
    "few_unended": b"first\nsecond\nthird",
    "empty_lines": b"a\n\n\r\n\r\nb\n\n",
    "lengths": b"x" * 258 + b"\n" + b"y" * 259 + b"\n" + b"z" * 257 + b"\r\r\n" + b"w" * 1000 + b"\n" + b"v" * 257
               + b"\r" + b"tail\n",
    "unended_long": b"start\n" + b"u" * 300,
    "nul": b"before\0after\n\0hidden\nshown\n",
    "wrap": ("a line of ordinary words that the box breaks where a blank leaves room\n"
             + "ein_sehr_langes_Wort_ohne_Leerzeichen_" * 4 + "\n"
             + "Größe Überlänge ÄÖÜ äöü ß " * 6 + "\n"
             + "\t tabs \t and  spaces  \t\n").encode(),
    "empty": b"",
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
