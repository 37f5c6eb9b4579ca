"""What the service knows: accounts, folders, files, shares and uploads.

Metadata lives in memory; file contents live on disk under the transfer
root, which the transfer server serves:
  files/<file id>     the committed content of a file (its `Location`)
  uploads/<token>     an upload in progress (its `TempLocation`)
A `Location` or `TempLocation` is a URL path on the transfer server: a byte
that may not stand in one is percent-escaped, and a client passes the text
on as it is, so the escapes decide which path the transfer server is asked
for.
Every public method is called with `lock` held by the caller, so one
request sees a consistent state.
"""

import collections
import dataclasses
import hashlib
import json
import os
import secrets
import shutil
import threading
import time
from dataclasses import dataclass, field
from urllib.parse import quote

import replies
from replies import ServiceError

ROOT_ID = "0"
FILES_DIR = "files"
UPLOADS_DIR = "uploads"
DEFAULT_CAPACITY = 10 * 1024**3
MODE_VIEW = 0
MODE_FULL = 1


@dataclass
class User:
    id: str
    name: str
    password: str
    email: str = ""
    first_name: str = ""
    last_name: str = ""
    lang: str = "en"
    level: str = "1"
    capacity: int = DEFAULT_CAPACITY
    upload_limit: int = 0
    download_limit: int = 0
    # The password of the user's transfer accounts; empty: a new random one
    # for each login.
    transfer_password: str = ""
    notifications: list = field(default_factory=list)
    pro_settings: list = field(default_factory=list)


@dataclass
class AccessAccount:
    """A sign-in of its own that sees only the folders its owner opened to it."""

    id: str
    owner_id: str
    name: str
    password: str


@dataclass
class Folder:
    id: str
    owner_id: str
    parent_id: str
    name: str
    description: str = ""
    access: int = 0
    is_gallery: bool = False
    is_mp3: bool = False
    is_home: bool = False
    date_created: int = 0
    date_deleted: int = 0
    is_folder = True


@dataclass
class File:
    id: str
    owner_id: str
    parent_id: str
    name: str
    description: str = ""
    access: int = 0
    price: float = 0.0
    size: int = 0
    date_accessed: int = 0
    date_modified: int = 0
    date_deleted: int = 0
    is_folder = False


@dataclass
class Share:
    """A folder of `owner_id` shared with `user_id`; mode 0 view, 1 full.

    A fixed share is one the service keeps (set up by its administrators):
    the owner can neither change its mode nor end it."""

    id: str
    owner_id: str
    folder_id: str
    user_id: str
    mode: int
    fixed: bool = False


@dataclass
class Grant:
    access_id: str
    folder_id: str
    mode: int


@dataclass
class Upload:
    token: str
    file_id: str


@dataclass
class TransferAccount:
    """Transfer-server credentials handed out by one login."""

    ftp_user: str
    password: str
    user_id: str
    access_id: str


def content_location(file_id):
    return f"/{FILES_DIR}/{quote(file_id, safe='')}"


def upload_location(token):
    return f"/{UPLOADS_DIR}/{quote(token, safe='')}"


def check_name(parameter, name):
    if not name or name in (".", "..") or len(name) > 255:
        raise replies.invalid(parameter, "is not a valid name")
    if any(c in "/\\" or ord(c) < 0x20 for c in name):
        raise replies.invalid(parameter, "contains characters a name can not hold")
    return name


class Store:
    def __init__(self, transfer_root, state_file=None):
        """state_file: where the store keeps what it knows between runs (the
        contents stay under transfer_root anyway); None keeps it in memory
        only. A store with a state file saves after every change a caller
        reports (saved()) and starts from the file when there is one."""
        self.lock = threading.RLock()
        # Told of every committed upload, for callers that wait for uploads
        # to arrive without asking again and again.
        self.committed = threading.Condition(self.lock)
        self.commits_in = collections.Counter()
        self.transfer_root = transfer_root
        self.state_file = state_file
        self.loaded = state_file is not None and os.path.exists(state_file)
        if self.loaded:
            self._load()
        else:
            self.reset()

    # --- life cycle

    def reset(self):
        self.users = {}
        self.access_accounts = {}
        self._clear_items()
        self.shares = {}
        self.grants = []
        self.uploads = {}
        self.committed_uploads = {}
        self.transfer_accounts = {}
        self.emails = []
        self._next_id = {"user": 10001, "access": 20001, "share": 70001, "item": 100001}
        for sub in (FILES_DIR, UPLOADS_DIR):
            path = os.path.join(self.transfer_root, sub)
            shutil.rmtree(path, ignore_errors=True)
            os.makedirs(path)

    # --- keeping the store between runs

    _RECORDS = {
        "users": User,
        "access_accounts": AccessAccount,
        "shares": Share,
        "uploads": Upload,
        "transfer_accounts": TransferAccount,
    }

    def saved(self):
        """Writes the state file, when there is one, replacing it atomically."""
        if self.state_file is None:
            return
        state = {
            name: [dataclasses.asdict(r) for r in getattr(self, name).values()]
            for name in self._RECORDS
        }
        state["items"] = [
            dict(dataclasses.asdict(i), is_folder=i.is_folder) for i in self.items.values()
        ]
        state["grants"] = [dataclasses.asdict(g) for g in self.grants]
        state["committed_uploads"] = [
            [location, file_id, size]
            for location, (file_id, size) in self.committed_uploads.items()
        ]
        state["emails"] = list(self.emails)
        state["next_id"] = dict(self._next_id)
        staging = f"{self.state_file}.tmp"
        with open(staging, "w", encoding="utf-8") as out:
            json.dump(state, out)
            out.flush()
            os.fsync(out.fileno())
        os.replace(staging, self.state_file)

    def _load(self):
        with open(self.state_file, encoding="utf-8") as saved:
            state = json.load(saved)
        for name, kind in self._RECORDS.items():
            records = [kind(**r) for r in state.get(name, [])]
            key = {"uploads": "token", "transfer_accounts": "ftp_user"}.get(name, "id")
            setattr(self, name, {getattr(r, key): r for r in records})
        for user in self.users.values():
            user.notifications = [tuple(n) for n in user.notifications]
            user.pro_settings = [tuple(p) for p in user.pro_settings]
        self._clear_items()
        for record in state.get("items", []):
            kind = Folder if record.pop("is_folder") else File
            self._attach(kind(**record))
        self.grants = [Grant(**g) for g in state.get("grants", [])]
        self.committed_uploads = {
            location: (file_id, size)
            for location, file_id, size in state.get("committed_uploads", [])
        }
        self.emails = list(state.get("emails", []))
        self._next_id = dict(state["next_id"])
        for sub in (FILES_DIR, UPLOADS_DIR):
            os.makedirs(os.path.join(self.transfer_root, sub), exist_ok=True)

    def now(self):
        return int(time.time())

    def _new_id(self, kind):
        value = self._next_id[kind]
        self._next_id[kind] += 1
        return str(value)

    # --- accounts

    def add_user(self, name, password, **details):
        check_name("user_name", name)
        if self.user_by_name(name) or self.access_by_name(name):
            raise ServiceError(
                replies.ALREADY_EXISTS, "User already exists", f"The user name '{name}' is taken"
            )
        user = User(self._new_id("user"), name, password, **details)
        self.users[user.id] = user
        return user

    def add_access_account(self, owner_id, name, password):
        self.user(owner_id)
        check_name("name", name)
        if self.user_by_name(name) or self.access_by_name(name):
            raise ServiceError(
                replies.ALREADY_EXISTS, "User already exists", f"The user name '{name}' is taken"
            )
        account = AccessAccount(self._new_id("access"), owner_id, name, password)
        self.access_accounts[account.id] = account
        return account

    def user(self, user_id):
        user = self.users.get(user_id)
        if user is None:
            raise ServiceError(replies.NOT_FOUND, "User not found", "The user does not exist")
        return user

    def user_by_name(self, name):
        name = name.lower()
        return next((u for u in self.users.values() if u.name.lower() == name), None)

    def access_by_name(self, name):
        name = name.lower()
        return next((a for a in self.access_accounts.values() if a.name.lower() == name), None)

    def user_by_email(self, email):
        email = email.lower()
        return next((u for u in self.users.values() if u.email and u.email.lower() == email), None)

    def new_transfer_account(self, user_id, access_id):
        password = self.user(user_id).transfer_password or secrets.token_hex(12)
        account = TransferAccount("s" + secrets.token_hex(6), password, user_id, access_id)
        self.transfer_accounts[account.ftp_user] = account
        return account

    # --- the tree

    def item(self, item_id, want_folder=None):
        item = self.items.get(item_id)
        if item is None or (want_folder is not None and item.is_folder != want_folder):
            what = {None: "The item", True: "The folder", False: "The file"}[want_folder]
            raise replies.not_found(what)
        return item

    def children(self, owner_id, parent_id):
        """Live children of a folder, or of the owner's root when parent_id is "0"."""
        return [
            i
            for i in self.children_of.get(parent_id, {}).values()
            if i.date_deleted == 0 and (parent_id != ROOT_ID or i.owner_id == owner_id)
        ]

    def _clear_items(self):
        self.items = {}
        # Children by folder id, so listings and name checks do not walk the
        # whole store (the benchmarks seed trees of 100,000 files).
        self.children_of = {}
        # The folders among them, so a folder's record tells whether it has
        # subfolders without looking at its files.
        self.folders_in = {}
        # The same children by their name in lower case, so a name check
        # looks only at the items of that name.
        self.named_in = {}
        # Bytes held by each owner's files, kept as files come, go and change,
        # so a space check does not add up the whole store.
        self.space_of = {}

    def _attach(self, item):
        self.items[item.id] = item
        self._link(item)
        self._count_space(item, +1)

    def _detach(self, item):
        del self.items[item.id]
        self._unlink_from_parent(item)
        self._count_space(item, -1)

    def _link(self, item):
        self.children_of.setdefault(item.parent_id, {})[item.id] = item
        if item.is_folder:
            self.folders_in.setdefault(item.parent_id, {})[item.id] = item
        names = self.named_in.setdefault(item.parent_id, {})
        names.setdefault(item.name.lower(), {})[item.id] = item

    def _unlink_from_parent(self, item):
        self.children_of.get(item.parent_id, {}).pop(item.id, None)
        self.folders_in.get(item.parent_id, {}).pop(item.id, None)
        names = self.named_in.get(item.parent_id, {})
        lowered = item.name.lower()
        same_name = names.get(lowered, {})
        same_name.pop(item.id, None)
        if not same_name:
            names.pop(lowered, None)

    def _count_space(self, item, sign):
        if not item.is_folder:
            self.space_of[item.owner_id] = self.space_of.get(item.owner_id, 0) + sign * item.size

    def _set_size(self, item, size):
        self._count_space(item, -1)
        item.size = size
        self._count_space(item, +1)

    def _reparent(self, item, parent_id):
        self._unlink_from_parent(item)
        item.parent_id = parent_id
        self._link(item)

    def sorted_children(self, owner_id, parent_id):
        kids = self.children(owner_id, parent_id)
        kids.sort(key=lambda i: (not i.is_folder, i.name.lower()))
        return kids

    def has_subfolders(self, folder):
        return any(
            f.date_deleted == 0 and (folder.id != ROOT_ID or f.owner_id == folder.owner_id)
            for f in self.folders_in.get(folder.id, {}).values()
        )

    def ancestors(self, item):
        """The folders above an item, nearest first; stops at the root."""
        chain = []
        parent_id = item.parent_id
        while parent_id != ROOT_ID:
            parent = self.items.get(parent_id)
            if parent is None:
                break
            chain.append(parent)
            parent_id = parent.parent_id
        return chain

    def is_live(self, item):
        return item.date_deleted == 0 and all(a.date_deleted == 0 for a in self.ancestors(item))

    def is_within(self, item, folder_id):
        return item.id == folder_id or any(a.id == folder_id for a in self.ancestors(item))

    def path_of(self, item):
        names = [a.name for a in reversed(self.ancestors(item))] + [item.name]
        return "/" + "/".join(names)

    def check_free_name(self, owner_id, parent_id, name, keep=None):
        same_name = self.named_in.get(parent_id, {}).get(name.lower(), {})
        for sibling in same_name.values():
            if sibling.date_deleted != 0 or sibling is keep:
                continue
            if parent_id != ROOT_ID or sibling.owner_id == owner_id:
                raise replies.already_exists(name)

    def add_folder(self, owner_id, parent_id, name, checked=True, **details):
        """checked=False stores a name this service would refuse, as another
        service or an older one may hold it (tests of clients that must not
        trust the names they are sent)."""
        if checked:
            check_name("name", name)
        self.check_free_name(owner_id, parent_id, name)
        details.setdefault("date_created", self.now())
        folder = Folder(self._new_id("item"), owner_id, parent_id, name, **details)
        self._attach(folder)
        return folder

    def add_file(self, owner_id, parent_id, name, content=b"", checked=True, **details):
        if checked:
            check_name("name", name)
        self.check_free_name(owner_id, parent_id, name)
        details.setdefault("date_modified", self.now())
        item = File(self._new_id("item"), owner_id, parent_id, name, size=len(content), **details)
        self._write_content(item.id, content)
        self._attach(item)
        return item

    def replace_content(self, item, content):
        """New bytes for a file, as an upload would leave them: a later
        modification date than the one it had, so clients see the change."""
        self._write_content(item.id, content)
        self._set_size(item, len(content))
        item.date_modified = max(self.now(), item.date_modified + 1)

    def copy_file(self, source, owner_id, parent_id):
        self.check_free_name(owner_id, parent_id, source.name)
        copy = File(
            self._new_id("item"),
            owner_id,
            parent_id,
            source.name,
            description=source.description,
            access=source.access,
            price=source.price,
            size=source.size,
            date_modified=source.date_modified,
        )
        staging = self.content_path(copy.id) + ".copy"
        shutil.copyfile(self.content_path(source.id), staging)
        os.replace(staging, self.content_path(copy.id))
        self._attach(copy)
        return copy

    def move_item(self, item, owner_id, parent_id):
        if item.parent_id == parent_id and item.owner_id == owner_id:
            return
        self.check_free_name(owner_id, parent_id, item.name)
        self._reparent(item, parent_id)
        self._count_space(item, -1)
        item.owner_id = owner_id
        self._count_space(item, +1)

    def rename(self, item, new_name):
        check_name("new_name", new_name)
        self.check_free_name(item.owner_id, item.parent_id, new_name, keep=item)
        self._unlink_from_parent(item)
        item.name = new_name
        self._link(item)

    def trash(self, item):
        item.date_deleted = self.now()

    def restore(self, item):
        """Puts a trashed item back, into the root when its folder is gone."""
        if item.date_deleted == 0:
            raise ServiceError(
                replies.INVALID_PARAMETER, "Restore failed", "The item is not in the trash"
            )
        parent = self.items.get(item.parent_id)
        parent_id = item.parent_id if parent is not None and self.is_live(parent) else ROOT_ID
        self.check_free_name(item.owner_id, parent_id, item.name)
        self._reparent(item, parent_id)
        item.date_deleted = 0

    def remove(self, item):
        """Removes an item and everything below it for good."""
        doomed = [i for i in self.items.values() if self.is_within(i, item.id)]
        for victim in doomed:
            self._detach(victim)
            if victim.is_folder:
                self.shares = {k: s for k, s in self.shares.items() if s.folder_id != victim.id}
                self.grants = [g for g in self.grants if g.folder_id != victim.id]
            else:
                self._drop_uploads_of(victim.id)
                self._unlink(self.content_path(victim.id))

    def trash_of(self, owner_id):
        return [i for i in self.items.values() if i.owner_id == owner_id and i.date_deleted != 0]

    def space_used(self, owner_id):
        """Bytes held by the owner's files, those in the trash included."""
        return self.space_of.get(owner_id, 0)

    def check_space(self, owner_id, extra):
        # A capacity of 0 is an account without a limit.
        capacity = self.user(owner_id).capacity
        if capacity and self.space_used(owner_id) + max(extra, 0) > capacity:
            raise ServiceError(replies.NO_SPACE, "Not enough space", "The storage is full")

    # --- shares and access grants

    def add_share(self, owner_id, folder_id, user_id, mode, fixed=False):
        folder = self.item(folder_id, want_folder=True)
        if folder.owner_id != owner_id:
            raise replies.access_denied("Only the owner can share a folder")
        self.user(user_id)
        if user_id == owner_id:
            raise replies.invalid("sharewithuser_id", "names the owner of the folder")
        if any(s.folder_id == folder_id and s.user_id == user_id for s in self.shares.values()):
            raise ServiceError(
                replies.ALREADY_EXISTS,
                "Already shared",
                "The folder is already shared with this user",
            )
        share = Share(self._new_id("share"), owner_id, folder_id, user_id, mode, fixed)
        self.shares[share.id] = share
        return share

    def shares_with(self, user_id):
        """Shares that other users made with user_id, of folders that are live."""
        return [
            s
            for s in self.shares.values()
            if s.user_id == user_id and self.is_live(self.items[s.folder_id])
        ]

    def grant(self, access_id, folder_id, mode):
        account = self.access_accounts.get(access_id)
        folder = self.item(folder_id, want_folder=True)
        if account is None or folder.owner_id != account.owner_id:
            raise replies.access_denied("The folder does not belong to the access account's owner")
        self.grants = [
            g for g in self.grants if not (g.access_id == access_id and g.folder_id == folder_id)
        ]
        self.grants.append(Grant(access_id, folder_id, mode))

    def grants_of(self, access_id):
        return [
            g
            for g in self.grants
            if g.access_id == access_id and self.is_live(self.items[g.folder_id])
        ]

    # --- contents and uploads

    def content_path(self, file_id):
        return os.path.join(self.transfer_root, FILES_DIR, file_id)

    def upload_path(self, token):
        return os.path.join(self.transfer_root, UPLOADS_DIR, token)

    def _write_content(self, file_id, content):
        staging = self.content_path(file_id) + ".new"
        with open(staging, "wb") as out:
            out.write(content)
        os.replace(staging, self.content_path(file_id))

    def start_upload(self, file_id):
        upload = Upload(secrets.token_hex(10), file_id)
        open(self.upload_path(upload.token), "wb").close()
        self.uploads[upload.token] = upload
        return upload

    def upload_at(self, temp_location):
        prefix = f"/{UPLOADS_DIR}/"
        if not temp_location.startswith(prefix):
            return None
        return self.uploads.get(temp_location[len(prefix) :])

    def commit_upload(self, item, temp_location, size, file_time):
        """Makes an upload the file's content, only when it holds `size` bytes.

        A repeated close of an upload that was already committed with the same
        size succeeds again, so a client that lost the first reply and asks
        again is not told that its upload failed.
        """
        if self.committed_uploads.get(temp_location) == (item.id, size):
            return
        upload = self.upload_at(temp_location)
        if upload is None or upload.file_id != item.id:
            raise replies.invalid("temp_location", "names no upload of this file")
        path = self.upload_path(upload.token)
        stored = os.path.getsize(path)
        if stored != size:
            raise ServiceError(
                replies.UPLOAD_INCOMPLETE,
                "Upload failed",
                f"The server received {stored} bytes of {size}",
            )
        self.check_space(item.owner_id, size - item.size)
        os.replace(path, self.content_path(item.id))
        del self.uploads[upload.token]
        self.committed_uploads[temp_location] = (item.id, size)
        self._set_size(item, size)
        item.date_modified = file_time if file_time > 0 else self.now()
        self.commits_in[item.parent_id] += 1
        with self.committed:
            self.committed.notify_all()

    def _drop_uploads_of(self, file_id):
        for token in [t for t, u in self.uploads.items() if u.file_id == file_id]:
            del self.uploads[token]
            self._unlink(self.upload_path(token))

    @staticmethod
    def _unlink(path):
        try:
            os.unlink(path)
        except FileNotFoundError:
            pass

    @staticmethod
    def digest(path):
        md5 = hashlib.md5()
        with open(path, "rb") as stored:
            for block in iter(lambda: stored.read(1 << 20), b""):
                md5.update(block)
        return md5.hexdigest()
