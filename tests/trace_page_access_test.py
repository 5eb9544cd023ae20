#!/usr/bin/python3
"""The pages of `isa4 trace` and `isa4 test --feedback` (a student's page with a failed
visible case, and the class summary) for a keyboard and a screen reader: axe-core finds no
WCAG 2.0, 2.1 or 2.2 A or AA violation in them, as they open and after moves that mark
cells, lines and lists; nothing is lost at 640 CSS pixels (1280 at 200 % zoom) nor at 320;
the slider and the move buttons name the step they show or go to, a move is announced in
a polite status, breakpoints and the steps that wrote a cell are reached by keys alone,
and marks show in words as well as in colour.

Usage: trace_page_access_test.py ISA4 SOURCE_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.select import Select

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from axe_check import axe_violations, clear_width, lost_content, set_width  # noqa: E402
from headless_chromium import start_chromium  # noqa: E402

ISA4, SOURCE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def isa4(*args, cwd=None):
    return subprocess.run([ISA4, *args], capture_output=True, text=True, cwd=cwd).stdout


def audit(driver, what):
    """axe at the full width, then what a narrow window loses."""
    for v in axe_violations(driver, SOURCE):
        check(False, "%s: %s" % (what, v))
    for width in (640, 320):
        set_width(driver, width)
        lost = lost_content(driver)
        check(not lost, "%s at %d CSS px: %s" % (what, width, lost))
    clear_width(driver)


def attr(e, name):
    return e.get_attribute(name) or ""


def trace_checks(driver, page):
    driver.get("file://" + page)
    audit(driver, "trace page at step 0")
    root = driver.find_element(By.CSS_SELECTOR, "section.trace")
    slider = root.find_element(By.CSS_SELECTOR, "input.slider")
    status = root.find_element(By.CSS_SELECTOR, "[role=status]")
    buttons = {b.text: b for b in root.find_elements(By.CSS_SELECTOR, ".controls button")}
    body = driver.find_element(By.TAG_NAME, "body")
    for _ in range(5):
        body.send_keys(Keys.ARROW_RIGHT)
    check(attr(slider, "aria-valuetext").startswith("step 5 of "), "slider says " + attr(slider, "aria-valuetext"))
    # Each move button's name says where it goes from here.
    for label, to in (("<", "to step 4"), (">", "to step 6"), ("|<", "to step 0")):
        check(to in attr(buttons[label], "aria-label"), "%s is named %r" % (label, attr(buttons[label], "aria-label")))
    check(attr(status, "textContent").startswith("Step 5 of "), "the status says the step: %r" % attr(status, "textContent"))
    # What step 5 wrote is named so in words, not only coloured.
    changed = root.find_elements(By.CSS_SELECTOR, "td.changed")
    check(changed and all(attr(td, "aria-label").endswith("written by this step") for td in changed),
          "the written cell's name: %s" % [attr(td, "aria-label") for td in changed])
    check(root.find_elements(By.CSS_SELECTOR, ".line.exec") and root.find_elements(By.CSS_SELECTOR, ".line.next"),
          "the executed and the next line are marked")
    # A breakpoint by keys alone: Tab reaches the first line's button, Down the next ones.
    first = root.find_element(By.CSS_SELECTOR, ".bp-toggle")
    check(attr(first, "tabindex") == "0" and
          len([b for b in root.find_elements(By.CSS_SELECTOR, ".bp-toggle") if attr(b, "tabindex") == "0"]) == 1,
          "one breakpoint button in the Tab order")
    first.send_keys(Keys.ARROW_DOWN, Keys.ARROW_DOWN)
    focused = driver.switch_to.active_element
    check(attr(focused, "aria-label").startswith("Breakpoint at 02"), "Down twice reaches 02: %r" % attr(focused, "aria-label"))
    focused.send_keys(Keys.SPACE)
    check(attr(focused, "aria-pressed") == "true", "Space sets the breakpoint")
    check("to step" in attr(buttons["bp>"], "aria-label"), "bp> names its step: %r" % attr(buttons["bp>"], "aria-label"))
    # The steps that wrote r3, picked from the menu, as a list of buttons.
    Select(root.find_element(By.CSS_SELECTOR, ".when select")).select_by_visible_text("r3")
    items = root.find_elements(By.CSS_SELECTOR, ".when ol > li > button")
    check(len(items) > 2, "the steps that wrote r3 are listed")
    items[1].send_keys(Keys.ENTER)
    step = items[1].text.split()[1]
    check(slider.get_attribute("value") == step, "Enter on a listed step goes there: %s, not %s" % (slider.get_attribute("value"), step))
    check(attr(root.find_elements(By.CSS_SELECTOR, ".when ol > li > button")[1], "aria-current") == "step",
          "the listed step shown is current")
    audit(driver, "trace page with a breakpoint, marks and a list")


def feedback_checks(driver, folder):
    driver.get("file://" + os.path.join(folder, "ben-wrong.s.html"))
    audit(driver, "feedback page")
    marked = driver.find_elements(By.CSS_SELECTOR, "td.mismatch")
    check(marked and all("expected" in attr(td, "aria-label") for td in marked),
          "expected values are named in words: %s" % [attr(td, "aria-label") for td in marked])
    check([h.text for h in driver.find_elements(By.CSS_SELECTOR, "section.trace > h3")],
          "each run on the page has a heading")
    driver.get("file://" + os.path.join(folder, "index.html"))
    audit(driver, "class summary")
    headers = driver.find_elements(By.CSS_SELECTOR, "table th[scope=row]")
    check(len(headers) > 5, "the summary's rows have headers")


def main():
    work = tempfile.mkdtemp(prefix="isa4-access-")
    try:
        ram = os.path.join(work, "m.ram")
        isa4("ram", os.path.join(SOURCE, "examples", "multiply.data"), "-o", ram)
        page = os.path.join(work, "trace.html")
        isa4("trace", "examples/multiply.s", "--ram", ram, "-o", page, cwd=SOURCE)
        subs = os.path.join(SOURCE, "examples", "grading", "submissions")
        feedback = os.path.join(work, "feedback")
        isa4("test", os.path.join(SOURCE, "examples", "grading", "multiply.suite"),
             *[os.path.join(subs, p) for p in sorted(os.listdir(subs))], "--feedback", feedback)
        driver = start_chromium(work)
        try:
            trace_checks(driver, page)
            feedback_checks(driver, feedback)
        finally:
            driver.quit()
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d failures" % len(failures))
    sys.exit(1 if failures else 0)


main()
