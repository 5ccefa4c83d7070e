# SPDX-License-Identifier: GPL-3.0-or-later
# Test peer: serves a folder over HTTP or HTTPS on 127.0.0.1 and prints its port.
# Paths under /slow/ serve the named file in small pieces with pauses, for cancel tests;
# /cut/ announces the named file's length, sends half of it and drops the connection;
# /endless/ sends no length and more bytes than any download accepts.
import http.server
import os
import ssl
import sys
import time


def main():
    folder, cert, key = sys.argv[1], (sys.argv[2] if len(sys.argv) > 2 else ""), (sys.argv[3] if len(sys.argv) > 3 else "")

    class Handler(http.server.SimpleHTTPRequestHandler):
        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=folder, **kwargs)

        def log_message(self, *args):
            pass

        def do_GET(self):
            if self.path.startswith("/cut/"):
                return self.cut()
            if self.path.startswith("/endless/"):
                return self.endless()
            if not self.path.startswith("/slow/"):
                return super().do_GET()
            name = os.path.join(folder, os.path.basename(self.path))
            size = os.path.getsize(name)
            self.send_response(200)
            self.send_header("Content-Length", str(size))
            self.end_headers()
            try:
                with open(name, "rb") as source:
                    while True:
                        piece = source.read(4096)
                        if not piece:
                            break
                        self.wfile.write(piece)
                        self.wfile.flush()
                        time.sleep(0.05)
            except (BrokenPipeError, ConnectionResetError):
                pass

        def cut(self):
            with open(os.path.join(folder, os.path.basename(self.path)), "rb") as source:
                data = source.read()
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data[: len(data) // 2])
            self.wfile.flush()
            self.close_connection = True

        def endless(self):
            self.protocol_version = "HTTP/1.0"
            self.send_response(200)
            self.end_headers()
            piece = b"#" * 65536
            try:
                for _ in range(1024):  # 64 MiB at most
                    self.wfile.write(piece)
            except (BrokenPipeError, ConnectionResetError):
                pass
            self.close_connection = True

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    if cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    server.serve_forever()


main()
