#!/usr/bin/env python3
"""The in-house server's pages in a real browser: Debian's headless Chromium, driven through
chromedriver by Selenium, signs in, uploads two photos through the form, sees two thumbnails, opens
one, downloads it, deletes it after the confirmation and signs out. Writes a screenshot of the
gallery after the upload.

    gallery_test.py --server PATH/parvault-server --screenshot OUT.png

Exits 77 (skipped) when Chromium, chromedriver or Selenium is missing, unless
WHARFLING_REQUIRE_BROWSER is set; then that is a failure.
"""

import argparse
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import make_jpeg  # noqa: E402

sys.stdout.reconfigure(line_buffering=True)  # steps and failures in the order they happen

SKIPPED = 77
CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
WAIT_SECONDS = 20  # any one page or element
WHOLE_RUN_SECONDS = 150  # below the test's own timeout, so that cleanup still runs
SITE = "/ParvaultAsp2"
ACCOUNT = ("demo", "demo pass")
# One name outside ASCII, so that the download's file name is checked the hard way.
PHOTOS = (("beach.jpg", "beach"), ("夕焼けの港.jpg", "harbour"))


class Failure(Exception):
    pass


def missing_browser():
    for program in (CHROMIUM, CHROMEDRIVER):
        if not os.access(program, os.X_OK):
            return program + " is not installed"
    try:
        import selenium  # noqa: F401
    except ImportError:
        return "python3-selenium is not installed (for " + sys.executable + ")"
    return None


def start_server(program, work):
    (work / "password").write_text(ACCOUNT[1] + "\n")
    with open(work / "server.log", "wb") as log:
        process = subprocess.Popen(
            [program, "--listen", "127.0.0.1:0", "--storage", str(work / "storage"), "--user", ACCOUNT[0],
             "--password-file", str(work / "password")], stdout=subprocess.PIPE, stderr=log)
    deadline = time.monotonic() + WAIT_SECONDS
    line = b""
    while not line.endswith(b"\n") and time.monotonic() < deadline:
        if select.select([process.stdout], [], [], 0.2)[0]:
            byte = os.read(process.stdout.fileno(), 1)  # unbuffered, so select sees what is left
            if not byte:
                break
            line += byte
    text = line.decode().strip()
    if not text.startswith("listening on "):
        stop_server(process)
        raise Failure("parvault-server did not say where it listens: " + repr(text))
    return process, "http://" + text[len("listening on "):]


def stop_server(process):
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def start_browser(work, downloads):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    # Tests run as root in CI, where Chromium's sandbox cannot start.
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--user-data-dir=" + str(work / "profile"), "--window-size=1280,900", "--lang=en-US"):
        options.add_argument(argument)
    options.add_experimental_option("prefs", {
        "download.default_directory": str(downloads),
        "download.prompt_for_download": False,
    })
    service = Service(executable_path=CHROMEDRIVER, log_path=str(work / "chromedriver.log"))
    driver = webdriver.Chrome(service=service, options=options)
    driver.set_page_load_timeout(WAIT_SECONDS)
    driver.set_script_timeout(WAIT_SECONDS)
    driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": str(downloads)})
    return driver


def quit_browser(driver):
    try:
        driver.quit()
    finally:
        if driver.service.process and driver.service.process.poll() is None:
            driver.service.process.kill()


def wait_for(driver, what, condition):
    from selenium.common.exceptions import TimeoutException
    from selenium.webdriver.support.ui import WebDriverWait

    try:
        return WebDriverWait(driver, WAIT_SECONDS, poll_frequency=0.1).until(lambda d: condition(d))
    except TimeoutException:
        raise Failure("timed out waiting for " + what + " at " + driver.current_url) from None


def elements(driver, css):
    from selenium.webdriver.common.by import By

    return driver.find_elements(By.CSS_SELECTOR, css)


def one(driver, css):
    return wait_for(driver, css, lambda d: (elements(d, css) or [None])[0])


def loaded_image_width(driver, image):
    """The decoded width of an <img>, 0 while it is loading or when its bytes are no image."""
    return driver.execute_script("return arguments[0].complete ? arguments[0].naturalWidth : 0;", image)


def gallery_tiles(driver):
    return elements(driver, "a.photo img.thumb")


def check_total(driver, count):
    """The count of photos the gallery gives near its top (the first number there) is count."""
    text = one(driver, "#totals").text
    if re.search(r"\d+", text) is None or int(re.search(r"\d+", text).group()) != count:
        raise Failure("the gallery's totals read %r, not %d photos" % (text, count))


def sign_in(driver, address):
    driver.get(address + SITE + "/")
    one(driver, "input[name=username]").send_keys(ACCOUNT[0])
    one(driver, "input[name=password]").send_keys(ACCOUNT[1])
    one(driver, "input[name=password]").submit()
    wait_for(driver, "the gallery after sign-in", lambda d: d.current_url.lower().endswith("/menu.asp"))
    one(driver, "form#upload")
    print("signed in; the gallery shows", len(gallery_tiles(driver)), "photos")


def upload(driver, paths):
    field = one(driver, "form#upload input[type=file][name=photos]")
    if field.get_attribute("multiple") is None:
        raise Failure("the upload field does not take several files")
    field.send_keys("\n".join(str(path) for path in paths))
    one(driver, "form#upload [type=submit]").click()
    message = one(driver, "#message").text
    tiles = wait_for(driver, "two thumbnails", lambda d: len(gallery_tiles(d)) == 2 and gallery_tiles(d))
    wait_for(driver, "the thumbnails to load", lambda d: all(loaded_image_width(d, t) > 0 for t in tiles))
    names = sorted(tile.get_attribute("alt") for tile in tiles)
    if names != sorted(name for name, _ in PHOTOS):
        raise Failure("the thumbnails are named " + repr(names))
    check_total(driver, 2)
    print("uploaded two photos:", repr(message), "; two thumbnails shown")


def open_photo(driver, name, width):
    tile = next(tile for tile in gallery_tiles(driver) if tile.get_attribute("alt") == name)
    tile.find_element("xpath", "./ancestor::a[1]").click()
    photo = one(driver, "img#photo")
    shown = wait_for(driver, "the photo to load", lambda d: loaded_image_width(d, photo))
    if shown != width:
        raise Failure("the photo page shows an image %d pixels wide, the original is %d" % (shown, width))
    if name not in driver.find_element("tag name", "body").text:
        raise Failure("the photo page does not name " + name)
    print("opened", name)


def download(driver, downloads, name, original):
    one(driver, "a#download").click()
    target = downloads / name
    wait_for(driver, "the download of " + name,
             lambda d: target.exists() and not list(downloads.glob("*.crdownload")))
    if target.read_bytes() != original:
        raise Failure("the downloaded %s differs from the original (%d bytes, the original %d)" %
                      (name, target.stat().st_size, len(original)))
    print("downloaded", name, "with the original's", len(original), "bytes")


def delete(driver, name, kept):
    one(driver, "form#delete [type=submit]").click()
    confirm = one(driver, "form#confirm-delete")
    if "Delete " + name + "?" not in driver.find_element("tag name", "body").text:
        raise Failure("the confirmation does not ask to delete " + name)
    confirm.find_element("css selector", "[type=submit]").click()
    wait_for(driver, "the gallery after deleting", lambda d: d.current_url.lower().split("?")[0].endswith("/menu.asp"))
    tiles = wait_for(driver, "one thumbnail left", lambda d: len(gallery_tiles(d)) == 1 and gallery_tiles(d))
    if tiles[0].get_attribute("alt") != kept:
        raise Failure("the photo left is " + repr(tiles[0].get_attribute("alt")) + ", not " + kept)
    check_total(driver, 1)
    print("deleted", name, "after the confirmation; left:", kept)


def sign_out(driver):
    one(driver, "#signout").click()
    wait_for(driver, "the sign-out page", lambda d: d.current_url.lower().endswith("/logout2.asp"))
    driver.get(driver.current_url.rsplit("/", 1)[0] + "/menu.asp")
    if elements(driver, "form#upload") or not elements(driver, "input[name=password]"):
        raise Failure("the gallery still shows after signing out")
    print("signed out")


def report_failure(driver, failed_screenshot, server_log):
    """What the browser and the server last saw, for the test's output."""
    if driver is not None:
        try:
            driver.save_screenshot(str(failed_screenshot))
            print("the browser's view is in", failed_screenshot, "; the page's source:\n" + driver.page_source[:4000])
        except Exception as error:  # the browser itself may be what failed
            print("the browser cannot show its page:", error)
    print("-- server log\n" + server_log.read_text(errors="replace")[-3000:])


def run(server, screenshot, work):
    photos = work / "photos"
    downloads = work / "downloads"
    photos.mkdir()
    downloads.mkdir()
    originals = {}
    for name, scene in PHOTOS:
        originals[name] = make_jpeg.make(photos / name, scene)
    failed_screenshot = screenshot.with_name(screenshot.stem + "-failed.png")
    failed_screenshot.unlink(missing_ok=True)  # from an earlier run
    process, address = start_server(server, work)
    driver = None
    try:
        driver = start_browser(work, downloads)
        sign_in(driver, address)
        upload(driver, [photos / name for name, _ in PHOTOS])
        screenshot.parent.mkdir(parents=True, exist_ok=True)
        driver.save_screenshot(str(screenshot))
        # The same page on a phone's width, to look at (nothing is checked in it).
        driver.set_window_size(390, 844)
        driver.save_screenshot(str(screenshot.with_name(screenshot.stem + "-phone.png")))
        driver.set_window_size(1280, 900)
        print("wrote", screenshot, "and its phone-width twin")
        opened, kept = PHOTOS[1][0], PHOTOS[0][0]
        open_photo(driver, opened, 400)
        download(driver, downloads, opened, originals[opened])
        delete(driver, opened, kept)
        sign_out(driver)
    except Exception:
        report_failure(driver, failed_screenshot, work / "server.log")
        raise
    finally:
        if driver is not None:
            quit_browser(driver)
        stop_server(process)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--server", required=True)
    parser.add_argument("--screenshot", required=True, type=Path)
    args = parser.parse_args()
    why = missing_browser()
    if why:
        if os.environ.get("WHARFLING_REQUIRE_BROWSER"):
            print("FAILED:", why, file=sys.stderr)
            return 1
        print("skipped:", why)
        return SKIPPED

    def give_up(*_):
        raise Failure("the run took longer than %d s" % WHOLE_RUN_SECONDS)

    signal.signal(signal.SIGALRM, give_up)
    signal.alarm(WHOLE_RUN_SECONDS)
    work = Path(tempfile.mkdtemp(prefix="wharfling-browser-"))
    try:
        run(args.server, args.screenshot, work)
    except Failure as failure:
        print("FAILED:", failure, file=sys.stderr)
        return 1
    finally:
        signal.alarm(0)
        shutil.rmtree(work, ignore_errors=True)
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
