#!/usr/bin/python3
"""The shipped examples against the program itself: each runs without an
error and leaves the chip as it says; the pymeasure one over the raw socket
and over VXI-11 (where rpcbind runs), with the driver's full precision.

    examples_test.py PROGRAM EXAMPLES_DIR DRIVER_DIR
"""
import os
import shutil
import sys
import tempfile

import pyvisa

from pyvisa_client import start

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "vxi11"))
from support import vxi11_registered  # noqa: E402

sys.path.insert(0, sys.argv[2])
sys.path.insert(0, sys.argv[3])
import qz4471_pymeasure  # noqa: E402
import qz4471_pyvisa  # noqa: E402

# Example, what it must return, then queries and the state they must show.
CASES = [
    (qz4471_pyvisa.run, '0,"No error"',
     "FREQ0:WORD?;:FREQ1:WORD?;:SEL:FREQ?;:SWE0:STAT?", "#H1999999A;#H40000000;1;IDLE"),  # FREQ0 ends at the sweep's stop
    (lambda port: qz4471_pymeasure.run(f"TCPIP::127.0.0.1::{port}::SOCKET"), [],
     "FREQ1:WORD?;:PHAS2?;:CONT:SELS?;:SEL:FREQ?;:SWE0:STAT?", "#H40000000;291;1;1;IDLE"),
]


def driver_checks(resource):
    """The driver sends full precision, checks the limit first, raises on an error."""
    import qz4471
    dds = qz4471.QZ4471(resource)
    dds.reset()
    dds.clock = 50e6
    dds.frequency0 = 1234567.891  # "%g" sent 1234570: word #H06522CF2
    assert dds.word0 == 0x06522C3D, hex(dds.word0)
    for setting, value, error in [("frequency1", 25e6 + 1, ValueError), ("clock", 2e9, ValueError),
                                  ("phase1", 4096, ValueError),
                                  ("selected_frequency", 1, qz4471.QZ4471Error)]:  # SELSRC is 0: -221
        try:
            setattr(dds, setting, value)
            raise AssertionError(f"{setting} = {value} raised nothing")
        except error as e:
            assert error is ValueError or e.errors[0][0] == -221, e.errors
    try:
        dds.recall_setup(9)  # never saved
        raise AssertionError("an empty slot recalled")
    except qz4471.QZ4471Error as e:
        assert e.errors[0][0] == -221, e.errors
    dds.save_setup(3)
    dds.frequency0 = 0
    dds.recall_setup(3)
    assert dds.word0 == 0x06522C3D, hex(dds.word0)
    assert dds.errors() == []
    dds.adapter.connection.close()


def list_checks(resource):
    """A list longer than one line goes in chunks and comes back whole; it runs
    counted to its end, and on bus triggers row by row."""
    import qz4471
    dds = qz4471.QZ4471(resource)
    dds.reset()
    hz = [1e6 + k * 1234.5 for k in range(600)]  # about 7 kB: three lines
    dds.list_frequencies = hz
    dds.list_dwells = 0.0005
    assert dds.list_frequencies == hz and dds.list_points == 600 and dds.list_dwells == [0.0005]
    dds.list_count = 1
    dds.start_list()
    dds.wait()
    assert not dds.list_running and dds.list_progress() == (600, 600, 1, 1), dds.list_progress()
    dds.list_frequencies = [2e6, 3e6]
    dds.list_count = None
    dds.trigger_source = "BUS"
    dds.start_list()
    dds.trigger()
    dds.trigger()
    assert dds.list_progress() == (2, 2, 1, 0), dds.list_progress()
    dds.stop_list()
    try:
        dds.trigger()
        raise AssertionError("a trigger with no list waiting")
    except qz4471.QZ4471Error as e:
        assert e.errors[0][0] == -211, e.errors
    assert dds.trigger_source == "BUS" and dds.list_count is None
    dds.adapter.connection.close()


def main():
    config = tempfile.mkdtemp(prefix="qz4471-examples-")
    os.environ["XDG_CONFIG_HOME"] = config  # the *SAV slots
    proc, port = start([sys.argv[1], "--headless", "--port", "sim"])
    if vxi11_registered():
        CASES.append((lambda port: qz4471_pymeasure.run("TCPIP::127.0.0.1::INSTR"), [],
                      "FREQ1:WORD?;:SWE0:STAT?", "#H40000000;IDLE"))
    try:
        for example, returns, query, state in CASES:
            got = example(port)
            assert got == returns, (example, got)
            rm = pyvisa.ResourceManager("@py")  # the example closed the shared one
            inst = rm.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET",
                                    read_termination="\n", write_termination="\n", timeout=10000)
            shown = inst.query(query)
            inst.close()
            assert shown == state, (example, shown, state)
            rm.close()
        driver_checks(f"TCPIP::127.0.0.1::{port}::SOCKET")
        list_checks(f"TCPIP::127.0.0.1::{port}::SOCKET")
    finally:
        proc.terminate()
        proc.wait(timeout=10)
        shutil.rmtree(config, ignore_errors=True)
    print("examples: both ran and left the chip as they say; the driver keeps full precision")


if __name__ == "__main__":
    main()
