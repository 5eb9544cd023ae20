"""The page's "Check" in Debian's headless Chromium: programs of the home folder graded
against a suite there, their feedback pages opened in new tabs from Blob URLs.

    /usr/bin/python3 tests/web/check_test.py SITE ISA4 SOURCE_DIR

SITE is the folder scripts/web.sh writes (build-web), ISA4 the isa4 command built for this
machine, SOURCE_DIR the repository. Each program is picked with the form's selects and
checked with its button; the page it opens must be the one `isa4 test --feedback` writes
for the same files, byte for byte, show the same verdicts as `isa4 test --csv` with no
error in the console (its Content-Security-Policy holds under a blob: URL), and the form
must pass axe-core and work from the keyboard alone.
"""
import csv
import json
import pathlib
import re
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import page_test  # noqa: E402  (the same arguments: SITE ISA4 SOURCE_DIR)
from page_test import HOME, Browser, serve  # noqa: E402
from selenium.webdriver.common.action_chains import ActionChains  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402
from selenium.webdriver.support.ui import Select  # noqa: E402

SITE, ISA4, SOURCE = page_test.SITE, page_test.ISA4, page_test.SOURCE
sys.path.insert(0, str(SOURCE / "tests"))
from axe_check import axe_violations  # noqa: E402

SUBMISSIONS = SOURCE / "examples" / "grading" / "submissions"
SUITE = (SOURCE / "examples" / "grading" / "multiply.suite").read_bytes()
# Passes, fails, never halts, does not assemble; and one as an image.
SOURCES = ["ada-correct.s", "ben-wrong.s", "dan-never-halts.s", "eve-broken.s"]
IMAGE = "cleo-slow.rom"


def isa4_grades(work, program):
    """The feedback page and the verdicts of `isa4 test` for `program` in `work`."""
    subprocess.run([str(ISA4), "test", "mult.suite", program, "--feedback", "fb",
                    "--csv", "out.csv"], cwd=work, capture_output=True)
    with open(work / "out.csv", newline="") as f:
        verdicts = [row["result"] for row in csv.DictReader(f)]
    page = next(p for p in (work / "fb").iterdir() if p.name != "index.html")
    data = page.read_bytes()
    for p in (work / "fb").iterdir():
        p.unlink()
    return data, verdicts


class CheckTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = serve(SITE)
        cls.scratch = tempfile.TemporaryDirectory()
        cls.work = pathlib.Path(cls.scratch.name)
        (cls.work / "mult.suite").write_bytes(SUITE)
        for name in SOURCES:
            (cls.work / name).write_bytes((SUBMISSIONS / name).read_bytes())
        subprocess.run([str(ISA4), "asm", str(SUBMISSIONS / "cleo-slow.s"), "-o",
                        str(cls.work / IMAGE)], check=True)
        cls.page = Browser("http://127.0.0.1:%d/" % cls.server.server_port,
                           cls.work / "profile", cls.work / "downloads")
        assert cls.page.open() == "running"
        for name in ["mult.suite", IMAGE, *SOURCES]:
            cls.page.js("Module.FS.writeFile(arguments[0], new Uint8Array(arguments[1]))",
                        HOME + "/" + name, list((cls.work / name).read_bytes()))

    @classmethod
    def tearDownClass(cls):
        cls.page.quit()
        cls.server.shutdown()
        cls.server.server_close()
        cls.scratch.cleanup()

    def open_form(self):
        driver = self.page.driver
        if not driver.find_element(By.ID, "check").get_attribute("open"):
            driver.find_element(By.CSS_SELECTOR, "#check summary").click()
        return driver

    def test_checked_pages_are_those_of_isa4_test(self):
        driver = self.open_form()
        main = driver.current_window_handle
        for program in [*SOURCES, IMAGE]:
            with self.subTest(program=program):
                expected_page, expected_verdicts = isa4_grades(self.work, program)
                Select(driver.find_element(By.ID, "check-suite")).select_by_value("mult.suite")
                Select(driver.find_element(By.ID, "check-program")).select_by_value(program)
                before = set(driver.window_handles)
                driver.find_element(By.ID, "check-run").click()
                end = time.time() + 20
                while set(driver.window_handles) == before and time.time() < end:
                    time.sleep(0.1)
                tabs = set(driver.window_handles) - before
                self.assertEqual(len(tabs), 1, "no new tab")
                made = driver.execute_async_script(
                    "const done = arguments[arguments.length - 1];"
                    "fetch(check.url).then((r) => r.arrayBuffer())"
                    ".then((b) => done(Array.from(new Uint8Array(b))));")
                self.assertEqual(bytes(made), expected_page)
                result = driver.find_element(By.ID, "check-result").text
                self.assertIn(program, result)
                driver.switch_to.window(tabs.pop())
                try:
                    self.assertTrue(driver.current_url.startswith("blob:"), driver.current_url)
                    end = time.time() + 20
                    shown = []
                    while not shown and time.time() < end:
                        shown = [td.text for td in
                                 driver.find_elements(By.CSS_SELECTOR, "td[class^=verdict-]")]
                    self.assertEqual(shown, expected_verdicts)
                    # What the page's policy refused, or an error of its script.
                    errors = [e["message"] for e in driver.get_log("browser")
                              if e["level"] == "SEVERE" and ("blob:" in e["message"] or
                                                             "Security Policy" in e["message"])]
                    self.assertEqual(errors, [])
                finally:
                    driver.close()
                    driver.switch_to.window(main)

    def test_an_editors_text_is_checked_as_a_program(self):
        text = (SUBMISSIONS / "ada-correct.s").read_text()
        out = self.page.js("return checkProgram({suiteName: 'mult.suite', "
                           "programName: 'mine.s', programText: arguments[0]})", text)
        self.assertTrue(out["page"])
        data = json.loads(re.search(r'id="data">(.*?)</script>', out["text"], re.S)[1])
        self.assertEqual(data["program"], "/tmp/check/mine.s")
        self.assertEqual({c["verdict"] for c in data["cases"]}, {"pass"})
        self.assertNotIn("mine.s", self.page.js("return Module.FS.readdir(arguments[0])", HOME))

    def test_the_form_checks_the_editors_text_as_it_stands(self):
        # Typed in the editor and never saved: the form's first choice grades it as it is.
        text = (SUBMISSIONS / "ada-correct.s").read_text()
        self.page.js("const v = kelvaneEditor.view;"
                     "v.dispatch({changes: {from: 0, to: v.state.doc.length, insert: arguments[0]}})",
                     text)
        driver = self.open_form()
        driver.find_element(By.CSS_SELECTOR, "#check summary").click()  # closed, then
        self.open_form()                                                 # open: refreshed
        Select(driver.find_element(By.ID, "check-suite")).select_by_value("mult.suite")
        Select(driver.find_element(By.ID, "check-program")).select_by_value(":editor")
        main = driver.current_window_handle
        before = set(driver.window_handles)
        driver.find_element(By.ID, "check-run").click()
        end = time.time() + 20
        while set(driver.window_handles) == before and time.time() < end:
            time.sleep(0.1)
        for tab in set(driver.window_handles) - before:
            driver.switch_to.window(tab)
            driver.close()
        driver.switch_to.window(main)
        made = driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "fetch(check.url).then((r) => r.text()).then(done);")
        data = json.loads(re.search(r'id="data">(.*?)</script>', made, re.S)[1])
        self.assertEqual({c["verdict"] for c in data["cases"]}, {"pass"})

    def test_a_suite_with_mistakes_is_reported_and_opens_nothing(self):
        self.page.js("Module.FS.writeFile(arguments[0], 'case one\\n    bogus 3\\n')",
                     HOME + "/broken.suite")
        driver = self.open_form()
        driver.find_element(By.CSS_SELECTOR, "#check summary").click()  # closed, then
        self.open_form()                                                 # open: refreshed
        Select(driver.find_element(By.ID, "check-suite")).select_by_value("broken.suite")
        Select(driver.find_element(By.ID, "check-program")).select_by_value("ada-correct.s")
        before = set(driver.window_handles)
        driver.find_element(By.ID, "check-run").click()
        time.sleep(1)
        self.assertEqual(set(driver.window_handles), before)
        shown = driver.find_element(By.ID, "message-text").text
        self.assertIn("broken.suite:2", shown)
        self.assertIn("nothing was run", shown)
        driver.find_element(By.ID, "dismiss").click()

    def test_the_keyboard_alone_checks_a_program(self):
        driver = self.page.driver
        if driver.find_element(By.ID, "check").get_attribute("open"):
            driver.find_element(By.CSS_SELECTOR, "#check summary").click()
        self.page.js("document.querySelector('#check summary').focus()")
        before = set(driver.window_handles)
        (ActionChains(driver).send_keys(Keys.ENTER).pause(0.2)
         .send_keys(Keys.TAB).send_keys("mult").pause(0.2)
         .send_keys(Keys.TAB).send_keys("dan").pause(0.2)
         .send_keys(Keys.TAB).send_keys(Keys.ENTER).pause(1).perform())
        self.assertEqual(len(set(driver.window_handles) - before), 1, "no new tab")
        self.assertIn("dan-never-halts.s passes 0 of",
                      driver.find_element(By.ID, "check-result").text)

    def test_the_form_passes_axe_and_names_its_controls(self):
        driver = self.open_form()
        self.assertEqual(axe_violations(driver, str(SOURCE)), [])
        for control, name in [("check-suite", "Suite"), ("check-program", "Program"),
                              ("check-run", "Check")]:
            self.assertEqual(driver.find_element(By.ID, control).accessible_name, name)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
