#!/usr/bin/env python3
"""Hub crash test: two `zlvsinc-central` processes on one PostgreSQL database are killed
(SIGKILL) and started again at random moments while real `ZlvSinc` stores and simulated stores
synchronise through them, and orders and cancellations keep coming in waves from the hub's own
`add-orders` command. The hub promises every order to its store exactly once, every cancellation
applied once, and nothing it confirmed lost. This checks that:

  - no simulated store is handed an order or a cancellation again after a hub answered its
    confirmation, nor one of another store, nor a cancellation naming another sale of its own;
  - at the end (kills stopped, both hubs up, the stores run until nothing is pending) every order
    and cancellation is CONFIRMED, every confirmation a hub answered among them;
  - each simulated store holds each of its orders exactly once and applied each of its
    cancellations, and nothing else;
  - each real store's database holds each of its orders exactly once (VENDAREST.NRVENDARESTAUX),
    and each cancelled order has its order tabs cancelled ("4") and a cancellation ticket, which
    no other order has.

The real stores (installations as crash_test.py makes them, each on a branch of its own) run in
ONCE runs or as long-running processes ended after a few seconds, and reach the hubs through a
round-robin TCP forwarder in this test: a connection goes to the next hub, and one to a hub that
is down fails, as the store then sees it. A simulated store picks a hub per cycle and speaks the
store protocol (docs/protocol.md): BaixaPedidos, UpdateSincronismo confirming what it got,
AtualizaPedidos uploading its sales with their central numbers. The PostgreSQL server is a
throwaway one from build/bin/zlv_test_postgres; a failure to start it fails the test.

Configuration (environment):
  ZLV_HUB_CRASH_SECONDS  how long the kills go on (default 30)
  ZLV_HUB_CRASH_WAVES    waves of orders during the kills (default 4)
  ZLV_HUB_CRASH_ORDERS   orders per store and wave (default 4); a wave also cancels one
                         confirmed order per store
  ZLV_HUB_CRASH_STORES   simulated stores (default 30)
  ZLV_HUB_CRASH_REAL     real ZlvSinc stores (default 3)
  ZLV_HUB_CRASH_SEED     seed of the kills, the choices and the orders (default: from the clock;
                         the processes' timing still varies from run to run)
  ZLV_HUB_CRASH_KEEP     keep the work folder even when everything passed
  ZLV_HUB_CRASH_VERBOSE  print a line per kill
A failure names the seed and keeps the work folder (installations, hub logs). ctest runs the
defaults, about a minute; the long form is ZLV_HUB_CRASH_SECONDS=600 ZLV_HUB_CRASH_WAVES=40.
"""

import argparse
import asyncio
import json
import os
import random
import re
import shutil
import signal
import struct
import sys
import tempfile
import time
import traceback
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from crash_test import Failure, Installation, env_number, make_store_database  # noqa: E402

STORE = "001"
CALL_TIMEOUT = 20  # seconds a simulated store waits for an answer
QUIET_TIMEOUT = 120  # seconds the stores get to finish once the kills stop
CANCEL_TICKET = re.compile(r"^(\d+)C2?_.*\.txt$")


class Hub:
    """One hub process slot, started again on a new port after each kill."""

    def __init__(self, name, program, uri, folder):
        self.name, self.program, self.uri = name, program, uri
        self.log = folder / f"{name}.err"
        self.process, self.port, self.starts = None, None, 0
        self.answers = 0  # chunks it sent the real stores, which some kills wait for

    async def start(self):
        with open(self.log, "ab") as err:
            self.process = await asyncio.create_subprocess_exec(
                str(self.program), "serve", "--db", self.uri, "--port", "0",
                stdout=asyncio.subprocess.PIPE, stderr=err)
        line = (await asyncio.wait_for(self.process.stdout.readline(), 60)).decode()
        match = re.search(r"listening on 127\.0\.0\.1:(\d+)", line)
        if not match:
            await self.kill()
            raise Failure(f"{self.name} did not start: {line!r}; see {self.log}")
        self.starts += 1
        self.port = int(match.group(1))

    async def kill(self, sig=signal.SIGKILL):
        self.port = None
        if self.process and self.process.returncode is None:
            self.process.send_signal(sig)
            await self.process.wait()


class Forwarder:
    """Round-robin TCP forwarder in front of the hubs, for the real stores."""

    def __init__(self, hubs):
        self.hubs, self.turn = hubs, 0

    async def start(self):
        self.server = await asyncio.start_server(self.connect, "127.0.0.1", 0)
        self.port = self.server.sockets[0].getsockname()[1]

    async def connect(self, reader, writer):
        hub = self.hubs[self.turn % len(self.hubs)]
        self.turn += 1
        try:
            if hub.port is None:
                raise ConnectionRefusedError
            up_reader, up_writer = await asyncio.open_connection("127.0.0.1", hub.port)
        except OSError:
            writer.close()
            return
        await asyncio.gather(pipe(reader, up_writer), pipe(up_reader, writer, hub))


async def pipe(reader, writer, hub=None):
    try:
        while data := await reader.read(65536):
            if hub:
                hub.answers += 1
            writer.write(data)
            await writer.drain()
    except OSError:
        pass
    finally:
        writer.close()


# --- Simulated stores ---------------------------------------------------------------------------


class HubError(Exception):
    """An error answer: the call failed, as it does for a real store."""


class Rpc:
    """Framed JSON-RPC over one connection: a 4-byte big-endian length, then the JSON."""

    def __init__(self, reader, writer):
        self.reader, self.writer, self.id = reader, writer, 0

    async def call(self, method, params):
        self.id += 1
        body = json.dumps({"jsonrpc": "2.0", "id": self.id, "method": method,
                           "params": params}).encode()
        self.writer.write(struct.pack(">I", len(body)) + body)
        await self.writer.drain()
        (size,) = struct.unpack(">I", await self.reader.readexactly(4))
        answer = json.loads(await self.reader.readexactly(size))
        if "error" in answer:
            raise HubError(f"{method}: {answer['error'].get('message')}")
        if answer.get("id") != self.id:
            raise HubError(f"{method}: answer to id {answer.get('id')}, not {self.id}")
        return answer["result"]


def packet(names, rows):
    return {"fields": [{"name": n, "type": "string", "size": 20} for n in names], "rows": rows}


def rows_of(data, *names):
    """The packet's rows as tuples of the named cells."""
    index = {field["name"].upper(): at for at, field in enumerate(data["fields"])}
    return [tuple(row[index[name]] for name in names) for row in data["rows"]]


class SimStore:
    """A store that keeps, per central sale number, the order (once: a duplicate is ignored and
    confirmed again, as the real store does) and whether it applied its cancellation."""

    def __init__(self, branch):
        self.branch = branch
        self.orders = {}  # central number -> own sale number
        self.cancelled = set()
        self.answered_orders, self.answered_cancels = set(), set()  # confirmations answered OK
        self.finished = set()  # own sale numbers the hub answered "D"
        self.problems = []
        self.ticks = self.failed = 0

    def fail(self, message):
        if f"store {self.branch}: {message}" not in self.problems:
            self.problems.append(f"store {self.branch}: {message}")

    def take(self, result):
        """What a BaixaPedidos answer hands out: (orders, cancellations) to confirm."""
        if result is None or isinstance(result, str):
            return [], []
        orders, cancels = [], []
        for branch, store, central in rows_of(result[2], "CDFILIAL", "CDLOJA", "NRVENDAREST"):
            if (branch, store) != (self.branch, STORE):
                self.fail(f"handed order {central} of store {branch}/{store}")
                continue
            if central in self.answered_orders:
                self.fail(f"order {central} handed out again after its confirmation was answered")
            self.orders.setdefault(central, str(len(self.orders) + 1))
            orders.append(central)
        for branch, store, central, local in rows_of(result[8], "CDFILIAL", "CDLOJA",
                                                     "NRVENDAREST", "NRVENDARESTAUX"):
            if (branch, store) != (self.branch, STORE) or self.orders.get(central) != local:
                self.fail(f"handed cancellation of {central} (own number {local}) of "
                          f"{branch}/{store}, which holds {self.orders.get(central)}")
                continue
            if central in self.answered_cancels:
                self.fail(f"cancellation of {central} handed out again after its confirmation "
                          f"was answered")
            self.cancelled.add(central)
            cancels.append(central)
        return orders, cancels

    async def tick(self, port):
        reader, writer = await asyncio.open_connection("127.0.0.1", port)
        try:
            rpc = Rpc(reader, writer)
            orders, cancels = self.take(await rpc.call("BaixaPedidos", [self.branch, STORE]))
            if orders or cancels:
                key = ["CDFILIAL", "NRVENDAREST"]
                await rpc.call("UpdateSincronismo",
                               [packet(key, [[self.branch, c] for c in orders]),
                                packet(key, [[self.branch, c] for c in cancels])])
                self.answered_orders.update(orders)
                self.answered_cancels.update(cancels)
            sales = [(local, central) for central, local in self.orders.items()
                     if local not in self.finished]
            for first in range(0, len(sales), 100):
                await self.upload(rpc, dict(sales[first:first + 100]))
        finally:
            writer.close()

    async def upload(self, rpc, sales):
        """Sends a batch of sales (own number -> central number) with their tabs' state."""
        answer = await rpc.call("AtualizaPedidos", [[
            packet(["CDFILIAL", "CDLOJA", "NRVENDAREST", "NRVENDARESTAUX"],
                   [[self.branch, STORE, local, central] for local, central in sales.items()]),
            packet(["NRVENDAREST", "IDSTCOMANDA"],
                   [[local, "4" if central in self.cancelled else "3"]
                    for local, central in sales.items()]),
            None, None, None, self.branch, STORE]])
        for local, central, code in rows_of(answer[1], "NRVENDAREST", "NRVENDARESTAUX",
                                            "SGSEXOCON"):
            if sales.get(local) != central:
                self.fail(f"upload of {local} answered with central number {central}")
            if code == "D":
                self.finished.add(local)


# --- The run ------------------------------------------------------------------------------------


class HubCrashTest:
    def __init__(self, args, seed, work):
        self.bin, self.source, self.work = args.bin_dir, args.source_dir, work
        self.central = args.bin_dir / "zlvsinc-central"
        self.rng = random.Random(seed)
        self.seconds = env_number("ZLV_HUB_CRASH_SECONDS", 30.0, float)
        self.waves = env_number("ZLV_HUB_CRASH_WAVES", 4)
        self.per_wave = env_number("ZLV_HUB_CRASH_ORDERS", 4)
        self.verbose = bool(os.environ.get("ZLV_HUB_CRASH_VERBOSE"))
        sims = env_number("ZLV_HUB_CRASH_STORES", 30)
        reals = env_number("ZLV_HUB_CRASH_REAL", 3)
        self.sims = [SimStore(f"{2001 + n:04d}") for n in range(sims)]
        self.reals = [Installation(work / f"store{n + 1}", self.source, f"{1001 + n:04d}")
                      for n in range(reals)]
        self.branches = [s.branch for s in self.sims] + [i.first_parameter[:4] for i in self.reals]
        # add-orders reads each branch's master data from a database no store process writes.
        (work / "master").mkdir()
        for branch in self.branches:
            make_store_database(work / "master" / f"{branch}.db", self.source, branch)
        self.stopping = asyncio.Event()
        self.forwarder = None
        self.kills = self.real_runs = self.hub_errors = 0

    async def sql(self, query):
        process = await asyncio.create_subprocess_exec(
            "psql", "-X", "-q", "-At", "-F", "\t", "-v", "ON_ERROR_STOP=1", "-d", self.uri, "-c",
            query, stdout=asyncio.subprocess.PIPE, stderr=asyncio.subprocess.PIPE)
        out, err = await process.communicate()
        if process.returncode != 0:
            raise Failure(f"psql: {err.decode().strip()}")
        return [line.split("\t") for line in out.decode().splitlines()]

    async def add_orders(self, branch, count, cancel):
        master = self.work / "master" / f"{branch}.db"
        process = await asyncio.create_subprocess_exec(
            str(self.central), "add-orders", "--db", self.uri, "--branch", branch, "--store",
            STORE, "--count", str(count), "--cancel", str(cancel), "--seed",
            str(self.rng.randrange(1, 1_000_000)), "--store-db", str(master),
            stdout=asyncio.subprocess.PIPE, stderr=asyncio.subprocess.PIPE)
        _, err = await process.communicate()
        if process.returncode != 0:
            raise Failure(f"add-orders for {branch} failed: {err.decode().strip()}")

    async def run_sim(self, store):
        while not self.stopping.is_set():
            hub = self.rng.choice(self.hubs)
            try:
                if hub.port is None:
                    raise ConnectionRefusedError
                await asyncio.wait_for(store.tick(hub.port), CALL_TIMEOUT)
                store.ticks += 1
            except HubError:
                self.hub_errors += 1
                store.failed += 1
            except (OSError, asyncio.IncompleteReadError, asyncio.TimeoutError):
                store.failed += 1
            except (KeyError, IndexError, TypeError, ValueError) as error:
                store.fail(f"unreadable answer: {error!r}")
            await asyncio.sleep(self.rng.uniform(0.1, 0.5))

    async def run_real(self, install):
        program = self.bin / "ZlvSinc"
        while not self.stopping.is_set():
            once = self.rng.random() >= 0.25
            process = install.start(program, self.forwarder.port, once)
            # A long-running process does its first cycle at once, then waits 30 s: end it then.
            limit = time.monotonic() + (120 if once else self.rng.uniform(2, 8))
            try:
                while process.poll() is None and time.monotonic() < limit:
                    await asyncio.sleep(0.05)
            finally:
                if process.poll() is None:
                    process.kill()
                    process.wait()
            self.real_runs += 1
            await asyncio.sleep(self.rng.uniform(0.05, 0.5))

    async def kill_hubs(self, until):
        while time.monotonic() < until:
            await asyncio.sleep(self.rng.uniform(0.2, 2.0))
            victims = self.hubs if self.rng.random() < 0.15 else [self.rng.choice(self.hubs)]
            if len(victims) == 1 and self.rng.random() < 0.5:
                # Right after some more answers to the real stores: inside their sessions.
                target = victims[0].answers + self.rng.randint(1, 8)
                deadline = time.monotonic() + 3
                while victims[0].answers < target and time.monotonic() < deadline:
                    await asyncio.sleep(0.002)
            for hub in victims:
                await hub.kill()
                self.kills += 1
            if self.verbose:
                print(f"  {time.monotonic() - self.began:5.1f} s: killed "
                      f"{', '.join(h.name for h in victims)}", flush=True)
            await asyncio.sleep(self.rng.uniform(0, 0.5))
            for hub in victims:
                await hub.start()

    async def send_waves(self, until):
        for wave in range(self.waves):
            for branch in self.branches:
                await self.add_orders(branch, self.per_wave, 1 if wave else 0)
            await asyncio.sleep(max(0.0, (until - time.monotonic()) / (self.waves - wave)))

    async def pending(self):
        return await self.sql("SELECT 'order', CDFILIAL, NRVENDAREST FROM CENTRAL_ORDER WHERE "
                              "STATE <> 'CONFIRMED' UNION ALL SELECT 'cancellation', CDFILIAL, "
                              "NRVENDAREST FROM CENTRAL_CANCEL WHERE STATE <> 'CONFIRMED'")

    async def run(self):
        postgres = await asyncio.create_subprocess_exec(
            str(self.bin / "zlv_test_postgres"), stdin=asyncio.subprocess.PIPE,
            stdout=asyncio.subprocess.PIPE, stderr=asyncio.subprocess.PIPE)
        try:
            try:
                line = await asyncio.wait_for(postgres.stdout.readline(), 120)
            except asyncio.TimeoutError:
                line = b""
            self.uri = line.decode().strip()
            if not self.uri.startswith("postgres"):
                if postgres.returncode is None:
                    postgres.kill()
                raise Failure("PostgreSQL did not start: "
                              f"{(await postgres.stderr.read()).decode().strip()}")
            return await self.run_on_database()
        finally:
            postgres.stdin.close()
            await postgres.wait()

    async def run_on_database(self):
        self.hubs = [Hub(f"hub{n}", self.central, self.uri, self.work) for n in (1, 2)]
        tasks = []
        try:
            for hub in self.hubs:
                await hub.start()
            self.forwarder = Forwarder(self.hubs)
            await self.forwarder.start()
            self.began = time.monotonic()
            until = self.began + self.seconds
            tasks = [asyncio.create_task(self.run_sim(s)) for s in self.sims]
            tasks += [asyncio.create_task(self.run_real(i)) for i in self.reals]
            await asyncio.gather(self.kill_hubs(until), self.send_waves(until))
            raise_failed(tasks)
            for hub in self.hubs:
                if hub.port is None:
                    await hub.start()
            quiet_by = time.monotonic() + QUIET_TIMEOUT
            problems = []
            while left := await self.pending():
                raise_failed(tasks)
                if any(s.problems for s in self.sims) or time.monotonic() > quiet_by:
                    problems.append(f"still pending when the wait ended: {left[:10]}")
                    break
                await asyncio.sleep(1)
            else:
                # One more cycle of every simulated store: nothing confirmed may come again.
                ticks = [s.ticks for s in self.sims]
                while any(s.ticks <= t + 1 for s, t in zip(self.sims, ticks)):
                    if time.monotonic() > quiet_by:
                        raise Failure("simulated stores stopped completing their cycles")
                    await asyncio.sleep(0.2)
            self.stopping.set()
            await asyncio.gather(*tasks)
        finally:
            self.stopping.set()
            for task in tasks:
                task.cancel()
            await asyncio.gather(*tasks, return_exceptions=True)
            for hub in self.hubs:
                await hub.kill(signal.SIGTERM)
            if self.forwarder:
                self.forwarder.server.close()
        return problems + await self.check()

    async def check(self):
        orders, cancels, confirmed = {}, {}, set()
        for table, found in (("CENTRAL_ORDER", orders), ("CENTRAL_CANCEL", cancels)):
            for branch, sale, state in await self.sql(
                    f"SELECT CDFILIAL, NRVENDAREST, STATE FROM {table}"):
                found.setdefault(branch, set()).add(sale)
                if state == "CONFIRMED":
                    confirmed.add((table, branch, sale))
        problems = []
        for store in self.sims:
            problems += store.problems
            mine, cancelled = orders.get(store.branch, set()), cancels.get(store.branch, set())
            for what, held, expected in (("orders", store.orders.keys(), mine),
                                         ("cancellations", store.cancelled, cancelled)):
                if held != expected:
                    problems.append(f"store {store.branch}: {what} never received "
                                    f"{sorted(expected - held)[:10]}, not its own "
                                    f"{sorted(held - expected)[:10]}")
            lost = sorted(c for c in store.answered_orders
                          if ("CENTRAL_ORDER", store.branch, c) not in confirmed)
            lost += sorted(c for c in store.answered_cancels
                           if ("CENTRAL_CANCEL", store.branch, c) not in confirmed)
            if lost:
                problems.append(f"store {store.branch}: answered confirmations not kept {lost}")
        for install in self.reals:
            problems += check_real_store(install, orders, cancels)
        ticks, failed = sum(s.ticks for s in self.sims), sum(s.failed for s in self.sims)
        print(f"  {self.kills} hub kills, {sum(h.starts for h in self.hubs)} hub starts; "
              f"{ticks} simulated cycles ({failed} failed, {self.hub_errors} with an error "
              f"answer), {self.real_runs} real store runs; {sum(len(s) for s in orders.values())} "
              f"orders, {sum(len(s) for s in cancels.values())} cancellations", flush=True)
        return problems


def raise_failed(tasks):
    """A store's loop that ended on an error fails the test at once."""
    for task in tasks:
        if task.done() and task.exception():
            raise task.exception()


def check_real_store(install, orders, cancels):
    branch = install.first_parameter[:4]
    where = f"real store {branch}"
    counts, numbers, tabs = {}, {}, {}
    for (central,) in install.query("SELECT NRVENDARESTAUX FROM VENDAREST WHERE CDFILIAL = ? AND "
                                    "NRVENDARESTAUX IS NOT NULL", (branch,)):
        counts[central] = counts.get(central, 0) + 1
    for central, dscomanda, state in install.query(
            "SELECT V.NRVENDARESTAUX, C.DSCOMANDA, C.IDSTCOMANDA FROM VENDAREST V JOIN COMANDAVEN "
            "C ON C.CDFILIAL = V.CDFILIAL AND C.NRVENDAREST = V.NRVENDAREST WHERE V.CDFILIAL = ? "
            "AND V.NRVENDARESTAUX IS NOT NULL", (branch,)):
        numbers[dscomanda.replace("DLV_", "")] = central
        tabs.setdefault(central, set()).add(state)
    problems = []
    twice = sorted(c for c, n in counts.items() if n > 1)
    mine, cancelled = orders.get(branch, set()), cancels.get(branch, set())
    if twice or counts.keys() != mine:
        problems.append(f"{where}: orders held twice {twice[:10]}, missing "
                        f"{sorted(mine - counts.keys())[:10]}, not its own "
                        f"{sorted(counts.keys() - mine)[:10]}")
    not_cancelled = sorted(c for c in cancelled if tabs.get(c) != {"4"})
    if not_cancelled:
        problems.append(f"{where}: cancelled orders whose tabs are not all cancelled "
                        f"{not_cancelled[:10]}")
    codes = [row[0] for row in install.query(
        "SELECT NRSEQIMPRLOJA FROM IMPRLOJA WHERE CDFILIAL = ? AND CDLOJA = ?", (branch, STORE))]
    ticketed = set()
    for file in install.tickets.iterdir() if install.tickets.exists() else []:
        match = CANCEL_TICKET.match(file.name)
        for code in codes if match else []:
            if match.group(1).startswith(code) and match.group(1)[len(code):] in numbers:
                ticketed.add(numbers[match.group(1)[len(code):]])
    if ticketed != cancelled:
        problems.append(f"{where}: cancellations without a ticket "
                        f"{sorted(cancelled - ticketed)[:10]}, tickets of orders not cancelled "
                        f"{sorted(ticketed - cancelled)[:10]}")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin-dir", type=Path, required=True)
    parser.add_argument("--source-dir", type=Path, default=Path(__file__).resolve().parents[2])
    args = parser.parse_args()
    args.bin_dir = args.bin_dir.resolve()  # the stores run in their own folders
    seed = env_number("ZLV_HUB_CRASH_SEED", int(time.time() * 1000) % 1_000_000_007)
    work = Path(tempfile.mkdtemp(prefix="zlv-hub-crash-"))
    print(f"hub crash test: seed {seed}, work folder {work}", flush=True)
    test = HubCrashTest(args, seed, work)
    try:
        problems = asyncio.run(test.run())
    except Failure as failure:
        problems = [str(failure)] + [p for s in test.sims for p in s.problems]
    except Exception as error:  # a fault of the harness itself: its trace, and the folder kept
        traceback.print_exc()
        problems = [f"{type(error).__name__}: {error}"]
    if problems:
        print(f"FAILED (seed {seed}); work folder kept: {work}")
        for problem in problems[:20]:
            print("  " + problem)
        return 1
    print("passed")
    if not os.environ.get("ZLV_HUB_CRASH_KEEP"):
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
