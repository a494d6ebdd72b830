#!/usr/bin/env python3
# SPDX-License-Identifier: AGPL-3.0-or-later
"""Loopback HTTP and HTTPS server for the update check tests.

Prints one JSON line with its ports ({"http": .., "https": .., "silent": ..}) and serves until
its standard input closes, so it never outlives the test process that started it.

Paths (the same on both listeners):
  /respond?status=N&body=TEXT   status N with TEXT as body (no body for 1xx, 204, 304)
  /redirect?status=N&to=URL     status N (default 302) with Location URL
  /chain?hops=N&to=URL          N redirects in a row on this listener, then to URL
  /sized?bytes=N&length=0|1     200 with a valid manifest padded to exactly N bytes; with
                                length=0 no Content-Length is sent and the close ends the body
The "silent" port accepts connections and never answers.
"""

import argparse
import http.server
import json
import socket
import ssl
import sys
import threading
import urllib.parse

SIZED_MANIFEST = b'{"version": "9.0", "url": "https://downloads.example.com/lumafold-9.0.zip"}'


class Handler(http.server.BaseHTTPRequestHandler):
    # HTTP/1.0 keeps every response self-contained: the connection closes after it.
    protocol_version = "HTTP/1.0"

    def log_message(self, format, *args):
        pass

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = {key: values[0] for key, values in urllib.parse.parse_qs(url.query, keep_blank_values=True).items()}
        if url.path == "/respond":
            self.respond(int(query.get("status", "200")), query.get("body", "").encode("utf-8"))
        elif url.path == "/redirect":
            self.redirect(int(query.get("status", "302")), query["to"])
        elif url.path == "/chain":
            hops = int(query["hops"])
            if hops <= 0:
                self.redirect(302, query["to"])
            else:
                rest = urllib.parse.urlencode({"hops": hops - 1, "to": query["to"]})
                self.redirect(302, "/chain?" + rest)
        elif url.path == "/sized":
            size = int(query["bytes"])
            body = SIZED_MANIFEST + b" " * (size - len(SIZED_MANIFEST))
            self.send_response(200)
            self.send_header("Content-Type", "application/json")
            if query.get("length", "1") == "1":
                self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        else:
            self.respond(404, b"not found")

    def respond(self, status, body):
        self.send_response(status)
        has_body = status >= 200 and status not in (204, 304)
        if has_body:
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if has_body:
            self.wfile.write(body)

    def redirect(self, status, location):
        self.send_response(status)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()


class QuietServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # Clients that give up on purpose (size limit, time-out, refused redirect) are expected.
        pass


def serve(server):
    threading.Thread(target=server.serve_forever, daemon=True).start()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    args = parser.parse_args()

    plain = QuietServer(("127.0.0.1", 0), Handler)
    secure = QuietServer(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    secure.socket = context.wrap_socket(secure.socket, server_side=True)

    silent = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    silent.bind(("127.0.0.1", 0))
    silent.listen(16)

    serve(plain)
    serve(secure)
    ports = {
        "http": plain.server_address[1],
        "https": secure.server_address[1],
        "silent": silent.getsockname()[1],
    }
    print(json.dumps(ports), flush=True)

    # Ends when the test process closes the pipe or dies.
    sys.stdin.buffer.read()


if __name__ == "__main__":
    main()
