"""What the VXI-11 and network tests share: rpcbind, and the program's start."""
import os
import re
import shutil
import socket
import subprocess
import sys
import threading
import time

SKIP = 77  # CTest's SKIP_RETURN_CODE for these tests


def rpcbind_answers():
    try:
        with socket.create_connection(("127.0.0.1", 111), timeout=2):
            return True
    except OSError:
        return False


def ensure_rpcbind():
    """Starts rpcbind where it may (as root); exits with SKIP where it may not."""
    if rpcbind_answers():
        return
    rpcbind = shutil.which("rpcbind") or "/usr/sbin/rpcbind"
    if os.geteuid() != 0 or not os.path.exists(rpcbind):
        print("SKIP: no rpcbind runs and none can be started here")
        sys.exit(SKIP)
    subprocess.run([rpcbind], check=False)  # it daemonizes; left running as a system service
    deadline = time.monotonic() + 5
    while not rpcbind_answers():
        if time.monotonic() > deadline:
            print("SKIP: rpcbind did not come up")
            sys.exit(SKIP)
        time.sleep(0.05)


def start(argv):
    """Starts the program; returns it, its SCPI port and the list of its stderr
    lines, which keeps growing (the VXI-11 line comes before the SCPI one)."""
    args = list(argv)
    if not any(a.startswith("--scpi-port") for a in args[1:]):
        args += ["--scpi-port", "0"]
    proc = subprocess.Popen(args, stderr=subprocess.PIPE, text=True)
    said = []
    for line in proc.stderr:
        said.append(line.rstrip("\n"))
        m = re.fullmatch(r"qz4471: SCPI on (\S+):(\d+)\n", line)
        if m:
            def follow():
                for rest in proc.stderr:
                    said.append(rest.rstrip("\n"))
                    sys.stderr.write(rest)
            threading.Thread(target=follow, daemon=True).start()
            return proc, int(m.group(2)), said
    proc.kill()
    sys.exit("no SCPI port announced on stderr: " + repr(said))


def stop(proc):
    proc.terminate()
    proc.wait(timeout=10)


def vxi11_registered():
    """The registered core port (rpcinfo -p), or None."""
    out = subprocess.run(["rpcinfo", "-p", "127.0.0.1"], capture_output=True, text=True).stdout
    for line in out.splitlines():
        f = line.split()
        if len(f) >= 4 and f[0] == "395183" and f[2] == "tcp":
            return int(f[3])
    return None


def wait_until(condition, seconds=6):
    """True once condition() holds, False after `seconds` without it."""
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.02)
    return True
