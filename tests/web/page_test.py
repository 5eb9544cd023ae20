"""The page in a real browser: Debian's Chromium, headless, with its software WebGL.

    /usr/bin/python3 tests/web/page_test.py SITE ISA4 SOURCE_DIR [ARTEFACT_DIR]

SITE is the folder scripts/web.sh writes (build-web), ISA4 the isa4 command built for
this machine, SOURCE_DIR the repository (its examples/ and docs/). The page is served on
127.0.0.1 only, and each test starts a browser with a profile of its own. The controls
are clicked where the first-launch layout puts them (app/first_launch_layout.cpp), on a
1280 x 720 canvas. ARTEFACT_DIR, when given, receives the first launch's screenshot
(docs/web-first-launch.png is made from it).
"""

import functools
import http.server
import os
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zlib

from selenium import webdriver
from selenium.common.exceptions import NoAlertPresentException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

SITE, ISA4, SOURCE = (pathlib.Path(p).resolve() for p in sys.argv[1:4])
ARTEFACTS = pathlib.Path(sys.argv[4]).resolve() if len(sys.argv) > 4 else None
HOME = "/home/kelvane"
CANVAS = (1280, 720)
EDITOR_PANE = 480 + 6  # the editor pane beside the canvas, and the split's handle

# Points of the first-launch layout, in canvas pixels.
ROM_FILENAME, LOAD_ROM = (800, 365), (792, 388)
RAM_FILENAME, SAVE_RAM, LOAD_RAM = (400, 514), (311, 537), (382, 537)
RAM_FILENAME_END = (533, 514)  # a click there puts the cursor after the text
CLOCKS_AT_20, RESET_CPU, RUN = (536, 46), (313, 69), (415, 69)
LOGGER_TITLE = (1100, 280)

# Windows of the first launch: a point in each title bar, and points between them.
TITLE_BARS = [(30, 20), (30, 470), (290, 20), (290, 130), (700, 20), (700, 450), (1060, 20),
              (1060, 280)]
GAPS = [(265, 300), (675, 300), (1035, 300), (1275, 300)]


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(folder):
    handler = functools.partial(QuietHandler, directory=str(folder))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def png_pixels(data):
    """(width, height, rows of RGB tuples) of an 8-bit RGB or RGBA PNG."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, chunks, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and colour in (2, 6) and interlace == 0, header
    channels = 3 if colour == 2 else 4
    raw, stride, rows, previous = zlib.decompress(chunks), width * channels, [], None
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        up = previous or bytearray(stride)
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            corner = up[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up[i]) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up[i]) // 2) & 255
            elif kind == 4:
                p = left + up[i] - corner
                pa, pb, pc = abs(p - left), abs(p - up[i]), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up[i] if pb <= pc else corner)) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def is_background(rgb):
    # The clear colour (0.45, 0.55, 0.60) behind all windows.
    return all(abs(a - b) <= 3 for a, b in zip(rgb, (115, 140, 153)))


class Browser:
    """One headless Chromium with a profile of its own, on the served page."""

    def __init__(self, url, profile, downloads, extra_arguments=()):
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for argument in ["--headless=new", "--no-sandbox", "--enable-unsafe-swiftshader",
                         "--use-angle=swiftshader", "--force-device-scale-factor=1",
                         "--user-data-dir=" + str(profile), *extra_arguments]:
            options.add_argument(argument)
        options.add_experimental_option("prefs", {"download.default_directory": str(downloads)})
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                                    {"behavior": "allow", "downloadPath": str(downloads)})
        self.url = url
        self.size_window()

    def size_window(self):
        # The canvas gets 1280 x 720 when the page's inner size is that plus the bar and
        # the editor pane.
        self.driver.get("about:blank")
        self.driver.set_window_size(1280, 800)
        inner = self.driver.execute_script("return [innerWidth, innerHeight]")
        self.driver.set_window_size(1280 + EDITOR_PANE + 1280 - inner[0], 800 + 756 - inner[1])

    def open(self):
        self.driver.get(self.url)
        return self.wait_for_state()

    def wait_for_state(self, timeout=60):
        end = time.time() + timeout
        while time.time() < end:
            state = self.js("return document.body.dataset.state || ''")
            if state:
                return state
            time.sleep(0.1)
        raise AssertionError("the page neither ran nor failed")

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def canvas(self):
        return self.driver.find_element(By.ID, "canvas")

    def click(self, point):
        canvas = self.canvas()
        size = canvas.size
        (ActionChains(self.driver)
         .move_to_element_with_offset(canvas, point[0] - size["width"] // 2,
                                      point[1] - size["height"] // 2)
         .pause(0.1).click_and_hold().pause(0.1).release().pause(0.1).perform())

    def drag(self, start, end):
        canvas = self.canvas()
        size = canvas.size
        (ActionChains(self.driver)
         .move_to_element_with_offset(canvas, start[0] - size["width"] // 2,
                                      start[1] - size["height"] // 2)
         .pause(0.1).click_and_hold().pause(0.1)
         .move_by_offset((end[0] - start[0]) // 2, (end[1] - start[1]) // 2).pause(0.1)
         .move_by_offset(end[0] - start[0] - (end[0] - start[0]) // 2,
                         end[1] - start[1] - (end[1] - start[1]) // 2)
         .pause(0.1).release().pause(0.1).perform())

    def type_into(self, point, text):
        self.click(point)
        ActionChains(self.driver).send_keys(text).pause(0.2).perform()

    def erase(self, point, count):
        # Keys held for a moment: the SDL2 backend misses a key pressed and released
        # within one frame (typed characters arrive as text and are never missed).
        self.click(point)
        actions = ActionChains(self.driver)
        for _ in range(count):
            actions.key_down(Keys.BACKSPACE).pause(0.05).key_up(Keys.BACKSPACE).pause(0.05)
        actions.perform()

    def read_file(self, name):
        """The bytes of a file in the page's home folder, or None."""
        values = self.js("""
            const path = arguments[0];
            if (!Module.FS.analyzePath(path).exists) return null;
            return Array.from(Module.FS.readFile(path));""", HOME + "/" + name)
        return None if values is None else bytes(values)

    def screenshot(self):
        return self.canvas().screenshot_as_png

    def accept_dialog(self, timeout=5):
        end = time.time() + timeout
        while time.time() < end:
            try:
                alert = self.driver.switch_to.alert
                text = alert.text
                alert.accept()
                return text
            except NoAlertPresentException:
                time.sleep(0.1)
        raise AssertionError("no dialog asked")

    def quit(self):
        self.driver.quit()


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = serve(SITE)
        cls.url = "http://127.0.0.1:%d/" % cls.server.server_port

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()
        cls.server.server_close()

    def setUp(self):
        self.scratch = pathlib.Path(tempfile.mkdtemp(prefix="kelvane-web-"))
        self.downloads = self.scratch / "downloads"
        self.downloads.mkdir()
        self.browsers = []

    def tearDown(self):
        for browser in self.browsers:
            browser.quit()
        shutil.rmtree(self.scratch, ignore_errors=True)

    def browser(self, *arguments):
        browser = Browser(self.url, self.scratch / "profile", self.downloads, arguments)
        self.browsers.append(browser)
        return browser

    def isa4(self, *arguments):
        subprocess.run([str(ISA4), *map(str, arguments)], check=True, cwd=self.scratch,
                       stdout=subprocess.DEVNULL)

    def wait_for(self, condition, timeout=10, message="condition not met"):
        end = time.time() + timeout
        while time.time() < end:
            value = condition()
            if value:
                return value
            time.sleep(0.2)
        self.fail(message)

    def test_first_launch_shows_the_desktop_layout(self):
        page = self.browser()
        self.assertEqual(page.open(), "running")
        time.sleep(1)
        shot = page.screenshot()
        if ARTEFACTS:
            (ARTEFACTS / "web-first-launch.png").write_bytes(shot)
        desktop = png_pixels((SOURCE / "docs" / "first-launch.png").read_bytes())
        width, height, web = png_pixels(shot)
        self.assertEqual((width, height), CANVAS)
        for x, y in TITLE_BARS:
            self.assertFalse(is_background(web[y][x]), "no window at %d,%d" % (x, y))
            self.assertFalse(is_background(desktop[2][y][x]), "desktop: no window at %d,%d" % (x, y))
        for x, y in GAPS:
            self.assertTrue(is_background(web[y][x]), "a window at %d,%d" % (x, y))
            self.assertTrue(is_background(desktop[2][y][x]), "desktop: a window at %d,%d" % (x, y))
        # Everything came from the page's own server.
        origins = page.js("return performance.getEntriesByType('resource').map(e => e.name)")
        self.assertTrue(origins)
        for url in origins:
            self.assertTrue(url.startswith(self.url), url)

    def test_a_run_as_a_user_saves_the_ram_isa4_computes_and_keeps_it_over_a_reload(self):
        page = self.browser()
        self.assertEqual(page.open(), "running")
        page.type_into(ROM_FILENAME, "examples/multiply.rom")
        page.click(LOAD_ROM)
        page.type_into(RAM_FILENAME, "examples/multiply.ram")
        page.click(LOAD_RAM)
        page.click(RESET_CPU)
        page.click(CLOCKS_AT_20)
        page.click(RUN)
        time.sleep(6)  # the program halts after some 2.5 s at 20 steps a second
        page.erase(RAM_FILENAME_END, len("examples/multiply.ram"))
        page.type_into(RAM_FILENAME_END, "product.ram")
        page.click(SAVE_RAM)
        saved = self.wait_for(lambda: page.read_file("product.ram"), message="no product.ram")
        self.isa4("run", self.example("multiply.rom"), "--ram", self.example("multiply.ram"), "--save-ram", "expected.ram")
        self.assertEqual(saved, (self.scratch / "expected.ram").read_bytes())
        self.assertEqual(saved[2], 42)

        # A layout change reaches imgui.ini within Dear ImGui's 5 s; both survive a reload.
        page.drag(LOGGER_TITLE, (LOGGER_TITLE[0], LOGGER_TITLE[1] + 150))
        self.wait_for(lambda: b"[Window][Logger]\nPos=1040,420" in (page.read_file("imgui.ini") or b""),
                      timeout=15, message="the moved Logger is not in imgui.ini")
        time.sleep(1)  # the write-back to IndexedDB
        self.assertEqual(page.open(), "running")
        self.assertEqual(page.read_file("product.ram"), saved)
        time.sleep(1)
        _, _, web = png_pixels(page.screenshot())
        self.assertTrue(is_background(web[LOGGER_TITLE[1]][LOGGER_TITLE[0]]))
        self.assertFalse(is_background(web[LOGGER_TITLE[1] + 150][LOGGER_TITLE[0]]))

    def example(self, name):
        """An example as the page carries it, beside the scratch folder."""
        path = self.scratch / name
        source = SOURCE / "examples" / name.replace(".rom", ".s").replace(".ram", ".data")
        self.isa4("asm" if name.endswith(".rom") else "ram", source, "-o", path)
        return path

    def upload(self, page, *paths):
        picker = page.driver.find_element(By.ID, "picker")
        picker.send_keys("\n".join(str(p) for p in paths))

    def messages(self, page):
        return page.js("return document.getElementById('messages').hidden ? '' : "
                       "document.getElementById('message-text').textContent")

    def test_files_open_assemble_download_and_delete(self):
        page = self.browser()
        self.assertEqual(page.open(), "running")
        mine = self.scratch / "mine.s"
        shutil.copy(SOURCE / "examples/multiply.s", mine)
        self.isa4("asm", mine, "-o", "expected.rom")

        self.upload(page, mine)
        self.wait_for(lambda: "mine.s: assembled into mine.rom" in self.messages(page))
        self.assertEqual(page.read_file("mine.s"), mine.read_bytes())
        self.assertEqual(page.read_file("mine.rom"), (self.scratch / "expected.rom").read_bytes())

        # A broken source: its diagnostics, and no image.
        broken = self.scratch / "broken.s"
        broken.write_text("        ADDI r1, r0, 3\n        JUMP 0x10\n")
        self.upload(page, broken)
        text = self.wait_for(lambda: "no image written" in self.messages(page) and self.messages(page))
        self.assertIn("broken.s:2:", text)
        self.assertIsNone(page.read_file("broken.rom"))
        self.assertIsNotNone(page.read_file("broken.s"))

        # Too large to be an image: refused, not written.
        large = self.scratch / "large.bin"
        large.write_bytes(b"\0" * ((1 << 20) + 1))
        self.upload(page, large)
        self.wait_for(lambda: "large.bin" in self.messages(page) and "too large" in self.messages(page))
        self.assertIsNone(page.read_file("large.bin"))

        # A name that exists: asked first, replaced once accepted.
        mine.write_text(mine.read_text() + "; changed\n")
        self.upload(page, mine)
        self.assertIn("mine.s", page.accept_dialog())
        self.wait_for(lambda: page.read_file("mine.s") == mine.read_bytes())

        # Download returns the same bytes.
        page.driver.find_element(By.CSS_SELECTOR, "#files summary").click()
        page.driver.find_element(By.CSS_SELECTOR, "button[aria-label='Download mine.rom']").click()
        downloaded = self.downloads / "mine.rom"
        self.wait_for(lambda: downloaded.exists() and downloaded.stat().st_size == 768)
        self.assertEqual(downloaded.read_bytes(), (self.scratch / "expected.rom").read_bytes())

        # Delete asks first, and the file is gone for good.
        page.driver.find_element(By.CSS_SELECTOR, "button[aria-label='Delete broken.s']").click()
        self.assertIn("broken.s", page.accept_dialog())
        self.wait_for(lambda: page.read_file("broken.s") is None)
        time.sleep(1)
        self.assertEqual(page.open(), "running")
        self.assertIsNone(page.read_file("broken.s"))
        self.assertEqual(page.read_file("mine.rom"), (self.scratch / "expected.rom").read_bytes())

    def test_without_webgl2_the_page_says_so(self):
        page = self.browser("--disable-webgl2")
        self.assertEqual(page.open(), "failed")
        text = page.js("return document.getElementById('fatal').textContent")
        self.assertIn("WebGL 2", text)

    def test_without_indexeddb_saves_are_logged_and_the_page_says_once(self):
        page = self.browser()
        page.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {
            "source": "Object.defineProperty(window, 'indexedDB', {value: undefined});"})
        self.assertEqual(page.open(), "running")
        notice = page.js("return document.getElementById('notice').textContent")
        self.assertIn("only while this tab is open", notice)
        page.type_into(RAM_FILENAME, "kept.ram")
        page.click(SAVE_RAM)
        self.wait_for(lambda: page.read_file("kept.ram"), message="no kept.ram")
        # The line the "Logger" window shows goes to the console too.
        self.wait_for(lambda: any("Save failed: kept.ram" in entry["message"]
                                  for entry in page.driver.get_log("browser")),
                      message="the refused save was not logged")

if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
