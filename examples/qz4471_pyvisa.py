#!/usr/bin/python3
"""Drive the QZ4471 program with PyVISA: set both frequencies, choose FREQ1 as
the output, run a short sweep and wait for its end.

Start the program first, with or without windows:
    qz4471 --scpi                       # port 5025
    qz4471 --headless --port sim --scpi-port 5025
then
    python3 qz4471_pyvisa.py [PORT]
"""
import sys

import pyvisa


def run(port=5025):
    rm = pyvisa.ResourceManager("@py")  # Debian: python3-pyvisa-py
    dds = rm.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET",
                           read_termination="\n", write_termination="\n", timeout=10000)
    print("instrument:", dds.query("*IDN?"))
    dds.write("*RST;*CLS")
    dds.write("FREQ0 1 MHZ")
    dds.write("FREQ1 12.5 MHZ")
    dds.write("CONT:SELS ON;:SEL:FREQ 1")
    print("FREQ1 =", float(dds.query("FREQ1?")), "Hz, tuning word", dds.query("FREQ1:WORD?"))
    print("highest frequency:", float(dds.query("FREQ0? MAX")), "Hz")

    # A sweep of FREQ0 from 0 to 5 MHz in 1 MHz steps, twice, 2 ms a step.
    dds.write("SWE0:STAR 0;STOP 5MHZ;STEP 1MHZ;LOOP 2;DEL 2")
    dds.write("SWE0:INIT")
    print("sweep:", dds.query("SWE0:STAT?"))
    dds.query("*OPC?")  # answers once the sweep has ended
    print("sweep:", dds.query("SWE0:STAT?"))

    error = dds.query("SYST:ERR?")
    dds.close()
    rm.close()
    return error


if __name__ == "__main__":
    error = run(int(sys.argv[1]) if len(sys.argv) > 1 else 5025)
    print("errors:", error)
    sys.exit(0 if error.startswith("0,") else 1)
