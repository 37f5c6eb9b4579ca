"""Actions about accounts and sessions: login, the session's own requests
(notifications, storage, settings), sharing between users, new accounts,
sharing e-mails and thumbnails."""

import login_data
import permissions
import replies
import thumbnail
from context import number_text
from replies import ServiceError, leaf, record, result
from store import MODE_FULL, MODE_VIEW


def _session_reply(ctx, user, access, key):
    account = ctx.store.new_transfer_account(user.id, access.id if access else "")
    data = login_data.seal(key, ctx.site.ftp_url, account.ftp_user, account.password)
    return result(
        leaf("UserID", user.id),
        leaf("UserAccessID", access.id if access else ""),
        leaf("UserName", access.name if access else user.name),
        leaf("UserLang", user.lang),
        leaf("UserLevel", user.level),
        leaf("UploadSpeedLimit", user.upload_limit),
        leaf("DownloadSpeedLimit", user.download_limit),
        leaf("Data", data),
    )


def login_refused():
    return ServiceError(replies.LOGIN_FAILED, "Login failed", "Invalid user name or password")


def login(ctx):
    store = ctx.store
    name, password = ctx.text("user"), ctx.text("pass")
    user, access = store.user_by_name(name), None
    if user is None:
        access = store.access_by_name(name)
        if access is None or access.password != password:
            raise login_refused()
        user = store.user(access.owner_id)
    elif user.password != password:
        raise login_refused()
    return _session_reply(ctx, user, access, login_data.key_text(user.id, name, password))


def restore_session(ctx):
    req = ctx.req
    key = login_data.key_text(req.user.id, login_data.RESTORE_NAME, login_data.RESTORE_PASSWORD)
    return _session_reply(ctx, req.user, req.access, key)


# --- the session's own requests


def get_user_notifications(ctx):
    notes = ctx.req.user.notifications
    return result(
        *(record("Notification", [("Title", t), ("Text", x), ("URL", u)]) for t, x, u in notes)
    )


def get_storage_info(ctx):
    user = ctx.req.user
    used = ctx.store.space_used(user.id)
    return result(
        leaf("Capacity", user.capacity),
        leaf("SpaceUsed", used),
        leaf("SpaceFree", max(user.capacity - used, 0)),
    )


def get_pro_settings(ctx):
    settings = ctx.req.user.pro_settings
    return result(
        *(record("ProSetting", [("Name", n), ("Value", v), ("Type", t)]) for n, v, t in settings)
    )


def set_pro_setting(ctx):
    user = ctx.req.user
    name = ctx.text("setting_name")
    value = replies.check_text("setting_value", ctx.text("setting_value"))
    kind = ctx.integer("setting_type")
    if not name:
        raise replies.invalid("setting_name", "is empty")
    if kind == 1:
        value = str(ctx.integer("setting_value"))
    elif kind == 2:
        value = number_text(ctx.real("setting_value"))
    elif kind != 0:
        raise replies.invalid("setting_type", "must be 0 (text), 1 (integer) or 2 (real)")
    user.pro_settings = [s for s in user.pro_settings if s[0] != name] + [(name, value, kind)]
    return result()


# --- shares between users


def has_share_folders(ctx):
    return result(replies.flag(bool(ctx.store.shares_with(ctx.req.user.id))))


def list_shared_users(ctx):
    owners = []
    for share in ctx.store.shares_with(ctx.req.user.id):
        if share.owner_id not in owners:
            owners.append(share.owner_id)
    users = [ctx.store.user(o) for o in owners]
    return result(
        *(record("UserSharedFolder", [("UserID", u.id), ("Name", u.name)]) for u in users)
    )


def list_shared_directories(ctx):
    owner_id = ctx.text("share_user_id")
    shares = [s for s in ctx.store.shares_with(ctx.req.user.id) if s.owner_id == owner_id]
    return result(
        *(
            ctx.folder_record(ctx.store.items[s.folder_id], "SharedDirectory", movable=False)
            for s in shares
        )
    )


def _account_ids(user, access=None):
    return result(leaf("UserID", user.id), leaf("UserAccessID", access.id if access else ""))


def get_userid_by_name(ctx):
    store = ctx.store
    name = ctx.text("name")
    user = store.user_by_name(name)
    if user is not None:
        return _account_ids(user)
    access = store.access_by_name(name)
    if access is not None:
        return _account_ids(store.user(access.owner_id), access)
    raise ServiceError(replies.NOT_FOUND, "User not found", f"There is no user named '{name}'")


def get_userid_by_email(ctx):
    email = ctx.text("email")
    user = ctx.store.user_by_email(email)
    if user is None:
        raise ServiceError(
            replies.NOT_FOUND, "User not found", f"No user has the address '{email}'"
        )
    return _account_ids(user)


def _share_mode(ctx):
    mode = ctx.integer("sharemode")
    if mode not in (MODE_VIEW, MODE_FULL):
        raise replies.invalid("sharemode", "must be 0 (view) or 1 (full)")
    return mode


def _owner(ctx):
    req = ctx.req
    if req.access:
        raise replies.access_denied("An access account can not share folders")
    return req.user


def share_folder(ctx):
    user = _owner(ctx)
    mode = _share_mode(ctx)
    ctx.store.add_share(user.id, ctx.text("dir_id"), ctx.text("sharewithuser_id"), mode)
    return result()


def _share(ctx):
    share = ctx.store.shares.get(ctx.text("sharedfolder_id"))
    if share is None:
        raise ServiceError(replies.NOT_FOUND, "Share not found", "There is no such share")
    return share


def _changeable_by(share, req):
    """Whether the requester may change the share's mode or end it from its folder."""
    return not req.access and share.owner_id == req.user.id and not share.fixed


# The bits of a ShareWithUser record's Flags.
SHARE_FLAG_CHANGEABLE = 1


def change_folder_share_mode(ctx):
    user = _owner(ctx)
    share = _share(ctx)
    if share.owner_id != user.id:
        raise replies.access_denied("Only the owner can change how a folder is shared")
    if share.fixed:
        raise replies.access_denied("The service keeps this share as it is")
    share.mode = _share_mode(ctx)
    return result()


def delete_sharing_with_user(ctx):
    user = _owner(ctx)
    share = _share(ctx)
    if user.id not in (share.owner_id, share.user_id):
        raise replies.access_denied("The share belongs to other users")
    if share.fixed:
        raise replies.access_denied("The service keeps this share as it is")
    del ctx.store.shares[share.id]
    return result()


def list_share_whith_users(ctx):
    store = ctx.store
    folder = store.item(ctx.text("dir_id"), want_folder=True)
    permissions.require(store, ctx.req, folder, ctx.params)
    shares = [s for s in store.shares.values() if s.folder_id == folder.id]
    return result(
        *(
            record(
                "ShareWithUser",
                [
                    ("ID", s.id),
                    ("ShareWithUserID", s.user_id),
                    ("Name", store.user(s.user_id).name),
                    ("ShareMode", s.mode),
                    ("Flags", SHARE_FLAG_CHANGEABLE if _changeable_by(s, ctx.req) else 0),
                ],
            )
            for s in shares
        )
    )


# --- the other scripts


def new_profile(ctx):
    name = ctx.text("user_name")
    password = ctx.text("passwd")
    email = ctx.text("email")
    if not password:
        raise replies.invalid("passwd", "is empty")
    if password != ctx.text("verify_passwd"):
        raise ServiceError(replies.INVALID_PARAMETER, "Invalid password", "The passwords differ")
    if email and ("@" not in email or ctx.store.user_by_email(email)):
        raise replies.invalid("email", "is not a free e-mail address")
    user = ctx.store.add_user(
        name,
        password,
        email=replies.check_text("email", email),
        first_name=replies.check_text("first_name", ctx.text("first_name")),
        last_name=replies.check_text("last_name", ctx.text("last_name")),
    )
    return result(leaf("UserID", user.id))


def email_for_sharing(ctx):
    """The sharing invitation: kept in the outbox that tests read."""
    user = _owner(ctx)
    if ctx.text("action") != "share_folder":
        raise replies.invalid("action", "must be share_folder")
    folder = ctx.store.item(ctx.text("dir_id"), want_folder=True)
    if folder.owner_id != user.id:
        raise replies.access_denied("Only the owner can invite to a folder")
    email = ctx.text("email")
    if "@" not in email:
        raise replies.invalid("email", "is not an e-mail address")
    ctx.store.emails.append({"from": user.id, "to": email, "dir_id": folder.id})
    return result(leaf("Status", "OK"))


def thumbnail_image(ctx):
    store = ctx.store
    item = store.item(ctx.text("file_id"), want_folder=False)
    permissions.require_live(store, item)
    permissions.require(store, ctx.req, item, ctx.params)
    shared_user_id = ctx.text("shared_user_id")
    if shared_user_id and shared_user_id != item.owner_id:
        raise replies.access_denied("The file does not belong to that user")
    return thumbnail.thumbnail(f"{item.id} {item.name}")


ACTIONS = {
    f.__name__: f
    for f in (
        login,
        restore_session,
        get_user_notifications,
        get_storage_info,
        get_pro_settings,
        set_pro_setting,
        has_share_folders,
        list_shared_users,
        list_shared_directories,
        get_userid_by_name,
        get_userid_by_email,
        share_folder,
        change_folder_share_mode,
        delete_sharing_with_user,
        list_share_whith_users,
    )
}
