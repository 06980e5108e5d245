#!/usr/bin/python3
"""A real FTP server (pyftpdlib) for tests, benchmarks and the demo.

Binds --address (127.0.0.1 unless told; any loopback address) on a free port
or the given one, writes that port to --port-file once it listens, and serves --root with full write permission to one user.  Runs
until it is terminated (SIGTERM or SIGINT).  Run it with /usr/bin/python3,
which has Debian's python3-pyftpdlib.
"""
import argparse
import logging
import os
import signal
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="folder the user sees as /")
    parser.add_argument("--port-file", required=True, help="file that receives the port")
    parser.add_argument("--address", default="127.0.0.1", help="loopback address to bind (127.x.y.z)")
    parser.add_argument("--port", type=int, default=0, help="fixed port (default: a free one)")
    parser.add_argument("--user", default="velmora")
    parser.add_argument("--password", default="velmora")
    parser.add_argument("--pid-file", help="file that receives this process id")
    parser.add_argument("--log", help="write pyftpdlib's log to this file")
    parser.add_argument("--read-limit", type=int, default=0,
                        help="bytes per second the server takes on a data connection (default: no limit)")
    args = parser.parse_args()
    if not args.address.startswith("127."):
        parser.error("--address must be a loopback address (127.x.y.z)")

    os.makedirs(args.root, exist_ok=True)
    if args.log:
        logging.basicConfig(filename=args.log, level=logging.INFO)
    else:
        logging.basicConfig(level=logging.WARNING)

    authorizer = DummyAuthorizer()
    # e c d l f m w M T: all permissions, writing included.
    authorizer.add_user(args.user, args.password, os.path.abspath(args.root), perm="elradfmwMT")

    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "Velmora test server ready."
    # Loopback only: passive data ports on the same address.
    handler.masquerade_address = None
    if args.read_limit > 0:
        # Slow uploads: a test can catch one in the middle.
        dtp = ThrottledDTPHandler
        dtp.read_limit = args.read_limit
        handler.dtp_handler = dtp

    server = FTPServer((args.address, args.port), handler)
    server.max_cons = 64
    port = server.socket.getsockname()[1]

    if args.pid_file:
        with open(args.pid_file + ".tmp", "w") as f:
            f.write("%d\n" % os.getpid())
        os.replace(args.pid_file + ".tmp", args.pid_file)
    # Written last and atomically: a reader that sees the file can connect.
    with open(args.port_file + ".tmp", "w") as f:
        f.write("%d\n" % port)
    os.replace(args.port_file + ".tmp", args.port_file)
    print("FTP server on %s:%d, root %s, user %s" % (args.address, port, os.path.abspath(args.root), args.user),
          flush=True)

    def stop(signum, frame):
        server.close_all()
        sys.exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    server.serve_forever()


if __name__ == "__main__":
    main()
