#!/usr/bin/env python3
# SPDX-License-Identifier: AGPL-3.0-or-later
"""Loopback HTTP and HTTPS server for the update tests.

Usage: manifest_server.py FOLDER OPENSSL. Makes a certificate for 127.0.0.1 in FOLDER/cert.pem, writes
its ports to FOLDER/ports.json ({"http": .., "https": .., "silent": ..}) once it listens, and
serves until its standard input closes, so it never outlives the test process that started it.

Paths (the same on both listeners):
  /manifest/STATUS               STATUS with the manifest of version 2.1.0 (no body for 1xx, 204, 304)
  /redirect/STATUS/LOCATION      STATUS with the rest of the request target as Location
  /chain/N/LOCATION              N redirects in a row on this listener, then to LOCATION
  /sized/BYTES[/unannounced]     200 with a manifest of version 9.0 padded to exactly BYTES; when
                                 unannounced, no Content-Length is sent and the close ends the body
  /file/STATUS/NAME              STATUS with the file FOLDER/NAME as the body (none for 204)
The "silent" port accepts connections and never answers.
"""

import http.server
import json
import os
import socket
import ssl
import subprocess
import sys
import threading

MANIFEST = b'{"version": "2.1.0", "url": "https://downloads.example.com/lumafold/Lumafold-2.1.0.zip", "notes": "Faster previews."}'
SIZED_MANIFEST = b'{"version": "9.0", "url": "https://downloads.example.com/lumafold-9.0.zip"}'


class Handler(http.server.BaseHTTPRequestHandler):
    # HTTP/1.0 keeps every response self-contained: the connection closes after it.
    protocol_version = "HTTP/1.0"

    def log_message(self, format, *args):
        pass

    def do_GET(self):
        parts = self.path.split("/", 3) + ["", ""]
        kind, number, rest = parts[1], parts[2], parts[3]
        if kind == "manifest":
            self.respond(int(number), MANIFEST)
        elif kind == "redirect":
            self.redirect(int(number), rest)
        elif kind == "chain":
            hops = int(number)
            self.redirect(302, rest if hops <= 0 else "/chain/%d/%s" % (hops - 1, rest))
        elif kind == "file":
            with open(os.path.join(self.server.folder, os.path.basename(rest)), "rb") as served:
                self.respond(int(number), served.read(), "application/zip")
        elif kind == "sized":
            body = SIZED_MANIFEST + b" " * (int(number) - len(SIZED_MANIFEST))
            self.send_response(200)
            if rest != "unannounced":
                self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        else:
            self.respond(404, b"not found")

    def respond(self, status, body, content_type="application/json"):
        self.send_response(status)
        has_body = status >= 200 and status not in (204, 304)
        if has_body:
            self.send_header("Content-Type", content_type)
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


def main():
    folder = sys.argv[1]
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    subprocess.run([sys.argv[2], "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-days", "2", "-subj", "/CN=localhost", "-addext",
                    "subjectAltName=IP:127.0.0.1,DNS:localhost", "-keyout", key, "-out", cert],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    plain = QuietServer(("127.0.0.1", 0), Handler)
    secure = QuietServer(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    secure.socket = context.wrap_socket(secure.socket, server_side=True)
    silent = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    silent.bind(("127.0.0.1", 0))
    silent.listen(16)
    for server in (plain, secure):
        server.folder = folder
        threading.Thread(target=server.serve_forever, daemon=True).start()

    ports = {"http": plain.server_address[1], "https": secure.server_address[1], "silent": silent.getsockname()[1]}
    with open(os.path.join(folder, "ports.tmp"), "w") as out:
        json.dump(ports, out)
    os.rename(os.path.join(folder, "ports.tmp"), os.path.join(folder, "ports.json"))

    # Ends when the test process closes the pipe or dies.
    sys.stdin.buffer.read()


if __name__ == "__main__":
    main()
