#!/usr/bin/env python3
"""Support page test: the hub's support page in a real headless Chromium, against a real
`zlvsinc-central serve` on an SQLite hub set up with its own command line.

Two stores: A (0001/001) calls the hub once over the store port (a framed BaixaPedidos, which
hands out A's one order); B (0002/001) last downloaded five minutes ago, as the hub's call
table records it (written here: the test cannot wait for a store to go dark), and carries
markup in its name. The page must:
  - be served with a policy that lets only its own script run;
  - turn down a wrong key plainly (401) and ask again;
  - with the support key, list both stores: A online, B offline, B's name shown as the text
    it is;
  - follow A's order by its hub id to the state the store's call left it in;
  - at its next refresh (10 s) after the hub stopped, say plainly that the hub is unreachable.
A screenshot of the page is saved for people to look at (its path is printed).

Exits 77 (skipped) when Chromium, its driver or Selenium is missing (scripts/install-deps
installs them).
"""

import argparse
import asyncio
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time
import urllib.request
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "crash"))
from hub_crash_test import Rpc  # noqa: E402

SKIP = 77
STORE_A = ("0001", "001", "Loja Centro")
STORE_B = ("0002", "001", "Loja <b>Norte</b>")
WAIT = 20  # seconds for anything the page does after a click


def browser_or_skip():
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError:
        print("SKIP: python3-selenium is not installed (scripts/install-deps)")
        sys.exit(SKIP)
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    driver = shutil.which("chromedriver") or "/usr/bin/chromedriver"
    if not chromium or not os.access(driver, os.X_OK):
        print("SKIP: chromium or chromium-driver is not installed (scripts/install-deps)")
        sys.exit(SKIP)
    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                     "--disable-gpu", "--window-size=1400,1000"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(driver), options=options)


def cli(central, *args):
    return subprocess.run([central, *args], check=True, capture_output=True, text=True).stdout


def start_hub(central, db, work):
    out = open(work / "serve.out", "w+")
    hub = subprocess.Popen([central, "serve", "--db", db, "--port", "0", "--http-port", "0",
                            "--call-write-interval-ms", "200", "--verbose"],
                           stdout=out, stderr=open(work / "serve.log", "w"))
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        out.seek(0)
        lines = out.read().splitlines()
        ports = [line.rsplit(":", 1)[1] for line in lines if "listening on" in line]
        if len(ports) == 2:
            return hub, int(ports[0]), int(ports[1])
        if hub.poll() is not None:
            break
        time.sleep(0.1)
    hub.kill()
    raise SystemExit(f"the hub did not start; see {work / 'serve.log'}")


async def download(port, branch, store):
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    try:
        return await Rpc(reader, writer).call("BaixaPedidos", [branch, store])
    finally:
        writer.close()


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def run(driver, url, support_key, order_id, hub, shoot):
    from selenium.common.exceptions import StaleElementReferenceException
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait

    # The page redraws its tables at every refresh: what is read of them is read in one go, and
    # read again when a redraw replaced it meanwhile.
    wait = WebDriverWait(driver, WAIT, ignored_exceptions=[StaleElementReferenceException])

    def stores(d):
        rows = d.find_elements(By.CSS_SELECTOR, "#stores-body tr")
        return len(rows) == 2 and {
            row.get_attribute("data-store"): (
                row.get_attribute("data-presence"), row.find_element(By.CLASS_NAME, "badge").text,
                row.find_elements(By.TAG_NAME, "td")[2].text,
                len(row.find_elements(By.TAG_NAME, "b"))) for row in rows}

    policy = urllib.request.urlopen(url).headers.get("Content-Security-Policy", "")
    check("script-src 'self'" in policy and "unsafe-inline" not in policy,
          f"the page's policy lets other scripts run: {policy!r}")

    driver.get(url)
    key_input = wait.until(lambda d: d.find_element(By.ID, "key-input"))
    key_input.send_keys("zlvk_not-a-key\n")
    wait.until(lambda d: "401" in d.find_element(By.ID, "status").text)
    check(driver.find_element(By.ID, "key-section").is_displayed(),
          "a refused key does not bring the key form back")

    driver.find_element(By.ID, "key-input").send_keys(support_key + "\n")
    shown = wait.until(stores)
    a, b = shown["/".join(STORE_A[:2])], shown["/".join(STORE_B[:2])]
    check(a[:2] == ("online", "online"), f"store A is not shown online: {a}")
    check(b[:2] == ("offline", "offline"), f"store B is not shown offline: {b}")
    check(b[2:] == (STORE_B[2], 0), f"B's name was put in as markup, not text: {b}")

    driver.find_element(By.ID, "order-id").send_keys(order_id + "\n")
    state = wait.until(lambda d: d.find_element(By.ID, "order").is_displayed()
                       and d.find_element(By.ID, "order-state").get_attribute("data-state"))
    check(state == "handed_out", f"order {order_id} shows {state!r}, not handed_out")

    shoot()  # the page as people see it, before the hub goes away
    hub.terminate()
    hub.wait(10)
    wait.until(
        lambda d: "inacessível" in d.find_element(By.ID, "status").text,
        "the page does not say that the hub is unreachable")

    blocked = [e["message"] for e in driver.get_log("browser") if "Content Security" in e["message"]]
    check(not blocked, f"the page broke its own policy: {blocked}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin-dir", required=True)
    parser.add_argument("--artifacts", required=True)
    args = parser.parse_args()
    central = str(Path(args.bin_dir) / "zlvsinc-central")
    driver = browser_or_skip()
    work = Path(tempfile.mkdtemp(prefix="zlv-support-page-"))
    hub = None
    try:
        db = str(work / "hub.db")
        for branch, store, name in (STORE_A, STORE_B):
            cli(central, "add-store", "--db", db, "--branch", branch, "--store", store,
                "--name", name, "--time-zone", "America/Sao_Paulo")
        cli(central, "set-branch", "--db", db, "--branch", STORE_A[0], "--client", "0001",
            "--seller", "9999", "--operator", "0001", "--origin", "DLV_SIT",
            "--receipt-cash", "001", "--receipt-card", "002", "--receipt-voucher", "010",
            "--receipt-online", "005")
        support_key = cli(central, "add-api-key", "--db", db, "--support").strip()
        channel_key = cli(central, "add-api-key", "--db", db, "--channel", "web",
                          "--branch", STORE_A[0]).strip()
        with sqlite3.connect(db) as con:
            gone = "strftime('%Y-%m-%d %H:%M:%f', 'now', '-300 seconds')"
            con.execute("INSERT INTO CENTRAL_STORE_CALL (CDFILIAL, CDLOJA, DSMETODO, DTLASTCALL, "
                        f"DTLASTSUCCESS) VALUES (?, ?, 'BaixaPedidos', {gone}, {gone})",
                        STORE_B[:2])
        hub, store_port, http_port = start_hub(central, db, work)
        url = f"http://127.0.0.1:{http_port}/"
        posted = cli(central, "post-orders", "--url", url.rstrip("/"), "--key", channel_key,
                     "--branch", STORE_A[0], "--store", STORE_A[1], "--count", "1")
        order_id = posted.split()[1]
        asyncio.run(download(store_port, *STORE_A[:2]))
        time.sleep(1)  # the hub writes the call after its interval (200 ms here)

        shot = Path(args.artifacts).resolve() / "support-page.png"
        shot.parent.mkdir(parents=True, exist_ok=True)

        def shoot():
            driver.save_screenshot(str(shot))
            print(f"screenshot: {shot}")

        try:
            run(driver, url, support_key, order_id, hub, shoot)
        except Exception:
            shoot()  # the page as it failed
            raise
        print("support page: ok")
    finally:
        driver.quit()
        if hub and hub.poll() is None:
            hub.terminate()
            hub.wait(10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
