"""A pymeasure (0.9) driver for the QZ4471 program's SCPI instrument.

    from qz4471 import QZ4471
    dds = QZ4471("TCPIP::127.0.0.1::5025::SOCKET")   # or "TCPIP::127.0.0.1::INSTR" (VXI-11)
    dds.clock = 50e6
    dds.frequency0 = 1234567.891       # sent at full precision, read back in Hz
    dds.sweep(0, start=0, stop=5e6, step=1e6, loops=2, delay_ms=2)

Every setting is followed by SYSTem:ERRor?: an error the instrument reports
raises QZ4471Error, and a value outside what the instrument takes raises
ValueError before anything is sent. The frequency limit is half the clock the
instrument has committed, read when a frequency is set.

    dds.list_frequencies = [1e6, 2e6, 3e6]   # any length: sent in lines under 4096 bytes
    dds.list_dwells = 0.001                  # seconds: one for every row, or one a row
    dds.list_count = 2                       # passes; None: until stopped
    dds.start_list(); dds.wait()             # or trigger_source = "BUS", then trigger()
"""
import math

# A line the instrument takes is at most 4096 bytes with its newline.
_LINE_LIMIT = 4000

from pymeasure.instruments import Instrument

__all__ = ["QZ4471", "QZ4471Error"]


class QZ4471Error(Exception):
    """Errors the instrument reported after a command: [(code, text), ...]."""

    def __init__(self, command, errors):
        self.command = command
        self.errors = errors
        super().__init__(f"{command!r}: " + "; ".join(f"{c},{t}" for c, t in errors))


def _number(value):
    """Full-precision text of a finite number: repr() of a float round-trips."""
    value = float(value)
    if not math.isfinite(value):
        raise ValueError(f"{value} is not a finite number")
    return repr(value)


def _in_range(name, value, low, high):
    if not low <= float(value) <= high:
        raise ValueError(f"{name} {value} is outside {low:.17g} to {high:.17g}")


def _frequency(n):
    def get(self):
        return float(self.ask(f"FREQ{n}?"))

    def set(self, hz):
        _in_range(f"frequency{n}", hz, 0, self.clock / 2)
        self.command(f"FREQ{n} {_number(hz)}")

    return property(get, set, doc=f"FREQ{n} in Hz: 0 to half the committed clock, the chip's rounding read back.")


def _word(n):
    def get(self):
        return int(self.ask(f"FREQ{n}:WORD?").strip()[2:], 16)

    def set(self, word):
        _in_range(f"word{n}", word, 0, 0xFFFFFFFF)
        self.command(f"FREQ{n}:WORD #H{int(word):08X}")

    return property(get, set, doc=f"FREQ{n}'s 32-bit tuning word.")


def _phase(n):
    def get(self):
        return int(self.ask(f"PHAS{n}?"))

    def set(self, steps):
        _in_range(f"phase{n}", steps, 0, 4095)
        self.command(f"PHAS{n} {int(steps) if isinstance(steps, int) else _number(steps)}")

    return property(get, set, doc=f"PHASE{n} in steps of 360/4096 degrees, 0 to 4095 (degrees: round(deg * 4096 / 360) % 4096); "
                                  "a fraction is converted as the window's phase field converts it; reads the 12-bit value loaded.")


def _bit(name):
    def get(self):
        return self.ask(f"CONT:{name}?").strip() == "1"

    def set(self, on):
        self.command(f"CONT:{name} {1 if on else 0}")

    return property(get, set, doc=f"Control bit {name}.")


def _selection(what, top):
    def get(self):
        return int(self.ask(f"SEL:{what}?"))

    def set(self, reg):
        if int(reg) != reg or not 0 <= reg <= top:
            raise ValueError(f"{what} register {reg} is not 0 to {top}")
        self.command(f"SEL:{what} {int(reg)}")

    return property(get, set, doc=f"The {what.lower()} register in use (needs selsrc).")


class QZ4471(Instrument):
    """The QZ4471 evaluation board through the program's SCPI or VXI-11 server."""

    frequency0, frequency1 = _frequency(0), _frequency(1)
    word0, word1 = _word(0), _word(1)
    phase0, phase1, phase2, phase3 = (_phase(n) for n in range(4))
    sync, selsrc, sleep, reset_bit = _bit("SYNC"), _bit("SELS"), _bit("SLE"), _bit("RES")
    selected_frequency = _selection("FREQ", 1)
    selected_phase = _selection("PHAS", 3)

    def __init__(self, resource="TCPIP::127.0.0.1::5025::SOCKET", **kwargs):
        kwargs.setdefault("visa_library", "@py")
        kwargs.setdefault("read_termination", "\n")
        kwargs.setdefault("write_termination", "\n")
        kwargs.setdefault("timeout", 10000)
        super().__init__(resource, "QZ4471", includeSCPI=True, **kwargs)

    # ---- errors ----
    def errors(self):
        """Empties the error queue: [(code, text), ...]."""
        found = []
        while True:
            code, _, text = self.ask("SYST:ERR?").strip().partition(",")
            if int(code) == 0:
                return found
            found.append((int(code), text.strip('"')))

    def command(self, text):
        """Sends a setting, then raises QZ4471Error if the instrument queued an error."""
        self.write(text)
        errors = self.errors()
        if errors:
            raise QZ4471Error(text, errors)

    # ---- the clock and plain actions ----
    @property
    def clock(self):
        """The committed master clock in Hz, 1 kHz to 1 GHz (default 50 MHz).

        Setting it reloads nothing: later frequency loads and sweeps compute
        their words from it, while a frequency already loaded keeps its word,
        and frequencyN reads back word x the clock of its load / 2**32. Set the
        clock first, then the frequencies; the frequency limit follows it."""
        return float(self.ask("CLOC?"))

    @clock.setter
    def clock(self, hz):
        _in_range("clock", hz, 1e3, 1e9)
        self.command(f"CLOC {_number(hz)}")

    def reset(self):
        self.command("*RST;*CLS")

    def initialise(self):
        self.command("INIT")

    def clear_chip(self):
        """The "&Clear" button."""
        self.command("CONT:CLE")

    def send_word(self, word):
        _in_range("word", word, 0, 0xFFFF)
        self.command(f"WORD #H{int(word):04X}")

    def wait(self):
        """Returns when the sweeps, counted keyings and counted free-running lists running now have ended."""
        self.ask("*OPC?")

    # ---- sweeps ----
    def set_sweep(self, group, start, stop, step, loops=1, delay_ms=1, log=False, points=11, up_down=False):
        """log: `points` spaced by equal ratios (start and stop above 0) in place
        of the step; up_down: each loop goes back down, the last one ends at start."""
        _in_range("points", points, 2, 100000)
        self.command(f"SWE{group}:SPAC {'LOG' if log else 'LIN'};DIR {'UDOW' if up_down else 'UP'};"
                     f"POIN {_number(points)};STAR {_number(start)};STOP {_number(stop)};STEP {_number(step)};"
                     f"LOOP {_number(loops)};DEL {_number(delay_ms)}")

    def start_sweep(self, group):
        self.command(f"SWE{group}:INIT")

    def stop_sweep(self, group):
        self.command(f"SWE{group}:ABOR")

    def sweep(self, group, start, stop, step, loops=1, delay_ms=1, wait=True, **kind):
        """Sweeps FREQ<group> from start to stop (Hz); with wait, returns at its end.
        `kind`: log, points and up_down as for set_sweep."""
        self.set_sweep(group, start, stop, step, loops, delay_ms, **kind)
        self.start_sweep(group)
        if wait:
            self.wait()

    def sweeping(self, group):
        return self.ask(f"SWE{group}:STAT?").strip() == "RUN"

    def sweep_progress(self, group):
        """(step, steps, loop, loops) of the running or the last sweep."""
        return tuple(int(v) for v in self.ask(f"SWE{group}:PROG?").split(","))

    # ---- keying ----
    @property
    def keying_type(self):
        return self.ask("MOD:TYPE?").strip()

    @keying_type.setter
    def keying_type(self, kind):
        if kind not in ("FSK", "BPSK", "QPSK"):
            raise ValueError(f"keying type {kind!r} is not FSK, BPSK or QPSK")
        self.command(f"MOD:TYPE {kind}")

    @property
    def keying_pattern(self):
        """Bits ("0110"), hexadecimal ("#H0F96") or a PRBS name (PRBS7, PRBS9, PRBS15)."""
        return self.ask("MOD:PATT?").strip().strip('"')

    @keying_pattern.setter
    def keying_pattern(self, pattern):
        bare = pattern in ("PRBS7", "PRBS9", "PRBS15")
        if '"' in pattern:
            raise ValueError("a pattern holds no quote")
        self.command(f"MOD:PATT {pattern}" if bare else f'MOD:PATT "{pattern}"')

    @property
    def keying_rate(self):
        """Symbols a second."""
        return float(self.ask("MOD:RATE?"))

    @keying_rate.setter
    def keying_rate(self, rate):
        self.command(f"MOD:RATE {_number(rate)}")

    @property
    def keying_count(self):
        """Symbols to key; None: until stopped."""
        value = float(self.ask("MOD:COUN?"))
        return None if value >= 9.9e37 else int(value)

    @keying_count.setter
    def keying_count(self, count):
        if count is not None and (int(count) != count or not 1 <= count <= 0xFFFFFFFF):
            raise ValueError(f"keying count {count} is not 1 to 4294967295 or None")
        self.command("MOD:COUN INF" if count is None else f"MOD:COUN {int(count)}")

    @property
    def keying(self):
        """Whether a keying runs; setting starts or stops one."""
        return self.ask("MOD:STAT?").strip() == "1"

    @keying.setter
    def keying(self, on):
        self.command(f"MOD:STAT {1 if on else 0}")

    @property
    def setup(self):
        """One line of commands that brings a fresh program to the present state."""
        return self.ask("SYST:SET?").strip()

    def save_setup(self, slot):
        """*SAV: the setup kept in slot 0..9 of the user's config folder, between runs
        (refused for a client beyond loopback)."""
        _in_range("slot", slot, 0, 9)
        self.command(f"*SAV {int(slot)}")

    def recall_setup(self, slot):
        """*RCL: a slot saved before; an empty one raises QZ4471Error (-221)."""
        _in_range("slot", slot, 0, 9)
        self.command(f"*RCL {int(slot)}")

    # ---- hop lists ----
    def _send_values(self, header, values):
        """LIST:<header> then LIST:<header>:APP, each line under the instrument's 4096-byte limit."""
        texts = [_number(v) for v in values]
        if not texts:
            raise ValueError("a list needs one value or more")
        first, chunk = True, []
        for t in texts + [None]:
            if t is None or (chunk and len(header) + 12 + sum(len(c) + 1 for c in chunk) + len(t) > _LINE_LIMIT):
                self.command(f"LIST:{header}{'' if first else ':APP'} {','.join(chunk)}")
                first, chunk = False, []
            if t is not None:
                chunk.append(t)

    @property
    def list_frequencies(self):
        """The list's frequencies in Hz (0 to half the committed clock), up to 100000 rows."""
        reply = self.ask("LIST:FREQ?").strip()
        return [float(v) for v in reply.split(",")] if reply else []

    @list_frequencies.setter
    def list_frequencies(self, hz):
        high = self.clock / 2
        for v in hz:
            _in_range("list frequency", v, 0, high)
        self._send_values("FREQ", hz)

    @property
    def list_dwells(self):
        """The dwells in seconds: one for every row, or one a row."""
        reply = self.ask("LIST:DWEL?").strip()
        return [float(v) for v in reply.split(",")] if reply else []

    @list_dwells.setter
    def list_dwells(self, seconds):
        values = [seconds] if isinstance(seconds, (int, float)) else list(seconds)
        for v in values:
            _in_range("dwell", v, 0, 1000)
        self._send_values("DWEL", values)

    @property
    def list_points(self):
        return int(self.ask("LIST:POIN?"))

    @property
    def list_count(self):
        """Passes through the list; None: until stopped."""
        value = float(self.ask("LIST:COUN?"))
        return None if value >= 9.9e37 else int(value)

    @list_count.setter
    def list_count(self, count):
        if count is not None and (int(count) != count or not 1 <= count <= 0xFFFFFFFF):
            raise ValueError(f"list count {count} is not 1 to 4294967295 or None")
        self.command("LIST:COUN INF" if count is None else f"LIST:COUN {int(count)}")

    @property
    def trigger_source(self):
        """IMM: each row's dwell runs on the program's clock; BUS: each trigger() hops."""
        return self.ask("TRIG:SOUR?").strip()

    @trigger_source.setter
    def trigger_source(self, source):
        if source not in ("IMM", "BUS"):
            raise ValueError(f"trigger source {source!r} is not IMM or BUS")
        self.command(f"TRIG:SOUR {source}")

    def start_list(self):
        self.command("LIST:STAT ON")

    def stop_list(self):
        self.command("LIST:STAT OFF")

    def trigger(self):
        """*TRG: the next row of a list waiting for bus triggers (QZ4471Error -211 when none waits)."""
        self.command("*TRG")

    @property
    def list_running(self):
        return self.ask("LIST:STAT?").strip() == "1"

    def list_progress(self):
        """(row, rows, pass, passes) of the running or the last list; passes 0: until stopped."""
        return tuple(int(v) for v in self.ask("LIST:PROG?").split(","))
