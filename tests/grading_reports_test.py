#!/usr/bin/python3
"""Grades examples/grading with `isa4 test` and hands every report to the tool that
reads it: prove and Perl's TAP::Parser for TAP, junitparser and xmllint for JUnit XML,
jsonschema (against Gradescope's and PrairieLearn's documented results.json), Python's
csv module, and
cmark-gfm (GitHub's own Markdown renderer) for the Markdown summary.
Each sample submission must get its verdict in every report, and file names full of
markup, quotes and control bytes must not break any of them.

Usage: grading_reports_test.py ISA4 SOURCE_DIR
"""
import csv
import html.parser
import json
import os
import shutil
import subprocess
import sys
import tempfile

import jsonschema
import junitparser
import xml.etree.ElementTree as ET

ISA4, SOURCE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
EXAMPLE = os.path.join(SOURCE, "examples", "grading")
SUITE = os.path.join(EXAMPLE, "multiply.suite")
SCHEMA = json.load(open(os.path.join(SOURCE, "tests", "gradescope_results.schema.json")))
PL_SCHEMA = json.load(open(os.path.join(SOURCE, "tests", "prairielearn_results.schema.json")))
CASES = ["six times seven", "zero times five", "five times zero",
         "the product wraps at 256", "the inputs are left alone", "fast enough"]
POINTS = [2, 1, 1, 1, 1, 2]

# The result of each case for each sample, in case order.
EXPECTED = {
    "ada-correct.s": ["pass"] * 6,
    "ben-wrong.s": ["fail"] * 6,
    "cleo-slow.s": ["pass"] * 5 + ["fail"],
    "dan-never-halts.s": ["did not halt"] * 6,
    "eve-broken.s": ["error"] * 6,
}

# Prints one line per test point: ok or not ok, the description, and the YAML block's
# result; then every parse error. Exits 1 when the TAP does not parse cleanly.
TAP_READER = r"""
use TAP::Parser;
local $/; my $tap = <STDIN>;
my $p = TAP::Parser->new({tap => $tap});
my $last;
while (my $r = $p->next) {
    if ($r->is_test) { print "\n" if defined $last; $last = $r;
                       print(($r->is_ok ? "ok" : "not ok"), "\t", $r->description); }
    elsif ($r->is_yaml) { print "\t", $r->data->{result}, "\t", $r->data->{message} =~ tr/\n//; }
}
print "\n";
print STDERR "parse error: $_\n" for $p->parse_errors;
exit($p->parse_errors || !$p->is_good_plan ? 1 : 0);
"""

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def isa4(*args, cwd=None):
    return subprocess.run([ISA4, "test", *args], capture_output=True, cwd=cwd)


def read_tap(text):
    run = subprocess.run(["perl", "-e", TAP_READER], input=text, capture_output=True)
    check(run.returncode == 0, "TAP::Parser reads the TAP: " + run.stderr.decode())
    return [line.split("\t") for line in run.stdout.decode().splitlines()]


def junit_results(path):
    check(subprocess.run(["xmllint", "--noout", path]).returncode == 0, "xmllint reads " + path)
    results = {}
    for suite in junitparser.JUnitXml.fromfile(path):
        kinds = []
        for case in suite:
            kind = "pass"
            for result in case.result:
                kind = "error" if isinstance(result, junitparser.Error) else result.type
            kinds.append((case.classname, case.name, kind))
        results[suite.name] = kinds
    return results


def classname(path):
    return path.replace(".", "_")


def junit_files(path):
    return [(case.get("classname"), case.get("file")) for case in ET.parse(path).iter("testcase")]


class Tables(html.parser.HTMLParser):
    """The cells of every table in cmark-gfm's HTML, as text: [[row, ...], ...]."""

    def __init__(self):
        super().__init__()
        self.tables, self.cell = [], None

    def handle_starttag(self, tag, attrs):
        if tag == "table":
            self.tables.append([])
        elif tag == "tr":
            self.tables[-1].append([])
        elif tag in ("td", "th"):
            self.cell = ""
        elif tag == "br" and self.cell is not None:
            self.cell += "\n"
        elif self.cell is not None:
            self.cell += "<" + tag + ">"   # markup that should have been escaped

    def handle_endtag(self, tag):
        if tag in ("td", "th"):
            self.tables[-1][-1].append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def markdown_tables(path):
    run = subprocess.run(["cmark-gfm", "-e", "table", path], capture_output=True)
    check(run.returncode == 0, "cmark-gfm renders " + path)
    tables = Tables()
    tables.feed(run.stdout.decode())
    for table in tables.tables:
        check(len(set(len(row) for row in table)) == 1, "every row has every cell: %r" % table)
    return tables.tables


def meets_schema(report, what):
    try:
        jsonschema.validate(report, SCHEMA)
    except jsonschema.ValidationError as e:
        check(False, what + " meets the schema: " + e.message)


def check_gradescope(path, verdicts):
    report = json.load(open(path, encoding="utf-8"))
    meets_schema(report, path)
    earned = [p if v == "pass" else 0 for p, v in zip(POINTS, verdicts)]
    check(report["score"] == sum(earned), "Gradescope score")
    check([t["score"] for t in report["tests"]] == earned, "Gradescope test scores")
    check([t["max_score"] for t in report["tests"]] == POINTS, "Gradescope max scores")
    check([t["name"] for t in report["tests"]] == CASES, "Gradescope test names")
    check([t["visibility"] for t in report["tests"]] ==
          ["visible", "visible", "hidden", "hidden", "hidden", "visible"], "visibility")
    check([t["status"] for t in report["tests"]] ==
          ["passed" if v == "pass" else "failed" for v in verdicts], "Gradescope status")
    # What students see above the tests counts the visible cases (1, 2 and 6) only.
    seen = [v for i, v in enumerate(verdicts) if i in (0, 1, 5)]
    passed = sum(v == "pass" for v in seen)
    earned = sum(p for i, (p, v) in enumerate(zip(POINTS, verdicts)) if i in (0, 1, 5) and v == "pass")
    first = report["output"].split("\n")[0]
    check(first.endswith(": %d of 3 visible cases passed, %d of their 5 points; the other cases "
                         "are never shown" % (passed, earned)), "Gradescope output: " + first)
    return report


with tempfile.TemporaryDirectory() as scratch:
    # The example, every report at once.
    samples = sorted(EXPECTED)
    paths = [os.path.join(EXAMPLE, "submissions", s) for s in samples]
    junit, table_csv = os.path.join(scratch, "junit.xml"), os.path.join(scratch, "grades.csv")
    markdown = os.path.join(scratch, "summary.md")
    run = isa4(SUITE, *paths, "--junit", junit, "--csv", table_csv, "--markdown", markdown)
    check(run.returncode == 1, "a failing batch exits 1")

    rows = list(csv.reader(open(table_csv, newline="", encoding="utf-8")))
    check(rows[0] == ["program", "case", "visibility", "result", "steps", "points",
                      "max_points"], "CSV head")
    for sample, path in zip(samples, paths):
        mine = [r for r in rows[1:] if r[0] == path]
        check([r[1] for r in mine] == CASES, sample + ": CSV cases")
        check([r[2] for r in mine] == ["visible"] * 2 + ["hidden"] * 3 + ["visible"],
              sample + ": CSV visibility")
        check([r[3] for r in mine] == EXPECTED[sample], sample + ": CSV results")
        check(all((r[4] == "") == (sample == "eve-broken.s") for r in mine), sample + ": steps")

    kinds = junit_results(junit)
    for sample, path in zip(samples, paths):
        check(kinds[path] == [(classname(path), c, v) for c, v in zip(CASES, EXPECTED[sample])],
              sample + ": JUnit results " + repr(kinds.get(path)))
    check(all("." not in c and f in paths for c, f in junit_files(junit)),
          "JUnit classnames without dots, the path in `file`")

    # The Markdown summary as GitHub renders it: the programs, then a table per program
    # whose hidden cases are counted, never named.
    tables = markdown_tables(markdown)
    check(len(tables) == 5 and [r[0] for r in tables[0][1:]] == paths, "Markdown programs")
    for sample, table in zip(samples[:4], tables[1:]):
        names = [r[1] for r in table[1:]]
        check(names == CASES[:2] + ["hidden case 3", "hidden case 4", "hidden case 5"] +
              CASES[5:], sample + ": Markdown cases " + repr(names))
        check([r[2] for r in table[1:]] == EXPECTED[sample], sample + ": Markdown results")
    text = open(markdown, encoding="utf-8").read()
    check(all(c not in text for c in CASES[2:5]), "no hidden case named in the Markdown")

    run = subprocess.run(["prove", "-e", ISA4 + " test --tap " + SUITE, *paths],
                         capture_output=True)
    check(run.returncode == 1, "prove fails the batch")
    out = run.stdout.decode()
    check("ada-correct.s ...... ok" in out, "prove passes the correct sample")
    check("Failed 1/6 subtests" in out and "Files=5, Tests=30" in out, "prove's summary")
    points = read_tap(isa4("--tap", SUITE, *paths).stdout)
    check(len(points) == 30, "one TAP point per program and case")
    for i, sample in enumerate(samples):
        for j, (case, verdict) in enumerate(zip(CASES, EXPECTED[sample])):
            point = points[6 * i + j]
            check(point[0] == ("ok" if verdict == "pass" else "not ok"), sample + " TAP status")
            check(point[1] == "- " + paths[i] + ": " + case, "TAP description " + point[1])
            if verdict != "pass":
                check(point[2] == verdict, sample + ": TAP result " + repr(point))

    for sample, path in zip(samples, paths):
        results = os.path.join(scratch, "pl.json")
        isa4(SUITE, path, "--prairielearn", results)
        report = json.load(open(results, encoding="utf-8"))
        try:
            jsonschema.validate(report, PL_SCHEMA)
        except jsonschema.ValidationError as e:
            check(False, sample + ": PrairieLearn results.json meets the schema: " + e.message)
        if sample == "eve-broken.s":
            check(report["gradable"] is False and "score" not in report and
                  any("unknown instruction 'MUL'" in e for e in report["format_errors"]),
                  "PrairieLearn: a program that does not assemble is not gradable")
            continue
        earned = sum(p for p, v in zip(POINTS, EXPECTED[sample]) if v == "pass")
        check(abs(report["score"] - earned / sum(POINTS)) < 1e-9, sample + ": PrairieLearn score")
        shown = [0, 1, 5]
        check([t["name"] for t in report["tests"]] == [CASES[i] for i in shown],
              sample + ": PrairieLearn names the visible cases only")
        check([t["points"] for t in report["tests"]] ==
              [POINTS[i] if EXPECTED[sample][i] == "pass" else 0 for i in shown],
              sample + ": PrairieLearn points")
        check(all(CASES[i] not in json.dumps(report) for i in (2, 3, 4)),
              sample + ": no hidden case named in PrairieLearn's results")

    for sample, path in zip(samples, paths):
        results = os.path.join(scratch, "results.json")
        isa4(SUITE, path, "--gradescope", results)
        report = check_gradescope(results, EXPECTED[sample])
        if sample == "eve-broken.s":
            check("unknown instruction 'MUL'" in report["output"], "assembler messages shown")

    # Hostile file names: markup, quotes, a comment mark, a formula, a line end, an
    # escape and a byte that is not UTF-8.
    hostile = [b'<b a="1">&amp;\'x\'.s', b'=1+1 # not, a "directive".s', b"line\nend\x1b\xff.s"]
    here = os.path.join(scratch, "h")
    os.mkdir(here)
    for name, sample in zip(hostile, ["ada-correct.s", "ben-wrong.s", "ada-correct.s"]):
        shutil.copy(os.path.join(EXAMPLE, "submissions", sample),
                    os.path.join(here.encode(), name))

    def isa4_here(*args):
        return subprocess.run([ISA4, "test", SUITE, *args], capture_output=True, cwd=here)

    run = isa4_here(*hostile, "--junit", "j.xml", "--csv", "g.csv", "--markdown", "m.md")
    check(run.returncode == 1, "hostile names grade")
    kinds = junit_results(os.path.join(here, "j.xml"))
    check(len(kinds) == 3 and sum(k == "pass" for s in kinds.values() for _, _, k in s) == 12,
          "JUnit with hostile names: " + repr(kinds))
    check('<b a="1">&amp;\'x\'.s' in kinds, "markup in a name survives as text")
    check("line\\x0aend\\x1b\\xff.s" in kinds, "control and stray bytes escaped")
    rows = list(csv.reader(open(os.path.join(here, "g.csv"), newline="", encoding="utf-8")))
    check(len(rows) == 1 + 18 and all(len(r) == 7 for r in rows), "CSV rows stay whole")
    tables = markdown_tables(os.path.join(here, "m.md"))
    check([r[0] for r in tables[0][1:]] == ['<b a="1">&amp;\'x\'.s', '=1+1 # not, a "directive".s',
                                           "line\\x0aend\\x1b\\xff.s"],
          "Markdown cells hold the names as text: %r" % tables[0])
    check(rows[7][0] == "'=1+1 # not, a \"directive\".s", "CSV formula defused: " + rows[7][0])
    points = read_tap(isa4_here("--tap", *hostile).stdout)
    check(len(points) == 18, "TAP with hostile names has every point")
    check(points[6][1].startswith("- =1+1 \\# not"), "'#' escaped in TAP " + points[6][1])
    check(points[12][1].startswith("- line\\x0aend\\x1b\\xff.s"), "TAP " + points[12][1])
    isa4_here(hostile[2], "--gradescope", "r.json")
    check_gradescope(os.path.join(here, "r.json"), ["pass"] * 6)

    # Exit statuses, and reports that would overwrite an input.
    ada = paths[0]
    check(isa4(SUITE, ada).returncode == 0, "a batch that passes exits 0")
    broken = os.path.join(scratch, "broken.suite")
    open(broken, "w").write("case a\n  expect r1 = 1\n  steps <= many\n")
    run = isa4(broken, ada, "--csv", os.path.join(scratch, "none.csv"))
    check(run.returncode == 2 and run.stdout == b"", "a broken suite exits 2 and runs nothing")
    check(b"broken.suite:3:12: error: expected a number, found 'many'" in run.stderr,
          "a suite mistake names its place: " + run.stderr.decode())
    check(not os.path.exists(os.path.join(scratch, "none.csv")), "no report from a broken suite")
    copy = os.path.join(scratch, "copy.suite")
    shutil.copy(SUITE, copy)
    for args in (["--junit", copy], ["--csv", ada], ["--gradescope", ada]):
        run = isa4(copy, ada, *args)
        check(run.returncode == 2 and b"same file" in run.stderr, "refused: " + repr(args))
    check(open(copy).read() == open(SUITE).read(), "the suite is left whole")
    check(isa4(SUITE, ada, ada, "--gradescope", "r.json", cwd=scratch).returncode == 2,
          "--gradescope takes one program")
    check(isa4(SUITE, ada, "--csv", "x", "--junit", "x", cwd=scratch).returncode == 2,
          "two reports into one file")
    run = isa4(SUITE, ada, "--junit", os.path.join(scratch, "no", "such", "dir.xml"))
    check(run.returncode == 1 and b"cannot write the report" in run.stderr, "unwritable report")
    fifo = os.path.join(scratch, "fifo.s")
    os.mkfifo(fifo)
    run = subprocess.run([ISA4, "test", SUITE, fifo, ada], capture_output=True, timeout=20)
    check(run.returncode == 1 and b"Not a regular file" in run.stdout and
          b"6/6" in run.stdout, "a FIFO fails its cases and the batch goes on")

    # The assembler's warnings reach the student in every report, read by their tools.
    warned = os.path.join(scratch, "warned.s")
    open(warned, "w").write(open(ada).read().replace("ADDI r0, r0, 0", "MOVE r0, r1")
                            .replace("        JZ   done", "        JZ   next\nnext:   JZ   done"))
    run = isa4(SUITE, warned, "--junit", junit, "--gradescope", os.path.join(scratch, "w.json"))
    table = run.stdout.decode()
    check(table.count("warning: MOVE never writes r0") == 2, "warnings under the table")
    check("warning: JZ to the next word is a halting JZ" in table, "the halting-JZ warning")
    tap = isa4("--tap", SUITE, warned).stdout
    check(len(read_tap(tap)) == 6 and tap.count(b"\n# ") == 3, "warnings as TAP diagnostics")
    junit_results(junit)
    out = "".join(e.text or "" for e in ET.parse(junit).iter("system-out"))
    check(out.count("warning:") == 3, "warnings in JUnit system-out: " + repr(out))
    report = json.load(open(os.path.join(scratch, "w.json"), encoding="utf-8"))
    jsonschema.validate(report, SCHEMA)
    check(report["output"].count("warning:") == 3, "warnings in the Gradescope output")

    # Code points that XML forbids, C1 controls and bidirectional overrides, in case and
    # program names: every report shows them escaped, and stays readable by its tool.
    odd = os.path.join(scratch, "odd")
    os.mkdir(odd)
    raw = ["\ufffe", "\uffff", "\u202e", "\u0085", "\u2028", "\u2066"]
    open(os.path.join(odd, "t.suite"), "w", encoding="utf-8").write(
        "".join("case name %d %s end\n  expect r0 = 0\n" % (i, c) for i, c in enumerate(raw)))
    program = "p\u202e\uffff.s"
    shutil.copy(ada, os.path.join(odd, program))
    run = subprocess.run([ISA4, "test", "t.suite", program, "--junit", "j.xml", "--csv", "c.csv",
                          "--markdown", "m.md", "--gradescope", "r.json", "--feedback", "fb"],
                         capture_output=True, cwd=odd)
    check(run.returncode == 0, "odd names grade: " + run.stderr.decode())
    junit_results(os.path.join(odd, "j.xml"))
    tap = subprocess.run([ISA4, "test", "--tap", "t.suite", program], capture_output=True,
                         cwd=odd).stdout
    check(len(read_tap(tap)) == 6, "TAP with odd names has every point")
    meets_schema(json.load(open(os.path.join(odd, "r.json"), encoding="utf-8")), "odd results.json")
    markdown_tables(os.path.join(odd, "m.md"))
    for name, text in [("table", run.stdout), ("TAP", tap)] + [
            (f, open(os.path.join(odd, f), "rb").read()) for f in ("j.xml", "c.csv", "m.md", "r.json")] + [
            (f, open(os.path.join(odd, "fb", f), "rb").read()) for f in os.listdir(os.path.join(odd, "fb"))]:
        text = text.decode("utf-8")
        check(not any(c in text for c in raw), name + " holds a raw code point of " + repr(raw))
    check("p\\u{202e}\\u{ffff}.s" in run.stdout.decode() and
          "name 0 \\u{fffe} end" in run.stdout.decode(), "escapes shown: " + run.stdout.decode())

    # --submission-dir: the one program in a folder, hidden files and other files skipped.
    sub = os.path.join(scratch, "submission")
    os.makedirs(os.path.join(sub, "src"))
    os.makedirs(os.path.join(sub, ".git"))
    for where in (".hidden.s", ".git/old.s", "README.txt"):
        open(os.path.join(sub, where), "w").write("not a program\n")
    results = os.path.join(scratch, "sub.json")
    run = isa4(SUITE, "--submission-dir", sub, "--gradescope", results)
    report = json.load(open(results, encoding="utf-8"))
    meets_schema(report, "an empty submission's results.json")
    check(run.returncode == 1 and report["score"] == 0 and report["tests"] == [] and
          "No program was found" in report["output"], "no program: " + repr(report))
    # A source named as the editors' set-ups name them is found too.
    shutil.copy(paths[2], os.path.join(sub, "src", "multiply.isa4"))
    run = isa4(SUITE, "--submission-dir", sub, "--gradescope", results)
    check(run.returncode == 1, "the one .isa4 program graded")
    check_gradescope(results, EXPECTED["cleo-slow.s"])
    os.remove(os.path.join(sub, "src", "multiply.isa4"))
    shutil.copy(paths[2], os.path.join(sub, "src", "Multiply.S"))
    check_gradescope_run = isa4(SUITE, "--submission-dir", sub, "--gradescope", results)
    check(check_gradescope_run.returncode == 1, "the one program graded")
    check_gradescope(results, EXPECTED["cleo-slow.s"])
    shutil.copy(ada, os.path.join(sub, "other.asm"))
    run = isa4(SUITE, "--submission-dir", sub, "--gradescope", results)
    report = json.load(open(results, encoding="utf-8"))
    meets_schema(report, "a two-program submission's results.json")
    check(run.returncode == 1 and report["score"] == 0 and "other.asm" in report["output"] and
          "Multiply.S" in report["output"], "several programs listed: " + repr(report))
    check(isa4(SUITE, ada, "--submission-dir", sub).returncode == 2, "programs or a folder")
    run = isa4(SUITE, "--submission-dir", os.path.join(scratch, "none"), "--gradescope", results)
    report = json.load(open(results, encoding="utf-8"))
    meets_schema(report, "a missing submission's results.json")
    check(run.returncode == 2 and "No such file or directory" in report["output"],
          "a missing folder: " + repr(report))

    # A broken suite still leaves a results.json, which does not quote the suite.
    pl = os.path.join(scratch, "pl-broken.json")
    run = isa4(broken, ada, "--gradescope", results, "--prairielearn", pl)
    report = json.load(open(pl, encoding="utf-8"))
    jsonschema.validate(report, PL_SCHEMA)
    check(report["gradable"] is False and "many" not in json.dumps(report),
          "PrairieLearn, broken suite: " + repr(report))
    report = json.load(open(results, encoding="utf-8"))
    meets_schema(report, "a broken suite's results.json")
    check(run.returncode == 2 and report["score"] == 0 and "many" not in report["output"],
          "broken suite: " + repr(report))

    # Each visibility reaches Gradescope, and the output says when the others show.
    shown = os.path.join(scratch, "shown.suite")
    kinds = ["visible", "hidden", "after_due_date", "after_published"]
    for used, later in [(kinds[:3], "shown after the due date or never shown"),
                        (kinds[2:], "shown after the due date or shown once the grades are published"),
                        (kinds[2:3], "shown after the due date")]:
        open(shown, "w").write("".join("case %s\n  expect r0 = 0\n  %s\n" % (k, k) for k in used))
        isa4(shown, ada, "--gradescope", results)
        report = json.load(open(results, encoding="utf-8"))
        meets_schema(report, "results.json of %r" % used)
        check([t["visibility"] for t in report["tests"]] == used, "visibility of " + repr(used))
        check(report["output"].split("\n")[0].endswith(later), "output of %r: %s" % (used, report["output"]))

    # Totals up to the suite's maximum of 1,000,000,000 points add up; one case more is
    # refused rather than wrapped.
    wide = os.path.join(scratch, "wide.suite")
    for count, status, text in [(1000, 0, "1000 cases, 1000000000 points"),
                                (1001, 2, "more than the 1000000000 a suite may give")]:
        open(wide, "w").write("".join("case c%d\n  expect r0 = 0\n  points 1000000\n" % i
                                      for i in range(count)))
        run = isa4(wide, ada, "--gradescope", results)
        shown = (run.stdout + run.stderr).decode()
        check(run.returncode == status and text in shown, "total of %d cases: %s" % (count, shown[-200:]))
        score = json.load(open(results))["score"]
        check(score == (1000000000 if status == 0 else 0), "Gradescope score of %d cases" % count)

    # A case that checks many cells keeps ten problems and counts the rest.
    many = os.path.join(scratch, "many.suite")
    open(many, "w").write("case many\n  expect [0x10..0x2F] = 1\n")
    run = isa4(many, ada)
    out = run.stdout.decode()
    check(out.count("expected 01") == 10 and "... and 22 more problems" in out,
          "problems capped: " + out)

print("%d failures" % len(failures) if failures else "all reports read back")
sys.exit(1 if failures else 0)
