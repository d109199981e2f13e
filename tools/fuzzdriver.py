#!/usr/bin/env python3
"""The driver behind tools/fuzz (test code, never shipped).

    fuzzdriver.py SECONDS SEED BUILDBIN WORKDIR CORPUSDIR...

Runs inside a wine session of the fuzz prefix, whose drive E: is WORKDIR and
which has no drive onto the rest of the file system. A quarter of the time
goes to the in-process compile fuzzer (fuzzengine inproc), the rest to whole
runs of mutated scripts through quorvelrun.exe, several at once, each in a
program folder of its own so that its log and error.log are its own.

A finding (a crash or any unexpected status, a hang of an input that cannot
loop for ever, a leak line in error.log, an internal error text) is saved,
minimised line by line, and ends the driver with status 1.

Nothing is run again: every odd end is a finding. (Wine's loader used to
end a start now and then with status 1 before the program ran; tools/wine
starts it with a fixed layout, which removes that end.)
"""
import concurrent.futures
import os
import shutil
import subprocess
import sys
import time

WINE = os.environ["WINE"]   # tools/wine, from tools/wineenv
SLOTS = 8
RUN_TIMEOUT = 5          # the runner stops a script after this many seconds
BATCH = 200
HUGE_LOG = 256 << 20     # bytes of log that take the runner long to print
OUT_TAIL = 1 << 20       # bytes of a run's printed log that are looked at
# An input holding none of these words cannot loop for ever: a time-out is a hang.
LOOP_WORDS = ("while", "for", "do", "goto", "function", "functstr", "thread", "call", "exeline",
              "sleep", "wait", "queue", "box", "clipboardmon", "kbhit")


def winpath(work, path):
    return "E:\\" + os.path.relpath(path, work).replace("/", "\\")


def read_utf16(path):
    with open(path, "rb") as f:
        data = f.read()
    return data.decode("utf-16-le", errors="replace").lstrip("\ufeff")


def write_utf16(path, text):
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le", errors="surrogatepass"))


class Slot:
    def __init__(self, work, bindir, n):
        self.dir = os.path.join(work, "slot%d" % n)
        os.makedirs(os.path.join(self.dir, "log"), exist_ok=True)
        for f in ("quorvelrun.exe", "quorvelcore.dll"):
            shutil.copy2(os.path.join(bindir, f), self.dir)
        self.work = work

    def logbytes(self):
        folder = os.path.join(self.dir, "log")
        return sum(os.path.getsize(os.path.join(folder, f)) for f in os.listdir(folder))

    def run(self, text):
        """Runs one script text; returns (kind, detail) where kind is None for no finding."""
        script = os.path.join(self.dir, "s.tst")
        errlog = os.path.join(self.dir, "error.log")
        if os.path.exists(errlog):
            os.remove(errlog)
        shutil.rmtree(os.path.join(self.dir, "log"), ignore_errors=True)
        os.makedirs(os.path.join(self.dir, "log"))
        write_utf16(script, text)
        cmd = ["timeout", "-k", "5", str(RUN_TIMEOUT + 25), WINE,
               winpath(self.work, os.path.join(self.dir, "quorvelrun.exe")),
               "--nopane", "--timeout", str(RUN_TIMEOUT), winpath(self.work, script)]
        # The log the runner prints can be gigabytes: kept in a file, and only
        # its end read (where an error stands).
        outpath = os.path.join(self.dir, "out.txt")
        with open(outpath, "wb") as sink:
            p = subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=sink, stderr=subprocess.PIPE)
        with open(outpath, "rb") as f:
            f.seek(max(0, os.path.getsize(outpath) - OUT_TAIL))
            tail = f.read()
        os.remove(outpath)
        out = tail.decode("utf-8", errors="replace") + p.stderr.decode("utf-8", errors="replace")
        if os.path.exists(errlog) and os.path.getsize(errlog) > 2:
            return "leak", read_utf16(errlog)[:400]
        if "internal" in out.lower():
            return "internal", out[-400:]
        if p.returncode in (0, 3):
            return None, ""
        lower = text.lower()
        loops = any(w in lower for w in LOOP_WORDS)
        if p.returncode == 4:
            return (None, "") if loops else ("hang", out[-400:])
        # A loop that logs long lines writes gigabytes before the runner's
        # time-out, and the runner then outlasts the outer bound copying the
        # log out: the script's own output, not a hang.
        if p.returncode == 124 and loops and self.logbytes() > HUGE_LOG:
            return None, ""
        return "status %d" % p.returncode, out[-400:]


def minimise(slot, text, kind, deadline):
    """Drops runs of lines while the same kind of finding remains."""
    lines = text.split("\r\n")
    chunk = max(1, len(lines) // 2)
    while chunk >= 1 and time.time() < deadline:
        k = 0
        changed = False
        while k < len(lines) and time.time() < deadline:
            trial = lines[:k] + lines[k + chunk:]
            if trial and slot.run("\r\n".join(trial))[0] == kind:
                lines = trial
                changed = True
            else:
                k += chunk
        if not changed:
            chunk //= 2
    return "\r\n".join(lines)


def save(findings, name, text, detail, what="finding"):
    os.makedirs(findings, exist_ok=True)
    write_utf16(os.path.join(findings, name + ".tst"), text)
    with open(os.path.join(findings, name + ".txt"), "w", encoding="utf-8") as f:
        f.write(detail + "\n")
    print("fuzz: %s saved: %s" % (what, os.path.join(findings, name + ".tst")))


def inprocess(seconds, seed, work, findings):
    cmd = ["timeout", "-k", "5", str(seconds + 60), WINE, winpath(work, os.path.join(work, "fuzzengine.exe")),
           "inproc", str(seconds), str(seed), winpath(work, os.path.join(work, "inproc")),
           winpath(work, os.path.join(work, "corpus"))]
    os.makedirs(os.path.join(work, "inproc"), exist_ok=True)
    p = subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out = (p.stdout + p.stderr).decode("utf-8", errors="replace")
    sys.stdout.write(out)
    count = 0
    for word in out.split("fuzzengine: ")[1:]:
        if "inputs compiled" in word:
            count = int(word.split()[0])
    if p.returncode == 0:
        return count, True
    # The input is in finding.tst (an internal error) or current.tst (the
    # process died or hung); minimise it with the engine's check mode.
    src = os.path.join(work, "inproc", "finding.tst")
    if not os.path.exists(src):
        src = os.path.join(work, "inproc", "current.tst")
    text = read_utf16(src)
    save(findings, "inproc-%d" % seed, text, out[-600:])
    lines = text.split("\r\n")

    def still(candidate):
        write_utf16(os.path.join(work, "inproc", "check.tst"), candidate)
        q = subprocess.run(["timeout", "-k", "5", "60", WINE, winpath(work, os.path.join(work, "fuzzengine.exe")),
                            "check", winpath(work, os.path.join(work, "inproc", "check.tst"))],
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        return q.returncode == p.returncode or (p.returncode != 1 and q.returncode not in (0, 1))

    deadline = time.time() + 120
    chunk = max(1, len(lines) // 2)
    while chunk >= 1 and time.time() < deadline:
        k, changed = 0, False
        while k < len(lines) and time.time() < deadline:
            trial = lines[:k] + lines[k + chunk:]
            if trial and still("\r\n".join(trial)):
                lines, changed = trial, True
            else:
                k += chunk
        if not changed:
            chunk //= 2
    save(findings, "inproc-%d-min" % seed, "\r\n".join(lines), out[-600:])
    return count, False


def wholeruns(seconds, seed, work, bindir, findings):
    slots = [Slot(work, bindir, n) for n in range(SLOTS)]
    end = time.time() + seconds
    total = 0
    batchno = 0
    while time.time() < end:
        batch = os.path.join(work, "batch%d" % batchno)
        os.makedirs(batch)
        subprocess.run(["timeout", "60", WINE, winpath(work, os.path.join(work, "fuzzengine.exe")), "gen",
                        str(BATCH), str(seed * 1000 + batchno), winpath(work, batch),
                        winpath(work, os.path.join(work, "corpus"))],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True)
        batchno += 1
        texts = [read_utf16(os.path.join(batch, f)) for f in sorted(os.listdir(batch))]
        shutil.rmtree(batch, ignore_errors=True)
        found = None
        with concurrent.futures.ThreadPoolExecutor(SLOTS) as pool:
            free = list(range(SLOTS))
            pending = {}
            it = iter(texts)
            while True:
                while free and time.time() < end and found is None:
                    try:
                        t = next(it)
                    except StopIteration:
                        break
                    s = free.pop()
                    pending[pool.submit(slots[s].run, t)] = (s, t)
                if not pending:
                    break
                done, _ = concurrent.futures.wait(pending, return_when=concurrent.futures.FIRST_COMPLETED)
                for fut in done:
                    s, t = pending.pop(fut)
                    free.append(s)
                    total += 1
                    kind, detail = fut.result()
                    if kind and found is None:
                        found = (kind, t, detail)
        if found:
            kind, text, detail = found
            name = "run-%d-%d" % (seed, total)
            save(findings, name, text, kind + "\n" + detail)
            small = minimise(slots[0], text, kind, time.time() + 120)
            save(findings, name + "-min", small, kind + "\n" + detail)
            print("fuzz: %d whole runs, finding: %s" % (total, kind))
            return total, False
    print("fuzz: %d whole runs, no finding" % total)
    return total, True


def main():
    seconds, seed, bindir, work = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3], sys.argv[4]
    findings = os.environ.get("QUORVEL_FUZZ_FINDINGS", os.path.join(bindir, "..", "fuzz-findings"))
    corpus = os.path.join(work, "corpus")
    os.makedirs(corpus, exist_ok=True)
    n = 0
    for d in sys.argv[5:]:
        for f in sorted(os.listdir(d)):
            if f.endswith(".tst"):
                shutil.copy(os.path.join(d, f), os.path.join(corpus, "%04d_%s" % (n, f)))
                n += 1
    shutil.copy2(os.path.join(bindir, "fuzzengine.exe"), work)
    inseconds = max(5, seconds // 4)
    count, ok = inprocess(inseconds, seed, work, findings)
    if not ok:
        return 1
    runs, ok = wholeruns(max(5, seconds - inseconds), seed, work, bindir, findings)
    print("fuzz: %d in-process inputs, %d whole runs" % (count, runs))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
