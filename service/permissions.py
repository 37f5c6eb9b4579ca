"""Who sends a request, and what that requester may do with an item.

Requests name their user by "user_id" and, for an access account, by
"user_id_access". An item is reached as its owner, through a share
("share_user_id" and "share_id", the top folder of the share) or through an
access grant ("access_dir_id", the top folder opened to the account). The
share and access keys are checked when they are sent; when they are not, the
requester may still reach an item that lies inside a share or grant of theirs,
because files created there come back to the client as its own files, whose
later requests carry no keys.
"""

from dataclasses import dataclass

import replies
from replies import ServiceError
from store import MODE_FULL, ROOT_ID


SHARE = "a share"
ACCESS = "an access account"


@dataclass
class Requester:
    user: object
    access: object


@dataclass
class Reach:
    full: bool  # may change the item
    top: bool  # the item is the top folder of the share or grant it was reached through
    through: str = ""  # "a share" or "an access account"; empty for the owner


@dataclass
class Target:
    """A folder that something is listed in, created in or copied into."""

    owner_id: str
    parent_id: str
    access_root: bool = False


def requester(store, params):
    user = store.users.get(params.get("user_id", ""))
    access_id = params.get("user_id_access", "")
    access = store.access_accounts.get(access_id) if access_id else None
    if user is None or (access_id and (access is None or access.owner_id != user.id)):
        raise ServiceError(
            replies.NOT_LOGGED_IN, "Not logged in", "The user is unknown; please log in again"
        )
    return Requester(user, access)


def _keys(params, prefix):
    return (
        params.get(prefix + "share_user_id", ""),
        params.get(prefix + "share_id", ""),
        params.get(prefix + "access_dir_id", ""),
    )


def reach(store, req, item, params, prefix=""):
    share_user_id, share_id, access_dir_id = _keys(params, prefix)
    if share_user_id or share_id:
        share = next(
            (
                s
                for s in store.shares.values()
                if s.folder_id == share_id
                and s.owner_id == share_user_id
                and s.user_id == req.user.id
            ),
            None,
        )
        if req.access or share is None or not store.is_within(item, share_id):
            raise replies.access_denied("The item is not in a folder shared with you")
        return Reach(share.mode == MODE_FULL, item.id == share_id, SHARE)
    if access_dir_id:
        grant = next(
            (
                g
                for g in store.grants
                if req.access and g.access_id == req.access.id and g.folder_id == access_dir_id
            ),
            None,
        )
        if grant is None or not store.is_within(item, access_dir_id):
            raise replies.access_denied("The item is not in a folder opened to this account")
        return Reach(grant.mode == MODE_FULL, item.id == access_dir_id, ACCESS)
    if req.access:
        ways = [
            (g.mode, g.folder_id)
            for g in store.grants
            if g.access_id == req.access.id and store.is_within(item, g.folder_id)
        ]
    elif item.owner_id == req.user.id:
        return Reach(True, False)
    else:
        ways = [
            (s.mode, s.folder_id)
            for s in store.shares.values()
            if s.user_id == req.user.id and store.is_within(item, s.folder_id)
        ]
    if not ways:
        raise replies.not_found()
    return Reach(
        any(mode == MODE_FULL for mode, _ in ways),
        any(top == item.id for _, top in ways),
        ACCESS if req.access else SHARE,
    )


def require(store, req, item, params, write=False, move_top=False, prefix=""):
    """Checks the requester's rights on an item; `move_top` marks operations
    (rename, delete) that the top folder of a share or grant never allows."""
    granted = reach(store, req, item, params, prefix)
    if write and not granted.full:
        raise replies.access_denied("The folder is opened to you for viewing only")
    if move_top and granted.top:
        raise replies.access_denied(
            f"The top folder of {granted.through} can not be renamed or removed"
        )


def require_live(store, item):
    if not store.is_live(item):
        raise replies.not_found()


def folder_target(store, req, dir_id, params, write, prefix="", in_trash=False):
    """The folder a request lists, creates in or copies to: "0" is the
    requester's root, or for an access account the folders opened to it.
    With in_trash, the owner may also read a folder that lies in the trash
    (to delete its contents for good before the folder itself)."""
    if dir_id == ROOT_ID:
        if any(_keys(params, prefix)):
            raise replies.invalid(prefix + "dir_id", "can not be the root inside a share")
        if req.access:
            return Target(req.access.owner_id, ROOT_ID, access_root=True)
        return Target(req.user.id, ROOT_ID)
    folder = store.item(dir_id, want_folder=True)
    owner_reads_trash = (
        in_trash and not write and not req.access and not any(_keys(params, prefix))
        and req.user is not None and folder.owner_id == req.user.id
    )
    if not owner_reads_trash:
        require_live(store, folder)
    require(store, req, folder, params, write=write, prefix=prefix)
    return Target(folder.owner_id, folder.id)
