#!/usr/bin/python3
"""The words PyVISA commands put on the wire, read back from the program's trace.

    pyvisa_words.py PROGRAM TRACE

Runs PROGRAM headless on the simulated board with --trace TRACE, sends
commands through PyVISA, ends it and decodes the trace: every command must
send exactly the words its window action sends.
"""
import sys

import pyvisa

from pyvisa_client import start

# Command, then the words of the window action it stands for.
CASES = [
    ("FREQ0 12.5 MHZ", [0x3000, 0x2100, 0x3200, 0x2340]),     # Freq 0: 12.5, Enter
    ("FREQ1 MAX", [0x34FF, 0x25FF, 0x36FF, 0x277F]),          # Freq 1: 25 (half the clock), Enter
    ("PHAS1 77", [0x1A4D, 0x0B00]),                           # Phase 1: 77, Enter
    ("CONT:SYNC ON", [0xA000]),                               # Sync Bit
    ("CONT:SYNC ON", [0xA000]),                               # the word goes out again
    ("CONT:SELS 1;:SEL:FREQ 1", [0xB000, 0x5800]),            # SELSRC, Freq. Register 1
    ("CONT:CLE", [0xC800]),                                   # Clear
    ("WORD #H1234", [0x1234]),
    ("INIT", [0x3000, 0x2100, 0x3200, 0x2300, 0x3400, 0x2500, 0x3600, 0x2700, 0x1800, 0x0900,
              0x1A00, 0x0B00, 0x1C00, 0x0D00, 0x1E00, 0x0F00, 0xC800, 0xC000, 0xD000, 0xC000,
              0x5000, 0x4000]),                               # Initialise
]


def decode(path):
    """Words from the data-register writes: frame low, bits latched as the clock falls."""
    words, word, bits, prev = [], None, 0, 4
    for line in open(path):
        parts = line.split()
        if len(parts) != 4 or parts[1] != "OUT" or parts[2] != "0x0378":
            continue
        v = int(parts[3], 16)
        if prev & 4 and not v & 4:
            word, bits = 0, 0
        if word is not None and prev & 1 and not v & 1:
            word, bits = (word << 1) | ((v >> 1) & 1), bits + 1
        if word is not None and v & 4:
            if bits == 16:
                words.append(word)
            word = None
        prev = v
    return words


def assert_words(path, expected):
    """The trace's words are the expected ones, both shown in hex when not."""
    got = decode(path)
    assert got == expected, "\n got      %s\n expected %s" % (
        " ".join("%04X" % w for w in got), " ".join("%04X" % w for w in expected))


def main():
    program, trace = sys.argv[1], sys.argv[2]
    proc, port = start([program, "--headless", "--port", "sim", "--trace", trace])
    try:
        rm = pyvisa.ResourceManager("@py")
        inst = rm.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET",
                                read_termination="\n", write_termination="\n", timeout=5000)
        for command, _ in CASES:
            inst.write(command)
        assert inst.query("SYST:ERR?") == '0,"No error"'
        inst.close()
        rm.close()
    finally:
        proc.terminate()
        proc.wait(timeout=10)
    expected = [0xD800, 0xC000, 0x8000] + [w for _, words in CASES for w in words]
    assert_words(trace, expected)
    print("PyVISA words: every command sent its window action's words")


if __name__ == "__main__":
    main()
