#!/usr/bin/python3
"""A WebDAV site over TLS for the Windows test programs: Debian's nginx, started and driven as
test_servers.py's servers are.

    webdav_server.py webdav CONTROL_PORT USER PASSWORD

nginx serves a temporary root with PUT, DELETE, MKCOL, COPY and MOVE behind Basic sign-in, over
TLS with a certificate for DNS:localhost from a test authority of its own (ftps_servers.py makes
them). It does not make missing folders for a PUT (409, as WebDAV servers answer), and answers every request below /full/
with 507, as a server whose disk is full.

READY line: "READY <port> <hex root> <hex DER of the test authority>". No commands.
"""

import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ftps_servers import authority, free_port, make_certificates  # noqa: E402
from test_servers import Control, hex_text  # noqa: E402

CONFIG = """daemon off;
master_process off;
pid {work}/nginx.pid;
error_log {work}/error.log;
events {{ }}
http {{
    access_log off;
    client_body_temp_path {work}/body;
    proxy_temp_path {work}/proxy;
    fastcgi_temp_path {work}/fastcgi;
    uwsgi_temp_path {work}/uwsgi;
    scgi_temp_path {work}/scgi;
    server {{
        listen 127.0.0.1:{port} ssl;
        ssl_certificate {certs}/server.pem;
        ssl_certificate_key {certs}/server.key;
        root {root};
        location /full/ {{
            return 507;
        }}
        location / {{
            auth_basic "Tovra test";
            auth_basic_user_file {work}/htpasswd;
            dav_methods PUT DELETE MKCOL COPY MOVE;
            create_full_put_path off;
            dav_access user:rw group:r all:r;
            # nginx fails a PUT into a missing folder with 500; WebDAV servers say 409.
            error_page 500 = @missing_folder;
        }}
        location @missing_folder {{
            return 409;
        }}
    }}
}}
"""


def main():
    control = Control(int(sys.argv[2]))
    user, password = sys.argv[3], sys.argv[4]
    certs = make_certificates()
    work = tempfile.mkdtemp(prefix="tovra-webdav-")
    root = os.path.join(work, "root")
    os.mkdir(root)
    hashed = subprocess.run(["openssl", "passwd", "-apr1", password], check=True, capture_output=True,
                            text=True).stdout.strip()
    with open(os.path.join(work, "htpasswd"), "w") as out:
        out.write("%s:%s\n" % (user, hashed))
    port = free_port()
    config = os.path.join(work, "nginx.conf")
    with open(config, "w") as out:
        out.write(CONFIG.format(work=work, port=port, certs=certs, root=root))
    daemon = subprocess.Popen(["/usr/sbin/nginx", "-c", config, "-e", os.path.join(work, "error.log")],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 10
    while True:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            break
        except OSError:
            if daemon.poll() is not None or time.monotonic() > deadline:
                raise SystemExit("nginx did not start")
            time.sleep(0.05)

    def end():
        daemon.kill()
        shutil.rmtree(work, ignore_errors=True)
        shutil.rmtree(certs, ignore_errors=True)
        os._exit(0)

    control.send("READY %d %s %s" % (port, hex_text(root), authority(certs).hex()))
    control.serve(lambda words: "ERR unknown", end)


if __name__ == "__main__":
    main()
