#!/usr/bin/env python3
"""Crash test: the real ZlvSinc against the reference central server, killed (SIGKILL) at random
moments and started again, until the server holds no pending order. The store promises every
order exactly once in its database and exactly once in the kitchen; after every kill and at the
end this checks that:

  - each central order is in the store at most once (VENDAREST.NRVENDARESTAUX unique), and at the
    end exactly once;
  - the server holds as confirmed only orders the store has;
  - every ticket file is whole (same text as a run without kills, time stamps aside) and no
    order has a ticket file under another name;
  - every committed order whose row in the ticket journal (ZLVSINCIMPPEND) is gone has all its
    tickets; at the end the journal is empty, every order has all its tickets and no temporary
    ".tmp" ticket is left;
  - one more run without a kill prints nothing again.

The expected tickets come from a control installation that synchronises the same orders without
kills: per central order, the set of ticket names with the order number left out, and their text.

Configuration (environment):
  ZLV_CRASH_ORDERS   orders generated at the central server (default 300)
  ZLV_CRASH_WAVE     orders the server releases at a time (default 25)
  ZLV_CRASH_SEED     seed of the kill delays and of the orders (default: from the clock; printed)
  ZLV_CRASH_RUNS     most runs before the kills stop and the last runs go unharmed (default 400)
  ZLV_CRASH_LONG     share of runs started as a long-running process instead of ONCE (0.25)
  ZLV_CRASH_IDLE     share of those long-running processes left into their second tick,
                     about 30 s later (default 0; the long form sets it)
  ZLV_CRASH_KEEP     keep the work folder even when everything passed
  ZLV_CRASH_VERBOSE  print a line per run
With --link https the stores reach the server over HTTPS (a certificate made for the run, an
installation token in the registry file) instead of its framed TCP port.
A failure names the seed and keeps the work folder (installations, logs, outputs).
"""

import argparse
import os
import random
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
from pathlib import Path

BRANCH, REGISTER, STORE = "0001", "001", "001"
# The kinds of ticket a downloaded order gets, as they appear after the order number.
TICKET_KIND = re.compile(r"^(\d+)(P2_|P_|U_|E)(.*)\.txt$")
TEMP_SUFFIX = ".tmp"
# Ticket texts carry the time they were written.
TIME_STAMP = re.compile(rb"\d\d/\d\d/\d\d\d\d \d\d:\d\d:\d\d")
JOURNAL_LINE = "Diário de impressão: imprime os tickets pendentes do pedido NRVENDARESTAUX:"
PROCESS_TIMEOUT = 120  # seconds a run that is not killed may take
POLL_SECONDS = 0.002  # how often a kill's trigger is looked at
# The harness's own state of a central order generated but not released to the store yet: the
# orders reach the store in waves, so that every wave gives the kills a fresh download to hit.
HELD = "HELD"


class Failure(Exception):
    pass


def env_number(name, default, kind=int):
    text = os.environ.get(name, "")
    return kind(text) if text else default


# --- Installations and processes ----------------------------------------------------------------


def make_store_database(db: Path, source_dir: Path, branch=BRANCH):
    """The demo store database from db/, its branch code turned into `branch` (stores of other
    branches can then share one central server)."""
    con = sqlite3.connect(db)
    con.executescript("PRAGMA foreign_keys = OFF;")
    for script in ("schema.sqlite.sql", "demo-seed.sql"):
        con.executescript((source_dir / "db" / script).read_text(encoding="utf-8"))
    if branch != BRANCH:
        tables = [row[0] for row in con.execute("SELECT name FROM sqlite_master WHERE type = "
                                                 "'table' AND name NOT LIKE 'sqlite%'")]
        for table in tables:
            columns = [column[1] for column in con.execute(f"PRAGMA table_info({table})")]
            if "CDFILIAL" in columns:
                con.execute(f"UPDATE {table} SET CDFILIAL = ? WHERE CDFILIAL = ?", (branch, BRANCH))
    con.commit()
    con.close()


class Installation:
    """A store installation in a folder: database from db/, registry file, lock and unit folders."""

    def __init__(self, folder: Path, source_dir: Path, branch=BRANCH):
        self.home = folder
        self.db = folder / "Dados" / "ZlvSinc.db"
        self.tickets = folder / "Dados" / "Imp" / "Files"
        self.registry = folder / "registry.conf"
        self.first_parameter = f"{branch}_{REGISTER}_"
        (folder / "units").mkdir(parents=True)
        self.db.parent.mkdir(parents=True)
        make_store_database(self.db, source_dir, branch)
        self.runs = 0

    def environment(self, central):
        """central: a CentralServer, or the port of a framed TCP server on 127.0.0.1."""
        if isinstance(central, int):
            registry, extra = f"IpServer=127.0.0.1:{central}\n", {}
        else:
            registry, extra = central.registry_text(), central.link.environment()
        self.registry.write_text(registry, encoding="utf-8")
        self.registry.chmod(0o600)  # it may hold the token
        env = dict(os.environ)
        env.update(ZLVSINC_HOME=str(self.home), ZLVSINC_REGISTRY=str(self.registry),
                   ZLVSINC_LOCK_DIR=str(self.home), ZLVSINC_UNIT_DIR=str(self.home / "units"))
        env.update(extra)
        return env

    def start(self, program, central, once):
        self.runs += 1
        args = [str(program), self.first_parameter] + (["/ONCE"] if once else [])
        with open(self.home / "program.out", "ab") as out:
            out.write(f"--- run {self.runs} {'ONCE' if once else 'long-running'}\n".encode())
            out.flush()
            return subprocess.Popen(args, env=self.environment(central), stdout=out, stderr=out,
                                    cwd=self.home)

    def query(self, sql, params=()):
        # Read-write, as the next run opens it: a killed run may have left its write-ahead log.
        con = sqlite3.connect(self.db, timeout=30)
        try:
            return con.execute(sql, params).fetchall()
        finally:
            con.close()

    def log_lines(self):
        lines = []
        for file in sorted((self.home / "Dados" / "Zlv_Sinc").rglob("*.txt"),
                           key=lambda f: f.stat().st_mtime):
            lines += file.read_text(encoding="cp1252", errors="replace").splitlines()
        return lines


class Link:
    """How the stores reach the central server: its framed TCP port, or HTTPS with a certificate
    made for the run and the installation's token."""

    def __init__(self, kind, program: Path, folder: Path):
        self.kind = kind
        self.program = program
        self.token = ""
        self.cert, self.key = folder / "hub.pem", folder / "hub.key"
        if kind == "https":
            subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days",
                            "2", "-subj", "/CN=127.0.0.1", "-addext",
                            "subjectAltName=IP:127.0.0.1,DNS:localhost", "-keyout",
                            str(self.key), "-out", str(self.cert)], check=True,
                           capture_output=True)

    def register(self, db: Path):
        """Gives the store's installation its token in the server's database."""
        if self.kind != "https":
            return
        made = subprocess.run([str(self.program), "add-installation", "--db", str(db),
                               "--branch", BRANCH, "--register", REGISTER, "--store", STORE],
                              capture_output=True, text=True)
        if made.returncode != 0:
            raise Failure(f"add-installation failed: {made.stderr}")
        self.token = made.stdout.strip()

    def serve_options(self):
        if self.kind != "https":
            return []
        return ["--http-port", "0", "--tls-cert", str(self.cert), "--tls-key", str(self.key)]

    def environment(self):
        return {"ZLVSINC_CA_FILE": str(self.cert)} if self.kind == "https" else {}


class CentralServer:
    def __init__(self, program: Path, db: Path, folder: Path, link: Link):
        self.db = db
        self.link = link
        with open(folder / f"{db.stem}.err", "wb") as err:
            self.process = subprocess.Popen(
                [str(program), "serve", "--port", "0", "--db", str(db)] + link.serve_options(),
                stdout=subprocess.PIPE, stderr=err)
        # "listening on ADDRESS:PORT", then "https listening on ADDRESS:PORT" when it serves it.
        pattern = r"^https listening on 127\.0\.0\.1:(\d+)" if link.kind == "https" else \
            r"^listening on 127\.0\.0\.1:(\d+)"
        lines = []
        for _ in range(2 if link.kind == "https" else 1):
            lines.append(self.process.stdout.readline().decode())
            match = re.search(pattern, lines[-1])
            if match:
                break
        if not match:
            self.stop()
            raise Failure(f"the central server did not start: {lines!r}")
        self.port = int(match.group(1))

    def registry_text(self):
        if self.link.kind == "https":
            return f"IpServer=https://127.0.0.1:{self.port}\nToken={self.link.token}\n"
        return f"IpServer=127.0.0.1:{self.port}\n"

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def release(self, count):
        """Makes the next `count` held orders pending: the server sends them from now on."""
        con = sqlite3.connect(self.db, timeout=30)
        try:
            with con:
                con.execute("UPDATE CENTRAL_ORDER SET STATE = 'PENDING' WHERE STATE = ? AND "
                            "NRVENDAREST IN (SELECT NRVENDAREST FROM CENTRAL_ORDER WHERE "
                            "STATE = ? ORDER BY DTCREATED, NRVENDAREST LIMIT ?)",
                            (HELD, HELD, count))
        finally:
            con.close()

    def orders(self, state):
        con = sqlite3.connect(f"file:{self.db}?mode=ro", uri=True, timeout=30)
        try:
            rows = con.execute("SELECT NRVENDAREST FROM CENTRAL_ORDER WHERE CDFILIAL = ? AND "
                               "CDLOJA = ? AND STATE = ?", (BRANCH, STORE, state)).fetchall()
        finally:
            con.close()
        return {row[0] for row in rows}


def finish_or_kill(process, trigger, timeout):
    """Waits for the process until the trigger fires or the time is over, then kills it.
    Returns its exit status (None when it was killed) and the seconds it ran."""
    began = time.monotonic()
    while process.poll() is None:
        if time.monotonic() - began >= timeout or trigger():
            process.send_signal(signal.SIGKILL)
            process.wait()
            return None, time.monotonic() - began
        time.sleep(POLL_SECONDS)
    return process.returncode, time.monotonic() - began


def count_files(folder):
    return sum(1 for _ in folder.iterdir()) if folder.exists() else 0


def choose_kill(rng, install, longest):
    """The moment of the next kill: (description, trigger or None, time limit in seconds).
    A third of the kills come at a random time; the others right after a given number of new
    commits or new ticket files, aimed at the windows between an order's commit, its tickets
    and its confirmation."""
    limit = rng.uniform(0.05, longest * (0.8 if rng.random() < 0.8 else 1.3))
    choice = rng.random()
    if choice < 1 / 3:
        return f"{limit:.2f} s", None, limit
    limit = longest * 1.3
    if choice < 2 / 3:
        base = install.query("SELECT COUNT(*) FROM VENDAREST")[0][0]
        target = base + rng.randint(1, 25)
        return (f"commit {target - base}",
                lambda: install.query("SELECT COUNT(*) FROM VENDAREST")[0][0] >= target, limit)
    base = count_files(install.tickets)
    target = base + rng.randint(1, 100)
    return f"ticket file {target - base}", lambda: count_files(install.tickets) >= target, limit


# --- What the store holds -----------------------------------------------------------------------


def store_orders(install):
    """Central number -> list of the store's order numbers (order tabs) of its sales."""
    rows = install.query(
        "SELECT V.NRVENDARESTAUX, C.DSCOMANDA FROM VENDAREST V JOIN COMANDAVEN C ON "
        "C.CDFILIAL = V.CDFILIAL AND C.NRVENDAREST = V.NRVENDAREST WHERE V.CDFILIAL = ? AND "
        "V.CDLOJA = ? AND V.NRVENDARESTAUX IS NOT NULL", (BRANCH, STORE))
    orders = {}
    for central, dscomanda in rows:
        orders.setdefault(central, []).append(dscomanda.replace("DLV_", ""))
    return orders


def printers(install):
    """The store's printer numbers, which ticket names begin with."""
    return [row[0] for row in install.query(
        "SELECT NRSEQIMPRLOJA FROM IMPRLOJA WHERE CDFILIAL = ? AND CDLOJA = ?", (BRANCH, STORE))]


def journal(install):
    return {row[0] for row in install.query(
        "SELECT NRVENDARESTAUX FROM ZLVSINCIMPPEND WHERE CDFILIAL = ? AND CDLOJA = ?",
        (BRANCH, STORE))}


def read_tickets(install):
    """Central number -> {name with the order number as "#": text with the number as "#"};
    plus the temporary files and the names no order owns."""
    number_to_central = {}
    for central, numbers in store_orders(install).items():
        for number in numbers:
            number_to_central[number] = central
    codes = printers(install)
    tickets, temporary, strays = {}, [], []
    if not install.tickets.exists():
        return tickets, temporary, strays
    for file in sorted(install.tickets.iterdir()):
        name = file.name
        if name.endswith(TEMP_SUFFIX):
            temporary.append(name)
            continue
        owners = []
        for code in codes:
            match = TICKET_KIND.match(name[len(code):]) if name.startswith(code) else None
            if match and match.group(1) in number_to_central:
                owners.append((code, match))
        if len(owners) != 1:
            strays.append(name)
            continue
        code, match = owners[0]
        number = match.group(1)
        template = f"{code}#{match.group(2)}{match.group(3)}.txt"
        text = TIME_STAMP.sub(b"<time>", file.read_bytes()).replace(number.encode(), b"#")
        tickets.setdefault(number_to_central[number], {})[template] = text
    return tickets, temporary, strays


def temporary_owner(install, name):
    """The central number of the order a ".tmp" ticket belongs to, or None."""
    stem = name[:-len(TEMP_SUFFIX)]
    for central, numbers in store_orders(install).items():
        for number in numbers:
            if number in stem:
                return central
    return None


# --- Checks -------------------------------------------------------------------------------------


class Checker:
    def __init__(self, expected):
        self.expected = expected  # central number -> {template: text}, from the control run
        self.problems = []

    def fail(self, where, message):
        self.problems.append(f"{where}: {message}")

    def check(self, where, install, central, final):
        counts = {}
        for (aux,) in install.query(
                "SELECT NRVENDARESTAUX FROM VENDAREST WHERE CDFILIAL = ? AND CDLOJA = ? AND "
                "NRVENDARESTAUX IS NOT NULL", (BRANCH, STORE)):
            counts[aux] = counts.get(aux, 0) + 1
        twice = sorted(aux for aux, n in counts.items() if n > 1)
        if twice:
            self.fail(where, f"orders in the store more than once: {twice[:10]}")
        confirmed = central.orders("CONFIRMED")
        missing = sorted(confirmed - counts.keys())
        if missing:
            self.fail(where, f"confirmed to the server but not in the store: {missing[:10]}")

        owed = journal(install)
        tickets, temporary, strays = read_tickets(install)
        if strays:
            self.fail(where, f"ticket files of no order of the store: {strays[:10]}")
        for name in temporary:
            owner = temporary_owner(install, name)
            if final or owner is None or owner not in owed:
                self.fail(where, f"temporary ticket {name} left behind (order {owner}, "
                                 f"{'in' if owner in owed else 'not in'} the journal)")
        for aux in sorted(counts):
            expected = self.expected.get(aux, {})
            got = tickets.get(aux, {})
            extra = sorted(set(got) - set(expected))
            if extra:
                self.fail(where, f"order {aux}: tickets no clean run writes: {extra}")
            for template in sorted(set(got) & set(expected)):
                if got[template] != expected[template]:
                    self.fail(where, f"order {aux}: ticket {template} differs from a clean run "
                                     f"(partial or wrong):\n{got[template]!r}\n"
                                     f"expected\n{expected[template]!r}")
            lacking = sorted(set(expected) - set(got))
            if lacking and aux not in owed:
                self.fail(where, f"order {aux} committed, not in the ticket journal, but its "
                                 f"tickets {lacking} are missing")
        if final:
            if owed:
                self.fail(where, f"ticket journal not empty: {sorted(owed)[:10]}")
            absent = sorted(set(self.expected) - counts.keys())
            if absent:
                self.fail(where, f"orders never written to the store: {absent[:10]}")


# --- The runs -----------------------------------------------------------------------------------


def synchronise_cleanly(install, program, central, limit):
    """ONCE runs without kills until the server holds nothing pending; returns the durations."""
    durations = []
    while central.orders("PENDING"):
        if len(durations) >= limit:
            raise Failure(f"{install.home.name}: still orders pending after {limit} clean runs")
        began = time.monotonic()
        status, _ = finish_or_kill(install.start(program, central, once=True),
                                   lambda: False, PROCESS_TIMEOUT)
        durations.append(time.monotonic() - began)
        if status != 0:
            raise Failure(f"{install.home.name}: a clean ONCE run ended with {status}; see "
                          f"{install.home / 'program.out'}")
    return durations


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin-dir", type=Path, required=True)
    parser.add_argument("--source-dir", type=Path, default=Path(__file__).resolve().parents[2])
    parser.add_argument("--work", type=Path, help="work folder (default: a new temporary one)")
    parser.add_argument("--link", choices=("tcp", "https"), default="tcp",
                        help="how the store reaches the server (default: its framed TCP port)")
    args = parser.parse_args()

    orders = env_number("ZLV_CRASH_ORDERS", 300)
    wave = max(1, env_number("ZLV_CRASH_WAVE", 25))
    seed = env_number("ZLV_CRASH_SEED", int(time.time() * 1000) % 1_000_000_007)
    max_runs = env_number("ZLV_CRASH_RUNS", 400)
    long_share = env_number("ZLV_CRASH_LONG", 0.25, float)
    idle_share = env_number("ZLV_CRASH_IDLE", 0.0, float)
    keep = bool(os.environ.get("ZLV_CRASH_KEEP"))
    verbose = bool(os.environ.get("ZLV_CRASH_VERBOSE"))
    program = args.bin_dir / "ZlvSinc"
    central_program = args.bin_dir / "zlvsinc-central"
    rng = random.Random(seed)

    work = args.work or Path(tempfile.mkdtemp(prefix="zlv-crash-"))
    work.mkdir(parents=True, exist_ok=True)
    print(f"crash test: seed {seed}, {orders} orders, over {args.link}, work folder {work}",
          flush=True)
    print(f"  reproduce with: ZLV_CRASH_SEED={seed} ZLV_CRASH_ORDERS={orders} "
          f"ZLV_CRASH_WAVE={wave} python3 {Path(__file__).resolve()} --bin-dir {args.bin_dir} "
          f"--link {args.link}", flush=True)

    servers = []
    passed = False
    try:
        control = Installation(work / "control", args.source_dir)
        crashed = Installation(work / "crashed", args.source_dir)
        made = subprocess.run(
            [str(central_program), "add-orders", "--db", str(work / "central.db"), "--branch",
             BRANCH, "--store", STORE, "--count", str(orders), "--seed", str(seed % 1_000_000),
             "--store-db", str(control.db)], capture_output=True, text=True)
        if made.returncode != 0:
            raise Failure(f"add-orders failed: {made.stderr}")
        link = Link(args.link, central_program, work)
        link.register(work / "central.db")
        hold = sqlite3.connect(work / "central.db")
        with hold:
            hold.execute("UPDATE CENTRAL_ORDER SET STATE = ? WHERE STATE = 'PENDING'", (HELD,))
        hold.close()
        shutil.copy(work / "central.db", work / "control-central.db")
        waves = [min(wave, orders - first) for first in range(0, orders, wave)]

        # The control: the same orders in the same waves, synchronised without a kill.
        control_server = CentralServer(central_program, work / "control-central.db", work, link)
        servers.append(control_server)
        durations = []
        for size in waves:
            control_server.release(size)
            durations += synchronise_cleanly(control, program, control_server, 50)
        control_server.stop()
        expected, temporary, strays = read_tickets(control)
        if temporary or strays or len(expected) != orders:
            raise Failure(f"the control run printed {len(expected)} of {orders} orders "
                          f"(temporary {temporary[:5]}, strays {strays[:5]})")
        longest = max(durations)
        print(f"  control: {len(durations)} clean runs, longest {longest:.1f} s, "
              f"{sum(len(t) for t in expected.values())} tickets", flush=True)

        # The crashed installation: kill, check, start again.
        checker = Checker(expected)
        server = CentralServer(central_program, work / "central.db", work, link)
        servers.append(server)
        kills = normal_ends = long_running = second_tick = 0
        for size in waves:
            server.release(size)
            while server.orders("PENDING") and crashed.runs < max_runs and not checker.problems:
                once = rng.random() >= long_share
                moment, trigger, limit = choose_kill(rng, crashed, longest)
                if not once:
                    long_running += 1
                    if rng.random() < idle_share:
                        # Into the second tick of a long-running process, 30 s later.
                        moment, trigger, limit = f"{limit + 30:.2f} s", None, limit + 30
                        second_tick += 1
                process = crashed.start(program, server, once)
                status, ran = finish_or_kill(process, trigger or (lambda: False), limit)
                ending = f"killed after {ran:.2f} s, aimed at {moment}" if status is None \
                    else f"ended {status}"
                where = f"run {crashed.runs} ({'ONCE' if once else 'long-running'}, {ending})"
                if verbose:
                    print(f"  {where}: {len(server.orders('PENDING'))} pending", flush=True)
                if status is None:
                    kills += 1
                else:
                    normal_ends += 1
                    if status != 0:
                        checker.fail(where, f"exit status {status}")
                checker.check(where, crashed, server, final=False)
            if checker.problems:
                break
            if server.orders("PENDING"):
                # The kills stopped at the run limit: the rest must still come through.
                synchronise_cleanly(crashed, program, server, 50)
        runs_with_kills = crashed.runs
        if not checker.problems:
            checker.check(f"end after {runs_with_kills} runs", crashed, server, final=True)

        # One more run without a kill finds nothing owed and prints nothing again.
        if not checker.problems:
            before = {f.name: f.stat().st_mtime_ns for f in crashed.tickets.iterdir()}
            lines_before = len(crashed.log_lines())
            status, _ = finish_or_kill(crashed.start(program, server, once=True),
                                       lambda: False, PROCESS_TIMEOUT)
            after = {f.name: f.stat().st_mtime_ns for f in crashed.tickets.iterdir()}
            rewritten = sorted(n for n in after if before.get(n) != after[n])
            if status != 0 or rewritten:
                checker.fail("last clean run", f"status {status}, tickets written again: "
                                               f"{rewritten[:10]}")
            reprints = [l for l in crashed.log_lines()[lines_before:] if JOURNAL_LINE in l]
            if reprints:
                checker.fail("last clean run", f"journal reprints: {reprints[:5]}")

        reprinted = sum(JOURNAL_LINE in line for line in crashed.log_lines())
        duplicates = sum("Pedido duplicado: NRVENDARESTAUX" in line
                         for line in crashed.log_lines())
        print(f"  crashed: {runs_with_kills} runs ({long_running} long-running, {second_tick} of "
              f"them into a second tick), {kills} killed, {normal_ends} ended normally; "
              f"{reprinted} orders printed from the ticket journal, {duplicates} duplicates "
              f"confirmed", flush=True)
        if checker.problems:
            print(f"FAILED (seed {seed}); work folder kept: {work}")
            for problem in checker.problems[:20]:
                print("  " + problem)
            return 1
        passed = True
        print("passed")
        return 0
    except Failure as failure:
        print(f"FAILED (seed {seed}): {failure}; work folder kept: {work}")
        return 1
    finally:
        for server in servers:
            server.stop()
        if passed and not keep and args.work is None:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
