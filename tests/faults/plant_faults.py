#!/usr/bin/python3
"""Plants known faults in a copy of the game, one at a time, and checks that
the test suite fails for each of them.

The faults are listed in faults.txt beside this script. The copy is built once
clean (and the suite must pass there); then for each fault the one file is
changed, the build is brought up to date, the whole suite runs, and the file
is put back. A fault the suite does not notice is a gap in the tests. A
fault with a 'suite:' command of its own (the browser's tests) runs that
command in the copy instead of building the copy and running ctest.

    /usr/bin/python3 tests/faults/plant_faults.py [--source DIR] [--only ID...] [--keep]

Exits non-zero when a fault is missed, stale (its snippet is no longer found
exactly once) or breaks the build, or when the untouched copy fails its suite.
Standard library only.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
FAULT_TABLE = HERE / "faults.txt"
JOBS = "2"  # the machine is shared: never more than two compile or test jobs

# How long one ctest run may take before the fault counts as caught by a hang.
SUITE_TIMEOUT_S = 900
# The default limit for a test that sets none of its own.
TEST_TIMEOUT_S = "120"


class Fault:
    def __init__(self, line):
        self.line = line  # where it starts in faults.txt, for messages
        self.id = ""
        self.says = ""
        self.file = ""
        self.was = None
        self.now = None
        self.suite = ""  # a command of its own in place of the native suite
        self.result = ""
        self.first_failure = ""
        self.seconds = 0.0


def read_faults(path):
    """Blocks of 'key: value' lines separated by blank lines; '#' starts a
    comment line. A repeated 'was:' or 'now:' line continues the snippet on a
    new line. The value starts after the one space following the colon, so
    leading spaces in a snippet count."""
    faults = []
    current = None
    problems = []
    for number, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), start=1):
        if raw.strip() == "":
            current = None
            continue
        if raw.lstrip().startswith("#"):
            continue
        match = re.match(r"^(id|says|file|was|now|suite):(?: (.*))?$", raw)
        if not match:
            problems.append(f"faults.txt:{number}: not a 'key: value' line: {raw!r}")
            continue
        key, value = match.group(1), match.group(2) or ""
        if current is None:
            current = Fault(number)
            faults.append(current)
        if key in ("was", "now"):
            before = getattr(current, key)
            setattr(current, key, value if before is None else before + "\n" + value)
        else:
            setattr(current, key, value)
    seen = set()
    for fault in faults:
        where = f"faults.txt:{fault.line}"
        for key in ("id", "says", "file"):
            if not getattr(fault, key):
                problems.append(f"{where}: fault has no '{key}:'")
        if fault.was is None or fault.now is None:
            problems.append(f"{where}: fault {fault.id or '?'} needs both 'was:' and 'now:'")
        elif fault.was == fault.now:
            problems.append(f"{where}: fault {fault.id} changes nothing")
        if fault.id in seen:
            problems.append(f"{where}: fault id {fault.id} is used twice")
        seen.add(fault.id)
    if problems:
        sys.exit("\n".join(problems))
    return faults


def run(command, cwd, log, timeout=None):
    """Runs a command with its output appended to log; returns (exit code, output).
    A run past the timeout returns None as its exit code."""
    started = time.monotonic()
    try:
        done = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, errors="replace", timeout=timeout)
        code, output = done.returncode, done.stdout
    except subprocess.TimeoutExpired as expired:
        out = expired.stdout or b""
        output = out.decode(errors="replace") if isinstance(out, bytes) else out
        code = None
    with log.open("a", encoding="utf-8") as f:
        f.write(f"\n$ {' '.join(command)}   (in {cwd}, {time.monotonic() - started:.1f} s, exit {code})\n")
        f.write(output)
    return code, output


def source_files(source):
    """Files of the source tree as git sees them: tracked ones (as they are in
    the working tree) and new ones not ignored; build folders are ignored."""
    listed = subprocess.run(
        ["git", "-C", str(source), "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
        stdout=subprocess.PIPE, check=True).stdout
    names = sorted({n for n in listed.decode("utf-8", "surrogateescape").split("\0") if n})
    return [n for n in names if (source / n).is_file() or (source / n).is_symlink()]


def copy_tree(source, copy):
    for name in source_files(source):
        target = copy / name
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(source / name, target, follow_symlinks=False)


def first_failing_test(output):
    # Progress lines such as "  3/150 Test  #12: Suite.Case ......***Failed  0.05 sec",
    # in the order the tests finished.
    for line in output.splitlines():
        match = re.search(r"Test\s+#\d+: (\S+) \.*\s*\*\*\*", line)
        if match:
            return match.group(1)
    # Otherwise the summary ctest prints at the end.
    summary = output.split("The following tests FAILED:", 1)
    if len(summary) == 2:
        match = re.search(r"\d+ - (\S+) \(", summary[1])
        if match:
            return match.group(1)
    if "No tests were found" in output:
        return "(no tests found)"
    return "(see log)"


def run_suite(build, log):
    code, output = run(["ctest", "--output-on-failure", "-j", JOBS, "--stop-on-failure",
                        "--timeout", TEST_TIMEOUT_S],
                       build, log, timeout=SUITE_TIMEOUT_S)
    if code is None:
        return False, "(suite timed out)"
    if code == 0 and "No tests were found" not in output:
        return True, ""
    return False, first_failing_test(output)


def run_own_suite(command, copy, log):
    """A fault's own suite: a shell command run from the top of the copy (the
    browser's tests, which the native suite does not run)."""
    code, output = run(["bash", "-c", command], copy, log, timeout=SUITE_TIMEOUT_S)
    if code == 0:
        return True, ""
    failed = [line for line in output.splitlines() if "FAIL" in line]
    return False, (failed[0].strip()[:60] if failed else f"({command})")


def build_all(build, log):
    code, _ = run(["cmake", "--build", ".", "-j", JOBS], build, log)
    return code == 0


def plant(fault, copy):
    """Returns the file's original text after writing the faulty one, or None
    when the snippet is not found exactly once."""
    path = copy / fault.file
    if not path.is_file():
        return None
    text = path.read_text(encoding="utf-8")
    if text.count(fault.was) != 1:
        return None
    path.write_text(text.replace(fault.was, fault.now, 1), encoding="utf-8")
    return text


def restore(fault, copy, original):
    path = copy / fault.file
    path.write_text(original, encoding="utf-8")
    # Later than the objects built from the faulty text, whatever the clock's grain.
    later = time.time() + 1
    os.utime(path, (later, later))


def count_in(fault, copy):
    path = copy / fault.file
    return path.read_text(encoding="utf-8").count(fault.was) if path.is_file() else 0


def print_table(faults):
    headers = ("id", "what breaks for the player", "result", "first failing test")
    rows = [(f.id, f.says, f.result, f.first_failure or "-") for f in faults]
    widths = [max(len(h), *(len(r[i]) for r in rows)) for i, h in enumerate(headers)]
    line = lambda cells: "  ".join(c.ljust(w) for c, w in zip(cells, widths)).rstrip()
    print(line(headers))
    print(line(["-" * w for w in widths]))
    for row in rows:
        print(line(row))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--source", type=Path, default=HERE.parent.parent,
                        help="the repository to copy (default: the one holding this script)")
    parser.add_argument("--only", nargs="+", metavar="ID", help="plant only these faults")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    parser.add_argument("--config", default="RelWithDebInfo", help="CMake build type")
    args = parser.parse_args()

    faults = read_faults(FAULT_TABLE)
    if args.only:
        unknown = sorted(set(args.only) - {f.id for f in faults})
        if unknown:
            sys.exit(f"no such fault: {', '.join(unknown)}")
        faults = [f for f in faults if f.id in args.only]

    source = args.source.resolve()
    started = time.monotonic()
    work = Path(tempfile.mkdtemp(prefix="talvoren-faults-"))
    copy, build, log = work / "src", work / "build", work / "log.txt"
    print(f"Working in {work} (full log: {log})", flush=True)
    ok = False
    try:
        copy_tree(source, copy)

        stale = [f for f in faults if count_in(f, copy) != 1]
        for fault in stale:
            fault.result = "stale"
            found = count_in(fault, copy)
            print(f"STALE: fault {fault.id}: its snippet occurs {found} times in {fault.file}, "
                  f"not once; update faults.txt", file=sys.stderr, flush=True)

        if any(not f.suite for f in faults if f.result != "stale"):
            print("Configuring and building the untouched copy...", flush=True)
            generator = ["-G", "Ninja"] if shutil.which("ninja") else []
            code, _ = run(["cmake", "-S", str(copy), "-B", str(build), *generator,
                           f"-DCMAKE_BUILD_TYPE={args.config}", "-DTALVOREN_WERROR=OFF"], work, log)
            if code != 0 or not build_all(build, log):
                sys.exit(f"The untouched copy does not build; see {log}")
            passed, failing = run_suite(build, log)
            if not passed:
                sys.exit(f"The untouched copy fails its own suite ({failing}); see {log}")
        for command in dict.fromkeys(f.suite for f in faults if f.suite and f.result != "stale"):
            print(f"Running '{command}' on the untouched copy...", flush=True)
            passed, failing = run_own_suite(command, copy, log)
            if not passed:
                sys.exit(f"The untouched copy fails '{command}' ({failing}); see {log}")
        print(f"Untouched copy built and passed in {time.monotonic() - started:.0f} s.", flush=True)

        for fault in faults:
            if fault.result == "stale":
                continue
            began = time.monotonic()
            original = plant(fault, copy)
            with log.open("a", encoding="utf-8") as f:
                f.write(f"\n===== fault {fault.id}: {fault.says}\n")
            try:
                if fault.suite:
                    passed, failing = run_own_suite(fault.suite, copy, log)
                    fault.result = "missed" if passed else "caught"
                    fault.first_failure = failing
                elif not build_all(build, log):
                    fault.result = "build-broken"
                else:
                    passed, failing = run_suite(build, log)
                    fault.result = "missed" if passed else "caught"
                    fault.first_failure = failing
            finally:
                restore(fault, copy, original)
            fault.seconds = time.monotonic() - began
            print(f"  {fault.id}: {fault.result} {fault.first_failure} ({fault.seconds:.0f} s)", flush=True)
        ok = True
    finally:
        if args.keep or not ok:
            print(f"Kept {work}", flush=True)
        else:
            shutil.rmtree(work, ignore_errors=True)

    print()
    print_table(faults)
    elapsed = time.monotonic() - started
    print(f"\n{len(faults)} faults in {elapsed / 60:.1f} min: "
          + ", ".join(f"{sum(f.result == r for f in faults)} {r}"
                      for r in ("caught", "missed", "stale", "build-broken")))
    bad = [f for f in faults if f.result != "caught"]
    if bad:
        print("NOT CAUGHT: " + ", ".join(f"{f.id} ({f.result})" for f in bad), file=sys.stderr)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
