"""The store's running totals and indexes against a plain count of the
items, after every kind of change a request or the control endpoint makes."""

import os
import random
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import replies  # noqa: E402
from replies import ServiceError  # noqa: E402
from store import ROOT_ID, Store  # noqa: E402


def counted_space(store, owner_id):
    return sum(i.size for i in store.items.values() if not i.is_folder and i.owner_id == owner_id)


def name_taken(store, owner_id, parent_id, name):
    return any(i.name.lower() == name.lower() for i in store.children(owner_id, parent_id))


class StoreIndexTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="calvimora-store-test-")
        self.addCleanup(shutil.rmtree, self.folder, ignore_errors=True)
        self.store = Store(os.path.join(self.folder, "transfer"), os.path.join(self.folder, "s.json"))
        self.owners = [self.store.add_user(name, "pw").id for name in ("ann", "bob")]
        self.names = ["a", "A", "b", "c.txt", "C.TXT"]

    def check_agrees(self, store):
        for owner_id in self.owners:
            self.assertEqual(counted_space(store, owner_id), store.space_used(owner_id))
        for folder in (i for i in store.items.values() if i.is_folder):
            children = store.children(folder.owner_id, folder.id)
            self.assertEqual(any(i.is_folder for i in children), store.has_subfolders(folder))
        folders = [ROOT_ID] + [i.id for i in store.items.values() if i.is_folder]
        for parent_id in folders:
            for owner_id in self.owners:
                for name in self.names:
                    try:
                        store.check_free_name(owner_id, parent_id, name)
                        free = True
                    except ServiceError as refused:
                        self.assertEqual(replies.ALREADY_EXISTS, refused.kind)
                        free = False
                    self.assertEqual(not name_taken(store, owner_id, parent_id, name), free)

    def change_at_random(self, chance):
        store = self.store
        items = list(store.items.values())
        folders = [ROOT_ID] + [i.id for i in items if i.is_folder]
        files = [i for i in items if not i.is_folder]
        owner_id, parent_id = chance.choice(self.owners), chance.choice(folders)
        name, item = chance.choice(self.names), chance.choice(items) if items else None
        step = chance.randrange(9)
        if step == 0:
            store.add_file(owner_id, parent_id, name, b"x" * chance.randrange(50))
        elif step == 1:
            store.add_folder(owner_id, parent_id, name)
        elif item is not None and step == 2:
            store.rename(item, name)
        elif item is not None and step == 3:
            target = store.items.get(parent_id)
            if target is None or not store.is_within(target, item.id):
                store.move_item(item, owner_id, parent_id)
        elif item is not None and step == 4:
            store.trash(item) if item.date_deleted == 0 else store.restore(item)
        elif item is not None and step == 5:
            store.remove(item)
        elif files and step == 6:
            store.replace_content(chance.choice(files), b"y" * chance.randrange(50))
        elif files and step == 7:
            target = chance.choice(files)
            upload = store.start_upload(target.id)
            size = chance.randrange(50)
            with open(store.upload_path(upload.token), "wb") as out:
                out.write(b"z" * size)
            store.commit_upload(target, f"/uploads/{upload.token}", size, 0)
        elif files and step == 8:
            store.copy_file(chance.choice(files), owner_id, parent_id)

    def test_space_and_names_follow_every_change_and_a_restart(self):
        chance = random.Random(27)
        for _ in range(600):
            try:
                self.change_at_random(chance)
            except ServiceError:
                pass
            self.check_agrees(self.store)
        self.store.saved()
        restarted = Store(self.store.transfer_root, self.store.state_file)
        self.assertTrue(restarted.loaded)
        self.check_agrees(restarted)


if __name__ == "__main__":
    unittest.main()
