"""The status page of the real exhibit in a real browser (Debian's headless Chromium
through Selenium): it loads, shows the live picture and the health, the weights the
visitors' keys set, and a reset done there with the token brings them back to the
exhibit's defaults. With --screenshot FILE it also saves the page as the README shows it
(docs/status-page.png, made with --usage-db naming a file where an installed exhibit
keeps it, in a private mount namespace:
  unshare -m sh -c 'mount -t tmpfs none /home && mkdir -p /home/exhibit/.local/state/velmora &&
    /usr/bin/python3 tests/e2e/status_page_run_test.py --velmora build/shell/velmora --screenshot docs/status-page.png
    --usage-db /home/exhibit/.local/state/velmora/usage.sqlite3')."""

import argparse
import os
import shutil
import sys
import tempfile

from exhibit_support import Exhibit
from feeder_support import SKIP, TOKEN, check, token_file

from status_page_browser_test import CHROMIUM, DRIVER, browser, open_page, weights_shown  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

DEFAULTS = ["6", "6", "6", "7", "6", "6"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True, type=os.path.abspath)
    parser.add_argument("--screenshot", help="save the page here (PNG)")
    parser.add_argument("--usage-db", help="the usage file (a temporary one unless given)")
    options = parser.parse_args()
    if shutil.which(CHROMIUM) is None or shutil.which(DRIVER) is None:
        print("skipped: chromium or chromium-driver is missing")
        sys.exit(SKIP)
    with tempfile.TemporaryDirectory() as folder:
        exhibit = Exhibit(options.velmora, folder, "--usage-db", options.usage_db or os.path.join(folder, "usage.sqlite3"),
                          "--status-token-file", token_file(folder), "--keys", "20:2 25:2 30:6", "--frames", "50000")
        driver = browser(folder + "/profile")
        try:
            wait = WebDriverWait(driver, 30)
            open_page(driver, wait, exhibit.port, "panel", "fault")  # the missing panel
            wait.until(lambda d: weights_shown(d) == ["6", "8", "6", "7", "6", "7"])
            check(True, "the weights the keys set show")

            driver.find_element(By.ID, "token").send_keys(TOKEN)
            driver.find_element(By.CSS_SELECTOR, "button[data-path='/reset']").click()
            wait.until(lambda d: d.find_element(By.ID, "message").text.endswith("done"))
            wait.until(lambda d: weights_shown(d) == DEFAULTS)
            check(True, "a reset with the token brings the exhibit's default weights back")
            if options.screenshot:
                driver.set_window_size(1100, 1500)
                driver.save_screenshot(options.screenshot)
        finally:
            driver.quit()
            exhibit.stop()


if __name__ == "__main__":
    main()
