#!/usr/bin/python3
"""Loopback HTTP/1.0 server of the update tests. Makes its certificates at
start: a test certificate authority (ca.der and ca-key.pem in the folder
named on the command line, for the tests to add to the prefix's trusted
roots; an authority already there is used again) and the server
certificates in the current folder.
Listens plain on 127.0.0.1:80 and with TLS 1.2 on port 443 of four loopback
addresses, each presenting another certificate:
  127.0.0.1  signed by the test authority for "localhost" and 127.0.0.1
  127.0.0.2  self-signed for "localhost" and 127.0.0.2
  127.0.0.3  signed by the test authority for "other.invalid" only
  127.0.0.4  signed by the test authority for 127.0.0.4, expired
Answers absolute-URL request lines with scripted replies chosen by path,
logs each request line and Host header to requests.log in the current
folder, and writes "ready" once every port listens.

Scripted replies, "/x/KIND/SENT/THEN": the reply of KIND ("cl": status,
Content-Length 5 and the body "3.2.1"; "nocl": the same without the length;
"pad": "cl" with a 200-byte header line before the length) of which the
first SENT bytes ("all" for the whole reply, "head" for the header block)
go at once, then THEN: "stall" (silence for 60 s), "drip" (the rest one
byte every 0.3 s, then a proper close), "reset" (a TCP reset), "close" (a
proper close: over TLS with close_notify) or "cut" (over TLS a TCP close
without close_notify; plain the same as "close")."""
import datetime
import ipaddress
import os
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

ROUTES = {
    "/v.txt": ("200 OK", {"Content-Length": "5"}, b"9.9.9"),
    "/old.txt": ("200 OK", {"Content-Length": "5"}, b"1.0.0"),
    "/two.txt": ("200 OK", {"Content-Length": "3"}, b"9.9"),
    "/five": ("200 OK", {"Content-Length": "5"}, b"abcdefgh"),
    "/noclen": ("200 OK", {}, b"1.2.3 and more"),
    "/continue": ("100 Continue", {"Content-Length": "5"}, b"9.9.9"),
    "/r301": ("301 Moved", {"Location": "http://127.0.0.1/v.txt"}, b""),
    "/r302path": ("302 Found", {"Location": "/v.txt"}, b""),
    "/same": ("302 Found", {"Location": "http://127.0.0.1/same"}, b""),
    "/loopA": ("302 Found", {"Location": "http://127.0.0.1/loopB"}, b""),
    "/loopB": ("302 Found", {"Location": "http://127.0.0.1/loopA"}, b""),
    "/contentloc": ("301 Moved", {"Content-Location": "http://127.0.0.1/v.txt"}, b""),
    "/relative": ("302 Found", {"Location": "v.txt"}, b""),
    "/tohttps": ("301 Moved", {"Location": "https://127.0.0.1/v.txt"}, b""),
    "/tohttp": ("301 Moved", {"Location": "http://127.0.0.1/v.txt"}, b""),
    "/tohttplocal": ("301 Moved", {"Location": "http://localhost/v.txt"}, b""),
    "/toselfsigned": ("301 Moved", {"Location": "https://127.0.0.2/v.txt"}, b""),
    "/404": ("404 Not Found", {"Content-Length": "3"}, b"no!"),
    "/500": ("500 Oops", {}, b""),
    "/503": ("503 Busy", {}, b""),
    "/neg": ("200 OK", {"Content-Length": "-5"}, b"9.9.9"),
    "/huge": ("200 OK", {"Content-Length": "3000000000"}, b"9.9.9"),
    "/shortbody": ("200 OK", {"Content-Length": "50"}, b"9.9.9"),
}

SCRIPTED = {
    "cl": b"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n3.2.1",
    "nocl": b"HTTP/1.0 200 OK\r\n\r\n3.2.1",
    "pad": b"HTTP/1.0 200 OK\r\nX-Pad: " + b"p" * 200 + b"\r\nContent-Length: 5\r\n\r\n3.2.1",
}


def reset(conn):
    """Ends the connection with a TCP reset (no FIN, no close_notify)."""
    conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    conn.close()


def close_properly(conn):
    """A proper end: over TLS close_notify first, then the TCP close."""
    if isinstance(conn, ssl.SSLSocket):
        try:
            conn = conn.unwrap()
        except (OSError, ssl.SSLError, ValueError):
            pass
    try:
        conn.shutdown(socket.SHUT_WR)
    except OSError:
        pass
    conn.close()


def scripted(conn, path):
    parts = path.split("/")
    if len(parts) != 5 or parts[2] not in SCRIPTED:
        return False
    reply = SCRIPTED[parts[2]]
    sent = parts[3]
    n = len(reply) if sent == "all" else reply.index(b"\r\n\r\n") + 4 if sent == "head" else int(sent)
    then = parts[4]
    if n:
        conn.sendall(reply[:n])
    if then == "stall":
        time.sleep(60)
    elif then == "drip":
        for i in range(n, len(reply)):
            time.sleep(0.3)
            conn.sendall(reply[i:i + 1])
        close_properly(conn)
    elif then == "reset":
        reset(conn)
    elif then == "close":
        close_properly(conn)
    else:  # "cut": the server's shutdown of the socket, no close_notify
        pass
    return True


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        try:
            self.answer()
        except (OSError, ssl.SSLError, ValueError):
            pass

    def answer(self):
        conn = self.request
        conn.settimeout(30)
        if isinstance(conn, ssl.SSLSocket):
            conn.do_handshake()
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = conn.recv(4096)
            if not chunk:
                return
            data += chunk
        head = data.split(b"\r\n\r\n")[0].decode("latin-1")
        lines = head.split("\r\n")
        host = next((l[5:].strip() for l in lines[1:] if l.lower().startswith("host:")), "")
        scheme = "https" if self.server.tls else "http"
        with open("requests.log", "a") as log:
            log.write("%s %s | %s\n" % (scheme, lines[0], host))
        parts = lines[0].split(" ")
        url = parts[1] if len(parts) > 1 else ""
        path = "/" + url.split("//", 1)[1].split("/", 1)[1] if url.count("/") >= 3 else url
        path = path.split("?")[0]
        if path == "/hang":
            time.sleep(20)
            return
        if path == "/reset":
            reset(conn)
            return
        if path == "/short":
            conn.sendall(b"HTTP/1.0")
            return
        if path == "/garbage":
            conn.sendall(b"NOT HTTP AT ALL, NOT EVEN CLOSE\r\n\r\n")
            return
        if path == "/bighead":
            conn.sendall(b"HTTP/1.0 200 OK\r\n" + b"X-Pad: " + b"p" * 20000 + b"\r\n\r\n9.9.9")
            return
        if path.startswith("/x/") and scripted(conn, path):
            return
        status, headers, body = ROUTES.get(path, ("404 Not Found", {}, b""))
        reply = "HTTP/1.0 %s\r\n" % status + "".join("%s: %s\r\n" % kv for kv in headers.items()) + "\r\n"
        conn.sendall(reply.encode("latin-1") + body)
        if "Content-Length" not in headers:
            close_properly(conn)  # the close ends the body


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True
    request_queue_size = 256  # the tests connect many clients at once

    def __init__(self, address, port, context):
        self.tls = context is not None
        self.context = context
        super().__init__((address, port), Handler)

    def get_request(self):
        conn, addr = self.socket.accept()
        if self.context:
            # The handshake runs in the connection's own thread, so that one
            # slow client holds up no other.
            conn = self.context.wrap_socket(conn, server_side=True, do_handshake_on_connect=False)
        return conn, addr


def certificate(subject, key, issuer, issuer_key, names, days, ca=False):
    """A certificate for the DNS names and IP addresses in names, valid from
    a day ago for days (negative: expired that many days ago)."""
    now = datetime.datetime.utcnow()
    start, end = now - datetime.timedelta(days=1), now + datetime.timedelta(days=days)
    if days < 0:
        start = end - datetime.timedelta(days=30)
    b = (x509.CertificateBuilder()
         .subject_name(x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, subject)]))
         .issuer_name(x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, issuer)]))
         .public_key(key.public_key())
         .serial_number(x509.random_serial_number())
         .not_valid_before(start)
         .not_valid_after(end))
    if ca:
        b = b.add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
        b = b.add_extension(x509.KeyUsage(False, False, False, False, False, True, True, False, False), critical=True)
    else:
        alt = [x509.IPAddress(ipaddress.ip_address(n)) if n[0].isdigit() else x509.DNSName(n) for n in names]
        b = b.add_extension(x509.SubjectAlternativeName(alt), critical=False)
        b = b.add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]), critical=False)
    return b.sign(issuer_key, hashes.SHA256())


def tls_context(name, cert, key):
    with open(name + ".pem", "wb") as f:
        f.write(cert.public_bytes(serialization.Encoding.PEM))
        f.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                  serialization.NoEncryption()))
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.maximum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(name + ".pem")
    return context


def authority(folder):
    """The test certificate authority of folder, made there when missing."""
    der, pem = os.path.join(folder, "ca.der"), os.path.join(folder, "ca-key.pem")
    if os.path.exists(der) and os.path.exists(pem):
        with open(der, "rb") as f, open(pem, "rb") as k:
            return x509.load_der_x509_certificate(f.read()), serialization.load_pem_private_key(k.read(), None)
    ca_key = ec.generate_private_key(ec.SECP256R1())
    ca = certificate("Vellumor Test CA", ca_key, "Vellumor Test CA", ca_key, [], 30, ca=True)
    with open(pem + ".tmp", "wb") as k:
        k.write(ca_key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                     serialization.NoEncryption()))
    with open(der + ".tmp", "wb") as f:
        f.write(ca.public_bytes(serialization.Encoding.DER))
    os.replace(pem + ".tmp", pem)
    os.replace(der + ".tmp", der)
    return ca, ca_key


def main():
    ca, ca_key = authority(sys.argv[1])
    key = ec.generate_private_key(ec.SECP256R1())
    issued = lambda subject, names, days=2: certificate(subject, key, "Vellumor Test CA", ca_key, names, days)
    servers = [
        Server("127.0.0.1", 80, None),
        Server("127.0.0.1", 443, tls_context("good", issued("localhost", ["localhost", "127.0.0.1"]), key)),
        Server("127.0.0.2", 443, tls_context("self", certificate("localhost", key, "localhost", key,
                                                                  ["localhost", "127.0.0.2"], 2), key)),
        Server("127.0.0.3", 443, tls_context("other", issued("other.invalid", ["other.invalid"]), key)),
        Server("127.0.0.4", 443, tls_context("expired", issued("127.0.0.4", ["127.0.0.4"], -2), key)),
    ]
    for s in servers:
        threading.Thread(target=s.serve_forever, daemon=True).start()
    open("ready", "w").write("ready\n")
    while True:
        time.sleep(3600)


if __name__ == "__main__":
    main()
