#!/usr/bin/python3
"""Loopback FTP server for the tests (pyftpdlib).

Prints "PORT <n>" on stdout once it listens. With --log, appends one line
per event to that file: "CONNECT", "DISCONNECT" and "CMD <VERB>" for every
command received (a file, not the pipe: a test that reads nothing while it
runs a long transfer must not block the server).
With --silent it accepts connections and never answers (a dead server).
With --announce-count K the reply to RETR states the file's size the way many
servers do, "150 ... (<n> bytes).", in the first K replies (-1: always);
--announce-extra N states N bytes more than the file holds.
"""
import argparse
import logging
import os
import signal
import socket
import sys
import threading
import time


LOG = None


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def log(line):
    if LOG is not None:
        LOG.write(line + "\n")
        LOG.flush()


def watch_parent():
    """Ends the server when the test that started it is gone (a crashed
    test must not leave servers behind)."""
    parent = os.getppid()

    def loop():
        while os.getppid() == parent:
            time.sleep(0.5)
        os._exit(0)

    threading.Thread(target=loop, daemon=True).start()


def run_silent(port):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(16)
    say("PORT %d" % listener.getsockname()[1])
    held = []
    while True:
        conn, _ = listener.accept()
        held.append(conn)  # kept open, never written to
        log("CONNECT")


def throttled_dtp(base, download_limit, upload_limit):
    """A data channel that keeps to the limits from its first byte on.

    pyftpdlib's own throttle only starts counting time once a channel has
    moved a full second's worth of bytes, so every file shorter than about
    twice the limit went out at full speed. Here each data connection sleeps
    whenever it is ahead of limit * elapsed time, so a file of N bytes takes
    about N / limit seconds (its last chunk included: the channel closes,
    and the client sees the end of the file, only after that sleep).
    """

    class Dtp(base):
        # pyftpdlib counts from its own side: it "writes" what clients
        # download and "reads" what they upload.
        write_limit = download_limit
        read_limit = upload_limit
        # Whole 64 KiB chunks, so that a limit of 1 sends one chunk and then
        # stays silent.
        auto_sized_buffers = False

        def _throttle_bandwidth(self, len_chunk, max_speed):
            now = time.monotonic()
            if getattr(self, "_started", None) is None:
                self._started = now
                self._moved = 0
            self._moved += len_chunk
            ahead = self._moved / float(max_speed) - (now - self._started)
            if ahead <= 0:
                return

            def wake():
                self._throttler = None
                self.add_channel(events=self.ioloop.READ if self.receive else self.ioloop.WRITE)

            self.del_channel()
            self._cancel_throttler()
            self._throttler = self.ioloop.call_later(ahead, wake, _errback=self.handle_error)

    return Dtp


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="lab")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--download-limit", type=int, default=0,
                        help="bytes/s sent to clients (0: no limit)")
    parser.add_argument("--upload-limit", type=int, default=0,
                        help="bytes/s received from clients (0: no limit)")
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--announce-count", type=int, default=0)
    parser.add_argument("--announce-extra", type=int, default=0)
    parser.add_argument("--log")
    args = parser.parse_args()

    global LOG
    if args.log:
        LOG = open(args.log, "a", encoding="utf-8")

    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    watch_parent()
    if args.silent:
        run_silent(args.port)
        return

    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
    from pyftpdlib.servers import FTPServer

    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")

    announced = {"count": 0}

    class Handler(FTPHandler):
        _size = None

        def ftp_RETR(self, file):
            try:
                self._size = os.path.getsize(file)
            except OSError:
                self._size = None
            return FTPHandler.ftp_RETR(self, file)

        def respond(self, resp, logfun=logging.debug):
            if self._size is not None and resp[:4] in ("150 ", "125 "):
                size, self._size = self._size, None
                if args.announce_count < 0 or announced["count"] < args.announce_count:
                    announced["count"] += 1
                    resp = "%s (%d bytes)." % (resp.rstrip("."), size + args.announce_extra)
            return FTPHandler.respond(self, resp, logfun)

        def on_connect(self):
            log("CONNECT")

        def on_disconnect(self):
            log("DISCONNECT")

        def pre_process_command(self, line, cmd, arg):
            log("CMD " + cmd)
            return FTPHandler.pre_process_command(self, line, cmd, arg)

    Handler.authorizer = authorizer
    Handler.banner = "test server ready"
    # pyftpdlib waits 3 s before refusing a bad password; tests try several.
    Handler.auth_failed_timeout = 0.1
    if args.download_limit or args.upload_limit:
        Handler.dtp_handler = throttled_dtp(
            ThrottledDTPHandler, args.download_limit, args.upload_limit)

    server = FTPServer(("127.0.0.1", args.port), Handler)
    server.max_cons = 64
    say("PORT %d" % server.socket.getsockname()[1])
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
