#!/usr/bin/env python3
"""The real program on a real X server under a window manager.

Starts its own Xvfb (on a free display) and openbox, runs the program there
for each case, drives it with xdotool key and mouse events as a user would,
and checks the words it put on the wire. The words are decoded here, from the
raw byte writes of --trace, independently of the program's own decoder.

    realx_test.py --binary PATH [--screen 1366x768] [--cases a,b] [--shots DIR]
"""
import argparse
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.normpath(os.path.join(HERE, "..", ".."))
MAIN_TITLE = "QZ4471 Evaluation Software"
STARTUP = [0xD800, 0xC000, 0x8000]
CLOCK_MHZ = 50.0


# ---- the wire ---------------------------------------------------------------

def data_writes(trace_path):
    """The bytes written to the data register, in order."""
    out = []
    with open(trace_path) as f:
        for line in f:
            parts = line.split()
            if len(parts) == 4 and parts[1] == "OUT" and parts[2] == "0x0378":
                out.append(int(parts[3], 16))
    return out


def decode(writes):
    """Words from data bit 0 clock, bit 1 data, bit 2 frame (active low).

    The chip latches data on the falling clock edge, 16 bits MSB first; data
    must be steady across the edge. Returns (words, faults)."""
    words, faults = [], []
    prev, bits = 0x04, None  # idle: frame high
    for i, v in enumerate(writes):
        frame_was, frame_is = not (prev & 4), not (v & 4)
        if frame_is and not frame_was:
            bits = []
        if frame_is and bits is not None and (prev & 1) and not (v & 1):
            if (prev ^ v) & 2:
                faults.append("write %d: data changes on the falling clock edge" % i)
            bits.append((prev >> 1) & 1)
        if frame_was and not frame_is and bits is not None:
            if len(bits) == 16:
                words.append(int("".join(map(str, bits)), 2))
            else:
                faults.append("write %d: frame of %d bits" % (i, len(bits)))
            bits = None
        prev = v
    if bits is not None:
        faults.append("frame still open at the end")
    return words, faults


def tuning_word(mhz):
    return int(round(mhz / CLOCK_MHZ * 2 ** 32))


def freq_load(reg, word):
    """The four words that load a frequency register with `word`."""
    a = 0x0400 * reg
    return [0x3000 + a + (word & 0xFF), 0x2100 + a + ((word >> 8) & 0xFF),
            0x3200 + a + ((word >> 16) & 0xFF), 0x2300 + a + ((word >> 24) & 0xFF)]


def loaded_word(words):
    """The 32-bit word of four load words, as the chip assembles it."""
    return ((words[3] & 0xFF) << 24) | ((words[2] & 0xFF) << 16) | ((words[1] & 0xFF) << 8) | (words[0] & 0xFF)


def hexs(words):
    return " ".join("%04X" % w for w in words)


# ---- where the controls are -------------------------------------------------

STATUS_BAR = 19  # the main window's status bar, one line of the window font


class Form:
    """Control rectangles of a window from its .ui file, relative to the
    window's client area (a main window's central widget sits under its menu
    bar and above its status bar, one line of text high)."""

    def __init__(self, ui_file):
        root = ET.parse(os.path.join(SOURCE, ui_file)).getroot()
        self.rects = {}
        self.central_height = None
        top = root.find("widget")
        central = top.find("widget[@name='centralwidget']")
        if central is not None:
            # The client area above the central widget is the menu bar; the
            # status bar below it is counted in with it here.
            self.central_height = int(central.find("property[@name='minimumSize']/size/height").text) + STATUS_BAR
            self._walk(central, 0, 0)
        else:
            self._walk(top, 0, 0)

    def _walk(self, parent, ox, oy):
        for w in parent.findall("widget"):
            r = w.find("property[@name='geometry']/rect")
            if r is None:
                continue
            x, y = ox + int(r.find("x").text), oy + int(r.find("y").text)
            self.rects[w.get("name")] = (x, y, int(r.find("width").text), int(r.find("height").text))
            self._walk(w, x, y)

    def centre(self, name, client):
        x, y, w, h = self.rects[name]
        cx, cy, cw, ch = client
        top = ch - self.central_height if self.central_height else 0
        return cx + x + w // 2, cy + top + y + h // 2


MAIN = Form("src/mainwindow/MainForm.ui")
SWEEP = Form("src/sweep/Sweep.ui")
MODULATION = Form("src/modulation/Modulation.ui")
LIST = Form("src/hoplist/HopListWindow.ui")


# ---- the X session ----------------------------------------------------------

class XSession:
    def __init__(self, screen, tmp):
        self.tmp = tmp
        self.procs = []
        self.programs = []  # the program's runs, ended with their case
        rfd, wfd = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(wfd), "-screen", "0", screen + "x24",
                                      "-nolisten", "tcp", "-noreset"],
                                     pass_fds=(wfd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(wfd)
        self.procs.append(self.xvfb)
        number = b""
        with os.fdopen(rfd, "rb") as r:
            while not number.endswith(b"\n"):
                c = r.read(1)
                if not c:
                    raise RuntimeError("Xvfb did not start")
                number += c
        self.display = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb",
                        XDG_CONFIG_HOME=os.path.join(tmp, "config"))
        self.env.pop("QZ4471_WINVER", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.procs.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        # The window manager is up once it names itself on the root window.
        wait_for(lambda: "window id" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]), 20,
                 "openbox did not start")

    def run(self, args, check=False):
        r = subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=30)
        if check and r.returncode != 0:
            raise RuntimeError("%s: %s" % (" ".join(args), r.stderr))
        return r.stdout

    def close(self):
        for p in reversed(self.procs):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()


def wait_still(value, still_for, seconds, what):
    """Waits until value() has been the same, and not None, for `still_for` seconds."""
    end = time.monotonic() + seconds
    last, since = value(), time.monotonic()
    while time.monotonic() < end:
        time.sleep(0.05)
        now = value()
        if now != last:
            last, since = now, time.monotonic()
        elif now is not None and time.monotonic() - since >= still_for:
            return last
    raise AssertionError(what)


def wait_for(done, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = done()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError(what)


# ---- the program ------------------------------------------------------------

class Program:
    def __init__(self, x, binary, args, name):
        self.x = x
        self.trace = os.path.join(x.tmp, name + ".trace")
        self.log = open(os.path.join(x.tmp, name + ".log"), "w")
        self.proc = subprocess.Popen([binary, "--port", "sim", "--trace", self.trace] + args, env=x.env,
                                     stdout=self.log, stderr=subprocess.STDOUT)
        x.programs.append(self.proc)
        self.main = self.window(MAIN_TITLE)
        # The start-up words are out; the trace is never more than half a second behind.
        wait_for(lambda: len(decode(data_writes(self.trace))[0]) >= 3, 10, "no start-up words")
        self.activate(self.main)
        settle()

    def shown(self, title):
        """The ids of the program's windows on the screen titled `title`."""
        return self.x.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid),
                           "--name", "^%s$" % title]).split()

    def window(self, title, seconds=15):
        return wait_for(lambda: (self.shown(title) or [None])[0], seconds, "no window '%s'" % title)

    def gone(self, title, seconds=10):
        wait_for(lambda: not self.shown(title), seconds, "the window '%s' did not close" % title)

    def activate(self, wid):
        self.x.run(["xdotool", "windowactivate", "--sync", wid], check=True)

    def client(self, wid):
        """The client area (x, y, width, height) on the screen."""
        info = {}
        for line in self.x.run(["xwininfo", "-id", wid], check=True).splitlines():
            key, _, value = line.strip().partition(":")
            info[key] = value.strip()
        return (int(info["Absolute upper-left X"]), int(info["Absolute upper-left Y"]),
                int(info["Width"]), int(info["Height"]))

    def frame(self, wid):
        """The outer rectangle, window-manager frame included."""
        extents = self.x.run(["xprop", "-id", wid, "_NET_FRAME_EXTENTS"])
        if "=" not in extents:
            raise AssertionError("the window manager reported no frame extents")
        left, right, top, bottom = (int(v) for v in extents.split("=")[1].split(","))
        x, y, w, h = self.client(wid)
        return x - left, y - top, w + left + right, h + top + bottom

    def click(self, form, name, wid=None):
        x, y = form.centre(name, self.client(wid or self.main))
        self.x.run(["xdotool", "mousemove", str(x), str(y), "sleep", "0.1", "click", "1"], check=True)
        settle()

    def click_menu(self, index):
        """Clicks the index-th title of the menu bar (each about 50 px wide)."""
        cx, cy, _, ch = self.client(self.main)
        bar = ch - MAIN.central_height
        self.x.run(["xdotool", "mousemove", str(cx + 20 + 55 * index), str(cy + bar // 2), "sleep", "0.1", "click", "1"],
                   check=True)
        settle()

    def keys(self, *keys):
        for k in keys:
            self.x.run(["xdotool", "key", "--clearmodifiers", k], check=True)
            settle()

    def type(self, text):
        self.x.run(["xdotool", "type", "--delay", "30", text], check=True)
        settle()

    def shot(self, path, rect=None):
        args = ["import", "-window", "root"]
        if rect:
            args += ["-crop", "%dx%d+%d+%d" % (rect[2], rect[3], rect[0], rect[1])]
        self.x.run(args + [path], check=True)

    def control_rect(self, form, name, wid=None):
        x, y, w, h = form.rects[name]
        cx, cy, _, ch = self.client(wid or self.main)
        top = ch - form.central_height if form.central_height else 0
        return cx + x, cy + top + y, w, h

    def stop(self):
        """Ends the program by SIGTERM (its trace is complete however it ends); the words after start-up."""
        # A slow machine may still be acting on the last event: wait until the
        # trace, flushed every quarter second, has been still for a while.
        still, count, end = time.monotonic(), -1, time.monotonic() + 5
        while time.monotonic() < end and time.monotonic() - still < 0.75:
            n = len(data_writes(self.trace))
            if n != count:
                still, count = time.monotonic(), n
            time.sleep(0.05)
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        self.proc.wait(10)
        return self.words()

    def live_words(self):
        """The words after start-up traced so far (the trace is flushed every quarter second)."""
        return decode(data_writes(self.trace))[0][3:]

    def words(self):
        words, faults = decode(data_writes(self.trace))
        if faults:
            raise AssertionError("framing faults on the wire: %s" % "; ".join(faults))
        if words[:3] != STARTUP:
            raise AssertionError("start-up words %s" % hexs(words[:3]))
        return words[3:]


def field_and_hex_shots(p, x, prefix):
    """Freq 0's field and its hex, as (screenshot, rectangle) pairs from one
    shot of the screen named after `prefix`."""
    shot = os.path.join(x.tmp, "%s.png" % prefix)
    p.shot(shot)
    return [(shot, p.control_rect(MAIN, name)) for name in ("Text1", "Label11")]


def settle():
    time.sleep(0.25)


# ---- the cases --------------------------------------------------------------

def expect_words(got, want, what):
    if got != want:
        raise AssertionError("%s: words %s, expected %s" % (what, hexs(got) or "none", hexs(want) or "none"))


def freq1_of_8_then(words, rest, what):
    # The FREQ1 load of 8 MHz, its word computed here, must come first.
    expect_words(words, freq_load(1, tuning_word(8)) + rest, what)


def edit_freq1(p):
    p.click(MAIN, "Text2")
    p.keys("ctrl+a")
    p.type("8")


def stranded_edit(name, open_menu, how):
    """Freq 1 edited, the File menu opened and closed with one Escape, then Sync, Phase 0, Phase 1."""

    def case(x, binary):
        p = Program(x, binary, ["--no-monitor"], name)
        edit_freq1(p)
        open_menu(p)
        p.keys("Escape")
        p.click(MAIN, "Command13")  # "Sync Bit = 0"
        p.click(MAIN, "Text3")
        p.click(MAIN, "Text4")
        freq1_of_8_then(p.stop(), [0xA000, 0x1800, 0x0900], how + ", one Escape, Sync, Phase 0, Phase 1")

    return case


case_stranded_edit_menu_click = stranded_edit("stranded_click", lambda p: p.click_menu(0), "File by click")
case_stranded_edit_menu_key = stranded_edit("stranded_key", lambda p: p.keys("alt+f"), "Alt+F")


def case_access_key_commits_first(x, binary):
    """An access key acts after the field it leaves has committed, also with the menu bar holding the keyboard."""
    p = Program(x, binary, ["--no-monitor"], "access_key")
    edit_freq1(p)
    p.keys("alt+f", "Escape", "alt+l")  # "SE&LSRC = 0"
    freq1_of_8_then(p.stop(), [0x9000], "Alt+F, one Escape, Alt+L")
    p = Program(x, binary, ["--no-monitor"], "access_key_direct")
    edit_freq1(p)
    p.keys("alt+s")  # "&Sync Bit = 0", straight from the field
    freq1_of_8_then(p.stop(), [0xA000], "Alt+S from the field")


def case_exit_sends_nothing(x, binary):
    """Exit, by keys or by mouse, and "Board Monitor" before it, send nothing, pending edit or not."""
    p = Program(x, binary, [], "exit_keys")
    p.window("Board Monitor")
    edit_freq1(p)
    p.keys("alt+p", "m")  # "Board &Monitor": shows the monitor, commits nothing
    p.keys("alt+f", "x")
    assert p.proc.wait(10) == 0, "exit status %d" % p.proc.returncode
    expect_words(p.words(), [], "Board Monitor, then File, Exit by keys")

    p = Program(x, binary, ["--no-monitor"], "exit_mouse")
    edit_freq1(p)
    p.click_menu(0)
    cx, cy, _, ch = p.client(p.main)
    # "E&xit", the third item of the File menu (after the two setup items, each about 23 px high).
    p.x.run(["xdotool", "mousemove", str(cx + 30), str(cy + ch - MAIN.central_height + 12 + 2 * 23), "sleep", "0.1",
             "click", "1"], check=True)
    assert p.proc.wait(10) == 0, "exit status %d" % p.proc.returncode
    expect_words(p.words(), [], "File, Exit by mouse")


def case_monitor_inside_screen(x, binary):
    """The monitor's whole frame, title bar included, lies inside the screen, at start-up and reopened."""
    sw, sh = (int(v) for v in x.screen.split("x"))
    p = Program(x, binary, [], "monitor")

    def inside(wid):
        fx, fy, fw, fh = p.frame(wid)
        return fx >= 0 and fy >= 0 and fx + fw <= sw and fy + fh <= sh

    def check(when):
        # Framed and placed within moments of showing (the program puts a
        # frame that runs past the screen back inside), and there it stays:
        # both frames inside and still for half a second.
        monitor = p.window("Board Monitor")
        windows = ((monitor, "monitor"), (p.main, "main window"))

        def frames_inside():
            try:
                frames = [p.frame(wid) for wid, _ in windows]
            except AssertionError:  # not framed yet
                return None
            return frames if all(inside(wid) for wid, _ in windows) else None

        try:
            wait_still(frames_inside, 0.5, 10, "")
        except AssertionError:
            for wid, name in windows:
                if not inside(wid):
                    fx, fy, fw, fh = p.frame(wid)
                    raise AssertionError("%s: %s frame %dx%d at %d,%d runs past the %s screen"
                                         % (when, name, fw, fh, fx, fy, x.screen))
            raise AssertionError("%s: the windows never came to rest" % when)
        if x.shots:
            p.shot(os.path.join(x.shots, "monitor_%s_%s.png" % (x.screen, when)))
        return monitor

    monitor = check("startup")
    p.activate(monitor)
    p.keys("alt+F4")  # openbox closes it; the program hides it
    p.gone("Board Monitor")
    p.activate(p.main)
    p.keys("alt+p", "m")
    check("reopened")
    expect_words(p.stop(), [], "the monitor opened and closed")


def case_field_follows_sweep(x, binary):
    """After a sweep Freq 0 and its hex show the last value loaded, as if typed."""
    p = Program(x, binary, ["--no-monitor"], "sweep")
    p.click(MAIN, "Text1")
    p.keys("ctrl+a")
    p.type("5")
    p.keys("Return")
    p.click(MAIN, "Command12")  # "S&weep"
    sweep = p.window("Sweep Control")
    p.click(SWEEP, "Command1", sweep)  # group 0 Start, 0 to 10 MHz by 1 in 1 ms steps
    ten = freq_load(0, tuning_word(10))
    wait_for(lambda: p.live_words()[-4:] == ten, 10, "the sweep never reached 10 MHz")
    p.click(SWEEP, "Back", sweep)
    p.gone("Sweep Control")
    p.x.run(["xdotool", "mousemove", "0", "0", "sleep", "0.1"])
    settle()
    after_sweep = field_and_hex_shots(p, x, "sweep")
    # Typing 10 and Enter shows what the field and hex look like at 10 MHz.
    p.click(MAIN, "Text1")
    p.keys("ctrl+a")
    p.type("10")
    p.keys("Return")
    p.x.run(["xdotool", "mousemove", "0", "0", "sleep", "0.1"])
    settle()
    typed = field_and_hex_shots(p, x, "typed")
    words = p.stop()
    if words[:4] != freq_load(0, tuning_word(5)) or words[-8:] != ten + ten:
        raise AssertionError("words %s: expected the 5 MHz load first, the sweep's last step and the typed "
                             "load both %s" % (hexs(words), hexs(ten)))
    for name, a, b in zip(("Freq 0", "Freq 0 (Hex)"), after_sweep, typed):
        if pixels(a) != pixels(b):
            raise AssertionError("%s after the sweep differs from the same control showing 10 MHz (%s, %s)"
                                 % (name, a, b))


def bpsk_words(pattern, count, own_phase=0):
    """The select words of a BPSK keying of `pattern` (bits), `count` symbols,
    from a window whose SELSRC was 0: SELSRC raised, a PHASE select word at
    each change of symbol (the first always), the window's own phase select
    again and SELSRC lowered."""
    bits = [int(b) for b in pattern if b in "01"]
    words, last = [0x9000], None
    for k in range(count):
        symbol = bits[k % len(bits)]
        if symbol != last:
            words.append(0x4000 + 0x0200 * symbol)
            last = symbol
    return words + [0x4000 + 0x0200 * own_phase, 0x8000]


def case_modulation_keys_bpsk(x, binary):
    """Tools, Modulation by keys; pattern, BPSK, a count and a rate typed and clicked in; Start."""
    p = Program(x, binary, ["--no-monitor"], "modulation")
    p.keys("alt+t", "m")
    mod = p.window("Modulation")
    p.click(MODULATION, "Pattern", mod)
    p.keys("ctrl+a")
    p.type("0110")
    p.click(MODULATION, "TypeBPSK", mod)  # leaving the pattern commits it
    p.click(MODULATION, "Count", mod)
    p.keys("ctrl+a")
    p.type("8")
    p.click(MODULATION, "Rate", mod)
    p.keys("ctrl+a")
    p.type("100")
    p.click(MODULATION, "Start", mod)  # commits the rate first
    want = bpsk_words("0110", 8)
    wait_for(lambda: p.live_words()[-1:] == want[-1:], 10, "the keying of 8 symbols never ended")
    if x.shots:
        p.shot(os.path.join(x.shots, "modulation_after.png"))
    expect_words(p.stop(), want, "BPSK keying of 0110, 8 symbols at 100 a second")


def hop_words(mhz, steps):
    """A list of `mhz` rows from a window selecting FREQ0 with SELSRC 0, stepped
    `steps` times in one pass: row 0 loaded into FREQ1, SELSRC raised, then each
    select word followed by the next row's load into the register just left."""
    words, reg = freq_load(1, tuning_word(mhz[0])) + [0x9000], 1
    for k in range(steps):
        words.append(0x5000 + 0x0800 * reg)
        reg = 1 - reg
        if k + 1 < len(mhz):
            words += freq_load(reg, tuning_word(mhz[k + 1]))
    return words


def case_list_imports_and_steps(x, binary):
    """Tools, List by keys; a CSV imported through the file dialog, Bus clicked, Start, then Step for each row."""
    rows = [2.5, 7.75]
    csv = os.path.join(x.tmp, "hops.csv")
    with open(csv, "w") as f:
        f.write("dwell_s,frequency_hz\n" + "".join("0.001,%d\n" % round(m * 1e6) for m in rows))
    p = Program(x, binary, ["--no-monitor"], "list")
    p.keys("alt+t", "l")
    win = p.window("List")
    p.click(LIST, "Import", win)
    dialog = p.window("Import List")
    p.activate(dialog)
    p.type(csv)
    p.keys("Return")
    p.gone("Import List")
    p.activate(win)
    p.click(LIST, "TriggerBus", win)
    p.click(LIST, "Start", win)
    for _ in rows:
        p.click(LIST, "Step", win)
    if x.shots:
        p.shot(os.path.join(x.shots, "list_after.png"))
    expect_words(p.stop(), hop_words(rows, len(rows)), "a list of two rows imported and stepped by bus triggers")


def pixels(shot):
    """The raw pixels of a (screenshot, rectangle) pair."""
    png, (x, y, w, h) = shot
    return subprocess.run(["convert", png, "-crop", "%dx%d+%d+%d" % (w, h, x, y), "rgb:-"],
                          capture_output=True, check=True).stdout


def case_open_setup_then_tab(x, binary):
    """Open Setup restores the registers; Tab through Freq 0 then re-sends the restored word, not the text's."""
    setup = os.path.join(x.tmp, "restore.scpi")
    with open(setup, "w") as f:
        f.write("FREQ0:WORD #H051EB852\nFREQ1:WORD #H33333333\n")  # 1 and 10 MHz at 50 MHz
    p = Program(x, binary, ["--no-monitor"], "open_setup")
    for name, mhz in (("Text1", "2"), ("Text2", "12")):
        p.click(MAIN, name)
        p.keys("ctrl+a")
        p.type(mhz)
        p.keys("Return")
    p.keys("alt+f", "o")
    dialog = p.window("Open Setup")
    p.activate(dialog)
    p.type(setup)
    p.keys("Return")
    p.gone("Open Setup")
    p.activate(p.main)
    p.click(MAIN, "Text1")
    p.keys("Tab")
    restored = freq_load(0, 0x051EB852) + freq_load(1, 0x33333333)
    expect_words(p.stop(), freq_load(0, tuning_word(2)) + freq_load(1, tuning_word(12)) + restored +
                 freq_load(0, 0x051EB852), "Open Setup, then Tab through Freq 0")


def single(v):
    """v rounded to single precision, as the program holds a frequency."""
    return struct.unpack("f", struct.pack("f", v))[0]


def case_sweep_kinds(x, binary):
    """A log up-and-down sweep chosen by clicks and an access key in the sweep window."""
    p = Program(x, binary, ["--no-monitor"], "sweep_kinds")
    p.click(MAIN, "Command12")  # "S&weep"
    sweep = p.window("Sweep Control")
    for name, text in (("Text1", "1"), ("Text2", "16")):
        p.click(SWEEP, name, sweep)
        p.keys("ctrl+a")
        p.type(text)
    p.click(SWEEP, "Option2", sweep)  # "L&og": leaving Stop Freq. commits it
    p.click(SWEEP, "Text11", sweep)  # No. of Points, where the step stood
    p.keys("ctrl+a")
    p.type("5")
    p.keys("alt+u")  # "&Up and down" commits the points first
    if x.shots:
        p.shot(os.path.join(x.shots, "sweep_kinds.png"))
    p.click(SWEEP, "Command1", sweep)  # 1 ms a point, one loop
    # Point k of 5 is 1 x 16^(k/4) MHz; up to the top and back to point 0.
    want = []
    for k in (0, 1, 2, 3, 4, 3, 2, 1, 0):
        f = single(1.0 * (16.0 / 1.0) ** (k / 4))
        want += freq_load(0, int(round(4294967296.0 * f / CLOCK_MHZ)))
    wait_for(lambda: len(p.live_words()) >= len(want), 10, "the sweep never ended")
    p.click(SWEEP, "Back", sweep)
    p.gone("Sweep Control")
    expect_words(p.stop(), want, "log sweep 1 to 16 MHz, 5 points, up and down")


CASES = {
    "stranded_click": case_stranded_edit_menu_click,
    "stranded_key": case_stranded_edit_menu_key,
    "access_key": case_access_key_commits_first,
    "exit": case_exit_sends_nothing,
    "monitor": case_monitor_inside_screen,
    "sweep": case_field_follows_sweep,
    "modulation": case_modulation_keys_bpsk,
    "open_setup": case_open_setup_then_tab,
    "sweep_kinds": case_sweep_kinds,
    "list": case_list_imports_and_steps,
}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--screen", default="1366x768")
    ap.add_argument("--cases", default=",".join(c for c in CASES if c != "sweep"))
    ap.add_argument("--shots", help="keep screenshots of the monitor case here")
    ap.add_argument("--keep", help="keep the traces, logs and screenshots of every case in this folder")
    a = ap.parse_args()
    for tool in ("Xvfb", "openbox", "xdotool", "xwininfo", "xprop", "import", "convert"):
        if not shutil.which(tool):
            print("missing %s: run scripts/install-deps.sh" % tool)
            return 1
    failed = 0
    with tempfile.TemporaryDirectory(prefix="qz-realx-") as scratch:
        tmp = a.keep or scratch
        os.makedirs(tmp, exist_ok=True)
        x = XSession(a.screen, tmp)
        x.screen, x.shots = a.screen, a.shots
        try:
            for name in a.cases.split(","):
                started = time.monotonic()
                try:
                    CASES[name](x, a.binary)
                    print("PASS %s (%.1f s)" % (name, time.monotonic() - started))
                except Exception as e:  # one failing case does not hide the others
                    failed += 1
                    print("FAIL %s: %s" % (name, e))
                finally:
                    # No program of a case outlives it.
                    for proc in x.programs:
                        if proc.poll() is None:
                            proc.kill()
                            proc.wait()
                    x.programs.clear()
        finally:
            x.close()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
