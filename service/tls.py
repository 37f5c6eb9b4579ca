"""The self-signed certificate that both servers present, made at start."""

import datetime
import ipaddress
import os

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID


def _subject_names(host):
    """The names a client may reach the servers by: the loopback address also
    as "localhost"; any other host by that name alone."""
    try:
        return [x509.IPAddress(ipaddress.ip_address(host)), x509.DNSName("localhost")]
    except ValueError:
        return [x509.DNSName(host)]


def make_certificate(folder, host="127.0.0.1", reuse=False):
    """Writes a fresh key and a certificate for host; returns their paths.
    With reuse, a key and certificate the folder holds already are kept, so
    clients that trust the certificate of an earlier run reach this one.

    The certificate is its own issuer, so the file that holds it is also the
    one certificate authority a client must trust to reach the servers."""
    os.makedirs(folder, exist_ok=True)
    cert_path = os.path.join(folder, "server.crt")
    key_path = os.path.join(folder, "server.key")
    if reuse and os.path.exists(cert_path) and os.path.exists(key_path):
        return cert_path, key_path
    key = ec.generate_private_key(ec.SECP256R1())
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, host)])
    now = datetime.datetime.now(datetime.timezone.utc)
    certificate = (
        x509.CertificateBuilder()
        .subject_name(name)
        .issuer_name(name)
        .public_key(key.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(now - datetime.timedelta(days=1))
        .not_valid_after(now + datetime.timedelta(days=3650))
        .add_extension(x509.SubjectAlternativeName(_subject_names(host)), critical=False)
        .sign(key, hashes.SHA256())
    )
    with open(key_path, "wb") as out:
        out.write(
            key.private_bytes(
                serialization.Encoding.PEM,
                serialization.PrivateFormat.PKCS8,
                serialization.NoEncryption(),
            )
        )
    with open(cert_path, "wb") as out:
        out.write(certificate.public_bytes(serialization.Encoding.PEM))
    return cert_path, key_path
