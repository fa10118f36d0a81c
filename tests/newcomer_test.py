"""The real binary as a newcomer meets it: its options are answered before
the game starts, so none of them draws a screen, changes the terminal or
makes a save; and the build tree's game, started from any other folder,
shows its monster pictures, passing over planted ones too large to be one.

Usage: newcomer_test.py GAME_BINARY   (standard library only)
"""
import os
import pty
import subprocess
import sys
import tempfile
import termios
import unittest
from pathlib import Path

GAME = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else None


def run(arguments, **extra):
    return subprocess.run([GAME, *arguments], capture_output=True, timeout=30, **extra)


class Options(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def test_version_and_help_answer_and_leave_the_folder_as_it_was(self):
        version = run(["--version"], cwd=self.folder.name, stdin=subprocess.DEVNULL)
        self.assertEqual((version.returncode, version.stdout, version.stderr), (0, b"talvoren 0.1.0\n", b""))
        helped = run(["--help"], cwd=self.folder.name, stdin=subprocess.DEVNULL)
        self.assertEqual(helped.returncode, 0)
        self.assertTrue(helped.stdout.startswith(b"usage: talvoren [--help | --version]\n"), helped.stdout)
        self.assertIn(b"--version", helped.stdout)
        self.assertEqual(os.listdir(self.folder.name), [])

    def test_bad_arguments_are_usage_errors_on_standard_error(self):
        # What each argument is told is the command line's own unit test; here,
        # that a real argv (a 100,000-character one too) reaches it and stops
        # the game before it starts.
        for arguments, complaint in [
            (["--version", "extra"], b"talvoren: unexpected argument 'extra'\n"),
            (["x" * 100_000], b"talvoren: unknown option '" + b"x" * 64 + b"...'\n"),
        ]:
            with self.subTest(arguments=[a[:20] for a in arguments]):
                result = run(arguments, cwd=self.folder.name, input=b"1\nAna\n")
                self.assertEqual(result.returncode, 2)
                self.assertEqual(result.stdout, b"")
                self.assertEqual(result.stderr, complaint + b"usage: talvoren [--help | --version]\n")
        self.assertEqual(os.listdir(self.folder.name), [], "a usage error must not start a game")

    def test_eight_bit_controls_are_echoed_as_the_locale_encodes_them(self):
        # CSI as UTF-8 (C2 9B) and as one byte (9B), then "ë" in UTF-8.
        argument = b"--\xc2\x9b31m\x9b0m\xc3\xab"
        for variables, echoed in [
            ({"LC_ALL": "", "LC_CTYPE": "C.UTF-8", "LANG": "C"}, b"--?31m?0m\xc3\xab"),
            ({"LC_ALL": "en_US.utf8"}, b"--?31m?0m\xc3\xab"),
            ({"LC_ALL": "C", "LANG": "en_US.UTF-8"}, b"--\xc2?31m?0m\xc3\xab"),
        ]:
            with self.subTest(variables=variables):
                environment = {k: v for k, v in os.environ.items() if k not in ("LC_ALL", "LC_CTYPE", "LANG")}
                result = run([argument], cwd=self.folder.name, stdin=subprocess.DEVNULL,
                             env={**environment, **variables})
                self.assertEqual(result.stderr.splitlines()[0], b"talvoren: unknown option '" + echoed + b"'")

    def test_on_a_terminal_the_answer_is_plain_text_and_the_modes_stay(self):
        parent, child = pty.openpty()
        self.addCleanup(os.close, parent)
        before = termios.tcgetattr(child)
        with os.fdopen(child, "rb+", buffering=0) as tty:
            result = subprocess.run(
                [GAME, "--version"], stdin=tty, stdout=tty, stderr=tty, cwd=self.folder.name,
                env={**os.environ, "TERM": "xterm"}, timeout=30)
            after = termios.tcgetattr(tty)
        seen = os.read(parent, 4096)
        self.assertEqual(result.returncode, 0)
        self.assertEqual(seen, b"talvoren 0.1.0\r\n", "no escape sequence, no alternate screen")
        self.assertEqual(after, before)


class StartedAnywhere(unittest.TestCase):
    def test_the_build_trees_game_shows_its_pictures_from_another_folder(self):
        with tempfile.TemporaryDirectory() as elsewhere:
            # New game, a name, the backstory and Cyrus, the road's notice,
            # then the fight's intro with the monster's picture; input ends there.
            played = subprocess.run([GAME], input=b"1\nAna\n\n\n\n", capture_output=True,
                                    cwd=elsewhere, timeout=60)
            self.assertEqual(played.returncode, 0)
            self.assertIn(b"[!]\n", played.stdout, "the fight's intro was not reached")
            self.assertNotIn(b"Unable to open file", played.stdout)
            # The save lands where the game was started.
            self.assertEqual(os.listdir(elsewhere), ["save1.txt"])

    def test_pictures_planted_in_the_folder(self):
        """Another user's files of the pictures' names in a shared folder: sparse
        ones of 1 TB and links to /dev/zero are passed over at once for the
        game's own picture; small ones are shown, and piped even their escapes
        pass as they are."""
        names = ["bear.txt", "hippopotamus.txt", "raven.txt", "wasp.txt"]
        beside = os.path.dirname(GAME)

        def fight(folder):
            played = subprocess.run([GAME], input=b"1\nAna\n\n\n\n", capture_output=True,
                                    cwd=folder, timeout=60)
            self.assertEqual(played.returncode, 0)
            self.assertNotIn(b"Unable to open file", played.stdout)
            return played.stdout

        with tempfile.TemporaryDirectory() as shared:
            try:
                for name in names:
                    with open(os.path.join(shared, name), "wb") as planted:
                        os.truncate(planted.fileno(), 1 << 40)
            except OSError as refused:
                self.skipTest(f"this disk holds no sparse file of 1 TB: {refused}")
            shown = fight(shared)
            self.assertNotIn(b"\0", shown)
            own = [name for name in names if Path(beside, name).read_bytes() in shown]
            self.assertEqual(len(own), 1, shown[-2000:])

            for name in names:  # endless, and no plain file: refused unread
                os.remove(os.path.join(shared, name))
                os.symlink("/dev/zero", os.path.join(shared, name))
            self.assertNotIn(b"\0", fight(shared))

            hostile = b"\x1b]0;PLANTED\x07\x1b[2J\x9b31mPICTURE\n"
            for name in names:
                os.remove(os.path.join(shared, name))
                Path(shared, name).write_bytes(hostile)
            self.assertIn(b"+" + hostile + b"+-", fight(shared))


if __name__ == "__main__":
    unittest.main(verbosity=2)
