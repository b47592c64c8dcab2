#!/usr/bin/env python3
"""Remakes the seed corpus of the log_config fuzz target in
fuzz/corpus/log_config: sections quoted and not, escapes, level words, every
form of number statement, the comment kinds, the defaults' copy to every
channel, the statements that stop the reading, and files as a Windows editor
saves them (CR LF, a Ctrl-Z at the end of the text)."""
import os

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "log_config")
os.makedirs(out, exist_ok=True)

seeds = {
    "example": "[talvo.io]\ninfo -*\n[!]\nwarning =-*\n",
    "levels": "[talvo.io] error=0\n[exception] -5\n[talvo.io] -4 =1 =7 =3\n",
    "defaults": "[*] -*\n[exception] error=*\n[*] =2\n",
    "names": "[a\\]b]\n['a\\]b'] +3\n['a]b'] -2\n[\"q\\t\\n\\\\\"] w=1\n[ spaced name ] i+*\n",
    "comments": "error ; comment\n=-*\nerror # comment\n=-*\n// line\nwarn // x\n=4\n#\n=5\n",
    "numbers": "* =* +* =+* + x =+ y =0 +0 -0 = z -12 =-12 -* =-* - q =- r "
               "=99999999999 =-99999999999 =-2147483647 =-2147483648\n",
    "stray": "Error=-* W=1 [x] 9 ~ { } /x =1\n",
    "end_in_number": "[a]\ninfo=5",
    "end_in_off": "[a]\ninfo=-*",
    "malformed_plus": "[a] =3\n[b] += 4\n[c] =5\n",
    "malformed_minus": "[a] - = 1\n",
    "unterminated": "[abc",
    "crlf": "[talvo.io]\r\ninfo -*\r\n[!]\r\nwarning =-*\r\n[a\r]\r\n=\r7\r\n",
    "ctrl_z": "[a]\r\ninfo=5\r\n\x1a[b]\r\ninfo=6\r\n",
}
for name, text in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(text.encode())
