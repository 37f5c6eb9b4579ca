#!/usr/bin/python3
"""The local stand-in of the storage service: its HTTPS API and its FTPS
transfer server, on loopback, for the tests, the benchmarks and the demo.

Run it with Debian's /usr/bin/python3: it needs the standard library,
pyftpdlib, pyOpenSSL and cryptography from Debian's packages, and the
"python3" first on PATH may be another interpreter that cannot see them.

  server.py --storage DIR --port-file FILE   for tests
  server.py --demo                           for a person, with a demo account
  server.py --demo --storage DIR --keep --https-port N --ftp-port M
                                             the demo's service, kept between runs

Both servers take ports chosen at start unless --https-port and --ftp-port
name them. --keep keeps the store in the storage folder between runs: what
the service knows is saved after every request and read back at the next
start, and the certificate made at the first start is presented again; the
demo account is seeded only into a new store. Once both listen, the port file
receives, atomically, a JSON object with "base_url" (the HTTPS base address
that the client's CALVIMORA_SERVICE_URL takes), "ca_file" (the certificate
both servers present, made at start, which the client's
CALVIMORA_SERVICE_CA_FILE names so that it can verify them), "ftp_url",
"prefix", "https_port", "ftp_port" and "pid". SIGTERM or SIGINT stops the
service.

--tls-host NAME issues the certificate for NAME instead of the loopback
address, so that a client reaching the servers at 127.0.0.1 finds the host
name wrong and must refuse them. --keep-alive SECONDS sets how long an HTTPS
connection may wait idle for its next request before the server closes it.
"""

import argparse
import json
import logging
import os
import shutil
import signal
import ssl
import sys
import tempfile
import threading

# The service runs from the source tree: keep compiled files out of it.
sys.dont_write_bytecode = True

import api  # noqa: E402
import control  # noqa: E402
import demo  # noqa: E402
from connection_counts import ConnectionCounts  # noqa: E402
from context import Site  # noqa: E402
from faults import Faults  # noqa: E402
from https_front import KEEP_ALIVE_SECONDS, HttpsServer  # noqa: E402
from journal import Journal  # noqa: E402
from store import Store  # noqa: E402
from tls import make_certificate  # noqa: E402
from transfer_server import TransferServer  # noqa: E402

HOST = "127.0.0.1"
# How often the servers' loops look whether the service is stopping.
STOP_POLL_SECONDS = 0.05


class App:
    """Everything one running service shares between its two servers."""

    def __init__(self, storage, keep=False):
        state_file = os.path.join(storage, "store.json") if keep else None
        self.store = Store(os.path.join(storage, "transfer"), state_file)
        self.faults = Faults()
        self.journal = Journal()
        self.connections = ConnectionCounts()
        self.stopping = threading.Event()
        self.site = None
        self.api = api.Api(self)
        self.control = control.Control(self)


def _write_port_file(path, values):
    staging = f"{path}.{os.getpid()}.tmp"
    with open(staging, "w", encoding="utf-8") as out:
        json.dump(values, out)
        out.flush()
        os.fsync(out.fileno())
    os.replace(staging, path)


def _arguments(argv):
    parser = argparse.ArgumentParser(description="Local stand-in of the storage service.")
    parser.add_argument(
        "--storage", help="folder for the stored files (a temporary one by default)"
    )
    parser.add_argument("--port-file", help="where to write the addresses once both servers listen")
    parser.add_argument("--demo", action="store_true", help="start with the demo account")
    parser.add_argument(
        "--keep", action="store_true", help="keep the store in the storage folder between runs"
    )
    parser.add_argument("--https-port", type=int, default=0, help="the HTTPS port (0: any free)")
    parser.add_argument("--ftp-port", type=int, default=0, help="the FTPS port (0: any free)")
    parser.add_argument("--verbose", action="store_true", help="log every request to stderr")
    parser.add_argument(
        "--tls-host", default=HOST, help="the host the certificate is issued for (default %(default)s)"
    )
    parser.add_argument(
        "--keep-alive",
        type=float,
        default=KEEP_ALIVE_SECONDS,
        help="seconds an HTTPS connection may stay idle between requests (default %(default)s)",
    )
    args = parser.parse_args(argv)
    if not args.demo and not args.storage:
        parser.error("--storage is needed unless --demo is given")
    if args.keep and not args.storage:
        parser.error("--keep needs --storage")
    return args


def main(argv=None):
    args = _arguments(argv)
    logging.basicConfig(
        level=logging.INFO if args.verbose else logging.WARNING,
        format="%(asctime)s %(name)s %(message)s",
    )
    logging.getLogger("pyftpdlib").setLevel(logging.INFO if args.verbose else logging.ERROR)
    temporary = args.storage is None
    storage = tempfile.mkdtemp(prefix="calvimora-service-") if temporary else args.storage
    os.makedirs(storage, exist_ok=True)

    tls_folder = os.path.join(storage, "tls")
    certfile, keyfile = make_certificate(tls_folder, args.tls_host, reuse=args.keep)
    https_context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    https_context.load_cert_chain(certfile, keyfile)

    app = App(storage, args.keep)
    https = HttpsServer(HOST, app, https_context, args.keep_alive, args.https_port)
    transfer = TransferServer(HOST, app, certfile, keyfile, args.ftp_port)
    base_url = f"https://{HOST}:{https.port}"
    ftp_url = f"ftp://{HOST}:{transfer.port}"
    app.site = Site(base_url, ftp_url, api.PREFIX)
    demo_lines = []
    if args.demo:
        with app.store.lock:
            demo_lines = demo.lines() if app.store.loaded else demo.seed(app.store)
            app.store.saved()

    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: app.stopping.set())
    threads = [
        threading.Thread(target=https.serve_forever, args=(STOP_POLL_SECONDS,), name="https"),
        threading.Thread(target=transfer.serve, args=(app.stopping,), name="transfer"),
    ]
    for thread in threads:
        thread.start()

    if args.port_file:
        _write_port_file(
            args.port_file,
            {
                "base_url": base_url,
                "ca_file": certfile,
                "ftp_url": ftp_url,
                "prefix": api.PREFIX,
                "https_port": https.port,
                "ftp_port": transfer.port,
                "pid": os.getpid(),
            },
        )
    if args.demo:
        print("Calvimora stand-in service")
        print(f"  HTTPS {base_url}   (CALVIMORA_SERVICE_URL={base_url})")
        print(f"  certificate {certfile}   (CALVIMORA_SERVICE_CA_FILE={certfile})")
        print(f"  FTPS  {ftp_url}")
        for line in demo_lines:
            print(f"  {line}")
        print("Stop it with Ctrl+C.", flush=True)

    app.stopping.wait()
    https.shutdown()
    https.server_close()
    for thread in threads:
        thread.join()
    if args.port_file:
        try:
            os.unlink(args.port_file)
        except FileNotFoundError:
            pass
    if temporary:
        shutil.rmtree(storage, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
