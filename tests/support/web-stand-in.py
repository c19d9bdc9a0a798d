#!/usr/bin/python3
# A stand-in web server on 127.0.0.1 for the titles lookups.
#   web-stand-in.py FOLDER
# Writes its port into FOLDER/port. A GET of /a/b answers FOLDER/a/b (JSON, or
# an image by its extension) with "{{id}}" in it replaced by the path's last
# part, else 404. FOLDER/rules.json, read at every request, may say otherwise
# for a path: a list of
#   {"path": "/x", "status": 503, "headers": {"Retry-After": "1"}, "times": 1}
#   {"path": "/x", "redirect": "/y"}   {"path": "/x", "hang": true}
#   {"path": "/x", "body": "not json", "type": "text/plain"}   {"path": "/x", "file": "a.json"}
#   {"path": "/x", "bytes": 5000000}   (that many bytes of JSON-looking padding)
# "path" may end in "*" to match a prefix; a rule with "times" is used that
# many times. Every request is appended to FOLDER/requests as a JSON line:
# path, query, agent, time.
import json, os, sys, threading, time, urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

folder = os.path.abspath(sys.argv[1])
lock = threading.Lock()
used = {}


def rule_for(path):
    try:
        with open(os.path.join(folder, "rules.json")) as f:
            rules = json.load(f)
    except OSError:
        return None
    for index, rule in enumerate(rules):
        pattern = rule["path"]
        hit = path.startswith(pattern[:-1]) if pattern.endswith("*") else path == pattern
        if not hit:
            continue
        with lock:
            if "times" in rule and used.get(index, 0) >= rule["times"]:
                continue
            used[index] = used.get(index, 0) + 1
        return rule
    return None


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body=b"", kind="application/json", headers=None):
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        for name, value in (headers or {}).items():
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        with lock, open(os.path.join(folder, "requests"), "a") as f:
            f.write(json.dumps({"path": url.path, "query": url.query,
                                "agent": self.headers.get("User-Agent", ""),
                                "time": time.time()}) + "\n")
        rule = rule_for(url.path) or {}
        if rule.get("hang"):
            time.sleep(3600)
        if "redirect" in rule:
            return self.answer(302, headers={"Location": rule["redirect"]})
        if "status" in rule:
            return self.answer(rule["status"], headers=rule.get("headers"))
        if "bytes" in rule:
            return self.answer(200, b"[" + b" " * rule["bytes"] + b"]")
        if "body" in rule:
            return self.answer(200, rule["body"].encode(), rule.get("type", "application/json"))
        file = os.path.normpath(os.path.join(folder, rule.get("file", url.path).lstrip("/")))
        if not file.startswith(folder) or not os.path.isfile(file):
            return self.answer(404, b'{"error": "Not Found"}')
        with open(file, "rb") as f:
            body = f.read()
        kind = {".jpg": "image/jpeg", ".png": "image/png"}.get(os.path.splitext(file)[1])
        if kind is None:
            body = body.replace(b"{{id}}", url.path.rsplit("/", 1)[-1].encode())
        self.answer(200, body, kind or "application/json")


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
server.handle_error = lambda request, address: None  # a client that hung up early
with open(os.path.join(folder, "port.new"), "w") as f:
    f.write(str(server.server_address[1]))
os.rename(os.path.join(folder, "port.new"), os.path.join(folder, "port"))
server.serve_forever()
