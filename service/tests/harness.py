"""Drives a running service as the client and the tests do, with the
standard library only: http.client over TLS, ftplib.FTP_TLS, and a reader of
the tagged-text replies that follows the client's grammar."""

import base64
import ftplib
import hashlib
import http.client
import json
import os
import shutil
import signal
import ssl
import subprocess
import tempfile
import time
import unittest
import warnings
from dataclasses import dataclass, field

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
from cryptography.utils import CryptographyDeprecationWarning

SERVER = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "server.py")
PYTHON = "/usr/bin/python3"
# Python and its libraries start slowly on a loaded machine: the deadline
# is generous, and a service that is up sooner is used at once.
START_DEADLINE = 60.0


def verified_context(ca_file):
    """TLS that checks the servers' certificate and host name against the one
    certificate the service made at start, as the client does."""
    return ssl.create_default_context(cafile=ca_file)


def wait_for(condition, deadline=5.0, what="condition"):
    end = time.monotonic() + deadline
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.02)
    raise AssertionError(f"timed out waiting for {what}")


class Service:
    """A running service, reached through the port file it wrote."""

    def __init__(self, port_file):
        with open(port_file, encoding="utf-8") as ports:
            self.ports = json.load(ports)
        self.base_url = self.ports["base_url"]
        self.ftp_url = self.ports["ftp_url"]
        self.prefix = self.ports["prefix"]
        self.https_port = self.ports["https_port"]
        self.ftp_port = self.ports["ftp_port"]
        self.ca_file = self.ports["ca_file"]
        self.tls = verified_context(self.ca_file)

    # --- HTTPS

    def post(self, path, body, content_type="application/x-www-form-urlencoded"):
        connection = http.client.HTTPSConnection(
            "127.0.0.1", self.https_port, context=self.tls, timeout=20
        )
        try:
            connection.request("POST", path, body, {"Content-Type": content_type})
            response = connection.getresponse()
            return response.status, dict(response.getheaders()), response.read()
        finally:
            connection.close()

    def control(self, verb, **args):
        status, _, body = self.post(f"/_control/{verb}", json.dumps(args), "application/json")
        answer = json.loads(body)
        if status != 200:
            raise AssertionError(f"control {verb} refused: {answer}")
        return answer

    def content(self, file_id):
        connection = http.client.HTTPSConnection(
            "127.0.0.1", self.https_port, context=self.tls, timeout=20
        )
        try:
            connection.request("GET", f"/_control/content?file_id={file_id}")
            return connection.getresponse().read()
        finally:
            connection.close()


class ServiceProcess(Service):
    """One service in a fresh folder, as the C++ fixture runs it."""

    def __init__(self, *options, storage=None):
        """options: further command-line options of the service; storage: a
        folder of the test's that outlives the service (a fresh one inside
        the service's own folder otherwise)."""
        self.folder = tempfile.mkdtemp(prefix="calvimora-service-test-")
        self.port_file = os.path.join(self.folder, "ports.json")
        self.log = open(os.path.join(self.folder, "server.log"), "wb")
        self.process = subprocess.Popen(
            [
                PYTHON,
                SERVER,
                "--storage",
                storage or os.path.join(self.folder, "storage"),
                "--port-file",
                self.port_file,
                *options,
            ],
            stdout=self.log,
            stderr=subprocess.STDOUT,
        )
        wait_for(self._ready, START_DEADLINE, "the port file")
        self.start_cpu_seconds = self._cpu_seconds()
        super().__init__(self.port_file)

    def _cpu_seconds(self):
        """Processor time the service has used, whatever the machine's load."""
        with open(f"/proc/{self.process.pid}/stat", encoding="ascii") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def _ready(self):
        if self.process.poll() is not None:
            raise AssertionError(f"the service ended with {self.process.returncode}")
        return os.path.exists(self.port_file)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()
        shutil.rmtree(self.folder, ignore_errors=True)


# --- the request body, encoded unit by unit as the client does

_ESCAPED = set('"#%&+/<>?[\\]^`{|}')


def url_encode(text):
    out = bytearray()
    units = text.encode("utf-16-le", "surrogatepass")
    for i in range(0, len(units), 2):
        unit = units[i] | units[i + 1] << 8
        if unit < 0x80:
            out += b"%%%02X" % unit if chr(unit) in _ESCAPED else bytes([unit])
        elif unit < 0x800:
            out += bytes([0xC0 + (unit >> 6), 0x80 + (unit & 0x3F)])
        else:
            out += bytes([0xE0 + (unit >> 12), 0x80 + ((unit >> 6) & 0x3F), 0x80 + (unit & 0x3F)])
    return bytes(out)


def form_body(params):
    keys = sorted(params, key=lambda k: k.encode("utf-16-be", "surrogatepass"))
    return b"&".join(url_encode(k) + b"=" + url_encode(str(params[k])) for k in keys)


# --- replies


@dataclass
class Node:
    name: str
    text: str = ""
    children: list = field(default_factory=list)

    def field(self, name):
        return next((c.text for c in self.children if c.name == name), "")

    def records(self, name):
        return [c for c in self.children if c.name == name and c.children]


def _unescape(text):
    return text.replace("\\<", "<").replace("\\>", ">")


def _find(text, delimiter, start):
    pos = start
    while True:
        found = text.find(delimiter, pos)
        if found < 0:
            raise ValueError("Parse error")
        if found == start or text[found - 1] != "\\":
            return found
        pos = found + 1


def _tag(text, pos):
    opening = _find(text, "<", pos)
    closing = _find(text, ">", opening)
    is_end = closing - opening >= 2 and text[opening + 1] == "/"
    return opening, closing, text[opening + 1 : closing], is_end


def _element(text, pos):
    start, end, name, _ = _tag(text, pos)
    node = Node(_unescape(name))
    cursor = end + 1
    while True:
        tag_start, tag_end, _, is_end = _tag(text, cursor)
        if is_end:
            if not node.children:
                node.text = _unescape(text[end + 1 : tag_start])
            return node, tag_end + 1
        child, cursor = _element(text, tag_start)
        node.children.append(child)


def parse_reply(data):
    return _element(data.decode("utf-8"), 0)[0]


@dataclass
class Failure:
    type: int
    name: str
    description: str


def failure_of(tree):
    errors = tree.records("Error")
    if not errors:
        return None
    error = errors[0]
    return Failure(int(error.field("Type") or 0), error.field("Name"), error.field("Description"))


# --- the login's Data field, deciphered independently of the service's code


def decipher_data(data, key_text):
    """Blowfish CBC with a zero IV, chained here by hand over single blocks."""
    cipher = base64.b64decode(data)
    if not cipher or len(cipher) % 8:
        raise AssertionError("Data is not whole cipher blocks")
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", CryptographyDeprecationWarning)
        blocks = Cipher(algorithms.Blowfish(key_text.encode("ascii")), modes.ECB()).decryptor()
    decrypted = blocks.update(cipher) + blocks.finalize()
    previous, plain = bytes(8), bytearray()
    for i in range(0, len(cipher), 8):
        plain += bytes(a ^ b for a, b in zip(decrypted[i : i + 8], previous))
        previous = cipher[i : i + 8]
    return bytes(plain)


@dataclass
class Session:
    """A logged-in user as the client holds it."""

    service: ServiceProcess
    user_id: str
    access_id: str
    name: str
    lang: str
    level: str
    ftp_host: str = ""
    ftp_user: str = ""
    ftp_password: str = ""

    def user_params(self):
        return {
            "user_id": self.user_id,
            "user_id_access": self.access_id,
            "user_lang": self.lang,
            "user_level": self.level,
        }

    def call(self, script, **params):
        body = form_body({**self.user_params(), **params})
        status, _, data = self.service.post(f"{self.service.prefix}/{script}", body)
        if status != 200:
            raise AssertionError(f"HTTP {status}")
        return data

    def ops(self, action, **params):
        tree = parse_reply(self.call("cm_operations.php", action=action, **params))
        failure = failure_of(tree)
        if failure:
            raise AssertionError(f"{action} failed: {failure}")
        return tree

    def fails(self, action, **params):
        failure = failure_of(parse_reply(self.call("cm_operations.php", action=action, **params)))
        if failure is None:
            raise AssertionError(f"{action} did not fail")
        return failure

    def ftp(self):
        host, port = self.ftp_host.removeprefix("ftp://").split(":")
        ftp = ftplib.FTP_TLS(context=self.service.tls, timeout=20)
        ftp.connect(host, int(port))
        ftp.login(self.ftp_user, self.ftp_password)
        ftp.prot_p()
        return ftp


def login(service, user, password):
    params = {
        "action": "login",
        "user": user,
        "pass": password,
        "version": "1.3.14.1",
        "pro_version": "",
        "pcid": "5f0e4a9c-1b2d-4c3e-8f70-123456789abc",
        "user_id": "",
        "user_id_access": "",
        "user_lang": "",
        "user_level": "",
    }
    status, _, data = service.post(f"{service.prefix}/cm_operations.php", form_body(params))
    tree = parse_reply(data)
    failure = failure_of(tree)
    if failure:
        raise AssertionError(f"login failed: {failure}")
    session = Session(
        service,
        tree.field("UserID"),
        tree.field("UserAccessID"),
        tree.field("UserName"),
        tree.field("UserLang"),
        tree.field("UserLevel"),
    )
    key = hashlib.md5((session.user_id + user + password).encode()).hexdigest()[:24]
    plain = decipher_data(tree.field("Data"), key).rstrip(b"\0")
    credentials = parse_reply(b"<Result>" + plain + b"</Result>")
    session.ftp_host = credentials.field("Host")
    session.ftp_user = credentials.field("User")
    session.ftp_password = credentials.field("Pass")
    return session


_shared_service = None


def _stop_shared_service():
    global _shared_service
    _shared_service.stop()
    _shared_service = None


class ServiceTest(unittest.TestCase):
    """One service per test module; every test starts from a reset store with
    the users alice and bob, alice logged in."""

    @classmethod
    def setUpClass(cls):
        global _shared_service
        if _shared_service is None:
            _shared_service = ServiceProcess()
            unittest.addModuleCleanup(_stop_shared_service)
        cls.service = _shared_service

    def setUp(self):
        control = self.service.control
        control("reset")
        self.alice_id = control(
            "add_user", name="alice", password="secret", email="alice@example.com"
        )["user_id"]
        self.bob_id = control("add_user", name="bob", password="hunter2", email="bob@example.com")[
            "user_id"
        ]
        self.alice = login(self.service, "alice", "secret")

    def add_folder(self, owner, name, parent="0", **details):
        return self.service.control(
            "add_folder", owner_id=owner, parent_id=parent, name=name, **details
        )["dir_id"]

    def add_file(self, owner, name, parent="0", **content):
        return self.service.control("add_file", owner_id=owner, dir_id=parent, name=name, **content)

    def names(self, tree, record="Directory"):
        return [r.field("Name") for r in tree.records(record)]
