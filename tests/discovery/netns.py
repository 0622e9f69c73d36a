#!/usr/bin/python3
"""DNS-SD on a network of the test's own: two network namespaces joined by a
veth pair (10.47.71.1 for the program; 10.47.71.2 and .3 for the browser),
each with a private D-Bus system bus and an avahi-daemon of its own. The
program listens on 10.47.71.1 with --allow 10.47.71.3/32; from the other
namespace avahi-browse resolves its _scpi-raw._tcp record with the TXT keys,
a client from .3 is served and one from .2 is refused. Namespaces, buses and
daemons are removed whatever happens. Skipped (77) without root or the tools.

    netns.py PROGRAM
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "vxi11"))
from support import SKIP, start, stop  # noqa: E402

PROGRAM_ADDR, REFUSED, ALLOWED = "10.47.71.1", "10.47.71.2", "10.47.71.3"
BOUND = 6  # seconds any one wait may take

BUS_CONF = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path={path}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/><allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/>
  </policy>
</busconfig>
"""

AVAHI_CONF = """[server]
host-name={host}
use-ipv4=yes
use-ipv6=no
allow-interfaces={iface}
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
"""


def client(source, port, text):
    """Run inside the browser's namespace: prints the reply, or CLOSED."""
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.settimeout(5)
    s.bind((source, 0))
    data = b""
    try:
        s.connect((PROGRAM_ADDR, int(port)))
        s.sendall(text.encode() + b"\n")
        s.shutdown(socket.SHUT_WR)
        while chunk := s.recv(4096):
            data += chunk
    except OSError:
        pass
    print(data.decode().strip() or "CLOSED")


def wait_until(condition):
    deadline = time.monotonic() + BOUND
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.02)
    return True


class Net:
    """The namespaces and their daemons; close() removes everything."""

    def __init__(self, tmp):
        tag = str(os.getpid())
        self.tmp = tmp
        self.ns = {"a": f"qz{tag}a", "b": f"qz{tag}b"}
        self.iface = {"a": f"qz{tag}va", "b": f"qz{tag}vb"}
        self.procs = []
        self.logs = {}

    def ip(self, *args):
        subprocess.run(["ip", *args], check=True, capture_output=True)

    def build(self):
        for side in "ab":
            self.ip("netns", "add", self.ns[side])
        self.ip("link", "add", self.iface["a"], "type", "veth", "peer", "name", self.iface["b"])
        for side, addrs in (("a", [PROGRAM_ADDR]), ("b", [REFUSED, ALLOWED])):
            ns, iface = self.ns[side], self.iface[side]
            self.ip("link", "set", iface, "netns", ns)
            for a in addrs:
                self.ip("-n", ns, "addr", "add", a + "/24", "dev", iface)
            self.ip("-n", ns, "link", "set", "lo", "up")
            self.ip("-n", ns, "link", "set", iface, "up")

    def bus(self, side):
        return "unix:path=" + os.path.join(self.tmp, "bus-" + side)

    def spawn(self, side, argv, env=None):
        proc = subprocess.Popen(["ip", "netns", "exec", self.ns[side], *argv], env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.procs.append(proc)
        lines = self.logs.setdefault(argv[0] + side, [])
        threading.Thread(target=lambda: [lines.append(l) for l in proc.stderr], daemon=True).start()
        return lines

    def daemons(self, side):
        conf = os.path.join(self.tmp, f"bus-{side}.conf")
        with open(conf, "w") as f:
            f.write(BUS_CONF.format(path=self.bus(side)[len("unix:path="):]))
        self.spawn(side, ["dbus-daemon", "--config-file=" + conf, "--nofork", "--nopidfile"])
        assert wait_until(lambda: os.path.exists(self.bus(side)[len("unix:path="):])), "no D-Bus"
        avahi = os.path.join(self.tmp, f"avahi-{side}.conf")
        with open(avahi, "w") as f:
            f.write(AVAHI_CONF.format(host="qz-" + side, iface=self.iface[side]))
        # A private /run in the namespace's own mount table: the daemon's pid
        # file and socket stay off the host's.
        env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.bus(side))
        said = self.spawn(side, ["sh", "-c", "mount -t tmpfs qz4471 /run && mkdir /run/avahi-daemon && "
                                 "exec avahi-daemon --no-drop-root --no-chroot --no-rlimits -f " + avahi], env)
        assert wait_until(lambda: any("Server startup complete" in l for l in said)), said

    def close(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        for ns in self.ns.values():
            subprocess.run(["ip", "netns", "del", ns], capture_output=True)  # takes its veth end along


def browse(net):
    """The resolved _scpi-raw._tcp line avahi-browse gives in the browser's namespace, or None."""
    env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=net.bus("b"))
    found = []

    def look():
        out = subprocess.run(["ip", "netns", "exec", net.ns["b"], "avahi-browse", "-rpt", "_scpi-raw._tcp"],
                             env=env, capture_output=True, text=True, timeout=BOUND).stdout
        found.extend(l for l in out.splitlines() if l.startswith("=;"))
        return bool(found)

    return found[0] if wait_until(look) else None


def from_browser(net, source, port, text):
    here = os.path.abspath(__file__)
    return subprocess.run(["ip", "netns", "exec", net.ns["b"], sys.executable, here, "--client", source, str(port), text],
                          capture_output=True, text=True, timeout=BOUND).stdout.strip()


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "--client":
        return client(*sys.argv[2:])
    tools = ["ip", "dbus-daemon", "avahi-daemon", "avahi-browse"]
    missing = [t for t in tools if not shutil.which(t, path=os.environ.get("PATH", "") + ":/usr/sbin:/sbin")]
    if os.geteuid() != 0 or missing:
        print("SKIP: needs root and " + ", ".join(missing or tools))
        return SKIP
    tmp = tempfile.mkdtemp(prefix="qz4471-netns-")
    net = Net(tmp)
    proc = None
    try:
        try:
            net.build()
        except subprocess.CalledProcessError as e:
            print("SKIP: network namespaces cannot be made here: " + e.stderr.decode().strip())
            return SKIP
        net.daemons("a")
        net.daemons("b")
        env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=net.bus("a"), XDG_CONFIG_HOME=tmp)
        os.environ.update(env)
        proc, port, said = start(["ip", "netns", "exec", net.ns["a"], sys.argv[1], "--headless", "--port", "sim",
                                  "--listen", PROGRAM_ADDR, "--allow", ALLOWED + "/32"])
        assert wait_until(lambda: any("announced as" in l for l in said)), said
        record = browse(net)
        assert record, "nothing found: " + repr(said)
        fields = record.split(";")
        assert fields[3:5] == ["QZ4471\\032SIM", "_scpi-raw._tcp"], record
        assert fields[7:9] == [PROGRAM_ADDR, str(port)], record
        for key in ('"txtvers=1"', '"Model=QZ4471"', '"SerialNumber=SIM"', '"Manufacturer=', '"FirmwareVersion='):
            assert key in fields[9], record
        assert from_browser(net, ALLOWED, port, "*SAV 0;:SYST:ERR:CODE?;*IDN?").startswith("-221;"), "allowed client"
        assert from_browser(net, REFUSED, port, "*IDN?") == "CLOSED", "a client outside --allow was served"
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
