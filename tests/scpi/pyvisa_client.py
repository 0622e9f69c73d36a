#!/usr/bin/python3
"""A real SCPI client against the server: PyVISA with its pure-Python back end.

    pyvisa_client.py PROGRAM [ARG...]

Starts PROGRAM with ARGs plus "--scpi-port 0" unless the ARGs hold --scpi-port,
reads the port from its stderr line "qz4471: SCPI on 127.0.0.1:PORT",
drives it through PyVISA and ends it. Exit status 0 when every check holds.
"""
import re
import subprocess
import sys
import threading

import pyvisa


def start(argv):
    args = list(argv)
    if not any(a.startswith("--scpi-port") for a in args[1:]):
        args += ["--scpi-port", "0"]
    proc = subprocess.Popen(args, stderr=subprocess.PIPE, text=True)
    for line in proc.stderr:
        m = re.fullmatch(r"qz4471: SCPI on 127\.0\.0\.1:(\d+)\n", line)
        if m:
            # Keep passing on what the program says, so it never blocks on a full pipe.
            threading.Thread(target=lambda: sys.stderr.writelines(proc.stderr), daemon=True).start()
            return proc, int(m.group(1))
        sys.stderr.write(line)
    proc.kill()
    sys.exit("no SCPI port announced on stderr")


def checks(inst):
    ident = inst.query("*IDN?").split(",")
    assert len(ident) == 4 and ident[1] == "QZ4471", ident

    inst.write("*RST;*CLS")
    inst.write("FREQ0 12.5 MHZ")
    assert inst.query("FREQ0:WORD?") == "#H40000000"
    assert inst.query("FREQ0?") == "12500000.0000"
    inst.write("FREQuency1:WORD #H33333333")
    assert inst.query("FREQ1:WORD?;:FREQ1?") == "#H33333333;9999999.9977"
    inst.write("PHAS2 291")
    assert inst.query("PHASe2?") == "291"
    inst.write("CONT:SYNC ON")
    assert inst.query("CONT:SYNC?") == "1"
    assert inst.query("*OPC?") == "1"

    inst.write("FREQ 10")  # the register number is required
    inst.write("CONT:SELS OFF;:SEL:FREQ 1")  # refused while SELSRC is 0
    inst.write("WORD 70000")
    assert inst.query("SYST:ERR:COUN?") == "3"
    assert inst.query("SYST:ERR?") == '-113,"Undefined header"'
    assert inst.query("SYST:ERR?").startswith("-221,")
    assert inst.query("SYST:ERR?") == '-222,"Data out of range"'
    assert inst.query("SYST:ERR?") == '0,"No error"'

    setup = inst.query("SYST:SET?")
    inst.write("*RST")
    inst.write(setup)
    assert inst.query("SYST:SET?") == setup
    assert inst.query("SYST:ERR?") == '0,"No error"'


def main():
    proc, port = start(sys.argv[1:])
    try:
        rm = pyvisa.ResourceManager("@py")
        inst = rm.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET",
                                read_termination="\n", write_termination="\n", timeout=5000)
        checks(inst)
        inst.close()
        rm.close()
    finally:
        proc.terminate()
        proc.wait(timeout=10)
    print("PyVISA client: all checks passed")


if __name__ == "__main__":
    main()
