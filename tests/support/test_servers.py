#!/usr/bin/python3
"""Loopback servers for the Windows test programs, started by them through Wine.

    test_servers.py ftp  CONTROL_PORT [USER PASSWORD]
    test_servers.py echo CONTROL_PORT
    test_servers.py https CONTROL_PORT
    test_servers.py dns  CONTROL_PORT ACCOUNT SECRET   (dns_services.py)

The test program listens on CONTROL_PORT (127.0.0.1) and this process connects back to it. The
first line it sends is "READY <port> [<hex of the FTP home>]". Then it answers one line to each
command line it reads: "OK ...", or "ERR <why>". When the control connection ends (the test closed
it, finished or crashed), the server stops and its temporary home is removed, so no server outlives
the program that started it.

Texts that may hold blanks travel as hex.

FTP commands:
    FAULT <none|login|cwd|stor|drop|cut|hang|hang_up|hang_cwd|hang_stor|trickle|pasv_elsewhere|
           rename_over|rename>
        login: every login is refused; cwd: every directory change is refused; stor: every store
        is refused; drop: the control and data connections are closed when the first bytes of a
        store arrive; hang: new connections are accepted and never answered; hang_up: new
        connections are closed at once, before the greeting; hang_cwd, hang_stor: that command is
        never answered; trickle: the greeting is continued with a "220-" line every 0.3 s for ever;
        cut: a store keeps its first 2,000 bytes, then control and data connections are closed;
        pasv_elsewhere: PASV replies name 127.0.0.2, where a catcher on the same port counts what
        arrives; rename_over: a rename onto an existing file is refused; rename: every rename is.
    CAUGHT    "OK <connections> <bytes>": what the pasv_elsewhere catcher has received

Echo (HTTP proxy) commands:
    SITE <host> ANSWER <status> <hex body>   answer with that status and body
    SITE <host> HANG                         accept the request and never answer
    SITE <host> HANGBODY <hex body>          send the headers and part of the body, then nothing
    SITE <host> DROP                         close the connection without an answer
    SITE <host> TRICKLE                      send a status line, then a header line every 0.3 s
                                             for ever
    SITE <host> REDIRECT <hex location>      answer 302 with that Location
    SIGNIN <hex user:password>               answer 407 to every request without that Basic
                                             Proxy-Authorization ("-": no sign-in needed)
    REQUESTS                                 "OK <n>" then n lines "<hex request line> <hex Host>
                                             <hex User-Agent> <hex Proxy-Authorization>", oldest
                                             first
A host that was never configured is answered with 502 and an empty body, as a proxy does for a
name it cannot reach.

The https kind is one echo site on localhost over TLS. At start it makes a certificate authority
of its own and a server certificate from it for DNS:localhost (openssl); its READY line is
"READY <port> <hex of the authority's DER certificate>". Its sites and REQUESTS are the echo's.
"""

import http.server
import logging
import os
import shutil
import socket
import sys
import tempfile
import threading


def hex_text(text):
    return text.encode("utf-8", "replace").hex() or "-"


def unhex(text):
    return b"" if text == "-" else bytes.fromhex(text)


class Control:
    """The line channel to the test program; the server ends with it."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        self.sock.settimeout(None)
        self.reader = self.sock.makefile("r", encoding="ascii", newline="\n")

    def send(self, line):
        self.sock.sendall((line + "\n").encode("ascii"))

    def serve(self, handle_command, on_end):
        try:
            for line in self.reader:
                words = line.split()
                if not words:
                    continue
                try:
                    self.send(handle_command(words))
                except Exception as error:  # a bad command must not end the server
                    self.send("ERR " + hex_text(repr(error)))
        finally:
            on_end()


def run_ftp(control, user, password):
    from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
    from pyftpdlib.handlers import DTPHandler, FTPHandler, PassiveDTP
    from pyftpdlib.servers import FTPServer

    state = {"fault": "none", "caught": [0, 0]}
    home = tempfile.mkdtemp(prefix="tovra-ftp-")
    cut_after = 2000

    def catch(catcher):
        catcher.settimeout(30)
        try:
            conn, _ = catcher.accept()
        except OSError:
            return
        finally:
            catcher.close()
        state["caught"][0] += 1
        with conn:
            conn.settimeout(30)
            try:
                while True:
                    data = conn.recv(65536)
                    if not data:
                        break
                    state["caught"][1] += len(data)
            except OSError:
                pass

    class CatchingPassiveDTP(PassiveDTP):
        def __init__(self, cmd_channel, extmode=False):
            super().__init__(cmd_channel, extmode)
            if state["fault"] == "pasv_elsewhere":
                catcher = socket.socket()
                catcher.bind(("127.0.0.2", self.socket.getsockname()[1]))
                catcher.listen(1)
                threading.Thread(target=catch, args=(catcher,), daemon=True).start()

    class Authorizer(DummyAuthorizer):
        def validate_authentication(self, username, pw, handler):
            if state["fault"] == "login":
                raise AuthenticationFailed("Login refused by the test.")
            super().validate_authentication(username, pw, handler)

    class DroppingDTP(DTPHandler):
        def handle_read(self):
            if state["fault"] == "drop":
                self.cmd_channel.close()
                return
            if state["fault"] == "cut":
                chunk = self.recv(self.ac_in_buffer_size)
                self.file_obj.write(chunk[: max(0, cut_after - self.tot_bytes_received)])
                self.tot_bytes_received += len(chunk)
                if self.tot_bytes_received >= cut_after:
                    self.file_obj.flush()
                    self.cmd_channel.close()
                return
            super().handle_read()

        handle_read_event = handle_read  # the base class binds the event to its own handle_read

    class Handler(FTPHandler):
        dtp_handler = DroppingDTP
        passive_dtp = CatchingPassiveDTP
        auth_failed_timeout = 0
        hanging = False

        def handle(self):
            if state["fault"] == "pasv_elsewhere":
                self.masquerade_address = "127.0.0.2"
            if state["fault"] == "hang":
                self.hanging = True
                return
            if state["fault"] == "hang_up":
                self.close()
                return
            if state["fault"] == "trickle":
                self.hanging = True
                self.trickle()
                return
            super().handle()

        def trickle(self):
            if not self._closed:
                self.push("220-Still getting ready...\r\n")
                self.call_later(0.3, self.trickle)

        def found_terminator(self):
            if self.hanging:
                self._in_buffer = []
                self._in_buffer_len = 0
                return
            super().found_terminator()

        def ftp_CWD(self, path):
            if state["fault"] == "hang_cwd":
                return
            if state["fault"] == "cwd":
                self.respond("550 Directory change refused by the test.")
                return
            return super().ftp_CWD(path)

        def _make_eport(self, ip, port):
            if state["fault"] == "active_blocked":
                # A port just closed: refused, as a firewall in front of the client would make it.
                probe = socket.socket()
                probe.bind(("127.0.0.1", 0))
                port = probe.getsockname()[1]
                probe.close()
            return super()._make_eport(ip, port)

        def ftp_STOR(self, file, mode="w"):
            if state["fault"] == "hang_stor":
                return
            if state["fault"] == "stor":
                self.respond("553 Store refused by the test.")
                return
            return super().ftp_STOR(file, mode)

        def ftp_RNFR(self, path):
            if state["fault"] == "rename":
                self.respond("550 Rename refused by the test.")
                return
            return super().ftp_RNFR(path)

        def ftp_RNTO(self, path):
            if state["fault"] == "rename_over" and self.fs.lexists(path):
                self._rnfr = None
                self.respond("550 Rename over an existing file refused by the test.")
                return
            return super().ftp_RNTO(path)

    authorizer = Authorizer()
    authorizer.add_user(user, password, home, perm="elradfmwMT")
    Handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), Handler)
    port = server.socket.getsockname()[1]

    def command(words):
        if words[0] == "FAULT" and len(words) == 2:
            state["fault"] = words[1]
            return "OK"
        if words[0] == "CAUGHT":
            return "OK %d %d" % tuple(state["caught"])
        return "ERR unknown"

    def end():
        shutil.rmtree(home, ignore_errors=True)
        os._exit(0)

    threading.Thread(target=control.serve, args=(command, end), daemon=True).start()
    control.send("READY %d %s" % (port, hex_text(home)))
    try:
        server.serve_forever(handle_exit=False)
    finally:
        end()


def make_certificates(folder):
    """A test authority and a server certificate for localhost signed by it; returns the
    authority's DER bytes and the server's certificate and key files."""
    import subprocess

    def openssl(*args):
        subprocess.run(["openssl", *args], check=True, capture_output=True, cwd=folder)

    # Elliptic-curve keys: made in milliseconds, where RSA keys cost half a second a server.
    key = ("-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes")
    openssl("req", "-x509", *key, "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", "/CN=Tovra Test Authority",
            "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign")
    openssl("req", *key, "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=localhost")
    with open(os.path.join(folder, "server.ext"), "w") as ext:
        ext.write("subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "server.ext")
    openssl("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der")
    with open(os.path.join(folder, "ca.der"), "rb") as der:
        return der.read(), os.path.join(folder, "server.pem"), os.path.join(folder, "server.key")


def run_echo(control, tls=False, tls13_only=False):
    sites = {}
    requests = []
    signin = {"expected": None, "challenges": ['Basic realm="tovra-test"']}
    lock = threading.Lock()
    released = threading.Event()  # set when the server ends, to free hanging handlers

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def do_CONNECT(self):
            # A proxy that wants a sign-in refuses every tunnel, signed in or not, with an empty
            # 407: Wine's WinINet then sends the https request in the clear on this connection.
            with lock:
                requests.append((self.requestline, self.headers.get("Host") or "",
                                 self.headers.get("User-Agent") or "",
                                 self.headers.get("Proxy-Authorization") or ""))
                wanted = signin["expected"] is not None
            if not wanted:
                self.send_error(501)
                return
            self.send_response(407)
            for challenge in signin["challenges"]:
                self.send_header("Proxy-Authenticate", challenge)
            self.send_header("Content-Length", "0")
            self.end_headers()

        def do_GET(self):
            host = (self.headers.get("Host") or "").split(":")[0].lower()
            authorization = self.headers.get("Proxy-Authorization") or ""
            with lock:
                requests.append((self.requestline, self.headers.get("Host") or "",
                                 self.headers.get("User-Agent") or "", authorization))
                behaviour = sites.get(host, ("ANSWER", 502, b""))
                expected = signin["expected"]
            if expected is not None and authorization != expected:
                behaviour = ("SIGNIN",)
            kind = behaviour[0]
            if kind in ("SIGNIN", "REDIRECT"):
                body = b"Sign in first." if kind == "SIGNIN" else b"Moved."
                self.send_response(407 if kind == "SIGNIN" else 302)
                if kind == "SIGNIN":
                    for challenge in signin["challenges"]:
                        self.send_header("Proxy-Authenticate", challenge)
                else:
                    self.send_header("Location", behaviour[1].decode("latin-1"))
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                return
            if kind == "TRICKLE":
                self.wfile.write(b"HTTP/1.1 200 OK\r\n")
                count = 0
                while not released.wait(0.3):
                    count += 1
                    try:
                        self.wfile.write(b"X-Trickle: %d\r\n" % count)
                        self.wfile.flush()
                    except OSError:
                        break
                self.close_connection = True
                return
            if kind == "HANG":
                released.wait()
                self.close_connection = True
                return
            if kind == "DROP":
                self.close_connection = True
                self.connection.shutdown(socket.SHUT_RDWR)
                return
            if kind == "HANGBODY":
                body = behaviour[1]
                self.send_response(200)
                self.send_header("Content-Type", "text/plain")
                self.send_header("Content-Length", str(len(body) + 1000))
                self.end_headers()
                self.wfile.write(body)
                self.wfile.flush()
                released.wait()
                self.close_connection = True
                return
            status, body = behaviour[1], behaviour[2]
            self.send_response(status)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Cache-Control", "no-cache")
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(body)
            self.close_connection = True

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    port = server.server_address[1]
    ready = "READY %d" % port
    folder = None
    if tls:
        import ssl
        folder = tempfile.mkdtemp(prefix="tovra-tls-")
        authority, certificate, key = make_certificates(folder)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(certificate, key)
        if tls13_only:
            context.minimum_version = ssl.TLSVersion.TLSv1_3
        server.socket = context.wrap_socket(server.socket, server_side=True)
        ready += " " + authority.hex()

    def command(words):
        if words[0] == "SITE" and len(words) >= 3:
            host, kind = words[1].lower(), words[2]
            with lock:
                if kind == "ANSWER" and len(words) == 5:
                    sites[host] = ("ANSWER", int(words[3]), unhex(words[4]))
                elif kind == "HANGBODY" and len(words) == 4:
                    sites[host] = ("HANGBODY", unhex(words[3]))
                elif kind == "REDIRECT" and len(words) == 4:
                    sites[host] = ("REDIRECT", unhex(words[3]))
                elif kind in ("HANG", "DROP", "TRICKLE") and len(words) == 3:
                    sites[host] = (kind,)
                else:
                    return "ERR bad-site"
            return "OK"
        if words[0] == "SIGNIN" and len(words) == 2:
            import base64
            with lock:
                signin["expected"] = None if words[1] == "-" else \
                    "Basic " + base64.b64encode(unhex(words[1])).decode("ascii")
            return "OK"
        if words[0] == "CHALLENGES" and len(words) >= 2:
            with lock:
                signin["challenges"] = [unhex(word).decode("latin-1") for word in words[1:]]
            return "OK"
        if words[0] == "REQUESTS":
            with lock:
                lines = ["%s %s %s %s" % tuple(hex_text(field) for field in r) for r in requests]
            return "\n".join(["OK %d" % len(lines)] + lines)
        return "ERR unknown"

    def end():
        released.set()
        if folder:
            shutil.rmtree(folder, ignore_errors=True)
        os._exit(0)

    threading.Thread(target=control.serve, args=(command, end), daemon=True).start()
    control.send(ready)
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        end()


def main():
    logging.basicConfig(level=logging.ERROR)
    kind, control_port = sys.argv[1], int(sys.argv[2])
    control = Control(control_port)
    if kind == "ftp":
        user = sys.argv[3] if len(sys.argv) > 3 else "tovra"
        password = sys.argv[4] if len(sys.argv) > 4 else "secret"
        run_ftp(control, user, password)
    elif kind == "echo":
        run_echo(control)
    elif kind == "https":
        run_echo(control, tls=True)
    elif kind == "dns":
        import dns_services  # the fake dynamic DNS services, beside this file
        dns_services.run(control, sys.argv[3], sys.argv[4], make_certificates)
    elif kind == "https13":
        run_echo(control, tls=True, tls13_only=True)
    else:
        sys.exit("unknown server kind " + kind)


if __name__ == "__main__":
    main()
