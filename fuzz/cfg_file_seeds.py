#!/usr/bin/env python3
"""Remakes the seed corpus of the cfg_file fuzz target in fuzz/corpus/cfg_file:
a configuration like the game's, lines with comments, blanks and '=' in
their values, names in other letter case, CR LF line ends, a line longer than
the reader's line, and the malformed lines that end a load."""
import os

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "cfg_file")
os.makedirs(out, exist_ok=True)

seeds = {
    "game": "WND_NAME = Ball Maze\nFPS_LIMIT = 10\nFULL_SCREEN = 0\nmusic = 1\n"
            "snd_volume = 80\nbest_result = 41300\nstart_x = 20\nstart_y = 20\n",
    "comments": "-- a comment\n\n  \t \n  Volume Level  =   7  \nkey = a -- comment\n"
                "k2 = a--b\nk3 = a - b\nk4 = x = y\nk5 =\nk6 =   -- note\n",
    "case": "use_gfx = 0\nUSE_GFX = 1\nUse_Gfx = 2\nother = \x80\xff bytes\n",
    "crlf": "a = 1\r\nb = two words\r\n\r\nc=3",
    "long_line": "long = " + "v" * 1500 + "\nafter = 1\n",
    "long_name": "n" * 1100 + " = 1\n",
    "empty_name": "before = 1\n= 5\nafter = 2\n",
    "invalid": "before = 1\njustaname\nafter = 2\n",
    "comment_in_name": "a--b = 1\n",
    "nul": "a = b\0c\nd\0 = e\n",
}
for name, text in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(text.encode("latin-1"))
