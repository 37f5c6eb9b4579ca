"""Actions on folders and files: listings, changes, the trash, copies and the
bookkeeping around transfers. Each takes the request's Context and returns
the reply text."""

import replies
from permissions import folder_target, require, require_live
from replies import leaf, result
from store import MODE_FULL, content_location, upload_location


def _folder(ctx, key="dir_id"):
    return ctx.store.item(ctx.text(key), want_folder=True)


def _file(ctx, key="file_id"):
    return ctx.store.item(ctx.text(key), want_folder=False)


def _live(ctx, item, write=False, move_top=False):
    require_live(ctx.store, item)
    require(ctx.store, ctx.req, item, ctx.params, write=write, move_top=move_top)
    return item


def _refuse_access_root(what):
    raise replies.access_denied(f"{what} can not be placed at the top of an access account")


# --- listings and paths


def list_dir(ctx):
    store, req = ctx.store, ctx.req
    target = folder_target(store, req, ctx.text("dir_id"), ctx.params, write=False, in_trash=True)
    if target.access_root:
        opened = [store.items[g.folder_id] for g in store.grants_of(req.access.id)]
        return result(*(ctx.folder_record(f, movable=False) for f in opened))
    children = store.sorted_children(target.owner_id, target.parent_id)
    return result(*(ctx.item_record(i) for i in children))


def list_trash_dir(ctx):
    req = ctx.req
    if req.access:
        return result()
    trashed = sorted(ctx.store.trash_of(req.user.id), key=lambda i: (not i.is_folder, i.name))
    return result(*(ctx.item_record(i) for i in trashed))


def get_dir_path(ctx):
    return result(leaf("Path", ctx.store.path_of(_live(ctx, _folder(ctx)))))


def get_file_path(ctx):
    return result(leaf("Path", ctx.store.path_of(_live(ctx, _file(ctx)))))


# --- properties


def _set_description(ctx, item):
    _live(ctx, item, write=True)
    item.description = replies.check_text("description", ctx.text("description"))
    return result()


def set_dir_description(ctx):
    return _set_description(ctx, _folder(ctx))


def set_file_description(ctx):
    return _set_description(ctx, _file(ctx))


def _set_access(ctx, item):
    _live(ctx, item, write=True)
    item.access = ctx.access_value("access")
    return result()


def set_dir_access(ctx):
    return _set_access(ctx, _folder(ctx))


def set_file_access(ctx):
    return _set_access(ctx, _file(ctx))


def set_file_price(ctx):
    item = _live(ctx, _file(ctx), write=True)
    price = ctx.real("price")
    if price < 0:
        raise replies.invalid("price", "can not be negative")
    item.price = price
    return result()


def set_file_date(ctx):
    item = _live(ctx, _file(ctx), write=True)
    item.date_modified = ctx.integer("file_datetime")
    return result()


# --- rename, trash, restore, remove


def _rename(ctx, item):
    _live(ctx, item, write=True, move_top=True)
    ctx.store.rename(item, ctx.text("new_name"))
    return result()


def rename_dir(ctx):
    return _rename(ctx, _folder(ctx))


def rename_file(ctx):
    return _rename(ctx, _file(ctx))


def _trash(ctx, item):
    _live(ctx, item, write=True, move_top=True)
    ctx.store.trash(item)
    return result()


def move_dir_to_trash(ctx):
    return _trash(ctx, _folder(ctx))


def move_file_to_trash(ctx):
    return _trash(ctx, _file(ctx))


def _remove(ctx, item):
    require(ctx.store, ctx.req, item, ctx.params, write=True, move_top=True)
    ctx.store.remove(item)
    return result()


def remove_dir(ctx):
    return _remove(ctx, _folder(ctx))


def remove_file(ctx):
    return _remove(ctx, _file(ctx))


def _restore(ctx, item):
    require(ctx.store, ctx.req, item, ctx.params, write=True)
    ctx.store.restore(item)
    return result()


def restore_dir_from_trash(ctx):
    return _restore(ctx, _folder(ctx))


def restore_file_from_trash(ctx):
    return _restore(ctx, _file(ctx))


# --- creating


def _new_item_target(ctx, what):
    target = folder_target(ctx.store, ctx.req, ctx.text("dir_id"), ctx.params, write=True)
    if target.access_root:
        _refuse_access_root(what)
    return target


def _new_file(ctx):
    target = _new_item_target(ctx, "Files")
    size = ctx.integer("size")
    if size < 0:
        raise replies.invalid("size", "can not be negative")
    ctx.store.check_space(target.owner_id, size)
    return ctx.store.add_file(
        target.owner_id, target.parent_id, ctx.text("name"), access=ctx.access_value("dir_access")
    )


def create_file(ctx):
    return result(ctx.file_record(_new_file(ctx)))


def create_and_open_file(ctx):
    item = _new_file(ctx)
    upload = ctx.store.start_upload(item.id)
    return result(ctx.file_record(item), leaf("TempLocation", upload_location(upload.token)))


def create_dir(ctx):
    store, req = ctx.store, ctx.req
    target = folder_target(store, req, ctx.text("dir_id"), ctx.params, write=True)
    access = ctx.access_value("dir_access")
    folder = store.add_folder(target.owner_id, target.parent_id, ctx.text("name"), access=access)
    if target.access_root:
        # A folder made at the top of an access account is opened to it at once,
        # so that the account's own listing shows it.
        store.grant(req.access.id, folder.id, MODE_FULL)
    return result(ctx.folder_record(folder))


# --- transfers


def open_file_upload(ctx):
    item = _live(ctx, _file(ctx), write=True)
    size = ctx.integer("size")
    if size < 0:
        raise replies.invalid("size", "can not be negative")
    ctx.store.check_space(item.owner_id, size - item.size)
    upload = ctx.store.start_upload(item.id)
    return result(leaf("TempLocation", upload_location(upload.token)))


def close_file_upload(ctx):
    item = _live(ctx, _file(ctx), write=True)
    size = ctx.integer("file_size")
    if size < 0:
        raise replies.invalid("file_size", "can not be negative")
    ctx.store.commit_upload(item, ctx.text("temp_location"), size, ctx.integer("file_time"))
    return result(ctx.file_record(item))


def open_file_download(ctx):
    item = _live(ctx, _file(ctx))
    item.date_accessed = ctx.store.now()
    return result(leaf("Location", content_location(item.id)), leaf("Size", item.size))


def close_file_download(ctx):
    _live(ctx, _file(ctx))
    return result()


# --- copy and move


def copy_file(ctx):
    store, req = ctx.store, ctx.req
    move = ctx.text("move")
    if move not in ("0", "1"):
        raise replies.invalid("move", "must be 0 or 1")
    source = _file(ctx, "src_file_id")
    require_live(store, source)
    require(store, req, source, ctx.params, write=move == "1", prefix="src_")
    target = folder_target(
        store, req, ctx.text("dst_dir_id"), ctx.params, write=True, prefix="dst_"
    )
    if target.access_root:
        _refuse_access_root("Files")
    if move == "1":
        if source.owner_id != target.owner_id:
            store.check_space(target.owner_id, source.size)
        store.move_item(source, target.owner_id, target.parent_id)
        return result(ctx.file_record(source))
    store.check_space(target.owner_id, source.size)
    return result(ctx.file_record(store.copy_file(source, target.owner_id, target.parent_id)))


ACTIONS = {
    f.__name__: f
    for f in (
        list_dir,
        list_trash_dir,
        get_dir_path,
        get_file_path,
        set_dir_description,
        set_file_description,
        set_dir_access,
        set_file_access,
        set_file_price,
        set_file_date,
        rename_dir,
        rename_file,
        move_dir_to_trash,
        move_file_to_trash,
        remove_dir,
        remove_file,
        restore_dir_from_trash,
        restore_file_from_trash,
        create_file,
        create_and_open_file,
        create_dir,
        open_file_upload,
        close_file_upload,
        open_file_download,
        close_file_download,
        copy_file,
    )
}
