"""The HTTPS server: every answer is HTTP 200 with "Connection: close", as the
client expects, unless a fault asks for something else."""

import logging
import socket
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit

CONTROL = "/_control/"
MAX_BODY = 16 * 1024 * 1024
SOCKET_TIMEOUT = 120

log = logging.getLogger("calvimora.https")


class _Handler(BaseHTTPRequestHandler):
    server_version = "CalvimoraStandIn/1.0"
    sys_version = ""

    def do_POST(self):
        try:
            length = int(self.headers.get("Content-Length", "0"))
        except ValueError:
            length = -1
        if not 0 <= length <= MAX_BODY:
            self._answer(400 if length < 0 else 413, b"Bad request body", "text/plain")
            return
        body = self.rfile.read(length)
        url = urlsplit(self.path)
        if url.path.startswith(CONTROL):
            status, answer = self.server.app.control.post(url.path[len(CONTROL) :], body)
            self._answer(status, answer, "application/json")
            return
        response = self.server.app.api.handle(url.path, body)
        if response.drop:
            self.close_connection = True
            return
        self._answer(response.status, response.body, response.content_type)

    def do_GET(self):
        url = urlsplit(self.path)
        if url.path == CONTROL + "content":
            status, answer = self.server.app.control.content(url.query)
            self._answer(status, answer, "application/octet-stream")
        else:
            self._answer(405, b"The service answers POST requests only", "text/plain")

    def _answer(self, status, body, content_type):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, format, *args):
        log.info("%s %s", self.address_string(), format % args)


class HttpsServer(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, host, app, ssl_context):
        self.app = app
        self.ssl_context = ssl_context
        super().__init__((host, 0), _Handler)

    @property
    def port(self):
        return self.server_address[1]

    def finish_request(self, request, client_address):
        # The handshake runs on the request's own thread, so a client that
        # connects and stays silent holds up nobody else.
        request.settimeout(SOCKET_TIMEOUT)
        try:
            tls = self.ssl_context.wrap_socket(request, server_side=True)
        except OSError as failure:
            log.info("TLS handshake with %s failed: %s", client_address, failure)
            return
        try:
            super().finish_request(tls, client_address)
        finally:
            try:
                tls.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            tls.close()
