#!/usr/bin/python3
# pyftpdlib on a free 127.0.0.1 port, serving ROOT to one password user and to anonymous.
#
# Usage: pyftpd.py ROOT USER PASSWORD
# Prints "READY <port>" once it listens. Started and stopped by rig.py.
import logging
import sys
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

ALL_RIGHTS = "elradfmwMT"


def main():
    root, user, password = sys.argv[1:4]
    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm=ALL_RIGHTS)
    with warnings.catch_warnings():
        # pyftpdlib warns about anonymous write rights; the tests want them.
        warnings.simplefilter("ignore")
        authorizer.add_anonymous(root, perm=ALL_RIGHTS)

    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    # Passive ports are left to the system; PORT to the client's own address (127.0.0.1)
    # is what pyftpdlib accepts by default.
    server = FTPServer(("127.0.0.1", 0), Handler)
    print(f"READY {server.socket.getsockname()[1]}", flush=True)
    server.serve_forever(timeout=1.0)


if __name__ == "__main__":
    main()
