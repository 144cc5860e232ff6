"""The web page's rig for the browser test and the benchmark: the harness program (the window
on the simulator, the page on a free loopback port) and headless chromium through its WebDriver."""
import os
import queue
import re
import subprocess
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
]


class Harness:
    """Runs a program that prints the page's address; collects "WIRE" lines as they come."""

    def __init__(self, argv, env=None):
        e = dict(os.environ)
        e.setdefault("QT_QPA_PLATFORM", "offscreen")
        e.update(env or {})
        self.proc = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, env=e, text=True, bufsize=1)
        self.url = None
        self.wire = queue.Queue()
        self.panel = {}  # hz -> when the front panel was turned to it (ms since the epoch)
        self._url_seen = threading.Event()
        threading.Thread(target=self._read, daemon=True).start()
        if not self._url_seen.wait(30):
            self.stop()
            raise RuntimeError("the program printed no page address")

    def _read(self):
        for line in self.proc.stdout:
            m = re.search(r"(http://\S+)", line)
            if m and not self.url:
                self.url = m.group(1)
                self._url_seen.set()
            if line.startswith("PANEL "):
                _, at, hz = line.split()
                self.panel[int(hz)] = float(at)
            if line.startswith("WIRE "):
                _, at, text = line.rstrip("\n").split(" ", 2)
                self.wire.put((float(at), text))

    def command(self, text):
        self.proc.stdin.write(text + "\n")
        self.proc.stdin.flush()

    def clear_wire(self):
        while not self.wire.empty():
            self.wire.get_nowait()

    def wait_wire(self, prefix, timeout=5.0):
        """The first wire line starting with prefix: (ms since the epoch, line)."""
        end = time.time() + timeout
        while time.time() < end:
            try:
                at, text = self.wire.get(timeout=max(0.01, end - time.time()))
            except queue.Empty:
                break
            if text.startswith(prefix):
                return at, text
        return None

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.close()
            except OSError:
                pass
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        if self.proc.stdout:
            self.proc.stdout.close()

    @property
    def base(self):
        return self.url.split("/?")[0]


def browser(width=390, height=844):
    profile = tempfile.TemporaryDirectory(prefix="kelvane-chromium-")
    opts = webdriver.ChromeOptions()
    opts.binary_location = "/usr/bin/chromium"
    for f in CHROMIUM_FLAGS:
        opts.add_argument(f)
    opts.add_argument("--user-data-dir=" + profile.name)
    opts.add_argument(f"--window-size={width},{height}")
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=opts)
    quit = driver.quit

    def quit_and_clean():
        quit()
        profile.cleanup()

    driver.quit = quit_and_clean
    return driver


def wait_until(cond, timeout=10.0, step=0.02):
    end = time.time() + timeout
    while time.time() < end:
        v = cond()
        if v:
            return v
        time.sleep(step)
    return cond()
