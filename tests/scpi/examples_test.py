#!/usr/bin/python3
"""The shipped examples against the program itself: each runs without an
error and leaves the chip as it says.

    examples_test.py PROGRAM EXAMPLES_DIR
"""
import sys

import pyvisa

from pyvisa_client import start

sys.path.insert(0, sys.argv[2])
import qz4471_pymeasure  # noqa: E402
import qz4471_pyvisa  # noqa: E402

# Example, what it must return, then queries and the state they must show.
CASES = [
    (qz4471_pyvisa.run, '0,"No error"',
     "FREQ0:WORD?;:FREQ1:WORD?;:SEL:FREQ?;:SWE0:STAT?", "#H1999999A;#H40000000;1;IDLE"),  # FREQ0 ends at the sweep's stop
    (qz4471_pymeasure.run, [],
     "FREQ1:WORD?;:PHAS2?;:CONT:SELS?;:SEL:FREQ?;:SWE0:STAT?", "#H40000000;291;1;1;IDLE"),
]


def main():
    proc, port = start([sys.argv[1], "--headless", "--port", "sim"])
    try:
        for example, returns, query, state in CASES:
            got = example(port)
            assert got == returns, (example.__module__, got)
            rm = pyvisa.ResourceManager("@py")  # the example closed the shared one
            inst = rm.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET",
                                    read_termination="\n", write_termination="\n", timeout=10000)
            shown = inst.query(query)
            inst.close()
            assert shown == state, (example.__module__, shown, state)
            rm.close()
    finally:
        proc.terminate()
        proc.wait(timeout=10)
    print("examples: both ran and left the chip as they say")


if __name__ == "__main__":
    main()
