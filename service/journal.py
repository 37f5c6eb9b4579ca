"""The log of HTTPS requests and transfer-server commands that tests read."""

import threading


class Journal:
    def __init__(self):
        self._lock = threading.Lock()
        self._requests = []
        self._commands = []

    def add_request(self, entry):
        with self._lock:
            entry["seq"] = len(self._requests) + 1
            self._requests.append(entry)

    def add_command(self, entry):
        with self._lock:
            entry["seq"] = len(self._commands) + 1
            self._commands.append(entry)

    def requests(self, clear=False):
        with self._lock:
            taken = list(self._requests)
            if clear:
                self._requests = []
            return taken

    def commands(self, clear=False):
        with self._lock:
            taken = list(self._commands)
            if clear:
                self._commands = []
            return taken

    def reset(self):
        with self._lock:
            self._requests = []
            self._commands = []
