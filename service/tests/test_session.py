"""Login, restore_session, the session's own requests and the side scripts."""

import ftplib
import hashlib
import re
import unittest

from harness import (
    ServiceTest,
    decipher_data,
    failure_of,
    form_body,
    login,
    parse_reply,
)


class LoginTest(ServiceTest):
    def test_path_prefix_is_not_empty_and_scripts_live_under_it(self):
        status, headers, data = self.service.post("/cm_get_path.php", b"version=1.3.14.1")
        self.assertEqual(200, status)
        self.assertNotEqual("close", headers.get("Connection"))  # kept alive
        prefix = parse_reply(data).field("Path")
        self.assertTrue(prefix.startswith("/") and len(prefix) > 1)
        status, _, data = self.service.post("/cm_operations.php", b"action=list_dir")
        self.assertEqual(404, status)
        self.assertIsNotNone(failure_of(parse_reply(data)))

    def test_login_reply_fields_and_data_decipher_to_working_credentials(self):
        params = {
            "action": "login",
            "user": "alice",
            "pass": "secret",
            "version": "1.3.14.1",
            "pro_version": "",
            "pcid": "x",
            "user_id": "",
            "user_id_access": "",
            "user_lang": "",
            "user_level": "",
        }
        _, _, data = self.service.post(
            f"{self.service.prefix}/cm_operations.php", form_body(params)
        )
        tree = parse_reply(data)
        self.assertEqual(self.alice_id, tree.field("UserID"))
        self.assertEqual("", tree.field("UserAccessID"))
        self.assertEqual("alice", tree.field("UserName"))
        self.assertEqual("en", tree.field("UserLang"))
        self.assertEqual("0", tree.field("UploadSpeedLimit"))
        key = hashlib.md5(f"{self.alice_id}alicesecret".encode()).hexdigest()[:24]
        plain = decipher_data(tree.field("Data"), key)
        self.assertEqual(0, len(plain) % 8)
        self.assertTrue(plain.endswith(b"\0"))
        text = plain.rstrip(b"\0").decode("ascii")
        self.assertRegex(
            text, r"^<Host>ftp://127\.0\.0\.1:\d+</Host><User>\w+</User><Pass>\w+</Pass>$"
        )
        self.assertIn(f"<Host>{self.service.ftp_url}</Host>", text)
        # The deciphered credentials open the transfer server.
        ftp = self.alice.ftp()
        ftp.quit()

    def test_a_fixed_transfer_password_travels_in_the_code_page_and_opens_the_server(self):
        password = "p\u00e4ss\u20ac"
        self.service.control("add_user", name="carol", password="pw", transfer_password=password)
        params = {"action": "login", "user": "carol", "pass": "pw", "pcid": "x"}
        _, _, data = self.service.post(
            f"{self.service.prefix}/cm_operations.php", form_body(params)
        )
        tree = parse_reply(data)
        key = hashlib.md5(f"{tree.field('UserID')}carolpw".encode()).hexdigest()[:24]
        plain = decipher_data(tree.field("Data"), key).rstrip(b"\0")
        self.assertIn(b"<Pass>p\xe4ss\x80</Pass>", plain)
        user = re.search(rb"<User>(\w+)</User>", plain).group(1).decode("ascii")
        ftp = ftplib.FTP_TLS(context=self.service.tls, timeout=20)
        ftp.connect("127.0.0.1", self.service.ftp_port)
        ftp.login(user, password)
        ftp.quit()
        for refused in ("", "\u4e2d", "a\nb", "a<b", "a\\"):
            with self.assertRaises(AssertionError):
                self.service.control(
                    "add_user", name="dave", password="pw", transfer_password=refused
                )

    def test_wrong_password_and_unknown_user_are_refused(self):
        for user, password in (("alice", "wrong"), ("nobody", "secret"), ("alice", "")):
            with self.subTest(user=user, password=password):
                with self.assertRaisesRegex(AssertionError, "Login failed.*Invalid user name"):
                    login(self.service, user, password)

    def test_restore_session_uses_the_fixed_key_and_keeps_the_user(self):
        _, _, data = self.service.post(
            f"{self.service.prefix}/cm_operations.php",
            form_body({**self.alice.user_params(), "action": "restore_session"}),
        )
        tree = parse_reply(data)
        expected = {
            "UserID": self.alice_id,
            "UserAccessID": "",
            "UserName": "alice",
            "UserLang": "en",
            "UserLevel": "1",
        }
        self.assertEqual(expected, {name: tree.field(name) for name in expected})
        key = hashlib.md5(f"{self.alice_id}RS".encode()).hexdigest()[:24]
        self.assertIn(b"<Host>ftp://", decipher_data(tree.field("Data"), key))
        self.alice.user_id = "99999"
        self.assertEqual(8, self.alice.fails("restore_session").type)

    def test_access_account_logs_in_with_its_owner_and_its_own_id(self):
        access_id = self.service.control(
            "add_access", owner_id=self.alice_id, name="guest", password="pw"
        )["access_id"]
        guest = login(self.service, "guest", "pw")
        self.assertEqual(
            (self.alice_id, access_id, "guest"), (guest.user_id, guest.access_id, guest.name)
        )
        guest.access_id = "123"
        self.assertEqual(8, guest.fails("list_dir", dir_id="0").type)


class AccountRequestsTest(ServiceTest):
    def test_notifications_in_order(self):
        control = self.service.control
        control(
            "add_notification", user_id=self.alice_id, title="One", text="<b>first</b>", url="u1"
        )
        control("add_notification", user_id=self.alice_id, title="Two", text="second", url="u2")
        tree = self.alice.ops("get_user_notifications", version="1.3.14.1", pro_version="")
        notes = [
            (n.field("Title"), n.field("Text"), n.field("URL"))
            for n in tree.records("Notification")
        ]
        self.assertEqual([("One", "<b>first</b>", "u1"), ("Two", "second", "u2")], notes)

    def test_storage_figures_follow_the_stored_bytes(self):
        self.add_file(self.alice_id, "a.bin", size=1000)
        self.add_file(self.bob_id, "b.bin", size=500)
        tree = self.alice.ops("get_storage_info")
        capacity = int(tree.field("Capacity"))
        self.assertEqual(1000, int(tree.field("SpaceUsed")))
        self.assertEqual(capacity - 1000, int(tree.field("SpaceFree")))

    def test_pro_settings_are_kept_by_type_and_bad_values_refused(self):
        self.alice.ops(
            "set_pro_setting", setting_name="Interval", setting_value="30", setting_type="1"
        )
        self.alice.ops(
            "set_pro_setting", setting_name="Ratio", setting_value="1.5", setting_type="2"
        )
        self.alice.ops(
            "set_pro_setting", setting_name="Theme", setting_value="dark", setting_type="0"
        )
        self.alice.ops(
            "set_pro_setting", setting_name="Interval", setting_value="45", setting_type="1"
        )
        tree = self.alice.ops("get_pro_settings")
        settings = {
            s.field("Name"): (s.field("Value"), s.field("Type")) for s in tree.records("ProSetting")
        }
        self.assertEqual(
            {"Interval": ("45", "1"), "Ratio": ("1.5", "2"), "Theme": ("dark", "0")}, settings
        )
        self.assertEqual(
            4,
            self.alice.fails(
                "set_pro_setting", setting_name="Interval", setting_value="many", setting_type="1"
            ).type,
        )
        self.assertEqual(
            4,
            self.alice.fails(
                "set_pro_setting", setting_name="X", setting_value="1", setting_type="7"
            ).type,
        )


class ScriptsTest(ServiceTest):
    def test_thumbnail_is_jfif_and_failures_are_error_elements(self):
        file_id = self.add_file(self.alice_id, "photo.jpg", size=10)["file_id"]
        image = self.alice.call("cm_thumbnail.php", file_id=file_id, shared_user_id="")
        self.assertGreater(len(image), 10)
        self.assertEqual(b"JFIF", image[6:10])
        self.assertEqual(b"\xff\xd8", image[:2])
        self.assertEqual(b"\xff\xd9", image[-2:])
        other = self.add_file(self.bob_id, "theirs.jpg", size=10)["file_id"]
        for file_id in (other, "424242"):
            reply = self.alice.call("cm_thumbnail.php", file_id=file_id, shared_user_id="")
            self.assertNotEqual(b"JFIF", reply[6:10])
            self.assertEqual(2, failure_of(parse_reply(reply)).type)

    def test_sharing_email_goes_to_the_outbox(self):
        dir_id = self.add_folder(self.alice_id, "Trip")
        reply = self.alice.call(
            "cm_email.php", action="share_folder", dir_id=dir_id, email="carol@example.com"
        )
        self.assertIsNone(failure_of(parse_reply(reply)))
        emails = self.service.control("state")["emails"]
        self.assertEqual(
            [{"from": self.alice_id, "to": "carol@example.com", "dir_id": dir_id}], emails
        )

    def test_new_profile_creates_an_account_once(self):
        fields = {
            "action": "new_profile",
            "user_name": "carol",
            "passwd": "pw1",
            "verify_passwd": "pw1",
            "email": "carol@example.com",
            "first_name": "Carol",
            "last_name": "C",
        }
        path = f"{self.service.prefix}/cm_profile.php"
        tree = parse_reply(self.service.post(path, form_body(fields))[2])
        self.assertIsNone(failure_of(tree))
        self.assertEqual("carol", login(self.service, "carol", "pw1").name)
        cases = [
            ({}, 1),
            ({"user_name": "CAROL"}, 1),
            ({"user_name": "dave", "verify_passwd": "pw2"}, 4),
            ({"user_name": "erin", "passwd": "", "verify_passwd": ""}, 4),
        ]
        for change, kind in cases:
            with self.subTest(change=change):
                reply = self.service.post(path, form_body({**fields, "email": "", **change}))[2]
                self.assertEqual(kind, failure_of(parse_reply(reply)).type)


if __name__ == "__main__":
    unittest.main()
