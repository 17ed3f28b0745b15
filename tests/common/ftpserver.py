#!/usr/bin/python3
"""Loopback FTP server for the tests (pyftpdlib).

Prints "PORT <n>" on stdout once it listens. With --log, appends one line
per event to that file: "CONNECT", "DISCONNECT" and "CMD <VERB>" for every
command received (a file, not the pipe: a test that reads nothing while it
runs a long transfer must not block the server).
With --silent it accepts connections and never answers (a dead server).
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

    class Handler(FTPHandler):
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
        class Dtp(ThrottledDTPHandler):
            pass
        # pyftpdlib counts from its own side: it "writes" what clients
        # download and "reads" what they upload.
        Dtp.write_limit = args.download_limit
        Dtp.read_limit = args.upload_limit
        Handler.dtp_handler = Dtp

    server = FTPServer(("127.0.0.1", args.port), Handler)
    server.max_cons = 64
    say("PORT %d" % server.socket.getsockname()[1])
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
