"""The run script's demo and explore leave nothing behind, however they end.

Each case starts `./run demo` or `./run explore` on a pseudo-terminal with a
folder and ports of its own and the programs already built, waits until the
programs run, ends the command one way (Ctrl+C typed on the terminal, the
terminal hung up as a closing window does, a program of the command killed,
the tray program's /Uninstall) and then checks that no process of the command
is left and that both of the service's ports are free again.
"""

import os
import pty
import select
import signal
import socket
import sys
import tempfile
import threading
import time
import unittest
import uuid

TOP = os.environ["CALVIMORA_SOURCE_DIR"]
BIN = os.environ["CALVIMORA_BIN_DIR"]
START_DEADLINE = 60
END_DEADLINE = 20


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def port_is_free(port):
    with socket.socket() as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            s.bind(("127.0.0.1", port))
        except OSError:
            return False
        return True


def processes_tagged(tag):
    """Processes whose environment carries the test's tag, by pid, with their program names."""
    found = {}
    wanted = ("CALVIMORA_TEST_TAG=" + tag).encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as f:
                if wanted not in f.read().split(b"\0"):
                    continue
            with open(f"/proc/{entry}/comm") as f:
                found[int(entry)] = f.read().strip()
        except OSError:
            continue
    return found


def wait_for(condition, deadline, what):
    end = time.monotonic() + deadline
    while time.monotonic() < end:
        if condition():
            return
        time.sleep(0.1)
    raise AssertionError("timed out waiting for " + what)


class RunCommand:
    """One run of the script on a pseudo-terminal, its output drained as it comes."""

    def __init__(self, command, folder):
        self.tag = uuid.uuid4().hex
        self.https_port = free_port()
        self.ftp_port = free_port()
        self.env = dict(os.environ)
        self.env.update(
            CALVIMORA_TEST_TAG=self.tag,
            CALVIMORA_RUN_BIN=BIN,
            CALVIMORA_DEMO_DIR=os.path.join(folder, "demo"),
            CALVIMORA_DEMO_HTTPS_PORT=str(self.https_port),
            CALVIMORA_DEMO_FTP_PORT=str(self.ftp_port),
            CALVIMORA_ANSWERS="terminal",
        )
        self.output = b""
        self.lock = threading.Lock()
        self.pid, self.master = pty.fork()
        if self.pid == 0:
            os.chdir(TOP)
            os.execve("/bin/bash", ["bash", "./run", command], self.env)
        self.reader = threading.Thread(target=self._drain, daemon=True)
        self.reader.start()

    def _drain(self):
        while True:
            try:
                ready, _, _ = select.select([self.master], [], [], 0.2)
                if not ready:
                    continue
                data = os.read(self.master, 4096)
            except OSError:
                return
            if not data:
                return
            with self.lock:
                self.output += data

    def text(self):
        with self.lock:
            return self.output.decode(errors="replace")

    def running(self, program):
        return [pid for pid, name in processes_tagged(self.tag).items() if name == program]

    def type(self, data):
        os.write(self.master, data)

    def hang_up(self):
        # A closing terminal window: the terminal goes away and the shell
        # that ran the command sends its job the hang-up.
        os.close(self.master)
        try:
            os.killpg(self.pid, signal.SIGHUP)
        except ProcessLookupError:
            pass

    def uninstall_tray(self):
        env = dict(self.env)
        env["CALVIMORA_MACHINE_ROOT"] = self.machine_root
        os.spawnve(os.P_WAIT, os.path.join(BIN, "Calvimora_Tray"),
                   ["Calvimora_Tray", "/Uninstall"], env)

    def wait_end(self):
        end = time.monotonic() + END_DEADLINE
        while time.monotonic() < end:
            done, _ = os.waitpid(self.pid, os.WNOHANG)
            if done:
                return
            time.sleep(0.1)
        os.killpg(self.pid, signal.SIGKILL)
        raise AssertionError("the command did not end; its output:\n" + self.text())

    def kill_all(self):
        for pid in processes_tagged(self.tag):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass


class RunScriptEnds(unittest.TestCase):
    def start(self, command):
        folder = tempfile.mkdtemp(prefix="run_ends_")
        run = RunCommand(command, folder)
        self.addCleanup(run.kill_all)
        if command == "demo":
            run.machine_root = os.path.join(folder, "demo", "machine")
            wait_for(lambda: run.running("Calvimora_Sessi") and run.running("Calvimora_Tray"),
                     START_DEADLINE, "the demo's tray and session handler")
        else:
            run.machine_root = os.path.join(folder, "demo", "explore")
            wait_for(lambda: "login" in run.text() and run.running("Calvimora_Tray"),
                     START_DEADLINE, "the browser's login dialog")
        self.assertFalse(port_is_free(run.https_port), "the service listens while the command runs")
        return run

    def assert_nothing_left(self, run):
        wait_for(lambda: not processes_tagged(run.tag), END_DEADLINE,
                 "the command's processes to end: %s" % processes_tagged(run.tag))
        self.assertTrue(port_is_free(run.https_port), "the HTTPS port is still taken")
        self.assertTrue(port_is_free(run.ftp_port), "the FTPS port is still taken")

    def end_each_way(self, command, child, last_way):
        ways = {
            "ctrl_c": lambda run: run.type(b"\x03"),
            "hang_up": lambda run: run.hang_up(),
            # A kill of the command alone, as a process manager ends it.
            "terminated": lambda run: os.kill(run.pid, signal.SIGTERM),
            "child_killed": lambda run: os.kill(run.running(child)[0], signal.SIGKILL),
        }
        ways.update(last_way)
        for way, end in ways.items():
            with self.subTest(command=command, way=way):
                run = self.start(command)
                end(run)
                run.wait_end()
                self.assert_nothing_left(run)

    @staticmethod
    def log_in_and_quit(run):
        # The browser's own end: it tells the tray program to end as
        # /Uninstall does.
        for line in (b"1", b"demo", b"2", b"demo", b"5"):
            run.type(line + b"\n")
            time.sleep(0.2)
        wait_for(lambda: run.text().rstrip().endswith(">"), START_DEADLINE, "the browser's prompt")
        run.type(b"quit\n")

    def test_demo_leaves_nothing_behind(self):
        self.end_each_way("demo", "Calvimora_Tray",
                          {"tray_uninstall": lambda run: run.uninstall_tray()})

    def test_explore_leaves_nothing_behind(self):
        self.end_each_way("explore", "calvimora_explo", {"quit": self.log_in_and_quit})


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
