"""Counts of the HTTPS server's TLS connections, for tests and benchmarks.

A connection whose first request goes to the control endpoint belongs to the
tests' own tooling; it is counted apart, so that the figures describe only the
client under test. A connection that has sent no request yet counts as the
client's."""

import threading


class Connection:
    """One accepted TLS connection, as the counts know it."""

    def __init__(self, resumed):
        self.resumed = resumed
        self.kind_known = False
        self.control = False


class ConnectionCounts:
    def __init__(self):
        self._lock = threading.Lock()
        self._handshakes = 0
        self._resumed = 0
        self._open = 0
        self._control_handshakes = 0
        self._control_open = 0

    def opened(self, resumed):
        """A handshake completed; answers the connection's record."""
        with self._lock:
            self._handshakes += 1
            self._resumed += resumed
            self._open += 1
        return Connection(resumed)

    def first_request(self, connection, control):
        """The connection's first request tells whose it is."""
        if connection.kind_known:
            return
        connection.kind_known = True
        connection.control = control
        if control:
            with self._lock:
                self._control_handshakes += 1
                self._resumed -= connection.resumed
                self._control_open += 1

    def closed(self, connection):
        with self._lock:
            self._open -= 1
            if connection.control:
                self._control_open -= 1

    def describe(self):
        """Since the service started: the client's handshakes, how many of
        them resumed an earlier TLS session, and its connections open now;
        the control endpoint's handshakes apart."""
        with self._lock:
            return {
                "tls_handshakes": self._handshakes - self._control_handshakes,
                "tls_resumed": self._resumed,
                "open_connections": self._open - self._control_open,
                "control_handshakes": self._control_handshakes,
            }
