"""Fake dynamic DNS services over TLS for the Windows tests, each written from its provider's
public documentation, all three on one https://localhost port:

    dyndns2     GET /nic/update?hostname=NAME&myip=IPV4   Basic sign-in with the account and its
                password; a User-Agent naming maker, program and version ("Maker Program/1.2.3").
                Answers "good IP" or "nochg IP"; "badauth" (with 401) for a wrong sign-in,
                "badagent" for a missing or generic agent, "notfqdn" without a host name.
    DuckDNS     GET /update?domains=SUB&token=TOKEN&ip=IPV4[&ipv6=IPV6]: "OK", or "KO" for a
                wrong token or no domain.
    Cloudflare  API v4 with "Authorization: Bearer TOKEN": GET /client/v4/zones?name=ZONE,
                GET /client/v4/zones/ID/dns_records?type=T&name=NAME, PATCH
                /client/v4/zones/ID/dns_records/RID with {"content": ...}; every answer JSON with
                success, errors and result; 403 for a wrong token.

Started through test_servers.py: `test_servers.py dns CONTROL_PORT ACCOUNT SECRET` (SECRET is the
dyndns2 password, the DuckDNS token and the Cloudflare token alike). READY <port> <hex of the
authority's DER certificate>. Commands (hex as in test_servers.py):
    ANSWER <dyndns2|duckdns|cloudflare> <status> <hex body> <retry-after or ->
        the service's next answer is this one, whatever it was asked
    ZONE <name> <id>
    RECORD <zone id> <type> <name> <record id> <content>
    CONTENT <record id>       "OK <hex content>"
    REQUESTS                  "OK <n>", then n lines "<method> <hex path> <hex User-Agent>",
                              oldest first
"""

import base64
import http.server
import json
import re
import shutil
import ssl
import tempfile
import threading
import urllib.parse


def hex_text(text):
    return text.encode("utf-8", "replace").hex() or "-"


def unhex(text):
    return b"" if text == "-" else bytes.fromhex(text)


def run(control, account, secret, make_certificates):
    lock = threading.Lock()
    requests = []
    scripted = {"dyndns2": [], "duckdns": [], "cloudflare": []}
    zones = {}    # id -> name
    records = {}  # id -> {"zone", "type", "name", "content"}
    dyndns = {}   # host -> address last accepted

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def reply(self, status, body, content_type="text/plain", retry_after=None):
            data = body if isinstance(body, bytes) else body.encode("utf-8")
            self.send_response(status)
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(data)))
            if retry_after:
                self.send_header("Retry-After", retry_after)
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(data)
            self.close_connection = True

        def handle_any(self, method):
            length = int(self.headers.get("Content-Length") or 0)
            body = self.rfile.read(length) if length else b""
            url = urllib.parse.urlsplit(self.path)
            query = urllib.parse.parse_qs(url.query)
            authorization = self.headers.get("Authorization") or ""
            agent = self.headers.get("User-Agent") or ""
            service = ("dyndns2" if url.path == "/nic/update" else
                       "duckdns" if url.path == "/update" else
                       "cloudflare" if url.path.startswith("/client/v4/") else None)
            with lock:
                requests.append((method, self.path, agent))
                answer = scripted[service].pop(0) if service and scripted[service] else None
            if answer:
                status, text, retry_after = answer
                return self.reply(status, text, retry_after=retry_after)
            if service == "dyndns2" and method == "GET":
                return self.dyndns2(query, authorization, agent)
            if service == "duckdns" and method == "GET":
                ok = query.get("token") == [secret] and query.get("domains", [""])[0] != ""
                return self.reply(200, "OK" if ok else "KO")
            if service == "cloudflare":
                return self.cloudflare(method, url, query, authorization, body)
            return self.reply(404, "not found")

        def dyndns2(self, query, authorization, agent):
            expected = "Basic " + base64.b64encode(("%s:%s" % (account, secret)).encode()).decode()
            if authorization != expected:
                return self.reply(401, "badauth")
            if not re.fullmatch(r"\S.* \S+/\d+(\.\d+)+", agent):
                return self.reply(200, "badagent")
            host = query.get("hostname", [""])[0]
            address = query.get("myip", [""])[0]
            if "." not in host:
                return self.reply(200, "notfqdn")
            with lock:
                same = dyndns.get(host) == address
                dyndns[host] = address
            return self.reply(200, ("nochg " if same else "good ") + address)

        def cloudflare(self, method, url, query, authorization, body):
            def answer(status, result, errors=()):
                text = json.dumps({"success": status == 200, "errors": list(errors), "messages": [],
                                   "result": result})
                return self.reply(status, text, "application/json")
            if authorization != "Bearer " + secret:
                return answer(403, None, [{"code": 9109, "message": "Invalid access token"}])
            parts = url.path.split("/")[3:]  # after /client/v4
            with lock:
                if method == "GET" and parts == ["zones"]:
                    name = query.get("name", [""])[0]
                    return answer(200, [{"id": i, "name": n} for i, n in zones.items() if n == name])
                if method == "GET" and len(parts) == 3 and parts[0] == "zones" and parts[2] == "dns_records":
                    kind, name = query.get("type", [""])[0], query.get("name", [""])[0]
                    return answer(200, [dict(r, id=i) for i, r in records.items()
                                        if r["zone"] == parts[1] and r["type"] == kind and r["name"] == name])
                if method == "PATCH" and len(parts) == 4 and parts[3] in records:
                    try:
                        content = json.loads(body)["content"]
                    except (ValueError, KeyError, TypeError):
                        return answer(400, None, [{"code": 9000, "message": "bad request"}])
                    records[parts[3]]["content"] = content
                    return answer(200, dict(records[parts[3]], id=parts[3]))
            return answer(404, None, [{"code": 7003, "message": "Could not route"}])

        def do_GET(self):
            self.handle_any("GET")

        def do_PATCH(self):
            self.handle_any("PATCH")

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    folder = tempfile.mkdtemp(prefix="tovra-dns-")
    authority, certificate, key = make_certificates(folder)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)

    def command(words):
        with lock:
            if words[0] == "ANSWER" and len(words) == 5 and words[1] in scripted:
                scripted[words[1]].append((int(words[2]), unhex(words[3]), None if words[4] == "-" else words[4]))
            elif words[0] == "ZONE" and len(words) == 3:
                zones[words[2]] = words[1]
            elif words[0] == "RECORD" and len(words) == 6:
                records[words[4]] = {"zone": words[1], "type": words[2], "name": words[3], "content": words[5]}
            elif words[0] == "CONTENT" and len(words) == 2 and words[1] in records:
                return "OK " + hex_text(records[words[1]]["content"])
            elif words[0] == "REQUESTS":
                lines = [" ".join([r[0]] + [hex_text(field) for field in r[1:]]) for r in requests]
                return "\n".join(["OK %d" % len(lines)] + lines)
            else:
                return "ERR unknown"
        return "OK"

    def end():
        shutil.rmtree(folder, ignore_errors=True)
        import os
        os._exit(0)

    threading.Thread(target=control.serve, args=(command, end), daemon=True).start()
    control.send("READY %d %s" % (server.server_address[1], authority.hex()))
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        end()
