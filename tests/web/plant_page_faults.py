#!/usr/bin/python3
"""Plants known faults in the web page, one at a time, and checks that the
browser tests fail for each of them.

The faults are listed in faults.txt beside this script, in the format of
tests/faults/faults.txt; each changes a file of web/. So no build is needed:
each fault is planted in that file's source, which is laid out as the build
does (a script or style sheet minified with the build's esbuild, its hash in
the service worker renewed) in a copy of an already built site, which is
then served and played by page_access.cjs and, if that passes, by
play_in_browser.cjs.

    /usr/bin/python3 tests/web/plant_page_faults.py [--site build-web/web] [--only ID...]

Needs the site built and the test's packages installed (NODE_PATH), as
.ci/stages/50-web.sh does. Exits non-zero when a fault is missed or stale.
"""

import argparse
import hashlib
import importlib.util
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent
TESTS = ["page_access.cjs", "play_in_browser.cjs"]
LOADERS = {".js": "js", ".css": "css"}
# esbuild as build_site.cjs runs it: node -e MINIFY <npm folder> <loader>, the text on stdin.
MINIFY = """
const esbuild = require(require('path').join(process.argv[1], 'node_modules', 'esbuild'));
let text = '';
process.stdin.on('data', (chunk) => { text += chunk; }).on('end', () => {
  process.stdout.write(esbuild.transformSync(text, { loader: process.argv[2], minify: true, legalComments: 'inline' }).code);
});
"""


def read_faults():
    sys.dont_write_bytecode = True  # no __pycache__ beside plant_faults.py in the source tree
    found = importlib.util.spec_from_file_location("plant_faults", HERE.parent / "faults" / "plant_faults.py")
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module.read_faults(HERE / "faults.txt")


def lay_out(site, name, text, npm):
    """Puts a planted file of web/ into the site copy as the build would, with
    the build's npm folder `npm`."""
    loader = LOADERS.get(Path(name).suffix)
    if loader:
        text = subprocess.run(["node", "-e", MINIFY, str(npm), loader], input=text,
                              stdout=subprocess.PIPE, text=True, check=True).stdout
    (site / name).write_text(text, encoding="utf-8")
    for suffix in (".br", ".gz"):
        (site / (name + suffix)).unlink(missing_ok=True)
    worker = site / "sw.js"
    listed = re.compile('("%s": ")[0-9a-f]{64}"' % re.escape(name))
    sha = hashlib.sha256(text.encode("utf-8")).hexdigest()
    worker.write_text(listed.sub(lambda found: found.group(1) + sha + '"', worker.read_text(encoding="utf-8")),
                      encoding="utf-8")


def caught(site, fault):
    """The first test that fails with the fault planted, or None."""
    for test in TESTS:
        done = subprocess.run(
            [sys.executable, str(HERE / "serve_and_run.py"), str(site), "node", str(HERE / test), "{url}",
             str(site.parent / "fault.png")],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace", timeout=900)
        if done.returncode != 0:
            failed = [line for line in done.stdout.splitlines() if line.startswith("FAILED")]
            return f"{test}: {failed[0] if failed else 'exit ' + str(done.returncode)}"
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--site", default="build-web/web")
    parser.add_argument("--only", nargs="*")
    args = parser.parse_args()
    site = Path(args.site).resolve()
    faults = [f for f in read_faults() if not args.only or f.id in args.only]
    bad = 0
    with tempfile.TemporaryDirectory(prefix="talvoren-page-faults-") as folder:
        copy = Path(folder) / "web"
        for fault in faults:
            if not fault.file.startswith("web/"):
                print(f"{fault.id}: STALE (not a file of web/: {fault.file})")
                bad += 1
                continue
            shutil.rmtree(copy, ignore_errors=True)
            shutil.copytree(site, copy)
            text = (ROOT / fault.file).read_text(encoding="utf-8")
            if text.count(fault.was) != 1:
                print(f"{fault.id}: STALE (its snippet occurs {text.count(fault.was)} times in {fault.file})")
                bad += 1
                continue
            lay_out(copy, Path(fault.file).name, text.replace(fault.was, fault.now), site.parent / "npm")
            failure = caught(copy, fault)
            if failure is None:
                print(f"{fault.id}: MISSED ({fault.says})")
                bad += 1
            else:
                print(f"{fault.id}: caught by {failure}", flush=True)
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
