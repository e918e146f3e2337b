"""HTTP server for the invitation tests, standard library only.

Prints its port, then one JSON line per request: {"path": ..., "raw": <the request bytes as hex>}.
Routes: /ok, /fail500, /redirect/N (N relocations, then 200), /absolute (to /ok by full URL),
/folder/relative (to "ok-here", relative), /stall (accepts, never answers), and
/cgi-bin/sendpostcard.pl: 500 when the recipient contains "fail", else 200.
With "cgi DIR" as arguments, /cgi-bin/<name> runs DIR/cgi-bin/<name> as a CGI script instead, with
the "Status:" header honoured as a web server does.
"""
import json
import os
import subprocess
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

LOCK = threading.Lock()
CGI_ROOT = sys.argv[2] if len(sys.argv) > 2 and sys.argv[1] == "cgi" else None


class Recorder:
    def __init__(self, inner):
        self.inner = inner
        self.data = b""

    def readline(self, *args):
        line = self.inner.readline(*args)
        self.data += line
        return line

    def read(self, *args):
        data = self.inner.read(*args)
        self.data += data
        return data

    def close(self):
        self.inner.close()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def setup(self):
        super().setup()
        self.rfile = Recorder(self.rfile)

    def report(self):
        with LOCK:
            print(json.dumps({"path": self.path, "raw": self.rfile.data.hex()}), flush=True)

    def reply(self, code, reason, body=b"", headers=()):
        # The client closes right after the header of a relocation or an error; that is no fault.
        try:
            self.send_response(code, reason)
            for name, value in headers:
                self.send_header(name, value)
            self.end_headers()
            self.wfile.write(body)
        except (BrokenPipeError, ConnectionResetError):
            pass

    def do_GET(self):
        self.report()
        path = self.path
        if CGI_ROOT and path.startswith("/cgi-bin/"):
            return self.run_cgi()
        if path == "/ok":
            return self.reply(200, "OK", b"<html>ok</html>")
        if path == "/fail500":
            return self.reply(500, "Internal Server Error", b"kaputt")
        if path.startswith("/redirect/"):
            left = int(path.split("/")[2])
            if left == 0:
                return self.reply(200, "OK", b"angekommen")
            return self.reply(302, "Found", headers=[("Location", "/redirect/%d" % (left - 1))])
        if path == "/absolute":
            port = self.server.server_address[1]
            return self.reply(301, "Moved Permanently", headers=[("Location", "http://127.0.0.1:%d/ok" % port)])
        if path == "/folder/relative":
            return self.reply(302, "Found", headers=[("Location", "ok-here")])
        if path == "/folder/ok-here":
            return self.reply(200, "OK", b"relativ")
        if path == "/stall":
            time.sleep(120)
            return None
        if path.startswith("/cgi-bin/sendpostcard.pl"):
            query = urllib.parse.parse_qs(urllib.parse.urlsplit(path).query)
            if "fail" in query.get("recipient", [""])[0]:
                return self.reply(500, "Internal Server Error", b"nein")
            return self.reply(200, "OK", b"<html>Danke</html>")
        return self.reply(404, "Not Found")

    def run_cgi(self):
        split = urllib.parse.urlsplit(self.path)
        script = os.path.join(CGI_ROOT, split.path.lstrip("/"))
        if not os.path.isfile(script):
            return self.reply(404, "Not Found")
        env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "GATEWAY_INTERFACE": "CGI/1.1",
            "REQUEST_METHOD": "GET",
            "QUERY_STRING": split.query,
            "SCRIPT_NAME": split.path,
            "SERVER_NAME": "127.0.0.1",
            "SERVER_PORT": str(self.server.server_address[1]),
            "SERVER_PROTOCOL": "HTTP/1.0",
            "REMOTE_ADDR": self.client_address[0],
        }
        done = subprocess.run([script], env=env, capture_output=True, timeout=60)
        sys.stderr.write(done.stderr.decode("utf-8", "replace"))
        head, _, body = done.stdout.partition(b"\r\n\r\n")
        if not _:
            head, _, body = done.stdout.partition(b"\n\n")
        code, reason, headers = 200, "OK", []
        for line in head.decode("latin-1").splitlines():
            name, _, value = line.partition(":")
            if name.lower() == "status":
                code_text, _, reason = value.strip().partition(" ")
                code = int(code_text)
            elif name:
                headers.append((name, value.strip()))
        if done.returncode != 0:
            code, reason, body = 500, "Internal Server Error", b""
        self.reply(code, reason, body, headers)


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
