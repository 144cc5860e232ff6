"""Driving a real X display as a user does: Xvfb, xdotool, and the window manager's close
request (WM_DELETE_WINDOW), which a bare Xvfb has no window manager to send."""

import ctypes
import ctypes.util
import os
import shutil
import subprocess
import time


def wait_until(cond, timeout=10.0, step=0.05):
    """Polls cond until it returns something true; returns that, or None after timeout."""
    end = time.monotonic() + timeout
    while True:
        value = cond()
        if value:
            return value
        if time.monotonic() >= end:
            return None
        time.sleep(step)


class Display:
    """A private Xvfb server; stop() ends it."""

    def __init__(self):
        r, w = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        number = b""
        with os.fdopen(r, "rb") as f:
            while not number.endswith(b"\n"):
                c = f.read(1)
                if not c:
                    break
                number += c
        if not number.strip():
            self.proc.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number.decode().strip()
        # A window manager, when one is installed: focus and activation behave as on a desktop.
        self.wm = None
        if shutil.which("openbox"):
            self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env(),
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            wait_until(lambda: self.xdotool("search", "--class", "openbox", check=False) != ""
                       or self._wm_running(), 5)

    def env(self):
        e = dict(os.environ)
        e["DISPLAY"] = self.name
        e.pop("QT_QPA_PLATFORM", None)  # the real X server, not offscreen
        e.pop("WAYLAND_DISPLAY", None)
        return e

    def xdotool(self, *args, check=True):
        r = subprocess.run(["xdotool", *args], env=self.env(), capture_output=True, text=True,
                           timeout=20)
        if check and r.returncode != 0:
            raise RuntimeError("xdotool %s: %s" % (" ".join(args), r.stderr.strip()))
        return r.stdout.strip()

    def windows(self, pid=None, name="."):
        """Visible windows as {id: title}."""
        args = ["search", "--onlyvisible"]
        if pid is not None:
            args += ["--pid", str(pid)]
        args += ["--name", name]
        out = self.xdotool(*args, check=False)
        result = {}
        for line in out.splitlines():
            if line.strip().isdigit():
                wid = int(line)
                result[wid] = self.xdotool("getwindowname", str(wid), check=False)
        return result

    def _wm_running(self):
        r = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env(),
                           capture_output=True, text=True) if shutil.which("xprop") else None
        return r is not None and "window id" in r.stdout

    def find_window(self, pid, prefix, timeout=10.0, exclude=()):
        def look():
            for wid, title in self.windows(pid).items():
                if wid not in exclude and title.startswith(prefix):
                    return wid
            return None
        return wait_until(look, timeout)

    def keys(self, wid, *keys):
        """Key strokes to the window that has the focus (focus is set first)."""
        self.xdotool("windowfocus", "--sync", str(wid))
        for k in keys:
            self.xdotool("key", "--clearmodifiers", k)
            time.sleep(0.05)

    def close(self, wid):
        """Asks the window to close, as the title bar's close button does."""
        lib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        lib.XOpenDisplay.restype = ctypes.c_void_p
        lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        lib.XInternAtom.restype = ctypes.c_ulong
        lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        lib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                   ctypes.c_void_p]
        lib.XFlush.argtypes = [ctypes.c_void_p]
        lib.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                        ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                        ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                        ("pad", ctypes.c_long * 12)]

        dpy = lib.XOpenDisplay(self.name.encode())
        if not dpy:
            raise RuntimeError("cannot open display " + self.name)
        try:
            ev = ClientMessage()
            ev.type = 33  # ClientMessage
            ev.window = wid
            ev.message_type = lib.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
            ev.format = 32
            ev.data[0] = lib.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
            ev.data[1] = 0  # CurrentTime
            lib.XSendEvent(dpy, wid, 0, 0, ctypes.byref(ev))
            lib.XFlush(dpy)
        finally:
            lib.XCloseDisplay(dpy)

    def stop(self):
        if self.wm and self.wm.poll() is None:
            self.wm.terminate()
            try:
                self.wm.wait(5)
            except subprocess.TimeoutExpired:
                self.wm.kill()
                self.wm.wait()
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
