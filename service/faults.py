"""Faults that tests arm, to be played on the next matching requests or transfers.

A request fault matches a target: an action of "/cm_operations.php" (for
example "list_dir"), a script name ("cm_thumbnail.php", "cm_email.php",
"cm_profile.php", "cm_get_path.php") or "*". A transfer fault matches a
direction ("download", "upload" or "*") and, when given, a part of the path.
Each fault lets `skip` matches pass, then fires `count` times (None: always).

Request kinds: "drop" breaks the answer off after its headers, before the
request's work; "drop_after" does the same once the work is done; "close"
closes the connection as the request arrives, without any answer, as a server
does whose keep-alive time ran out at that moment; "delay", "garbage", "html",
"error" and "refuse" answer late, with bytes that are no reply, with an error
page, with an Error record, or with a refused login.
"""

import threading
from dataclasses import dataclass, field

REQUEST_KINDS = {"drop", "drop_after", "close", "delay", "garbage", "html", "error", "refuse"}
TRANSFER_KINDS = {"cut", "stall", "refuse"}


@dataclass
class Fault:
    id: int
    scope: str
    target: str
    kind: str
    count: int | None
    skip: int
    options: dict = field(default_factory=dict)
    fired: int = 0

    def describe(self):
        return {
            "id": self.id,
            "scope": self.scope,
            "target": self.target,
            "kind": self.kind,
            "count": self.count,
            "skip": self.skip,
            "fired": self.fired,
            **self.options,
        }


class Faults:
    def __init__(self):
        self._lock = threading.Lock()
        self._armed = []
        self._next_id = 1

    def arm(self, scope, target, kind, count=1, skip=0, **options):
        kinds = REQUEST_KINDS if scope == "request" else TRANSFER_KINDS
        if kind not in kinds:
            raise ValueError(f"unknown {scope} fault kind '{kind}'")
        if count is not None and count < 1:
            raise ValueError("count must be at least 1, or null for always")
        with self._lock:
            fault = Fault(self._next_id, scope, target, kind, count, max(skip, 0), options)
            self._next_id += 1
            self._armed.append(fault)
            return fault.id

    def take(self, scope, target, path=""):
        """The fault to play for this request or transfer, if any."""
        with self._lock:
            for fault in self._armed:
                if fault.scope != scope or fault.count == 0:
                    continue
                if fault.target not in ("*", target):
                    continue
                if path and fault.options.get("path", "") not in path:
                    continue
                if fault.skip > 0:
                    fault.skip -= 1
                    return None
                if fault.count is not None:
                    fault.count -= 1
                fault.fired += 1
                return fault
            return None

    def clear(self):
        with self._lock:
            self._armed = []

    def describe(self):
        with self._lock:
            return [f.describe() for f in self._armed]
