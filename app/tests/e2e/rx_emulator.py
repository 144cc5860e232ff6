#!/usr/bin/env python3
"""A stand-alone receiver emulator on a pseudo-terminal, written from the command and reply
layouts only, so that the program can be checked against something other than our own
simulator.

It prints the device path (the symlink when --link is given) on stdout once the terminal is
raw, then answers command lines ending in CR:

  H  -> "H" + remote digit        ?  -> "?" + identity          H0/H1 remote off/on
  I0/I1 automatic status off/on   W  -> "W" + 4-digit bandwidth M  -> "M" + 3-digit S-meter
  N  -> "N" + blanker digit       Q  -> "Q" + squelch digit
  F + 8 digits, D/A/G/B/N + digit, W + digits: settings (only while under remote control)
  K nnn a f m ffffffff g: store a channel   L nnn nnn: dump channels   J1 nnn: recall   Z d: reset

With automatic status on, an "I" line goes out after every change (and once when switched on).
Every received line is logged with a timestamp as `time RX <line>` (the line without its CR,
non-printing characters escaped); every reply as `time TX <line>`.

Control lines (written to the --control FIFO): "silent" (answer nothing), "on" (answer again),
"unplug" (close the terminal, remove the link), "plug" (a new terminal under the same link),
"garbage" (send noise), "knob HZ" (the front-panel knob tunes), "smeter RAW", "quit".
"""

import argparse
import errno
import os
import select
import sys
import termios
import time
import tty

MODES = 9


def escape(data: bytes) -> str:
    out = []
    for b in data:
        if 32 <= b < 127 and b != 0x5C:
            out.append(chr(b))
        else:
            out.append("\\x%02x" % b)
    return "".join(out)


class Receiver:
    """The receiver's state and its answers to one command line."""

    def __init__(self, identity: str, strict_remote: bool):
        self.identity = identity
        self.strict_remote = strict_remote
        self.remote = False
        self.auto = False
        self.freq = 9410000
        self.mode = 4
        self.filt = 1
        self.agc = 0
        self.att = 0
        self.nb = 0
        self.sq = 0
        self.bandwidth = 2200
        self.smeter = 120
        self.channels = {}

    def status(self) -> bytes:
        return b"I%d%d%d%08d%d\r" % (self.att, self.filt, self.mode, self.freq, self.agc)

    def handle(self, line: bytes):
        """Returns (replies, note): the reply lines and a remark for the log (or "")."""
        text = line.decode("latin-1")
        before = (self.freq, self.mode, self.filt, self.agc, self.att)
        replies = []
        note = ""
        if text == "H":
            replies.append(b"H%d\r" % (1 if self.remote else 0))
        elif text == "?":
            replies.append(b"?" + self.identity.encode("latin-1") + b"\r")
        elif text in ("H0", "H1"):
            self.remote = text == "H1"
        elif text in ("I0", "I1"):
            was = self.auto
            self.auto = text == "I1"
            if self.auto and not was:
                replies.append(self.status())
        elif text == "W":
            replies.append(b"W%04d\r" % min(self.bandwidth, 9999))
        elif text == "M":
            replies.append(b"M%03d\r" % self.smeter)
        elif text == "N":
            replies.append(b"N%d\r" % self.nb)
        elif text == "Q":
            replies.append(b"Q%d\r" % self.sq)
        elif text[:1] == "L" and len(text) == 7 and text[1:].isdigit():
            first, last = int(text[1:4]), int(text[4:7])
            for n in range(first, min(last, 199) + 1):
                ch = self.channels.get(n)
                if ch is None:
                    replies.append(b"L%03dV%s\r" % (n, b"0" * 11))
                else:
                    replies.append(b"L%03d%s\r" % (n, ch))
        elif self.strict_remote and not self.remote:
            note = "ignored: not under remote control"
        elif text[:1] == "F" and len(text) == 9 and text[1:].isdigit():
            self.freq = int(text[1:])
        elif text[:1] == "D" and len(text) == 2 and text[1].isdigit() and int(text[1]) < MODES:
            self.mode = int(text[1])
        elif text[:1] == "A" and text[1:] in ("0", "1"):
            self.att = int(text[1])
        elif text[:1] == "G" and text[1:] in ("0", "1", "2"):
            self.agc = int(text[1])
        elif text[:1] == "N" and text[1:] in ("0", "1", "2"):
            self.nb = int(text[1])
        elif text[:1] == "B" and text[1:] in ("0", "1", "2", "3"):
            self.filt = int(text[1])
            self.bandwidth = {0: 5500, 1: 2200, 2: 500, 3: 12000}[self.filt]
        elif text[:1] == "W" and text[1:].isdigit():
            self.bandwidth = int(text[1:])
        elif text[:1] == "K" and len(text) == 16 and text[1:].isdigit():
            self.channels[int(text[1:4])] = text[4:].encode("latin-1")
        elif text[:2] == "J1" and len(text) == 5 and text[2:].isdigit():
            ch = self.channels.get(int(text[2:]))
            if ch is not None:
                c = ch.decode("latin-1")
                self.att, self.filt, self.mode = int(c[0]), int(c[1]), int(c[2])
                self.freq, self.agc = int(c[3:11]), int(c[11])
        elif text[:1] == "Z" and text[1:] in ("1", "2", "3"):
            self.channels.clear()
        else:
            note = "unknown command"
        if self.auto and (self.freq, self.mode, self.filt, self.agc, self.att) != before:
            replies.append(self.status())
        return replies, note


class Emulator:
    def __init__(self, args):
        self.args = args
        self.rx = Receiver(args.identity, not args.lenient)
        self.rx.remote = self.rx.auto = args.left_on
        self.log = open(args.log, "a", buffering=1) if args.log else None
        self.silent = False
        self.master = -1
        self.slave = -1
        self.path = ""
        self.inbuf = b""
        self.outq = []  # (release time, byte)
        self.char_time = 10.0 / args.baud if args.baud > 0 else 0.0
        self.control = -1
        if args.control:
            if not os.path.exists(args.control):
                os.mkfifo(args.control)
            self.control = os.open(args.control, os.O_RDWR | os.O_NONBLOCK)
        self.ctlbuf = b""

    def note(self, kind: str, text: str):
        if self.log:
            self.log.write("%.3f %s %s\n" % (time.time(), kind, text))

    def plug(self):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        attrs = termios.tcgetattr(self.slave)
        attrs[3] &= ~termios.ECHO
        termios.tcsetattr(self.slave, termios.TCSANOW, attrs)
        self.path = os.ttyname(self.slave)
        os.set_blocking(self.master, False)
        if self.args.link:
            tmp = self.args.link + ".new"
            if os.path.lexists(tmp):
                os.unlink(tmp)
            os.symlink(self.path, tmp)
            os.replace(tmp, self.args.link)
        self.inbuf = b""
        self.outq = []
        self.note("EV", "plugged " + self.path)

    def unplug(self):
        if self.args.link and os.path.lexists(self.args.link):
            os.unlink(self.args.link)
        for fd in (self.master, self.slave):
            if fd >= 0:
                os.close(fd)
        self.master = self.slave = -1
        self.note("EV", "unplugged")

    def send(self, data: bytes):
        self.note("TX", escape(data.rstrip(b"\r")))
        now = time.monotonic()
        start = max(now, self.outq[-1][0] if self.outq else now)
        for i, b in enumerate(data):
            self.outq.append((start + (i + 1) * self.char_time, b))

    def flush_due(self):
        if self.master < 0:
            return
        now = time.monotonic()
        n = 0
        while n < len(self.outq) and self.outq[n][0] <= now:
            n += 1
        if n:
            chunk = bytes(b for _, b in self.outq[:n])
            try:
                os.write(self.master, chunk)
            except OSError:
                pass
            del self.outq[:n]

    def on_input(self, data: bytes):
        self.inbuf += data
        while b"\r" in self.inbuf:
            line, self.inbuf = self.inbuf.split(b"\r", 1)
            line = line.lstrip(b"\n")
            if self.silent:
                self.note("RX", escape(line) + "   (silent)")
                continue
            replies, why = self.rx.handle(line)
            self.note("RX", escape(line) + ("   (" + why + ")" if why else ""))
            for r in replies:
                self.send(r)
        if len(self.inbuf) > 256:
            self.note("EV", "overlong input dropped: " + escape(self.inbuf[:64]))
            self.inbuf = b""

    def on_control(self, line: str):
        self.note("EV", "control " + line)
        if line == "silent":
            self.silent = True
            self.outq = []
        elif line == "on":
            self.silent = False
        elif line == "unplug":
            self.unplug()
        elif line == "plug":
            if self.master < 0:
                self.plug()
        elif line == "garbage":
            self.send(b"\x00\xffI12\r?\rXYZZY" + b"A" * 40 + b"\r")
        elif line.startswith("knob "):
            # The operator turns the receiver's own tuning knob.
            self.rx.freq = int(line.split()[1])
            if self.rx.auto:
                self.send(self.rx.status())
        elif line.startswith("smeter "):
            self.rx.smeter = int(line.split()[1])
        elif line == "quit":
            return False
        return True

    def run(self):
        self.plug()
        print(self.args.link or self.path, flush=True)
        while True:
            fds = [fd for fd in (self.master, self.control) if fd >= 0]
            timeout = 0.2
            if self.outq:
                timeout = max(0.0, self.outq[0][0] - time.monotonic())
            ready, _, _ = select.select(fds, [], [], timeout)
            if self.master >= 0 and self.master in ready:
                try:
                    data = os.read(self.master, 4096)
                except OSError as e:
                    if e.errno not in (errno.EAGAIN, errno.EIO):
                        raise
                    data = b""
                if data:
                    self.on_input(data)
            if self.control >= 0 and self.control in ready:
                try:
                    self.ctlbuf += os.read(self.control, 4096)
                except BlockingIOError:
                    pass
                while b"\n" in self.ctlbuf:
                    line, self.ctlbuf = self.ctlbuf.split(b"\n", 1)
                    if not self.on_control(line.decode().strip()):
                        self.unplug()
                        return
            self.flush_due()


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--log", help="append received and sent lines here")
    p.add_argument("--link", help="symlink that names the terminal (survives unplug/plug)")
    p.add_argument("--control", help="FIFO that takes control lines")
    p.add_argument("--identity", default="535D Ver 1.10", help="answer to '?'")
    p.add_argument("--baud", type=int, default=4800, help="pace replies at this speed (0: at once)")
    p.add_argument("--left-on", action="store_true",
                   help="start under remote control with automatic status on, as a receiver "
                        "left by a program that was killed")
    p.add_argument("--lenient", action="store_true",
                   help="accept settings while not under remote control")
    args = p.parse_args()
    try:
        Emulator(args).run()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
