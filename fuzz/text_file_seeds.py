#!/usr/bin/env python3
"""Remakes the seed corpus of the text_file fuzz target in
fuzz/corpus/text_file: CR LF and lone CRs and LFs, CR CR LF, a CR at the
end, Ctrl-Z first, after a CR and after text, a log settings file as a
Windows editor saves it, and CR LF pairs across a page's end."""
import os

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "text_file")
os.makedirs(out, exist_ok=True)

page = 4096
seeds = {
    "crlf": b"a\r\nb\x1ac",
    "lone_cr_lf": b"one\rtwo\nthree\r\n\n\r\r",
    "cr_cr_lf": b"\r\r\n\r\r\r\n",
    "cr_at_end": b"x\r",
    "ctrl_z_first": b"\x1aabc\r\n",
    "cr_then_ctrl_z": b"\r\x1az\r\n",
    "text_then_ctrl_z": b"ab\r\ncd\x1a\x1a\r\nef",
    "settings": b"[talvo.io]\r\ninfo -*\r\n[!]\r\nwarning =-*\r\n\x1a",
    # A CR as the last byte of a page, its LF the first of the next; and a
    # CR LF pair at the next page's end with a Ctrl-Z after it.
    "page_ends": b"p" * (page - 1) + b"\r\n" + b"q" * (page - 3) + b"\r\n\x1a" + b"r" * 10,
    "empty": b"",
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
