"""Faults armed on requests, the request log, and the control endpoint itself."""

import http.client
import json
import time
import unittest

from harness import ServiceTest, failure_of, form_body, login, parse_reply


class RequestFaultTest(ServiceTest):
    def list_root(self):
        body = form_body({**self.alice.user_params(), "action": "list_dir", "dir_id": "0"})
        return self.service.post(f"{self.service.prefix}/cm_operations.php", body)

    def arm(self, **fault):
        return self.service.control("arm", **fault)["fault_id"]

    def test_drop_before_and_after_the_work(self):
        self.arm(target="list_dir", kind="drop")
        with self.assertRaises((http.client.HTTPException, OSError)):
            self.list_root()
        self.arm(target="create_dir", kind="drop_after")
        with self.assertRaises((http.client.HTTPException, OSError)):
            self.alice.ops("create_dir", dir_id="0", dir_access="0", name="Made")
        self.assertEqual(["Made"], self.names(self.alice.ops("list_dir", dir_id="0")))

    def test_replies_that_are_not_the_service_s(self):
        self.arm(target="list_dir", kind="garbage", body="no tags here")
        status, _, body = self.list_root()
        self.assertEqual((200, b"no tags here"), (status, body))
        self.arm(target="list_dir", kind="html", status=503)
        status, headers, body = self.list_root()
        self.assertEqual((503, "text/html"), (status, headers["Content-Type"]))
        self.assertIn(b"<html>", body)
        self.arm(target="list_dir", kind="error", type=1, name="Taken", description="Name <taken>")
        failure = failure_of(parse_reply(self.list_root()[2]))
        self.assertEqual(
            (1, "Taken", "Name <taken>"), (failure.type, failure.name, failure.description)
        )

    def test_delay_then_normal_answer(self):
        self.arm(target="*", kind="delay", seconds=0.3)
        started = time.monotonic()
        status, _, body = self.list_root()
        self.assertGreaterEqual(time.monotonic() - started, 0.3)
        self.assertIsNone(failure_of(parse_reply(body)))

    def test_refused_login_then_accepted(self):
        self.arm(target="login", kind="refuse")
        with self.assertRaisesRegex(AssertionError, "Login failed"):
            login(self.service, "alice", "secret")
        self.assertEqual(self.alice_id, login(self.service, "alice", "secret").user_id)

    def test_skip_and_count(self):
        self.arm(target="list_dir", kind="error", skip=1, count=2)
        outcomes = [failure_of(parse_reply(self.list_root()[2])) is None for _ in range(4)]
        self.assertEqual([True, False, False, True], outcomes)
        fault = self.service.control("faults")["faults"][0]
        self.assertEqual((2, 0), (fault["fired"], fault["count"]))
        self.arm(target="get_storage_info", kind="error", count=None)
        for _ in range(3):
            self.alice.fails("get_storage_info")
        self.service.control("disarm")
        self.alice.ops("get_storage_info")


class RequestLogTest(ServiceTest):
    def test_log_keeps_raw_bodies_and_parameters_in_order(self):
        self.service.control("requests", clear=True)
        self.alice.ops(
            "set_pro_setting", setting_name="A=B", setting_value="x & y + 1", setting_type="0"
        )
        self.alice.call("cm_thumbnail.php", file_id="1", shared_user_id="")
        entries = self.service.control("requests")["requests"]
        self.assertEqual(["set_pro_setting", "cm_thumbnail.php"], [e["action"] for e in entries])
        first = entries[0]
        self.assertEqual(f"{self.service.prefix}/cm_operations.php", first["path"])
        self.assertEqual("A=B", first["params"]["setting_name"])
        self.assertEqual("x & y + 1", first["params"]["setting_value"])
        self.assertIn("setting_value=x %26 y %2B 1", first["body"])
        self.assertTrue(first["body"].startswith("action=set_pro_setting&setting_name=A=B&"))


class ControlTest(ServiceTest):
    def test_bad_calls_are_refused_with_a_reason(self):
        for verb, body in (
            ("no_such_verb", "{}"),
            ("add_user", "{}"),
            ("add_user", "[1]"),
            ("add_folder", json.dumps({"owner_id": "1", "name": "x"})),
            ("arm", json.dumps({"target": "*", "kind": "explode"})),
        ):
            with self.subTest(verb=verb):
                status, _, answer = self.service.post(f"/_control/{verb}", body, "application/json")
                self.assertEqual(400, status)
                self.assertTrue(json.loads(answer)["error"])

    def test_file_reports_size_hash_and_record(self):
        added = self.add_file(self.alice_id, "a.txt", content="hello")
        info = self.service.control("file", file_id=added["file_id"])
        self.assertEqual(
            (5, "5d41402abc4b2a76b9719d911017c592", "/a.txt"),
            (info["size"], info["md5"], info["path"]),
        )
        self.assertEqual(b"hello", self.service.content(added["file_id"]))


if __name__ == "__main__":
    unittest.main()
