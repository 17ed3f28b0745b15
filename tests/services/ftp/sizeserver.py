#!/usr/bin/python3
"""Loopback FTP server (pyftpdlib) whose reply to RETR announces the file's
size the way many servers do: "150 ... (<n> bytes).".

Prints "PORT <n>" on stdout once it listens; with --log, appends
"CMD <VERB>" per command received to that file.
--announce-extra N  announces N bytes more than the file holds, so the
                    transfer ends short of what was announced.
--announce-count K  announces the size in the first K replies only, then
                    falls silent about it (-1: always).
"""
import argparse
import logging
import os
import signal
import sys
import threading
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="lab")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--announce-extra", type=int, default=0)
    parser.add_argument("--announce-count", type=int, default=-1)
    parser.add_argument("--log")
    args = parser.parse_args()

    log_file = open(args.log, "a", encoding="utf-8") if args.log else None

    def log(line):
        if log_file is not None:
            log_file.write(line + "\n")
            log_file.flush()

    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    parent = os.getppid()

    def watch_parent():
        while os.getppid() == parent:
            time.sleep(0.5)
        os._exit(0)

    threading.Thread(target=watch_parent, daemon=True).start()

    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer

    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    announced = {"count": 0}

    class Handler(FTPHandler):
        _size = None

        def pre_process_command(self, line, cmd, arg):
            log("CMD " + cmd)
            return FTPHandler.pre_process_command(self, line, cmd, arg)

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

    Handler.authorizer = authorizer
    Handler.passive_ports = None
    server = FTPServer(("127.0.0.1", 0), Handler)
    sys.stdout.write("PORT %d\n" % server.socket.getsockname()[1])
    sys.stdout.flush()
    server.serve_forever()


if __name__ == "__main__":
    main()
