"""The service as a process: start time, clean stop, instances side by side,
and the demo that a person starts."""

import os
import signal
import socket
import subprocess
import tempfile
import time
import unittest

from harness import PYTHON, SERVER, START_DEADLINE, Service, ServiceProcess, login, wait_for


def free_ports(count):
    """Ports no one listens on now."""
    sockets = [socket.socket() for _ in range(count)]
    try:
        for taken in sockets:
            taken.bind(("127.0.0.1", 0))
        return [taken.getsockname()[1] for taken in sockets]
    finally:
        for taken in sockets:
            taken.close()


class ProcessTest(unittest.TestCase):
    def test_two_instances_start_quickly_side_by_side_and_stop_cleanly(self):
        first, second = ServiceProcess(), ServiceProcess()
        try:
            # Wall time depends on what else runs; the work of starting hardly
            # does. On a machine loaded with other suites (shared caches and
            # cores) a whole second was seen, so the bound leaves room for
            # that and still catches a start that does real work.
            for service in (first, second):
                self.assertLess(service.start_cpu_seconds, 2.0)
            self.assertEqual(
                4, len({first.https_port, first.ftp_port, second.https_port, second.ftp_port})
            )
            first.control("add_user", name="solo", password="pw")
            login(first, "solo", "pw")
            with self.assertRaises(AssertionError):
                login(second, "solo", "pw")
            first.process.send_signal(signal.SIGTERM)
            self.assertEqual(0, first.process.wait(5))
            self.assertFalse(os.path.exists(first.port_file))
            second.control("state")  # unaffected by the first one's end
        finally:
            first.stop()
            second.stop()

    def test_a_kept_store_outlives_the_service_on_the_same_ports(self):
        with tempfile.TemporaryDirectory() as storage:
            https_port, ftp_port = free_ports(2)
            options = ("--keep", "--https-port", str(https_port), "--ftp-port", str(ftp_port))
            first = ServiceProcess("--demo", *options, storage=storage)
            try:
                self.assertEqual((https_port, ftp_port), (first.https_port, first.ftp_port))
                first.control("put_file", user="demo", path="/Documents/new/plan.txt", content="v1")
                first.control("put_file", user="demo", path="/Documents/new/plan.txt", content="v2")
                first.control("remove_path", user="demo", path="/Pictures")
                listing = first.control("list_folder", user="demo", path="/Documents/new")
                modified = listing["items"][0]["date_modified"]
                with open(first.ca_file, "rb") as certificate:
                    first_certificate = certificate.read()
            finally:
                first.stop()

            again = ServiceProcess("--demo", *options, storage=storage)
            try:
                self.assertEqual((https_port, ftp_port), (again.https_port, again.ftp_port))
                with open(again.ca_file, "rb") as certificate:
                    self.assertEqual(first_certificate, certificate.read())
                listing = again.control("list_folder", user="demo", path="/Documents/new")
                plan = {"name": "plan.txt", "is_folder": False, "size": 2}
                self.assertEqual([dict(plan, date_modified=modified)], listing["items"])
                file_id = again.control(
                    "put_file", user="demo", path="/Documents/new/plan.txt", content="v3"
                )["file_id"]
                self.assertEqual(b"v3", again.content(file_id))
                # Seeded once: the demo account's folders are as the first run left them.
                names = [i["name"] for i in again.control("list_folder", user="demo")["items"]]
                self.assertEqual(["Documents", "todo.txt"], names)
                # The demo account's level, as its drive sheet shows it.
                self.assertEqual("Premium", login(again, "demo", "demo").level)
            finally:
                again.stop()

    def test_paths_of_the_control_verbs_are_checked(self):
        service = ServiceProcess()
        try:
            service.control("add_user", name="solo", password="pw")
            service.control("put_file", user="solo", path="/a.txt", content="x")
            for verb, args in (
                ("put_file", {"user": "nobody", "path": "/a.txt", "content": "x"}),
                ("put_file", {"user": "solo", "path": "/a.txt/b.txt", "content": "x"}),
                ("put_file", {"user": "solo", "path": "/", "content": "x"}),
                ("remove_path", {"user": "solo", "path": "/missing.txt"}),
                ("list_folder", {"user": "solo", "path": "/a.txt"}),
                ("list_trash", {"user": "nobody"}),
            ):
                with self.assertRaises(AssertionError, msg=f"{verb} {args}"):
                    service.control(verb, **args)
            self.assertEqual([], service.control("list_trash", user="solo")["paths"])
            service.control("put_file", user="solo", path="/d/b.txt", content="x")
            service.control("remove_path", user="solo", path="/d/b.txt")
            service.control("remove_path", user="solo", path="/a.txt")
            self.assertEqual(["/a.txt", "/d/b.txt"], service.control("list_trash", user="solo")["paths"])
        finally:
            service.stop()

    def test_demo_prints_its_addresses_and_signs_in(self):
        with tempfile.TemporaryDirectory() as folder:
            port_file = os.path.join(folder, "ports.json")
            process = subprocess.Popen(
                [PYTHON, SERVER, "--demo", "--port-file", port_file],
                stdout=subprocess.PIPE,
                text=True,
            )
            try:
                wait_for(
                    lambda: os.path.exists(port_file), START_DEADLINE, "the demo's port file"
                )
                lines = []
                deadline = time.monotonic() + START_DEADLINE
                while (
                    not any(line.startswith("Stop it") for line in lines)
                    and time.monotonic() < deadline
                ):
                    lines.append(process.stdout.readline())
                output = "".join(lines)
                service = Service(port_file)
                self.assertIn(f"HTTPS {service.base_url}", output)
                self.assertIn(service.ftp_url, output)
                self.assertIn("demo login: demo / demo", output)
                demo = login(service, "demo", "demo")
                self.assertIn(
                    "Documents",
                    [
                        d.field("Name")
                        for d in demo.ops("list_dir", dir_id="0").records("Directory")
                    ],
                )
                self.assertEqual("True", demo.ops("has_share_folders").text)
            finally:
                process.send_signal(signal.SIGINT)
                self.assertEqual(0, process.wait(5))
                process.stdout.close()


if __name__ == "__main__":
    unittest.main()
