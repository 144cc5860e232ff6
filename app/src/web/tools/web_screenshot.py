#!/usr/bin/python3
"""Takes the README's picture of the web page: headless chromium at a phone's width against the
program's window on the simulator, with a few quick memories, channels and a noise survey.
Usage: /usr/bin/python3 app/src/web/tools/web_screenshot.py [build-folder] [out.png]"""
import os
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests"))
import webrig  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "..", "..", "build")
out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "..", "..", "..", "docs",
                                                         "web.png")
harness = os.path.join(build, "app", "src", "web", "tests", "web_harness")

with tempfile.TemporaryDirectory() as d:
    noise = os.path.join(d, "Noise.txt")
    levels = [0, 96, 104, 118, 131, 140, 146, 150, 158, 152, 160, 166, 170, 168, 174, 178, 176,
              182, 186, 184, 190, 192, 196, 194, 198, 200, 204, 202, 206, 208]
    with open(noise, "w") as f:
        f.write("2026-12-11|14:05|165|" + "|".join(f"{v:03d}" for v in levels) + "\r\n")
    hive = ['"SMT_Log"="%s"' % noise,
            '"MEM_Inf0"="9410000|4|0|0|BBC WS"', '"MEM_Inf1"="5000000|4|1|0|WWV"',
            '"MEM_Inf2"="7074000|2|2|1|FT8 40 m"', '"MEM_Inf3"="4625000|4|0|0|UVB-76"']
    rig = webrig.Harness([harness] + hive)
    driver = webrig.browser(390, 1600)
    try:
        rig.command("hold")
        driver.get(rig.url)
        webrig.wait_until(lambda: driver.execute_script(
            "return window.kelvane.state && window.kelvane.state.held"), 10)
        driver.find_element(By.CSS_SELECTOR, '[data-memory="0"]').click()
        webrig.wait_until(lambda: driver.execute_script(
            "return window.kelvane.state.hz === 9410000"), 10)
        time.sleep(1.0)
        height = driver.execute_script("return document.documentElement.scrollHeight")
        driver.set_window_size(390, height + 100)
        time.sleep(0.3)
        driver.save_screenshot(out)
        print("wrote", out)
    finally:
        driver.quit()
        rig.stop()
