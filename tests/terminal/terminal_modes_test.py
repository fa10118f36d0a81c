#!/usr/bin/python3
"""The real game on a real terminal: the timing bar in key mode, and the
terminal given back intact however the game ends or pauses: by its menu, at
the end of input, by a signal, or stopped by Ctrl-Z and resumed.

Usage: terminal_modes_test.py <talvoren binary> <data folder> [unittest arguments]
"""
import os
import signal
import unittest

import harness
from harness import (AREA_PROMPT, CLEAR, ENTER_ALTERNATE_SCREEN, FRAME_START, HIDE_CURSOR,
                     LEAVE_ALTERNATE_SCREEN, MAIN_MENU, PAUSE_PROMPT, RESET_COLOURS, SHOW_CURSOR,
                     TURN_PROMPT, describe_settings, describe_status, in_key_mode, printable)

# A hero in the first wilderness who takes next to no damage and deals
# little, so that every fight outlasts the turns a test plays.
WILDERNESS_SAVE = "Act 1\nTester\n1\n1000\n1\n5\n0\n0\n25\n50\n0\n1\n3\n0"


# The bar's first two frames as the terminal receives them: filled cells in
# green, then cyan, red and bright white ones, back to bright white at the end.
FIRST_FRAME = (FRAME_START + b"\x1b[0;32;40m:\x1b[0;36;40m" + b"#" * 19 + b"\x1b[0;31;40m" + b"#" * 6
               + b"\x1b[0;97;40m" + b"#" * 9 + b"]\r\n")
SECOND_FRAME = (FRAME_START + b"\x1b[0;32;40m::\x1b[0;36;40m" + b"#" * 18 + b"\x1b[0;31;40m" + b"#" * 6
                + b"\x1b[0;97;40m" + b"#" * 9 + b"]\r\n")


def game_at_the_menu(job_shell=False):
    game = harness.Game(save=WILDERNESS_SAVE, job_shell=job_shell)
    try:
        game.wait_for(MAIN_MENU)
    except BaseException:
        game.close()
        raise
    return game


def game_at_a_turn(job_shell=False):
    """A game that loaded the save, healed and met a monster: its first turn
    waits for an answer, after the encounter's two pauses of two seconds."""
    game = game_at_the_menu(job_shell)
    try:
        for keys, prompt in (("4\r", AREA_PROMPT), ("10\r", AREA_PROMPT), ("1\r", PAUSE_PROMPT),
                             ("\r", TURN_PROMPT)):
            game.send(keys)
            game.wait_for(prompt)
    except BaseException:
        game.close()
        raise
    return game


# Fights made ready ahead of time, all at once, so that their pauses pass together.
ALONE_AT_A_TURN = harness.Ahead(game_at_a_turn)
SHELL_AT_A_TURN = harness.Ahead(lambda: game_at_a_turn(job_shell=True))


def setUpModule():
    ALONE_AT_A_TURN.start(6)  # the bar, four signals during it, a stop with no shell
    SHELL_AT_A_TURN.start(2)  # Ctrl-Z and fg, SIGSTOP and fg


def tearDownModule():
    ALONE_AT_A_TURN.close()
    SHELL_AT_A_TURN.close()


class TerminalCase(unittest.TestCase):
    game = None

    def tearDown(self):
        if self.game is not None:
            self.game.close()

    def start(self, job_shell=False):
        self.game = game_at_the_menu(job_shell)

    def answer(self, keys, next_prompt):
        """Answers a prompt and waits for the next one."""
        self.game.send(keys)
        self.game.wait_for(next_prompt, self.game.mark())

    def reach_the_bar(self, job_shell=False):
        """Attacks on the first turn; returns once the bar animates, in key mode."""
        self.game = (SHELL_AT_A_TURN if job_shell else ALONE_AT_A_TURN).take()
        self.bar_start = self.game.mark()
        self.game.send("1\r")
        self.game.wait_for(SECOND_FRAME, self.bar_start)
        self.assertTrue(in_key_mode(self.game.settings()), describe_settings(self.game.settings()))

    def bar_moves_after(self, start):
        """Waits for two more frames of the bar after `start`."""
        first = self.game.wait_for(FRAME_START, start)
        self.game.wait_for(FRAME_START, first + 1)

    def press_space_for_a_grade(self):
        """Writes one space, with no Enter: the bar stops at once, the space
        unechoed, its grade on the line under it in the terminal's own
        colours and the cursor shown again."""
        start = self.game.mark()
        self.game.send(" ")
        end = self.game.wait_for(b"You did: ", start)
        written = self.game.output[start:end]
        self.assertNotIn(b" ", written, "the space was echoed")
        # A resumed game hides the cursor again as it draws the bar once
        # more, which may land just before the grade.
        written = self.game.output[:end].replace(HIDE_CURSOR, b"")
        self.assertTrue(any(written.endswith(b"]\r\n" + RESET_COLOURS + grade + b"\r\n" + SHOW_CURSOR)
                            for grade in (b"Hit", b"Critical", b"Miss")),
                        "no grade under the bar: " + printable(self.game.output[:end], 300))
        self.assertFalse(self.game.render().cursor.hidden)

    def resume_the_bar(self):
        """Continues a stopped game: the bar moves again, in key mode."""
        resumed_at = self.game.mark()
        self.game.signal(signal.SIGCONT)
        status = self.game.wait_status()
        self.assertTrue(status is not None and os.WIFCONTINUED(status), describe_status(status))
        self.bar_moves_after(resumed_at)
        self.assertTrue(in_key_mode(self.game.settings()), describe_settings(self.game.settings()))

    def assert_in_default_colours(self, screen, first_row, end_row):
        """Every cell of rows first_row..end_row-1, written or blank, shows the
        terminal's default foreground and background."""
        for row in range(first_row, end_row):
            for column in range(screen.columns):
                cell = screen.buffer[row][column]
                self.assertEqual((cell.fg, cell.bg), ("default", "default"),
                                 f"row {row} column {column} ({cell.data!r}) of: {screen.rows()}")

    def assert_settings_restored(self, when):
        now = self.game.settings()
        self.assertEqual(now, self.game.initial_settings,
                         f"{when}: now {describe_settings(now)}, before "
                         f"{describe_settings(self.game.initial_settings)}")

    def assert_shell_screen_back(self, start):
        """After `start` the game left its screen: the player sees the shell's
        screen as it was (blank here), in plain colours, with a cursor."""
        self.game.wait_for(LEAVE_ALTERNATE_SCREEN + RESET_COLOURS, start)
        screen = self.game.render()
        self.assertEqual(screen.rows(), [], "the game's drawing is left on the shell's screen")
        self.assertFalse(screen.cursor.hidden, "the cursor stays hidden")
        self.assertEqual((screen.cursor.attrs.fg, screen.cursor.attrs.bg), ("default", "default"))

    def assert_exits_cleanly(self):
        status = self.game.wait_status()
        self.assertTrue(status is not None and os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0,
                        describe_status(status))

    def flee_and_exit(self):
        """Ends the pause after the bar with one Enter, then leaves the fight
        and the game through the menus."""
        self.answer("\r", TURN_PROMPT)
        self.answer("99\r", AREA_PROMPT)
        self.game.send("99\r")
        self.assert_exits_cleanly()


class TerminalGivenBack(TerminalCase):
    def test_main_menu_exit_leaves_the_terminal_as_it_was(self):
        self.start()
        self.assertEqual(self.game.render().title, "Talvoren -- Build v0.1.0")
        start = self.game.mark()
        self.game.send("99\r")
        self.assert_exits_cleanly()
        self.assert_settings_restored("after exit")
        # The game drew on the alternate screen and gives the shell's screen back,
        # with nothing written after it and the scrollback kept.
        self.assertTrue(self.game.output.startswith(ENTER_ALTERNATE_SCREEN), printable(self.game.output))
        self.assert_shell_screen_back(start)
        self.assertTrue(self.game.output.endswith(LEAVE_ALTERNATE_SCREEN + RESET_COLOURS),
                        printable(self.game.output))
        self.assertNotIn(b"\x1b[3J", self.game.output, "the scrollback was erased")
        self.assertEqual(self.game.folder.read("save1.txt"), WILDERNESS_SAVE)

    def test_end_of_input_at_a_menu_leaves_the_terminal_as_it_was(self):
        self.start()
        self.answer("4\r", AREA_PROMPT)
        start = self.game.mark()
        self.game.send("\x04")  # Ctrl-D on an empty line: the input ends
        self.assert_exits_cleanly()
        self.assert_settings_restored("after the end of input")
        self.assert_shell_screen_back(start)
        self.assertEqual(self.game.folder.read("save1.txt"), WILDERNESS_SAVE)

    def test_bar_animates_and_the_space_bar_alone_stops_it(self):
        self.reach_the_bar()
        shown, start = self.game.output, self.bar_start
        # The screen is cleared, then each frame redraws the top row in place,
        # with the cursor hidden.
        self.assertLess(shown.find(CLEAR, start), shown.find(HIDE_CURSOR, start))
        self.assertLess(shown.find(HIDE_CURSOR, start), shown.find(FRAME_START, start))
        self.assertIn(FIRST_FRAME, shown[start:])
        self.assertTrue(self.game.render().cursor.hidden, "the cursor shows while the bar animates")

        self.press_space_for_a_grade()
        self.game.wait_for(PAUSE_PROMPT, start)
        self.assert_settings_restored("after the bar")
        # After the bar the player's own colours are back (a light theme stays
        # light): the grade and the lines under it, and the next cleared screen.
        screen = self.game.render()
        self.assert_in_default_colours(screen, 1, len(screen.rows()))
        turn = self.game.mark()
        self.answer("\r", TURN_PROMPT)
        screen = self.game.render()
        self.assertIn(b"[1] Attack", self.game.output[turn:])
        self.assert_in_default_colours(screen, 0, screen.lines)
        self.game.send("1\r")  # Attack again: back into the bar, and out of it by a space
        self.game.wait_for(FRAME_START, turn)
        self.press_space_for_a_grade()
        self.game.wait_for(PAUSE_PROMPT, turn)
        end_of_fight = self.game.mark()
        self.flee_and_exit()
        self.assert_settings_restored("after exit")
        # The bar's colours do not outlive the game.
        self.assert_shell_screen_back(end_of_fight)
        self.assertTrue(self.game.output.endswith(RESET_COLOURS), printable(self.game.output))


class SignalsEndTheGame(TerminalCase):
    """A signal that ends the game mid-screen leaves a usable terminal and the
    save file as it was."""

    def assert_ended_by(self, number):
        start = self.game.mark()
        self.game.signal(number)
        status = self.game.wait_status()
        self.assertTrue(status is not None and os.WIFSIGNALED(status) and os.WTERMSIG(status) == number,
                        describe_status(status))
        self.assert_settings_restored("after the signal")
        self.assert_shell_screen_back(start)
        self.assertEqual(self.game.folder.read("save1.txt"), WILDERNESS_SAVE)
        self.assertEqual(self.game.folder.temporary_saves(), 0)
        return start

    def during_the_bar(self, number):
        self.reach_the_bar()
        start = self.assert_ended_by(number)
        # The bar had hidden the cursor: the shell gets it back.
        self.assertIn(SHOW_CURSOR + LEAVE_ALTERNATE_SCREEN, self.game.output[start:],
                      printable(self.game.output[start:]))

    def at_a_menu(self, number):
        self.start()
        self.answer("4\r", AREA_PROMPT)
        self.assert_ended_by(number)

    def test_each_signal_during_the_bar_and_at_a_menu(self):
        for place, number in (("the bar", signal.SIGINT), ("the bar", signal.SIGTERM),
                              ("the bar", signal.SIGHUP), ("the bar", signal.SIGQUIT),
                              ("a menu", signal.SIGINT), ("a menu", signal.SIGTERM)):
            with self.subTest(signal=number.name, during=place):
                try:
                    (self.during_the_bar if place == "the bar" else self.at_a_menu)(number)
                finally:
                    if self.game is not None:
                        self.game.close()
                    self.game = None


class StopAndResume(TerminalCase):
    def test_ctrl_z_during_the_bar_gives_the_terminal_back_until_fg(self):
        """Under a job-control shell: stopped with the terminal given back, and
        on `fg` the bar goes on in key mode."""
        self.reach_the_bar(job_shell=True)
        self.game.send("\x1a")  # Ctrl-Z: the terminal signals the foreground job
        status = self.game.wait_status()
        self.assertTrue(status is not None and os.WIFSTOPPED(status)
                        and os.WSTOPSIG(status) == signal.SIGTSTP, describe_status(status))
        self.assert_settings_restored("while stopped")
        # Stopped, the shell has its own screen back with a visible cursor.
        self.assert_shell_screen_back(self.bar_start)
        self.assertIn(SHOW_CURSOR + LEAVE_ALTERNATE_SCREEN, self.game.output[self.bar_start:])
        stopped_at = self.game.mark()
        self.game.read_for(0.3)
        self.assertNotIn(FRAME_START, self.game.output[stopped_at:], "frames while stopped")

        resumed_at = self.game.mark()
        self.resume_the_bar()
        # After `fg` the game's screen is drawn again, cursor hidden, before the bar goes on.
        shown = self.game.output
        redraw_at = shown.find(ENTER_ALTERNATE_SCREEN + CLEAR, resumed_at)
        self.assertGreaterEqual(redraw_at, 0, printable(shown[resumed_at:]))
        self.assertLess(shown.find(HIDE_CURSOR, redraw_at), shown.find(FRAME_START, redraw_at))

        self.press_space_for_a_grade()
        self.game.wait_for(PAUSE_PROMPT, resumed_at)
        self.assert_settings_restored("after the bar")
        self.flee_and_exit()
        self.assert_settings_restored("after exit")

    def test_fg_at_a_menu_draws_its_screen_again(self):
        """Ctrl-Z at a menu shows the shell's screen; `fg` draws the menu again,
        byte for byte as written since the screen was last cleared, and the
        player sees it as before."""
        self.start(job_shell=True)
        self.answer("4\r", AREA_PROMPT)
        start = self.game.mark()
        self.game.send("\x1a")
        status = self.game.wait_status()
        self.assertTrue(status is not None and os.WIFSTOPPED(status), describe_status(status))
        stopped_at = self.game.wait_for(LEAVE_ALTERNATE_SCREEN, start)
        # The terminal itself echoes the key as "^Z"; the game's screen is what came before.
        typed_at = self.game.output.find(b"^Z", start, stopped_at)
        self.assertGreaterEqual(typed_at, 0, printable(self.game.output[start:]))
        out = self.game.output[:typed_at]
        menu = out[out.rfind(CLEAR) + len(CLEAR):]
        self.assertTrue(menu.endswith(AREA_PROMPT), printable(menu))
        seen = self.game.render(typed_at)
        menu_rows, menu_cursor = seen.rows(), (seen.cursor.x, seen.cursor.y)
        self.assert_shell_screen_back(stopped_at)

        resumed_at = self.game.mark()
        self.game.signal(signal.SIGCONT)
        status = self.game.wait_status()
        self.assertTrue(status is not None and os.WIFCONTINUED(status), describe_status(status))
        self.game.wait_for(ENTER_ALTERNATE_SCREEN + CLEAR + menu, resumed_at)
        screen = self.game.render()
        self.assertEqual(screen.rows(), menu_rows)
        self.assertEqual((screen.cursor.x, screen.cursor.y), menu_cursor)
        # The menu still takes its answer.
        self.game.send("99\r")
        self.assert_exits_cleanly()

    def test_ctrl_z_with_no_shell_leaves_the_bar_running(self):
        """Led by no shell, the game's process group is orphaned and the kernel
        drops the stop: the bar simply goes on, still in key mode."""
        self.reach_the_bar()
        start = self.game.mark()
        self.game.send("\x1a")
        self.bar_moves_after(start)
        self.bar_moves_after(self.game.mark())
        status = self.game.wait_status(timeout=0)
        self.assertIsNone(status, describe_status(status))
        self.assertTrue(in_key_mode(self.game.settings()), describe_settings(self.game.settings()))
        self.press_space_for_a_grade()

    def test_fg_after_a_hard_stop_takes_key_mode_again(self):
        """A stop that cannot be caught (SIGSTOP) leaves key mode on; the shell
        then resets the terminal itself, and on resume the game takes key
        mode again."""
        self.reach_the_bar(job_shell=True)
        self.game.signal(signal.SIGSTOP)
        status = self.game.wait_status()
        self.assertTrue(status is not None and os.WIFSTOPPED(status), describe_status(status))
        self.game.set_settings(self.game.initial_settings)

        resumed_at = self.game.mark()
        self.resume_the_bar()
        self.press_space_for_a_grade()
        self.game.wait_for(PAUSE_PROMPT, resumed_at)
        self.assert_settings_restored("after the bar")


class PlantedPictures(TerminalCase):
    def test_a_terminal_that_reports_no_size_gets_no_escape_from_a_picture(self):
        """A pseudo-terminal of 0 columns, like a serial console: a planted
        picture's title, clear and 8-bit CSI show as "?" and do nothing."""
        self.game = harness.Game(save=WILDERNESS_SAVE, columns=0)
        hostile = "\x1b]0;PLANTED\x07\x1b[2J\x9b" "31mPICTURE\r\n"
        for name in ("bear.txt", "hippopotamus.txt", "raven.txt", "wasp.txt"):
            self.game.folder.write(name, hostile)
        self.game.wait_for(MAIN_MENU)
        self.answer("4\r", AREA_PROMPT)
        start = self.game.mark()
        self.answer("1\r", PAUSE_PROMPT)
        shown = self.game.output[start:]
        self.assertIn(b"?]0;PLANTED??[2J?31mPICTURE\r\n", shown, printable(shown))
        self.assertNotIn(b"\x9b", shown)
        self.assertNotIn(b"\x1b]0;PLANTED", shown)


if __name__ == "__main__":
    harness.main()
