#!/usr/bin/env python3
"""isa4 debug in a pseudo-terminal, as a student types into it: the prompt, Enter
repeating the last step, the line history (the up arrow), colour only with NO_COLOR
unset, and end of input ending the session with status 0.
Usage: debug_terminal_test.py ISA4 SOURCE_DIR"""
import os
import pty
import select
import subprocess
import sys
import tempfile
import time

isa4, root = sys.argv[1], sys.argv[2]
program = os.path.join(root, "examples", "count.s")
faults = []
# Built without libedit, isa4 reads plain lines: no history to bring back.
editing = "libedit" in subprocess.run(["ldd", isa4], capture_output=True, text=True).stdout
if not editing:
    print("isa4 is built without libedit: the history check is skipped")


def check(ok, what, seen=""):
    if not ok:
        faults.append(what + (": " + repr(seen[-400:]) if seen else ""))


class Terminal:
    def __init__(self, env):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.execve(isa4, [isa4, "debug", program], env)
        self.seen = b""

    def until(self, text, timeout=30.0):
        """Reads until `text` has come (after what was read before); the text read."""
        start = len(self.seen)
        end = time.monotonic() + timeout
        while text.encode() not in self.seen[start:]:
            left = end - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                break
            try:
                chunk = os.read(self.fd, 4096)
            except OSError:
                break
            if not chunk:
                break
            self.seen += chunk
        return self.seen[start:].decode("utf-8", "replace")

    def type(self, keys, then="(isa4) "):
        # The line editor takes the terminal a moment after its prompt shows: keys typed
        # ahead of it are the terminal's own, echoed as ^[[A, as they would be for a user.
        time.sleep(0.3)
        os.write(self.fd, keys.encode())
        return self.until(then)

    def finish(self):
        time.sleep(0.3)
        try:
            os.write(self.fd, b"\x04")  # end of input, unless the session has ended
        except OSError:
            pass
        self.until("\0", timeout=5)  # the rest, up to the end
        # A session that does not end is a fault of its own, not a test that hangs.
        end = time.monotonic() + 30
        pid, status = os.waitpid(self.pid, os.WNOHANG)
        while pid == 0 and time.monotonic() < end:
            time.sleep(0.05)
            pid, status = os.waitpid(self.pid, os.WNOHANG)
        if pid == 0:
            os.kill(self.pid, 9)
            _, status = os.waitpid(self.pid, 0)
            check(False, "the session did not end", self.seen.decode("utf-8", "replace"))
        os.close(self.fd)
        return os.waitstatus_to_exitcode(status)


with tempfile.TemporaryDirectory() as home:
    env = {"PATH": "/usr/bin:/bin", "HOME": home, "TERM": "xterm", "LANG": "C.UTF-8"}
    t = Terminal(env)
    first = t.until("(isa4) ")
    check("(isa4) " in first, "no prompt", first)
    check("\x1b[36mstep 0, next 00" in first, "the where line is not in colour", first)
    out = t.type("step\r")
    check("     1  00  11101" in out, "step did not run the first word", out)
    out = t.type("\r")
    check("     2  01  50001" in out, "Enter did not repeat the step", out)
    out = t.type("print r1\r")
    check("r1 = 01" in out, "print r1", out)
    out = t.type("step\r")
    out = t.type("\x1b[A\x1b[A\r")  # the up arrow twice: print r1 again
    check(not editing or "r1 = 01" in out, "the history did not bring print r1 back", out)
    out = t.type("back 3\r")
    check("step 0, next 00" in out, "back 3 did not return to the start", out)
    out = t.type("frobnicate\r")
    check("frobnicate: error: no such command" in out, "no message for an unknown command", out)
    check(t.finish() == 0, "end of input did not end the session with status 0")

    env["NO_COLOR"] = "1"
    t = Terminal(env)
    first = t.until("(isa4) ")
    out = first + t.type("c\r")
    check("stopped after 59 steps: halting JZ at 06" in out, "continue did not halt", out)
    check("\x1b[36m" not in out and "\x1b[1;33m" not in out, "colour with NO_COLOR set", out)
    out = t.type("quit\r", then="\0")
    check(t.finish() == 0, "quit did not end the session with status 0")

for fault in faults:
    print("FAIL:", fault)
print(f"{len(faults)} faults" if faults else "the terminal session works")
sys.exit(1 if faults else 0)
