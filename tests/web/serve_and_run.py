#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 at a free port while one command runs.

    serve_and_run.py <folder> <command> [arguments...]

Every argument "{url}" is replaced by the site's address. The exit status is
the command's; the server stops with it. The command may stop the server
sooner with SIGUSR1 to this process (a test of the site offline): from then
on every connection is refused.
"""
import functools
import http.server
import signal
import subprocess
import sys
import threading


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript",
                      ".webmanifest": "application/manifest+json"}

    def log_message(self, *args):
        pass

    def handle(self):
        # A page closed or reloaded while a file was on its way is no fault.
        try:
            super().handle()
        except (BrokenPipeError, ConnectionResetError):
            pass


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    folder, command = sys.argv[1], sys.argv[2:]
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    url = "http://127.0.0.1:%d/" % server.server_address[1]
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("serving %s at %s" % (folder, url), flush=True)

    def stop_serving(signum, frame):
        # From another thread: shutdown() waits for serve_forever to return.
        def stop():
            server.shutdown()
            server.server_close()
            print("the server is stopped", flush=True)
        threading.Thread(target=stop).start()

    signal.signal(signal.SIGUSR1, stop_serving)
    try:
        child = subprocess.Popen([url if part == "{url}" else part for part in command])
        # The signal may reach a server thread, which runs no Python handler:
        # the main thread looks often, so that the handler runs at once.
        while True:
            try:
                status = child.wait(timeout=0.1)
                break
            except subprocess.TimeoutExpired:
                pass
    finally:
        signal.signal(signal.SIGUSR1, signal.SIG_IGN)
        server.shutdown()
    sys.exit(status)


if __name__ == "__main__":
    main()
