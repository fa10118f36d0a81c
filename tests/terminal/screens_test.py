#!/usr/bin/python3
"""The game's screens as a player sees them, in terminals of 80 to 200 columns.

Plays the real binary on pseudo-terminals of each width (all at once, so the
encounter's real-time pauses are waited out only once), renders everything it
writes with the pyte terminal emulator, and checks each screen's rows: every
frame line alone on its row and as wide as the terminal allows, no blank row
under it, no word split between rows, every word of the screen there in
order, and at 120 columns the rows exactly as the game has always shown them.

Usage: screens_test.py <talvoren binary> <folder of the pictures>
"""
import concurrent.futures
import os
import re
import shutil
import sys
import tempfile

import pexpect
import pyte

WIDTHS = (80, 100, 120, 132, 200)
ROWS = 40
PATIENCE = 30  # seconds; the machine may be busy with other builds
CLEAR = b"\x1b[H\x1b[2J"
FRAME = b"\x1b[H["
ESCAPE = re.compile(rb"\x1b\[[0-9;?]*[A-Za-z]|\x1b\][^\x07]*\x07")
RULE_TEXT = re.compile(r"\+-+\+")

# A hero in the wizard's town with skill points to spend.
TOWN_SAVE = "Act 1\nTester\n3\n10\n10\n10\n120\n40\n25\n100\n2\n1\n2\n0"


def rule(columns):
    return "+" + "-" * (columns - 2) + "+"


R = rule(120)
# Screens as they have always looked on a terminal of 120 columns.
AT_120 = {
    "main menu": ["[1] New Game", "[2] Options", "[3] Credits", "[4] Load Game", "", "[99] Exit", ">"],
    "Cyrus": ["Cyrus", R, "Dubistrum has been waiting for you!",
              "He is in the next town over, about 5 miles away.", R, "Press ENTER to continue...", ">"],
    "notice": [R, ":: NOTICE ::", "Next town is about 15 miles away", R,
               "You think to your self 'Sure seems like 5 miles...'", "Press ENTER to continue...", ">"],
    "town menu": [R, "Town :: Objectives :: Speak to the Wizard", R, "[1] Speak to the Wizard", "[2] Heal",
                  "[3] Character Statistics", "", "[98] Save Game", "[99] Exit Game", ">"],
}


class Game:
    """One run of the game on a pseudo-terminal, rendered as it goes."""

    def __init__(self, binary, pictures, width, save=None):
        self.width = width
        self.folder = tempfile.mkdtemp(prefix="talvoren-screens-")
        for name in os.listdir(pictures):
            if name.endswith(".txt"):
                shutil.copy(os.path.join(pictures, name), self.folder)
        if save is not None:
            with open(os.path.join(self.folder, "save1.txt"), "w") as file:
                file.write(save)
        env = {k: v for k, v in os.environ.items() if k not in ("COLUMNS", "LINES")}
        env["TERM"] = "xterm"
        self.screen = pyte.Screen(width, ROWS)
        self.stream = pyte.ByteStream(self.screen)
        self.raw = b""
        self.child = pexpect.spawn(binary, cwd=self.folder, env=env, dimensions=(ROWS, width),
                                   timeout=PATIENCE)

    def close(self):
        self.child.terminate(force=True)
        shutil.rmtree(self.folder, ignore_errors=True)

    def wait(self, *texts):
        for text in texts:
            self.child.expect_exact(text.encode())
            seen = self.child.before + self.child.after
            self.raw += seen
            self.stream.feed(seen)

    def send(self, keys):
        self.child.send(keys.encode())

    def snapshot(self, name):
        rows = [row.rstrip() for row in self.screen.display]
        while rows and not rows[-1]:
            rows.pop()
        text = self.raw[self.raw.rfind(CLEAR) + len(CLEAR):] if CLEAR in self.raw else self.raw
        if FRAME in text:  # the bar redraws its row in place: only the last frame shows
            text = text[text.rfind(FRAME):]
        text = ESCAPE.sub(b"", text).replace(b"\r", b"").decode("latin-1")
        return {"name": name, "width": self.width, "rows": rows, "text": text,
                "cursor hidden": self.screen.cursor.hidden}


PAUSE = ("Press ENTER to continue...", "> ")

# Each step: the keys to send, the texts to wait for, and the screen's name
# (None: not judged). A new game goes from the main menu through the name,
# backstory, Cyrus, the road's notice and its first fight, past one bar.
NEW_GAME = [
    ("", ("[99] Exit", "> "), "main menu"),
    ("1\r", ("SPACES ARE NOT ALLOWED", "> "), "name prompt"),
    ("Ana\r", PAUSE, "backstory"),
    ("\r", PAUSE, "Cyrus"),
    ("\r", PAUSE, "notice"),
    ("\r", ("You have encountered",) + PAUSE, "battle intro"),
    ("\r", ("[99] Flee", "> "), "turn screen"),
    ("1\r", ("\x1b[H[", "\x1b[H[", "\x1b[H[", "]"), "bar"),
    (" ", ("You did: ",) + PAUSE, "after the bar"),
]

# A loaded save: the town's menu and the character sheet.
TOWN = [
    ("", ("[99] Exit", "> "), None),
    ("4\r", ("[99] Exit Game", "> "), "town menu"),
    ("3\r", ("[99] Exit", "> "), "character sheet"),
]


def play_steps(binary, pictures, width, steps, save=None):
    """Plays `steps` in a fresh game and returns the screens they name."""
    game = Game(binary, pictures, width, save)
    shots = []
    try:
        for keys, texts, name in steps:
            if keys:
                game.send(keys)
            game.wait(*texts)
            if name:
                shots.append(game.snapshot(name))
    finally:
        game.close()
    return shots


def new_game(binary, pictures, width):
    return play_steps(binary, pictures, width, NEW_GAME)


def town(binary, pictures, width):
    return play_steps(binary, pictures, width, TOWN, TOWN_SAVE)


def words(text):
    """The words of a text, frame lines left out."""
    return RULE_TEXT.sub(" ", text).split()


def check(shot):
    """Problems with one screen, as readable sentences."""
    width, rows = shot["width"], shot["rows"]
    problems = []
    frame = rule(min(width, 120))
    rules_written = len(RULE_TEXT.findall(shot["text"]))
    frame_rows = [at for at, row in enumerate(rows) if row.startswith("+-")]
    for at in frame_rows:
        if rows[at] != frame:
            problems.append(f"row {at} is not a frame line alone: {rows[at]!r}")
        elif at + 1 < len(rows) and not rows[at + 1]:
            problems.append(f"blank row under the frame line on row {at}")
    if len(frame_rows) != rules_written:
        problems.append(f"{rules_written} frame lines written, {len(frame_rows)} rows show one")
    shown = words(" ".join(row for row in rows if not row.startswith("+-")))
    if shown != words(shot["text"]):
        problems.append(f"words differ from the text written: {shown} != {words(shot['text'])}")
    if width == 120 and shot["name"] in AT_120 and rows != AT_120[shot["name"]]:
        problems.append(f"not as it has always looked at 120 columns: {rows}")
    if shot["name"] == "bar" and not shot["cursor hidden"]:
        problems.append("the cursor shows while the bar animates")
    if shot["name"] == "after the bar" and shot["cursor hidden"]:
        problems.append("the cursor stays hidden after the bar")
    return problems


def main():
    binary, pictures = sys.argv[1], sys.argv[2]
    runs = [(play, width) for width in WIDTHS for play in (new_game, town)]
    failures = 0
    by_screen = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=len(runs)) as pool:
        results = {pool.submit(play, binary, pictures, width): (play.__name__, width) for play, width in runs}
        for done in concurrent.futures.as_completed(results):
            try:
                shots = done.result()
            except Exception as error:  # a time-out names the run and shows what it saw
                print(f"FAIL {results[done]}: {error}")
                failures += 1
                continue
            for shot in shots:
                by_screen.setdefault(shot["name"], {})[shot["width"]] = shot
                for problem in check(shot):
                    print(f"FAIL {shot['name']} at {shot['width']} columns: {problem}")
                    failures += 1
    # The same screen at every width: the words of the 120-column screen, in order.
    for name, shots in by_screen.items():
        if name in ("battle intro", "turn screen", "bar", "after the bar") or 120 not in shots:
            continue  # a random monster each run
        reference = words(" ".join(shots[120]["rows"]))
        for width, shot in shots.items():
            if words(" ".join(shot["rows"])) != reference:
                print(f"FAIL {name} at {width} columns: words differ from the 120-column screen")
                failures += 1
    for name in sorted(by_screen):
        print(f"{name}: checked at {sorted(by_screen[name])} columns")
    if failures:
        for shot in by_screen.get("backstory", {}).values():
            print(f"--- backstory at {shot['width']} columns:\n" + "\n".join(shot["rows"]))
        print(f"{failures} problems")
        return 1
    print("all screens fit")
    return 0


if __name__ == "__main__":
    sys.exit(main())
