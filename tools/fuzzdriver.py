#!/usr/bin/env python3
"""The driver behind tools/fuzz (test code, never shipped).

    fuzzdriver.py SECONDS SEED BUILDBIN WORKDIR CORPUSDIR...

Runs inside a wine session of the fuzz prefix, whose drive E: is WORKDIR and
which has no drive onto the rest of the file system. The time goes to three
parts, one after the other:
- a sixth to the in-process compile fuzzer (fuzzengine inproc): mutants of
  the corpus compiled, and random regular expressions;
- a third to generated programs run in process with the segment pass and
  without it (fuzzengine bothways), hundreds a second, their logs,
  variables and fatal exits compared;
- the rest to whole runs through quorvelrun.exe, several at once, each in a
  program folder of its own so that its log and error.log are its own: in
  turn a batch of mutated scripts run with the pass, and a batch of
  generated programs run both ways (--nosegments) and compared.

A finding (a crash or any unexpected status, a hang of an input that cannot
loop for ever, a leak line in error.log, an internal error text, a program
whose two ways differ) is saved, minimised (by fuzzengine's minimiser, which
asks the driver about each candidate), and makes the driver
end with status 1 once every part has had its time; whole runs stop at their
first finding.

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
BATCH = 128              # mutants a batch; a batch of programs has half as many, each run twice
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

    def run(self, text, segments=True):
        """Runs one script text; returns (kind, detail) where kind is None for no finding."""
        kind, detail, _, _ = self.runfull(text, segments)
        return kind, detail

    def runfull(self, text, segments=True, generated=False):
        """Runs one script text; returns (kind, detail, status, output). A
        generated program ends by construction: its time-out is a hang."""
        script = os.path.join(self.dir, "s.tst")
        errlog = os.path.join(self.dir, "error.log")
        if os.path.exists(errlog):
            os.remove(errlog)
        shutil.rmtree(os.path.join(self.dir, "log"), ignore_errors=True)
        os.makedirs(os.path.join(self.dir, "log"))
        write_utf16(script, text)
        cmd = ["timeout", "-k", "5", str(RUN_TIMEOUT + 25), WINE,
               winpath(self.work, os.path.join(self.dir, "quorvelrun.exe")),
               "--nopane", "--timeout", str(RUN_TIMEOUT)] + ([] if segments else ["--nosegments"]) + \
              [winpath(self.work, script)]
        # The log the runner prints can be gigabytes: kept in a file, and only
        # its end read (where an error stands).
        outpath = os.path.join(self.dir, "out.txt")
        with open(outpath, "wb") as sink:
            p = subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=sink, stderr=subprocess.PIPE)
        with open(outpath, "rb") as f:
            f.seek(max(0, os.path.getsize(outpath) - OUT_TAIL))
            tail = f.read()
        os.remove(outpath)
        log = tail.decode("utf-8", errors="replace")
        out = log + p.stderr.decode("utf-8", errors="replace")
        result = (log, p.stderr.decode("utf-8", errors="replace"))
        if os.path.exists(errlog) and os.path.getsize(errlog) > 2:
            return "leak", read_utf16(errlog)[:400], p.returncode, result
        if "internal" in out.lower():
            return "internal", out[-400:], p.returncode, result
        if p.returncode in (0, 3):
            return None, "", p.returncode, result
        lower = text.lower()
        loops = any(w in lower for w in LOOP_WORDS) and not generated
        if p.returncode == 4:
            return (None if loops else "hang"), out[-400:], p.returncode, result
        # A loop that logs long lines writes gigabytes before the runner's
        # time-out, and the runner then outlasts the outer bound copying the
        # log out: the script's own output, not a hang.
        if p.returncode == 124 and loops and self.logbytes() > HUGE_LOG:
            return None, "", p.returncode, result
        return "status %d" % p.returncode, out[-400:], p.returncode, result

    def bothways(self, text):
        """Runs a generated program with the segment pass and without it;
        returns (kind, detail) as run does, a difference being "differ"."""
        k1, d1, s1, (log1, err1) = self.runfull(text, True, True)
        if k1:
            return k1, "with the segment pass: " + d1
        k2, d2, s2, (log2, err2) = self.runfull(text, False, True)
        if k2:
            return k2, "without the segment pass: " + d2
        b1, b2 = logbody(log1), logbody(log2)
        if s1 == s2 and b1 == b2 and err1 == err2:
            return None, ""
        return "differ", ("status %d with the segment pass, %d without\n"
                          "---- log with the segment pass\n%s---- log without\n%s"
                          "---- standard error with the segment pass\n%s---- without\n%s"
                          % (s1, s2, b1, b2, err1, err2))


def logbody(log):
    """A run's log without its start banners and its end line (dates, times
    and the time the run took)."""
    lines = log.split("\n")
    if lines and lines[0].startswith("QUORVEL ver:"):
        lines = lines[3:]
    if len(lines) >= 2 and lines[-2].startswith("Quorvel end"):
        lines = lines[:-2] + lines[-1:]
    return "\n".join(lines)


def cutlines(work, text, still, deadline):
    """Cuts a CR LF text down while still(candidate) holds, until the
    deadline (time.time()): fuzzengine's minimiser, the one the in-process
    findings get (runs of lines, halving, and a block's braces without what
    they hold), asks each candidate of still() here. Gives the text back as
    it was when the minimiser cannot run."""
    path = os.path.join(work, "minimise.tst")
    write_utf16(path, text)
    seconds = max(1, int(deadline - time.time()))
    # A candidate's check may take a whole run's bound after the deadline.
    cmd = ["timeout", "-k", "5", str(seconds + RUN_TIMEOUT + 90), WINE,
           winpath(work, os.path.join(work, "fuzzengine.exe")), "minimise", winpath(work, path), str(seconds)]
    with subprocess.Popen(cmd, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL) as p:
        try:
            for line in p.stdout:
                if line.strip() == b"try":
                    held = still(read_utf16(path + ".try"))
                    p.stdin.write(b"1\n" if held else b"0\n")
                    p.stdin.flush()
        except BrokenPipeError:
            pass  # it ended: its status says how
    return read_utf16(path) if p.returncode == 0 else text


def minimise(slot, text, kind, deadline, generated=False):
    """Cuts lines while the same kind of finding remains."""
    if generated:
        return cutlines(slot.work, text, lambda t: slot.bothways(t)[0] == kind, deadline)
    return cutlines(slot.work, text, lambda t: slot.run(t)[0] == kind, deadline)


def save(findings, name, text, detail, what="finding"):
    os.makedirs(findings, exist_ok=True)
    write_utf16(os.path.join(findings, name + ".tst"), text)
    with open(os.path.join(findings, name + ".txt"), "w", encoding="utf-8") as f:
        f.write(detail + "\n")
    print("fuzz: %s saved: %s" % (what, os.path.join(findings, name + ".tst")))


def engine(work, args, bound, counted):
    """Runs fuzzengine with args for at most `bound` seconds and shows what it
    says; returns (status, output, the number before `counted` in it)."""
    cmd = ["timeout", "-k", "5", str(bound), WINE, winpath(work, os.path.join(work, "fuzzengine.exe"))] + args
    p = subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out = (p.stdout + p.stderr).decode("utf-8", errors="replace")
    sys.stdout.write(out)
    count = 0
    for word in out.split("fuzzengine: ")[1:]:
        if counted in word:
            count = int(word.split()[0])
    return p.returncode, out, count


def inprocess(seconds, seed, work, findings):
    os.makedirs(os.path.join(work, "inproc"), exist_ok=True)
    status, out, count = engine(work, ["inproc", str(seconds), str(seed), winpath(work, os.path.join(work, "inproc")),
                                       winpath(work, os.path.join(work, "corpus"))], seconds + 60, "inputs compiled")
    if status == 0:
        return count, True
    # The input is in finding.tst (an internal error) or current.tst (the
    # process died or hung); minimise it with the engine's check mode.
    src = os.path.join(work, "inproc", "finding.tst")
    if not os.path.exists(src):
        src = os.path.join(work, "inproc", "current.tst")
    text = read_utf16(src)
    save(findings, "inproc-%d" % seed, text, out[-600:])
    small = cutlines(work, text, lambda t: checks(work, "check", t, status), time.time() + 120)
    save(findings, "inproc-%d-min" % seed, small, out[-600:])
    return count, False


def checks(work, mode, candidate, status):
    """Whether `fuzzengine MODE` on candidate ends as the finding did: with
    its status, or for a crash or hang with any status but 0 and 1."""
    write_utf16(os.path.join(work, "inproc", "check.tst"), candidate)
    q = subprocess.run(["timeout", "-k", "5", "60", WINE, winpath(work, os.path.join(work, "fuzzengine.exe")),
                        mode, winpath(work, os.path.join(work, "inproc", "check.tst"))],
                       stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return q.returncode == status or (status != 1 and q.returncode not in (0, 1))


def bothinprocess(seconds, seed, work, findings):
    """Generated programs run both ways in process; their findings (saved and
    minimised by fuzzengine itself) copied into the findings folder, or a
    crash or hang minimised here. Returns (programs, ok)."""
    out_dir = os.path.join(work, "both")
    os.makedirs(out_dir, exist_ok=True)
    # Its minimising takes as long as its programs at most.
    status, out, count = engine(work, ["bothways", str(seconds), str(seed), winpath(work, out_dir)],
                                2 * seconds + 60, "programs run both ways")
    if status == 0:
        return count, True
    if status == 1:
        os.makedirs(findings, exist_ok=True)
        for f in sorted(os.listdir(out_dir)):
            if f.startswith("bothways-"):
                dest = os.path.join(findings, "bothways-%d-%s" % (seed, f[len("bothways-"):]))
                shutil.copy(os.path.join(out_dir, f), dest)
                if f.endswith("-min.tst"):
                    print("fuzz: finding saved: %s" % dest)
        return count, False
    # The process died or hung under a program: it is in current.tst.
    text = read_utf16(os.path.join(out_dir, "current.tst"))
    save(findings, "bothways-%d-crash" % seed, text, out[-600:])
    small = cutlines(work, text, lambda t: checks(work, "bothcheck", t, status), time.time() + 120)
    save(findings, "bothways-%d-crash-min" % seed, small, out[-600:])
    return count, False


def wholeruns(seconds, seed, work, bindir, findings):
    """Mutants run with the segment pass and generated programs run both
    ways, in turn. Returns (runs, programs, ok): programs counts the
    generated ones, each run twice."""
    slots = [Slot(work, bindir, n) for n in range(SLOTS)]
    end = time.time() + seconds
    total = programs = 0
    batchno = 0
    while time.time() < end:
        # One batch of each, taken one of each in turn: a batch waits for its
        # slowest run, so the two kinds share the batches rather than take
        # turns with them.
        jobs = []
        for generated in (False, True):
            batch = os.path.join(work, "batch%d" % batchno)
            os.makedirs(batch)
            if generated:
                args = ["programs", str(BATCH // 2), str(seed * 1000 + batchno), winpath(work, batch)]
            else:
                args = ["gen", str(BATCH), str(seed * 1000 + batchno), winpath(work, batch),
                        winpath(work, os.path.join(work, "corpus"))]
            subprocess.run(["timeout", "60", WINE, winpath(work, os.path.join(work, "fuzzengine.exe"))] + args,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True)
            batchno += 1
            jobs.append([(generated, read_utf16(os.path.join(batch, f))) for f in sorted(os.listdir(batch))])
            shutil.rmtree(batch, ignore_errors=True)
        mutants, generated = jobs
        texts = []
        for k in range(max(len(mutants), len(generated))):
            texts += mutants[2 * k:2 * k + 2] + generated[k:k + 1]
        found = None
        with concurrent.futures.ThreadPoolExecutor(SLOTS) as pool:
            free = list(range(SLOTS))
            pending = {}
            it = iter(texts)
            while True:
                while free and time.time() < end and found is None:
                    try:
                        isprogram, t = next(it)
                    except StopIteration:
                        break
                    s = free.pop()
                    job = slots[s].bothways if isprogram else slots[s].run
                    pending[pool.submit(job, t)] = (s, isprogram, t)
                if not pending:
                    break
                done, _ = concurrent.futures.wait(pending, return_when=concurrent.futures.FIRST_COMPLETED)
                for fut in done:
                    s, isprogram, t = pending.pop(fut)
                    free.append(s)
                    total += 1
                    programs += 1 if isprogram else 0
                    kind, detail = fut.result()
                    if kind and found is None:
                        found = (kind, isprogram, t, detail)
        if found:
            kind, isprogram, text, detail = found
            name = "run-%d-%d" % (seed, total)
            save(findings, name, text, kind + "\n" + detail)
            small = minimise(slots[0], text, kind, time.time() + 120, isprogram)
            # The minimised program's own logs, where both ways were compared.
            again = slots[0].bothways(small)[1] if isprogram else detail
            save(findings, name + "-min", small, kind + "\n" + (again or detail))
            print("fuzz: %d whole runs, finding: %s" % (total, kind))
            return total, programs, False
    print("fuzz: %d whole runs (%d of them generated programs run both ways), no finding" % (total, programs))
    return total, programs, True


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
    # A sixth to compiles in process, a third to programs both ways in
    # process (where a difference of the segments shows hundreds of times
    # faster than in whole runs), the rest to whole runs, which alone meet
    # the real start, the run's end with its releases and leak report, and
    # crashes that end a process.
    compileseconds = max(5, seconds // 6)
    bothseconds = max(5, seconds // 3)
    count, ok1 = inprocess(compileseconds, seed, work, findings)
    programs, ok2 = bothinprocess(bothseconds, seed, work, findings)
    runs, generated, ok3 = wholeruns(max(5, seconds - compileseconds - bothseconds), seed, work, bindir, findings)
    print("fuzz: %d in-process inputs, %d programs compared both ways in process, %d whole runs "
          "(%d of them generated programs run both ways)" % (count, programs, runs, generated))
    return 0 if ok1 and ok2 and ok3 else 1


if __name__ == "__main__":
    sys.exit(main())
