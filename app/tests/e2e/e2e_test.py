#!/usr/bin/env python3
"""End to end: the real kelvane window on a private Xvfb display against the stand-alone
receiver emulator. A first start on an empty hive answers the port dialog, takes the receiver
under remote control, types a frequency and a mode command, closes the window as the title
bar's close button does, and checks the command lines on the wire and the hive on disk.

usage: e2e_test.py KELVANE_BINARY
Exit status 0 on success, 1 on a failed check, 77 when no X server tools are available.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import desktop  # noqa: E402
from desktop import wait_until  # noqa: E402

IDENTITY = "535D Ver 1.10"


class Failure(Exception):
    pass


def check(cond, what):
    if not cond:
        raise Failure(what)


class Wire:
    """The emulator's log: the command lines it received, in order."""

    def __init__(self, path):
        self.path = path

    def lines(self):
        try:
            with open(self.path, encoding="latin-1") as f:
                text = f.read()
        except FileNotFoundError:
            return []
        out = []
        for row in text.splitlines():
            parts = row.split(" ", 2)
            if len(parts) == 3 and parts[1] == "RX":
                out.append(parts[2].split("   (")[0])
        return out

    def settle(self, quiet=0.6, timeout=10.0):
        """Waits until no line other than the periodic polls has arrived for `quiet` seconds
        (band tracking may hold and release the receiver on its own just after connecting)."""
        def others():
            return sum(1 for line in self.lines() if line not in ("W", "M", "Q", "N"))
        last = [others(), time.monotonic()]

        def calm():
            n = others()
            if n != last[0]:
                last[0], last[1] = n, time.monotonic()
            return time.monotonic() - last[1] >= quiet
        check(wait_until(calm, timeout), "the link never settled: %s" % self.lines()[-12:])

    def wait_for(self, line, after=0, timeout=10.0):
        """Index of the first `line` at or after index `after`, waiting for it."""
        def look():
            lines = self.lines()
            for i in range(after, len(lines)):
                if lines[i] == line:
                    return i + 1  # +1 so that index 0 counts as found
            return None
        found = wait_until(look, timeout)
        check(found, "the receiver never got %r; it got: %s" % (line, " ".join(self.lines()[after:])))
        return found - 1


def parse_hive(text):
    """{name: (type, value)} of the REGEDIT4 text; fails on any line it does not understand."""
    lines = text.replace("\r\n", "\n").split("\n")
    check(lines[0] == "REGEDIT4", "the hive does not start with REGEDIT4: %r" % lines[0])
    values = {}
    section = None
    for line in lines[1:]:
        if not line:
            continue
        if line.startswith("["):
            section = line
            continue
        m = re.fullmatch(r'"([A-Za-z_]+[0-9]*)"=(?:dword:([0-9a-f]{8})|"((?:[^"\\]|\\.)*)"|'
                         r'(hex(?:\([0-9a-f]+\))?:[0-9a-f,]*))', line)
        check(m, "hive line not understood: %r" % line)
        check(section == "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Dunmore Software\\Kelvane]",
              "value outside the application key: %r under %r" % (line, section))
        name = m.group(1)
        check(name not in values, "value written twice: " + name)
        if m.group(2) is not None:
            values[name] = ("dword", int(m.group(2), 16))
        elif m.group(3) is not None:
            values[name] = ("sz", m.group(3))
        else:
            values[name] = ("hex", m.group(4))
    return values


def run(binary, tmp):
    xdisplay = desktop.Display()
    procs = []
    try:
        emu_log = os.path.join(tmp, "rx.log")
        link = os.path.join(tmp, "radio")
        emu = subprocess.Popen(
            [sys.executable, os.path.join(HERE, "rx_emulator.py"), "--log", emu_log,
             "--link", link, "--identity", IDENTITY],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        procs.append(emu)
        printed = emu.stdout.readline().strip()
        check(printed == link, "the emulator did not start: %r" % printed)
        wire = Wire(emu_log)

        hive = os.path.join(tmp, "k.reg")
        env = xdisplay.env()
        env["XDG_RUNTIME_DIR"] = tmp
        env["XDG_CONFIG_HOME"] = tmp
        prog = subprocess.Popen([binary, "--port", "1=" + link, "--settings", hive], cwd=tmp,
                                env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                text=True)
        procs.append(prog)

        # First start on an empty hive: the port dialog, with the mapped port chosen.
        dialog = xdisplay.find_window(prog.pid, "Port Properties", timeout=20)
        check(dialog, "no port dialog on the first start; windows: %s" % xdisplay.windows())
        xdisplay.keys(dialog, "Return")

        # Connected: the caption carries the receiver's ROM revision.
        title = "Kelvan "
        main = xdisplay.find_window(prog.pid, title, timeout=20)
        check(main, "no main window")
        want = "[NRD535D Rev. %s]" % IDENTITY
        got = wait_until(lambda: want in xdisplay.xdotool("getwindowname", str(main)), 20)
        check(got, "caption without the revision: %r" % xdisplay.xdotool("getwindowname",
                                                                           str(main)))
        handshake = wire.wait_for("I1")
        # Ask the remote state and the identity, take remote control, poll, reports on.
        check(wire.lines()[:8] == ["H", "?", "H1", "W", "M", "Q", "N", "I1"],
              "handshake: %s" % wire.lines()[:10])

        # Remote control, a typed frequency and a mode command.
        wire.settle()
        pressed = len(wire.lines())
        xdisplay.keys(main, "u")
        held = wire.wait_for("H1", after=max(pressed, handshake + 1))
        xdisplay.keys(main, "7", "1", "2", "5", "period", "5", "Return")
        tuned = wire.wait_for("F07125500", after=held)
        xdisplay.keys(main, "m", "u")
        moded = wire.wait_for("D2", after=tuned)

        # The key help opens beside the panel; the keys stay with the main window.
        if xdisplay.wm:
            xdisplay.xdotool("key", "--clearmodifiers", "F1")
            helpwin = xdisplay.find_window(prog.pid, "Kelvan", timeout=10,
                                           exclude=[main, dialog])
            check(helpwin, "no key-help window; windows: %s" % xdisplay.windows())
            time.sleep(0.5)  # let the window manager settle the focus
            focused = xdisplay.xdotool("getwindowfocus", check=False).strip()
            check(focused == str(main), "after F1 the focus is on %s, not the main window %s"
                  % (focused, main))
            # Typed without choosing a window: they reach whatever has the focus.
            xdisplay.xdotool("type", "--delay", "60", "ml")
            wire.wait_for("D3", after=moded)
        # No link dropped and re-made on the way.
        check(wire.lines().count("?") == 1, "reconnected meanwhile: %s" % wire.lines())

        # Close as the window manager's close button does.
        xdisplay.close(main)
        try:
            rc = prog.wait(20)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end after the close request")
        out = prog.stdout.read()
        check(rc == 0, "exit status %d; output: %s" % (rc, out))
        lines = wire.lines()
        check(lines[-2:] == ["I0", "H0"], "shutdown did not release the receiver: %s"
              % lines[-6:])

        with open(hive, "rb") as f:
            raw = f.read()
        check(b"\0" not in raw, "NUL in the hive")
        values = parse_hive(raw.decode("latin-1"))
        expect = {
            "COM_Port": ("dword", 1),
            "COM_Speed": ("sz", "4800"),
            "WIN_Beep": ("dword", 0xFFFFFFFF),
            "SCN_Delay": ("dword", 4),
            "SCN_Range": ("dword", 1000000),
            "DDE_Database": ("sz", "Morrowby"),
            "SND_Inp": ("dword", 4098),
            "FLT_Inf0": ("sz", "-1|"),
        }
        for name, value in expect.items():
            check(values.get(name) == value, "%s is %r, not %r" % (name, values.get(name), value))
        for name in ("MainLeft", "MainTop", "MainWidth", "MainHeight", "RNG_Default"):
            check(values.get(name, ("",))[0] == "dword", name + " missing or not a DWORD")
        check("MEM_Inf0" not in values, "an empty quick memory was written")
        print("e2e: ok (%d command lines on the wire, %d values in the hive)"
              % (len(lines), len(values)))
    finally:
        for p in reversed(procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        xdisplay.stop()


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    for tool in ("Xvfb", "xdotool"):
        if not shutil.which(tool):
            print("e2e: %s is not installed (scripts/deps installs it)" % tool)
            return 77
    tmp = tempfile.mkdtemp(prefix="kelvane-e2e-")
    try:
        run(os.path.abspath(sys.argv[1]), tmp)
    except Failure as e:
        print("e2e: FAILED: %s" % e)
        for name in ("rx.log",):
            path = os.path.join(tmp, name)
            if os.path.exists(path):
                print("---- %s (last lines)" % name)
                with open(path, encoding="latin-1") as f:
                    print("".join(f.readlines()[-40:]))
        return 1
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
