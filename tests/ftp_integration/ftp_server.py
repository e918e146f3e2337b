"""A pyftpdlib server for the integration tests: serves ROOT to the user "alice" (password "secret")
on 127.0.0.1 (or the address in VISTREL_FTP_HOST) with a port chosen by the system and prints that
port on the first line of stdout."""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    root = sys.argv[1]
    import os
    logging.basicConfig(level=logging.DEBUG if os.environ.get("VISTREL_FTP_DEBUG") else logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_user("alice", "secret", root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "Vistrel test server ready."
    # Active mode connects back to 127.0.0.1 from a port other than 20.
    handler.permit_privileged_ports = False
    # pyftpdlib answers a wrong password after 3 s by default; the tests need not wait that long.
    handler.auth_failed_timeout = 0.1
    server = FTPServer((os.environ.get("VISTREL_FTP_HOST", "127.0.0.1"), 0), handler)
    print(server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
