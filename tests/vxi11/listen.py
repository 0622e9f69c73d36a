#!/usr/bin/python3
"""--listen with --allow on loopback: with `--listen 0.0.0.0` and `--listen ::`
and `--allow 127.0.0.2/32`, a client bound to 127.0.0.2 is served and one
bound to 127.0.0.3 is refused before any command runs, on the raw socket and
on VXI-11 (when rpcbind runs). The allowed client may not *SAV (files are for
local clients); a local *SAV outlasts the run. With no avahi-daemon to reach,
one line says DNS-SD is off and the program serves on.

    listen.py PROGRAM
"""
import os
import shutil
import socket
import struct
import sys
import tempfile

from support import rpcbind_answers, start, stop, vxi11_registered, wait_until

ALLOWED, REFUSED = "127.0.0.2", "127.0.0.3"


def connect(source, port):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.settimeout(10)
    s.bind((source, 0))
    s.connect(("127.0.0.1", port))
    return s


def read_all(s):
    data = b""
    while True:
        chunk = s.recv(4096)
        if not chunk:
            return data
        data += chunk


def raw(source, port, text):
    """The replies to `text`, or None when the server closed without one."""
    with connect(source, port) as s:
        try:  # a refused client may find the connection gone at any step
            s.sendall(text.encode())
            s.shutdown(socket.SHUT_WR)
            return read_all(s).decode() or None
        except OSError:
            return None


def create_link(source, port):
    """The error of a create_link call for inst0, or None when the connection closed."""
    args = struct.pack(">iII", 1, 0, 0) + struct.pack(">I", 5) + b"inst0\0\0\0"
    call = struct.pack(">IIIIII", 42, 0, 2, 0x0607AF, 1, 10) + bytes(16) + args
    with connect(source, port) as s:
        try:
            s.sendall(struct.pack(">I", 0x80000000 | len(call)) + call)
            reply = s.recv(4096)
        except OSError:
            return None
        if len(reply) < 32:
            return None
        return struct.unpack(">i", reply[28:32])[0]


def check(program, listen, with_vxi11):
    proc, port, said = start([program, "--headless", "--port", "sim", "--listen", listen, "--allow", "127.0.0.2/32"])
    try:
        assert raw(ALLOWED, port, "FREQ0 12.5 MHZ;*OPC?\n") == "1\n"
        assert raw(REFUSED, port, "FREQ0 1 MHZ\n") is None
        assert raw(ALLOWED, port, "FREQ0?\n") == "12500000.0000\n", "a refused client's command ran"
        assert raw("127.0.0.1", port, "*OPC?\n") == "1\n"
        assert raw(ALLOWED, port, "*SAV 1;:SYST:ERR?\n") == '-221,"Settings conflict;files only from this computer"\n'
        assert raw("127.0.0.1", port, "*SAV 1;*OPC?\n") == "1\n"
        if with_vxi11:
            core = vxi11_registered()
            assert create_link(ALLOWED, core) == 0
            assert create_link(REFUSED, core) is None
        assert wait_until(lambda: any(f"SCPI refused {REFUSED}" in s for s in said)), said
        if with_vxi11:
            assert wait_until(lambda: any(f"VXI-11 refused {REFUSED}" in s for s in said)), said
        assert not any(ALLOWED in s for s in said), said
        assert wait_until(lambda: any(s.startswith("qz4471: DNS-SD off: no avahi-daemon") for s in said)), said
    finally:
        stop(proc)


def main():
    with_vxi11 = rpcbind_answers() and vxi11_registered() is None
    if not with_vxi11:
        print("note: no rpcbind (or its entry taken): the raw socket only")
    config = tempfile.mkdtemp(prefix="qz4471-listen-")
    os.environ["XDG_CONFIG_HOME"] = config  # where *SAV keeps its setups
    # No avahi-daemon can be reached: nothing is announced beyond this computer.
    os.environ["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=" + os.path.join(config, "no-bus")
    try:
        for listen in ("0.0.0.0", "::"):
            check(sys.argv[1], listen, with_vxi11)
        proc, port, _ = start([sys.argv[1], "--headless", "--port", "sim"])
        try:
            assert raw("127.0.0.1", port, "FREQ0?;*RCL 1;:FREQ0?\n") == "0.0000;12500000.0000\n"
        finally:
            stop(proc)
    finally:
        shutil.rmtree(config)
    print("listen: 127.0.0.2 served, 127.0.0.3 refused with no command run; *SAV local only, kept between runs")


if __name__ == "__main__":
    main()
