"""Measures pages in headless Chromium: bytes transferred, first frame, frame cost.

    /usr/bin/python3 scripts/bench-web/measure.py SECONDS LOADS NAME=FOLDER...

Each folder is served on 127.0.0.1. For each page: the bytes of every file it loads
(the document and every resource, raw and as gzip -9 would send them); the time from
navigation to the end of the first animation frame that drew (median of LOADS loads, each
with a fresh profile, so no cache and no imgui.ini); and the median cost of one animation
frame's callback, performance.now() around it, over SECONDS seconds of an idle page.
For Kelvane's page also: the time from navigation to its editor ready (the editor loads
after the first frame and marks when it shows its first text, checked), and the time
from a key press to fresh diagnostics on a program of 256 words.
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
    const end = performance.now();
    // Callbacks of one animation frame (a page may have several) count as one frame.
    const last = window.frameTimes[window.frameTimes.length - 1];
    if (last && last[2] === stamp) last[1] += end - start;
    else window.frameTimes.push([start, end, stamp]);
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
        while time.time() < end and not driver.execute_script(
                "return window.frameTimes.length > 0 && (!(window.Module && Module.firstFrameDrawn) "
                "|| performance.getEntriesByName('first-frame').length > 0)"):
            time.sleep(0.05)
        time.sleep(seconds)
        frames = driver.execute_script("return window.frameTimes")
        # A page that marks its first drawn frame is timed by that mark: its other
        # animation frames may come before the first drawn one.
        drawn = driver.execute_script(
            "const m = performance.getEntriesByName('first-frame'); return m.length ? m[0].startTime : null")
        if drawn is not None:
            frames = [[drawn, drawn]] + [f for f in frames if f[0] > drawn]
        frames = [f[:2] for f in frames]
        # Kelvane's page loads its editor after the first frame, and marks when it is ready.
        end = time.time() + 30
        ready = None
        while drawn is not None and ready is None and time.time() < end:
            time.sleep(0.05)
            ready = driver.execute_script(
                "const m = performance.getEntriesByName('editor-ready'); return m.length ? m[0].startTime : null")
        files = driver.execute_script(
            "return [location.href, ...performance.getEntriesByType('resource').map(e => e.name)]")
        return frames, files, ready
    finally:
        driver.quit()


# Records when each key went down, before the page's own handlers see it.
KEY_TIMER = """
window.keyTimes = [];
document.addEventListener('keydown', () => window.keyTimes.push(performance.now()), true);
"""


def program_of_256_words():
    lines = ["loop%d: ADDI r%X, r%X, %d" % (i, i % 16, (i + 1) % 16, i % 100) for i in range(255)]
    return "\n".join(lines + ["JZ loop0", ""])


def diagnostics_latency(url, presses=21):
    """Key press to fresh diagnostics in the editor, on a program of 256 words: the whole
    time, and the check itself (the assembler's facts and the marks made of them)."""
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    driver = browser()
    try:
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": KEY_TIMER})
        driver.get(url)
        end = time.time() + 60
        while time.time() < end and not driver.execute_script(
                "return window.kelvaneEditor && document.body.dataset.state === 'running' "
                "&& kelvaneEditor.checks > 0"):
            time.sleep(0.05)
        # A file of the home folder (the example shown first is read-only).
        driver.find_element(By.XPATH, "//aside[@id='editor-pane']//button[normalize-space()='New file']").click()
        driver.switch_to.alert.accept()
        driver.execute_script("""
            const view = kelvaneEditor.view;
            view.dispatch({changes: {from: 0, to: view.state.doc.length, insert: arguments[0]}});
            view.dispatch({selection: {anchor: view.state.doc.length}});""", program_of_256_words())
        driver.find_element(By.CSS_SELECTOR, "#editor-pane .cm-content").click()
        time.sleep(0.5)
        driver.execute_script("const v = kelvaneEditor.view; "
                              "v.dispatch({selection: {anchor: v.state.doc.length}})")
        totals, checks = [], []
        for i in range(presses):
            before = driver.execute_script("return kelvaneEditor.checks")
            ActionChains(driver).send_keys(";" if i % 2 == 0 else "\b").perform()
            end = time.time() + 5
            while time.time() < end and driver.execute_script("return kelvaneEditor.checks") == before:
                time.sleep(0.01)
            key, check = driver.execute_script(
                "return [window.keyTimes[window.keyTimes.length - 1], kelvaneEditor.lastCheck]")
            totals.append(check["end"] - key)
            checks.append(check["end"] - check["start"])
            time.sleep(0.3)
        return statistics.median(totals), statistics.median(checks)
    finally:
        driver.quit()


def measure(name, folder, seconds, loads):
    handler = functools.partial(Quiet, directory=str(folder))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = "http://127.0.0.1:%d/" % server.server_port
    try:
        first, files, costs, ready = [], [], [], []
        for run in range(loads):
            frames, files, editor = load(url, seconds if run == 0 else 0.5)
            first.append(frames[0][1])
            if editor is not None:
                ready.append(editor)
            if run == 0:
                costs = [end - start for start, end in frames[1:]]
        latency = diagnostics_latency(url) if (folder / "editor.js").is_file() else None
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
            "frame": statistics.median(costs), "frames": len(costs) / seconds, "latency": latency,
            "ready": statistics.median(ready) if ready else None}


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
    for r in results:
        if r["ready"]:
            print()
            print("%s: navigation to the editor ready (its first text shown and checked), "
                  "median: %.0f ms" % (r["name"], r["ready"]))
        if r["latency"]:
            print()
            print("%s: key press to fresh diagnostics on 256 words, median: %.1f ms "
                  "(of which the check itself %.1f ms)" % (r["name"], r["latency"][0], r["latency"][1]))


if __name__ == "__main__":
    main()
