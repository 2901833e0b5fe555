#!/usr/bin/env python3
"""Writes the seed corpus of the file list's fuzz target into tests/fuzz/corpus.

Each seed is a whole list file as it would lie beside the installer; the loader reads its first
1000 bytes. Run again after changing a seed here; the noise is drawn from a fixed seed.
"""
import os
import random

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def entries(count, first=1):
    return b"".join(b"F%d.EX_,f%d.exe,P\n" % (i, i) for i in range(first, first + count))


def fill(head, tail, size=1000):
    """head, comment lines as padding, then tail, so that tail ends at byte `size`."""
    text = head
    while len(text) + len(tail) < size:
        room = size - len(text) - len(tail)
        text += b"\n" if room == 1 else b";" + b"-" * min(58, room - 2) + b"\n"
    return text + tail


def seeds():
    rnd = random.Random(5)
    sample = open(os.path.join(os.path.dirname(HERE), "..", "..", "sample", "Velmarin.lst"),
                  "rb").read()
    yield "sample.lst", sample
    yield "comments.lst", (b"; Zelnar file list\n# hash\n.dot\n\tTab\n Space\n\n"
                           b"APP.EX_,app.exe,P\n; drivers\nVXD.38_,vxd.386,D\n"
                           b"SYS.DL_,sys.dll,S\nWIN.IN_,win.ini,W\n")
    yield "crlf.lst", b"APP.EX_,app.exe,P\r\n; comment\r\nUser Guide.pd_,User Guide.pdf,P\r\n"
    yield "lower-case-letter.lst", b"APP.EX_,app.exe,P\r\nB,b,p\r\n"
    yield "bad-letter-second-line.lst", b"A,B,P\nA,B,X\nC,D,S\n"
    yield "entries-20.lst", entries(20)
    yield "entries-25.lst", entries(25)
    yield "entries-21-bad-last.lst", entries(20) + b"bad line without commas\n"
    yield "missing-commas.lst", b"APP.EX_,app.exe,P\nAPP.EX_ app.exe P\n"
    yield "one-comma.lst", b"APP.EX_,app.exe P\nC,D,P\n"
    yield "ends-after-second-comma.lst", b"A,B,P\nC,D,"
    yield "letter-on-next-line.lst", b"A,B,\nP\n"
    yield "no-final-feed.lst", b"A,B,P\nC,D,W"
    yield "empty.lst", b""
    yield "only-comments.lst", b"; nothing to install\n;\n\n# none\n"
    yield "zero-at-line-start.lst", b"A,B,P\n\0C,D,S\nE,F,W\n"
    yield "zero-at-start.lst", b"\0A,B,P\n"
    yield "zero-before-letter.lst", b"A,B,P\nC,D\0,S\n"
    yield "zero-in-source-name.lst", b"A\0A,B,P\n"
    yield "zero-after-letter.lst", b"A,B,P\0junk\nC,D,S\n"
    yield "high-ansi.lst", ("Recette \u00e9.rcp,Recipes\\Recette \u00e9.rcp,P\n"
                            "\u00c9t\u00e9.txt,\u00e9t\u00e9.txt,W\n"
                            "\u00a7 comment\n").encode("cp1252")
    yield "exact-1000.lst", fill(b"A,B,P\n", b"C,D,S")
    yield "cut-inside-entry.lst", fill(b"A,B,P\n", b"C,D,S") + b"ecret.dll,x,P\n"
    yield "cut-inside-names.lst", fill(b"A,B,P\n", b"C,D") + b",S\n"
    yield "cut-after-comma.lst", fill(b"A,B,P\n", b"C,D,") + b"S\n"
    yield "cut-inside-comment.lst", fill(b"A,B,P\n", b"; comment") + b" goes on\nE,F,P\n"
    yield "cut-feed-at-1000.lst", fill(b"A,B,P\n", b"C,D,S\n") + b"E"
    yield "cut-after-full-table.lst", fill(entries(20), b"G,g,X") + b"\n"
    yield "noise-short.bin", bytes(rnd.randrange(256) for _ in range(300))
    yield "noise-long.bin", bytes(rnd.randrange(256) for _ in range(1100))
    yield "noise-text.bin", bytes(rnd.choice(b"AZaz09,,,\n\n\r;\0\xe9DPSW ") for _ in range(1050))


def main():
    os.makedirs(HERE, exist_ok=True)
    for name, data in seeds():
        with open(os.path.join(HERE, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
