#!/usr/bin/python3
"""The save file under SIGKILL: killed at any moment, even in the middle of
saving, the game leaves either the whole old save or the whole new one, and
a later run saves as usual.

The kill moments come from a seed: a fresh one each run, or the one named in
TALVOREN_KILL_SEED, so that a torn save can be replayed. Each run prints it.

Usage: save_crash_test.py <talvoren binary> <data folder> [unittest arguments]
"""
import os
import random
import signal
import subprocess
import time
import unittest

import harness

SEED_VARIABLE = "TALVOREN_KILL_SEED"
TRIALS = 50

# A long name makes every save a large write, so kills often land inside one.
LONG_NAME = "Wanderer-of-the-long-road-" * (64 * 1024 // 26 + 1)


def save_with(strength, skill_points):
    return f"Act 1\n{LONG_NAME}\n1\n5\n{strength}\n5\n0\n0\n25\n50\n{skill_points}\n1\n3\n0"


# Before: one skill point left. After spending it on Strength: none left.
OLD_SAVE = save_with(5, 1)
NEW_SAVE = save_with(6, 0)


def start_scripted(folder, script):
    """Starts the game with standard input read from `script` and output dropped."""
    folder.write("script.txt", script)
    with open(os.path.join(folder.path, "script.txt"), "rb") as keys:
        return subprocess.Popen([harness.GAME_BINARY], stdin=keys, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, cwd=folder.path)


def describe_damage(contents):
    """A short description of a file that is neither save."""
    lines = contents.count("\n") + (1 if contents else 0)
    return f"{len(contents)} bytes in {lines} lines, starting {contents[:12]!r}"


def kill_trial_seed():
    given = os.environ.get(SEED_VARIABLE, "")
    if not given:
        return random.SystemRandom().getrandbits(32)
    if not given.isdigit() or int(given) > 0xFFFFFFFF:
        raise ValueError(f"{SEED_VARIABLE} is not a number from 0 to 4294967295: {given}")
    return int(given)


class SaveUnderKill(unittest.TestCase):
    def test_file_is_always_a_whole_save(self):
        script = "4\n11\n1\n1\n" + "98\n" * 20000  # load, spend the skill point on Strength, save on
        seed = kill_trial_seed()
        print(f"\nseed {seed} (rerun these kills with {SEED_VARIABLE}={seed})", flush=True)
        moments = random.Random(seed)
        kept_old = found_new = leftovers = 0
        folder = harness.Folder()
        self.addCleanup(folder.remove)
        for trial in range(TRIALS):
            where = f"seed {seed}, trial {trial}"
            folder.write("save1.txt", OLD_SAVE)
            game = start_scripted(folder, script)
            if trial % 2 == 0:
                # Any moment from the start: before the load, during the first save or later.
                time.sleep(moments.randrange(25) / 1000)
            else:
                # Surely in the middle of the run of saves.
                deadline = time.monotonic() + harness.PATIENCE
                while folder.read("save1.txt") != NEW_SAVE and time.monotonic() < deadline:
                    time.sleep(0.001)
                time.sleep(moments.randrange(20000) / 1e6)
            game.kill()
            self.assertEqual(game.wait(), -signal.SIGKILL, where)

            left = folder.read("save1.txt")
            if left == OLD_SAVE:
                kept_old += 1
            elif left == NEW_SAVE:
                found_new += 1
            else:
                self.fail(f"{where}: torn save: {describe_damage(left)}")
            leftovers += folder.temporary_saves()

            # A later run loads what is there and saves over it, leftover
            # temporary files notwithstanding. The file is first rewritten with
            # CR LF line ends, which load the same, to see that the save happens.
            folder.write("save1.txt", left.replace("\n", "\r\n"))
            later = start_scripted(folder, "4\n98\n99\n")
            try:
                status = later.wait(timeout=harness.PATIENCE)
            except subprocess.TimeoutExpired:
                later.kill()
                later.wait()
                self.fail(f"{where}: the later run did not end")
            self.assertEqual(status, 0, f"{where}: the later run ended with {status}")
            self.assertTrue(folder.read("save1.txt") == left, f"{where}: the later run did not save as before")
            # Its own temporary file is gone, and so is the one the killed run
            # left, unread: its lock died with that run.
            self.assertEqual(folder.temporary_saves(), 0, where)
        # Every second trial waited for the new save, so both outcomes occur.
        self.assertGreaterEqual(found_new, TRIALS // 2, f"seed {seed}")
        print(f"{TRIALS} kills: {kept_old} left the old save, {found_new} the new one, "
              f"{leftovers} left a temporary file behind", flush=True)

    def test_one_good_save_clears_what_fifty_kills_left(self):
        """Killed games' temporary files pile up while no save works; the next
        save that works removes them all (their locks died with their games)."""
        script = "4\n11\n1\n1\n" + "98\n" * 20000
        seed = kill_trial_seed()
        print(f"\nseed {seed} (rerun these kills with {SEED_VARIABLE}={seed})", flush=True)
        moments = random.Random(seed)
        folder = harness.Folder()
        self.addCleanup(folder.remove)
        for trial in range(TRIALS):
            folder.write("save1.txt", OLD_SAVE)
            game = start_scripted(folder, script)
            # In the middle of the run of saves, where a kill most often leaves a file.
            deadline = time.monotonic() + harness.PATIENCE
            while folder.read("save1.txt") != NEW_SAVE and time.monotonic() < deadline:
                time.sleep(0.001)
            time.sleep(moments.randrange(20000) / 1e6)
            game.kill()
            self.assertEqual(game.wait(), -signal.SIGKILL, f"seed {seed}, trial {trial}")
        piled = folder.temporary_saves()
        later = start_scripted(folder, "4\n98\n99\n")
        try:
            self.assertEqual(later.wait(timeout=harness.PATIENCE), 0, f"seed {seed}")
        except subprocess.TimeoutExpired:
            later.kill()
            later.wait()
            self.fail(f"seed {seed}: the good save did not end")
        self.assertEqual(folder.read("save1.txt"), NEW_SAVE, f"seed {seed}")
        self.assertLessEqual(folder.temporary_saves(), 1, f"seed {seed}: {piled} piled up")
        print(f"{TRIALS} kills left {piled} temporary files; after one good save "
              f"{folder.temporary_saves()} stayed", flush=True)


if __name__ == "__main__":
    harness.main()
