#!/usr/bin/env python3
"""HTTPS server for the dynamic-DNS tests, on 127.0.0.1 only.

Usage: https_server.py DIR REPLY...
Makes a certificate authority (DIR/ca.pem) and a certificate for 127.0.0.1 signed by it, prints
the port it listens on, appends one line per request to DIR/requests before answering, and
answers each request with the next REPLY ("401", "200 good 127.0.0.1"), the last one repeating.
"""
import base64
import http.server
import ssl
import subprocess
import sys
import threading

folder, plan = sys.argv[1], sys.argv[2:]


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, capture_output=True)


def new_key_args(name):
    return ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
            "-keyout", f"{folder}/{name}.key"]


openssl("req", "-x509", *new_key_args("ca"), "-days", "1", "-subj", "/CN=Quillmar test CA",
        "-out", f"{folder}/ca.pem")
openssl("req", *new_key_args("server"), "-subj", "/CN=127.0.0.1", "-out", f"{folder}/server.csr")
with open(f"{folder}/server.ext", "w") as ext:
    ext.write("subjectAltName=IP:127.0.0.1\n")
openssl("x509", "-req", "-in", f"{folder}/server.csr", "-CA", f"{folder}/ca.pem",
        "-CAkey", f"{folder}/ca.key", "-CAcreateserial", "-days", "1",
        "-extfile", f"{folder}/server.ext", "-out", f"{folder}/server.pem")

lock = threading.Lock()
answered = 0


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        global answered
        auth = self.headers.get("Authorization", "")
        credentials = base64.b64decode(auth[6:]).decode() if auth.startswith("Basic ") else ""
        fields = [self.path, credentials] + [self.headers.get(name, "") for name in
                                             ("User-Agent", "Accept", "Content-Type", "Cookie")]
        with lock:
            reply = plan[min(answered, len(plan) - 1)]
            answered += 1
            with open(f"{folder}/requests", "a") as log:
                log.write("|".join(fields) + "\n")
        status, _, body = reply.partition(" ")
        data = body.encode()
        self.send_response(int(status))
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(f"{folder}/server.pem", f"{folder}/server.key")
server.socket = context.wrap_socket(server.socket, server_side=True)
print(server.server_address[1], flush=True)
server.serve_forever()
