"""The status page in a real browser (Debian's headless Chromium through Selenium)
against a stand-in frame loop: the page loads, shows the live picture and the health,
and a reset done with the token brings the weights shown back to their defaults."""

import shutil
import sys
import tempfile

from feeder_support import SKIP, TOKEN, Feeder, arguments, check, require_modules, token_file

require_modules("selenium")
from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

CHROMIUM = "/usr/bin/chromium"
DRIVER = "/usr/bin/chromedriver"


def browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + profile, "--window-size=1280,1600"):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})  # the console, for the checks that read it
    return webdriver.Chrome(service=Service(DRIVER), options=options)


def open_page(driver, wait, port, health_id, health):
    """Loads the page from the server on `port`, waits for the display's health, then
    for `health_id` to show `health` and for the live picture."""
    driver.get(f"http://127.0.0.1:{port}/")
    check(driver.title == "Velmora status", "the page loads")
    wait.until(lambda d: d.find_element(By.ID, "display").text == "ok")
    check(driver.find_element(By.ID, health_id).text == health, f"the health shows {health_id} {health}")
    wait.until(lambda d: d.execute_script(
        "const i = document.getElementById('frame'); return i.complete && i.naturalWidth === 1024;"))
    check(True, "the live picture shows, 1024 pixels wide")


def weights_shown(driver):
    # Read in one script: the page replaces the table every second, so elements found
    # one call earlier may be gone.
    return driver.execute_script("return [...document.querySelectorAll('#weights td.n')].map(c => c.textContent)")


def main():
    args = arguments()
    if shutil.which(CHROMIUM) is None or shutil.which(DRIVER) is None:
        print("skipped: chromium or chromium-driver is missing")
        sys.exit(SKIP)
    with tempfile.TemporaryDirectory() as folder:
        feeder = Feeder(args.feeder, "--token-file", token_file(folder))
        driver = browser(folder + "/profile")
        try:
            wait = WebDriverWait(driver, 20)
            open_page(driver, wait, feeder.port, "midi", "ok")

            feeder.send("key weight2+", "key weight2+", "health midi 0")
            wait.until(lambda d: weights_shown(d)[:2] == ["6", "8"])
            wait.until(lambda d: d.find_element(By.ID, "midi").text == "fault")
            check(True, "a changed weight and a MIDI fault show")

            check(driver.find_element(By.ID, "actions").is_displayed(), "the actions are offered")
            driver.find_element(By.ID, "token").send_keys("not-the-token-at-all")
            driver.find_element(By.CSS_SELECTOR, "button[data-path='/reset']").click()
            wait.until(lambda d: "wrong token" in d.find_element(By.ID, "message").text)
            check(weights_shown(driver)[1] == "8", "a wrong token changes nothing")
            token = driver.find_element(By.ID, "token")
            token.clear()
            token.send_keys(TOKEN)
            driver.find_element(By.CSS_SELECTOR, "button[data-path='/reset']").click()
            wait.until(lambda d: d.find_element(By.ID, "message").text.endswith("done"))
            wait.until(lambda d: weights_shown(d) == ["6"] * 6)
            check(True, "a reset with the token brings the weights shown back to their defaults")
            driver.save_screenshot(folder + "/page.png")
        finally:
            driver.quit()
            feeder.quit()


if __name__ == "__main__":
    main()
