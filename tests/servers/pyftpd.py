#!/usr/bin/python3
# pyftpdlib on 127.0.0.1:PORT, serving ROOT to one password user and to anonymous.
#
# Usage: pyftpd.py ROOT PORT USER PASSWORD (started and stopped by rig.py)
import logging
import sys
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

ALL_RIGHTS = "elradfmwMT"


def main():
    root, port, user, password = sys.argv[1:5]
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
    FTPServer(("127.0.0.1", int(port)), Handler).serve_forever(timeout=1.0)


if __name__ == "__main__":
    main()
