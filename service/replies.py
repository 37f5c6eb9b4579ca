"""The tagged-text replies of the service and the errors it reports in them.

A reply is one `Result` element. Fields are leaf children, records are
children with leaf children of their own. A "<" or ">" inside a text is
written with a backslash before it; the format has no way to carry a
backslash right before a closing tag, so texts ending in a backslash are
refused where they enter the service (see `check_text`).
"""

# Error types. The client tells only type 1 (the name exists) apart from the
# others; the rest are ours.
ALREADY_EXISTS = 1
NOT_FOUND = 2
ACCESS_DENIED = 3
INVALID_PARAMETER = 4
LOGIN_FAILED = 5
NO_SPACE = 6
UPLOAD_INCOMPLETE = 7
NOT_LOGGED_IN = 8
SERVER_ERROR = 9


class ServiceError(Exception):
    """A failure that the service answers with an `Error` element."""

    def __init__(self, kind, name, description):
        super().__init__(f"{name}: {description}")
        self.kind = kind
        self.name = name
        self.description = description


def not_found(what="The folder or file"):
    return ServiceError(NOT_FOUND, "Item not found", f"{what} does not exist")


def access_denied(description="You have no permission for this operation"):
    return ServiceError(ACCESS_DENIED, "Access denied", description)


def invalid(parameter, why="is missing or invalid"):
    return ServiceError(INVALID_PARAMETER, "Invalid parameter", f"Parameter '{parameter}' {why}")


def already_exists(name):
    return ServiceError(
        ALREADY_EXISTS, "Item already exists", f"An item named '{name}' already exists here"
    )


def check_text(parameter, text):
    """Refuses a text that a reply could not carry intact."""
    if text.endswith("\\"):
        raise invalid(parameter, "can not end with a backslash")
    return text


def escape(text):
    if text.endswith("\\"):
        raise ValueError("a reply text can not end with a backslash")
    if "<" not in text and ">" not in text:
        return text
    return text.replace("<", "\\<").replace(">", "\\>")


def flag(value):
    return "True" if value else "False"


def leaf(name, value):
    if isinstance(value, bool):
        value = flag(value)
    return f"<{name}>{escape(str(value))}</{name}>"


def record(name, fields):
    """One record: `fields` is a sequence of (element name, value) pairs."""
    return f"<{name}>" + "".join(leaf(k, v) for k, v in fields) + f"</{name}>"


def result(*parts):
    return "<Result>" + "".join(parts) + "</Result>"


def error_reply(kind, name, description):
    return result(record("Error", [("Type", kind), ("Name", name), ("Description", description)]))
