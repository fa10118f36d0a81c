#!/usr/bin/python3
"""The game's screens as a player sees them, in terminals of 80 to 200 columns.

Plays the real binary on pseudo-terminals of each width (all at once, so the
encounter's real-time pauses are waited out only once), renders everything it
writes with the pyte terminal emulator, and checks each screen's rows: every
frame line alone on its row and as wide as the terminal allows, no blank row
under it, no word split between rows, every word of the screen there in
order, and at 120 columns the rows exactly as the game has always shown them.

Usage: screens_test.py <talvoren binary> <data folder> [unittest arguments]
"""
import re
import unittest

import harness

WIDTHS = (80, 100, 120, 132, 200)
ROWS = 40
CLEAR, FRAME = harness.CLEAR, harness.FRAME_START
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


def snapshot(game, name):
    """The screen as the player sees it once the last awaited text has
    arrived, with the text the game wrote for it since the last clear."""
    raw = game.output[:game.last_end]
    text = raw[raw.rfind(CLEAR) + len(CLEAR):] if CLEAR in raw else raw
    if FRAME in text:  # the bar redraws its row in place: only the last frame shows
        text = text[text.rfind(FRAME):]
    text = ESCAPE.sub(b"", text).replace(b"\r", b"").decode("latin-1")
    screen = game.render(game.last_end)
    return {"name": name, "width": screen.columns, "rows": screen.rows(), "text": text,
            "cursor hidden": screen.cursor.hidden}


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


def play_steps(width, steps, save=None):
    """Plays `steps` in a fresh game and returns the screens they name."""
    game = harness.Game(save=save, columns=width, rows=ROWS)
    shots = []
    try:
        for keys, texts, name in steps:
            if keys:
                game.send(keys)
            for text in texts:
                game.wait_for(text.encode())
            if name:
                shots.append(snapshot(game, name))
    except AssertionError as error:  # a time-out names the run and shows what it saw
        raise AssertionError(f"at {width} columns, after {len(shots)} screens: {error}") from None
    finally:
        game.close()
    return shots


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


class ScreensFitEveryWidth(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        runs = [(steps, save, width) for width in WIDTHS for steps, save in ((NEW_GAME, None), (TOWN, TOWN_SAVE))]
        played = harness.at_once(*[lambda run=run: play_steps(run[2], run[0], run[1]) for run in runs])
        cls.by_screen = {}
        for shots in played:
            for shot in shots:
                cls.by_screen.setdefault(shot["name"], {})[shot["width"]] = shot

    def test_every_screen_fits_its_width(self):
        self.assertEqual(len(self.by_screen), len([step for step in NEW_GAME + TOWN if step[2]]))
        for name, shots in self.by_screen.items():
            self.assertEqual(sorted(shots), sorted(WIDTHS), name)
            for width, shot in shots.items():
                with self.subTest(screen=name, columns=width):
                    self.assertEqual(check(shot), [], "the screen:\n" + "\n".join(shot["rows"]))

    def test_same_words_at_every_width(self):
        """The words of the 120-column screen, in order, at every width."""
        for name, shots in self.by_screen.items():
            if name in ("battle intro", "turn screen", "bar", "after the bar"):
                continue  # a random monster each run
            reference = words(" ".join(shots[120]["rows"]))
            for width, shot in shots.items():
                with self.subTest(screen=name, columns=width):
                    self.assertEqual(words(" ".join(shot["rows"])), reference)


if __name__ == "__main__":
    harness.main()
