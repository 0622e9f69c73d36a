#!/usr/bin/python3
"""The QZ4471 program driven through its pymeasure driver, the qz4471 module
(installed with the program; pymeasure 0.9, Debian's python3-pymeasure).

    python3 qz4471_pymeasure.py [RESOURCE]

RESOURCE: TCPIP::127.0.0.1::5025::SOCKET (the default, raw SCPI) or
TCPIP::127.0.0.1::INSTR (VXI-11). A setting the instrument refuses raises
qz4471.QZ4471Error.
"""
import sys

from qz4471 import QZ4471


def run(resource="TCPIP::127.0.0.1::5025::SOCKET"):
    dds = QZ4471(resource)
    print("instrument:", dds.id)
    dds.reset()
    dds.clock = 50e6
    dds.frequency0 = 1234567.891  # full precision: the chip's nearest step comes back
    dds.frequency1 = 12.5e6
    dds.phase2 = 291
    dds.selsrc = True
    dds.selected_frequency = 1
    print(f"FREQ0: {dds.frequency0} Hz; FREQ1: {dds.frequency1} Hz, word {dds.word1:#010x}; "
          f"PHASE2 {dds.phase2}; SELSRC {dds.selsrc}")
    dds.sweep(0, start=0, stop=5e6, step=1e6, loops=2, delay_ms=2)
    print("sweeping after the wait:", dds.sweeping(0))
    errors = dds.errors()
    dds.adapter.connection.close()
    return errors


if __name__ == "__main__":
    errors = run(*sys.argv[1:2])
    print("errors:", errors or "none")
    sys.exit(1 if errors else 0)
