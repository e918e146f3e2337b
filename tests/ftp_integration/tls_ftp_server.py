"""A pyftpdlib FTPS server (explicit TLS) for the integration tests: serves ROOT to "alice"
(password "secret") on 127.0.0.1, with a self-signed certificate made here for 127.0.0.1 and
written to CERTFILE. Prints the port on the first line of stdout.
With --fixed-data-handler the data connections take a TLS handshake that begins before the
transfer's command (STOR, LIST) has been taken; Debian's pyftpdlib 1.5.7 closes such a connection.
With --require-reuse every data connection must resume a TLS session of the login, as vsftpd
insists by default (require_ssl_reuse); one that does not gets "522 SSL connection failed: session
reuse required".
Usage: tls_ftp_server.py ROOT CERTFILE [--require-tls] [--fixed-data-handler] [--require-reuse]"""
import logging
import os
import sys

from OpenSSL import crypto
from OpenSSL._util import lib as openssl
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer


class HandshakeFirstDtpHandler(TLS_DTPHandler):
    """A data connection that is neither receiving nor set up for a transfer yet counts as
    finished in pyftpdlib 1.5.7 and is closed, even while its TLS handshake runs. The handshake
    keeps it readable here, as later pyftpdlib versions do."""

    def readable(self):
        return self._ssl_accepting or super().readable()


class ReuseRequiredDtpHandler(TLS_DTPHandler):
    def handle_ssl_established(self):
        if not openssl.SSL_session_reused(self.socket._ssl):
            self.cmd_channel.respond("522 SSL connection failed: session reuse required")
            self.close()
            return
        super().handle_ssl_established()


def make_certificate(path):
    key = crypto.PKey()
    key.generate_key(crypto.TYPE_RSA, 2048)
    cert = crypto.X509()
    cert.get_subject().CN = "127.0.0.1"
    cert.set_serial_number(1)
    cert.gmtime_adj_notBefore(-60)
    cert.gmtime_adj_notAfter(24 * 3600)
    cert.set_issuer(cert.get_subject())
    cert.set_pubkey(key)
    cert.add_extensions([crypto.X509Extension(b"subjectAltName", False, b"IP:127.0.0.1")])
    cert.sign(key, "sha256")
    with open(path, "wb") as out:
        out.write(crypto.dump_certificate(crypto.FILETYPE_PEM, cert))
        out.write(crypto.dump_privatekey(crypto.FILETYPE_PEM, key))


def main():
    root, certfile = sys.argv[1], sys.argv[2]
    logging.basicConfig(level=logging.DEBUG if os.environ.get("VISTREL_FTP_DEBUG") else logging.CRITICAL)
    make_certificate(certfile)
    authorizer = DummyAuthorizer()
    authorizer.add_user("alice", "secret", root, perm="elradfmwMT")
    handler = TLS_FTPHandler
    handler.certfile = certfile
    handler.authorizer = authorizer
    handler.banner = "Vistrel TLS test server ready."
    handler.permit_privileged_ports = False
    handler.auth_failed_timeout = 0.1
    handler.tls_control_required = "--require-tls" in sys.argv[3:]
    handler.tls_data_required = handler.tls_control_required
    if "--fixed-data-handler" in sys.argv[3:]:
        handler.dtp_handler = HandshakeFirstDtpHandler
    if "--require-reuse" in sys.argv[3:]:
        handler.dtp_handler = ReuseRequiredDtpHandler
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
