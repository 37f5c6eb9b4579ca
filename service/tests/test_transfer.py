"""The transfer server: explicit FTPS only, resumable downloads and uploads,
commits of uploads, transfer faults, and the curl command line as libcurl's
stand-in."""

import ftplib
import io
import os
import select
import shutil
import socket
import ssl
import struct
import subprocess
import tempfile
import threading
import time
import unittest

from harness import ServiceTest

SIZE = 300_000


class TransferTest(ServiceTest):
    def setUp(self):
        super().setUp()
        added = self.add_file(self.alice_id, "big.bin", size=SIZE, seed=7)
        self.file_id, self.location = added["file_id"], added["location"]
        self.content = self.service.content(self.file_id)
        self.host, self.port = self.alice.ftp_host.removeprefix("ftp://").split(":")

    def download(self, ftp, rest=None):
        received = bytearray()
        ftp.retrbinary(f"RETR {self.location}", received.extend, rest=rest)
        return bytes(received)

    def start_upload(self, name="up.bin", size=SIZE):
        created = self.alice.ops(
            "create_and_open_file",
            dir_id="0",
            dir_access="0",
            name=name,
            size=str(size),
            is_pro="0",
        )
        return created.records("File")[0].field("ID"), created.field("TempLocation")

    def close_upload(self, file_id, temp, size, expect_failure=False):
        params = dict(
            file_id=file_id, temp_location=temp, file_time="1000", file_size=str(size), is_pro="0"
        )
        if expect_failure:
            return self.alice.fails("close_file_upload", **params)
        return self.alice.ops("close_file_upload", **params)

    def test_plain_ftp_and_clear_data_are_refused(self):
        plain = ftplib.FTP(timeout=10)
        plain.connect(self.host, int(self.port))
        with self.assertRaisesRegex(ftplib.error_perm, "550"):
            plain.login(self.alice.ftp_user, self.alice.ftp_password)
        plain.close()
        secure = ftplib.FTP_TLS(context=self.service.tls, timeout=10)
        secure.connect(self.host, int(self.port))
        secure.login(self.alice.ftp_user, self.alice.ftp_password)
        with self.assertRaisesRegex(ftplib.error_perm, "550"):
            self.download(secure)  # no PROT P
        secure.voidcmd("PBSZ 0")
        secure.prot_c()
        with self.assertRaisesRegex(ftplib.error_perm, "550"):
            self.download(secure)
        secure.close()
        with self.assertRaises(ftplib.error_perm):
            wrong = ftplib.FTP_TLS(context=self.service.tls, timeout=10)
            wrong.connect(self.host, int(self.port))
            wrong.login(self.alice.ftp_user, "not the password")

    def test_download_is_announced_and_closed(self):
        opened = self.alice.ops("open_file_download", file_id=self.file_id, is_pro="0")
        self.assertEqual(
            (self.location, str(SIZE)), (opened.field("Location"), opened.field("Size"))
        )
        self.alice.ops("close_file_download", file_id=self.file_id, is_pro="0")
        record = self.alice.ops("list_dir", dir_id="0").records("File")[0]
        self.assertGreater(int(record.field("DateAccessed")), 0)
        self.alice.ops("move_file_to_trash", file_id=self.file_id)
        self.assertEqual(2, self.alice.fails("open_file_download", file_id=self.file_id).type)

    def test_cut_download_resumes_with_rest(self):
        self.service.control("arm_transfer", direction="download", kind="cut", after=100_000)
        with self.alice.ftp() as ftp:
            received = bytearray()
            with self.assertRaisesRegex(ftplib.error_temp, "426"):
                ftp.retrbinary(f"RETR {self.location}", received.extend)
            self.assertEqual(100_000, len(received))
            rest = self.download(ftp, rest=len(received))
        self.assertEqual(self.content, bytes(received) + rest)
        commands = [
            (c["command"], c["argument"]) for c in self.service.control("transfer_log")["commands"]
        ]
        self.assertIn(("REST", "100000"), commands)
        self.assertEqual(1, self.service.control("faults")["faults"][0]["fired"])

    def test_tls_before_the_transfer_command_as_libcurl_opens_it(self):
        with self.alice.ftp() as ftp:
            ftp.voidcmd("TYPE I")
            host, port = ftplib.parse227(ftp.sendcmd("PASV"))
            raw = socket.create_connection((host, port), timeout=10)
            data = ftp.context.wrap_socket(raw, server_hostname=host, session=ftp.sock.session)
            ftp.putcmd(f"RETR {self.location}")
            self.assertTrue(ftp.getresp().startswith("125"))
            received = bytearray()
            while chunk := data.recv(65536):
                received += chunk
            data.close()
            self.assertTrue(ftp.voidresp().startswith("226"))
        self.assertEqual(self.content, bytes(received))

    def passive_data(self, ftp):
        ftp.voidcmd("TYPE I")
        host, port = ftplib.parse227(ftp.sendcmd("PASV"))
        return socket.create_connection((host, port), timeout=10)

    def test_a_transfer_command_waits_for_the_data_handshake_the_client_began(self):
        """libcurl's order: TLS on the data connection, the command, its
        reply, the data. The server's last handshake messages must reach the
        client before the reply, or a client that closes right after its data
        finds them unread and resets the connection."""
        file_id, temp = self.start_upload()
        payload = os.urandom(SIZE)
        with self.alice.ftp() as ftp:
            raw = self.passive_data(ftp)
            incoming, outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
            tls = ftp.context.wrap_bio(incoming, outgoing, server_hostname="127.0.0.1")
            while True:
                try:
                    tls.do_handshake()
                    break
                except ssl.SSLWantReadError:
                    raw.sendall(outgoing.read())
                    incoming.write(raw.recv(65536))
            finished = outgoing.read()  # the client's end of the handshake, held back
            ftp.putcmd(f"STOR {temp}")
            self.assertEqual([], select.select([ftp.sock], [], [], 0.5)[0], "replied too early")
            raw.sendall(finished)
            self.assertTrue(ftp.getresp().startswith("125"))
            # The server's handshake messages came first: they are already here.
            self.assertEqual([raw], select.select([raw], [], [], 0)[0])
            incoming.write(raw.recv(65536))
            with self.assertRaises(ssl.SSLWantReadError):
                tls.read()
            tls.write(payload)
            with self.assertRaises(ssl.SSLWantReadError):
                tls.unwrap()
            raw.sendall(outgoing.read())
            raw.close()
            self.assertTrue(ftp.voidresp().startswith("226"))
        self.assertEqual(SIZE, self.service.control("file", temp_location=temp)["size"])

    def test_a_command_sent_before_its_data_connection_is_answered_anyway(self):
        payload = os.urandom(1000)
        file_id, temp = self.start_upload(size=len(payload))
        with self.alice.ftp() as ftp:
            ftp.voidcmd("TYPE I")
            host, port = ftplib.parse227(ftp.sendcmd("PASV"))
            ftp.putcmd(f"STOR {temp}")
            self.assertTrue(ftp.getresp().startswith("150"))
            raw = socket.create_connection((host, port), timeout=10)
            with ftp.context.wrap_socket(raw, server_hostname=host) as data:
                data.sendall(payload)
                data.unwrap()
            self.assertTrue(ftp.voidresp().startswith("226"))
        self.close_upload(file_id, temp, len(payload))
        self.assertEqual(payload, self.service.content(file_id))

    def test_an_upload_whose_data_connection_breaks_off_is_aborted_not_complete(self):
        payload = os.urandom(50_000)
        for reset in (False, True):
            with self.subTest(reset=reset):
                file_id, temp = self.start_upload(name=f"up-{reset}.bin")
                with self.alice.ftp() as ftp:
                    raw = self.passive_data(ftp)
                    data = ftp.context.wrap_socket(
                        raw, server_hostname="127.0.0.1", session=ftp.sock.session
                    )
                    ftp.putcmd(f"STOR {temp}")
                    self.assertTrue(ftp.getresp().startswith("125"))
                    data.sendall(payload)
                    # Nothing unread is left behind, so only the missing TLS
                    # shutdown (or the reset) tells the end apart.
                    data.setblocking(False)
                    with self.assertRaises(ssl.SSLWantReadError):
                        data.recv(1)
                    if reset:
                        data.setsockopt(
                            socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0)
                        )
                    data.close()
                    with self.assertRaisesRegex(ftplib.error_temp, "426"):
                        ftp.voidresp()
                # What arrived is kept for a resumed upload, and not committed.
                self.assertLessEqual(
                    self.service.control("file", temp_location=temp)["size"], len(payload)
                )
                self.assertEqual(7, self.close_upload(file_id, temp, SIZE, True).type)

    def test_upload_appends_resumes_and_commits_only_the_announced_size(self):
        file_id, temp = self.start_upload()
        payload = os.urandom(SIZE)
        with self.alice.ftp() as ftp:
            ftp.storbinary(f"STOR {temp}", io.BytesIO(payload[:1000]))
            ftp.storbinary(f"APPE {temp}", io.BytesIO(payload[1000:5000]))
            self.assertEqual(5000, ftp.size(temp))
            failure = self.close_upload(file_id, temp, SIZE, expect_failure=True)
            self.assertEqual(7, failure.type)
            self.assertEqual(b"", self.service.content(file_id))  # nothing committed
            ftp.storbinary(f"STOR {temp}", io.BytesIO(payload[1000:3000]), rest=1000)
            self.assertEqual(3000, ftp.size(temp))
            ftp.storbinary(f"STOR {temp}", io.BytesIO(payload[3000:]), rest=3000)
        record = self.close_upload(file_id, temp, SIZE).records("File")[0]
        self.assertEqual((str(SIZE), "1000"), (record.field("Size"), record.field("DateModified")))
        self.assertEqual(payload, self.service.content(file_id))
        # A close sent again after its reply was lost succeeds again and changes nothing.
        self.close_upload(file_id, temp, SIZE)
        self.assertEqual(4, self.close_upload(file_id, temp, 10, expect_failure=True).type)

    def test_a_wait_for_files_ends_when_the_last_upload_commits(self):
        uploads = [self.start_upload(f"w{index}.bin", 10) for index in range(3)]
        with self.alice.ftp() as ftp:
            for file_id, temp in uploads:
                ftp.storbinary(f"STOR {temp}", io.BytesIO(b"0123456789"))
        answers = []

        def wait():
            answers.append(
                self.service.control(
                    "wait_files", user="alice", path="/", count=3, size=10, seconds=20
                )
            )

        waiter = threading.Thread(target=wait)
        started = time.monotonic()
        waiter.start()
        for file_id, temp in uploads:
            self.assertTrue(waiter.is_alive(), "the wait ended before the files were there")
            self.close_upload(file_id, temp, 10)
        waiter.join(20)
        self.assertEqual([{"count": 3}], answers)
        self.assertLess(time.monotonic() - started, 10)
        # The file of another size is not counted, and a wait for more files
        # than arrive gives up in time with what is there.
        short = self.service.control(
            "wait_files", user="alice", path="/", count=4, size=10, seconds=0.2
        )
        self.assertEqual({"count": 3}, short)

    def test_uploads_only_go_to_handed_out_locations(self):
        with self.alice.ftp() as ftp:
            for path in ("/uploads/made-up", f"/files/{self.file_id}", "/elsewhere"):
                with self.assertRaisesRegex(ftplib.error_perm, "550"):
                    ftp.storbinary(f"STOR {path}", io.BytesIO(b"x"))
        self.assertEqual(self.content, self.service.content(self.file_id))

    def test_cut_upload_keeps_the_bytes_before_the_cut(self):
        file_id, temp = self.start_upload()
        self.service.control("arm_transfer", direction="upload", kind="cut", after=70_000)
        payload = os.urandom(SIZE)
        ftp = self.alice.ftp()
        try:
            with self.assertRaises((ftplib.error_temp, OSError)):
                ftp.storbinary(f"STOR {temp}", io.BytesIO(payload))
        finally:
            ftp.close()
        self.assertEqual(70_000, self.service.control("file", temp_location=temp)["size"])

    def test_refused_then_stalled_download(self):
        self.service.control("arm_transfer", direction="download", kind="refuse")
        self.service.control(
            "arm_transfer", direction="download", kind="stall", after=1000, seconds=0.4
        )
        with self.alice.ftp() as ftp:
            with self.assertRaisesRegex(ftplib.error_perm, "550"):
                self.download(ftp)
            started = time.monotonic()
            self.assertEqual(self.content, self.download(ftp))
            self.assertGreaterEqual(time.monotonic() - started, 0.4)


@unittest.skipUnless(shutil.which("curl"), "the curl command line is not installed")
class CurlTest(ServiceTest):
    """libcurl opens data connections and resumes uploads its own way."""

    def curl(self, *args):
        session = self.alice
        command = [
            "curl",
            "-sS",
            "--ssl-reqd",
            "--cacert",
            self.service.ca_file,
            "--max-time",
            "20",
            "-u",
            f"{session.ftp_user}:{session.ftp_password}",
            *args,
        ]
        completed = subprocess.run(command, capture_output=True, timeout=30)
        self.assertEqual(0, completed.returncode, completed.stderr.decode())

    def test_download_upload_and_resume_with_curl(self):
        added = self.add_file(self.alice_id, "src.bin", size=SIZE, seed=9)
        content = self.service.content(added["file_id"])
        created = self.alice.ops(
            "create_and_open_file",
            dir_id="0",
            dir_access="0",
            name="dst.bin",
            size=str(SIZE),
            is_pro="0",
        )
        file_id, temp = created.records("File")[0].field("ID"), created.field("TempLocation")
        with tempfile.TemporaryDirectory() as folder:
            whole, part, tail = (os.path.join(folder, n) for n in ("whole", "part", "tail"))
            self.curl(f"{self.alice.ftp_host}{added['location']}", "-o", whole)
            self.curl("-C", "123456", f"{self.alice.ftp_host}{added['location']}", "-o", tail)
            with open(part, "wb") as out:
                out.write(content[:100_000])
            self.curl("-T", part, f"{self.alice.ftp_host}{temp}")
            self.curl("-C", "-", "-T", whole, f"{self.alice.ftp_host}{temp}")
            with open(whole, "rb") as got, open(tail, "rb") as got_tail:
                self.assertEqual((content, content[123456:]), (got.read(), got_tail.read()))
        self.alice.ops(
            "close_file_upload",
            file_id=file_id,
            temp_location=temp,
            file_time="-1",
            file_size=str(SIZE),
            is_pro="0",
        )
        self.assertEqual(content, self.service.content(file_id))
        commands = [c["command"] for c in self.service.control("transfer_log")["commands"]]
        self.assertIn("APPE", commands)


if __name__ == "__main__":
    unittest.main()
