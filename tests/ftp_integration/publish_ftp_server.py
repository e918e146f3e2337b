"""The pyftpdlib test server for the publish job: serves ROOT to the user "alice" (password "secret")
on 127.0.0.1 with a port chosen by the system and prints that port on the first line of stdout.
With --no-mlsd it behaves like a server without MLSD (no MLST in FEAT, MLSD refused), so the job
has to list folders with LIST. With --one-session-per-address a second session from the same address
is refused with 421; with --report-uploads every upload adds a line "stored PORT NAME" (the client's
port of the control connection) to stdout."""
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class WithoutMlsd(FTPHandler):
    proto_cmds = {verb: info for verb, info in FTPHandler.proto_cmds.items() if verb not in ("MLSD", "MLST")}


class ReportingUploads(FTPHandler):
    def on_file_received(self, file):
        print("stored", self.remote_port, os.path.basename(file), flush=True)


def main():
    root = sys.argv[1]
    logging.basicConfig(level=logging.DEBUG if os.environ.get("VISTREL_FTP_DEBUG") else logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_user("alice", "secret", root, perm="elradfmwMT")
    handler = FTPHandler
    if "--no-mlsd" in sys.argv[2:]:
        handler = WithoutMlsd
    elif "--report-uploads" in sys.argv[2:]:
        handler = ReportingUploads
    handler.authorizer = authorizer
    handler.banner = "Vistrel test server ready."
    handler.permit_privileged_ports = False
    handler.auth_failed_timeout = 0.1
    server = FTPServer(("127.0.0.1", 0), handler)
    if "--one-session-per-address" in sys.argv[2:]:
        server.max_cons_per_ip = 1
    print(server.address[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
