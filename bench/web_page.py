#!/usr/bin/python3
"""Figures for the web page, in headless chromium against the program's window on the simulator
(build/app/src/web/tests/web_harness): report to page (a front-panel change on the simulator,
its status line parsed, the page updated; timed in the browser), click to wire (a step button's
click to its "F" line at the simulator), CPU of the program with 5 idle pages open against none,
and page load. Prints figures; never fails on them.
Usage: /usr/bin/python3 bench/web_page.py [build-folder]"""
import os
import statistics
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "app", "src", "web", "tests"))
import webrig  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "build")
harness = os.path.join(build, "app", "src", "web", "tests", "web_harness")
REPORTS = int(os.environ.get("REPORTS", "200"))
CLICKS = int(os.environ.get("CLICKS", "100"))
CPU_SECONDS = float(os.environ.get("CPU_SECONDS", "20"))
LOADS = int(os.environ.get("LOADS", "20"))


def pct(values, p):
    v = sorted(values)
    return v[min(len(v) - 1, int(round(p / 100 * (len(v) - 1))))]


def figures(name, values, unit="ms"):
    print(f"{name}: n={len(values)} median {statistics.median(values):.2f} {unit}, "
          f"p99 {pct(values, 99):.2f} {unit}, max {max(values):.2f} {unit}")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def cpu_percent(pid, seconds):
    c0, t0 = cpu_seconds(pid), time.time()
    time.sleep(seconds)
    return 100 * (cpu_seconds(pid) - c0) / (time.time() - t0)


def state(d):
    return d.execute_script("return window.kelvane && window.kelvane.state")


def main():
    rig = webrig.Harness([harness])
    d = webrig.browser()
    try:
        # Page load: navigation start to the load event, and to the first state shown.
        loads, first = [], []
        for _ in range(LOADS):
            d.get(rig.url)
            webrig.wait_until(lambda: d.execute_script(
                "return window.kelvane && window.kelvane.stats.firstState !== null"), 10)
            nav = d.execute_script(
                "const n = performance.getEntriesByType('navigation')[0];"
                "return [n.loadEventEnd, window.kelvane.stats.firstState];")
            loads.append(nav[0])
            first.append(nav[1])
        figures("page load (navigation to load event)", loads)
        figures("page load (navigation to the receiver shown)", first)

        # Report to page: the simulator's front panel is turned; each status line's report is
        # timed from its parsing in the program to the page's update.
        d.get(rig.url)
        webrig.wait_until(lambda: (state(d) or {}).get("connected"), 10)
        d.execute_script("const s = window.kelvane.stats; s.delays = []; s.hz = []; s.shown = [];")
        for i in range(REPORTS):
            rig.command(f"panel {7000000 + 1000 * (i % 2) + 10 * i}")
            time.sleep(0.06)
        time.sleep(0.5)
        delays, hzs, shown = d.execute_script(
            "const s = window.kelvane.stats; return [s.delays, s.hz, s.shown]")
        changed = [k for k in range(1, len(hzs)) if hzs[k] != hzs[k - 1]]
        figures("report to page (status line parsed -> page updated)", [delays[k] for k in changed])
        knob = [shown[k] - rig.panel[int(hzs[k])] for k in changed if int(hzs[k]) in rig.panel]
        figures("front panel to page (knob turned -> page updated, serial line included)", knob)

        # Click to wire.
        d.find_element(By.ID, "hold-btn").click()
        webrig.wait_until(lambda: state(d)["held"], 5)
        time.sleep(0.5)
        wire = []
        button = d.find_element(By.ID, "local-up")
        for _ in range(CLICKS):
            rig.clear_wire()
            n = d.execute_script("return window.kelvane.stats.sent.length")
            button.click()
            line = rig.wait_wire("F", 3)
            sent = d.execute_script("return window.kelvane.stats.sent[arguments[0]]", n)
            if line and sent:
                wire.append(line[0] - sent)
            time.sleep(0.12)
        figures("click to wire (click -> F line at the simulator)", wire)
    finally:
        d.quit()

    # CPU of the program: idle with no page, then with 5 idle pages open.
    time.sleep(1)
    idle = cpu_percent(rig.proc.pid, CPU_SECONDS)
    pages = webrig.browser()
    try:
        for i in range(5):
            if i:
                pages.switch_to.new_window("tab")
            pages.get(rig.url)
            webrig.wait_until(lambda: (state(pages) or {}).get("connected"), 10)
        time.sleep(1)
        busy = cpu_percent(rig.proc.pid, CPU_SECONDS)
    finally:
        pages.quit()
        rig.stop()
    print(f"program CPU over {CPU_SECONDS:.0f} s: {idle:.2f} % of one core with no page, "
          f"{busy:.2f} % with 5 idle pages ({busy - idle:+.2f} %)")


if __name__ == "__main__":
    main()
