#!/usr/bin/python3
"""The instrument's rules through real clients (PyVISA and plain sockets)
against the program itself, headless on the simulated board.

    conformance.py PROGRAM WORKDIR

Each table row is one check; the run stops at the first that fails.
"""
import os
import socket
import sys
import threading
import time

import pyvisa

from pyvisa_client import start

PROGRAM, WORKDIR = sys.argv[1], sys.argv[2]
NO_ERROR = '0,"No error"'


class Program:
    """The program serving SCPI on a free port, ended on leaving."""

    def __init__(self, *args):
        self.args = [PROGRAM, "--headless", *args]

    def __enter__(self):
        self.proc, self.port = start(self.args)
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        self.proc.wait(timeout=10)

    def visa(self):
        rm = pyvisa.ResourceManager("@py")
        return rm.open_resource(f"TCPIP::127.0.0.1::{self.port}::SOCKET",
                                read_termination="\n", write_termination="\n", timeout=10000)

    def socket(self):
        s = socket.create_connection(("127.0.0.1", self.port), timeout=10)
        s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        return s


def read_to_end(s):
    data = b""
    while chunk := s.recv(65536):
        data += chunk
    return data


def read_line(s):
    data = b""
    while not data.endswith(b"\n"):
        chunk = s.recv(1)
        if not chunk:
            break
        data += chunk
    return data


# ---- faults ----

def half_close(p):
    """End of input: what arrived runs, every reply comes back, then the close."""
    for run in range(20):
        s = p.socket()
        s.sendall(b"FREQ0 %d\nFREQ0:WORD?\nSYST:SET?;*OPC?\n" % (1000 + run))
        s.shutdown(socket.SHUT_WR)
        lines = read_to_end(s).decode("ascii").split("\n")
        s.close()
        assert len(lines) == 3 and lines[2] == "", (run, lines)
        assert lines[0].startswith("#H") and lines[1].startswith("CLOC ") and lines[1].endswith(";1"), lines


def fair_turns(p):
    """A batch of 200,000 lines from one client does not hold up another's query."""
    a, b = p.socket(), p.socket()
    sender = threading.Thread(target=lambda: a.sendall(b"FREQ0 1000\n" * 200000 + b"*OPC?\n"))
    sender.start()
    time.sleep(0.2)
    a.setblocking(False)
    for _ in range(5):
        b.sendall(b"FREQ1?\n")
        assert read_line(b) == b"0.0000\n"
        try:
            early = a.recv(10)
        except BlockingIOError:
            early = None
        assert early is None, "B waited for all of A's batch"
    a.setblocking(True)
    sender.join()
    assert read_line(a) == b"1\n"


def ascii_identity(_):
    """*IDN? is 7-bit ASCII with the port's own name, whatever the options hold."""
    folder = os.path.join(WORKDIR, "mesure \u00e9")
    os.makedirs(folder, exist_ok=True)
    with Program("--port", "sim", "--trace", os.path.join(folder, "run,1;x.trace")) as q:
        inst = q.visa()
        fields = inst.query("*IDN?").split(",")
        inst.close()
    assert len(fields) == 4 and fields[1] == "QZ4471" and fields[2] == "SIM", fields
    assert all(f and "  " not in f and f.strip() == f for f in fields), fields


def open_clients_only(p):
    """Clients that have gone do not count against the limit of 8."""
    for _ in range(3):
        gone = [p.socket() for _ in range(8)]
        for s in gone:
            s.sendall(b"*OPC?\n")
            assert read_line(s) == b"1\n"
        for s in gone:
            s.close()
        fresh = [p.socket() for _ in range(8)]
        for s in fresh:
            s.sendall(b"*OPC?\n")
            assert read_line(s) == b"1\n"
        ninth = p.socket()
        assert read_to_end(ninth) == b"", "a ninth open client was served"
        for s in fresh + [ninth]:
            s.close()


FAULTS = [half_close, fair_turns, ascii_identity, open_clients_only]

# ---- status model: (lines written, query, reply) on one PyVISA connection ----

STATUS = [
    ([], "*ESR?", "128"),                      # a new connection: power on
    ([], "*ESR?", "0"),
    (["*CLS", "BOGUS"], "*ESR?", "32"),        # command error
    (["*CLS", "PHAS0 5000"], "*ESR?", "16"),   # execution error
    (["*CLS", "*ESE 48", "*SRE 32", "FREQ9 1"], "*STB?", "100"),
    (["*CLS", "*SRE 4"], "*STB?", "0"),
    (["*SRE 255"], "*SRE?", "191"),
    (["*CLS", "*SRE 0"], "*IDN?;*STB?", None),  # checked below: MAV
    (["*CLS", "*OPC"], "*ESR?", "1"),
    ([], "*TST?", "0"),
    ([], "SYST:VERS?", "1999.0"),
    ([], "STAT:OPER:COND?", "0"),
    (["STAT:OPER:ENAB 8", "STAT:PRES"], "STAT:OPER:ENAB?", "0"),
    ([], "STAT:QUES:COND?", "0"),
    (["*CLS"], "SYST:ERR?", NO_ERROR),
]


def status_model(p):
    inst = p.visa()
    for writes, query, expected in STATUS:
        for w in writes:
            inst.write(w)
        got = inst.query(query)
        if expected is None:
            assert got.endswith(";16"), got
        else:
            assert got == expected, (writes, query, got, expected)
    other = p.visa()  # its own registers
    assert other.query("*ESR?;*ESE?;*SRE?") == "128;0;0"
    other.close()
    inst.close()


# ---- overlapped sweeps ----

LONG_SWEEP = "SWE0:STAR 0;STOP 10MHZ;STEP 1MHZ;LOOP 100000;DEL 10"
SHORT_SWEEP = "SWE1:STAR 0;STOP 3MHZ;STEP 1MHZ;LOOP 2;DEL 1"


def quiet(s, seconds=0.3):
    """Nothing arrives on s for a while."""
    s.settimeout(seconds)
    try:
        got = s.recv(100)
    except socket.timeout:
        got = None
    s.settimeout(10)
    return got is None


def overlapped(p):
    a, b = p.socket(), p.socket()

    def ask(s, line):
        s.sendall(line.encode() + b"\n")
        return read_line(s).decode().rstrip("\n")

    # *OPC? answers once the sweep ends; the other client is served meanwhile,
    # and its ABORt ends the wait.
    assert ask(a, LONG_SWEEP + ";INIT;STAT?") == "RUN"
    a.sendall(b"*OPC?;SWE0:STAT?\n")
    assert quiet(a)
    got = ask(b, "FREQ1 12.5MHZ;:FREQ1?")
    assert got == "12500000.0000", got
    assert ask(b, "SWE0:INIT;:SYST:ERR?") == '-213,"Init ignored"'
    b.sendall(b"SWE0:ABOR\n")
    assert read_line(a) == b"1;IDLE\n"
    # *WAI holds this client's later commands only.
    a.sendall(b"SWE0:INIT;*WAI\nFREQ1 6.25MHZ\nFREQ1?\n")
    assert quiet(a)
    assert ask(b, "FREQ1:WORD?") == "#H40000000"  # FREQ1 6.25MHZ has not run
    b.sendall(b"SWE0:ABOR\n")
    got = read_line(a)
    assert got == b"6250000.0000\n", got
    # *OPC sets bit 0 at the end; a sweep that ends by itself ends the wait too.
    assert ask(a, "*CLS;SWE0:INIT;*OPC;*ESR?") == "0"
    b.sendall(b"SWE0:ABOR\n")
    assert ask(b, "*OPC?") == "1"
    assert ask(a, "*ESR?") == "1"
    assert ask(a, SHORT_SWEEP + ";INIT;*OPC?;STAT?") == "1;IDLE"
    assert ask(a, "STAT:OPER?;:SYST:ERR?") == "8;" + NO_ERROR
    a.close()
    b.close()


# ---- keying: (line, reply) on one connection, in order ----

KEYING = [
    ("MOD:TYPE FSK;PATT PRBS7;RATE 100;COUN INF;STAT ON;STAT?", "1"),
    ("STAT:OPER:COND?", "256"),                                    # bit 8 while it runs
    ("*OPC?;:MOD:STAT?", "1;1"),                                   # until stopped: not waited for
    ("MOD:STAT OFF;:STAT:OPER:COND?;:STAT:OPER?", "0;256"),       # the event stays latched
    ('MOD:TYPE BPSK;PATT "0110";RATE 200;COUN 60;STAT ON;*OPC?;STAT?', "1;0"),  # answered once it ended
    ("SYST:ERR?", NO_ERROR),
]


def keying(p):
    inst = p.visa()
    for line, expected in KEYING:
        got = inst.query(line)
        assert got == expected, (line, got, expected)
    inst.close()


# ---- numbers: (lines written, query, reply, error the lines left) ----

RANGE = '-222,"Data out of range"'
NUMBERS = [
    (["FREQ0:WORD #H1E000000"], "FREQ0:WORD?", "#H1E000000", NO_ERROR),
    (["FREQ0 30MHZ"], "FREQ0:WORD?", "#H1E000000", RANGE),                # refused: nothing changes
    (["FREQ0 -1"], "FREQ0:WORD?", "#H1E000000", RANGE),
    (["FREQ0 MAX"], "FREQ0:WORD?", "#H7FFFFFFF", NO_ERROR),
    (["FREQ0 DEF"], "FREQ0:WORD?", "#H00000000", NO_ERROR),
    ([], "FREQ1? MAX", "25000000.0000", NO_ERROR),
    (["FREQ1 0.0125GHZ"], "FREQ1:WORD?", "#H40000000", NO_ERROR),
    (["FREQ1 3.125MAHZ"], "FREQ1?", "3125000.0000", NO_ERROR),
    (["CLOC 1e40"], "CLOC?", "50000000.0000", RANGE),                      # never echoed
    (["CLOC 0.0009MHZ"], "CLOC?", "50000000.0000", RANGE),
    (["CLOC 1001MHZ"], "CLOC?", "50000000.0000", RANGE),
    (["CLOC MIN"], "FREQ0? MAX;:CLOC?", "500.0000;1000.0000", NO_ERROR),
    (["CLOC DEF"], "CLOC?", "50000000.0000", NO_ERROR),
    (["PHAS2 4096"], "PHAS2?", "0", RANGE),
    (["PHAS2 MAX"], "PHAS2?", "4095", NO_ERROR),
    (["CONT:SYNC 2"], "CONT:SYNC?", "1", NO_ERROR),                        # non-zero is ON
    (["CONT:SYNC 0.4"], "CONT:SYNC?", "0", NO_ERROR),                      # rounded
    (["SWE0:DEL 2500US"], "SWE0:DEL?", "2.5", NO_ERROR),
    (["SWE0:DEL 100001"], "SWE0:DEL?", "2.5", RANGE),
    (["SWE0:LOOP MAX"], "SWE0:LOOP?", "9999999", NO_ERROR),
    (["SWE1:STOP 3MHZ", "CLOC 40MHZ", "*RST"], "SWE1:STOP?;:SWE0:LOOP?;:CLOC?",
     "10000000.0000;1;40000000.0000", NO_ERROR),                          # *RST: sweep defaults, the clock stays
    (["CLOC 50MHZ", "FREQ2?"], "SYST:ERR?", '-114,"Header suffix out of range"', NO_ERROR),
    (["PHAS4 1"], "SYST:ERR?", '-114,"Header suffix out of range"', NO_ERROR),
    (["FREQ 10"], "SYST:ERR?", '-113,"Undefined header"', NO_ERROR),
]


def numbers(p):
    inst = p.visa()
    for writes, query, expected, error in NUMBERS:
        for w in writes:
            inst.write(w)
        got = inst.query(query)
        assert got == expected, (writes, query, got, expected)
        assert inst.query("SYST:ERR?") == error, (writes, error)
    inst.close()
    s = p.socket()
    for line, error in [(b"FREQ0 1\xc3\xa9\n", '-101,"Invalid character"'),
                        (b"WORD " + b"1" * 5000 + b"\n", '-363,"Input buffer overrun"')]:
        s.sendall(line + b"SYST:ERR?\n")
        assert read_line(s).decode("ascii") == error + "\n", line[:20]
    s.close()


def main():
    with Program("--port", "sim") as p:
        for check in FAULTS + [status_model, overlapped, keying, numbers]:
            check(p)
            print("ok", check.__name__)
    print("conformance: all checks passed")


if __name__ == "__main__":
    main()
