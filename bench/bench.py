#!/usr/bin/env python3
"""Measures the figures a player feels and prints them as one table.

Every figure is taken over repeated runs and shown as its median and spread
(lowest to highest), beside a reference measured in the same run: a minimal
program that does the same visible work, `cat`, or the nominal frame time.
Only the standard library is used; the real binary runs in a pseudo-terminal.

Called by bench/run.sh, which builds the programs first.
"""

import argparse
import fcntl
import os
import random
import re
import select
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import termios
import time

FRAME_MS = 50.0
# The space bar is sampled once per frame, so a press just after a sample is
# seen one frame later; on top of that the terminal must carry the bytes both
# ways and this script must wake up to read them.
DELIVERY_MS = 2.0
FRAME_MARK = b"\x1b[H["  # the cursor homed, then the bar's opening bracket
TURN_PROMPT = b"[99] Flee\r\n> "
PAUSE_PROMPT = b"Press ENTER to continue...\r\n> "
GRADE = re.compile(rb"(Critical|Hit|Miss)\r\n")
GRADE_WORD = re.compile(rb"(Critical|Hit|Miss)\n")
SAVE_AT_FIRST_WILDERNESS = "Act 1\nBench\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n3\n0"
PICTURES = ("bear.txt", "hippopotamus.txt", "wasp.txt", "raven.txt")


class BenchError(Exception):
    pass


# ---------------------------------------------------------------- helpers


def median(values):
    return statistics.median(values) if values else float("nan")


def percentile(values, share):
    """Nearest-rank percentile; share in 0..1."""
    if not values:
        return float("nan")
    ordered = sorted(values)
    rank = max(1, int(-(-share * len(ordered) // 1)))
    return ordered[min(rank, len(ordered)) - 1]


def spread(values, unit, digits=1):
    if not values:
        return "-"
    return f"{min(values):.{digits}f}-{max(values):.{digits}f} {unit}"


def spawn(argv, stdin=None, stdout=None, stderr=None, setsid=False):
    actions = []
    for fd, target in ((0, stdin), (1, stdout), (2, stderr)):
        if target is not None:
            actions.append((os.POSIX_SPAWN_DUP2, target, fd))
    env = dict(os.environ, TERM="xterm")
    return os.posix_spawn(argv[0], argv, env, file_actions=actions, setsid=setsid)


def wait_exit(pid, timeout=10.0):
    """Waits for a child this script started; kills it by pid after the timeout."""
    deadline = time.monotonic() + timeout
    while True:
        done, status = os.waitpid(pid, os.WNOHANG)
        if done == pid:
            return os.waitstatus_to_exitcode(status)
        if time.monotonic() > deadline:
            os.kill(pid, signal.SIGKILL)
            os.waitpid(pid, 0)
            raise BenchError(f"process {pid} did not end")
        time.sleep(0.005)


def read_peak(path):
    with open(path) as handle:
        return int(handle.read().strip())


class PtyProcess:
    """A program on a pseudo-terminal, its output timestamped as it arrives."""

    def __init__(self, argv, columns=120):
        self.master, slave = os.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 40, columns, 0, 0))
        self.started = time.perf_counter()
        self.pid = spawn(argv, slave, slave, slave, setsid=True)
        os.close(slave)
        self.buffer = bytearray()
        self.frames = []  # arrival time of every frame, in order
        self._frame_scan = 0
        self.ended = False

    def pump(self, timeout):
        """Reads what has arrived (waiting up to timeout); returns the arrival time."""
        ready, _, _ = select.select([self.master], [], [], max(0.0, timeout))
        if not ready:
            return None
        try:
            chunk = os.read(self.master, 65536)
        except OSError:
            chunk = b""
        now = time.perf_counter()
        if not chunk:
            self.ended = True
            return None
        self.buffer += chunk
        while True:
            found = self.buffer.find(FRAME_MARK, self._frame_scan)
            if found < 0:
                self._frame_scan = max(self._frame_scan, len(self.buffer) - len(FRAME_MARK) + 1)
                break
            self.frames.append(now)
            self._frame_scan = found + len(FRAME_MARK)
        return now

    def expect(self, text, start, timeout):
        """Waits for `text` at or after offset `start`; returns (time, end offset)."""
        deadline = time.perf_counter() + timeout
        arrived = None
        while True:
            found = self.buffer.find(text, start)
            if found >= 0:
                return arrived or time.perf_counter(), found + len(text)
            left = deadline - time.perf_counter()
            if left <= 0 or self.ended:
                tail = bytes(self.buffer[-200:])
                raise BenchError(f"did not see {text!r}; last output {tail!r}")
            arrived = self.pump(left)

    def expect_pattern(self, pattern, start, timeout):
        deadline = time.perf_counter() + timeout
        arrived = None
        while True:
            found = pattern.search(self.buffer, start)
            if found:
                return arrived or time.perf_counter(), found
            left = deadline - time.perf_counter()
            if left <= 0 or self.ended:
                raise BenchError(f"did not see {pattern.pattern!r}")
            arrived = self.pump(left)

    def wait_frames(self, count, timeout):
        deadline = time.perf_counter() + timeout
        while len(self.frames) < count:
            left = deadline - time.perf_counter()
            if left <= 0 or self.ended:
                raise BenchError(f"saw {len(self.frames)} of {count} frames")
            self.pump(left)

    def send(self, data):
        now = time.perf_counter()
        os.write(self.master, data)
        return now

    def close(self):
        try:
            if not self.ended:
                os.kill(self.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        try:
            wait_exit(self.pid, 5.0)
        except (BenchError, ChildProcessError):
            pass
        os.close(self.master)


# ------------------------------------------------------------- start-up


def measure_start(argv, peak_rss, workdir, columns=120):
    """Time from spawn to the menu prompt, and peak memory, of one start."""
    peak_file = os.path.join(workdir, "peak.txt")
    proc = PtyProcess([peak_rss, peak_file] + argv, columns)
    try:
        arrived, _ = proc.expect(b"[99] Exit\r\n> ", 0, 10.0)
        elapsed = (arrived - proc.started) * 1000.0
        proc.send(b"99\n")
        code = wait_exit(proc.pid)
        proc.ended = True
    finally:
        proc.close()
    if code != 0:
        raise BenchError(f"{argv[0]} ended with status {code}")
    return elapsed, read_peak(peak_file) / 1024.0


def bench_start(paths, runs, workdir):
    """Start-up time and memory lists for the game, the floor and the bare floor."""
    names = ("talvoren", "menu_floor", "menu_floor_bare", "talvoren at 80 columns")
    times = {name: [] for name in names}
    memory = {name: [] for name in names}
    for _ in range(runs):  # interleaved, so all see the same machine load
        for name in names:
            columns = 80 if name.endswith("80 columns") else 120
            program = paths[name.split()[0]]
            t, m = measure_start([program], paths["peak_rss"], workdir, columns)
            times[name].append(t)
            memory[name].append(m)
    return times, memory


def bench_version(paths, runs):
    """Spawn-to-exit times of `talvoren --version` and of the hello-world floor."""
    times = {"talvoren": [], "hello_floor": []}
    for _ in range(runs):  # interleaved, so both see the same machine load
        for name, argv in (("talvoren", [paths["talvoren"], "--version"]), ("hello_floor", [paths["hello_floor"]])):
            started = time.monotonic()
            done = subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, timeout=10)
            times[name].append((time.monotonic() - started) * 1000.0)
            if done.returncode != 0 or done.stdout != b"talvoren 0.1.0\n":
                raise BenchError(f"{argv} printed {done.stdout!r}, status {done.returncode}")
    return times["talvoren"], times["hello_floor"]


def bench_wrap(paths, runs):
    """Microseconds per long speech screen, fitted to 80 columns and unfitted."""
    fitted, unfitted, size = [], [], 0
    for _ in range(runs):
        out = subprocess.run([paths["wrap_driver"]], capture_output=True, text=True, check=True).stdout
        size, fit, raw = out.split()
        fitted.append(float(fit))
        unfitted.append(float(raw))
    return int(size), fitted, unfitted


def bench_leftovers(paths, runs):
    """Milliseconds per save beside 1,000 crashed games' temporary files, in a clean folder, and
    beside 100,000 names in another user's mark with 3 of the player's own."""
    crowded, clean, foreign, count, names = [], [], [], 0, 0
    for _ in range(runs):
        out = subprocess.run([paths["leftovers_driver"]], capture_output=True, text=True, check=True,
                             cwd=paths["release"]).stdout
        count, with_them, without, names, beside = out.split()
        crowded.append(float(with_them))
        clean.append(float(without))
        foreign.append(float(beside))
    return int(count), crowded, clean, int(names), foreign


# ----------------------------------------------------------- timing bar


class BarRun:
    def __init__(self):
        self.periods = []  # ms between consecutive frames of the first bar
        self.drift = None  # ms: 40 frames' elapsed time minus 40 * 50 ms
        self.responses = []  # ms from the space written to the grade seen


def play_bars(proc, bars, cadence_frames, rng):
    """Plays `bars` timing bars from a turn prompt and fills one BarRun.

    The first bars are heals, which the monster does not answer, so the hero
    lives through all of them; each gives one space-bar response. The last is
    an attack left to run `cadence_frames` frames, for the frame pace.
    """
    run = BarRun()
    cursor = 0
    for bar in range(bars):
        last = bar == bars - 1
        _, cursor = proc.expect(TURN_PROMPT, cursor, 8.0)
        first = len(proc.frames)
        proc.send(b"1\n" if last else b"2\n")
        wanted = cadence_frames + 1 if last else rng.randint(2, 18)
        proc.wait_frames(first + wanted, 10.0)
        if last:
            stamps = proc.frames[first : first + cadence_frames + 1]
            run.periods = [(b - a) * 1000.0 for a, b in zip(stamps, stamps[1:])]
            run.drift = (stamps[-1] - stamps[0]) * 1000.0 - cadence_frames * FRAME_MS
        # A press at a random moment within a frame, as a person's would be.
        time.sleep(rng.uniform(0.0, FRAME_MS / 1000.0))
        before = len(proc.buffer)
        sent = proc.send(b" ")
        seen, match = proc.expect_pattern(GRADE, before, 5.0)
        run.responses.append((seen - sent) * 1000.0)
        _, cursor = proc.expect(PAUSE_PROMPT, match.end(), 5.0)
        if not last:
            proc.send(b"\n")
    return run


def reach_first_fight(proc):
    _, at = proc.expect(b"[99] Exit\r\n> ", 0, 10.0)
    proc.send(b"4\n")
    _, at = proc.expect(b"Wilderness ::", at, 10.0)
    _, at = proc.expect(b"> ", at, 10.0)
    proc.send(b"1\n")
    # The encounter's two flavour lines take four seconds before the intro.
    _, at = proc.expect(PAUSE_PROMPT, at, 20.0)
    proc.send(b"\n")


def prepare_game_folder(workdir, release):
    folder = os.path.join(workdir, "game")
    os.makedirs(folder, exist_ok=True)
    for name in PICTURES:
        source = os.path.join(release, name)
        if os.path.exists(source):
            shutil.copy(source, folder)
    with open(os.path.join(folder, "save1.txt"), "w") as handle:
        handle.write(SAVE_AT_FIRST_WILDERNESS)
    return folder


def game_bar_run(paths, folder, bars, cadence_frames, rng, prefix=()):
    previous = os.getcwd()
    os.chdir(folder)  # the game reads its save and pictures from here
    try:
        # Every run starts from the same save.
        with open("save1.txt", "w") as handle:
            handle.write(SAVE_AT_FIRST_WILDERNESS)
        proc = PtyProcess(list(prefix) + [paths["talvoren"]])
    finally:
        os.chdir(previous)
    try:
        reach_first_fight(proc)
        return play_bars(proc, bars, cadence_frames, rng)
    finally:
        proc.close()


def floor_bar_run(paths, bars, cadence_frames, rng, prefix=()):
    proc = PtyProcess(list(prefix) + [paths["bar_floor"]])
    try:
        return play_bars(proc, bars, cadence_frames, rng)
    finally:
        proc.close()


def bench_bar(paths, runs, workdir, rng, bars=4, cadence_frames=40):
    folder = prepare_game_folder(workdir, paths["release"])
    game, floor = [], []
    for _ in range(runs):
        game.append(game_bar_run(paths, folder, bars, cadence_frames, rng))
        floor.append(floor_bar_run(paths, bars, cadence_frames, rng))
    return game, floor


# -------------------------------------------------------- screen output

WRITE_LINE = re.compile(r'^(?:\d+\s+)?[\d.]+\s+write\(1, "((?:[^"\\]|\\.)*)"(\.\.\.)?, \d+\)\s+=\s+(\d+)')


def count_writes(log_path):
    """Writes and bytes per frame from an strace log of one bar."""
    writes = []
    with open(log_path, errors="replace") as handle:
        for line in handle:
            found = WRITE_LINE.match(line)
            if found:
                data = bytes.fromhex(found.group(1).replace("\\x", ""))
                writes.append((data, int(found.group(3))))
    frame_writes = [i for i, (data, _) in enumerate(writes) if FRAME_MARK in data]
    if len(frame_writes) < 3:
        raise BenchError("strace saw no timing-bar frames")
    first, last = frame_writes[0], frame_writes[-1]
    # From the second frame on (the first carries the screen clear) up to the
    # last frame: every write in between belongs to some frame.
    span = writes[first + 1 : last + 1]
    frames = len(frame_writes) - 1
    grade_writes = sum(1 for data, _ in span if FRAME_MARK not in data and GRADE_WORD.search(data))
    total_bytes = sum(size for _, size in span)
    return {
        "writes_per_frame": (len(span) - grade_writes) / frames,
        "bytes_per_frame": total_bytes / frames,
        "frames": frames,
    }


def bench_writes(paths, workdir, rng, strace):
    folder = prepare_game_folder(workdir, paths["release"])
    results = {}
    for name in ("talvoren", "bar_floor"):
        log = os.path.join(workdir, f"strace-{name}.log")
        prefix = [strace, "-f", "-qq", "-ttt", "-e", "trace=write", "-e", "signal=none", "-xx",
                  "-s", "64", "-o", log]
        if name == "talvoren":
            game_bar_run(paths, folder, 1, 40, rng, prefix)
        else:
            floor_bar_run(paths, 1, 40, rng, prefix)
        results[name] = count_writes(log)
    return results


# ------------------------------------------------------ picture display


def make_picture(path, size):
    """Picture-like text: lines of varied width, some with Windows line ends."""
    rows = []
    for i in range(997):
        width = 20 + (i * 37) % 100
        row = "".join("#/\\|_.-o@ "[(i * 7 + j * 3) % 10] for j in range(width))
        rows.append(row + ("\r\n" if i % 5 == 0 else "\n"))
    block = "".join(rows).encode()
    with open(path, "wb") as handle:
        written = 0
        while written < size:
            part = block[: size - written]
            handle.write(part)
            written += len(part)


def pipe_to_reader(producer_argv):
    """Runs producer | cat > /dev/null; returns wall seconds."""
    read_end, write_end = os.pipe()
    sink = os.open(os.devnull, os.O_WRONLY)
    start = time.perf_counter()
    producer = spawn(producer_argv, stdout=write_end)
    reader = spawn([shutil.which("cat"), "-"], stdin=read_end, stdout=sink)
    os.close(write_end)
    os.close(read_end)
    os.close(sink)
    codes = (wait_exit(producer, 120.0), wait_exit(reader, 120.0))
    elapsed = time.perf_counter() - start
    if codes != (0, 0):
        raise BenchError(f"pipe run ended with {codes}")
    return elapsed


def bench_picture(paths, runs, workdir):
    big = os.path.join(workdir, "picture-200mb.txt")
    small = os.path.join(workdir, "picture-2mb.txt")
    make_picture(big, 200 * 1000 * 1000)
    make_picture(small, 2 * 1000 * 1000)
    cat = shutil.which("cat")
    peak_file = os.path.join(workdir, "peak.txt")
    megabytes = os.path.getsize(big) / 1e6
    pipe_to_reader([cat, big])  # the file into the page cache for both
    game_rate, cat_rate, big_mem, small_mem = [], [], [], []
    try:
        for _ in range(runs):
            seconds = pipe_to_reader([paths["peak_rss"], peak_file, paths["art_driver"], big])
            game_rate.append(megabytes / seconds)
            big_mem.append(read_peak(peak_file) / 1024.0)
            cat_rate.append(megabytes / pipe_to_reader([cat, big]))
            pipe_to_reader([paths["peak_rss"], peak_file, paths["art_driver"], small])
            small_mem.append(read_peak(peak_file) / 1024.0)
        # The copy must be faithful as well as fast: CR before LF dropped only.
        check = os.path.join(workdir, "copy.txt")
        with open(check, "wb") as out:
            pid = spawn([paths["art_driver"], small], stdout=out.fileno())
            wait_exit(pid, 60.0)
        with open(small, "rb") as original, open(check, "rb") as copy:
            expected = original.read().replace(b"\r\n", b"\n")
            if not expected.endswith(b"\n"):
                expected += b"\n"  # a last line without a line end gets one
            if copy.read() != expected:
                raise BenchError("the picture display changed the picture")
        os.unlink(check)
    finally:
        os.unlink(big)
        os.unlink(small)
    return game_rate, cat_rate, big_mem, small_mem


# ------------------------------------------------------------ test suite


def bench_suite(build, runs):
    ctest = shutil.which("ctest")
    times, outcome = [], ""
    for _ in range(runs):
        start = time.perf_counter()
        done = subprocess.run([ctest, "--test-dir", build, "-j2"], capture_output=True, text=True)
        times.append(time.perf_counter() - start)
        summary = [line for line in done.stdout.splitlines() if "tests passed" in line]
        outcome = summary[-1].strip() if summary else f"ctest exit status {done.returncode}"
    return times, outcome


# ---------------------------------------------------------------- report


def verdict(ok):
    if ok is None:
        return "-"  # shown for context, no target of its own
    return "meets" if ok else "MISSES"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--release", required=True, help="release build folder (bench/CMakeLists.txt)")
    parser.add_argument("--suite", help="normal build folder with the test suite; omitted: no suite row")
    parser.add_argument("--runs", type=int, default=5, help="repeats of each timed figure")
    parser.add_argument("--strace", default=shutil.which("strace"))
    parser.add_argument("--seed", type=int, default=None)
    args = parser.parse_args()

    release = os.path.abspath(args.release)
    paths = {name: os.path.join(release, name)
             for name in ("talvoren", "menu_floor", "menu_floor_bare", "bar_floor", "art_driver",
                          "peak_rss", "wrap_driver", "hello_floor", "leftovers_driver")}
    paths["release"] = release
    for name, path in paths.items():
        if not os.path.exists(path):
            raise BenchError(f"missing {path}: run bench/run.sh")
    rng = random.Random(args.seed)
    runs = max(1, args.runs)
    load_before = os.getloadavg()
    rows = []

    def row(figure, value, value_spread, reference, target, ok):
        rows.append((figure, value, value_spread, reference, target, verdict(ok)))

    with tempfile.TemporaryDirectory(prefix="talvoren-bench-", dir=release) as workdir:
        print("start-up ...", file=sys.stderr)
        # A start takes a few milliseconds, so the noise of a busy machine is
        # large beside it: many interleaved starts, cheap as they are.
        times, memory = bench_start(paths, max(30, runs * 8), workdir)
        gt, ft, bt = (times[n] for n in ("talvoren", "menu_floor", "menu_floor_bare"))
        gm, fm, bm = (memory[n] for n in ("talvoren", "menu_floor", "menu_floor_bare"))
        row("Start-up to menu prompt", f"{median(gt):.2f} ms", spread(gt, "ms", 2),
            f"floor {median(ft):.2f} ms ({median(gt) / median(ft):.2f}x); C library only "
            f"{median(bt):.2f} ms", "<= 1.5x floor", median(gt) <= 1.5 * median(ft))
        row("Start-up peak memory", f"{median(gm):.2f} MiB", spread(gm, "MiB", 2),
            f"floor {median(fm):.2f} MiB ({median(gm) / median(fm):.2f}x); C library only "
            f"{median(bm):.2f} MiB", "<= 1.5x floor", median(gm) <= 1.5 * median(fm))
        nt = times["talvoren at 80 columns"]
        row("Start-up to menu prompt, 80 columns", f"{median(nt):.2f} ms", spread(nt, "ms", 2),
            f"120 columns {median(gt):.2f} ms ({median(nt) / median(gt):.2f}x)", "<= 1.5x floor",
            median(nt) <= 1.5 * median(ft))

        print("--version ...", file=sys.stderr)
        vt, ht = bench_version(paths, max(30, runs * 8))
        row("Start-up of --version to exit", f"{median(vt):.2f} ms", spread(vt, "ms", 2),
            f"hello-world floor {median(ht):.2f} ms ({median(vt) / median(ht):.2f}x)", "<= 1.5x floor",
            median(vt) <= 1.5 * median(ht))

        print("word wrap ...", file=sys.stderr)
        size, fitted, unfitted = bench_wrap(paths, runs)
        row(f"Long speech screen ({size} characters) fitted to 80 columns", f"{median(fitted):.1f} us",
            spread(fitted, "us"), f"unfitted {median(unfitted):.1f} us ({median(fitted) / median(unfitted):.1f}x)",
            "< 1 ms", median(fitted) < 1000.0)

        print("save beside leftovers ...", file=sys.stderr)
        count, crowded, clean, names, foreign = bench_leftovers(paths, runs)
        row(f"Save beside {count:,} crashed games' temporary files (all removed)", f"{median(crowded):.1f} ms",
            spread(crowded, "ms"), f"clean folder {median(clean):.1f} ms", "< 250 ms", median(crowded) < 250.0)
        row(f"Save beside {names:,} of another user's marked names (the player's 3 removed)",
            f"{median(foreign):.1f} ms", spread(foreign, "ms"), f"clean folder {median(clean):.1f} ms",
            "< 1000 ms", median(foreign) < 1000.0)

        print("timing bar ...", file=sys.stderr)
        game, floor = bench_bar(paths, runs, workdir, rng)
        periods = [p for r in game for p in r.periods]
        floor_periods = [p for r in floor for p in r.periods]
        drift = [r.drift for r in game]
        floor_drift = [r.drift for r in floor]
        responses = [x for r in game for x in r.responses]
        floor_responses = [x for r in floor for x in r.responses]
        row("Frame period, median", f"{median(periods):.2f} ms",
            spread([median(r.periods) for r in game], "ms", 2),
            f"50 ms; floor {median(floor_periods):.2f} ms", "50 +- 1 ms",
            abs(median(periods) - FRAME_MS) <= 1.0)
        row("Frame period, 99th percentile", f"{percentile(periods, 0.99):.2f} ms",
            spread([percentile(r.periods, 0.99) for r in game], "ms", 2),
            f"floor {percentile(floor_periods, 0.99):.2f} ms", "-", None)
        row("Drift over 40 frames", f"{median(drift):+.2f} ms", spread(drift, "ms", 2),
            f"floor {median(floor_drift):+.2f} ms", "< 5 ms", max(abs(d) for d in drift) < 5.0)
        row(f"Space-bar response ({len(responses)} presses)", f"{median(responses):.1f} ms",
            spread(responses, "ms"),
            f"one frame 50 ms; floor {median(floor_responses):.1f} ms, worst {max(floor_responses):.1f}",
            f"worst <= 50 ms (+{DELIVERY_MS:.0f} ms delivery)", max(responses) <= FRAME_MS + DELIVERY_MS)

        if args.strace and os.path.exists(args.strace):
            print("screen output ...", file=sys.stderr)
            try:
                writes = bench_writes(paths, workdir, rng, args.strace)
                g, f = writes["talvoren"], writes["bar_floor"]
                row("Writes per bar frame", f"{g['writes_per_frame']:.2f}", f"{g['frames']} frames",
                    f"floor {f['writes_per_frame']:.2f}", "1", g["writes_per_frame"] <= 1.0)
                row("Bytes per bar frame", f"{g['bytes_per_frame']:.0f} B", f"{g['frames']} frames",
                    f"floor {f['bytes_per_frame']:.0f} B", "-", None)
            except BenchError as error:
                rows.append(("Writes per bar frame", "-", "-", f"strace failed: {error}", "1", "not run"))
        else:
            rows.append(("Writes per bar frame", "-", "-", "strace not installed", "1", "not run"))

        print("picture display ...", file=sys.stderr)
        rate, cat_rate, big_mem, small_mem = bench_picture(paths, runs, workdir)
        row("Picture display throughput (200 MB)", f"{median(rate):.0f} MB/s", spread(rate, "MB/s", 0),
            f"cat {median(cat_rate):.0f} MB/s ({median(rate) / median(cat_rate):.2f}x)",
            ">= 0.8x cat", median(rate) >= 0.8 * median(cat_rate))
        row("Picture display peak memory", f"{median(big_mem):.2f} MiB (200 MB)",
            spread(big_mem, "MiB", 2), f"2 MB file {median(small_mem):.2f} MiB",
            "same for both sizes", median(big_mem) - median(small_mem) < 0.5)

    if args.suite:
        print("test suite ...", file=sys.stderr)
        times, outcome = bench_suite(os.path.abspath(args.suite), 3)
        row("Test suite wall time (ctest -j2)", f"{median(times):.1f} s", spread(times, "s"),
            outcome, "<= 30 s", median(times) <= 30.0)

    load_after = os.getloadavg()
    print(f"Machine: {os.cpu_count()} cores; load average {load_before[0]:.2f} at start, "
          f"{load_after[0]:.2f} at end; {runs} runs per timed figure.")
    print()
    header = ("Figure", "Talvoren (median)", "Spread (min-max)", "Reference, same run", "Target", "Verdict")
    print("| " + " | ".join(header) + " |")
    print("|" + "|".join("---" for _ in header) + "|")
    for line in rows:
        print("| " + " | ".join(line) + " |")


if __name__ == "__main__":
    try:
        main()
    except BenchError as error:
        print(f"bench: {error}", file=sys.stderr)
        sys.exit(1)
