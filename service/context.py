"""One request as the actions see it: its parameters, its requester, and the
records that the listings and create replies carry."""

import math
import re
from dataclasses import dataclass
from urllib.parse import quote

import permissions
import replies
from replies import record
from store import content_location


@dataclass
class Site:
    """Where the service is reached, for links and the login reply."""

    base_url: str
    ftp_url: str
    prefix: str


# Texts that URL quoting leaves as they are.
_UNQUOTED = re.compile(r"[A-Za-z0-9_.~/-]*")


def _quoted(text):
    return text if _UNQUOTED.fullmatch(text) else quote(text)


def number_text(value):
    """A number as the client reads it: 10 for 10.0, 2.5 for 2.5."""
    value = float(value)
    return str(int(value)) if value.is_integer() else repr(value)


class Context:
    def __init__(self, store, site, params):
        self.store = store
        self.site = site
        self.params = params
        self._requester = None

    @property
    def req(self):
        if self._requester is None:
            self._requester = permissions.requester(self.store, self.params)
        return self._requester

    def text(self, name):
        value = self.params.get(name)
        if value is None:
            raise replies.invalid(name, "is missing")
        return value

    def integer(self, name):
        try:
            return int(self.text(name))
        except ValueError:
            raise replies.invalid(name, "is not a whole number") from None

    def real(self, name):
        try:
            value = float(self.text(name))
        except ValueError:
            raise replies.invalid(name, "is not a number") from None
        if not math.isfinite(value):
            raise replies.invalid(name, "is not a number")
        return value

    def access_value(self, name):
        value = self.integer(name)
        if value not in (0, 1, 2):
            raise replies.invalid(name, "must be 0 (private), 1 (public) or 2 (hidden)")
        return value

    # --- records

    def folder_record(self, folder, name="Directory", movable=True):
        store = self.store
        fields = [
            ("ID", folder.id),
            ("Name", folder.name),
            ("Description", folder.description),
            ("Link", f"{self.site.base_url}/d/{folder.id}"),
            ("Access", folder.access),
            ("IsGallery", folder.is_gallery),
            ("IsMP3", folder.is_mp3),
            ("IsHomeFolder", folder.is_home),
            ("IsRenameable", movable and not folder.is_home),
            ("IsDeleteable", movable and not folder.is_home),
            ("HasSubfolders", store.has_subfolders(folder)),
            ("Shared", any(s.folder_id == folder.id for s in store.shares.values())),
            ("DateCreated", folder.date_created),
            ("DateDeleted", folder.date_deleted),
        ]
        return record(name, fields)

    def file_record(self, item):
        """The "File" record, written in one piece: listings carry one per
        file, and the generic record() costs a call per field. The same
        text as record("File", ...) with the fields in this order."""
        base = self.site.base_url
        escape = replies.escape
        item_id = escape(str(item.id))
        name = escape(item.name)
        return (
            f"<File><ID>{item_id}</ID><Name>{name}</Name>"
            f"<Link>{escape(f'{base}/f/{item.id}')}</Link>"
            f"<DirectLink>{escape(f'{base}/direct/{item.id}/{_quoted(item.name)}')}</DirectLink>"
            f"<Location>{escape(content_location(item.id))}</Location>"
            f"<Description>{escape(item.description)}</Description>"
            f"<Access>{item.access}</Access><Price>{escape(number_text(item.price))}</Price>"
            f"<Size>{item.size}</Size><DateAccessed>{item.date_accessed}</DateAccessed>"
            f"<DateModified>{item.date_modified}</DateModified>"
            f"<DateDeleted>{item.date_deleted}</DateDeleted></File>"
        )

    def item_record(self, item):
        return self.folder_record(item) if item.is_folder else self.file_record(item)
