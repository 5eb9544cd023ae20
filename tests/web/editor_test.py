"""The editor pane beside the page's canvas, in Debian's headless Chromium, as a student
uses it: keys and clicks.

    /usr/bin/python3 tests/web/editor_test.py SITE ISA4 SOURCE_DIR

The arguments, the server and the browser are those of page_test.py.
"""

import base64
import json
import subprocess
import sys
import time
import unittest
import zlib

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

import page_test
from page_test import HOME, SOURCE as SOURCE_DIR, Browser, RESET_CPU, serve

STEP = (378, 69)  # beside "Reset CPU" in the first-launch layout

# One statement a line from line 1, so that the word at address A is on line A + 1.
COUNTDOWN = ["ADDI r1, r0, 2", "loop: ADDI r1, r1, -1", "JZ done", "ADDI r0, r0, 0", "JZ loop",
             "done: JZ @done"]


# An unused label (a warning) and no halting JZ (an information note).
LINTED = ["ADDI r1, r0, 2", "spare: ADDI r2, r0, 1", "loop: ADDI r1, r1, -1", "JZ loop"]
SEVERITIES = {1: "error", 2: "warning", 3: "info"}


def language_server(text, requests):
    """What `isa4 lsp` answers for the document `text`: its diagnostics and the results of
    `requests`, [(method, position)], in order."""
    def framed(message):
        body = json.dumps(message).encode()
        return b"Content-Length: %d\r\n\r\n" % len(body) + body
    uri = "file:///program.s"
    messages = [{"id": 0, "method": "initialize", "params": {"capabilities": {}}},
                {"method": "initialized", "params": {}},
                {"method": "textDocument/didOpen", "params": {"textDocument": {
                    "uri": uri, "languageId": "isa4", "version": 1, "text": text}}}]
    for i, (method, position) in enumerate(requests):
        messages.append({"id": i + 1, "method": method, "params": {
            "textDocument": {"uri": uri}, "position": position}})
    messages += [{"id": 99, "method": "shutdown"}, {"method": "exit"}]
    out = subprocess.run([str(page_test.ISA4), "lsp"], input=b"".join(
        framed(dict(m, jsonrpc="2.0")) for m in messages), capture_output=True, timeout=30).stdout
    diagnostics, results = [], {}
    while out:
        head, _, rest = out.partition(b"\r\n\r\n")
        size = int(head.split(b":")[1])
        message = json.loads(rest[:size])
        out = rest[size:]
        if message.get("method") == "textDocument/publishDiagnostics":
            diagnostics = message["params"]["diagnostics"]
        elif message.get("id") not in (None, 0, 99):
            results[message["id"]] = message["result"]
    return diagnostics, [results.get(i + 1) for i in range(len(requests))]


def fragment(payload):
    return "#program=" + base64.urlsafe_b64encode(payload).decode().rstrip("=")


class EditorTest(page_test.PageTest):
    def text(self, page):
        return page.js("return kelvaneEditor.view.state.doc.toString()")

    def status(self, page):
        return page.js("return document.querySelector('#editor-pane .editor-status').textContent")

    def button(self, page, label):
        return page.driver.find_element(
            By.XPATH, "//aside[@id='editor-pane']//button[normalize-space()='%s']" % label)

    def new_file(self, page, name):
        self.button(page, "New file").click()
        alert = page.driver.switch_to.alert
        alert.send_keys(name)
        alert.accept()
        name = name if name.endswith(".s") else name + ".s"
        self.wait_for(lambda: page.js("return kelvaneEditor.name") == name)

    def type_lines(self, page, lines):
        """Types at the cursor, one key at a time; Escape closes a completion before Enter."""
        page.driver.find_element(By.CSS_SELECTOR, "#editor-pane .cm-content").click()
        actions = ActionChains(page.driver)
        for line in lines:
            actions.send_keys(line).send_keys(Keys.ESCAPE).send_keys(Keys.ENTER)
        actions.perform()

    def select_all_and_type(self, page, lines):
        page.driver.find_element(By.CSS_SELECTOR, "#editor-pane .cm-content").click()
        ActionChains(page.driver).key_down(Keys.CONTROL).send_keys("a").key_up(Keys.CONTROL) \
            .send_keys(Keys.DELETE).perform()
        self.type_lines(page, lines)

    def error_lines(self, page):
        """The lines marked in the text and the lines of the problems list."""
        return page.js("""
            const view = kelvaneEditor.view;
            const marked = Array.from(document.querySelectorAll('#editor-pane .cm-lintRange-error'))
                .map((e) => view.state.doc.lineAt(view.posAtDOM(e)).number);
            const listed = Array.from(document.querySelectorAll('#editor-pane .editor-problems li.error'))
                .map((e) => Number(e.dataset.line));
            return [marked, listed];""")

    def test_marks_follow_the_text_and_ctrl_enter_loads_what_isa4_asm_writes(self):
        page = self.browser()
        self.assertEqual(page.open(), "running")
        self.new_file(page, "mine")  # ".s" is added
        page.js("document.addEventListener('keydown', () => { window.lastKey = performance.now(); }, true)")
        self.type_lines(page, ["ADDI r1, r0, 3", "JUMP 4", "ADD r2, r1, r1"])
        self.wait_for(lambda: self.error_lines(page) == [[2], [2]], timeout=5, message="no mark on line 2")
        # Measured in the page: from the last key to the check of the text it made.
        self.assertLess(page.js("return kelvaneEditor.lastCheck.end - window.lastKey"), 1000)

        # Ctrl+Enter with an error: nothing written, the cursor on the error.
        ActionChains(page.driver).key_down(Keys.CONTROL).send_keys(Keys.ENTER).key_up(Keys.CONTROL).perform()
        self.wait_for(lambda: "nothing written or loaded" in self.status(page))
        self.assertIsNone(page.read_file("mine.rom"))
        self.assertEqual(page.js("const s = kelvaneEditor.view.state; "
                                 "return s.doc.lineAt(s.selection.main.head).number"), 2)

        # Fixed: the mark goes.
        self.select_all_and_type(page, COUNTDOWN)
        self.wait_for(lambda: self.error_lines(page) == [[], []], timeout=2,
                      message="the mark stayed after the fix")
        ActionChains(page.driver).key_down(Keys.CONTROL).send_keys(Keys.ENTER).key_up(Keys.CONTROL).perform()
        rom = self.wait_for(lambda: page.read_file("mine.rom"), message="no mine.rom")
        source = self.wait_for(lambda: page.read_file("mine.s"))
        (self.scratch / "mine.s").write_bytes(source)
        self.isa4("asm", "mine.s", "-o", "expected.rom")
        self.assertEqual(rom, (self.scratch / "expected.rom").read_bytes())
        self.assertEqual(page.js("return Array.from(Module.FS.readFile('%s/mine.rom'))" % HOME)[:6],
                         list(rom[:6]))

        # Stepping with the canvas's "Step" moves the marks along the run's trace.
        (self.scratch / "mine.rom").write_bytes(rom)
        trace = subprocess.run([str(page_test.ISA4), "run", "mine.rom", "--trace", "--steps", "8"],
                               cwd=self.scratch, capture_output=True, text=True).stdout
        addresses = [int(line.split()[1], 16) for line in trace.splitlines()
                     if line.strip() and line.split()[0].isdigit()]
        self.assertGreaterEqual(len(addresses), 7, trace)
        page.click(RESET_CPU)
        self.wait_for(lambda: page.js("return document.getElementById('editor-pane').dataset.nextLine") == "1")
        for k in range(6):
            page.click(STEP)
            expected = (str(addresses[k + 1] + 1), str(addresses[k] + 1))
            self.wait_for(lambda: page.js("const d = document.getElementById('editor-pane').dataset; "
                                          "return [d.nextLine, d.executedLine]") == list(expected),
                          message="after step %d the marks are not on %s" % (k + 1, expected))

        # A change of the text: the marks are for the text as it was loaded.
        self.type_lines(page, ["ADDI r2, r0, 1"])
        self.wait_for(lambda: page.js("return !document.querySelector('.editor-marks-note').hidden"))

        # Reloaded at once: the text typed last is still there.
        time.sleep(1)
        typed = self.text(page)
        self.assertEqual(page.open(), "running")
        self.wait_for(lambda: page.js("return kelvaneEditor.name") == "mine.s")
        self.assertEqual(self.text(page), typed)

    def test_a_fix_unmarks_with_its_key_and_a_half_typed_word_waits_for_the_pause(self):
        page = self.browser()
        self.assertEqual(page.open(), "running")
        self.new_file(page, "typing")
        self.type_lines(page, ["ADDI r1, r0, 1", "JUMP 4"])
        self.wait_for(lambda: self.error_lines(page) == [[2], [2]], timeout=5, message="no mark on line 2")
        # Every change of the problems list, with whether the check that made it was the
        # one after a pause: a check at the key itself comes first.
        page.js("""
            window.seen = [];
            new MutationObserver(() => window.seen.push([
                Array.from(document.querySelectorAll('#editor-pane .editor-problems li.error'))
                    .map((e) => Number(e.dataset.line)),
                kelvaneEditor.lastCheck.settled])).observe(
                document.querySelector('#editor-pane .editor-problems-box'),
                {childList: true, subtree: true, characterData: true});""")

        # ";" makes line 2 a comment: its mark goes with that key, before any pause.
        ActionChains(page.driver).send_keys(Keys.UP).send_keys(Keys.HOME).send_keys(";").perform()
        self.wait_for(lambda: page.js("return window.seen.length > 0"))
        self.assertEqual(page.js("return window.seen[0]"), [[], False])

        # A word being typed on a new line is not marked until the typing pauses.
        page.js("window.seen = []")
        ActionChains(page.driver).send_keys(Keys.END).send_keys(Keys.ENTER).send_keys("AD").perform()
        self.wait_for(lambda: self.error_lines(page) == [[3], [3]], timeout=5, message="no mark on line 3")
        seen = page.js("return window.seen")
        self.assertEqual(seen[0], [[], False], seen)
        self.assertEqual(seen[-1], [[3], True], seen)

    def test_marks_hover_and_completion_are_those_of_isa4_lsp(self):
        page = self.browser()
        self.assertEqual(page.open(), "running")
        self.new_file(page, "linted")
        self.type_lines(page, LINTED)
        text = self.wait_for(lambda: page.read_file("linted.s"), message="linted.s not saved").decode()
        self.assertEqual(text, "\n".join(LINTED) + "\n")
        diagnostics, (hover, completion) = language_server(text, [
            ("textDocument/hover", {"line": 2, "character": 7}),
            ("textDocument/completion", {"line": 3, "character": 4})])
        # The source is ASCII: UTF-16 units and bytes count alike.
        expected = [[SEVERITIES[d["severity"]], d["range"]["start"]["line"] + 1,
                     d["range"]["start"]["character"] + 1, d["message"]] for d in diagnostics]
        self.assertEqual([e[0] for e in expected], ["warning", "info"], diagnostics)
        problems = """return Array.from(document.querySelectorAll('#editor-pane .editor-problems li'))
            .map((e) => [e.className, Number(e.dataset.line), Number(e.querySelector('button').textContent.split(' ').pop()),
                         e.querySelector('span').textContent.replace(/^[a-z]+: /, '')])"""
        self.wait_for(lambda: page.js(problems) == expected, timeout=5,
                      message="the problems are not isa4 lsp's %s" % expected)
        # The warning is the one `isa4 asm` prints, and each mark covers the range the server gives.
        (self.scratch / "linted.s").write_text(text)
        printed = subprocess.run([str(page_test.ISA4), "asm", "linted.s", "-o", "linted.rom"],
                                 cwd=self.scratch, capture_output=True, text=True).stderr
        self.assertEqual(printed, "linted.s:2:1: warning: %s\n" % expected[0][3])
        for d in diagnostics:
            start, end = d["range"]["start"], d["range"]["end"]
            line = LINTED[start["line"]]
            covered = page.js("""return Array.from(document.querySelectorAll('#editor-pane .cm-lintRange-%s'))
                .map((e) => e.textContent).join('')""" % SEVERITIES[d["severity"]])
            self.assertEqual(covered, line[start["character"]:end["character"]])

        # Hover over line 3's statement: the server's text, Markdown's code marks as code.
        point = page.js("""const line = kelvaneEditor.view.state.doc.line(3);
            const c = kelvaneEditor.view.coordsAtPos(line.from + 7);
            return [Math.round(c.left + 2), Math.round((c.top + c.bottom) / 2)]""")
        page.driver.execute_cdp_cmd("Input.dispatchMouseEvent", {"type": "mouseMoved", "x": point[0], "y": point[1]})
        shown = self.wait_for(lambda: page.js(
            "const h = document.querySelector('.cm-tooltip-hover .kelvane-hover'); "
            "return h && [h.textContent, h.querySelector('code') && h.querySelector('code').textContent]"),
            message="no hover")
        self.assertEqual(shown[0], hover["contents"]["value"].replace("`", ""))
        self.assertEqual(shown[1], "02: 111FF")

        # Completion of a label: the server's item, with its detail.
        loop = [item for item in completion if item["label"] == "loop"]
        self.assertEqual(len(loop), 1, completion)
        page.driver.find_element(By.CSS_SELECTOR, "#editor-pane .cm-content").click()
        ActionChains(page.driver).key_down(Keys.CONTROL).send_keys(Keys.END).key_up(Keys.CONTROL) \
            .send_keys("JZ lo").perform()
        offered = self.wait_for(lambda: page.js(
            "return Array.from(document.querySelectorAll('.cm-tooltip-autocomplete li'))"
            ".map((e) => e.textContent)"), message="no completion")
        self.assertIn("loop" + loop[0]["detail"], offered)

    def test_a_shared_link_opens_in_a_fresh_profile_and_hostile_links_change_nothing(self):
        page = self.browser()
        self.assertEqual(page.open(), "running")
        self.new_file(page, "shared-from.s")
        self.type_lines(page, COUNTDOWN)
        time.sleep(0.5)
        program = self.text(page)
        page.js("Module.FS.writeFile('%s/shared-from.ram', new Uint8Array(256).fill(7))" % HOME)
        self.button(page, "Share").click()
        link = self.wait_for(lambda: page.js(
            "return document.querySelector('#editor-pane .editor-link').value"))
        self.assertTrue(link.startswith(self.url + "#program="), link)
        page.quit()
        self.browsers.remove(page)

        other = Browser(self.url, self.scratch / "other-profile", self.downloads)
        self.browsers.append(other)
        other.driver.get(link)
        self.assertEqual(other.wait_for_state(), "running")
        self.wait_for(lambda: self.text(other) == program, message="the shared program is not shown")
        self.assertIsNone(other.js("return kelvaneEditor.name"))
        self.assertNotIn("#", other.driver.current_url)
        # Saved under a name of its own once changed, with its RAM data beside it.
        self.type_lines(other, ["; mine now"])
        self.wait_for(lambda: other.read_file("shared.s"), message="no shared.s")
        self.assertEqual(other.read_file("shared.ram"), b"\x07" * 256)

        # Hostile fragments: a plain message, and the editor and the files as they were.
        before_text = self.text(other)
        time.sleep(1)
        before_files = other.js("return Module.FS.readdir('%s').sort()" % HOME)
        hostile = {
            "bad encoding": "#program=%%%not*base64",
            "not deflate": fragment(b"plain text, not compressed"),
            "over 64 KiB": fragment(zlib.compress(json.dumps({"source": "x" * 70000}).encode())),
            "not UTF-8": fragment(zlib.compress(b'{"source": "\xff\xfe"}')),
            "no program": fragment(zlib.compress(b'{"text": 1}')),
            "bad RAM": fragment(zlib.compress(b'{"source": "", "ram": [256]}')),
        }
        for what, bad in hostile.items():
            with self.subTest(what):
                other.driver.get(self.url + bad)
                self.assertEqual(other.wait_for_state(), "running")
                message = self.wait_for(lambda: self.status(other))
                self.assertTrue("damaged" in message or "64 KiB" in message, message)
                self.assertEqual(self.text(other), before_text)
                self.assertEqual(other.js("return Module.FS.readdir('%s').sort()" % HOME), before_files)

    def test_offline_after_one_visit_and_every_request_to_the_own_origin(self):
        server = serve(page_test.SITE)
        url = "http://127.0.0.1:%d/" % server.server_port
        page = Browser(url, self.scratch / "profile", self.downloads)
        self.browsers.append(page)
        try:
            self.assertEqual(page.open(), "running")
            # The service worker has kept the page's files.
            self.wait_for(lambda: page.driver.execute_async_script("""
                const done = arguments[arguments.length - 1];
                navigator.serviceWorker.ready.then(() => caches.open('kelvane-page'))
                    .then((c) => c.match('kelvane.wasm')).then((r) => done(!!r), () => done(false));"""),
                timeout=30, message="the page's files were not kept")
            origins = page.js("return performance.getEntriesByType('resource').map(e => e.name)")
            for address in origins:
                self.assertTrue(address.startswith(url), address)
        finally:
            server.shutdown()
            server.server_close()
        # With the server gone a reload still opens the page and the editor.
        self.assertEqual(page.open(), "running")
        self.wait_for(lambda: page.js("return document.querySelector('#editor-pane .cm-content') !== null"))

    def test_examples_open_read_only_save_as_copies_and_trace_opens_a_tab(self):
        page = self.browser()
        self.assertEqual(page.open(), "running")
        page.driver.find_element(By.CSS_SELECTOR, "#files summary").click()
        page.driver.find_element(By.CSS_SELECTOR, "button[aria-label='Edit examples/copy.s']").click()
        self.wait_for(lambda: page.js("return kelvaneEditor.name") == "examples/copy.s")
        example = (SOURCE_DIR / "examples/copy.s").read_text()
        self.assertEqual(self.text(page), example)
        self.type_lines(page, ["; changed"])
        time.sleep(0.5)
        self.assertEqual(self.text(page), example)

        # Ctrl+Enter loads the example's own image; Trace shows the run in a new tab.
        ActionChains(page.driver).key_down(Keys.CONTROL).send_keys(Keys.ENTER).key_up(Keys.CONTROL).perform()
        self.wait_for(lambda: "Loaded examples/copy.rom" in self.status(page))
        tabs = set(page.driver.window_handles)
        self.button(page, "Trace").click()
        self.wait_for(lambda: len(page.driver.window_handles) > len(tabs), message="no new tab")
        page.driver.switch_to.window((set(page.driver.window_handles) - tabs).pop())
        self.wait_for(lambda: "copy.s" in page.driver.page_source, message="no trace page")
        page.driver.close()
        page.driver.switch_to.window(tabs.pop())

        self.button(page, "Save as").click()
        alert = page.driver.switch_to.alert
        self.assertEqual(alert.text, "Save as:")
        alert.accept()  # the proposed name, copy.s
        self.wait_for(lambda: page.js("return kelvaneEditor.name") == "copy.s")
        self.type_lines(page, ["; mine"])
        self.wait_for(lambda: b"; mine" in (page.read_file("copy.s") or b""),
                      message="the copy was not saved")
        self.assertEqual(page.read_file("copy.ram"), page.read_file("examples/copy.ram"))

    def test_the_split_moves_folds_and_stacks_on_a_narrow_screen(self):
        page = self.browser()
        self.assertEqual(page.open(), "running")

        def box(name):
            return page.js("const r = document.getElementById(arguments[0]).getBoundingClientRect();"
                           "return [r.left, r.top, r.width, r.height]", name)

        def canvas_follows():
            # The workbench draws at the canvas's new size.
            return page.js("const c = document.getElementById('canvas'); "
                           "return c.width === Math.round(c.getBoundingClientRect().width)")

        width = page.js("return innerWidth")
        self.assertEqual(box("canvas")[2], page_test.CANVAS[0])
        splitter = page.driver.find_element(By.ID, "splitter")
        ActionChains(page.driver).click_and_hold(splitter).move_by_offset(-200, 0).release().perform()
        self.assertAlmostEqual(box("editor-pane")[2], page_test.EDITOR_PANE - 6 + 200, delta=3)
        self.wait_for(canvas_follows, message="the canvas kept its old size")

        page.driver.find_element(By.ID, "editor-fold").click()
        self.assertFalse(page.driver.find_element(By.ID, "editor-pane").is_displayed())
        self.assertEqual(box("canvas")[2], width)
        self.wait_for(canvas_follows, message="the canvas kept its old size")

        # Both are remembered.
        self.assertEqual(page.open(), "running")
        self.assertFalse(page.driver.find_element(By.ID, "editor-pane").is_displayed())
        page.driver.find_element(By.ID, "editor-fold").click()
        self.assertAlmostEqual(box("editor-pane")[2], page_test.EDITOR_PANE - 6 + 200, delta=3)

        # A narrow screen: the editor below the canvas.
        page.driver.set_window_size(700, 900)
        self.wait_for(lambda: box("editor-pane")[1] >= box("canvas")[1] + box("canvas")[3] - 1,
                      message="the editor is not below the canvas")
        self.assertGreater(box("editor-pane")[2], 600)

    def test_getting_started_is_shown_once_until_dismissed(self):
        page = self.browser()
        self.assertEqual(page.open(), "running")
        note = page.driver.find_element(By.CSS_SELECTOR, "#editor-pane .getting-started")
        self.assertTrue(note.is_displayed())
        note.find_element(By.TAG_NAME, "button").click()
        self.assertFalse(note.is_displayed())
        self.assertEqual(page.open(), "running")
        self.assertFalse(page.driver.find_element(By.CSS_SELECTOR, "#editor-pane .getting-started").is_displayed())


# The page's own tests run from page_test.py, not again here.
for _name in dir(page_test.PageTest):
    if _name.startswith("test_"):
        setattr(EditorTest, _name, None)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
