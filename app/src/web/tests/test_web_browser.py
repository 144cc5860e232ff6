"""The web page in real headless chromium against the program's window on the simulator."""
import argparse
import http.server
import json
import os
import sys
import threading
import unittest
import urllib.error
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import webrig  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

ARGS = None


def khz_text(hz):
    whole, frac = f"{hz / 1000:.3f}".split(".")
    groups = []
    while len(whole) > 3:
        groups.insert(0, whole[-3:])
        whole = whole[:-3]
    groups.insert(0, whole)
    return "\u2009".join(groups) + "." + frac


class WebPage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.rig = webrig.Harness([ARGS.harness])
        cls.driver = webrig.browser()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.rig.stop()

    def state(self):
        return self.driver.execute_script("return window.kelvane && window.kelvane.state")

    def open_page(self):
        self.driver.get(self.rig.url)
        s = webrig.wait_until(lambda: (self.state() or {}).get("connected") and self.state(), 15)
        self.assertTrue(s, "the page shows no connected receiver")
        return s

    def test_1_page_shows_the_receiver(self):
        s = self.open_page()
        self.assertGreater(s["hz"], 0)
        shown = webrig.wait_until(
            lambda: self.driver.find_element(By.ID, "khz").text == khz_text(self.state()["hz"]))
        self.assertTrue(shown, self.driver.find_element(By.ID, "khz").text)
        self.assertEqual(self.driver.find_element(By.ID, "page").text, "live")
        self.assertTrue(self.driver.find_element(By.ID, "s-mode").text not in ("", "-"))

    def test_2_refused_with_the_reason_until_held(self):
        self.open_page()
        self.rig.clear_wire()
        self.driver.find_element(By.ID, "local-up").click()
        msg = webrig.wait_until(lambda: self.driver.find_element(By.ID, "message").text, 5)
        self.assertIn("not held", msg)
        self.assertIsNone(self.rig.wait_wire("F", 0.5), "a refused step reached the receiver")

    def test_3_step_button_reaches_the_wire(self):
        self.open_page()
        self.driver.find_element(By.ID, "hold-btn").click()
        self.assertTrue(webrig.wait_until(lambda: self.state()["held"], 5), "not held")
        before = self.state()
        self.rig.clear_wire()
        self.driver.find_element(By.ID, "local-up").click()
        line = self.rig.wait_wire("F", 5)
        self.assertIsNotNone(line, "no F line on the wire")
        want = int(before["hz"] + before["localStep"])
        self.assertEqual(int(line[1][1:]), want, line)
        self.assertTrue(webrig.wait_until(lambda: self.state()["hz"] == want, 5),
                        "the page does not show the new frequency")
        # A typed frequency, as the keyboard takes it.
        self.rig.clear_wire()
        entry = self.driver.find_element(By.ID, "entry")
        entry.clear()
        entry.send_keys("7125.5\n")
        self.assertIsNotNone(self.rig.wait_wire("F", 5))
        self.assertTrue(webrig.wait_until(lambda: self.state()["hz"] == 7125500, 5))
        # A mode button.
        self.driver.find_element(By.CSS_SELECTOR, '[data-value="USB"]').click()
        self.assertTrue(webrig.wait_until(lambda: self.state()["mode"] == "USB", 5))

    def test_4_front_panel_change_appears(self):
        self.open_page()
        self.rig.command("panel 7100000")
        self.assertTrue(webrig.wait_until(
            lambda: self.driver.find_element(By.ID, "khz").text == khz_text(7100000), 5),
            self.driver.find_element(By.ID, "khz").text)

    def test_5_bad_messages_answered_connection_kept(self):
        self.open_page()
        result = self.driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            const ws = new WebSocket("ws://" + location.host + "/ws" + location.search);
            const got = [];
            ws.onmessage = (e) => {
              const m = JSON.parse(e.data);
              if (m.type !== "state" && m.type !== "lists") got.push(m);
              if (got.length === 4) { done({got: got, open: ws.readyState === 1}); ws.close(); }
            };
            ws.onopen = () => {
              ws.send("nonsense");
              ws.send(JSON.stringify({cmd: "hello", id: 1, pad: "x".repeat(10000)}));
              ws.send(new Uint8Array([1, 2, 3]));
              ws.send(JSON.stringify({cmd: "hello", id: 2}));
            };
            ws.onclose = (e) => done({closed: e.code, got: got});
        """)
        self.assertTrue(result.get("open"), result)
        types = [m["type"] for m in result["got"]]
        self.assertEqual(types, ["error", "error", "error", "done"], result)

    def test_6_no_token_is_refused(self):
        bare = self.rig.base + "/"
        with self.assertRaises(urllib.error.HTTPError) as cm:
            urllib.request.urlopen(bare, timeout=5)
        self.assertEqual(cm.exception.code, 403)
        self.driver.get(bare)
        self.assertIn("token", self.driver.find_element(By.TAG_NAME, "body").text)
        self.open_page()
        code = self.driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            const ws = new WebSocket("ws://" + location.host + "/ws?token=wrong");
            ws.onmessage = () => done("message");
            ws.onclose = (e) => done(e.code);
        """)
        self.assertEqual(code, 1006)  # refused at the upgrade: no WebSocket at all
        self.assertEqual(self.handshake(self.rig.base + "/ws?token=wrong"), 403)

    def handshake(self, url, origin=None):
        """The status of a raw WebSocket upgrade request."""
        import socket
        from urllib.parse import urlsplit
        u = urlsplit(url)
        origin = origin or f"http://{u.netloc}"
        req = (f"GET {u.path}?{u.query} HTTP/1.1\r\nHost: {u.netloc}\r\nUpgrade: websocket\r\n"
               "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
               f"Sec-WebSocket-Version: 13\r\nOrigin: {origin}\r\n\r\n")
        with socket.create_connection((u.hostname, u.port), timeout=5) as s:
            s.sendall(req.encode())
            status = int(s.recv(4096).split(b" ")[1])
        return status

    def test_7_another_origin_is_refused(self):
        token = self.rig.url.split("token=")[1]
        target = self.rig.base.replace("http://", "ws://") + "/ws?token=" + token

        class Other(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                body = b"<!DOCTYPE html><title>other site</title>"
                self.send_response(200)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *a):
                pass

        other = http.server.HTTPServer(("127.0.0.1", 0), Other)
        threading.Thread(target=other.serve_forever, daemon=True).start()
        try:
            self.driver.get(f"http://127.0.0.1:{other.server_port}/")
            result = self.driver.execute_async_script("""
                const done = arguments[arguments.length - 1];
                const ws = new WebSocket(arguments[0]);
                let got = 0;
                ws.onmessage = () => { got++; };
                ws.onclose = (e) => done({code: e.code, got: got});
            """, target)
        finally:
            other.shutdown()
        self.assertEqual(result, {"code": 1006, "got": 0})
        with_token = self.rig.url.replace("/?", "/ws?")
        self.assertEqual(self.handshake(with_token, origin="http://example.org"), 403)
        self.assertEqual(self.handshake(with_token, origin="http://127.0.0.1:1"), 403)
        self.assertEqual(self.handshake(with_token), 101)

    def test_8_lists_and_noise_shown(self):
        self.open_page()
        self.assertEqual(len(self.driver.find_elements(By.CSS_SELECTOR, "#memories button")), 10)
        self.assertEqual(len(self.driver.find_elements(By.CSS_SELECTOR, "#noise div")), 30)


class ProgramBinary(unittest.TestCase):
    def test_web_option_prints_the_address(self):
        with __import__("tempfile").TemporaryDirectory() as d:
            rig = webrig.Harness([ARGS.kelvane, "--simulate", "--settings",
                                  os.path.join(d, "k.reg"), "--web=127.0.0.1:0"])
            driver = webrig.browser()
            try:
                self.assertRegex(rig.url, r"^http://127\.0\.0\.1:\d+/\?token=[0-9a-f]{32}$")
                driver.get(rig.url)
                s = webrig.wait_until(lambda: driver.execute_script(
                    "return window.kelvane.state && window.kelvane.state.connected && "
                    "window.kelvane.state"), 15)
                self.assertTrue(s and s["hz"] > 0, s)
            finally:
                driver.quit()
                rig.proc.terminate()
                rig.stop()
            # The token is kept for the next start.
            with open(os.path.join(d, "k.reg"), encoding="utf-8", errors="replace") as f:
                self.assertIn('"WEB_Token"="' + rig.url.split("token=")[1] + '"', f.read())


if __name__ == "__main__":
    p = argparse.ArgumentParser()
    p.add_argument("--harness", required=True)
    p.add_argument("--kelvane", required=True)
    ARGS, rest = p.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
