#!/usr/bin/python3
"""FTP over TLS servers for the Windows test programs, started and driven as test_servers.py's are.

    ftps_servers.py ftps   CONTROL_PORT CERTS USER PASSWORD    pyftpdlib with explicit TLS, faults
    ftps_servers.py vsftpd CONTROL_PORT CERTS reuse|noreuse    Debian's vsftpd at its strictest

CERTS is a folder of certificates made by an earlier server of the same test program, or "-" to
make them: a test authority with a server certificate for DNS:localhost, and a stranger authority
(never trusted) with one for the same name. RSA keys: Wine trusts no ECDSA certificate. The
folder is removed when the server that made it ends.

READY line: "READY <port> <hex home> <hex CERTS folder> <hex DER of the test authority>".

vsftpd forces TLS for sign-in and data and, with "reuse", requires data connections to resume
the control connection's TLS session (require_ssl_reuse, its default). It signs in anonymous users only ("anonymous", any
password), so that no system account is needed, and they write below "/pub". It must be started
as root.

ftps commands:
    FAULT <name>   one of none, auth (AUTH TLS refused), stranger (the certificate is from the
                   stranger authority), handshake_drop (234, then the connection closes), cut (the
                   data connection and the session close after 2,000 bytes of a store),
                   pasv_other (EPSV refused, PASV names 127.0.0.2), rename_over (RNTO refused when
                   the target exists), rename (RNFR refused), hang_auth (AUTH never answered),
                   hang_handshake (234, then the handshake never answered), hang_data (the data
                   connection is accepted and never secured)
    COMMANDS       "OK <n>" then the hex of every command line received, oldest first
"""

import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_servers import Control, hex_text  # noqa: E402


def make_certificates():
    folder = tempfile.mkdtemp(prefix="tovra-ftps-certs-")

    def openssl(*args):
        subprocess.run(["openssl", *args], check=True, capture_output=True, cwd=folder)

    key = ("-newkey", "rsa:2048", "-nodes")
    with open(os.path.join(folder, "server.ext"), "w") as ext:
        ext.write("subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n")
    for prefix, name in (("", "Tovra Test Authority"), ("stranger-", "Stranger Authority")):
        openssl("req", "-x509", *key, "-keyout", prefix + "ca.key", "-out", prefix + "ca.pem",
                "-days", "2", "-subj", "/CN=" + name,
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign")
        openssl("req", *key, "-keyout", prefix + "server.key", "-out", prefix + "server.csr",
                "-subj", "/CN=localhost")
        openssl("x509", "-req", "-in", prefix + "server.csr", "-CA", prefix + "ca.pem",
                "-CAkey", prefix + "ca.key", "-CAcreateserial", "-out", prefix + "server.pem",
                "-days", "2", "-extfile", "server.ext")
    openssl("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der")
    os.chmod(folder, 0o755)
    return folder


def authority(folder):
    with open(os.path.join(folder, "ca.der"), "rb") as der:
        return der.read()


def run_ftps(control, certs, user, password, on_end):
    from OpenSSL import SSL
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
    from pyftpdlib.servers import FTPServer

    state = {"fault": "none", "commands": []}
    lock = threading.Lock()
    home = tempfile.mkdtemp(prefix="tovra-ftps-")
    holding = []  # sockets kept open and silent for the hang faults

    def context(prefix):
        ssl = SSL.Context(SSL.SSLv23_METHOD)
        ssl.set_options(SSL.OP_NO_SSLv2 | SSL.OP_NO_SSLv3)
        ssl.use_certificate_chain_file(os.path.join(certs, prefix + "server.pem"))
        ssl.use_privatekey_file(os.path.join(certs, prefix + "server.key"))
        return ssl

    contexts = {"": context(""), "stranger": context("stranger-")}

    class DTP(TLS_DTPHandler):
        def __init__(self, sock, cmd_channel):
            super().__init__(sock, cmd_channel)
            if state["fault"] == "cut":
                self.ac_in_buffer_size = 2000

        def handle_read_event(self):
            super().handle_read_event()
            if state["fault"] == "cut" and self.tot_bytes_received >= 2000:
                self.cmd_channel.close()

    class Handler(TLS_FTPHandler):
        dtp_handler = DTP
        auth_failed_timeout = 0
        tls_control_required = True
        tls_data_required = True
        hanging = False

        def pre_process_command(self, line, cmd, arg):
            with lock:
                state["commands"].append(line)
            return super().pre_process_command(line, cmd, arg)

        def found_terminator(self):
            if self.hanging:
                self._in_buffer = []
                self._in_buffer_len = 0
                return
            super().found_terminator()

        def collect_incoming_data(self, data):
            if not self.hanging:
                super().collect_incoming_data(data)

        def ftp_AUTH(self, line):
            fault = state["fault"]
            if fault == "auth":
                self.respond("502 AUTH not offered by the test.")
            elif fault == "hang_auth":
                self.hanging = True
            elif fault == "handshake_drop":
                self.respond("234 AUTH TLS successful.")
                self.close_when_done()
            elif fault == "hang_handshake":
                self.respond("234 AUTH TLS successful.")
                self.hanging = True
            else:
                self.ssl_context = contexts["stranger" if fault == "stranger" else ""]
                super().ftp_AUTH(line)

        def ftp_EPSV(self, line):
            if state["fault"] == "pasv_other":
                self.respond("500 EPSV not understood by the test.")
            elif state["fault"] == "hang_data":
                listener = socket.create_server(("127.0.0.1", 0))
                holding.append(listener)

                def hold():
                    connection, _ = listener.accept()
                    holding.append(connection)

                threading.Thread(target=hold, daemon=True).start()
                self.respond("229 Entering Extended Passive Mode (|||%d|)" % listener.getsockname()[1])
            else:
                super().ftp_EPSV(line)

        def ftp_PASV(self, line):
            if state["fault"] == "pasv_other":
                self.masquerade_address = "127.0.0.2"
            super().ftp_PASV(line)

        def ftp_STOR(self, file, mode="w"):
            if state["fault"] == "hang_data":
                self.respond("150 Opening the data connection.")
                return
            return super().ftp_STOR(file, mode)

        def ftp_RNFR(self, path):
            if state["fault"] == "rename":
                self.respond("502 RNFR not offered by the test.")
                return
            return super().ftp_RNFR(path)

        def ftp_RNTO(self, path):
            if state["fault"] == "rename_over" and os.path.exists(path):
                self.respond("553 Will not overwrite an existing file.")
                self._rnfr = None
                return
            return super().ftp_RNTO(path)

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, home, perm="elradfmwMT")
    Handler.authorizer = authorizer
    Handler.ssl_context = contexts[""]
    server = FTPServer(("127.0.0.1", 0), Handler)
    port = server.socket.getsockname()[1]

    def command(words):
        if words[0] == "FAULT" and len(words) == 2:
            state["fault"] = words[1]
            return "OK"
        if words[0] == "COMMANDS":
            with lock:
                lines = [hex_text(line) for line in state["commands"]]
            return "\n".join(["OK %d" % len(lines)] + lines)
        return "ERR unknown"

    def end():
        shutil.rmtree(home, ignore_errors=True)
        on_end()

    threading.Thread(target=control.serve, args=(command, end), daemon=True).start()
    control.send("READY %d %s %s %s" % (port, hex_text(home), hex_text(certs), authority(certs).hex()))
    try:
        server.serve_forever(handle_exit=False)
    finally:
        end()


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def run_vsftpd(control, certs, reuse, on_end):
    if os.geteuid() != 0:
        raise SystemExit("vsftpd must be started as root")
    root = tempfile.mkdtemp(prefix="tovra-vsftpd-")
    os.chmod(root, 0o755)  # vsftpd will not serve a chroot its user may write to
    pub = os.path.join(root, "pub")
    os.mkdir(pub)
    shutil.chown(pub, "ftp", "ftp")
    port = free_port()
    settings = {
        "listen": "YES", "listen_ipv6": "NO", "listen_address": "127.0.0.1",
        "listen_port": str(port), "background": "NO",
        "anonymous_enable": "YES", "local_enable": "NO", "anon_root": root, "no_anon_password": "YES",
        "write_enable": "YES", "anon_upload_enable": "YES", "anon_other_write_enable": "YES",
        "anon_mkdir_write_enable": "YES", "anon_umask": "022",
        "ssl_enable": "YES", "allow_anon_ssl": "YES", "force_anon_logins_ssl": "YES",
        "force_anon_data_ssl": "YES", "require_ssl_reuse": "YES" if reuse else "NO", "ssl_ciphers": "HIGH",
        "rsa_cert_file": os.path.join(certs, "server.pem"),
        "rsa_private_key_file": os.path.join(certs, "server.key"),
        "pasv_enable": "YES", "port_enable": "YES", "connect_from_port_20": "NO",
        "secure_chroot_dir": "/var/run/vsftpd/empty", "seccomp_sandbox": "NO", "isolate": "NO",
        "isolate_network": "NO", "xferlog_enable": "NO", "pam_service_name": "vsftpd",
    }
    config = root + ".conf"
    with open(config, "w") as out:
        out.writelines("%s=%s\n" % item for item in settings.items())
    os.makedirs("/var/run/vsftpd/empty", exist_ok=True)
    daemon = subprocess.Popen(["/usr/sbin/vsftpd", config], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 10
    while True:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            break
        except OSError:
            if daemon.poll() is not None or time.monotonic() > deadline:
                raise SystemExit("vsftpd did not start")
            time.sleep(0.05)

    def command(words):
        return "ERR unknown"

    def end():
        daemon.kill()
        shutil.rmtree(root, ignore_errors=True)
        os.remove(config)
        on_end()

    control.send("READY %d %s %s %s" % (port, hex_text(root), hex_text(certs), authority(certs).hex()))
    control.serve(command, end)


def main():
    kind, control_port, certs = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    control = Control(control_port)
    made = certs == "-"
    if made:
        certs = make_certificates()

    def on_end():
        if made:
            shutil.rmtree(certs, ignore_errors=True)
        os._exit(0)

    if kind == "ftps":
        run_ftps(control, certs, sys.argv[4], sys.argv[5], on_end)
    elif kind == "vsftpd":
        run_vsftpd(control, certs, sys.argv[4] == "reuse", on_end)
    else:
        sys.exit("unknown server kind " + kind)


if __name__ == "__main__":
    main()
