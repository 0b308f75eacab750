#!/usr/bin/env python3
"""A small HTTPS server for the tests, started by TestHttpsServer (https_server.cc).

Usage: https_server.py CERT KEY FOLDER

Listens on a free loopback port and prints that port on its first output line once it
accepts connections. Every request is recorded, before it is answered, as
FOLDER/requests/NNNNNN.json: {"method", "path", "headers": [[name, value], ...], "body_hex"}.
The answer is read from FOLDER/reply.json at each request:
{"status": 200, "content_type": "text/plain", "body_hex": "", "delay": 0}; delay is in seconds
and is waited before the answer is sent. Runs until it is killed.
"""
import http.server
import itertools
import json
import os
import ssl
import sys
import threading
import time


def write_atomically(path, text):
    temporary = path + ".tmp"
    with open(temporary, "w", encoding="utf-8") as out:
        out.write(text)
    os.replace(temporary, path)


def main():
    cert, key, folder = sys.argv[1:4]
    requests_folder = os.path.join(folder, "requests")
    os.makedirs(requests_folder, exist_ok=True)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    numbers = itertools.count(1)
    numbers_lock = threading.Lock()

    class Handler(http.server.BaseHTTPRequestHandler):
        def serve(self):
            length = int(self.headers.get("Content-Length") or 0)
            body = self.rfile.read(length) if length > 0 else b""
            with numbers_lock:
                number = next(numbers)
            record = {
                "method": self.command,
                "path": self.path,
                "headers": [[name, value] for name, value in self.headers.items()],
                "body_hex": body.hex(),
            }
            write_atomically(os.path.join(requests_folder, "%06d.json" % number),
                             json.dumps(record))
            with open(os.path.join(folder, "reply.json"), encoding="utf-8") as source:
                reply = json.load(source)
            time.sleep(reply.get("delay", 0))
            data = bytes.fromhex(reply.get("body_hex", ""))
            try:
                self.send_response(reply.get("status", 200))
                self.send_header("Content-Type", reply.get("content_type", "text/plain"))
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                self.wfile.write(data)
            except (OSError, ssl.SSLError):
                pass  # the client gave up (a time-out test)

        do_GET = do_POST = do_PUT = do_DELETE = do_PATCH = serve

        def log_message(self, fmt, *args):
            sys.stderr.write("%s\n" % (fmt % args))

    class Server(http.server.ThreadingHTTPServer):
        daemon_threads = True

        def finish_request(self, request, client_address):
            # The handshake runs in the request's own thread, so a client that stalls or
            # refuses the certificate never holds up the others.
            request.settimeout(30)
            try:
                tls = context.wrap_socket(request, server_side=True)
            except (OSError, ssl.SSLError) as error:
                sys.stderr.write("handshake failed: %s\n" % error)
                return
            try:
                self.RequestHandlerClass(tls, client_address, self)
            finally:
                tls.close()

    server = Server(("127.0.0.1", 0), Handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
