#!/usr/bin/env python3
"""The driver behind tools/stress (test code, never shipped).

    stressdriver.py [--nopane] RUNS WORKDIR RUNNER [PROGRAM...]

Runs RUNS runs in all, the three kinds of script in turn, through the
console runner RUNNER
(a Linux path to quorvelrun.exe in a program folder of the work's own),
eight at once, each slot under script names of its own (runs of one name
share one log file by design), and counts how every run ended:

  trivial  a one-line script: status 0 and the end line
  fatal    a run-time fatal error: status 3, the box text on standard error
           and the "Exiting..." line in the log
  threadbox  a script thread started and joined, an InfoBox opened and
           closed: status 0, the thread's and the box's lines and the end line

Any other end (a status no run should have, a missing end line, box text or
output line) is an odd end: each is printed with its details, and the driver
ends with status 1 when there was one. With PROGRAM (a control program and
its arguments) the same is done for that program instead of the runner: it
must end with status 0 and print "control end". The runner runs as a user
runs it, its log lines shown in its log pane, unless --nopane is given.
"""
import collections
import concurrent.futures
import os
import subprocess
import sys
import time

WINE = os.environ["WINE"]   # tools/wine, from tools/wineenv
SLOTS = 8
RUN_TIMEOUT = 60

SCRIPTS = {
    "trivial": ("x = 1\n", ["Quorvel end"], ""),
    "fatal": ("main\n{\n    \"before\"\n    x = idiv(7, 0)\n    \"after\"\n}\n",
              ["before", "Exiting... division by zero at line 4"], "division by zero"),
    "threadbox": ("main\n{\n"
                  "    t = threadstart(worker, 3)\n"
                  "    infobox(ib, open, 0, 0, 200, 100)\n"
                  "    m = infobox(ib, msgadd)\n"
                  "    infobox(ib, msgupd, m, \"box\")\n"
                  "    printf(\"box %d\\n\", infobox(ib, gethwnd) != 0)\n"
                  "    infobox(ib, close)\n"
                  "    threadctl(join, t)\n"
                  "    printf(\"joined %d\\n\", threadctl(isalive, t))\n"
                  "}\n"
                  "thread worker(n)\n{\n    sleepm(n)\n}\n",
                  ["box 1", "joined 0", "Quorvel end"], ""),
}
EXPECTED_STATUS = {"trivial": 0, "fatal": 3, "threadbox": 0}


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def write_script(path, text):
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + text.replace("\n", "\r\n").encode("utf-16-le"))


def logstate(log):
    """What the run's own log file says of how far the run came."""
    if not log:
        return ""
    try:
        with open(log, "rb") as f:
            text = f.read().decode("utf-16-le", errors="replace")
    except OSError:
        return "; no log file"
    ends = "Quorvel end" in text or "Exiting..." in text
    return "; its log file %s" % ("has the run's end" if ends else "stops before the run's end")


def run_one(cmd, kind, log=None):
    """Runs one command; returns (status, odd detail or None). `log` is the
    log file the run writes, looked at when it ended oddly."""
    started = time.time()
    if log and os.path.exists(log):
        os.remove(log)  # what the log says is then this run's
    p = subprocess.run(["timeout", "-k", "5", str(RUN_TIMEOUT), WINE] + cmd, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out = p.stdout.decode("utf-8", errors="replace")
    err = p.stderr.decode("utf-8", errors="replace")
    lines = [l.strip() for l in out.split("\n")]
    if kind == "control":
        missing = [] if "control end" in lines else ["control end"]
        box = ""
        want = 0
    else:
        _, needed, box = SCRIPTS[kind]
        want = EXPECTED_STATUS[kind]
        missing = [w for w in needed if not any(l.startswith(w) for l in lines)]
    problems = []
    if p.returncode != want:
        problems.append("status %d" % p.returncode)
    if missing:
        problems.append("missing " + ", ".join(repr(m) for m in missing))
    if box and box not in err:
        problems.append("no box text")
    if not problems:
        return p.returncode, None
    detail = "%s: %s after %.2f s%s; stdout tail %r; stderr tail %r" % (
        kind, "; ".join(problems), time.time() - started, logstate(log), out[-300:], err[-300:])
    return p.returncode, detail


def main():
    args = sys.argv[1:]
    options = []
    if args and args[0] == "--nopane":
        options = ["--nopane"]
        args = args[1:]
    runs, work, runner = int(args[0]), args[1], args[2]
    control = args[3:]
    kinds = ["control"] if control else list(SCRIPTS)
    jobs = []
    for slot in range(SLOTS):
        for kind in kinds:
            if kind == "control":
                continue
            write_script(os.path.join(work, "s%d_%s.tst" % (slot, kind)), SCRIPTS[kind][0])
    # Kinds alternate, so that the three run side by side all through.
    for n in range(runs):
        jobs.append(kinds[n % len(kinds)])
    counts = {k: collections.Counter() for k in kinds}
    odd = {k: 0 for k in kinds}
    shown = 0
    started = time.time()
    with concurrent.futures.ThreadPoolExecutor(SLOTS) as pool:
        free = list(range(SLOTS))
        pending = {}
        it = iter(jobs)
        done_count = 0
        while True:
            while free:
                try:
                    kind = next(it)
                except StopIteration:
                    break
                slot = free.pop()
                if kind == "control":
                    cmd = [winpath(control[0])] + control[1:]
                else:
                    cmd = [winpath(runner)] + options + ["--timeout", "30",
                           winpath(os.path.join(work, "s%d_%s.tst" % (slot, kind)))]
                log = None if kind == "control" else os.path.join(work, "log", "s%d_%s.log" % (slot, kind))
                pending[pool.submit(run_one, cmd, kind, log)] = (slot, kind)
            if not pending:
                break
            finished, _ = concurrent.futures.wait(pending, return_when=concurrent.futures.FIRST_COMPLETED)
            for fut in finished:
                slot, kind = pending.pop(fut)
                free.append(slot)
                status, detail = fut.result()
                counts[kind][status] += 1
                done_count += 1
                if detail:
                    odd[kind] += 1
                    if shown < 50:
                        shown += 1
                        print("stress: odd end: " + detail, flush=True)
                if done_count % 1000 == 0:
                    print("stress: %d runs, %d odd ends, %.0f s" % (done_count, sum(odd.values()),
                                                                     time.time() - started), flush=True)
    print("stress: %d runs, 8 at once, in %.0f s" % (runs, time.time() - started))
    for kind in kinds:
        statuses = ", ".join("status %d: %d" % (s, c) for s, c in sorted(counts[kind].items()))
        print("stress: %-9s %s; odd ends: %d" % (kind, statuses, odd[kind]))
    total = sum(odd.values())
    print("stress: odd ends in all: %d of %d runs" % (total, runs))
    return 1 if total else 0


if __name__ == "__main__":
    sys.exit(main())
