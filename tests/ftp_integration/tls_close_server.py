"""A TLS peer that ends its side the way vsftpd ends a data connection: it sends its data and its
close alert, then waits for the client's close alert before it closes the connection. Makes a
self-signed certificate in CERTFILE, prints its port on the first line of stdout and, once the
client answered, "answered" (or "not answered") on the second.
Usage: tls_close_server.py CERTFILE"""
import os
import socket
import ssl
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tls_ftp_server import make_certificate  # noqa: E402


def main():
    certfile = sys.argv[1]
    make_certificate(certfile)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certfile)
    listener = socket.create_server(("127.0.0.1", 0))
    print(listener.getsockname()[1], flush=True)
    connection, _ = listener.accept()
    connection.settimeout(10)
    tls = context.wrap_socket(connection, server_side=True)
    tls.sendall(b"listing")
    try:
        tls.unwrap()  # our close alert, then the peer's
        print("answered", flush=True)
    except (OSError, ssl.SSLError):
        print("not answered", flush=True)
    connection.close()


if __name__ == "__main__":
    main()
