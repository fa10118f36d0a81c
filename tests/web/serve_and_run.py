#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 at a free port while one command runs.

    serve_and_run.py [--precompressed] [--keep-alive] [--cache-seconds N] <folder> <command> [arguments...]

Every argument "{url}" is replaced by the site's address. The exit status is
the command's; the server stops with it. The command may stop the server
sooner with SIGUSR1 to this process (a test of the site offline): from then
on every connection is refused.

--precompressed serves a file's .br or .gz beside it, with its
Content-Encoding, to a browser that accepts it, as static hosts do.
--keep-alive answers with HTTP/1.1 on connections kept open, as hosts do,
instead of one connection a file. --cache-seconds lets browsers keep every file that long (Cache-Control:
max-age), as a host that caches everything would. The folder may be a
symbolic link that a test points at another build (a deploy): each request
follows it anew.
"""
import argparse
import functools
import http.server
import os
import signal
import subprocess
import sys
import threading


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript",
                      ".webmanifest": "application/manifest+json"}

    ENCODINGS = {"br": ".br", "gzip": ".gz"}  # the better one first
    precompressed = False
    stopped = False  # connections kept open answer nothing once stopped
    cache_seconds = None

    def log_message(self, *args):
        pass

    def handle_one_request(self):
        if self.stopped:
            self.close_connection = True
            return
        super().handle_one_request()

    def end_headers(self):
        if self.cache_seconds is not None:
            self.send_header("Cache-Control", "max-age=%d" % self.cache_seconds)
        super().end_headers()

    def send_head(self):
        encoded = self.encoded_file() if self.precompressed else None
        if encoded is None:
            return super().send_head()
        path, encoding = encoded
        try:
            handle = open(path + self.ENCODINGS[encoding], "rb")
        except OSError:
            return super().send_head()
        try:
            self.send_response(200)
            self.send_header("Content-Type", self.guess_type(path))
            self.send_header("Content-Encoding", encoding)
            self.send_header("Content-Length", str(os.fstat(handle.fileno()).st_size))
            self.send_header("Vary", "Accept-Encoding")
            self.end_headers()
        except Exception:
            handle.close()
            raise
        return handle

    def encoded_file(self):
        """The file asked for and the best encoding of it that the browser
        accepts and the folder holds, or None."""
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            if not self.path.split("?", 1)[0].endswith("/"):
                return None
            path = os.path.join(path, "index.html")
        accepted = {part.split(";")[0].strip() for part in self.headers.get("Accept-Encoding", "").split(",")}
        for encoding, suffix in self.ENCODINGS.items():
            if encoding in accepted and os.path.isfile(path + suffix) and os.path.isfile(path):
                return path, encoding
        return None

    def handle(self):
        # A page closed or reloaded while a file was on its way is no fault.
        try:
            super().handle()
        except (BrokenPipeError, ConnectionResetError):
            pass


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("--precompressed", action="store_true")
    parser.add_argument("--keep-alive", action="store_true")
    parser.add_argument("--cache-seconds", type=int)
    parser.add_argument("folder")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    options = parser.parse_args()
    if not options.command:
        sys.exit(__doc__)
    folder, command = options.folder, options.command
    QuietHandler.precompressed = options.precompressed
    QuietHandler.cache_seconds = options.cache_seconds
    if options.keep_alive:
        QuietHandler.protocol_version = "HTTP/1.1"
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    url = "http://127.0.0.1:%d/" % server.server_address[1]
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("serving %s at %s" % (folder, url), flush=True)

    def stop_serving(signum, frame):
        # From another thread: shutdown() waits for serve_forever to return.
        def stop():
            QuietHandler.stopped = True
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
