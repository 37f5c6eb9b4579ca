"""The HTTPS server: HTTP/1.1 with connections kept alive between requests, as
a real server keeps them, until the client closes one or leaves it idle for
the keep-alive time. Every answer is HTTP 200 unless a fault asks for
something else."""

import logging
import socket
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit

CONTROL = "/_control/"
MAX_BODY = 16 * 1024 * 1024
# How long the handshake and the reading of one request, once it began, and
# the writing of its answer may take.
SOCKET_TIMEOUT = 120
# How long a kept-alive connection may wait for its next request.
KEEP_ALIVE_SECONDS = 5.0
# How much of an answer is gathered before it is sent.
WRITE_BUFFER = 64 * 1024
# The body a broken-off answer announces and never sends.
BROKEN_OFF_LENGTH = 100

log = logging.getLogger("calvimora.https")


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "CalvimoraStandIn/1.0"
    sys_version = ""
    # An answer is written whole and sent at the end of its request, in as
    # few TLS records as it fits in.
    wbufsize = WRITE_BUFFER

    def __init__(self, request, client_address, server, connection_record):
        # Set first: the base class serves the connection's requests within
        # its constructor.
        self.connection_record = connection_record
        super().__init__(request, client_address, server)

    def handle_one_request(self):
        # Until the next request begins, the connection is idle: the server
        # closes it when the keep-alive time passes first.
        self.connection.settimeout(self.server.keep_alive_seconds)
        super().handle_one_request()

    def handle_expect_100(self):
        accepted = super().handle_expect_100()
        # The client waits for this before it sends the body.
        self.wfile.flush()
        return accepted

    def _begin_request(self, path):
        self.connection.settimeout(SOCKET_TIMEOUT)
        self.server.app.connections.first_request(self.connection_record, path.startswith(CONTROL))

    def do_POST(self):
        url = urlsplit(self.path)
        self._begin_request(url.path)
        try:
            length = int(self.headers.get("Content-Length", "0"))
        except ValueError:
            length = -1
        if not 0 <= length <= MAX_BODY:
            # The body cannot be skipped to reach the next request.
            self.close_connection = True
            self._answer(400 if length < 0 else 413, b"Bad request body", "text/plain")
            return
        body = self.rfile.read(length)
        if url.path.startswith(CONTROL):
            status, answer = self.server.app.control.post(url.path[len(CONTROL) :], body)
            self._answer(status, answer, "application/json")
            return
        response = self.server.app.api.handle(url.path, body)
        if response.close:
            self.close_connection = True
            return
        if response.drop:
            self._break_off()
            return
        self._answer(response.status, response.body, response.content_type)

    def do_GET(self):
        url = urlsplit(self.path)
        self._begin_request(url.path)
        if url.path == CONTROL + "content":
            status, answer = self.server.app.control.content(url.query)
            self._answer(status, answer, "application/octet-stream")
        else:
            self._answer(405, b"The service answers POST requests only", "text/plain")

    def _answer(self, status, body, content_type):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        if self.close_connection:
            self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def _break_off(self):
        """An answer that breaks off after its headers: the client has begun
        to receive it, so it takes the failure for one of this request, not
        for a kept-alive connection that was closed before it was sent."""
        self.send_response(200)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(BROKEN_OFF_LENGTH))
        self.end_headers()
        self.wfile.flush()
        self.close_connection = True

    def log_message(self, format, *args):
        log.info("%s %s", self.address_string(), format % args)


class HttpsServer(ThreadingHTTPServer):
    daemon_threads = True

    # A fixed port is taken again at once after a restart.
    allow_reuse_address = True

    def __init__(self, host, app, ssl_context, keep_alive_seconds=KEEP_ALIVE_SECONDS, port=0):
        self.app = app
        self.ssl_context = ssl_context
        self.keep_alive_seconds = keep_alive_seconds
        super().__init__((host, port), _Handler)

    @property
    def port(self):
        return self.server_address[1]

    def finish_request(self, request, client_address):
        # The handshake runs on the request's own thread, so a client that
        # connects and stays silent holds up nobody else.
        request.settimeout(SOCKET_TIMEOUT)
        # An answer leaves at once, not once the client acknowledged the one
        # before (which it may delay, waiting for more).
        request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        try:
            tls = self.ssl_context.wrap_socket(request, server_side=True)
        except OSError as failure:
            log.info("TLS handshake with %s failed: %s", client_address, failure)
            return
        connection = self.app.connections.opened(tls.session_reused)
        try:
            _Handler(tls, client_address, self, connection)
        finally:
            self.app.connections.closed(connection)
            try:
                tls.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            tls.close()
