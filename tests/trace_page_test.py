#!/usr/bin/python3
"""Opens the pages of `isa4 trace` and `isa4 test --feedback` in Debian's headless
Chromium (through chromium-driver and Selenium), from file:// with the network cut, and
checks what they show against `isa4 run --trace` of the same program: pc, z, the
registers and the RAM at steps reached by the slider, the keys, the buttons and
breakpoints in both directions, the steps that wrote a cell, the highlight of the last
change and the end of the run. A feedback page must show nothing of a hidden case, and
no page may make a request or log an error.

Usage: trace_page_test.py ISA4 SOURCE_DIR [ARTEFACT_DIR]

With ARTEFACT_DIR it leaves trace-page.png there, the screenshot docs/ holds.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.select import Select
from selenium.webdriver.support.wait import WebDriverWait

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from headless_chromium import start_chromium  # noqa: E402

ISA4, SOURCE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
ARTEFACTS = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 else None
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def isa4(*args, status=0, cwd=None):
    r = subprocess.run([ISA4, *args], capture_output=True, text=True, cwd=cwd)
    if r.returncode != status:
        sys.exit("isa4 %s: status %d, expected %d\n%s" % (" ".join(args), r.returncode, status, r.stderr))
    return r.stdout


def reference(rom, ram_image):
    """The state after every step, and the step numbers that wrote each target, from
    `isa4 run --trace`: a list of (pc, z, registers, ram) from step 0, and a dict."""
    ram = list(open(ram_image, "rb").read()) if ram_image else [0] * 256
    state = [255, 0, [0] * 16, ram]
    states = [(state[0], state[1], list(state[2]), list(state[3]))]
    writes = {}
    args = ["run", rom, "--trace", "--steps", "100000"] + (["--ram", ram_image] if ram_image else [])
    for line in isa4(*args).splitlines():
        m = re.match(r"\s*(\d+)  ([0-9A-F]{2})  [0-9A-F]{5,6}  (.*)", line)
        if not m:
            break
        step, address, rest = int(m[1]), int(m[2], 16), m[3]
        state[0] = address
        for reg, new in re.findall(r"\br([0-9a-f]) [0-9A-F]{2} -> ([0-9A-F]{2})", rest):
            state[2][int(reg, 16)] = int(new, 16)
            writes.setdefault("r" + reg, []).append(step)
        for cell, new in re.findall(r"\[([0-9A-F]{2})\] [0-9A-F]{2} -> ([0-9A-F]{2})", rest):
            state[3][int(cell, 16)] = int(new, 16)
            writes.setdefault("[" + cell + "]", []).append(step)
        z = re.search(r"z \d -> (\d)", rest)
        if z:
            state[1] = int(z[1])
        jump = re.search(r"jump: pc [0-9A-F]{2} -> ([0-9A-F]{2})", rest)
        if jump:
            state[0] = int(jump[1], 16)
        states.append((state[0], state[1], list(state[2]), list(state[3])))
    return states, writes


SHOWN = """
const s = document.querySelectorAll("section.trace")[arguments[0]];
const text = (t) => s.querySelector('[data-target="' + t + '"]').textContent;
const hex = (v) => v.toString(16).toUpperCase().padStart(2, "0");
return {step: Number(s.querySelector("input.slider").value),
        pc: parseInt(text("pc"), 16), z: Number(text("z")),
        regs: [...Array(16).keys()].map((i) => parseInt(text("r" + i.toString(16)), 16)),
        ram: [...Array(256).keys()].map((a) => parseInt(text("[" + hex(a) + "]"), 16)),
        changed: [...s.querySelectorAll(".changed")].map((e) => e.dataset.target),
        exec: [...s.querySelectorAll(".line.exec .gutter")].map((e) => e.textContent),
        next: [...s.querySelectorAll(".line.next .gutter")].map((e) => e.textContent)};
"""


class Page:
    def __init__(self, driver, path, section=0):
        self.d, self.section = driver, section
        driver.get("file://" + path)
        self.root = driver.find_elements(By.CSS_SELECTOR, "section.trace")
        self.root = self.root[section] if self.root else None

    def shown(self):
        return self.d.execute_script(SHOWN, self.section)

    def button(self, label):
        for b in self.root.find_elements(By.TAG_NAME, "button"):
            if b.text == label:
                return b
        raise KeyError(label)

    def slide(self, step):
        self.d.execute_script(
            "const s = arguments[0]; s.value = String(arguments[1]);"
            "s.dispatchEvent(new Event('input'));", self.root.find_element(By.CSS_SELECTOR, "input.slider"), step)

    def keys(self, *keys):
        body = self.d.find_element(By.TAG_NAME, "body")
        for k in keys:
            body.send_keys(k)

    def line_of(self, address):
        for line in self.root.find_elements(By.CSS_SELECTOR, ".line.word"):
            if line.find_element(By.CLASS_NAME, "gutter").text == "%02X" % address:
                return line
        raise KeyError(address)

    def cell(self, target):
        return self.root.find_element(By.CSS_SELECTOR, '[data-target="%s"]' % target)

    def when(self):
        return [int(li.get_attribute("data-step")) for li in self.root.find_elements(By.CSS_SELECTOR, ".when li")]

    def end_text(self):
        return self.root.find_element(By.CLASS_NAME, "endtext").text


def matches(page, states, how):
    shown = page.shown()
    pc, z, regs, ram = states[shown["step"]]
    ok = (shown["pc"], shown["z"], shown["regs"], shown["ram"]) == (pc, z, regs, ram)
    check(ok, "%s: step %d shows pc %02X z %d regs %s, isa4 run says pc %02X z %d regs %s" % (
        how, shown["step"], shown["pc"], shown["z"], shown["regs"], pc, z, regs))
    return shown


def trace_page_checks(driver, work, states, writes):
    page = Page(driver, os.path.join(work, "mul.html"))
    n = len(states) - 1
    check("Halted after %d steps" % n in page.end_text() and "0A" in page.end_text(),
          "end text: " + page.end_text())
    check(page.shown()["step"] == 0, "the trace page opens at step 0")
    page.slide(20)
    check(matches(page, states, "slider")["step"] == 20, "the slider reaches step 20")
    page.keys(Keys.ARROW_RIGHT, Keys.ARROW_RIGHT, Keys.ARROW_RIGHT)
    check(matches(page, states, "Right x3")["step"] == 23, "three Right keys go to step 23")
    page.keys(*[Keys.ARROW_LEFT] * 5)
    check(matches(page, states, "Left x5")["step"] == 18, "five Left keys go back to step 18")
    page.keys(Keys.END)
    check(matches(page, states, "End")["step"] == n, "End goes to the last step")
    page.button("<").click()
    check(matches(page, states, "back button")["step"] == n - 1, "the back button")
    page.keys(Keys.HOME)
    check(matches(page, states, "Home")["step"] == 0, "Home goes to step 0")

    # A breakpoint on `done:` (08): forward it stops where isa4 run --break stops.
    stop = int(re.search(r"stopped after (\d+) steps: breakpoint at 08",
                         isa4("run", os.path.join(work, "m.rom"), "--ram", os.path.join(work, "m.ram"),
                              "--break", "8", "--steps", "1000"))[1])
    page.line_of(0x08).click()
    page.button("bp>").click()
    shown = matches(page, states, "next breakpoint")
    check(shown["step"] == stop and shown["next"] == ["08"], "bp> stops at step %d before 08, not %d" % (stop, shown["step"]))
    # One on `loop:` (02) too; backward from the end with Shift+Left, forward with Shift+Right.
    page.line_of(0x02).click()
    stops = [k for k in range(n) if (states[k][0] + 1) % 256 in (0x02, 0x08)]
    page.keys(Keys.END, Keys.SHIFT + Keys.ARROW_LEFT)
    check(matches(page, states, "Shift+Left")["step"] == stops[-1], "Shift+Left goes back to the last stop")
    page.button("<bp").click()
    check(matches(page, states, "<bp")["step"] == stops[-2], "<bp goes back once more")
    page.keys(Keys.SHIFT + Keys.ARROW_RIGHT)
    check(page.shown()["step"] == stops[-1], "Shift+Right goes forward to the next stop")
    page.line_of(0x02).click()  # cleared again: only 08 stops the run
    page.keys(Keys.HOME, Keys.SHIFT + Keys.ARROW_RIGHT)
    check(page.shown()["step"] == stop, "a cleared breakpoint no longer stops")
    # Running forward at 1000 steps a second stops at the breakpoint too.
    page.keys(Keys.HOME)
    Select(page.root.find_element(By.TAG_NAME, "select")).select_by_value("1000")
    page.button(">>").click()
    WebDriverWait(driver, 5).until(lambda _: "on" not in page.button(">>").get_attribute("class"))
    check(matches(page, states, "run forward")["step"] == stop, "running forward stops at the breakpoint")

    # "When": the steps that wrote [02] and r3, and the highlight of the last change.
    page.cell("[02]").click()
    check(page.when() == writes["[02]"], "when [02]: %s, isa4 run: %s" % (page.when(), writes["[02]"]))
    page.cell("r3").click()
    check(page.when() == writes["r3"], "when r3: %s, isa4 run: %s" % (page.when(), writes["r3"]))
    page.slide(1)
    page.button("next write >").click()
    shown = matches(page, states, "next write")
    check(shown["step"] == writes["r3"][0], "next write goes to the first write of r3")
    check("r3" in shown["changed"] and not [c for c in shown["changed"] if c not in ("r3", "z", "pc")],
          "the step that wrote r3 highlights r3 alone: %s" % shown["changed"])
    check(shown["exec"] == ["04"], "the word executed at that step is marked: %s" % shown["exec"])
    page.button(">|").click()
    page.button("< previous write").click()
    check(page.shown()["step"] == writes["r3"][-1], "previous write from the end goes to the last write")
    # The strip plot jumps where it is clicked: its right edge is the last step.
    strip = page.root.find_element(By.CLASS_NAME, "strip")
    webdriver.ActionChains(driver).move_to_element_with_offset(strip, strip.size["width"] // 2 - 1, 0).click().perform()
    check(page.shown()["step"] == n, "a click at the strip's right edge goes to the end")

    if ARTEFACTS:
        os.makedirs(ARTEFACTS, exist_ok=True)
        page.slide(writes["r3"][3])
        page.line_of(0x05).click()
        driver.set_window_size(1280, 960)
        driver.save_screenshot(os.path.join(ARTEFACTS, "trace-page.png"))


def feedback_checks(driver, work):
    suite = os.path.join(work, "secret.suite")
    with open(suite, "w") as f:
        f.write("limit 500\n"
                "case six times seven\n    set [0x00..0x01] = 6, 7\n    expect [0x02] = 42\n"
                "case SECRETNAME\n    set [0x00..0x01] = 0x5A, 0x3C\n    expect [0x02] = 0x98\n"
                "    expect r7 = 0xB7\n    hidden\n")
    subs = os.path.join(SOURCE, "examples", "grading", "submissions")
    programs = [os.path.join(subs, p) for p in ("ada-correct.s", "ben-wrong.s", "dan-never-halts.s")]
    out = os.path.join(work, "feedback")
    isa4("test", suite, *programs, "--feedback", out, status=1)
    names = sorted(os.listdir(out))
    check(names == ["ada-correct.s.html", "ben-wrong.s.html", "dan-never-halts.s.html", "index.html"],
          "feedback pages: %s" % names)
    for name in names[:-1]:
        text = open(os.path.join(out, name), encoding="utf-8").read()
        data = json.loads(re.search(r'<script type="application/json" id="data">(.*?)</script>', text, re.S)[1])
        hidden = data["cases"][1]
        check(sorted(hidden) == ["hidden", "max", "number", "points", "verdict"], "%s: a hidden case holds %s" % (name, sorted(hidden)))
        check("SECRETNAME" not in json.dumps(data), name + " names the hidden case")
        check(all(t["start"]["ram"][:2] != [0x5A, 0x3C] for t in data["traces"]), name + " holds a run of the hidden case")
    page = Page(driver, os.path.join(out, "ben-wrong.s.html"))
    data = driver.execute_script("return window.isa4Page.data;")
    check(len(data["traces"]) == 1, "one run for the one failed visible case, not %d" % len(data["traces"]))
    check("SECRETNAME" not in driver.find_element(By.TAG_NAME, "body").text, "the hidden case's name shown")
    shown = page.shown()
    check(shown["step"] == len(data["traces"][0]["deltas"]), "the failed case opens at its end")
    mismatch = page.cell("[02]")
    check("mismatch" in mismatch.get_attribute("class") and mismatch.get_attribute("title") == "expected 2A",
          "the mismatching cell is marked with its expected value")
    check("[02] is 0D, expected 2A" in driver.find_element(By.TAG_NAME, "body").text, "the mismatch in --expect words")
    Page(driver, os.path.join(out, "dan-never-halts.s.html"))
    check("no halting JZ within 500 steps" in driver.find_element(By.CLASS_NAME, "endtext").text,
          "the end of a run cut at the step limit: " + driver.find_element(By.CLASS_NAME, "endtext").text)
    Page(driver, os.path.join(out, "index.html"))
    links = [a.get_attribute("href") for a in driver.find_elements(By.CSS_SELECTOR, "a")]
    check(sorted(os.path.basename(l) for l in links) == names[:-1], "index links: %s" % links)
    check("SECRETNAME" in driver.find_element(By.TAG_NAME, "body").text, "the teacher's index names every case")


def hostile_name_checks(driver, work):
    folder = os.path.join(work, "x<")
    os.mkdir(folder)
    name = "script><!--\u2028 <b>.s"
    source = os.path.join(folder, name)
    with open(source, "wb") as f:
        f.write(b"; </script><img src=x onerror=alert(1)> </SCRIPT x <!--<script> \xff\xfe\x1b\n        ADDI r0, r0, 0\nend:    JZ @end\n")
    isa4("trace", source, "-o", os.path.join(work, "hostile.html"))
    page = Page(driver, os.path.join(work, "hostile.html"))
    check(driver.title == "isa4 trace: " + source.replace("\u2028", "\u2028"), "the title is the file name: %r" % driver.title)
    first = page.root.find_element(By.CSS_SELECTOR, ".line .text").text
    check(first == "; </script><img src=x onerror=alert(1)> </SCRIPT x <!--<script> \\xff\\xfe\\x1b",
          "the source line as text: %r" % first)
    check(not driver.find_elements(By.CSS_SELECTOR, "img, b"), "markup from outside became elements")


def main():
    work = tempfile.mkdtemp(prefix="isa4-trace-")
    try:
        examples = os.path.join(SOURCE, "examples")
        rom, ram = os.path.join(work, "m.rom"), os.path.join(work, "m.ram")
        isa4("asm", os.path.join(examples, "multiply.s"), "-o", rom)
        isa4("ram", os.path.join(examples, "multiply.data"), "-o", ram)
        isa4("trace", "examples/multiply.s", "--ram", ram, "-o", os.path.join(work, "mul.html"), cwd=SOURCE)
        states, writes = reference(rom, ram)

        driver = start_chromium(work, logs=True)
        try:
            # What the browser fetched for itself before opening a page does not count.
            driver.get("about:blank")
            driver.get_log("performance")
            for checks in (lambda: trace_page_checks(driver, work, states, writes),
                           lambda: feedback_checks(driver, work),
                           lambda: hostile_name_checks(driver, work)):
                checks()
                requests = []
                for entry in driver.get_log("performance"):
                    message = json.loads(entry["message"])["message"]
                    if message["method"] == "Network.requestWillBeSent":
                        url = message["params"]["request"]["url"]
                        if not url.startswith("file://" + work):
                            requests.append(url)
                check(not requests, "requests beyond the pages: %s" % requests)
                errors = [e for e in driver.get_log("browser") if e["level"] == "SEVERE"]
                check(not errors, "browser errors: %s" % errors)
        finally:
            driver.quit()

        # The pages are valid HTML by Debian's tidy.
        pages = [os.path.join(work, "mul.html"), os.path.join(work, "hostile.html")]
        pages += [os.path.join(work, "feedback", p) for p in os.listdir(os.path.join(work, "feedback"))]
        for p in pages:
            r = subprocess.run(["tidy", "-q", "-e", p], capture_output=True, text=True)
            check(r.returncode == 0, "tidy %s: %s" % (os.path.basename(p), r.stderr))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d failures" % len(failures))
    sys.exit(1 if failures else 0)


main()
