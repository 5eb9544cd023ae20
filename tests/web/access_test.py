"""The page's accessible view in Debian's headless Chromium, driven by the keyboard alone.

    /usr/bin/python3 tests/web/access_test.py SITE ISA4 SOURCE_DIR

SITE is the folder scripts/web.sh writes (build-web), ISA4 the isa4 command built for this
machine, SOURCE_DIR the repository. Checks that the "Accessible view" button is the first
stop of Tab and its choice is remembered; that Tab goes through the page's controls in the
order they are shown, each with its focus shown, into the editor and out of it again
(Escape, then Tab); that axe-core finds no WCAG 2.0, 2.1 or 2.2 A or AA violation with the
view shown, nor with the editor's problems listed and the Check form open; that Chromium's
accessibility tree names every control of the view and the editor's text; and a session
by keys alone: the ROM name typed, Load, Reset CPU, three
Steps announced as `isa4 run --trace` says, a run at 20 steps a second until it halts,
Stop, and Save RAM, whose file equals `isa4 run --save-ram`'s.
"""
import functools
import http.server
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

SITE, ISA4, SOURCE = (pathlib.Path(p).resolve() for p in sys.argv[1:4])
sys.path.insert(0, str(SOURCE / "tests"))
from axe_check import axe_violations  # noqa: E402

failures = []

# Every control of the view, by its accessible name and role.
CONTROLS = [("Accessible view", "button"), ("Step", "button"), ("Run", "button"),
            ("Reset CPU", "button"), ("Clocks (steps per second, 1 to 20)", "spinbutton"),
            ("ROM file name", "textbox"), ("Load ROM", "button"), ("Save ROM", "button"),
            ("Clear ROM", "button"), ("RAM file name", "textbox"), ("Load RAM", "button"),
            ("Save RAM", "button"), ("Clear RAM", "button"), ("ROM address (hex)", "textbox"),
            ("ROM word (hex)", "textbox"), ("Poke ROM", "button"), ("RAM address (hex)", "textbox"),
            ("RAM byte (hex)", "textbox"), ("Poke RAM", "button"), ("Clear log", "button")]


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def start_browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ["--headless=new", "--no-sandbox", "--enable-unsafe-swiftshader",
                     "--use-angle=swiftshader", "--force-device-scale-factor=1",
                     "--window-size=1400,900", "--user-data-dir=" + str(profile)]:
        options.add_argument(argument)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def wait(driver, condition, what, timeout=30):
    end = time.time() + timeout
    while time.time() < end:
        value = driver.execute_script(condition)
        if value:
            return value
        time.sleep(0.1)
    check(False, "timed out waiting for " + what)
    return None


def open_page(driver, url):
    driver.get(url)
    check(wait(driver, "return document.body.dataset.state", "the page to start", 90) == "running",
          "the page runs")


# The focused element: its id, text and label, whether it is the editor's text, whether
# its focus shows (a frame of 2 pixels or more; the editor draws it around the text), and
# whether it is in the editor's pane.
FOCUSED = """
    const e = document.activeElement;
    const text = e.classList.contains('cm-content');
    const s = getComputedStyle(text ? e.closest('.cm-editor') : e);
    const shown = s.outlineStyle !== 'none' && parseFloat(s.outlineWidth) >= 2;
    return [e.id, e.textContent, e.getAttribute('aria-label') || '', text, shown, !!e.closest('#editor-pane')];"""


def focused(driver):
    return driver.execute_script(FOCUSED)


def press(driver, *keys):
    actions = ActionChains(driver)
    for k in keys:
        actions.send_keys(k).pause(0.05)
    actions.perform()


def tab(driver, back=False):
    """One Tab (Shift+Tab with `back`); in the editor's text, where Tab indents, Escape
    first, as a keyboard user leaves it."""
    actions = ActionChains(driver)
    if focused(driver)[3]:
        actions.send_keys(Keys.ESCAPE).pause(0.05)
    if back:
        actions.key_down(Keys.SHIFT).send_keys(Keys.TAB).key_up(Keys.SHIFT)
    else:
        actions.send_keys(Keys.TAB)
    actions.pause(0.05).perform()


def tab_to(driver, test, back=False, limit=80):
    """Presses Tab (Shift+Tab with `back`) until `test` holds for the focused element."""
    for _ in range(limit):
        if test(focused(driver)):
            return True
        tab(driver, back)
    check(False, "Tab never reached the control after %s" % (focused(driver),))
    return False


def select_all_in(driver):
    ActionChains(driver).key_down(Keys.CONTROL).send_keys("a").key_up(Keys.CONTROL).perform()


def said(driver):
    return driver.execute_script("return document.querySelector('#a11y-view [role=status]').textContent")


def announcement(trace_line):
    """A line of `isa4 run --trace` as the view says it."""
    m = re.match(r"\s*\d+  ([0-9A-F]{2})  [0-9A-F]{5,6}  (.*?)  +(\S.*)$", trace_line)
    parts = []
    for part in m[3].split(", "):
        part = part.replace(" -> ", " to ")
        z = re.fullmatch(r"z \d to (\d)", part)
        parts.append(("z " + z[1] if z else part) + ".")
    return "Step: %s at %s. %s" % (m[2], m[1], " ".join(parts))


def label(f):
    return f[0] or f[2] or f[1].strip()[:30]


def tab_order(driver):
    """The page's Tab order from the canvas, where the focus is at first, round to the
    view's button, then on to the canvas: the editor after the canvas, then the browser,
    then the bar's controls in their order, each stop with its focus shown."""
    after_canvas = []
    for _ in range(60):
        tab(driver)
        f = focused(driver)
        if f[0] == "a11y-toggle":
            break
        after_canvas.append(f)
    else:
        check(False, "Tab never came round to the view's button: %s" % [label(f) for f in after_canvas])
        return
    in_page = [f for f in after_canvas if f[5]]
    check(in_page and after_canvas[:len(in_page)] == in_page,
          "after the canvas come the editor's controls: %s" % [label(f) for f in after_canvas])
    check(any(f[3] for f in in_page), "Tab reaches the editor's text")
    check(len(in_page) < len(after_canvas), "Tab leaves the page after the editor")
    for f in in_page:
        check(f[4], "the focus shows on %s" % label(f))
    bar = []
    for _ in range(8):
        f = focused(driver)
        bar.append(label(f))
        check(f[4], "the focus shows on %s" % label(f))
        if f[0] == "canvas":
            break
        tab(driver)
    check(bar == ["a11y-toggle", "open", "Files", "editor-fold", "Check a program", "canvas"],
          "Tab goes through the bar, then the canvas: %s" % bar)


def tree_checks(driver):
    nodes = driver.execute_cdp_cmd("Accessibility.getFullAXTree", {})["nodes"]
    named = set()
    unnamed = []
    for n in nodes:
        role = n.get("role", {}).get("value")
        name = n.get("name", {}).get("value", "")
        if role in ("button", "textbox", "spinbutton", "checkbox", "combobox", "slider") and not n.get("ignored"):
            named.add((name, role))
            if not name.strip():
                unnamed.append(role)
    for control in CONTROLS:
        check(control in named, "the accessibility tree names %s %r" % (control[1], control[0]))
    check(not unnamed, "controls without a name: %s" % unnamed)
    roles = {n.get("role", {}).get("value") for n in nodes if not n.get("ignored")}
    check({"table", "rowheader", "columnheader", "status", "region"} <= roles,
          "the RAM is a table with row and column headers beside a status: %s" % sorted(r for r in roles if r))


def scenario(driver, work):
    rom, ram = work / "m.rom", work / "m.ram"
    subprocess.run([ISA4, "asm", SOURCE / "examples/multiply.s", "-o", rom], check=True)
    subprocess.run([ISA4, "ram", SOURCE / "examples/multiply.data", "-o", ram], check=True)
    trace = subprocess.run([ISA4, "run", rom, "--ram", ram, "--trace", "--save-ram", work / "end.ram"],
                           check=True, capture_output=True, text=True).stdout.splitlines()

    def name_field(field_id, text):
        tab_to(driver, lambda f: f[0] == field_id)
        select_all()
        press(driver, Keys.DELETE, text)

    def select_all():
        select_all_in(driver)

    def press_button(label, back=False):
        tab_to(driver, lambda f: f[1] == label, back)
        press(driver, Keys.ENTER)

    name_field("a11y-rom-file", "examples/multiply.rom")
    press_button("Load ROM")
    check(said(driver) == "Load ROM: examples/multiply.rom done.", "Load ROM said %r" % said(driver))
    name_field("a11y-ram-file", "examples/multiply.ram")
    press_button("Load RAM")
    press_button("Reset CPU", back=True)
    check(said(driver).startswith("Reset CPU: pc FF"), "Reset said %r" % said(driver))
    press_button("Step", back=True)
    for k in range(3):
        if k:
            press(driver, Keys.ENTER)
        check(said(driver) == announcement(trace[k]), "step %d said %r, isa4 run --trace: %r" % (
            k + 1, said(driver), announcement(trace[k])))
    # Every announcement while running, with its time, to check their pace.
    driver.execute_script("""
        window.said = [];
        new MutationObserver(() => window.said.push([performance.now(), document.querySelector('#a11y-view [role=status]').textContent]))
          .observe(document.querySelector('#a11y-view [role=status]'), {childList: true, characterData: true, subtree: true});""")
    tab_to(driver, lambda f: f[0] == "a11y-clocks")
    select_all()
    press(driver, "20", Keys.TAB)
    press_button("Run", back=True)
    check(wait(driver, "return document.querySelector('#a11y-view [role=status]').textContent.startsWith('Halted')",
               "the run to halt", 30), "the run is said to halt")
    check(focused(driver)[1] == "Stop", "the run button reads Stop while running: %s" % (focused(driver),))
    press(driver, Keys.ENTER)
    check(said(driver).startswith("Stopped: pc 0"), "Stop said %r" % said(driver))
    times = [t for t, text in driver.execute_script("return window.said") if text.startswith("Running")]
    check(all(b - a >= 990 for a, b in zip(times, times[1:])), "running summaries come a second apart: %s" % times)
    name_field("a11y-ram-file", "out.ram")
    press_button("Save RAM")
    saved = driver.execute_script("""
        const p = '/home/kelvane/out.ram';
        return Module.FS.analyzePath(p).exists ? Array.from(Module.FS.readFile(p)) : null;""")
    check(saved is not None and bytes(saved) == (work / "end.ram").read_bytes(),
          "the saved RAM equals isa4 run's")
    # The canvas's machine is the view's: the log shows the reset in both.
    log = driver.execute_script("return [...document.querySelectorAll('[aria-labelledby=a11y-log] li')].map((e) => e.textContent)")
    check("Reset CPU" in log, "the log's messages as a list: %s" % log)


def next_word(driver):
    return driver.execute_script(
        "return [...document.querySelectorAll('#a11y-view p')].map((e) => e.textContent)"
        ".find((t) => t.startsWith('Next word')) || ''")


def source_lines(driver, work):
    """The next word's source line, once the ROM comes from the page's editor, and only then."""
    check("Source line" not in next_word(driver), "a ROM loaded by name has no source line: %r" % next_word(driver))
    source = (SOURCE / "examples/multiply.s").read_text().split("\n")
    rom = work / "m.rom"
    # The first words run the same whatever the RAM holds.
    trace = [line.split() for line in subprocess.run(
        [ISA4, "run", rom, "--trace", "--steps", "4"], check=True, capture_output=True,
        text=True).stdout.splitlines() if line.split() and line.split()[0].isdigit()]
    check(wait(driver, "return kelvaneEditor.name", "the editor's file") == "examples/multiply.s",
          "the editor shows the example")
    driver.execute_script("kelvaneEditor.view.focus()")
    ActionChains(driver).key_down(Keys.CONTROL).send_keys(Keys.ENTER).key_up(Keys.CONTROL).perform()
    tab_to(driver, lambda f: f[1] == "Reset CPU")
    press(driver, Keys.ENTER)
    for k in range(3):
        tab_to(driver, lambda f: f[1] == "Step", back=True)
        press(driver, Keys.ENTER)
        line = wait(driver, "return document.getElementById('editor-pane').dataset.nextLine",
                    "the editor's mark after step %d" % (k + 1))
        shown = next_word(driver)
        expected = "Source line %s: %s" % (line, source[int(line or 1) - 1].strip())
        check(shown.endswith(expected), "step %d: %r ends with %r" % (k + 1, shown, expected))
        # The line holds the instruction that `isa4 run --trace` runs next.
        mnemonic = trace[k + 1][3]
        check(mnemonic.lower() in expected.lower(), "step %d: %r holds %s" % (k + 1, expected, mnemonic))
    tab_to(driver, lambda f: f[1] == "Clear ROM", back=True)
    press(driver, Keys.ENTER)
    check(wait(driver, "return !document.getElementById('a11y-view').textContent.includes('Source line')",
               "the source line to go") is True, "a ROM changed by hand has no source line")


def problems_and_check_form(driver):
    """axe with the editor's problems listed (a text with errors in it) and the Check form
    open; the editor's text and problems have names."""
    driver.execute_script("""
        const view = kelvaneEditor.view;
        view.dispatch({changes: {from: 0, to: view.state.doc.length, insert: 'FOO R1\\nBAR R2\\n'}});""")
    check(wait(driver, "return document.querySelectorAll('#editor-pane .editor-problems li').length >= 1",
               "the problems listed"), "the problems are listed")
    driver.execute_script("document.getElementById('check').open = true")
    for v in axe_violations(driver, str(SOURCE)):
        check(False, "axe with the problems listed and the Check form open: " + v)
    names = driver.execute_script(
        "return [...document.querySelectorAll('#editor-pane .cm-content, #editor-pane .editor-problems button')]"
        ".map((e) => e.getAttribute('aria-label') || e.textContent)")
    check(names[:1] == ["Source examples/multiply.s (read-only)"] and len(names) >= 3
          and all(n.strip() for n in names), "the editor's text and problems are named: %s" % names)


def tab_in_the_text(driver):
    """In a file one may change, Tab indents and keeps the focus; Escape then Tab leaves
    the text, and Shift+Tab comes back. The text is named after the new file."""
    driver.execute_script("document.getElementById('check').open = false;"
                          "[...document.querySelectorAll('#editor-pane button')].find((b) => b.textContent === 'New file').focus()")
    press(driver, Keys.ENTER)
    alert = driver.switch_to.alert
    alert.send_keys("keys")
    alert.accept()
    wait(driver, "return document.activeElement.classList.contains('cm-content')", "the new file's text")
    press(driver, "x", Keys.TAB)
    f = focused(driver)
    check(f[3] and f[2] == "Source keys.s", "Tab in the text stays in it: %s" % (f[2:4],))
    check(driver.execute_script("return kelvaneEditor.view.state.doc.toString()") != "x",
          "Tab in the text indents")
    press(driver, Keys.ESCAPE, Keys.TAB)
    check(not focused(driver)[3], "Escape then Tab leaves the text")
    ActionChains(driver).key_down(Keys.SHIFT).send_keys(Keys.TAB).key_up(Keys.SHIFT).perform()
    check(focused(driver)[3], "Shift+Tab comes back to the text")


def main():
    work = pathlib.Path(tempfile.mkdtemp(prefix="kelvane-access-"))
    handler = functools.partial(QuietHandler, directory=str(SITE))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = "http://127.0.0.1:%d/" % server.server_address[1]
    driver = start_browser(work / "profile")
    try:
        open_page(driver, url)
        check(driver.execute_script("return document.getElementById('a11y-view').hidden"),
              "a first visit starts with the view hidden")
        # The view's button is the first control of the page. The canvas has the focus at
        # first; Tab leaves it for the editor, then the browser, then the page again at
        # its first control.
        first = driver.execute_script(
            "return document.querySelector('button, input:not([tabindex=\"-1\"]), summary, [tabindex=\"0\"]').id")
        check(first == "a11y-toggle", "the first control is %r" % first)
        check(focused(driver)[0] == "canvas", "the canvas has the focus at first: %s" % (focused(driver)[:1],))
        tab_order(driver)
        tab_to(driver, lambda f: f[0] == "a11y-toggle", back=True)
        press(driver, Keys.ENTER)
        check(not driver.execute_script("return document.getElementById('a11y-view').hidden"), "Enter shows the view")
        open_page(driver, url)
        check(not driver.execute_script("return document.getElementById('a11y-view').hidden"),
              "the view is shown again after a reload")
        for v in axe_violations(driver, str(SOURCE)):
            check(False, "axe with the view shown: " + v)
        tree_checks(driver)
        scenario(driver, work)
        source_lines(driver, work)
        for v in axe_violations(driver, str(SOURCE)):
            check(False, "axe after the session: " + v)
        problems_and_check_form(driver)
        tab_in_the_text(driver)
    finally:
        driver.quit()
        server.shutdown()
        shutil.rmtree(work, ignore_errors=True)
    print("%d passed, %d failed" % (1 if not failures else 0, 1 if failures else 0))
    sys.exit(1 if failures else 0)


main()
