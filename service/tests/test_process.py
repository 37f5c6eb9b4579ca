"""The service as a process: start time, clean stop, instances side by side,
and the demo that a person starts."""

import os
import signal
import subprocess
import tempfile
import time
import unittest

from harness import PYTHON, SERVER, Service, ServiceProcess, login, wait_for


class ProcessTest(unittest.TestCase):
    def test_two_instances_start_quickly_side_by_side_and_stop_cleanly(self):
        first, second = ServiceProcess(), ServiceProcess()
        try:
            # Wall time depends on what else runs; the work of starting does not.
            # Under a second of processor time keeps the start well under two
            # seconds on an idle machine.
            for service in (first, second):
                self.assertLess(service.start_cpu_seconds, 1.0)
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

    def test_demo_prints_its_addresses_and_signs_in(self):
        with tempfile.TemporaryDirectory() as folder:
            port_file = os.path.join(folder, "ports.json")
            process = subprocess.Popen(
                [PYTHON, SERVER, "--demo", "--port-file", port_file],
                stdout=subprocess.PIPE,
                text=True,
            )
            try:
                wait_for(lambda: os.path.exists(port_file), 10, "the demo's port file")
                lines = []
                deadline = time.monotonic() + 10
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
