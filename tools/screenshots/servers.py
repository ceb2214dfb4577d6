#!/usr/bin/python3
"""The outside world of the screenshot session: an FTP server and an HTTP proxy that answers for
every IP echo site, so the Details log shows a real check and a real upload.

    servers.py FTP_HOME USER PASSWORD ADDRESS FTP_PORT PROXY_PORT

Runs inside the session's own network namespace, which is why fixed, well-known ports are safe.
Prints "READY" once both listen, and serves until it is stopped.
"""

import http.server
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    home, user, password, address, ftp_port, proxy_port = sys.argv[1:7]

    class EchoProxy(http.server.BaseHTTPRequestHandler):
        # Wine asks the proxy for "http://HOST:80/PATH"; every echo site answers the same.
        def do_GET(self):
            body = (address + "\n").encode("ascii")
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, format, *args):
            sys.stderr.write("proxy: " + (format % args) + "\n")

    proxy = http.server.ThreadingHTTPServer(("127.0.0.1", int(proxy_port)), EchoProxy)

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, home, perm="elradfmwMT")
    FTPHandler.authorizer = authorizer
    FTPHandler.auth_failed_timeout = 0
    ftp = FTPServer(("127.0.0.1", int(ftp_port)), FTPHandler)

    threading.Thread(target=proxy.serve_forever, daemon=True).start()
    print("READY", flush=True)
    ftp.serve_forever()


if __name__ == "__main__":
    main()
