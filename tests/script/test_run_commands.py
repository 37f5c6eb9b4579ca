"""The run script's answers to a newcomer: without a command it lists the
commands and starts nothing, and `remote` after the demo's service was
killed says that the service does not run and takes away the port file the
service left, instead of failing on the dead port."""

import json
import os
import subprocess
import tempfile
import unittest

TOP = os.environ["CALVIMORA_SOURCE_DIR"]


def run(*arguments, demo_dir):
    env = dict(os.environ)
    env["CALVIMORA_DEMO_DIR"] = demo_dir
    return subprocess.run(
        ["bash", os.path.join(TOP, "run"), *arguments],
        env=env,
        stdin=subprocess.DEVNULL,
        capture_output=True,
        text=True,
        timeout=60,
    )


class RunCommands(unittest.TestCase):
    def setUp(self):
        self.demo_dir = tempfile.mkdtemp(prefix="run_commands_")

    def test_without_a_command_it_lists_the_commands_and_starts_nothing(self):
        done = run(demo_dir=self.demo_dir)
        self.assertEqual(2, done.returncode)
        for command in ("./run test", "./run demo", "./run explore", "./run bench"):
            self.assertIn(command, done.stderr)
        self.assertNotIn("building", done.stdout + done.stderr)
        self.assertEqual([], os.listdir(self.demo_dir))
        asked = run("help", demo_dir=self.demo_dir)
        self.assertEqual(0, asked.returncode)
        self.assertIn("./run test", asked.stdout)

    def test_remote_after_a_killed_service_says_so_and_removes_its_port_file(self):
        # The number of a process that has ended, as a killed service leaves it.
        ended = subprocess.Popen(["true"])
        ended.wait()
        ports = os.path.join(self.demo_dir, "service", "ports.json")
        os.makedirs(os.path.dirname(ports))
        with open(ports, "w", encoding="utf-8") as out:
            json.dump({"pid": ended.pid, "https_port": 9, "ca_file": "/nowhere"}, out)
        for attempt in ("with the port file", "without it"):
            with self.subTest(attempt):
                done = run("remote", "ls", demo_dir=self.demo_dir)
                self.assertEqual(1, done.returncode)
                self.assertIn("the demo's service does not run", done.stderr)
                self.assertNotIn("Traceback", done.stderr)
                self.assertFalse(os.path.exists(ports))


if __name__ == "__main__":
    unittest.main()
