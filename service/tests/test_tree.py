"""Folders and files: listings, names, properties, the trash, copies and moves."""

import os
import sys
import unittest
from urllib.parse import quote

from harness import ServiceTest, login

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from context import Context, Site, number_text  # noqa: E402
from replies import record  # noqa: E402
from store import File, content_location  # noqa: E402


class ListingTest(ServiceTest):
    def test_records_carry_the_fields_the_client_reads(self):
        dir_id = self.add_folder(
            self.alice_id, "Docs", description="papers", access=1, is_home_folder=True
        )
        self.add_folder(self.alice_id, "Inner", parent=dir_id)
        added = self.add_file(
            self.alice_id,
            "a.txt",
            dir_id,
            content="hello",
            description="d",
            price=2.5,
            date_modified=1000,
        )
        root = self.alice.ops("list_dir", dir_id="0")
        folder = root.records("Directory")[0]
        self.assertEqual(
            {
                "ID": dir_id,
                "Name": "Docs",
                "Description": "papers",
                "Access": "1",
                "IsHomeFolder": "True",
                "HasSubfolders": "True",
                "Shared": "False",
                "DateDeleted": "0",
            },
            {
                k: folder.field(k)
                for k in (
                    "ID",
                    "Name",
                    "Description",
                    "Access",
                    "IsHomeFolder",
                    "HasSubfolders",
                    "Shared",
                    "DateDeleted",
                )
            },
        )
        self.assertGreater(int(folder.field("DateCreated")), 0)
        listing = self.alice.ops("list_dir", dir_id=dir_id)
        self.assertEqual(["Inner"], self.names(listing))
        record = listing.records("File")[0]
        self.assertEqual(
            {
                "ID": added["file_id"],
                "Name": "a.txt",
                "Location": added["location"],
                "Size": "5",
                "Price": "2.5",
                "DateModified": "1000",
                "DateDeleted": "0",
                "Description": "d",
            },
            {
                k: record.field(k)
                for k in (
                    "ID",
                    "Name",
                    "Location",
                    "Size",
                    "Price",
                    "DateModified",
                    "DateDeleted",
                    "Description",
                )
            },
        )
        self.assertTrue(record.field("DirectLink") and record.field("Link"))

    def test_paths_and_unknown_or_foreign_items(self):
        top = self.add_folder(self.alice_id, "Top")
        inner = self.add_folder(self.alice_id, "In <1>", parent=top)
        file_id = self.add_file(self.alice_id, "f.txt", inner)["file_id"]
        self.assertEqual("/Top/In <1>", self.alice.ops("get_dir_path", dir_id=inner).field("Path"))
        self.assertEqual(
            "/Top/In <1>/f.txt", self.alice.ops("get_file_path", file_id=file_id).field("Path")
        )
        theirs = self.add_folder(self.bob_id, "Private")
        for dir_id in ("777777", theirs, file_id):
            self.assertEqual(2, self.alice.fails("list_dir", dir_id=dir_id).type)


class FileRecordTextTest(unittest.TestCase):
    """A listing writes its file records in one piece; the text must be the
    one the generic record writer gives, escapes included."""

    def test_the_record_matches_the_generic_writer(self):
        site = Site(base_url="https://host:1", ftp_url="ftp://host:2", prefix="/api")
        context = Context(None, site, {})
        for name, description, price in (
            ("plain.txt", "", 0.0),
            ("a<b>c d.txt", "x<y>", 2.5),
            ("été 😀 #?%.bin", "café", 10.0),
        ):
            item = File(
                id="f12",
                owner_id="u1",
                parent_id="d3",
                name=name,
                description=description,
                access=2,
                price=price,
                size=12345,
                date_accessed=7,
                date_modified=1650000000,
                date_deleted=0,
            )
            expected = record(
                "File",
                [
                    ("ID", item.id),
                    ("Name", item.name),
                    ("Link", f"{site.base_url}/f/{item.id}"),
                    ("DirectLink", f"{site.base_url}/direct/{item.id}/{quote(item.name)}"),
                    ("Location", content_location(item.id)),
                    ("Description", item.description),
                    ("Access", item.access),
                    ("Price", number_text(item.price)),
                    ("Size", item.size),
                    ("DateAccessed", item.date_accessed),
                    ("DateModified", item.date_modified),
                    ("DateDeleted", item.date_deleted),
                ],
            )
            self.assertEqual(context.file_record(item), expected, name)


class NamesTest(ServiceTest):
    def test_names_are_unique_per_folder_whatever_the_case(self):
        self.add_folder(self.alice_id, "Music")
        self.add_file(self.alice_id, "notes.txt")
        common = {"dir_id": "0", "dir_access": "0"}
        self.assertEqual(1, self.alice.fails("create_dir", name="MUSIC", **common).type)
        self.assertEqual(1, self.alice.fails("create_dir", name="Notes.TXT", **common).type)
        self.assertEqual(
            1, self.alice.fails("create_file", name="music", size="0", is_pro="0", **common).type
        )
        self.assertEqual(
            1,
            self.alice.fails(
                "create_and_open_file", name="NOTES.txt", size="3", is_pro="0", **common
            ).type,
        )
        other = self.add_folder(self.alice_id, "Other")
        self.alice.ops("create_dir", dir_id=other, dir_access="0", name="music")
        self.alice.ops("rename_dir", dir_id=other, new_name="other")  # its own name, other case
        self.assertEqual(1, self.alice.fails("rename_dir", dir_id=other, new_name="Music").type)
        for bad in ("", "a/b", "a\\b", ".."):
            self.assertEqual(4, self.alice.fails("create_dir", name=bad, **common).type)

    def test_files_seeded_together_obey_the_same_names_rule(self):
        dir_id = self.add_folder(self.alice_id, "Seeded")
        self.service.control(
            "add_files", owner_id=self.alice_id, dir_id=dir_id, names=["a", "b"], content="x",
            date_modified=1000,
        )
        files = self.alice.ops("list_dir", dir_id=dir_id).records("File")
        self.assertEqual(["a", "b"], sorted(f.field("Name") for f in files))
        with self.assertRaises(Exception):
            self.service.control("add_files", owner_id=self.alice_id, dir_id=dir_id, names=["A"])

    def test_texts_survive_the_form_and_the_reply(self):
        name = "Ünïcode = & + % # ? <x> 😀 ~ ;"
        description = "line one\nline two with \\<escaped\\> and = & signs"
        dir_id = self.alice.ops("create_dir", dir_id="0", dir_access="2", name=name).records(
            "Directory"
        )[0]
        dir_id = dir_id.field("ID")
        self.alice.ops("set_dir_description", dir_id=dir_id, description=description)
        folder = self.alice.ops("list_dir", dir_id="0").records("Directory")[0]
        self.assertEqual(
            (name, description, "2"),
            (folder.field("Name"), folder.field("Description"), folder.field("Access")),
        )
        self.assertEqual(
            4, self.alice.fails("set_dir_description", dir_id=dir_id, description="ends\\").type
        )


class PropertiesTest(ServiceTest):
    def test_setters_change_what_the_listing_shows(self):
        file_id = self.add_file(self.alice_id, "f.bin")["file_id"]
        self.alice.ops("set_file_description", file_id=file_id, description="new")
        self.alice.ops("set_file_access", file_id=file_id, access="2")
        self.alice.ops("set_file_price", file_id=file_id, price="10")
        self.alice.ops("set_file_date", file_id=file_id, file_datetime="1234567890")
        record = self.alice.ops("list_dir", dir_id="0").records("File")[0]
        self.assertEqual(
            ("new", "2", "10", "1234567890"),
            tuple(record.field(k) for k in ("Description", "Access", "Price", "DateModified")),
        )
        dir_id = self.add_folder(self.alice_id, "D")
        self.alice.ops("set_dir_access", dir_id=dir_id, access="1")
        folder = self.alice.ops("list_dir", dir_id="0").records("Directory")[0]
        self.assertEqual("1", folder.field("Access"))
        self.assertEqual(4, self.alice.fails("set_dir_access", dir_id=dir_id, access="-1").type)
        for action, params in (
            ("set_file_access", {"access": "3"}),
            ("set_file_price", {"price": "-1"}),
            ("set_file_price", {"price": "x"}),
            ("set_file_date", {"file_datetime": "soon"}),
        ):
            self.assertEqual(4, self.alice.fails(action, file_id=file_id, **params).type)


class TrashTest(ServiceTest):
    def test_trash_restore_and_remove(self):
        docs = self.add_folder(self.alice_id, "Docs")
        file_id = self.add_file(self.alice_id, "f.txt", docs, content="x")["file_id"]
        self.alice.ops("move_file_to_trash", file_id=file_id)
        self.alice.ops("move_dir_to_trash", dir_id=docs)
        trash = self.alice.ops("list_trash_dir")
        self.assertEqual(["Docs"], self.names(trash))
        self.assertEqual(["f.txt"], self.names(trash, "File"))
        self.assertTrue(all(int(r.field("DateDeleted")) > 0 for r in trash.children))
        self.assertEqual([], self.alice.ops("list_dir", dir_id="0").children)
        # The owner still reads a folder in the trash (its own trashed file
        # is listed in the trash only); nobody creates in it.
        self.assertEqual([], self.alice.ops("list_dir", dir_id=docs).children)
        self.assertEqual(2, self.alice.fails("create_dir", dir_id=docs, name="New").type)
        # A file whose folder is still in the trash comes back at the top.
        self.alice.ops("restore_file_from_trash", file_id=file_id)
        self.assertEqual(["f.txt"], self.names(self.alice.ops("list_dir", dir_id="0"), "File"))
        self.assertEqual(4, self.alice.fails("restore_file_from_trash", file_id=file_id).type)
        self.alice.ops("restore_dir_from_trash", dir_id=docs)
        self.assertEqual([], self.alice.ops("list_trash_dir").children)
        self.alice.ops("remove_dir", dir_id=docs)
        self.alice.ops("remove_file", file_id=file_id)
        self.assertEqual([], self.service.control("state")["items"])

    def test_restore_into_a_taken_name_is_refused(self):
        first = self.add_file(self.alice_id, "same.txt")["file_id"]
        self.alice.ops("move_file_to_trash", file_id=first)
        self.add_file(self.alice_id, "SAME.txt")
        self.assertEqual(1, self.alice.fails("restore_file_from_trash", file_id=first).type)

    def test_removing_a_folder_removes_its_contents_and_shares(self):
        docs = self.add_folder(self.alice_id, "Docs")
        self.add_file(self.alice_id, "inner.bin", docs, size=100)
        self.service.control("add_share", owner_id=self.alice_id, dir_id=docs, user_id=self.bob_id)
        self.alice.ops("remove_dir", dir_id=docs)
        state = self.service.control("state")
        self.assertEqual(([], []), (state["items"], state["shares"]))
        self.assertEqual("0", self.alice.ops("get_storage_info").field("SpaceUsed"))


class CopyTest(ServiceTest):
    def test_copy_and_move_between_folders(self):
        source = self.add_folder(self.alice_id, "Src")
        target = self.add_folder(self.alice_id, "Dst")
        added = self.add_file(self.alice_id, "f.bin", source, size=2000, seed=3)
        copied = self.alice.ops(
            "copy_file", src_file_id=added["file_id"], dst_dir_id=target, move="0", is_pro="0"
        ).records("File")[0]
        self.assertNotEqual(added["file_id"], copied.field("ID"))
        self.assertEqual(
            self.service.content(added["file_id"]), self.service.content(copied.field("ID"))
        )
        self.assertEqual(
            1,
            self.alice.fails(
                "copy_file", src_file_id=added["file_id"], dst_dir_id=target, move="1", is_pro="0"
            ).type,
        )
        self.alice.ops(
            "copy_file", src_file_id=added["file_id"], dst_dir_id="0", move="1", is_pro="0"
        )
        self.assertEqual([], self.alice.ops("list_dir", dir_id=source).children)
        self.assertEqual(["f.bin"], self.names(self.alice.ops("list_dir", dir_id="0"), "File"))
        self.assertEqual("4000", self.alice.ops("get_storage_info").field("SpaceUsed"))


class CreateTest(ServiceTest):
    def test_create_file_and_dir_take_the_given_access(self):
        dir_id = self.add_folder(self.alice_id, "Pub", access=1)
        made = self.alice.ops(
            "create_file", dir_id=dir_id, dir_access="1", name="new.txt", size="0", is_pro="0"
        ).records("File")[0]
        self.assertEqual(
            ("new.txt", "1", "0"), (made.field("Name"), made.field("Access"), made.field("Size"))
        )
        opened = self.alice.ops(
            "create_and_open_file",
            dir_id=dir_id,
            dir_access="1",
            name="up.txt",
            size="10",
            is_pro="0",
        )
        self.assertTrue(opened.field("TempLocation").startswith("/uploads/"))
        self.assertEqual("up.txt", opened.records("File")[0].field("Name"))
        self.assertEqual(
            ["new.txt", "up.txt"], self.names(self.alice.ops("list_dir", dir_id=dir_id), "File")
        )

    def test_space_is_checked_before_an_upload_starts(self):
        self.service.control("reset")
        user_id = self.service.control("add_user", name="small", password="pw", capacity=1000)[
            "user_id"
        ]
        self.add_file(user_id, "big.bin", size=900)
        small = login(self.service, "small", "pw")
        self.assertEqual(
            6,
            small.fails(
                "create_and_open_file",
                dir_id="0",
                dir_access="0",
                name="more.bin",
                size="200",
                is_pro="0",
            ).type,
        )
        small.ops(
            "create_and_open_file",
            dir_id="0",
            dir_access="0",
            name="ok.bin",
            size="100",
            is_pro="0",
        )

    def test_an_account_without_capacity_has_no_limit(self):
        self.service.control("reset")
        user_id = self.service.control("add_user", name="free", password="pw", capacity=0)[
            "user_id"
        ]
        self.add_file(user_id, "big.bin", size=900)
        free = login(self.service, "free", "pw")
        free.ops(
            "create_and_open_file",
            dir_id="0",
            dir_access="0",
            name="more.bin",
            size="5000",
            is_pro="0",
        )
        info = free.ops("get_storage_info")
        self.assertEqual("0", info.field("Capacity"))
        self.assertEqual("900", info.field("SpaceUsed"))


if __name__ == "__main__":
    unittest.main()
