#!/usr/bin/python3
"""The room remote's page in a real browser.

Starts `v36ctl --simulate --trace serve` on the loopback address, opens the
page in Debian's Chromium (headless, at a phone's size) through Selenium,
pairs, moves a volume and drags an EQ band, and checks in the trace of the
reports written to the virtual unit that the unit received what the page
shows. Screenshots of the page in both languages land in the artefact folder.

Chromium, its driver and Selenium come from Debian (scripts/setup.sh installs
them); when one is missing the test fails and says which. Only
V36_SKIP_BROWSER_TEST=1 in the environment skips it (exit code 77).
"""

import argparse
import math
import os
import queue
import re
import struct
import subprocess
import sys
import threading
import time

CHROMIUM = "/usr/bin/chromium"
DRIVER = "/usr/bin/chromedriver"
CODE = "246810"
PHONE = {"width": 390, "height": 844, "pixelRatio": 2}


def missing(what, package):
    """Stops the test: a part of the browser is not installed."""
    if os.environ.get("V36_SKIP_BROWSER_TEST") == "1":
        print("SKIP: %s is not installed (V36_SKIP_BROWSER_TEST=1)" % what)
        sys.exit(77)
    print("FAIL: %s is not installed: scripts/setup.sh installs it (apt-get install %s); "
          "V36_SKIP_BROWSER_TEST=1 skips this test" % (what, package))
    sys.exit(1)


class Server:
    """v36ctl serve with its trace: every report written to the virtual unit."""

    def __init__(self, v36ctl):
        self.proc = subprocess.Popen(
            [v36ctl, "--simulate", "--trace", "serve", "--port", "0",
             "--listen", "127.0.0.1", "--pair-code", CODE],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.tx = []
        self.lock = threading.Lock()
        threading.Thread(target=self._read_trace, daemon=True).start()
        lines = queue.Queue()
        threading.Thread(target=lambda: [lines.put(l) for l in self.proc.stdout],
                         daemon=True).start()
        self.url = None
        deadline = time.time() + 30
        while not self.url and time.time() < deadline:
            try:
                line = lines.get(timeout=max(0.0, deadline - time.time()))
            except queue.Empty:
                break
            m = re.search(r"Room remote: (http://127\.0\.0\.1:\d+/)", line)
            if m:
                self.url = m.group(1)
        if not self.url:
            self.stop()
            raise RuntimeError("v36ctl serve printed no address")

    def _read_trace(self):
        for line in self.proc.stderr:
            if line.startswith("TX "):
                with self.lock:
                    self.tx.append(bytes.fromhex(line[3:].strip()))

    def reports(self, code):
        with self.lock:
            return [r for r in self.tx if len(r) > 1 and r[1] == code]

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()


def wait(what, check, timeout=10.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = check()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


def music_volume_sent(server):
    """The music volume of the last report that set it (block 4, index 15)."""
    for r in reversed(server.reports(0x09)):
        if r[2:6] == bytes([0x00, 0x04, 0x0F, 0x02]):
            return round(struct.unpack(">f", r[6:10])[0] * 100)
    return None


def last_record(server, after):
    """The band record of the last register write after the first `after`."""
    writes = server.reports(0x85)[after:]
    for r in reversed(writes):
        if r[4] == 7:
            gain_code, freq, q_code, kind = struct.unpack(">HHHB", r[5:12])
            return {"gain": round(gain_code / 10.0 - 15.0, 1), "freq": freq,
                    "q": q_code / 1000.0, "type": kind}
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--v36ctl", required=True)
    parser.add_argument("--artefacts", required=True)
    args = parser.parse_args()
    if not os.access(CHROMIUM, os.X_OK):
        missing("Chromium (" + CHROMIUM + ")", "chromium")
    if not os.access(DRIVER, os.X_OK):
        missing("Chromium's driver (" + DRIVER + ")", "chromium-driver")
    try:
        import selenium  # noqa: F401
    except ImportError:
        missing("Selenium for Python 3", "python3-selenium")
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys

    os.makedirs(args.artefacts, exist_ok=True)
    server = Server(args.v36ctl)
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
              "--lang=en-US", "--window-size=%d,%d" % (PHONE["width"], PHONE["height"])):
        options.add_argument(a)
    options.add_experimental_option("mobileEmulation", {"deviceMetrics": PHONE})
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    try:
        driver.get(server.url)
        find = driver.find_element

        # Pairing: a wrong code is refused, the right one opens the remote.
        find(By.ID, "code").send_keys("000000")
        find(By.ID, "pairButton").click()
        wait("the wrong-code message",
             lambda: "Wrong pairing code" in find(By.ID, "pairMessage").text)
        # A refused or disconnected code does not stay in the box (the same
        # path as the computer's "Disconnect phones").
        wait("the code box emptied", lambda: find(By.ID, "code").get_attribute("value") == "")
        code = find(By.ID, "code")
        code.clear()
        code.send_keys(CODE)
        find(By.ID, "pairButton").click()
        wait("the remote", lambda: find(By.ID, "remote").is_displayed())
        wait("the pairing card gone", lambda: not find(By.ID, "pair").is_displayed())
        wait("the controls", lambda: driver.find_elements(By.CSS_SELECTOR, ".control input"))

        # A volume moved by finger and keys: the unit gets what the page shows.
        slider = find(By.CSS_SELECTOR, '.control[data-name="musicVolume"] input')
        driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", slider)
        ActionChains(driver).click_and_hold(slider).move_by_offset(60, 0).release().perform()
        slider.send_keys(Keys.ARROW_RIGHT, Keys.ARROW_RIGHT)
        shown = int(find(By.CSS_SELECTOR, '.control[data-name="musicVolume"] output').text)
        wait("music volume %d at the unit" % shown, lambda: music_volume_sent(server) == shown)
        print("music volume: page %d, unit %d" % (shown, music_volume_sent(server)))

        driver.execute_script("window.scrollTo(0, 0)")
        wait("the top of the page", lambda: driver.execute_script("return window.scrollY") == 0)
        driver.save_screenshot(os.path.join(args.artefacts, "phone_en_top.png"))

        # The main EQ; band 3 dragged up and to the right.
        select = find(By.ID, "eqSelect")
        driver.execute_script("arguments[0].scrollIntoView({block: 'start'})", select)
        select.find_element(By.CSS_SELECTOR, 'option[value="5"]').click()
        wait("the main EQ's bands", lambda: find(By.ID, "bandTitle").text.endswith("/ 24"))
        canvas = find(By.ID, "curve")
        width = canvas.size["width"]
        height = canvas.size["height"]
        left, right, top, bottom = 30, width - 8, 10, height - 20
        x = left + (right - left) * math.log(50 / 18) / math.log(23000 / 18)
        y = top + (bottom - top) * 0.5
        writes_before = len(server.reports(0x85))
        chain = ActionChains(driver)
        chain.move_to_element_with_offset(canvas, int(x - width / 2), int(y - height / 2))
        chain.click_and_hold()
        for _ in range(6):
            chain.move_by_offset(8, -6)
        chain.release().perform()
        wait("band 3 selected", lambda: find(By.ID, "bandTitle").text.startswith("Band 3"))

        def page_band():
            freq = int(find(By.ID, "freqValue").text.split()[0])
            gain = float(find(By.ID, "gainValue").text.split()[0])
            return {"freq": freq, "gain": gain}

        def unit_matches_page():
            rec = last_record(server, writes_before)
            return rec is not None and rec["freq"] == page_band()["freq"] and \
                abs(rec["gain"] - page_band()["gain"]) < 0.051
        wait("band 3's record at the unit", unit_matches_page)
        band = page_band()
        if band["freq"] <= 50 or band["gain"] <= 0:
            raise AssertionError("the drag did not move band 3: %s" % band)
        print("band 3: page %s, unit %s" % (band, last_record(server, writes_before)))
        driver.save_screenshot(os.path.join(args.artefacts, "phone_en_eq.png"))

        # The same page in Chinese.
        find(By.ID, "lang").click()
        wait("the Chinese texts", lambda: find(By.ID, "bandTitle").text.startswith("第3段"))
        driver.save_screenshot(os.path.join(args.artefacts, "phone_zh_eq.png"))
        driver.execute_script("window.scrollTo(0, 0)")
        wait("the top of the page", lambda: driver.execute_script("return window.scrollY") == 0)
        driver.save_screenshot(os.path.join(args.artefacts, "phone_zh_top.png"))
        print("4 screenshots in " + args.artefacts)
    finally:
        driver.quit()
        server.stop()
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
