"""Folders shared between users, and access accounts with the folders opened to them."""

import io
import unittest

from harness import ServiceTest, login


class SharingTest(ServiceTest):
    def setUp(self):
        super().setUp()
        self.bob = login(self.service, "bob", "hunter2")
        self.shared = self.add_folder(self.alice_id, "Holiday")
        self.inner = self.add_folder(self.alice_id, "Day 1", parent=self.shared)
        self.photo = self.add_file(self.alice_id, "p.jpg", self.inner, size=300)["file_id"]

    def keys(self):
        return {"share_user_id": self.alice_id, "share_id": self.shared}

    def test_sharing_shows_up_for_both_users(self):
        self.assertEqual("False", self.bob.ops("has_share_folders").text)
        self.assertEqual("", self.bob.ops("get_userid_by_name", name="alice").field("UserAccessID"))
        self.assertEqual(
            self.bob_id, self.alice.ops("get_userid_by_name", name="BOB").field("UserID")
        )
        self.assertEqual(
            self.bob_id,
            self.alice.ops("get_userid_by_email", email="bob@example.com").field("UserID"),
        )
        self.assertEqual(2, self.alice.fails("get_userid_by_name", name="nobody").type)
        self.alice.ops(
            "share_folder", sharewithuser_id=self.bob_id, dir_id=self.shared, sharemode="0"
        )
        self.assertEqual(
            1,
            self.alice.fails(
                "share_folder", sharewithuser_id=self.bob_id, dir_id=self.shared, sharemode="0"
            ).type,
        )
        self.assertEqual("True", self.bob.ops("has_share_folders").text)
        users = self.bob.ops("list_shared_users").records("UserSharedFolder")
        self.assertEqual(
            [(self.alice_id, "alice")], [(u.field("UserID"), u.field("Name")) for u in users]
        )
        tops = self.bob.ops("list_shared_directories", share_user_id=self.alice_id).records(
            "SharedDirectory"
        )
        self.assertEqual(
            [(self.shared, "Holiday")], [(d.field("ID"), d.field("Name")) for d in tops]
        )
        entries = self.alice.ops("list_share_whith_users", dir_id=self.shared).records(
            "ShareWithUser"
        )
        self.assertEqual(
            [(self.bob_id, "bob", "0")],
            [(e.field("ShareWithUserID"), e.field("Name"), e.field("ShareMode")) for e in entries],
        )
        self.assertEqual(
            "True", self.alice.ops("list_dir", dir_id="0").records("Directory")[0].field("Shared")
        )
        share_id = entries[0].field("ID")
        self.alice.ops("change_folder_share_mode", sharedfolder_id=share_id, sharemode="1")
        self.assertEqual(
            3,
            self.bob.fails(
                "change_folder_share_mode", sharedfolder_id=share_id, sharemode="0"
            ).type,
        )
        self.alice.ops("delete_sharing_with_user", sharedfolder_id=share_id)
        self.assertEqual("False", self.bob.ops("has_share_folders").text)

    def test_listing_flags_the_users_the_owner_may_change(self):
        carol_id = self.service.control("add_user", name="carol", password="x")["user_id"]
        self.service.control(
            "add_share", owner_id=self.alice_id, dir_id=self.shared, user_id=self.bob_id, mode=1
        )
        kept = self.service.control(
            "add_share",
            owner_id=self.alice_id,
            dir_id=self.shared,
            user_id=carol_id,
            mode=0,
            fixed=True,
        )["share_id"]

        def flags(client, **keys):
            entries = client.ops("list_share_whith_users", dir_id=self.shared, **keys)
            return [(e.field("Name"), e.field("Flags")) for e in entries.records("ShareWithUser")]

        self.assertEqual([("bob", "1"), ("carol", "0")], flags(self.alice))
        # A user the folder is shared with sees the list but changes nothing.
        self.assertEqual([("bob", "0"), ("carol", "0")], flags(self.bob, **self.keys()))
        # The service keeps a fixed share as it is.
        for action, extra in (("change_folder_share_mode", {"sharemode": "1"}),
                              ("delete_sharing_with_user", {})):
            self.assertEqual(3, self.alice.fails(action, sharedfolder_id=kept, **extra).type)
        self.assertEqual(2, len(flags(self.alice)))

    def test_view_share_lists_and_reads_but_refuses_changes(self):
        self.service.control(
            "add_share", owner_id=self.alice_id, dir_id=self.shared, user_id=self.bob_id, mode=0
        )
        listing = self.bob.ops("list_dir", dir_id=self.inner, **self.keys())
        self.assertEqual(["p.jpg"], self.names(listing, "File"))
        self.bob.ops("open_file_download", file_id=self.photo, is_pro="0", **self.keys())
        self.assertEqual(
            3,
            self.bob.fails(
                "create_dir", dir_id=self.inner, dir_access="0", name="x", **self.keys()
            ).type,
        )
        self.assertEqual(
            3,
            self.bob.fails("rename_file", file_id=self.photo, new_name="q.jpg", **self.keys()).type,
        )
        self.assertEqual(
            3,
            self.bob.fails(
                "list_dir", dir_id=self.inner, share_user_id=self.alice_id, share_id=self.inner
            ).type,
        )
        self.assertEqual(
            2, self.bob.fails("list_dir", dir_id=self.add_folder(self.alice_id, "Not shared")).type
        )

    def test_full_share_allows_changes_but_not_to_its_top(self):
        self.service.control(
            "add_share", owner_id=self.alice_id, dir_id=self.shared, user_id=self.bob_id, mode=1
        )
        self.bob.ops("rename_dir", dir_id=self.inner, new_name="Day one", **self.keys())
        self.assertEqual(
            3, self.bob.fails("rename_dir", dir_id=self.shared, new_name="Mine", **self.keys()).type
        )
        self.assertEqual(
            3, self.bob.fails("move_dir_to_trash", dir_id=self.shared, **self.keys()).type
        )
        self.bob.ops("move_file_to_trash", file_id=self.photo, **self.keys())
        self.assertEqual(["p.jpg"], self.names(self.alice.ops("list_trash_dir"), "File"))
        self.bob.ops("restore_file_from_trash", file_id=self.photo, **self.keys())
        own = self.add_folder(self.bob_id, "Mine")
        self.bob.ops(
            "copy_file",
            src_file_id=self.photo,
            src_share_user_id=self.alice_id,
            src_share_id=self.shared,
            dst_dir_id=own,
            move="0",
            is_pro="0",
        )
        self.assertEqual(["p.jpg"], self.names(self.bob.ops("list_dir", dir_id=own), "File"))

    def test_file_created_in_a_share_is_later_handled_without_the_keys(self):
        self.service.control(
            "add_share", owner_id=self.alice_id, dir_id=self.shared, user_id=self.bob_id, mode=1
        )
        created = self.bob.ops(
            "create_and_open_file",
            dir_id=self.inner,
            dir_access="0",
            name="new.txt",
            size="4",
            is_pro="0",
            **self.keys(),
        )
        file_id = created.records("File")[0].field("ID")
        with self.bob.ftp() as ftp:
            ftp.storbinary(f"STOR {created.field('TempLocation')}", io.BytesIO(b"data"))
        self.bob.ops(
            "close_file_upload",
            file_id=file_id,
            temp_location=created.field("TempLocation"),
            file_time="500",
            file_size="4",
            is_pro="0",
        )
        self.bob.ops("set_file_description", file_id=file_id, description="mine")
        upload = self.bob.ops("open_file_upload", file_id=file_id, size="2", is_pro="0")
        self.assertTrue(upload.field("TempLocation"))
        self.assertEqual(b"data", self.service.content(file_id))
        # The owner pays for the space; the listing shows the shared file.
        self.assertEqual("304", self.alice.ops("get_storage_info").field("SpaceUsed"))
        self.assertIn(
            "new.txt",
            self.names(self.bob.ops("list_dir", dir_id=self.inner, **self.keys()), "File"),
        )


class AccessAccountTest(ServiceTest):
    def setUp(self):
        super().setUp()
        control = self.service.control
        self.access_id = control("add_access", owner_id=self.alice_id, name="guest", password="pw")[
            "access_id"
        ]
        self.opened = self.add_folder(self.alice_id, "Opened")
        self.sub = self.add_folder(self.alice_id, "Sub", parent=self.opened)
        self.closed = self.add_folder(self.alice_id, "Closed")
        self.add_file(self.alice_id, "top.txt")
        control("grant_access", access_id=self.access_id, dir_id=self.opened)
        self.guest = login(self.service, "guest", "pw")

    def test_access_root_lists_only_the_opened_folders(self):
        root = self.guest.ops("list_dir", dir_id="0")
        self.assertEqual(["Opened"], self.names(root))
        self.assertEqual([], root.records("File"))
        self.assertEqual("False", root.records("Directory")[0].field("IsDeleteable"))
        self.assertEqual(
            ["Sub"],
            self.names(self.guest.ops("list_dir", dir_id=self.opened, access_dir_id=self.opened)),
        )
        self.assertEqual(2, self.guest.fails("list_dir", dir_id=self.closed).type)
        self.assertEqual(
            3, self.guest.fails("list_dir", dir_id=self.closed, access_dir_id=self.opened).type
        )
        self.assertEqual([], self.guest.ops("list_trash_dir").children)
        found = self.alice.ops("get_userid_by_name", name="guest")
        self.assertEqual(
            (self.alice_id, self.access_id), (found.field("UserID"), found.field("UserAccessID"))
        )

    def test_creating_at_the_top_opens_the_new_folder_and_refuses_files(self):
        self.guest.ops("create_dir", dir_id="0", dir_access="0", name="Fresh")
        self.assertEqual(
            ["Fresh", "Opened"], sorted(self.names(self.guest.ops("list_dir", dir_id="0")))
        )
        self.assertIn("Fresh", self.names(self.alice.ops("list_dir", dir_id="0")))
        self.assertEqual(
            3,
            self.guest.fails(
                "create_file", dir_id="0", dir_access="0", name="f", size="0", is_pro="0"
            ).type,
        )

    def test_file_created_in_an_access_folder_is_later_handled_without_the_key(self):
        made = self.guest.ops(
            "create_file",
            dir_id=self.sub,
            dir_access="0",
            name="g.txt",
            size="0",
            is_pro="0",
            access_dir_id=self.opened,
        ).records("File")[0]
        file_id = made.field("ID")
        self.guest.ops("set_file_price", file_id=file_id, price="1.25")
        opened = self.guest.ops("open_file_upload", file_id=file_id, size="0", is_pro="0")
        self.guest.ops(
            "close_file_upload",
            file_id=file_id,
            temp_location=opened.field("TempLocation"),
            file_time="-1",
            file_size="0",
            is_pro="0",
        )
        listed = self.guest.ops("list_dir", dir_id=self.sub, access_dir_id=self.opened).records(
            "File"
        )[0]
        self.assertEqual(("g.txt", "1.25"), (listed.field("Name"), listed.field("Price")))
        self.assertEqual(
            3,
            self.guest.fails(
                "move_dir_to_trash", dir_id=self.opened, access_dir_id=self.opened
            ).type,
        )


if __name__ == "__main__":
    unittest.main()
