"""The service's scripts: routing, the form body, armed faults and the log.

"/cm_get_path.php" sits at the top; it answers the path prefix under which
every other script lives. The new-account script is also answered without the
prefix, since a client may address it before it has a session.
"""

import base64
import logging
import traceback
from dataclasses import dataclass
from urllib.parse import unquote_to_bytes

import operations_account
import operations_tree
import replies
from context import Context
from replies import ServiceError, error_reply, leaf, result

PREFIX = "/calvimora/api"
GET_PATH = "/cm_get_path.php"
OPERATIONS = "cm_operations.php"
THUMBNAIL = "cm_thumbnail.php"
EMAIL = "cm_email.php"
PROFILE = "cm_profile.php"

ACTIONS = {**operations_tree.ACTIONS, **operations_account.ACTIONS}

HTML_PAGE = (
    "<html><head><title>{status} Server Error</title></head>"
    "<body><h1>Server Error</h1><p>The server could not answer.</p></body></html>"
)

log = logging.getLogger("calvimora.api")


@dataclass
class Response:
    status: int = 200
    body: bytes = b""
    content_type: str = "text/plain; charset=utf-8"
    drop: bool = False  # break the answer off after its headers
    close: bool = False  # close the connection without reading further or answering


def xml(text, status=200):
    return Response(status, text.encode("utf-8"))


def parse_form(body):
    """The parameters of a form body, split at "&" and at the first "=".

    Values are percent-decoded without turning "+" into a blank: the client
    escapes "+" itself and sends blanks as they are.
    """
    params = {}
    for pair in body.split(b"&"):
        if pair:
            key, _, value = pair.partition(b"=")
            params[_decode(key)] = _decode(value)
    return params


def _decode(raw):
    data = unquote_to_bytes(raw)
    try:
        text = data.decode("utf-8", "surrogatepass")
    except UnicodeDecodeError:
        return data.decode("utf-8", "replace")
    # The client encodes each UTF-16 unit by itself, so a character outside
    # the basic plane may arrive as two encoded surrogates: join such pairs.
    return text.encode("utf-16-le", "surrogatepass").decode("utf-16-le", "replace")


class Api:
    def __init__(self, app):
        self.app = app
        self._scripts = {
            GET_PATH: (GET_PATH.lstrip("/"), self._path_prefix),
            f"{PREFIX}/{OPERATIONS}": (OPERATIONS, self._operation),
            f"{PREFIX}/{THUMBNAIL}": (THUMBNAIL, operations_account.thumbnail_image),
            f"{PREFIX}/{EMAIL}": (EMAIL, operations_account.email_for_sharing),
            f"{PREFIX}/{PROFILE}": (PROFILE, self._profile),
            f"/{PROFILE}": (PROFILE, self._profile),
        }

    def handle(self, path, body):
        if path not in self._scripts:
            return xml(error_reply(replies.NOT_FOUND, "Not found", f"No script at {path}"), 404)
        script, run = self._scripts[path]
        params = parse_form(body)
        target = params.get("action", "") if script == OPERATIONS else script
        fault = self.app.faults.take("request", target)
        self.app.journal.add_request(
            {
                "path": path,
                "action": target,
                "params": params,
                "body": body.decode("utf-8", "replace"),
                "body_base64": base64.b64encode(body).decode("ascii"),
                "fault": fault.kind if fault else None,
            }
        )
        if fault is not None:
            early = self._fault_before(fault)
            if early is not None:
                return early
        response = self._run(run, params)
        if fault is not None and fault.kind == "drop_after":
            return Response(drop=True)
        return response

    def _fault_before(self, fault):
        options = fault.options
        if fault.kind == "drop":
            return Response(drop=True)
        if fault.kind == "close":
            return Response(close=True)
        if fault.kind == "delay":
            self.app.stopping.wait(float(options.get("seconds", 1)))
            return None
        if fault.kind == "garbage":
            return Response(200, options.get("body", "This is no reply at all").encode("utf-8"))
        if fault.kind == "html":
            status = int(options.get("status", 500))
            return Response(status, HTML_PAGE.format(status=status).encode(), "text/html")
        if fault.kind == "error":
            return xml(
                error_reply(
                    int(options.get("type", replies.SERVER_ERROR)),
                    options.get("name", "Server error"),
                    options.get("description", "The service could not do this now"),
                )
            )
        if fault.kind == "refuse":
            refused = operations_account.login_refused()
            return xml(error_reply(refused.kind, refused.name, refused.description))
        return None

    def _run(self, run, params):
        ctx = Context(self.app.store, self.app.site, params)
        try:
            with self.app.store.lock:
                try:
                    answer = run(ctx)
                finally:
                    self.app.store.saved()
        except ServiceError as failure:
            return xml(error_reply(failure.kind, failure.name, failure.description))
        except Exception:
            log.error("request failed:\n%s", traceback.format_exc())
            return xml(
                error_reply(
                    replies.SERVER_ERROR, "Server error", "The request failed on the server"
                ),
                500,
            )
        if isinstance(answer, bytes):
            return Response(200, answer, "image/jpeg")
        return xml(answer)

    def _path_prefix(self, ctx):
        return result(leaf("Path", PREFIX))

    def _operation(self, ctx):
        action = ctx.text("action")
        if action not in ACTIONS:
            raise replies.invalid("action", f"names no action ('{action}')")
        return ACTIONS[action](ctx)

    def _profile(self, ctx):
        if ctx.text("action") != "new_profile":
            raise replies.invalid("action", "must be new_profile")
        return operations_account.new_profile(ctx)
