#!/usr/bin/python3
"""A pymeasure instrument for the QZ4471 program (written for pymeasure 0.9,
Debian's python3-pymeasure).

    from qz4471_pymeasure import QZ4471
    dds = QZ4471("TCPIP::127.0.0.1::5025::SOCKET")
    dds.frequency0 = 1e6
    dds.sweep(0, start=0, stop=5e6, step=1e6, loops=2, delay_ms=2)

Run as a script it does the same against a program serving on PORT:
    python3 qz4471_pymeasure.py [PORT]
"""
import sys

from pymeasure.instruments import Instrument
from pymeasure.instruments.validators import strict_discrete_set, strict_range


def _frequency(n):
    return Instrument.control(
        f"FREQ{n}?", f"FREQ{n} %g",
        f"FREQ{n} in Hz, 0 to half the master clock (the chip's own rounding applies).",
        validator=strict_range, values=(0, 500e6))


def _phase(n):
    return Instrument.control(
        f"PHAS{n}?", f"PHAS{n} %d", f"PHASE{n}, 0 to 4095 steps of 360/4096 degrees.",
        validator=strict_range, values=(0, 4095), cast=int)


def _bit(name):
    return Instrument.control(
        f"CONT:{name}?", f"CONT:{name} %d", f"Control bit {name}, True or False.",
        validator=strict_discrete_set, values={True: 1, False: 0}, map_values=True, cast=int)


class QZ4471(Instrument):
    """The QZ4471 evaluation board through the program's SCPI server."""

    frequency0 = _frequency(0)
    frequency1 = _frequency(1)
    phase0, phase1, phase2, phase3 = (_phase(n) for n in range(4))
    clock = Instrument.control(
        "CLOC?", "CLOC %g", "The master clock in Hz, 1 kHz to 1 GHz.",
        validator=strict_range, values=(1e3, 1e9))
    sync = _bit("SYNC")
    selsrc = _bit("SELS")
    sleep = _bit("SLE")
    reset_bit = _bit("RES")
    selected_frequency = Instrument.control(
        "SEL:FREQ?", "SEL:FREQ %d", "The frequency register in use (needs selsrc).",
        validator=strict_discrete_set, values=(0, 1), cast=int)
    # The tuning words are 488.2 hexadecimal (#H1E000000): read as text.
    word0 = Instrument.measurement("FREQ0:WORD?", "FREQ0's tuning word, as #H text.", cast=str)
    word1 = Instrument.measurement("FREQ1:WORD?", "FREQ1's tuning word, as #H text.", cast=str)

    def __init__(self, resource="TCPIP::127.0.0.1::5025::SOCKET", **kwargs):
        kwargs.setdefault("visa_library", "@py")
        kwargs.setdefault("read_termination", "\n")
        kwargs.setdefault("write_termination", "\n")
        kwargs.setdefault("timeout", 10000)
        super().__init__(resource, "QZ4471", **kwargs)

    def sweep(self, group, start, stop, step, loops=1, delay_ms=1, wait=True):
        """Sweeps FREQ<group> from start to stop (Hz); with wait, returns at its end."""
        self.write(f"SWE{group}:STAR {start:g};STOP {stop:g};STEP {step:g};LOOP {loops:d};DEL {delay_ms:g}")
        self.write(f"SWE{group}:INIT")
        if wait:
            self.ask("*OPC?")

    def sweeping(self, group):
        return self.ask(f"SWE{group}:STAT?").strip() == "RUN"

    def check_errors(self):
        """Reads the error queue; returns the errors it held."""
        errors = []
        while True:
            e = self.ask("SYST:ERR?").strip()
            if e.startswith("0,"):
                return errors
            errors.append(e)


def run(port=5025):
    dds = QZ4471(f"TCPIP::127.0.0.1::{port}::SOCKET")
    print("instrument:", dds.id)
    dds.write("*RST;*CLS")
    dds.clock = 50e6
    dds.frequency0 = 1e6
    dds.frequency1 = 12.5e6
    dds.phase2 = 291
    dds.selsrc = True
    dds.selected_frequency = 1
    print("FREQ1:", dds.frequency1, "Hz, word", dds.word1, "; PHASE2", dds.phase2, "; SELSRC", dds.selsrc)
    dds.sweep(0, start=0, stop=5e6, step=1e6, loops=2, delay_ms=2)
    print("sweeping after the wait:", dds.sweeping(0))
    errors = dds.check_errors()
    dds.adapter.connection.close()
    return errors


if __name__ == "__main__":
    errors = run(int(sys.argv[1]) if len(sys.argv) > 1 else 5025)
    print("errors:", errors or "none")
    sys.exit(1 if errors else 0)
