#!/usr/bin/python3
"""Real VXI-11 clients against the headless program: PyVISA (pyvisa-py) with
TCPIP::127.0.0.1::INSTR and lxi-tools' `lxi scpi`, a few commands each, then
the rpcbind entry: one program holds it, a second runs without VXI-11, and
the entry is gone after SIGTERM.

    clients.py PROGRAM
"""
import socket
import subprocess
import sys

import pyvisa

from support import ensure_rpcbind, start, stop, vxi11_registered


def pyvisa_checks(rm):
    inst = rm.open_resource("TCPIP::127.0.0.1::INSTR", timeout=10000)
    assert inst.query("*IDN?").split(",")[1] == "QZ4471"
    inst.write("*RST;*CLS")
    inst.write("FREQ0 12.5 MHZ")  # END without a newline ends the message
    assert inst.query("FREQ0:WORD?") == "#H40000000\n"
    # A reply longer than the request comes over several reads, END on its last byte.
    whole = inst.query("SYST:SET?")
    inst.chunk_size = 8
    assert inst.query("SYST:SET?") == whole and len(whole) > 8
    inst.chunk_size = 20 * 1024
    # The read waits behind *WAI while the sweep runs (a deferred reply).
    inst.write("SWE0:STAR 0;STOP 4000;STEP 1000;LOOP 2;DEL 5")
    inst.write("SWE0:INIT")
    assert inst.query("*WAI;SWE0:STAT?") == "IDLE\n"
    # The status byte of this link: an error queued sets bit 2.
    inst.write("NOSUCH")
    assert inst.read_stb() & 4
    assert inst.query("SYST:ERR?").startswith("-113")
    # A second link has its own error queue; a lock keeps it out.
    other = rm.open_resource("TCPIP::127.0.0.1::INSTR", timeout=5000)
    other.write("NOSUCH")
    assert inst.query("SYST:ERR?").startswith("0,")
    inst.lock_excl()
    try:
        other.query("*IDN?")
        raise AssertionError("a locked instrument served another link")
    except pyvisa.errors.VisaIOError:
        pass
    inst.unlock()
    assert other.query("SYST:ERR?").startswith("-113")
    # device_clear drops the link's unread reply.
    inst.write("*IDN?")
    inst.clear()
    inst.write("*OPC?")
    assert inst.read() == "1\n"
    other.close()
    inst.close()


def link_limit(rm):
    links = [rm.open_resource("TCPIP::127.0.0.1::INSTR") for _ in range(8)]
    try:
        rm.open_resource("TCPIP::127.0.0.1::INSTR")
        raise AssertionError("a ninth link was made")
    except Exception as e:  # pyvisa-py raises its own error for the refused link
        assert not isinstance(e, AssertionError), e
    for link in links:
        link.close()


def lxi(*args):
    return subprocess.run(["lxi", "scpi", "-a", "127.0.0.1", "-t", "5", *args],
                          capture_output=True, text=True, timeout=30)


def lxi_checks():
    r = lxi("*IDN?")
    assert r.returncode == 0 and ",QZ4471," in r.stdout, r
    assert lxi("FREQ1 1234567.891").returncode == 0
    r = lxi("FREQ1?;:SYST:ERR?")
    assert r.stdout.strip() == '1234567.8755;0,"No error"', r


def main():
    ensure_rpcbind()
    if vxi11_registered():
        sys.exit("another program holds the VXI-11 entry in rpcbind")
    proc, port, said = start([sys.argv[1], "--headless", "--port", "sim"])
    try:
        assert any("VXI-11 on core port" in s for s in said), said
        rm = pyvisa.ResourceManager("@py")
        pyvisa_checks(rm)
        link_limit(rm)
        rm.close()
        lxi_checks()
        # A second program finds the live entry and serves its raw socket only.
        core = vxi11_registered()
        second, port2, said2 = start([sys.argv[1], "--headless", "--port", "sim"])
        try:
            assert any("VXI-11 off: another program" in s for s in said2), said2
            with socket.create_connection(("127.0.0.1", port2), timeout=10) as s:
                s.sendall(b"*OPC?\n")
                assert s.recv(16) == b"1\n"
        finally:
            stop(second)
        assert vxi11_registered() == core
    finally:
        stop(proc)
    assert vxi11_registered() is None, "the entry outlived the program"
    print("VXI-11: PyVISA and lxi served; one rpcbind entry, gone at the end")


if __name__ == "__main__":
    main()
