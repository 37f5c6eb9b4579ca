"""The `Data` field of the login and "restore_session" replies.

It hands the client the transfer server's address and credentials, enciphered
so that only a client that knows the sign-in values can read them. The scheme,
which the client follows in the same way:
  key text   = the first 24 characters of the lower-case hex MD5 of the UTF-8
               bytes of user id + user name + password, where name and
               password are exactly the "user" and "pass" the login sent
               (for "restore_session": the user id, "R" and "S");
  plaintext  = "<Host>h</Host><User>u</User><Pass>p</Pass>" in windows-1252
               (the client's ANSI code page), then NUL bytes up to a
               multiple of 8 (at least one NUL);
  cipher     = Blowfish in CBC mode, the 24 key-text bytes as the key, an IV
               of 8 zero bytes;
  Data       = the Base64 text (RFC 4648, "=" padding) of the ciphertext.
"""

import base64
import hashlib
import warnings

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
from cryptography.utils import CryptographyDeprecationWarning

RESTORE_NAME = "R"
RESTORE_PASSWORD = "S"
BLOCK = 8
CODE_PAGE = "cp1252"


def key_text(user_id, name, password):
    return hashlib.md5((user_id + name + password).encode("utf-8")).hexdigest()[:24]


def _cipher(key):
    # Blowfish is deprecated in the library but is what the client deciphers.
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", CryptographyDeprecationWarning)
        return Cipher(algorithms.Blowfish(key.encode("ascii")), modes.CBC(bytes(BLOCK)))


def can_carry(text):
    """Whether the plaintext's code page has every character of the text."""
    try:
        text.encode(CODE_PAGE)
    except UnicodeEncodeError:
        return False
    return True


def seal(key, host, user, password):
    plain = f"<Host>{host}</Host><User>{user}</User><Pass>{password}</Pass>".encode(CODE_PAGE)
    plain += bytes(BLOCK - len(plain) % BLOCK)
    encryptor = _cipher(key).encryptor()
    return base64.b64encode(encryptor.update(plain) + encryptor.finalize()).decode("ascii")
