"""axe-core inside a page that Selenium has open: the WCAG 2.0, 2.1 and 2.2 rules of
levels A and AA, and what a page must keep at small widths.

axe-core comes from npm, pinned by tests/a11y/package-lock.json and installed by
scripts/npm-tools.sh, which prints the path of axe.min.js. The pages forbid every script
but their own inline ones (their Content-Security-Policy), so axe's source is run
through the DevTools protocol, which that policy does not govern.
"""
import os
import subprocess

WCAG_TAGS = ["wcag2a", "wcag2aa", "wcag21a", "wcag21aa", "wcag22aa"]
_source = None


def axe_source(repository):
    global _source
    if _source is None:
        path = subprocess.run([os.path.join(repository, "scripts", "npm-tools.sh")], check=True,
                              capture_output=True, text=True).stdout.strip()
        with open(path, encoding="utf-8") as f:
            _source = f.read()
    return _source


def axe_violations(driver, repository):
    """Every violation axe finds in the page as one line each: rule, impact, the elements."""
    driver.execute_cdp_cmd("Runtime.evaluate", {"expression": axe_source(repository)})
    result = driver.execute_async_script(
        "const done = arguments[arguments.length - 1];"
        "axe.run(document, {runOnly: {type: 'tag', values: arguments[0]}, resultTypes: ['violations']})"
        ".then((r) => done(r.violations.map((v) => [v.id, v.impact, v.help,"
        " v.nodes.slice(0, 5).map((n) => n.target.join(' ') + ': ' + n.failureSummary)])),"
        " (e) => done([['axe failed', 'critical', String(e), []]]));", WCAG_TAGS)
    return ["%s (%s) %s: %s" % (rule, impact, help_text, "; ".join(nodes))
            for rule, impact, help_text, nodes in result]


def set_width(driver, css_pixels, height=800):
    """A viewport `css_pixels` wide: 640 is a 1280-pixel window at 200 % zoom, 320 the
    narrowest width a page must reflow to without scrolling in two directions."""
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": css_pixels, "height": height, "deviceScaleFactor": 1, "mobile": False})


def clear_width(driver):
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})


# What does not fit the width: the page scrolling sideways, or a text cut off by a box
# that neither shows nor scrolls what overflows it. A table or listing in a box of its own
# that scrolls sideways is allowed: reflow exempts two-dimensional content.
LOST = """
const out = [];
const doc = document.scrollingElement;
if (doc.scrollWidth > doc.clientWidth + 1) out.push("the page scrolls sideways: " + doc.scrollWidth + " > " + doc.clientWidth);
for (const e of document.body.querySelectorAll("*")) {
  const s = getComputedStyle(e);
  if (s.display === "none" || s.visibility === "hidden" || e.closest(".visually-hidden")) continue;
  if ((s.overflowX === "hidden" || s.overflowX === "clip") && e.scrollWidth > e.clientWidth + 1)
    out.push("cut off sideways: " + e.tagName + "." + e.className);
  if ((s.overflowY === "hidden" || s.overflowY === "clip") && e.scrollHeight > e.clientHeight + 1)
    out.push("cut off below: " + e.tagName + "." + e.className);
}
return out;
"""


def lost_content(driver):
    return driver.execute_script(LOST)
