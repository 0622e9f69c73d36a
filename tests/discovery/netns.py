#!/usr/bin/python3
"""DNS-SD on a network of the test's own: two network namespaces joined by a
veth pair (10.47.71.1 for the program; .2 and .3 for the browser), each with
a private D-Bus system bus and an avahi-daemon. The program listens on .1
with --allow 10.47.71.3/32: from the other side avahi-browse resolves its
_scpi-raw._tcp record and TXT keys, .3 is served (but may not *SAV) and .2
is refused. Everything is removed whatever happens; skipped (77) without root
or the tools.

    netns.py PROGRAM
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "vxi11"))
from support import SKIP, start, stop, wait_until  # noqa: E402

PROGRAM, REFUSED, ALLOWED = "10.47.71.1", "10.47.71.2", "10.47.71.3"
BUS = """<busconfig><type>system</type><listen>unix:path={}</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/>
<allow receive_sender="*"/></policy></busconfig>"""
AVAHI = "[server]\nhost-name=qz-{}\nuse-ipv6=no\nallow-interfaces={}\n[publish]\npublish-workstation=no\n"


def client(source, port, text):
    """In the browser's namespace: prints the reply, or CLOSED."""
    data = b""
    with socket.socket() as s:
        s.settimeout(5)
        s.bind((source, 0))
        try:
            s.connect((PROGRAM, int(port)))
            s.sendall(text.encode() + b"\n")
            s.shutdown(socket.SHUT_WR)
            while chunk := s.recv(4096):
                data += chunk
        except OSError:
            pass
    print(data.decode().strip() or "CLOSED")


class Net:
    def __init__(self, tmp):
        self.tmp, tag = tmp, str(os.getpid())
        self.ns = {s: f"qz{tag}{s}" for s in "ab"}
        self.iface = {s: f"qz{tag}v{s}" for s in "ab"}
        self.procs = []

    def build(self):
        ip = lambda *a: subprocess.run(["ip", *a], check=True, capture_output=True)  # noqa: E731
        for side in "ab":
            ip("netns", "add", self.ns[side])
        ip("link", "add", self.iface["a"], "type", "veth", "peer", "name", self.iface["b"])
        for side, addrs in (("a", [PROGRAM]), ("b", [REFUSED, ALLOWED])):
            ip("link", "set", self.iface[side], "netns", self.ns[side])
            for a in addrs:
                ip("-n", self.ns[side], "addr", "add", a + "/24", "dev", self.iface[side])
            for link in ("lo", self.iface[side]):
                ip("-n", self.ns[side], "link", "set", link, "up")

    def env(self, side):
        return dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS="unix:path=" + os.path.join(self.tmp, "bus-" + side))

    def run(self, side, *argv, **kw):
        return subprocess.run(["ip", "netns", "exec", self.ns[side], *argv], env=self.env(side),
                              capture_output=True, text=True, timeout=6, **kw).stdout

    def spawn(self, side, argv):
        p = subprocess.Popen(["ip", "netns", "exec", self.ns[side], *argv], env=self.env(side),
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.procs.append(p)
        lines = []
        threading.Thread(target=lambda: lines.extend(p.stderr), daemon=True).start()
        return lines

    def daemons(self, side):
        conf = os.path.join(self.tmp, side)
        with open(conf + ".bus", "w") as f:
            f.write(BUS.format(os.path.join(self.tmp, "bus-" + side)))
        with open(conf + ".avahi", "w") as f:
            f.write(AVAHI.format(side, self.iface[side]))
        self.spawn(side, ["dbus-daemon", f"--config-file={conf}.bus", "--nofork", "--nopidfile"])
        assert wait_until(lambda: os.path.exists(os.path.join(self.tmp, "bus-" + side))), "no D-Bus"
        # A private /run in the namespace's own mount table keeps the daemon's pid file off the host's.
        said = self.spawn(side, ["sh", "-c", "mount -t tmpfs qz4471 /run && mkdir /run/avahi-daemon && exec "
                                 f"avahi-daemon --no-drop-root --no-chroot --no-rlimits -f {conf}.avahi"])
        assert wait_until(lambda: any("startup complete" in l for l in said)), said

    def close(self):
        for p in reversed(self.procs):
            p.terminate()
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        for ns in self.ns.values():
            subprocess.run(["ip", "netns", "del", ns], capture_output=True)  # its veth end goes along


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "--client":
        return client(*sys.argv[2:])
    missing = [t for t in ("ip", "dbus-daemon", "avahi-daemon", "avahi-browse")
               if not shutil.which(t, path=os.environ.get("PATH", "") + ":/usr/sbin:/sbin")]
    if os.geteuid() != 0 or missing:
        print("SKIP: needs root, ip, dbus-daemon, avahi-daemon and avahi-browse; missing:",
              " ".join(missing) or "root")
        return SKIP
    tmp = tempfile.mkdtemp(prefix="qz4471-netns-")
    net, proc = Net(tmp), None
    try:
        try:
            net.build()
        except subprocess.CalledProcessError as e:
            print("SKIP: no network namespaces here:", e.stderr.decode().strip())
            return SKIP
        net.daemons("a")
        net.daemons("b")
        os.environ.update(net.env("a"), XDG_CONFIG_HOME=tmp)
        proc, port, said = start(["ip", "netns", "exec", net.ns["a"], sys.argv[1], "--headless", "--port", "sim",
                                  "--listen", PROGRAM, "--allow", ALLOWED + "/32"])
        assert wait_until(lambda: any("announced as" in l for l in said)), said
        found = []
        assert wait_until(lambda: found.extend(l for l in net.run("b", "avahi-browse", "-rpt", "_scpi-raw._tcp")
                                               .splitlines() if l.startswith("=;")) or found), said
        f = found[0].split(";")
        assert f[3:5] + f[7:9] == ["QZ4471\\032SIM", "_scpi-raw._tcp", PROGRAM, str(port)], found
        for key in ('"txtvers=1"', '"Model=QZ4471"', '"SerialNumber=SIM"', '"Manufacturer=', '"FirmwareVersion='):
            assert key in f[9], found
        ask = lambda source, text: net.run("b", sys.executable, os.path.abspath(__file__),  # noqa: E731
                                           "--client", source, str(port), text).strip()
        assert ask(ALLOWED, "*SAV 0;:SYST:ERR:CODE?") == "-221", "a client beyond loopback saved a file"
        assert ask(REFUSED, "*IDN?") == "CLOSED", "a client outside --allow was served"
        assert wait_until(lambda: any("SCPI refused " + REFUSED in l for l in said)), said
    finally:
        if proc:
            stop(proc)
        net.close()
        shutil.rmtree(tmp, ignore_errors=True)
    print("netns: the record resolved from another namespace; .3 served, .2 refused")
    return 0


if __name__ == "__main__":
    sys.exit(main())
