#!/usr/bin/python3
"""Local HTTP server of the update tests.

    httpserver.py FOLDER

Serves the files of FOLDER under /files/, and a few fixed answers:
  /redirect/NAME   302 to /files/NAME
  /loop            302 to itself
  /short           announces 100000 bytes, sends 5000 and closes
  /empty           200 with an empty body
  /slow            announces 50 MB and sends 1 KiB every 100 ms
Anything else is a 404. Prints "PORT <n>" once it listens on 127.0.0.1.
"""
import http.server
import os
import socketserver
import sys
import time

FOLDER = sys.argv[1]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body=b"", headers=()):
        self.send_response(status)
        for key, value in headers:
            self.send_header(key, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        if path.startswith("/files/"):
            name = os.path.basename(path[len("/files/"):])
            full = os.path.join(FOLDER, name)
            if os.path.isfile(full):
                with open(full, "rb") as f:
                    self.answer(200, f.read())
                return
        elif path.startswith("/redirect/"):
            self.answer(302, headers=[("Location", "/files/" + path[len("/redirect/"):])])
            return
        elif path == "/loop":
            self.answer(302, headers=[("Location", "/loop")])
            return
        elif path == "/short":
            self.send_response(200)
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.wfile.write(b"x" * 5000)
            self.wfile.flush()
            self.close_connection = True
            return
        elif path == "/empty":
            self.answer(200)
            return
        elif path == "/slow":
            self.send_response(200)
            self.send_header("Content-Length", str(50 * 1024 * 1024))
            self.end_headers()
            try:
                for _ in range(600):
                    self.wfile.write(b"s" * 1024)
                    self.wfile.flush()
                    time.sleep(0.1)
            except OSError:
                pass
            self.close_connection = True
            return
        self.answer(404, b"not found")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


server = Server(("127.0.0.1", 0), Handler)
print("PORT %d" % server.server_address[1], flush=True)
server.serve_forever()
