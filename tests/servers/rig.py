#!/usr/bin/python3
# The FTP server rig of the server tests.
#
# Usage: rig.py --run CMD [ARGS...]
#
# Starts a small control service on a free 127.0.0.1 port, runs CMD with
# TW_RIG=127.0.0.1:<port> in its environment, and, when CMD ends (crashed or not) or the rig is
# told to stop, stops every server CMD asked for and removes their folders. The exit code is
# CMD's (128+N when signal N ended it). Servers die with the rig even when it is killed
# outright. The control protocol (one request per TCP connection) is described in README.md.
import ctypes
import os
import pwd
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

import fakeftp

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"
PYFTPD_USER, PYFTPD_PASSWORD = "tw", "secret"
# Made by tools/install-deps.sh: a system account without a login shell and its PAM service.
VSFTPD_USER, VSFTPD_PASSWORD, VSFTPD_PAM = "twftp", "twftp-secret", "tarnwick2-ftp"
TIMEOUT = 10.0  # every start and every request
MAX_SCRIPT = 1 << 20
STOP_SIGNALS = (signal.SIGTERM, signal.SIGINT, signal.SIGHUP)


class RigError(Exception):
    pass


def die_with_rig(signum):
    # preexec_fn: the child gets signum when the rig's thread that started it ends.
    libc = ctypes.CDLL(None, use_errno=True)
    return lambda: libc.prctl(1, signum, 0, 0, 0)  # PR_SET_PDEATHSIG


def descendants(pid):
    # Every process below pid, from /proc: (state, parent pid) of each.
    children = {}
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{entry}/stat") as f:
                children.setdefault(int(f.read().rsplit(")", 1)[1].split()[1]), []).append(int(entry))
        except (OSError, ValueError, IndexError):
            pass
    found, todo = [], [pid]
    while todo:
        kids = children.get(todo.pop(), [])
        found, todo = found + kids, todo + kids
    return found


def signal_all(pids, signum):
    for pid in pids:
        try:
            os.kill(pid, signum)
        except ProcessLookupError:
            pass


class Server:
    # pyftpdlib or vsftpd: a process with a folder of its own, listening on a free port.
    def __init__(self, kind, number):
        self.kind, self.id = kind, number
        self.tmp = tempfile.mkdtemp(prefix=f"tw-rig-{os.getpid()}-{kind}-")
        os.chmod(self.tmp, 0o755)  # the vsftpd users must reach their root below it
        self.root = os.path.join(self.tmp, "root")
        self.proc, self.port, self.fields = None, 0, {}

    def log_tail(self):
        try:
            with open(os.path.join(self.tmp, "server.log"), "rb") as f:
                return f.read()[-400:].decode("latin-1").strip().replace("\n", " | ")
        except OSError:
            return ""

    def serve(self, command):
        # Runs command(port) on a free port until it greets there (another program may take
        # the port before the server binds it: then the next one).
        for _ in range(5):
            with socket.socket() as s:
                s.bind(("127.0.0.1", 0))
                port = s.getsockname()[1]
            with open(os.path.join(self.tmp, "server.log"), "wb") as log:
                self.proc = subprocess.Popen(command(port), stdin=subprocess.DEVNULL, stdout=log,
                                             stderr=log, start_new_session=True,
                                             preexec_fn=die_with_rig(signal.SIGKILL))
            deadline = time.monotonic() + TIMEOUT
            while time.monotonic() < deadline and self.proc.poll() is None:
                try:
                    with socket.create_connection(("127.0.0.1", port), timeout=2.0) as s:
                        if s.makefile("rb").readline(512).startswith(b"220"):
                            s.sendall(b"QUIT\r\n")
                            self.port = port
                            return
                except OSError:
                    time.sleep(0.05)
            self.stop(remove=False)
            if not re.search("bind|in use", self.log_tail()):
                break
        raise RigError(f"{self.kind} did not start: {self.log_tail()}")

    def stop(self, remove=True):
        if self.proc and self.proc.poll() is None:
            # vsftpd puts each session in a session of its own: find them before the master
            # goes, since they are reparented away from it then.
            pids = [self.proc.pid] + descendants(self.proc.pid)
            for signum, grace in ((signal.SIGTERM, 3.0), (signal.SIGKILL, 5.0)):
                signal_all(pids, signum)
                try:
                    self.proc.wait(timeout=grace)
                    break
                except subprocess.TimeoutExpired:
                    pass
            signal_all(pids[1:], signal.SIGKILL)
        if remove:
            shutil.rmtree(self.tmp, ignore_errors=True)


def start_pyftpdlib(server):
    os.mkdir(server.root)
    server.serve(lambda port: [PYTHON, os.path.join(HERE, "pyftpd.py"), server.root, str(port),
                               PYFTPD_USER, PYFTPD_PASSWORD])
    server.fields = dict(user=PYFTPD_USER, password=PYFTPD_PASSWORD, anonwrite="/")


def start_vsftpd(server):
    # The password user may write everywhere; anonymous everywhere but the root itself, which
    # vsftpd refuses to serve anonymously when writable: "pub" is the anonymous upload folder.
    # Default ACLs keep what the tests or either user create writable by both users.
    try:
        pwd.getpwnam(VSFTPD_USER)
        pwd.getpwnam("ftp")
    except KeyError:
        raise RigError(f"the vsftpd test accounts ({VSFTPD_USER}, ftp) are missing: "
                       "run tools/install-deps.sh as root")
    if os.geteuid() != 0 or not os.path.exists(f"/etc/pam.d/{VSFTPD_PAM}"):
        raise RigError(f"vsftpd needs root and /etc/pam.d/{VSFTPD_PAM} (tools/install-deps.sh)")
    empty = os.path.join(server.tmp, "empty")
    for folder in (server.root, os.path.join(server.root, "pub"), empty):
        os.mkdir(folder)
    acl = f"u:{VSFTPD_USER}:rwx,u:ftp:rx,d:u::rwx,d:u:{VSFTPD_USER}:rwx,d:u:ftp:rwx,d:g::rx,d:o::rx"
    try:
        subprocess.run(["setfacl", "-m", acl, server.root], check=True, capture_output=True,
                       timeout=TIMEOUT)
    except (OSError, subprocess.SubprocessError) as e:
        raise RigError(f"setfacl failed ({e}): is the acl package installed?")
    with open(os.path.join(HERE, "vsftpd.conf")) as f:
        template = f.read()

    def command(port):
        conf = os.path.join(server.tmp, "vsftpd.conf")
        with open(conf, "w") as f:
            f.write(template.format(port=port, root=server.root, pam=VSFTPD_PAM, empty=empty))
        return ["/usr/sbin/vsftpd", conf]

    server.serve(command)
    server.fields = dict(user=VSFTPD_USER, password=VSFTPD_PASSWORD, anonwrite="/pub")


class FakeServer:
    # The scripted fake, in a thread of the rig; it ends by itself (every wait is bounded).
    kind, fields = "fake", {}

    def __init__(self, number, script):
        try:
            self.fake = fakeftp.Fake(fakeftp.parse(script.decode("latin-1")))
        except ValueError as e:
            raise RigError(f"fake: {e}")
        self.id, self.port = number, self.fake.port
        self.thread = threading.Thread(target=self.fake.run, daemon=True)
        self.thread.start()

    def stop(self):
        try:
            self.fake.listener.shutdown(socket.SHUT_RDWR)  # no client comes any more
        except OSError:
            pass


class Rig:
    def __init__(self):
        self.servers, self.count = {}, 0

    def start(self, words, reader):
        kind = words[1] if len(words) > 1 else ""
        starters = {"pyftpdlib": start_pyftpdlib, "vsftpd": start_vsftpd}
        self.count += 1
        if kind == "fake":
            size = int(words[2]) if len(words) > 2 and words[2].isdigit() else -1
            if not 0 <= size <= MAX_SCRIPT:
                raise RigError("START fake needs the script's length in bytes")
            server = FakeServer(self.count, reader.read(size))
        elif kind in starters:
            server = Server(kind, self.count)
            try:
                starters[kind](server)
            except (RigError, OSError, ValueError) as e:
                server.stop()
                raise RigError(str(e))
        else:
            raise RigError(f"unknown server kind '{kind}' (pyftpdlib, vsftpd, fake)")
        self.servers[server.id] = server
        fields = dict(id=server.id, port=server.port, **server.fields)
        if kind != "fake":
            fields["root"] = server.root  # last: it runs to the end of the line
        return ("OK " + " ".join(f"{k}={v}" for k, v in fields.items()) + "\n").encode()

    def request(self, line, reader):
        words = line.split() or [""]
        verb = words[0].upper()
        if verb == "PING":
            return b"OK\n"
        if verb == "START":
            return self.start(words, reader)
        try:
            server = self.servers[int(words[1])]
        except (IndexError, ValueError, KeyError):
            raise RigError(f"unknown request '{line}' or no such server")
        if verb == "STOP":
            self.servers.pop(server.id).stop()
            return b"OK\n"
        if verb != "TRANSCRIPT" or server.kind != "fake":
            raise RigError(f"unknown request '{verb}' (only the fake keeps a transcript)")
        wait_ms = int(words[2]) if len(words) > 2 and words[2].isdigit() else 0
        server.thread.join(min(wait_ms, 60000) / 1000.0)  # the dialogue ends when the client goes
        data = server.fake.transcript().encode("latin-1")
        return f"OK {len(data)}\n".encode() + data

    def serve_one(self, conn):
        conn.settimeout(TIMEOUT)
        with conn, conn.makefile("rb") as reader:
            try:
                line = reader.readline(4096).decode("latin-1").strip()
                try:
                    reply = self.request(line, reader)
                except RigError as e:
                    reply = f"ERR {e}\n".encode("latin-1", "replace")
                conn.sendall(reply)
            except OSError as e:
                print(f"rig: request failed: {e}", file=sys.stderr)


def run(argv):
    # Folders of rigs that were killed outright and could not remove them themselves.
    for name in os.listdir(tempfile.gettempdir()):
        match = re.match(r"tw-rig-(\d+)-", name)
        if match and not os.path.exists(f"/proc/{match.group(1)}"):
            shutil.rmtree(os.path.join(tempfile.gettempdir(), name), ignore_errors=True)
    rig, listener = Rig(), socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    env = dict(os.environ, TW_RIG="127.0.0.1:%d" % listener.getsockname()[1])
    stopped = []
    for s in STOP_SIGNALS:
        signal.signal(s, lambda number, _frame: stopped.append(number))
    child = None
    try:
        child = subprocess.Popen(argv, env=env, preexec_fn=die_with_rig(signal.SIGTERM))
        while child.poll() is None and not stopped:
            try:
                if select.select([listener], [], [], 0.2)[0]:
                    rig.serve_one(listener.accept()[0])
            except InterruptedError:
                pass
        if stopped and child.poll() is None:
            child.terminate()
            try:
                child.wait(timeout=5)
            except subprocess.TimeoutExpired:
                child.kill()
                child.wait()
        code = -stopped[0] if stopped else child.returncode
    except OSError as e:
        print(f"rig: cannot run {argv[0]}: {e}", file=sys.stderr)
        code = 127
    finally:
        for server in rig.servers.values():
            server.stop()
        listener.close()
    return 128 - code if code < 0 else code


if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[1] != "--run":
        print("usage: rig.py --run CMD [ARGS...]", file=sys.stderr)
        sys.exit(2)
    sys.exit(run(sys.argv[2:]))
