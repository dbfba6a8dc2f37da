#!/usr/bin/env python3
"""kastari-web in a real browser: headless Chromium through WebDriver, against a database that
kastari-collect filled from kastari-sim (a meter in fault, one that never answers, one with gaps,
one in order, one named with markup).

    web_browser_test.py --build DIR --backend sqlite|postgresql

Exit status 0 passed, 1 failed, 77 skipped (chromium, chromedriver or python3-selenium missing, or
Chromium cannot start here; the reason is printed).
"""
import argparse
import glob
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

SKIP = 77
NAME = "<script>alert(1)</script> Котельная"
PASSWORD = "correct horse battery"
# With seed 3 from this start every meter's history is the same on every machine: the meter at
# address 4 was off for some hours five days before, the one at 5 longer ago.
SIM_TIME = "01.03.2026 10:30"
GAP_DAYS = 5
MONTH = "2026-02"


def skip(why):
    print(f"SKIP: {why}")
    sys.exit(SKIP)


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, timeout=300, **kw)


class PostgreSQL:
    """A throwaway server on 127.0.0.1, as tests/support/pgcluster.cpp starts it."""

    def __init__(self, work):
        bins = sorted(glob.glob("/usr/lib/postgresql/*/bin/pg_ctl"))
        if not bins:
            skip("PostgreSQL's initdb and pg_ctl are not installed (apt-get install postgresql)")
        self.bin = os.path.dirname(bins[-1])
        self.dir = os.path.join(work, "pg")
        os.mkdir(self.dir)
        if os.geteuid() == 0:
            shutil.chown(self.dir, "postgres")
            shutil.chown(work, "postgres")
        self.as_postgres(["initdb", "-D", self.dir + "/data", "-A", "trust", "-U", "postgres", "-E", "UTF8",
                          "--locale=C", "--no-sync"])
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            self.port = s.getsockname()[1]
        self.as_postgres(["pg_ctl", "-D", self.dir + "/data", "-l", self.dir + "/log", "-w", "-o",
                          f"-c listen_addresses=127.0.0.1 -p {self.port} -c unix_socket_directories={self.dir}"
                          " -c fsync=off", "start"])
        self.as_postgres(["createdb", "-h", "127.0.0.1", "-p", str(self.port), "-U", "postgres", "kastari"])
        self.url = f"postgresql://postgres@127.0.0.1:{self.port}/kastari"

    def as_postgres(self, cmd):
        cmd = [os.path.join(self.bin, cmd[0])] + cmd[1:]
        if os.geteuid() == 0:
            cmd = ["runuser", "-u", "postgres", "--"] + cmd
        r = run(cmd, cwd=self.dir)
        check(r.returncode == 0, f"{' '.join(cmd)}: {r.stdout.decode()}{r.stderr.decode()}")

    def stop(self):
        self.as_postgres(["pg_ctl", "-D", self.dir + "/data", "-m", "immediate", "-w", "stop"])


def started(process, prefix):
    """The first line of a started program's stdout that begins with prefix."""
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        line = process.stdout.readline().decode()
        if line.startswith(prefix):
            return line.strip()
        if not line and process.poll() is not None:
            break
    raise AssertionError(f"{process.args[0]} did not say {prefix!r}: {process.stderr.read().decode()}")


class NoRedirect(urllib.request.HTTPRedirectHandler):
    def redirect_request(self, *args):
        return None


def fetch(url, cookie=None):
    """The status and body of a GET, a redirect not followed."""
    request = urllib.request.Request(url, headers={"Cookie": cookie} if cookie else {})
    try:
        with urllib.request.build_opener(NoRedirect).open(request, timeout=60) as r:
            return r.status, r.read()
    except urllib.error.HTTPError as e:
        return e.code, e.read()


def pdf_lines(path):
    r = run(["pdftotext", "-layout", path, "-"])
    check(r.returncode == 0, "pdftotext failed")
    return [line.split() for line in r.stdout.decode().splitlines() if line.strip()]


def same_pdf(a, b):
    """Two PDFs of one report alike but for the second they were made, which the writer stamps."""
    def bare(data):
        return re.sub(rb"/CreationDate \(D:[0-9]{14}Z\)", b"/CreationDate ()", data)
    return bare(a) == bare(b)


# The PDF writer embeds the fonts in the order of a hash table, which Qt seeds anew in each process
# unless told otherwise: the collector and the web view then write the same bytes.
SAME_HASHES = dict(os.environ, QT_HASH_SEED="0")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--backend", choices=["sqlite", "postgresql"], required=True)
    args = parser.parse_args()
    try:
        from selenium import webdriver
        from selenium.common.exceptions import WebDriverException
        from selenium.webdriver.chrome.service import Service
        from selenium.webdriver.common.by import By
        from selenium.webdriver.support.ui import WebDriverWait
    except ImportError:
        # Debian's python3-selenium belongs to Debian's python3, which another python on PATH
        # (a pyenv, a virtualenv) does not see.
        if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != "/usr/bin/python3" \
                and not os.environ.get("KASTARI_BROWSER_REEXEC"):
            os.environ["KASTARI_BROWSER_REEXEC"] = "1"
            os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
        skip("python3-selenium is not installed (scripts/setup installs it)")
    chromium = shutil.which("chromium")
    chromedriver = shutil.which("chromedriver") or "/usr/bin/chromedriver"
    if not chromium or not os.path.exists(chromedriver):
        skip("chromium or chromium-driver is not installed (scripts/setup installs them)")
    if not shutil.which("pdftotext"):
        skip("pdftotext (poppler-utils) is not installed")
    program = {name: os.path.join(os.path.abspath(args.build), name) for name in
               ("kastari-sim", "kastari-cli", "kastari-collect", "kastari-web")}

    processes = []
    work = tempfile.mkdtemp(prefix="kastari-browser-")
    pg = None
    driver = None
    try:
        line = os.path.join(work, "line")
        sim = subprocess.Popen([program["kastari-sim"], "--link", line, "--no-pacing", "--seed", "3", "--time",
                                SIM_TIME, "--device", "1", "--device", "4", "--device", "5"],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        processes.append(sim)
        started(sim, "ready")
        # Every simulated meter has a fault still going on; the meters at 4 and 5 have their
        # journals cleared, as a service engineer would, so only 1 stays in fault.
        for address in ("4", "5"):
            r = run([program["kastari-cli"], "--port", line, "write-register", address, "29", "2"])
            check(r.returncode == 0, f"clearing the journals of {address}: {r.stderr.decode()}")
        meters = os.path.join(work, "meters")
        with open(meters, "w", encoding="utf-8") as f:
            f.write(f"{line} 1 Насосная\n{line} 4 {NAME}\n{line} 5 ЦТП-5\n{line} 9 Подвал\n")
        if args.backend == "postgresql":
            pg = PostgreSQL(work)
            db = pg.url
        else:
            db = "sqlite:" + os.path.join(work, "kastari.db")
        r = run([program["kastari-collect"], "run", "--meters", meters, "--db", db, "--fast"], cwd=work)
        check(r.returncode == 5, f"the collector should miss the meter at 9: {r.returncode} {r.stdout.decode()}")
        numbers = {}
        for row in r.stdout.decode().splitlines()[1:]:
            cells = row.split()
            if cells[2] != "-":
                numbers[int(cells[1])] = cells[2]
        check(len(numbers) == 3, f"three meters answer: {r.stdout.decode()}")

        users = os.path.join(work, "users")
        r = run([program["kastari-web"], "adduser", "anna", "--users", users],
                input=f"{PASSWORD}\n{PASSWORD}\n".encode())
        check(r.returncode == 0, f"adduser: {r.stderr.decode()}")
        thresholds = os.path.join(work, "thresholds")
        with open(thresholds, "w") as f:
            f.write(f"gap_days = {GAP_DAYS}\ndowntime_minutes = 1440\n")
        web = subprocess.Popen([program["kastari-web"], "--db", db, "--listen", "127.0.0.1:0", "--users", users,
                                "--thresholds", thresholds], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               env=SAME_HASHES)
        processes.append(web)
        base = started(web, "listening on ").split()[-1]
        check(base.startswith("http://127.0.0.1:"), base)

        options = webdriver.ChromeOptions()
        options.binary_location = chromium
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--no-proxy-server"):
            options.add_argument(flag)
        try:
            driver = webdriver.Chrome(service=Service(chromedriver), options=options)
        except WebDriverException as e:
            skip(f"Chromium cannot start in this environment: {e.msg}")
        driver.set_page_load_timeout(60)

        # Nothing without a login; a wrong password is refused, the right one lets in.
        driver.get(base + "/")
        check(driver.current_url.endswith("/login"), f"not sent to the login: {driver.current_url}")

        def log_in(password):
            driver.find_element(By.ID, "user").send_keys("anna")
            driver.find_element(By.ID, "password").send_keys(password)
            driver.find_element(By.ID, "login").click()

        def arrive(what, test):
            try:
                WebDriverWait(driver, 30).until(lambda d: test(d))
            except Exception:
                raise AssertionError(f"{what}: at {driver.current_url}, {driver.title}")

        log_in("not the password")
        arrive("no refusal shown", lambda d: d.find_elements(By.ID, "login-error"))
        check("Неверное имя или пароль" in driver.find_element(By.ID, "login-error").text, "the refusal's text")
        log_in(PASSWORD)
        arrive("not on the fleet page", lambda d: d.title == "Парк приборов")

        # The fleet: the worst first, the name with markup shown as its text.
        rows = [[c.text for c in tr.find_elements(By.TAG_NAME, "td")]
                for tr in driver.find_elements(By.CSS_SELECTOR, "#fleet tbody tr")]
        seen = [(r[0], r[9].splitlines()[0]) for r in rows]
        expected = [("—", "Нет связи"), (numbers[1], "Отказ"), (numbers[4], "Пропуски"), (numbers[5], "Норма")]
        check(seen == expected, f"fleet {seen}, expected {expected}")
        check(rows[2][1] == NAME, f"the name shows as {rows[2][1]!r}")
        check(rows[0][2] == f"{line}, адрес 9", rows[0][2])
        check(not driver.find_elements(By.TAG_NAME, "script"), "a script element on the page")

        # A click opens the meter; the month before its newest is a whole one.
        driver.find_element(By.LINK_TEXT, numbers[1]).click()
        arrive("the meter's page", lambda d: d.current_url.endswith(f"/meter/{numbers[1]}"))
        check(driver.find_element(By.ID, "state").text == "Отказ", "the meter's state")
        driver.get(f"{base}/meter/{numbers[1]}?channel=1&month={MONTH}")
        table = [[c.text for c in tr.find_elements(By.TAG_NAME, "td")]
                 for tr in driver.find_elements(By.CSS_SELECTOR, "#month tbody tr")]
        total = [c.text for c in driver.find_elements(By.CSS_SELECTOR, "#month tfoot th")]
        check(len(table) == 28, f"{len(table)} days in February")

        # The month table is the consumption report's, number for number.
        report = os.path.join(work, "report.pdf")
        r = run([program["kastari-collect"], "report", "--db", db, "--meter", numbers[1], "--channel", "1",
                 "--month", MONTH, "--out", report], cwd=work, env=SAME_HASHES)
        check(r.returncode == 0, f"report: {r.stderr.decode()}")
        printed = {line[0]: line for line in pdf_lines(report)}
        for day in table:
            words = " ".join(day).split()
            check(printed.get(day[0]) == words, f"{day[0]}: page {words}, report {printed.get(day[0])}")
        check(printed.get("Итого") == " ".join(total).split(), f"totals {total} vs {printed.get('Итого')}")

        # The downloads are the collector's own files.
        cookie = driver.get_cookie("kastari_session")
        check(cookie and cookie.get("httpOnly") and cookie.get("sameSite") == "Strict", f"cookie {cookie}")
        jar = f"kastari_session={cookie['value']}"
        for link, extra in (("csv-day", ["--archive", "day", "--format", "csv"]),
                            ("export-hour", ["--archive", "hour"]),
                            ("csv-faults", ["--archive", "faults", "--format", "csv"])):
            href = driver.find_element(By.ID, link).get_attribute("href")
            status, page_bytes = fetch(href, jar)
            check(status == 200, f"{link}: {status}")
            out = os.path.join(work, link)
            r = run([program["kastari-collect"], "export", "--db", db, "--meter", numbers[1], "--channel", "1",
                     "--out", out] + extra, cwd=work)
            check(r.returncode == 0, f"export: {r.stderr.decode()}")
            with open(out, "rb") as f:
                check(f.read() == page_bytes, f"{link} differs from kastari-collect export")
        status, pdf = fetch(driver.find_element(By.ID, "report-pdf").get_attribute("href"), jar)
        check(status == 200 and pdf.startswith(b"%PDF"), f"report link: {status}")
        with open(report, "rb") as f:
            check(same_pdf(f.read(), pdf), "the report link's PDF differs from kastari-collect report's")

        # Without the session the same links give nothing.
        status, body = fetch(base + f"/meter/{numbers[1]}/export?archive=day&format=csv")
        check(status in (303, 401) and numbers[1].encode() not in body, f"a download without a session: {status}")
        driver.find_element(By.CSS_SELECTOR, "header form button").click()
        arrive("logout", lambda d: d.current_url.endswith("/login"))
        status, _ = fetch(base + "/api/meters", jar)
        check(status == 401, f"the API after logout: {status}")
        print(f"browser test passed on {args.backend}")
        return 0
    except AssertionError as e:
        print(f"FAILED: {e}")
        return 1
    finally:
        if driver:
            driver.quit()
        for p in processes:
            p.terminate()
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
        if pg:
            pg.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
