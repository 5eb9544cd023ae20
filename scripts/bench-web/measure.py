"""Measures pages in headless Chromium: bytes transferred, first frame, frame cost.

    /usr/bin/python3 scripts/bench-web/measure.py SECONDS LOADS NAME=FOLDER...

Each folder is served on 127.0.0.1. For each page: the bytes of every file it loads
(the document and every resource, raw and as gzip -9 would send them); the time from
navigation to the end of the first animation frame that drew (median of LOADS loads, each
with a fresh profile, so no cache and no imgui.ini); and the median cost of one animation
frame's callback, performance.now() around it, over SECONDS seconds of an idle page.
"""

import functools
import gzip
import http.server
import pathlib
import statistics
import sys
import tempfile
import threading
import time
import urllib.parse

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

# Times every animation-frame callback; the pages' frame loops run in them.
FRAME_TIMER = """
window.frameTimes = [];
const request = window.requestAnimationFrame.bind(window);
window.requestAnimationFrame = (callback) => request((stamp) => {
    const start = performance.now();
    callback(stamp);
    window.frameTimes.push([start, performance.now()]);
});
"""


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ["--headless=new", "--no-sandbox", "--enable-unsafe-swiftshader",
                     "--use-angle=swiftshader", "--force-device-scale-factor=1",
                     "--window-size=1280,800", "--user-data-dir=" + tempfile.mkdtemp()]:
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": FRAME_TIMER})
    return driver


def load(url, seconds):
    driver = browser()
    try:
        driver.get(url)
        end = time.time() + 60
        while time.time() < end and not driver.execute_script("return window.frameTimes.length"):
            time.sleep(0.05)
        time.sleep(seconds)
        frames = driver.execute_script("return window.frameTimes")
        files = driver.execute_script(
            "return [location.href, ...performance.getEntriesByType('resource').map(e => e.name)]")
        return frames, files
    finally:
        driver.quit()


def measure(name, folder, seconds, loads):
    handler = functools.partial(Quiet, directory=str(folder))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = "http://127.0.0.1:%d/" % server.server_port
    try:
        first, files, costs = [], [], []
        for run in range(loads):
            frames, files = load(url, seconds if run == 0 else 0.5)
            first.append(frames[0][1])
            if run == 0:
                costs = [end - start for start, end in frames[1:]]
    finally:
        server.shutdown()
        server.server_close()
    raw = packed = 0
    for address in sorted(set(files)):
        path = urllib.parse.urlparse(address).path.lstrip("/") or "index.html"
        if not (folder / path).is_file():
            continue  # the browser's own asking for a favicon, answered 404
        data = (folder / path).read_bytes()
        raw += len(data)
        packed += len(gzip.compress(data, 9))
    return {"name": name, "raw": raw, "gzip": packed, "first": statistics.median(first),
            "frame": statistics.median(costs), "frames": len(costs) / seconds}


def main():
    seconds, loads = float(sys.argv[1]), int(sys.argv[2])
    results = []
    for argument in sys.argv[3:]:
        name, folder = argument.split("=", 1)
        results.append(measure(name, pathlib.Path(folder).resolve(), seconds, loads))
    print("| Page | Transfer (raw) | Transfer (gzip) | First frame | Frame cost (median) | frames/s |")
    print("|---|---|---|---|---|---|")
    for r in results:
        print("| %s | %.0f KiB | %.0f KiB | %.0f ms | %.2f ms | %.1f |" % (
            r["name"], r["raw"] / 1024, r["gzip"] / 1024, r["first"], r["frame"], r["frames"]))
    base = results[-1]
    for r in results[:-1]:
        print("| %s / %s | %.2f | %.2f | %.2f | %.2f | |" % (
            r["name"], base["name"], r["raw"] / base["raw"], r["gzip"] / base["gzip"],
            r["first"] / base["first"], r["frame"] / base["frame"]))


if __name__ == "__main__":
    main()
