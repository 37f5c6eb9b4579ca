"""The control endpoint that tests use, outside the service's own paths.

POST /_control/<verb> with a JSON object answers a JSON object; a refused
call answers HTTP 400 with {"error": text}. GET /_control/content?file_id=ID
(or ?temp_location=/uploads/...) answers the stored bytes themselves.
"""

import base64
import dataclasses
import json
import os
import random
import time
from urllib.parse import parse_qs

import login_data
import replies
from replies import ServiceError
from store import MODE_FULL, ROOT_ID, content_location


class ControlError(Exception):
    pass


def _need(args, key):
    if key not in args:
        raise ControlError(f"'{key}' is missing")
    return args[key]


def _text(args, key, default=None):
    value = args.get(key, default) if default is not None else _need(args, key)
    return str(value)


def _live_folder(store, owner_id, dir_id):
    if dir_id == ROOT_ID:
        store.user(owner_id)
        return
    folder = store.item(dir_id, want_folder=True)
    if folder.owner_id != owner_id or not store.is_live(folder):
        raise ControlError(f"folder {dir_id} is not a live folder of user {owner_id}")


def reset(app, args):
    app.store.reset()
    app.faults.clear()
    app.journal.reset()
    return {}


def add_user(app, args):
    details = {}
    for key in ("email", "first_name", "last_name", "lang", "level"):
        if key in args:
            details[key] = replies.check_text(key, str(args[key]))
    for key in ("capacity", "upload_limit", "download_limit"):
        if key in args:
            details[key] = int(args[key])
    if "transfer_password" in args:
        details["transfer_password"] = _transfer_password(args)
    user = app.store.add_user(_text(args, "name"), _text(args, "password"), **details)
    return {"user_id": user.id}


def _transfer_password(args):
    """A fixed transfer password, so tests can hand out one in any character
    the login's Data can carry."""
    password = _text(args, "transfer_password")
    if not password or not login_data.can_carry(password):
        raise ControlError("transfer_password must be text of the Data's code page")
    if any(ord(c) < 0x20 or 0x7F <= ord(c) <= 0x9F or c in "<>\\" for c in password):
        raise ControlError("transfer_password can not hold control characters, <, > or \\")
    return password


def add_access(app, args):
    account = app.store.add_access_account(
        _text(args, "owner_id"), _text(args, "name"), _text(args, "password")
    )
    return {"access_id": account.id}


def add_folder(app, args):
    store = app.store
    owner_id, parent_id = _text(args, "owner_id"), _text(args, "parent_id", ROOT_ID)
    _live_folder(store, owner_id, parent_id)
    folder = store.add_folder(
        owner_id,
        parent_id,
        _text(args, "name"),
        checked=not args.get("unchecked_name", False),
        description=replies.check_text("description", _text(args, "description", "")),
        access=int(args.get("access", 0)),
        is_home=bool(args.get("is_home_folder", False)),
        is_gallery=bool(args.get("is_gallery", False)),
        is_mp3=bool(args.get("is_mp3", False)),
        **({"date_created": int(args["date_created"])} if "date_created" in args else {}),
    )
    return {"dir_id": folder.id}


def _content(args):
    if "content" in args:
        return str(args["content"]).encode("utf-8")
    if "content_base64" in args:
        return base64.b64decode(args["content_base64"], validate=True)
    if "content_latin1" in args:
        # One character per byte: how a client without Base64 at hand sends bytes.
        return str(args["content_latin1"]).encode("latin-1")
    size = int(args.get("size", 0))
    if size < 0:
        raise ControlError("'size' can not be negative")
    return random.Random(args.get("seed", 1)).randbytes(size)


def add_file(app, args):
    store = app.store
    owner_id, dir_id = _text(args, "owner_id"), _text(args, "dir_id", ROOT_ID)
    _live_folder(store, owner_id, dir_id)
    content = _content(args)
    store.check_space(owner_id, len(content))
    details = {
        "description": replies.check_text("description", _text(args, "description", "")),
        "access": int(args.get("access", 0)),
        "price": float(args.get("price", 0)),
    }
    if "date_modified" in args:
        details["date_modified"] = int(args["date_modified"])
    checked = not args.get("unchecked_name", False)
    item = store.add_file(owner_id, dir_id, _text(args, "name"), content, checked, **details)
    return {
        "file_id": item.id,
        "location": content_location(item.id),
        "size": item.size,
        "md5": store.digest(store.content_path(item.id)),
    }


def add_files(app, args):
    """Several files of one content in one folder: seeds large trees quickly."""
    names = args.get("names")
    if not isinstance(names, list) or not all(isinstance(n, str) for n in names):
        raise ControlError("'names' must be a list of texts")
    store = app.store
    owner_id, dir_id = _text(args, "owner_id"), _text(args, "dir_id", ROOT_ID)
    _live_folder(store, owner_id, dir_id)
    content = _content(args)
    store.check_space(owner_id, len(content) * len(names))
    details = {}
    if "date_modified" in args:
        details["date_modified"] = int(args["date_modified"])
    ids = [store.add_file(owner_id, dir_id, name, content, **details).id for name in names]
    return {"file_ids": ids}


def _user_named(store, name):
    user = store.user_by_name(name)
    if user is None:
        raise ControlError(f"there is no user '{name}'")
    return user


def _child_named(store, user, folder_id, name):
    lowered = name.lower()
    return next(
        (i for i in store.children(user.id, folder_id) if i.name.lower() == lowered), None
    )


def _folder_at(store, user, path, create):
    """The id of the folder at a "/" separated path below the user's root."""
    folder_id = ROOT_ID
    for name in [part for part in path.split("/") if part]:
        found = _child_named(store, user, folder_id, name)
        if found is None and create:
            found = store.add_folder(user.id, folder_id, name)
        if found is None or not found.is_folder:
            raise ControlError(f"'{path}' is no folder of {user.name}")
        folder_id = found.id
    return folder_id


def _split_path(args):
    folder, _, name = _text(args, "path").strip("/").rpartition("/")
    if not name:
        raise ControlError("'path' names no item")
    return folder, name


def put_file(app, args):
    """A file at a path of a user's, by name: made with its folders, or its
    content replaced, as another computer of the user's would do."""
    store = app.store
    user = _user_named(store, _text(args, "user"))
    folder, name = _split_path(args)
    folder_id = _folder_at(store, user, folder, create=True)
    content = _content(args)
    existing = _child_named(store, user, folder_id, name)
    if existing is None:
        store.check_space(user.id, len(content))
        return {"file_id": store.add_file(user.id, folder_id, name, content).id, "made": True}
    if existing.is_folder:
        raise ControlError(f"'{name}' is a folder")
    store.check_space(user.id, len(content) - existing.size)
    store.replace_content(existing, content)
    return {"file_id": existing.id, "made": False}


def remove_path(app, args):
    """Moves the file or folder at a path of a user's to the trash."""
    store = app.store
    user = _user_named(store, _text(args, "user"))
    folder, name = _split_path(args)
    item = _child_named(store, user, _folder_at(store, user, folder, create=False), name)
    if item is None:
        raise ControlError(f"there is no '{name}' in '/{folder}'")
    store.trash(item)
    return {"item_id": item.id}


def list_folder(app, args):
    """The live items of a folder at a path of a user's."""
    store = app.store
    user = _user_named(store, _text(args, "user"))
    folder_id = _folder_at(store, user, _text(args, "path", "/"), create=False)
    return {
        "items": [
            {
                "name": i.name,
                "is_folder": i.is_folder,
                "size": getattr(i, "size", 0),
                "date_modified": getattr(i, "date_modified", 0),
            }
            for i in store.sorted_children(user.id, folder_id)
        ]
    }


def wait_files(app, args):
    """Waits up to `seconds` (at most 50) until the folder at a path of a
    user's holds `count` live files of `size` bytes; answers how many it
    holds. The wait sleeps until an upload is committed, so it costs the
    service nothing while the files are on their way."""
    store = app.store
    user = _user_named(store, _text(args, "user"))
    folder_id = _folder_at(store, user, _text(args, "path", "/"), create=False)
    count, size = int(_need(args, "count")), int(_need(args, "size"))
    deadline = time.monotonic() + min(float(args.get("seconds", 10)), 50.0)

    def held():
        return sum(
            1 for i in store.children(user.id, folder_id) if not i.is_folder and i.size == size
        )

    # The folder is listed again only once enough uploads went into it.
    commits_before = store.commits_in[folder_id]
    found = held()
    while found < count:
        left = deadline - time.monotonic()
        if left <= 0:
            break
        store.committed.wait(left)
        if store.commits_in[folder_id] - commits_before >= count - found:
            commits_before = store.commits_in[folder_id]
            found = held()
    return {"count": found}


def list_trash(app, args):
    """The paths of a user's items in the trash, in path order."""
    store = app.store
    user = _user_named(store, _text(args, "user"))
    return {"paths": sorted(store.path_of(i) for i in store.trash_of(user.id))}


def add_share(app, args):
    share = app.store.add_share(
        _text(args, "owner_id"),
        _text(args, "dir_id"),
        _text(args, "user_id"),
        int(args.get("mode", MODE_FULL)),
        bool(args.get("fixed", False)),
    )
    return {"share_id": share.id}


def grant_access(app, args):
    app.store.grant(
        _text(args, "access_id"), _text(args, "dir_id"), int(args.get("mode", MODE_FULL))
    )
    return {}


def add_notification(app, args):
    texts = [replies.check_text(k, _text(args, k, "")) for k in ("title", "text", "url")]
    app.store.user(_text(args, "user_id")).notifications.append(tuple(texts))
    return {}


def transfer_account(app, args):
    """Transfer-server credentials without a login, for tests of transfers alone."""
    store = app.store
    user = store.user(_text(args, "user_id"))
    account = store.new_transfer_account(user.id, _text(args, "access_id", ""))
    return {"host": app.site.ftp_url, "user": account.ftp_user, "password": account.password}


def arm(app, args):
    options = {
        k: args[k]
        for k in ("seconds", "type", "name", "description", "status", "body")
        if k in args
    }
    fault_id = app.faults.arm(
        "request",
        _text(args, "target"),
        _text(args, "kind"),
        args.get("count", 1),
        int(args.get("skip", 0)),
        **options,
    )
    return {"fault_id": fault_id}


def arm_transfer(app, args):
    options = {k: args[k] for k in ("path", "after", "seconds") if k in args}
    fault_id = app.faults.arm(
        "transfer",
        _text(args, "direction", "*"),
        _text(args, "kind"),
        args.get("count", 1),
        int(args.get("skip", 0)),
        **options,
    )
    return {"fault_id": fault_id}


def faults(app, args):
    return {"faults": app.faults.describe()}


def disarm(app, args):
    app.faults.clear()
    return {}


def requests(app, args):
    return {"requests": app.journal.requests(bool(args.get("clear", False)))}


def transfer_log(app, args):
    return {"commands": app.journal.commands(bool(args.get("clear", False)))}


def connections(app, args):
    """The HTTPS server's TLS handshakes and open connections (connection_counts)."""
    return app.connections.describe()


def _stored_path(store, args):
    if "file_id" in args:
        return store.content_path(store.item(str(args["file_id"]), want_folder=False).id)
    upload = store.upload_at(_text(args, "temp_location"))
    if upload is None:
        raise ControlError("no upload at that temp location")
    return store.upload_path(upload.token)


def file(app, args):
    store = app.store
    path = _stored_path(store, args)
    answer = {"size": os.path.getsize(path), "md5": store.digest(path)}
    if "file_id" in args:
        item = store.items[str(args["file_id"])]
        answer["record"] = dataclasses.asdict(item)
        answer["path"] = store.path_of(item)
        answer["live"] = store.is_live(item)
    return answer


def state(app, args):
    store = app.store
    items = []
    for item in store.items.values():
        entry = dataclasses.asdict(item)
        entry.update(is_folder=item.is_folder, path=store.path_of(item), live=store.is_live(item))
        items.append(entry)
    return {
        "users": [dataclasses.asdict(u) for u in store.users.values()],
        "access_accounts": [dataclasses.asdict(a) for a in store.access_accounts.values()],
        "items": items,
        "shares": [dataclasses.asdict(s) for s in store.shares.values()],
        "grants": [dataclasses.asdict(g) for g in store.grants],
        "uploads": [dataclasses.asdict(u) for u in store.uploads.values()],
        "emails": list(store.emails),
    }


VERBS = {
    f.__name__: f
    for f in (
        reset,
        add_user,
        add_access,
        add_folder,
        add_file,
        add_files,
        put_file,
        remove_path,
        list_folder,
        wait_files,
        list_trash,
        add_share,
        grant_access,
        add_notification,
        transfer_account,
        arm,
        arm_transfer,
        faults,
        disarm,
        requests,
        transfer_log,
        connections,
        file,
        state,
    )
}


class Control:
    def __init__(self, app):
        self.app = app

    def post(self, verb, body):
        """Runs one verb; answers (HTTP status, JSON bytes)."""
        try:
            args = json.loads(body or b"{}")
            if not isinstance(args, dict):
                raise ControlError("the body must be a JSON object")
            if verb not in VERBS:
                raise ControlError(f"unknown verb '{verb}'")
            with self.app.store.lock:
                try:
                    answer = VERBS[verb](self.app, args)
                finally:
                    self.app.store.saved()
            return 200, _json(answer)
        except ServiceError as failure:
            return 400, _json({"error": str(failure), "type": failure.kind})
        except (ControlError, ValueError, TypeError, KeyError, OSError) as failure:
            return 400, _json({"error": f"{type(failure).__name__}: {failure}"})

    def content(self, query):
        """The bytes of a stored file or upload; (status, bytes)."""
        args = {k: v[0] for k, v in parse_qs(query).items()}
        try:
            with self.app.store.lock:
                path = _stored_path(self.app.store, args)
                with open(path, "rb") as stored:
                    return 200, stored.read()
        except (ServiceError, ControlError, OSError) as failure:
            return 404, str(failure).encode("utf-8")


def _json(value):
    return json.dumps(value, ensure_ascii=False).encode("utf-8")
