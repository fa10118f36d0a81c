#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 at a free port while one command runs.

    serve_and_run.py <folder> <command> [arguments...]

Every argument "{url}" is replaced by the site's address. The exit status is
the command's; the server stops with it.
"""
import functools
import http.server
import subprocess
import sys
import threading


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

    def log_message(self, *args):
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
    try:
        status = subprocess.call([url if part == "{url}" else part for part in command])
    finally:
        server.shutdown()
    sys.exit(status)


if __name__ == "__main__":
    main()
