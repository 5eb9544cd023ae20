"""Debian's Chromium, headless, through chromium-driver: no display, no GPU, no network
(every host unknown, every request sent to a closed port), and a profile and home of its
own under `work`, so that it runs as any user. Used by the browser test and
scripts/bench-trace.sh."""
import os

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service


def start_chromium(work, logs=False):
    home = os.path.join(work, "home")
    os.makedirs(home, exist_ok=True)
    options = Options()
    options.binary_location = "/usr/bin/chromium"
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--window-size=1280,1000", "--user-data-dir=" + os.path.join(work, "profile"),
                "--proxy-server=127.0.0.1:9", "--host-resolver-rules=MAP * ~NOTFOUND"):
        options.add_argument(arg)
    if logs:
        options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home, XDG_CACHE_HOME=home)
    env.pop("DISPLAY", None)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver", env=env), options=options)
