#!/usr/bin/env python3
"""Drives the program under load for the ThreadSanitizer stage: two SCPI
clients setting and querying while 1 ms sweeps run, counted keyings at
5,000 symbols/s and hop lists of 0.5 ms dwells end on their own, and lists
step on bus triggers, with Stop, *RST and ABORt between. With
--windows the program runs with its windows, and the Printer Port menu is
chosen (xdotool) during a sweep and a keying. Fails on any sanitizer report
or when the program does not end cleanly on SIGTERM.
Usage: tsan_load.py PROGRAM [--seconds N] [--windows]"""
import argparse
import random
import re
import signal
import socket
import subprocess
import sys
import threading
import time


def start(program, windows):
    args = [program, "--port", "sim", "--scpi-port", "0"]
    if not windows:
        args.append("--headless")
    proc = subprocess.Popen(args, stderr=subprocess.PIPE, text=True)
    lines = []
    port = None
    while port is None:
        line = proc.stderr.readline()
        if not line:
            sys.exit("program ended before its SCPI server: " + "".join(lines))
        lines.append(line)
        m = re.search(r"SCPI on 127\.0\.0\.1:(\d+)", line)
        if m:
            port = int(m.group(1))
    rest = []
    threading.Thread(target=lambda: rest.extend(proc.stderr), daemon=True).start()
    return proc, port, lines, rest


class Client:
    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        self.file = self.sock.makefile("r")

    def send(self, line):
        self.sock.sendall((line + "\n").encode())

    def ask(self, line):
        self.send(line)
        return self.file.readline().strip()


def driver(port, until, key):
    rnd = random.Random(key)
    c = Client(port)
    c.ask("*RST;*OPC?")
    rounds = 0
    while time.monotonic() < until:
        rounds += 1
        g = rnd.randrange(2)
        kind = f"SPAC {rnd.choice(['LIN', 'LOG'])};DIR {rnd.choice(['UP', 'UDOW'])};POIN 21"
        c.send(f"SWE{g}:{kind};STAR 0.1MHZ;STOP 2MHZ;STEP 0.1MHZ;LOOP 3;DEL 1;INIT")
        c.send(f"MOD:TYPE {rnd.choice(['FSK', 'BPSK', 'QPSK'])};PATT PRBS7;RATE 5000;COUN {rnd.randrange(50, 800)};STAT 1")
        c.send(f"FREQ{g} {rnd.uniform(0, 20):.6f}MHZ;:PHAS{rnd.randrange(4)} {rnd.randrange(4096)}")
        step = rnd.randrange(6)
        if step == 0:
            c.send(f"SWE{g}:ABOR")
        elif step == 1:
            c.send("MOD:STAT 0")
        elif step == 2:
            c.ask("*RST;*OPC?")
        elif step == 3:
            c.ask("*OPC?")  # the sweeps and the keying end on their own
        elif step == 4:  # a free-running list, refused while a sweep or an FSK keying runs
            c.send("LIST:FREQ 1MHZ,2MHZ,3MHZ,4MHZ;DWEL 0.5MS;COUN 30;:TRIG:SOUR IMM;:LIST:STAT 1")
        elif step == 5:  # one on bus triggers, stepped and stopped
            c.send("TRIG:SOUR BUS;:LIST:STAT 1;*TRG;*TRG;:LIST:STAT 0;:TRIG:SOUR IMM")
        c.ask("SYST:ERR?")
    print(f"tsan_load: driver ran {rounds} rounds", flush=True)


def watcher(port, until, key):
    rnd = random.Random(key)
    c = Client(port)
    while time.monotonic() < until:
        for q in ("FREQ0?", "FREQ1?", "SWE0:PROG?", "SWE1:STAT?", "MOD:STAT?", "*STB?", "SEL:FREQ?", "CONT:SELS?"):
            c.ask(q)
        c.send(f"CLOC {rnd.choice([40, 50, 60])}MHZ;:CONT:SELS {rnd.randrange(2)};:FREQ1:WORD #H{rnd.getrandbits(31):08X}")
        c.ask("SYST:ERR?")


def menus(proc, until):
    """The Printer Port menu chosen from the keyboard while the others load the chip."""
    wid = None
    while wid is None and time.monotonic() < until:
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(proc.pid)],
                             capture_output=True, text=True).stdout.split()
        wid = out[0] if out else None
        time.sleep(0.2)
    n = 0
    while wid and time.monotonic() < until:
        subprocess.run(["xdotool", "windowactivate", "--sync", wid], capture_output=True)
        subprocess.run(["xdotool", "key", "--window", wid, "alt+p", "Down", "Return"], capture_output=True)
        n += 1
        time.sleep(0.3)
    return n


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("program")
    ap.add_argument("--seconds", type=float, default=20)
    ap.add_argument("--windows", action="store_true")
    a = ap.parse_args()
    proc, port, head, rest = start(a.program, a.windows)
    until = time.monotonic() + a.seconds
    key = int(time.time())
    print(f"tsan_load: {'windows' if a.windows else 'headless'} for {a.seconds:g} s, key {key}", flush=True)
    threads = [threading.Thread(target=driver, args=(port, until, key)),
               threading.Thread(target=watcher, args=(port, until, key + 1))]
    for t in threads:
        t.start()
    chosen = menus(proc, until) if a.windows else 0
    for t in threads:
        t.join()
    proc.send_signal(signal.SIGTERM)
    status = proc.wait(timeout=60)
    time.sleep(0.2)
    text = "".join(head + rest)
    reports = text.count("WARNING: ThreadSanitizer")
    if a.windows:
        print(f"tsan_load: Printer Port menu chosen {chosen} times")
    if reports or status not in (0, 128 + signal.SIGTERM, -signal.SIGTERM):  # 143: ended by the signal
        sys.stderr.write(text)
        sys.exit(f"tsan_load: {reports} reports, exit status {status}")
    print(f"tsan_load: no reports, exit status {status}")


if __name__ == "__main__":
    main()
