#!/usr/bin/python3
"""The select words a keying puts on the wire, read back from the program's trace.

    keying_words.py PROGRAM WORKDIR

Runs PROGRAM headless on the simulated board with a script of counted
keyings, each followed by *WAI, and decodes the trace: SELSRC raised when it
was 0, a select word at each change of symbol only, then the main window's
selection and SELSRC lowered again.
"""
import os
import subprocess
import sys

from pyvisa_words import assert_words

START_UP = [0xD800, 0xC000, 0x8000]
SELSRC_UP, SELSRC_DOWN = 0x9000, 0x8000


def prbs(n, tap):
    """One period of x^n + x^tap + 1 from all ones, each new bit fed back."""
    state, bits = (1 << n) - 1, []
    for _ in range((1 << n) - 1):
        bit = ((state >> (n - 1)) ^ (state >> (tap - 1))) & 1
        state = ((state << 1) | bit) & ((1 << n) - 1)
        bits.append(bit)
    return bits


def hex_bits(digits):
    return [int(d, 16) >> b & 1 for d in digits for b in (3, 2, 1, 0)]


def select(kind, symbol):
    return 0x5000 | symbol << 11 if kind == "FSK" else 0x4000 | symbol << 9


def symbols(kind, bits, count):
    """The first `count` symbols of the endless stream; QPSK takes two bits each."""
    width = 2 if kind == "QPSK" else 1
    stream = bits * (width * count // len(bits) + 2)
    return [int("".join(map(str, stream[k * width:(k + 1) * width])), 2) for k in range(count)]


def keyed(kind, bits, count, window_selection, raised):
    words = [SELSRC_UP] if raised else []
    last = None
    for s in symbols(kind, bits, count):
        if s != last:
            words.append(select(kind, s))
        last = s
    words.append(select(kind, window_selection))
    return words + ([SELSRC_DOWN] if raised else [])


# Script line, then the words it must send. The keyer makes up a short stall
# and skips ahead only after a long one; 40 ms a symbol leaves a busy machine
# room enough.
CASES = [
    ('MOD:TYPE BPSK;PATT "0110";RATE 25;COUN 8;STAT ON;*WAI',
     keyed("BPSK", [0, 1, 1, 0], 8, 0, True)),
    ('MOD:TYPE QPSK;PATT "#H1B";RATE 25;COUN 6;STAT ON;*WAI',
     keyed("QPSK", hex_bits("1B"), 6, 0, True)),
    ('MOD:TYPE QPSK;PATT "011";RATE 25;COUN 5;STAT ON;*WAI',  # odd length: a symbol spans two repetitions
     keyed("QPSK", [0, 1, 1], 5, 0, True)),
    ("MOD:TYPE FSK;PATT PRBS7;RATE 25;COUN 40;STAT ON;*WAI",
     keyed("FSK", prbs(7, 6), 40, 0, True)),
    # SELSRC already 1: left alone; the end selects the window's phase register 2.
    ('CONT:SELS 1;:SEL:PHAS 2;:MOD:TYPE BPSK;PATT "1 0_1";RATE 25;COUN 3;STAT ON;*WAI',
     [SELSRC_UP, select("BPSK", 2)] + keyed("BPSK", [1, 0, 1], 3, 2, False)),
    # Sync set: the keying's SELSRC words keep it.
    ('CONT:SELS 0;:CONT:SYNC 1;:MOD:TYPE FSK;PATT "10";RATE 25;COUN 3;STAT ON;*WAI',
     [SELSRC_DOWN, 0xA000, 0xB000] + keyed("FSK", [1, 0], 3, 0, False) + [0xA000]),
]


def main():
    program, workdir = sys.argv[1], sys.argv[2]
    os.makedirs(workdir, exist_ok=True)
    script, trace = os.path.join(workdir, "keying.scpi"), os.path.join(workdir, "keying.trace")
    with open(script, "w") as f:
        for line, _ in CASES:
            f.write(line + "\nMOD:STAT?;:STAT:OPER:COND?\n")
    run = subprocess.run([program, "--headless", "--port", "sim", "--trace", trace, "--script", script],
                         capture_output=True, text=True, timeout=60)
    assert run.returncode == 0, run.stderr
    assert run.stdout == "0;0\n" * len(CASES), run.stdout  # each keying had ended when *WAI let go
    expected = START_UP + [w for _, words in CASES for w in words]
    assert_words(trace, expected)
    print("keying words: select words at symbol changes only, between SELSRC and the window's selection")


if __name__ == "__main__":
    main()
