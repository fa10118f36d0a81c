"""The real game binary on a real pseudo-terminal, as a player's terminal runs it.

pexpect reads and writes the terminal's far side; pyte renders what the game
wrote, so that a test can judge the screen as the player sees it (and, when
the game has ended, the shell's screen it gave back). The terminal settings
are read on the far side too, with termios.

Every test file here runs as
    <file>.py <talvoren binary> <data folder> [unittest arguments]
"""
import concurrent.futures
import fcntl
import os
import select
import shutil
import signal
import struct
import sys
import tempfile
import termios
import time
import unittest

import pexpect
import pexpect.fdpexpect
import pyte

# Seconds to wait for anything the game should do. Generous: the machine may
# be busy with other builds, and sanitizer builds start slowly.
PATIENCE = 30

# Set by main() from the command line.
GAME_BINARY = None
DATA_FOLDER = None

LAUNCHER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "launch.py")

ENTER_ALTERNATE_SCREEN = b"\x1b[?1049h"
LEAVE_ALTERNATE_SCREEN = b"\x1b[?1049l"
SHOW_CURSOR = b"\x1b[?25h"
HIDE_CURSOR = b"\x1b[?25l"
RESET_COLOURS = b"\x1b[0m"
CLEAR = b"\x1b[H\x1b[2J"
FRAME_START = b"\x1b[H["  # each frame of the timing bar redraws the top row

MAIN_MENU = b"[1] New Game\r\n[2] Options\r\n[3] Credits\r\n[4] Load Game\r\n\r\n[99] Exit\r\n> "
AREA_PROMPT = b"[99] Exit Game\r\n> "
TURN_PROMPT = b"[1] Attack\r\n[2] Heal\r\n[99] Flee\r\n> "
PAUSE_PROMPT = b"Press ENTER to continue...\r\n> "


def main():
    """Runs the calling file's tests against the binary named on the command line."""
    global GAME_BINARY, DATA_FOLDER
    if len(sys.argv) < 3:
        sys.exit(f"usage: {sys.argv[0]} <talvoren binary> <data folder> [unittest arguments]")
    GAME_BINARY, DATA_FOLDER = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(module="__main__", argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)


class Folder:
    """A scratch folder for one game: the pictures, and a save if given."""

    def __init__(self, save=None):
        self.path = tempfile.mkdtemp(prefix="talvoren-terminal-")
        for name in os.listdir(DATA_FOLDER):
            if name.endswith(".txt"):
                shutil.copy(os.path.join(DATA_FOLDER, name), self.path)
        if save is not None:
            self.write("save1.txt", save)

    def write(self, name, text):
        with open(os.path.join(self.path, name), "wb") as file:
            file.write(text.encode("latin-1"))

    def read(self, name):
        """The file's text, line ends untouched; "" when there is none."""
        try:
            with open(os.path.join(self.path, name), "rb") as file:
                return file.read().decode("latin-1")
        except FileNotFoundError:
            return ""

    def temporary_saves(self):
        """Temporary save files left behind (hidden, named ".save1.txt.*")."""
        return sum(1 for name in os.listdir(self.path) if name.startswith(".save1.txt."))

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)


class PlayerScreen(pyte.Screen):
    """pyte's screen with xterm's alternate screen (private mode 1049), which
    full-screen programs draw on so that the shell's screen comes back
    unchanged when they leave it."""

    ALTERNATE = 1049

    def __init__(self, columns, lines):
        super().__init__(columns, lines)
        self.on_alternate = False
        self.shell_rows = {}

    def set_mode(self, *modes, **kwargs):
        if kwargs.get("private") and self.ALTERNATE in modes and not self.on_alternate:
            self.save_cursor()
            self.shell_rows = {y: dict(row) for y, row in self.buffer.items()}
            self.on_alternate = True
            self.erase_in_display(2)
        super().set_mode(*modes, **kwargs)

    def reset_mode(self, *modes, **kwargs):
        if kwargs.get("private") and self.ALTERNATE in modes and self.on_alternate:
            self.buffer.clear()
            for y, row in self.shell_rows.items():
                self.buffer[y].update(row)
            self.dirty.update(range(self.lines))
            self.on_alternate = False
            self.restore_cursor()
        super().reset_mode(*modes, **kwargs)

    def rows(self):
        """The rows as shown, trailing blanks and blank rows at the bottom left out."""
        rows = [row.rstrip() for row in self.display]
        while rows and not rows[-1]:
            rows.pop()
        return rows


class Game:
    """One run of the game on a pseudo-terminal of its own, in a scratch folder.

    Alone, the game leads its own session, as under a terminal emulator with
    no shell: its process group is then orphaned, so the kernel drops the
    stops it raises itself. Under a job shell, a small job-control shell leads
    the session and runs the game as its foreground job, as an interactive
    shell does.
    """

    def __init__(self, save=None, job_shell=False, columns=120, rows=40):
        self.folder = Folder(save)
        self.job_shell = job_shell
        self.output = b""  # everything the game wrote so far
        self.last_end = 0  # where the last awaited text ended
        self.ended = False
        self.screen = PlayerScreen(columns, rows)
        self.stream = pyte.ByteStream(self.screen)
        self.rendered = 0
        self.reports = None
        self.report_bytes = b""

        master, self.slave = os.openpty()
        fcntl.ioctl(self.slave, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))
        self.initial_settings = termios.tcgetattr(self.slave)
        env = {k: v for k, v in os.environ.items() if k not in ("TERM", "COLUMNS", "LINES")}
        env["TERM"] = "xterm"
        actions = [(os.POSIX_SPAWN_DUP2, self.slave, fd) for fd in (0, 1, 2)]
        report_write = None
        if job_shell:
            self.reports, report_write = os.pipe()
            actions.append((os.POSIX_SPAWN_DUP2, report_write, 3))
        self.child = os.posix_spawn(
            sys.executable,
            [sys.executable, LAUNCHER, "job-shell" if job_shell else "alone", self.folder.path, GAME_BINARY],
            env, file_actions=actions, setsid=True)
        self.terminal = pexpect.fdpexpect.fdspawn(master, timeout=PATIENCE, maxread=65536, use_poll=True)
        self.terminal.logfile_read = self
        self.pid = self.child
        if job_shell:
            os.close(report_write)
            os.set_blocking(self.reports, False)
            self.pid = self._next_report(PATIENCE)
            if self.pid is None:
                self.close()
                raise AssertionError("the job shell did not start the game")

    # Everything pexpect reads from the terminal lands here.
    def write(self, data):
        self.output += data

    def flush(self):
        pass

    def close(self):
        """Ends the game (and its job shell) if it still runs and removes its folder."""
        if not self.ended:
            for pid in filter(None, (self.pid, self.child)):
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        if self.job_shell or not self.ended:
            os.waitpid(self.child, 0)
        self.terminal.close()
        os.close(self.slave)
        if self.reports is not None:
            os.close(self.reports)
        self.folder.remove()

    def send(self, keys):
        """Types keys at the terminal."""
        self.terminal.send(keys.encode("latin-1") if isinstance(keys, str) else keys)

    def signal(self, number):
        if not self.ended:
            os.kill(self.pid, number)

    def settings(self):
        """The terminal's settings now, read on its far side."""
        return termios.tcgetattr(self.terminal.child_fd)

    def set_settings(self, settings):
        """Overwrites the settings, as a shell does when it takes the terminal back."""
        termios.tcsetattr(self.terminal.child_fd, termios.TCSANOW, settings)

    def mark(self):
        """Where in the output later waits may start looking."""
        return len(self.output)

    def wait_for(self, text, start=None, timeout=PATIENCE):
        """Reads until `text` appears at or after `start` (by default, where the
        last awaited text ended) and returns where it starts."""
        start = self.last_end if start is None else start
        deadline = time.monotonic() + timeout
        while (found := self.output.find(text, start)) < 0:
            left = deadline - time.monotonic()
            if left <= 0:
                raise AssertionError(f"no {printable(text)!r} after {timeout} s; the game wrote:\n"
                                     + printable(self.output[start:]))
            self._read(left)
        self.last_end = found + len(text)
        return found

    def read_for(self, seconds):
        """Reads whatever the game writes for the given time."""
        deadline = time.monotonic() + seconds
        while (left := deadline - time.monotonic()) > 0:
            self._read(left)

    def _read(self, timeout):
        try:
            self.terminal.read_nonblocking(65536, timeout)
        except pexpect.TIMEOUT:
            pass

    def render(self, upto=None):
        """The screen as the player sees it once the output up to `upto`
        (by default, all of it read so far) has reached the terminal."""
        upto = len(self.output) if upto is None else upto
        if upto > self.rendered:
            self.stream.feed(self.output[self.rendered:upto])
            self.rendered = upto
        return self.screen

    def wait_status(self, timeout=PATIENCE):
        """The next change of the game's state (stopped, continued, exited or
        killed) as a wait status, reading the output meanwhile; None on time-out."""
        deadline = time.monotonic() + timeout
        while True:
            if self.job_shell:
                status = self._next_report(max(0.0, deadline - time.monotonic()))
            else:
                pid, status = os.waitpid(self.pid, os.WNOHANG | os.WUNTRACED | os.WCONTINUED)
                if pid == 0:
                    status = None
                    if time.monotonic() < deadline:
                        self._read(0.02)
            if status is not None:
                if os.WIFEXITED(status) or os.WIFSIGNALED(status):
                    self.ended = True
                self._read(0)  # whatever the game wrote last
                return status
            if time.monotonic() >= deadline:
                return None

    def _next_report(self, timeout):
        deadline = time.monotonic() + timeout
        while len(self.report_bytes) < 4:
            ready, _, _ = select.select([self.reports, self.terminal.child_fd], [], [],
                                        max(0.0, deadline - time.monotonic()))
            if self.terminal.child_fd in ready:
                self._read(0)
            if self.reports in ready:
                report = os.read(self.reports, 64)
                if not report:
                    return None  # the job shell is gone
                self.report_bytes += report
            if not ready and time.monotonic() >= deadline:
                return None
        value, = struct.unpack("i", self.report_bytes[:4])
        self.report_bytes = self.report_bytes[4:]
        return value


def at_once(*calls):
    """Runs the calls together, each in a thread of its own, and returns their
    results in order: the game's real-time pauses are then waited out once."""
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, len(calls))) as pool:
        return [future.result() for future in [pool.submit(call) for call in calls]]


class Ahead:
    """Games made ahead of time in the background, all at once, then handed
    out one by one; made on the spot when none is left."""

    def __init__(self, make):
        self.make = make
        self.pool = None
        self.waiting = []

    def start(self, count):
        self.pool = concurrent.futures.ThreadPoolExecutor(max_workers=count)
        self.waiting = [self.pool.submit(self.make) for _ in range(count)]

    def take(self):
        return self.waiting.pop(0).result() if self.waiting else self.make()

    def close(self):
        for future in self.waiting:
            try:
                future.result().close()
            except Exception:
                pass
        self.waiting = []
        if self.pool is not None:
            self.pool.shutdown()


def in_key_mode(settings):
    """True when keys reach the game one by one, unechoed."""
    return settings[3] & (termios.ICANON | termios.ECHO) == 0


def describe_settings(settings):
    lflag = settings[3]
    return (f"lflag={lflag:#x} iflag={settings[0]:#x} oflag={settings[1]:#x}"
            f" {'' if lflag & termios.ICANON else '-'}ICANON {'' if lflag & termios.ECHO else '-'}ECHO")


def describe_status(status):
    if status is None:
        return "no change"
    if os.WIFEXITED(status):
        return f"exited with status {os.WEXITSTATUS(status)}"
    if os.WIFSIGNALED(status):
        return f"killed by {signal.Signals(os.WTERMSIG(status)).name}"
    if os.WIFSTOPPED(status):
        return f"stopped by {signal.Signals(os.WSTOPSIG(status)).name}"
    if os.WIFCONTINUED(status):
        return "continued"
    return f"status {status}"


def printable(data, keep=1500):
    """Terminal output made readable: escapes and line ends shown as text,
    and only the last `keep` characters."""
    text = data.decode("latin-1")
    shown = "..." if len(text) > keep else ""
    text = text[-keep:]
    for raw, readable in (("\x1b", "\\e"), ("\r", "\\r"), ("\n", "\\n\n"), ("\x07", "\\a")):
        text = text.replace(raw, readable)
    return shown + text
