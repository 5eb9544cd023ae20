#!/usr/bin/env python3
"""isa4 lsp as an editor sees it: a small client of its own drives the server over pipes,
and checks each answer. Usage: lsp_test.py ISA4"""
import json
import subprocess
import sys
import unittest

ISA4 = sys.argv.pop(1) if len(sys.argv) > 1 else "build/isa4"
URI = "file:///course/prog.s"


def frame(message):
    body = json.dumps(message).encode()
    return b"Content-Length: %d\r\n\r\n" % len(body) + body


def parse_frames(data):
    """The messages in the server's output, in order."""
    out = []
    while data:
        head, _, rest = data.partition(b"\r\n\r\n")
        length = int(head.split(b":")[1])
        out.append(json.loads(rest[:length]))
        data = rest[length:]
    return out


def run(raw, timeout=20):
    """Feeds `raw` bytes to a fresh server; its messages and exit status."""
    p = subprocess.run([ISA4, "lsp"], input=raw, capture_output=True, timeout=timeout)
    return parse_frames(p.stdout), p.returncode


class Client:
    """A server kept running, spoken to one message at a time."""

    def __init__(self, utf8=False, hints=False):
        self.p = subprocess.Popen([ISA4, "lsp"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.next_id = 0
        caps = {"general": {"positionEncodings": ["utf-8", "utf-16"]}} if utf8 else {}
        params = {"processId": None, "rootUri": None, "capabilities": caps}
        if hints:
            params["initializationOptions"] = {"inlayHints": True}
        self.init = self.request("initialize", params)
        self.notify("initialized", {})

    def send(self, message):
        self.p.stdin.write(frame(message))
        self.p.stdin.flush()

    def read(self):
        length = None
        while True:
            line = self.p.stdout.readline()
            if line in (b"\r\n", b""):
                break
            name, _, value = line.decode().partition(":")
            if name.lower() == "content-length":
                length = int(value)
        return json.loads(self.p.stdout.read(length))

    def request(self, method, params):
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": self.next_id, "method": method, "params": params})
        reply = self.read()
        assert reply.get("id") == self.next_id, reply
        return reply

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def open(self, text, version=1):
        self.notify("textDocument/didOpen", {"textDocument": {
            "uri": URI, "languageId": "isa4", "version": version, "text": text}})
        return self.read()["params"]

    def change(self, version, *changes):
        self.notify("textDocument/didChange", {
            "textDocument": {"uri": URI, "version": version}, "contentChanges": list(changes)})
        return self.read()["params"]

    def at(self, method, line, character, **extra):
        params = {"textDocument": {"uri": URI}, "position": {"line": line, "character": character}}
        params.update(extra)
        return self.request(method, params)

    def close(self):
        if self.p.poll() is None:
            self.p.kill()
            self.p.wait()
        for stream in (self.p.stdin, self.p.stdout):
            if not stream.closed:
                stream.close()

    def finish(self):
        assert self.request("shutdown", None)["result"] is None
        self.notify("exit", None)
        self.p.stdin.close()
        return self.p.wait(timeout=20)


def rng(l1, c1, l2, c2):
    return {"start": {"line": l1, "character": c1}, "end": {"line": l2, "character": c2}}


PROGRAM = """        .equ cell, 0x10
loop:   ADDI r1, r2, 5
        MOVE [cell], r1
        JZ loop
done:   JZ @done
"""


class Session(unittest.TestCase):
    def setUp(self):
        self.c = Client()

    def tearDown(self):
        self.c.close()

    def test_initialize_offers_the_features(self):
        caps = self.c.init["result"]["capabilities"]
        self.assertEqual(caps["positionEncoding"], "utf-16")
        self.assertEqual(caps["textDocumentSync"]["change"], 2)
        for feature in ("hoverProvider", "completionProvider", "definitionProvider",
                        "referencesProvider", "renameProvider", "documentSymbolProvider",
                        "documentFormattingProvider"):
            self.assertIn(feature, caps)
        self.assertNotIn("inlayHintProvider", caps, "hints are off unless asked for")
        self.assertEqual(self.c.finish(), 0)

    def test_diagnostics_follow_every_version(self):
        d = self.c.open("ADDI r1, r1, 1\nFOO r2\ndone: JZ @done\n", version=7)
        self.assertEqual(d["version"], 7)
        self.assertEqual([(m["range"], m["severity"]) for m in d["diagnostics"]],
                         [(rng(1, 0, 1, 3), 1)])
        self.assertIn("unknown instruction 'FOO'", d["diagnostics"][0]["message"])
        # Incremental: FOO becomes ADD, and a label nobody uses appears.
        d = self.c.change(8, {"range": rng(1, 0, 1, 3), "text": "ADD r2, r2,"},
                          {"range": rng(0, 0, 0, 0), "text": "spare: "})
        self.assertEqual(d["version"], 8)
        self.assertEqual([(m["range"], m["severity"]) for m in d["diagnostics"]],
                         [(rng(0, 0, 0, 5), 2)])
        self.assertIn("never used", d["diagnostics"][0]["message"])
        # Whole text: a program that never halts gets a note, not a warning.
        d = self.c.change(9, {"text": "loop: ADDI r1, r1, 1\n JZ loop\n"})
        self.assertEqual(d["version"], 9)
        self.assertEqual([m["severity"] for m in d["diagnostics"]], [3])
        self.assertEqual(self.c.finish(), 0)

    def test_hover_completion_and_names(self):
        self.c.open(PROGRAM)
        hover = self.c.at("textDocument/hover", 1, 9)["result"]
        self.assertEqual(hover["contents"]["value"], "`00: 11205` r1 = r2 + 0x05, sets z")
        self.assertEqual(self.c.at("textDocument/hover", 0, 20)["result"]["contents"]["value"],
                         "0x10 = 16 = 0b00010000")
        self.assertIsNone(self.c.at("textDocument/hover", 40, 3)["result"], "past the end")
        labels = [i["label"] for i in self.c.at("textDocument/completion", 3, 11)["result"]]
        for label in ("ADD", "MOVE [addr], rs", "rf", ".org", "loop", "cell"):
            self.assertIn(label, labels)
        # From the use of `loop` on line 3 to its definition, and back.
        definition = self.c.at("textDocument/definition", 3, 12)["result"]
        self.assertEqual(definition, {"uri": URI, "range": rng(1, 0, 1, 4)})
        refs = self.c.at("textDocument/references", 1, 1,
                         context={"includeDeclaration": True})["result"]
        self.assertEqual([r["range"] for r in refs], [rng(1, 0, 1, 4), rng(3, 11, 3, 15)])
        edit = self.c.at("textDocument/rename", 4, 12, newName="stop")["result"]
        self.assertEqual(edit["changes"][URI],
                         [{"range": rng(4, 0, 4, 4), "newText": "stop"},
                          {"range": rng(4, 12, 4, 16), "newText": "stop"}])
        self.assertEqual(self.c.at("textDocument/prepareRename", 3, 13)["result"],
                         rng(3, 11, 3, 15))
        self.assertIsNone(self.c.at("textDocument/prepareRename", 1, 13)["result"],
                          "a register is no name to rename")
        uses = self.c.at("textDocument/references", 0, 15,
                         context={"includeDeclaration": False})["result"]
        self.assertEqual([r["range"] for r in uses], [rng(2, 14, 2, 18)])
        refused = self.c.at("textDocument/rename", 4, 12, newName="r3")
        self.assertIn("register", refused["error"]["message"])
        symbols = self.c.request("textDocument/documentSymbol",
                                 {"textDocument": {"uri": URI}})["result"]
        self.assertEqual([(s["name"], s["detail"]) for s in symbols],
                         [("cell", "0x10"), ("loop", "0x00"), ("done", "0x03")])
        self.assertEqual(self.c.finish(), 0)

    def test_formatting_gives_the_listing_layout(self):
        self.c.open("loop: addi r1,r1,1 ; up\n  jz   loop\n")
        edits = self.c.request("textDocument/formatting", {
            "textDocument": {"uri": URI}, "options": {"tabSize": 8, "insertSpaces": True}})
        self.assertEqual(edits["result"], [{
            "range": rng(0, 0, 2, 0),
            "newText": "loop:   ADDI r1, r1, 1" + " " * 14 + "; up\n        JZ loop\n"}])
        self.c.change(2, {"text": edits["result"][0]["newText"]})
        again = self.c.request("textDocument/formatting", {
            "textDocument": {"uri": URI}, "options": {"tabSize": 8, "insertSpaces": True}})
        self.assertEqual(again["result"], [], "a formatted text stays as it is")
        # Closing clears the marks; the document is then unknown.
        self.c.notify("textDocument/didClose", {"textDocument": {"uri": URI}})
        self.assertEqual(self.c.read()["params"], {"uri": URI, "diagnostics": []})
        self.assertEqual(self.c.at("textDocument/hover", 0, 0)["error"]["code"], -32803)
        self.assertEqual(self.c.finish(), 0)


class Encodings(unittest.TestCase):
    def check(self, utf8, character):
        c = Client(utf8=utf8)
        try:
            self.assertEqual(c.init["result"]["capabilities"]["positionEncoding"],
                             "utf-8" if utf8 else "utf-16")
            c.open("; \U0001F600x\n")
            # The change lands on the 'x' after the emoji, counted in the client's units.
            d = c.change(2, {"range": rng(0, character, 0, character + 1), "text": "\n FOO x"})
            self.assertEqual([m["range"] for m in d["diagnostics"]], [rng(1, 1, 1, 4)])
            # A mark ends past the emoji, in the same units.
            d = c.change(3, {"range": rng(0, 0, 0, 0), "text": "JZ @\U0001F600"})
            self.assertEqual(d["diagnostics"][0]["range"],
                             rng(0, 4, 0, 8 if utf8 else 6))
            self.assertEqual(c.finish(), 0)
        finally:
            c.close()

    def test_utf16_by_default(self):
        self.check(False, 4)

    def test_utf8_when_offered(self):
        self.check(True, 6)


class Hints(unittest.TestCase):
    def test_inlay_hints_when_asked(self):
        c = Client(hints=True)
        try:
            self.assertIn("inlayHintProvider", c.init["result"]["capabilities"])
            c.open(PROGRAM)
            hints = c.request("textDocument/inlayHint", {
                "textDocument": {"uri": URI}, "range": rng(0, 0, 9, 0)})["result"]
            self.assertEqual([(h["position"], h["label"]) for h in hints][:2], [
                ({"line": 1, "character": 22}, "00: 11205"),
                ({"line": 2, "character": 23}, "01: 51001")])
            self.assertEqual(len(hints), 4)
            self.assertEqual(c.finish(), 0)
        finally:
            c.close()


INIT = {"jsonrpc": "2.0", "id": 1, "method": "initialize", "params": {"capabilities": {}}}
EXIT = {"jsonrpc": "2.0", "method": "exit"}


class Hostile(unittest.TestCase):
    def errors(self, messages):
        return [m["error"]["code"] for m in messages if "error" in m]

    def test_framing_faults_get_an_error_and_the_server_reads_on(self):
        for name, raw in [
            ("no header name", b"garbage\r\n\r\n"),
            ("no Content-Length", b"Content-Type: x\r\n\r\n"),
            ("length not a number", b"Content-Length: ten\r\n\r\n"),
            ("length past 64 bits", b"Content-Length: 99999999999999999999999\r\n\r\n"),
            ("body not JSON", b"Content-Length: 5\r\n\r\n{{{{{"),
            ("JSON but no request", frame([1, 2, 3])),
            ("header line too long", b"X-" + b"a" * 100000 + b": 1\r\n\r\n"),
        ]:
            with self.subTest(name):
                messages, status = run(raw + frame(INIT) + frame(EXIT))
                self.assertEqual(self.errors(messages)[0], -32700 if name != "JSON but no request"
                                 else -32600)
                self.assertIn("capabilities", messages[-1]["result"], "read on to initialize")
                self.assertEqual(status, 1, "exit without shutdown")

    def test_huge_length_is_skipped_not_read_into_memory(self):
        messages, status = run(b"Content-Length: 4000000000\r\n\r\n" + b"x" * 1000)
        self.assertEqual(self.errors(messages), [-32700])
        self.assertEqual(status, 1, "the end of input ends the server")

    def test_requests_out_of_order(self):
        hover = {"jsonrpc": "2.0", "id": 2, "method": "textDocument/hover", "params": {
            "textDocument": {"uri": URI}, "position": {"line": 0, "character": 0}}}
        shutdown = {"jsonrpc": "2.0", "id": 3, "method": "shutdown"}
        unknown = {"jsonrpc": "2.0", "id": 4, "method": "textDocument/colour"}
        messages, status = run(frame(hover) + frame(INIT) + frame(unknown) + frame(dict(INIT, id=5))
                               + frame(shutdown) + frame(dict(hover, id=6)) + frame(EXIT))
        self.assertEqual([(m["id"], m.get("error", {}).get("code")) for m in messages],
                         [(2, -32002), (1, None), (4, -32601), (5, -32600), (3, None),
                          (6, -32600)])
        self.assertEqual(status, 0)

    def test_bad_params_and_unknown_documents(self):
        hover = {"jsonrpc": "2.0", "id": 2, "method": "textDocument/hover", "params": {
            "textDocument": {"uri": URI}, "position": {"line": "x", "character": 0}}}
        other = dict(hover, id=3, params={"textDocument": {"uri": "file:///nowhere.s"},
                                          "position": {"line": 0, "character": 0}})
        bad_change = {"jsonrpc": "2.0", "method": "textDocument/didChange", "params": {
            "textDocument": {"uri": URI, "version": 2}, "contentChanges": [{"range": 5}]}}
        opened = {"jsonrpc": "2.0", "method": "textDocument/didOpen", "params": {"textDocument": {
            "uri": URI, "languageId": "isa4", "version": 1, "text": PROGRAM}}}
        huge = dict(hover, id=4, params={"textDocument": {"uri": URI},
                                         "position": {"line": 1e300, "character": -1}})
        past = dict(hover, id=5, params={"textDocument": {"uri": URI},
                                         "position": {"line": 2**62, "character": 2**62}})
        odd_version = {"jsonrpc": "2.0", "method": "textDocument/didChange", "params": {
            "textDocument": {"uri": URI, "version": 1e300}, "contentChanges": [{"text": "x"}]}}
        messages, _ = run(frame(INIT) + frame(opened) + frame(hover) + frame(other)
                          + frame(bad_change) + frame({"jsonrpc": "2.0", "method": "no/such"})
                          + frame(huge) + frame(past) + frame(odd_version) + frame(EXIT))
        self.assertEqual(self.errors(messages), [-32602, -32803, -32602])
        self.assertIsNone(messages[-2]["result"], "a position past the end has nothing")
        self.assertEqual(messages[-1]["params"]["version"], 2, "the version counts on")

    def test_end_of_input_mid_message(self):
        messages, status = run(frame(INIT) + b"Content-Length: 100\r\n\r\n{\"js")
        self.assertEqual(len(messages), 1)
        self.assertEqual(status, 1)


if __name__ == "__main__":
    unittest.main()
