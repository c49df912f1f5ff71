#!/usr/bin/env python3
"""Servers for the network tests, on loopback only: local_servers.py KIND FOLDER [ARGUMENT...]
prints the port it listens on, appends one line per request to FOLDER/requests before answering,
and answers the requests in turn with the replies given as arguments, the last one repeating.

https REPLY...  a status and the body after one blank: "401", "200 good 127.0.0.1"; "hold" never
                answers; a 3xx status sends to /moved. Makes a certificate authority FOLDER/ca.pem
                and a certificate for 127.0.0.1 signed by it. Logs target|user:password|User-Agent|Accept|Content-Type|Cookie.
silent          takes TCP connections on 127.0.0.1 and never answers.
sntp MS REPLY...  on [::] for 127.0.0.1 and ::1 alike; logs the client's address. A reply is
                datagrams joined by "+": "good" tells MS milliseconds since 1970, "ten-years-back"
                3650 days less; each other one tells an hour earlier and is spoilt as spoil() says
                ("kiss-of-death" with the code RATE); "none" sends nothing.
"""
import base64
import http.server
import itertools
import socket
import ssl
import subprocess
import sys
import threading
import time

kind, folder, args = sys.argv[1], sys.argv[2], sys.argv[3:]
lock = threading.Lock()


def log(line):
    with lock, open(f"{folder}/requests", "a") as requests:
        requests.write(line + "\n")


def listening(sock):
    print(sock.getsockname()[1], flush=True)


def openssl(*arguments):
    subprocess.run(["openssl", *arguments], check=True, capture_output=True)


def new_key(name):
    return ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
            "-keyout", f"{folder}/{name}.key"]


def https(plan):
    openssl("req", "-x509", *new_key("ca"), "-days", "1", "-subj", "/CN=Quillmar test CA",
            "-out", f"{folder}/ca.pem")
    openssl("req", *new_key("server"), "-subj", "/CN=127.0.0.1", "-out", f"{folder}/server.csr")
    with open(f"{folder}/server.ext", "w") as ext:
        ext.write("subjectAltName=IP:127.0.0.1\n")
    openssl("x509", "-req", "-in", f"{folder}/server.csr", "-CA", f"{folder}/ca.pem",
            "-CAkey", f"{folder}/ca.key", "-CAcreateserial", "-days", "1",
            "-extfile", f"{folder}/server.ext", "-out", f"{folder}/server.pem")
    replies = itertools.chain(plan, itertools.repeat(plan[-1]))

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def do_GET(self):
            auth = self.headers.get("Authorization", "")
            user = base64.b64decode(auth[6:]).decode() if auth.startswith("Basic ") else ""
            headers = ("User-Agent", "Accept", "Content-Type", "Cookie")
            log("|".join([self.path, user] + [self.headers.get(name, "") for name in headers]))
            with lock:
                status, _, body = next(replies).partition(" ")
            if status == "hold":
                threading.Event().wait()
            self.send_response(int(status))
            if status.startswith("3"):  # to the same server: one that follows it gets the next reply
                self.send_header("Location", "/moved")
            self.send_header("Content-Length", str(len(body.encode())))
            self.end_headers()
            self.wfile.write(body.encode())

        def log_message(self, *arguments):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(f"{folder}/server.pem", f"{folder}/server.key")
    server.socket = context.wrap_socket(server.socket, server_side=True)
    listening(server.socket)
    server.serve_forever()


def timestamp(ms):
    seconds, fraction = divmod(ms, 1000)
    value = ((seconds + 2208988800) % 2**32) << 32 | (fraction << 32) // 1000
    return value.to_bytes(8, "big")


# Each spoilt reply: where its fault goes, and what is put there ("47-bytes" cuts it short).
SPOILS = {"client-mode": (0, b"\x23"), "version-2": (0, b"\x14"),
          "leap-alarm": (0, b"\xe4"), "stratum-16": (1, b"\x10"),
          "kiss-of-death": (1, b"\x00" + bytes(10) + b"RATE"),
          "no-receive-time": (32, bytes(8)), "no-transmit-time": (40, bytes(8))}
# How much earlier than MS a datagram tells the time.
EARLIER = {"good": 0, "ten-years-back": 3650 * 86400_000}


def spoil(packet, how):
    if how == "47-bytes":
        del packet[47:]
    elif how == "originate":  # the echo of another request, one bit apart
        packet[31] ^= 1
    elif how in SPOILS:
        offset, fault = SPOILS[how]
        packet[offset:offset + len(fault)] = fault
    return packet  # "good", and "other-port", which goes out from a second socket


def sntp(ms, plan):
    server, other = socket.socket(socket.AF_INET6, socket.SOCK_DGRAM), socket.socket(
        socket.AF_INET6, socket.SOCK_DGRAM)
    for sock in (server, other):
        sock.bind(("::", 0))
    listening(server)
    for reply in itertools.chain(plan, itertools.repeat(plan[-1])):
        request, client = server.recvfrom(512)
        log(client[0])
        for datagram in reply.split("+"):
            if datagram != "none":
                told = timestamp(int(ms) - EARLIER.get(datagram, 3600_000))
                # leap 0, version 4, server; stratum 2; our transmit time echoed as originate
                packet = bytearray([4 << 3 | 4, 2]) + bytes(22) + request[40:48] + told + told
                sock = other if datagram == "other-port" else server
                sock.sendto(spoil(packet, datagram), client)


if kind == "https":
    https(args)
elif kind == "sntp":
    sntp(args[0], args[1:])
elif kind == "silent":
    listener = socket.create_server(("127.0.0.1", 0))
    listening(listener)
    time.sleep(3600)
