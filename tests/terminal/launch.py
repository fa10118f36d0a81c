#!/usr/bin/python3
"""Starts the game on the terminal that is this process's standard input,
in a session of its own (the caller made it), with a fresh program's signal
state and no core files (SIGQUIT must not leave them around).

    launch.py alone <folder> <game>      the game becomes this process and so
                                         leads the session, as under a terminal
                                         emulator with no shell
    launch.py job-shell <folder> <game>  a small job-control shell runs the game
                                         as its one foreground job, as an
                                         interactive shell does, and reports on
                                         descriptor 3 the game's pid, then each
                                         change of its state (stopped, continued,
                                         ended) as a wait status; all as native ints
"""
import fcntl
import os
import resource
import signal
import struct
import sys
import termios

FRESH = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT, signal.SIGTSTP, signal.SIGTTIN,
         signal.SIGTTOU, signal.SIGPIPE, signal.SIGXFSZ, signal.SIGCONT, signal.SIGCHLD)


def run_job_shell(game_binary):
    reports = 3
    os.set_inheritable(reports, False)
    go_read, go_write = os.pipe()
    game = os.fork()
    if game == 0:
        os.setpgid(0, 0)
        os.read(go_read, 1)  # the game starts only once it owns the terminal
        os.execv(game_binary, [game_binary])
    os.setpgid(game, game)
    signal.signal(signal.SIGTTOU, signal.SIG_IGN)
    os.tcsetpgrp(0, game)
    os.write(go_write, b"g")
    os.write(reports, struct.pack("i", game))
    while True:
        _, status = os.waitpid(game, os.WUNTRACED | os.WCONTINUED)
        os.write(reports, struct.pack("i", status))
        if os.WIFEXITED(status) or os.WIFSIGNALED(status):
            return


def main():
    mode, folder, game_binary = sys.argv[1:4]
    os.chdir(folder)
    fcntl.ioctl(0, termios.TIOCSCTTY, 0)
    for number in FRESH:
        signal.signal(number, signal.SIG_DFL)
    signal.pthread_sigmask(signal.SIG_SETMASK, [])
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
    if mode == "alone":
        os.execv(game_binary, [game_binary])
    run_job_shell(game_binary)


if __name__ == "__main__":
    main()
