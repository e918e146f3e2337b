"""The pyftpdlib test server as a web host's FTP server answers the publish job: NLST "*" lists the
current folder and NLST "-l" gives the long listing, as common servers do (pyftpdlib itself
answers both with 550). Same user, password and start-up line as ftp_server.py."""
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class WebHostHandler(FTPHandler):
    def ftp_NLST(self, path):
        folder, name = os.path.split(path)
        if name == "-l":
            return self.ftp_LIST(folder)
        if name == "*":
            return FTPHandler.ftp_NLST(self, folder)
        return FTPHandler.ftp_NLST(self, path)


def main():
    root = sys.argv[1]
    logging.basicConfig(level=logging.DEBUG if os.environ.get("VISTREL_FTP_DEBUG") else logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_user("alice", "secret", root, perm="elradfmwMT")
    handler = WebHostHandler
    handler.authorizer = authorizer
    handler.banner = "Vistrel test server ready."
    handler.permit_privileged_ports = False
    handler.auth_failed_timeout = 0.1
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
