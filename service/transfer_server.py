"""The transfer server: explicit FTPS on loopback, TLS required on the control
and the data connections.

Its tree is the store's transfer root: committed contents under /files (read
only) and uploads in progress under /uploads, where only uploads that the
service handed out may be written. Credentials are the ones the login replies
hand out. Downloads resume with REST + RETR; uploads resume with APPE, or with
REST + STOR (which drops what lay past the offset); SIZE answers the stored size.

A transfer command waits for the TLS handshake that the client began on its
data connection before it is answered, and an upload counts as complete only
when the client ended its data connection's TLS session: one that broke off
is aborted (426) and keeps what arrived, for a resumed upload.
"""

import fcntl
import functools
import logging
import os
import struct
import termios

from OpenSSL import SSL
from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.ioloop import IOLoop, RetryError
from pyftpdlib.servers import FTPServer

from store import UPLOADS_DIR

POLL_SECONDS = 0.05
# What OpenSSL reports of a connection on which no handshake message arrived.
BEFORE_HANDSHAKE = b"before SSL initialization"
# How long a transfer command waits for its passive data connection before it
# is answered anyway.
DATA_CONNECTION_WAIT = 1.0
# How long the reply to PASV or EPSV is held back. libcurl (7.88) that finds
# the reply already there in the same step in which it sent the command sets
# up its data connection without starting it, then sleeps in its idle wait of
# a second before it connects: every transfer answered that fast took a
# second longer. A reply that comes once the client waits for it is taken up
# at once.
PASSIVE_REPLY_DELAY = 0.002


def _bytes_waiting(fd):
    """How many received bytes the system holds for the socket, unread."""
    return struct.unpack("i", fcntl.ioctl(fd, termios.FIONREAD, b"\0" * 4))[0]

log = logging.getLogger("calvimora.transfer")


class _Authorizer(DummyAuthorizer):
    def __init__(self, store):
        super().__init__()
        self.store = store
        self.uploads = os.path.join(store.transfer_root, UPLOADS_DIR)

    def validate_authentication(self, username, password, handler):
        with self.store.lock:
            account = self.store.transfer_accounts.get(username)
        if account is None or account.password != password:
            raise AuthenticationFailed("Authentication failed.")

    def has_user(self, username):
        with self.store.lock:
            return username in self.store.transfer_accounts

    def get_home_dir(self, username):
        return self.store.transfer_root

    def get_perms(self, username):
        return "elrwa"

    def has_perm(self, username, perm, path=None):
        if perm in "elr":
            return True
        if perm in "wa":
            return path is not None and os.path.dirname(os.path.normpath(path)) == self.uploads
        return False

    def get_msg_login(self, username):
        return "Logged in."

    def get_msg_quit(self, username):
        return "Goodbye."


class _DataTransfer(DTPHandler):
    """The plain side of one data connection: it keeps a connection whose TLS
    starts before the transfer command, stays quiet about connections that no
    transfer used, plays an armed transfer fault on the bytes that pass, and
    takes an upload for complete only when the client ended its TLS session
    (a reset, or an end without the client's TLS shutdown, may have lost
    bytes on the way: that transfer is aborted).

    It sits below the TLS layer in the method order of _DataChannel, so the
    bytes it counts and holds back are the plain data of the transfer.
    """

    def __init__(self, sock, cmd_channel):
        self._fault = None
        self._fault_done = False
        self._pause = None
        self._broken_off = False
        super().__init__(sock, cmd_channel)

    def push_with_producer(self, producer):
        self._take_fault()
        super().push_with_producer(producer)

    def enable_receiving(self, type, cmd):
        self._take_fault()
        super().enable_receiving(type, cmd)

    def _take_fault(self):
        self._fault = self.cmd_channel.pending_fault
        self.cmd_channel.pending_fault = None

    def _room(self, moved):
        """Bytes that may still pass before the fault acts; None without one."""
        if self._fault is None or self._fault_done:
            return None
        return int(self._fault.options.get("after", 0)) - moved

    def send(self, data):
        room = self._room(self.tot_bytes_sent)
        if room is None:
            return super().send(data)
        if room <= 0:
            self._act()
            return 0
        return super().send(data[:room])

    def recv(self, buffer_size):
        room = self._room(self.tot_bytes_received)
        if room is not None and room <= 0:
            self._act()
            raise RetryError
        try:
            return super().recv(buffer_size if room is None else min(buffer_size, room))
        except (SSL.WantReadError, SSL.WantWriteError, SSL.ZeroReturnError):
            raise
        except SSL.Error:
            self._broken_off = True
            self.handle_close()
            return b""

    def _act(self):
        if self._fault_done:
            return
        self._fault_done = True
        if self._fault.kind == "cut":
            self.ioloop.call_later(0, self._cut)
        else:
            self.del_channel()
            seconds = float(self._fault.options.get("seconds", 1))
            self._pause = self.ioloop.call_later(seconds, self._resume)

    def _cut(self):
        if self._closed:
            return
        self._resp = ("426 Connection cut; transfer aborted.", log.info)
        # No TLS goodbye: the connection just breaks, as a failing network's would.
        self._error = True
        self.close()

    def _resume(self):
        self._pause = None
        if not self._closed:
            self.add_channel(events=self.ioloop.READ if self.receive else self.ioloop.WRITE)

    def readable(self):
        # A client may start TLS on the data connection before it sends the
        # transfer command (libcurl does): the handshake must go on, or the
        # base class would take the early bytes for a closed connection.
        if getattr(self, "_ssl_accepting", False):
            return True
        return super().readable()

    def handle_close(self):
        if not self._initialized:
            # Closed before any transfer used it (the client gave up after a
            # refused command): there is nothing to report on the control
            # connection, where a stray reply would confuse the client.
            self.close()
            return
        if self.receive and self._broken_off and not self._closed:
            self.transfer_finished = False
            self._resp = ("426 Data connection broke off; transfer aborted.", log.info)
            self.close()
            return
        super().handle_close()

    def close(self):
        if self._pause is not None:
            self._pause.cancel()
            self._pause = None
        super().close()


class _DataChannel(TLS_DTPHandler, _DataTransfer):
    """TLS data connection whose plain bytes pass through _DataTransfer.

    A transfer command that arrives while the client's TLS handshake on it is
    under way runs only once the server finished its side (see
    _ControlChannel._after_handshake)."""

    def __init__(self, sock, cmd_channel):
        self._when_secured = None
        super().__init__(sock, cmd_channel)

    def client_began_tls(self):
        """The client began its TLS handshake here, without waiting for a
        reply, and the server has not finished it yet."""
        if not self._ssl_accepting:
            return False
        if self.socket.get_state_string() != BEFORE_HANDSHAKE:
            return True
        try:
            return _bytes_waiting(self.socket.fileno()) > 0
        except OSError:
            return False

    def when_secured(self, run):
        self._when_secured = run

    def handle_ssl_established(self):
        run, self._when_secured = self._when_secured, None
        if run is not None:
            run()

    def handle_close(self):
        if self._when_secured is not None:
            # The connection ended in its handshake: the waiting command fails.
            self._when_secured = None
            self.cmd_channel.respond("425 Can't open data connection.")
            self.close()
            return
        super().handle_close()


class _ControlChannel(TLS_FTPHandler):
    tls_control_required = True
    tls_data_required = True
    dtp_handler = _DataChannel
    auth_failed_timeout = 0.1
    banner = "Calvimora transfer server ready."

    # Set on the per-server subclass made by TransferServer.
    app = None

    def __init__(self, conn, server, ioloop=None):
        self.pending_fault = None
        # A transfer command held until its passive data connection arrives,
        # and the timer that answers it anyway.
        self._waiting_command = None
        self._resuming = False
        super().__init__(conn, server, ioloop)

    def pre_process_command(self, line, cmd, arg):
        with self.app.store.lock:
            account = self.app.store.transfer_accounts.get(self.username or "")
        self.app.journal.add_command(
            {
                "ftp_user": self.username or "",
                "user_id": account.user_id if account else "",
                "cwd": self.fs.cwd if self.fs else "",
                "command": cmd,
                "argument": "******" if cmd == "PASS" else arg,
            }
        )
        super().pre_process_command(line, cmd, arg)

    def ftp_PASV(self, line):
        self._after_pause(super().ftp_PASV, line)

    def ftp_EPSV(self, line):
        self._after_pause(super().ftp_EPSV, line)

    def _after_pause(self, command, line):
        def answer():
            if not self._closed:
                command(line)

        self.ioloop.call_later(PASSIVE_REPLY_DELAY, answer)

    def ftp_RETR(self, file):
        if self._after_handshake(self.ftp_RETR, file):
            return None
        if self._refused("download", file):
            return None
        return super().ftp_RETR(file)

    def ftp_STOR(self, file, mode="w"):
        if self._after_handshake(self.ftp_STOR, file, mode):
            return None
        with self.app.store.lock:
            handed_out = os.path.basename(file) in self.app.store.uploads
        if not handed_out:
            self.respond("550 Uploads go only to a location the service handed out.")
            return None
        if self._refused("upload", file):
            return None
        restart = self._restart_position
        if "w" in mode and 0 < restart <= os.path.getsize(file):
            # A store that resumes at an offset replaces everything from there:
            # bytes left past it from an earlier, longer attempt would
            # otherwise stay behind the new data.
            os.truncate(file, restart)
        return super().ftp_STOR(file, mode)

    def _after_handshake(self, command, *args):
        """Holds a transfer command back while the client's TLS handshake on
        the data connection is under way; it runs once the server finished
        the handshake. The server's last handshake messages (its session
        tickets) then reach the client before the reply that starts the
        transfer. Sent after it, they could arrive once an uploading client
        had sent everything and closed the connection: its system then
        resets the connection, which throws away every byte the server had
        not read yet.

        A command that arrives before its passive data connection was taken
        in waits for it first (for DATA_CONNECTION_WAIT at most). A client
        that waits for the reply before its handshake is answered at once:
        nothing of its handshake has arrived."""
        if self._resuming:
            return False
        run = functools.partial(self._resume, functools.partial(command, *args))
        channel = self.data_channel
        if channel is None:
            if self._dtp_acceptor is None or self._waiting_command is not None:
                return False
            timer = self.ioloop.call_later(DATA_CONNECTION_WAIT, self._answer_waiting_command)
            self._waiting_command = (run, timer)
            return True
        if not channel.client_began_tls():
            return False
        channel.when_secured(run)
        return True

    def _resume(self, run):
        self._resuming = True
        try:
            run()
        finally:
            self._resuming = False

    def _take_waiting_command(self):
        run, timer = self._waiting_command
        self._waiting_command = None
        if not timer.cancelled:
            timer.cancel()
        return run

    def _answer_waiting_command(self):
        if self._waiting_command is not None:
            self._take_waiting_command()()

    def _on_dtp_connection(self):
        super()._on_dtp_connection()
        if self._waiting_command is None or self.data_channel is None:
            return
        run = self._take_waiting_command()
        if self.data_channel.client_began_tls():
            self.data_channel.when_secured(run)
        else:
            run()

    def close(self):
        if self._waiting_command is not None:
            self._take_waiting_command()
        super().close()

    def _refused(self, direction, path):
        fault = self.app.faults.take("transfer", direction, self.fs.fs2ftp(path))
        if fault is not None and fault.kind == "refuse":
            self.pending_fault = None
            self.respond("550 Transfer refused.")
            return True
        self.pending_fault = fault
        return False


class TransferServer:
    def __init__(self, host, app, certfile, keyfile, port=0):
        handler = type(
            "ServiceControlChannel",
            (_ControlChannel,),
            {
                "app": app,
                "authorizer": _Authorizer(app.store),
                "certfile": certfile,
                "keyfile": keyfile,
                "ssl_context": None,
            },
        )
        self.ioloop = IOLoop()
        self.server = FTPServer((host, port), handler, ioloop=self.ioloop)
        self.port = self.server.address[1]

    def serve(self, stopping):
        """Runs the server's loop on the calling thread until `stopping` is set."""
        wait = POLL_SECONDS
        while not stopping.is_set():
            next_task = self.ioloop.loop(timeout=wait, blocking=False)
            wait = POLL_SECONDS if not next_task else min(POLL_SECONDS, max(next_task, 0.0))
        self.server.close_all()
