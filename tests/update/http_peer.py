#!/usr/bin/python3
"""Loopback HTTP/1.0 server of the update tests, plain on 127.0.0.1:80 and
TLS 1.2 on 127.0.0.1:443 (certificate files given on the command line).
Answers absolute-URL request lines with scripted replies chosen by path,
logs each request line and Host header to requests.log in the current
folder, and writes "ready" once both ports listen."""
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time

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
    "/404": ("404 Not Found", {"Content-Length": "3"}, b"no!"),
    "/500": ("500 Oops", {}, b""),
    "/503": ("503 Busy", {}, b""),
    "/neg": ("200 OK", {"Content-Length": "-5"}, b"9.9.9"),
    "/huge": ("200 OK", {"Content-Length": "3000000000"}, b"9.9.9"),
    "/shortbody": ("200 OK", {"Content-Length": "50"}, b"9.9.9"),
}


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        conn = self.request
        conn.settimeout(30)
        data = b""
        try:
            while b"\r\n\r\n" not in data:
                chunk = conn.recv(4096)
                if not chunk:
                    return
                data += chunk
        except (OSError, ssl.SSLError):
            return
        head = data.split(b"\r\n\r\n")[0].decode("latin-1")
        lines = head.split("\r\n")
        host = next((l[5:].strip() for l in lines[1:] if l.lower().startswith("host:")), "")
        scheme = "https" if self.server.tls else "http"
        with open("requests.log", "a") as log:
            log.write("%s %s | %s\n" % (scheme, lines[0], host))
        parts = lines[0].split(" ")
        url = parts[1] if len(parts) > 1 else ""
        path = url.split("127.0.0.1", 1)[1] if "127.0.0.1" in url else url
        path = path.split("?")[0]
        if path == "/hang":
            time.sleep(20)
            return
        if path == "/reset":
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
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
        status, headers, body = ROUTES.get(path, ("404 Not Found", {}, b""))
        reply = "HTTP/1.0 %s\r\n" % status + "".join("%s: %s\r\n" % kv for kv in headers.items()) + "\r\n"
        try:
            conn.sendall(reply.encode("latin-1") + body)
        except (OSError, ssl.SSLError):
            pass


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True

    def __init__(self, port, context):
        self.tls = context is not None
        self.context = context
        super().__init__(("127.0.0.1", port), Handler)

    def get_request(self):
        conn, addr = self.socket.accept()
        if self.context:
            try:
                conn = self.context.wrap_socket(conn, server_side=True)
            except (OSError, ssl.SSLError):
                conn.close()
                raise OSError("handshake failed")
        return conn, addr


def main():
    cert, key = sys.argv[1], sys.argv[2]
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.maximum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(cert, key)
    servers = [Server(80, None), Server(443, context)]
    for s in servers:
        threading.Thread(target=s.serve_forever, daemon=True).start()
    open("ready", "w").write("ready\n")
    while True:
        time.sleep(3600)


if __name__ == "__main__":
    main()
