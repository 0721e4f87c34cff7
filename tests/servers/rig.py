#!/usr/bin/python3
"""The FTP server rig of the server tests.

Usage: rig.py --run CMD [ARGS...]

Starts a small control service on a free 127.0.0.1 port, runs CMD with
TW_RIG=127.0.0.1:<port> in its environment, and, when CMD ends (crashed or not) or the rig is
told to stop, stops every server CMD asked for and removes their folders. The exit code is CMD's
(128+N when signal N ended it). Servers die with the rig even when it is killed outright.

The control protocol (one request per TCP connection) is described in README.md.
"""
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
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"
VSFTPD = "/usr/sbin/vsftpd"
PYFTPD_USER, PYFTPD_PASSWORD = "tw", "secret"
# Made by tools/install-deps.sh: a system account without a login shell and its PAM service.
VSFTPD_USER, VSFTPD_PASSWORD, VSFTPD_PAM = "twftp", "twftp-secret", "tarnwick2-ftp"
START_TIMEOUT = 10.0
REQUEST_TIMEOUT = 10.0
MAX_SCRIPT = 1 << 20
PR_SET_PDEATHSIG = 1


class RigError(Exception):
    pass


class Terminated(Exception):
    def __init__(self, signum):
        super().__init__(signum)
        self.signum = signum


def die_with_rig(signum):
    """preexec_fn: the child gets signum when the rig's thread that started it ends."""
    libc = ctypes.CDLL(None, use_errno=True)

    def apply():
        libc.prctl(PR_SET_PDEATHSIG, signum, 0, 0, 0)

    return apply


class Server:
    def __init__(self, kind, number):
        self.kind, self.id = kind, number
        self.tmp = tempfile.mkdtemp(prefix=f"tw-rig-{os.getpid()}-{kind}-")
        os.chmod(self.tmp, 0o755)  # the vsftpd users must reach their root below it
        self.root = os.path.join(self.tmp, "root")
        self.proc = None
        self.port = 0
        self.fields = {}

    def spawn(self, args, ready_line=True):
        log = open(os.path.join(self.tmp, "server.log"), "wb")
        with log:
            self.proc = subprocess.Popen(
                args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE if ready_line else log,
                stderr=log, start_new_session=True, preexec_fn=die_with_rig(signal.SIGKILL))

    def log_tail(self):
        try:
            with open(os.path.join(self.tmp, "server.log"), "rb") as f:
                return f.read()[-400:].decode("latin-1").strip().replace("\n", " | ")
        except OSError:
            return ""

    def read_ready(self):
        """The port from the child's "READY <port>" line."""
        deadline, text = time.monotonic() + START_TIMEOUT, b""
        fd = self.proc.stdout.fileno()
        while b"\n" not in text:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                raise RigError(f"{self.kind} did not start within {START_TIMEOUT:.0f} s")
            chunk = os.read(fd, 4096)
            if not chunk:
                self.proc.wait(timeout=START_TIMEOUT)
                raise RigError(f"{self.kind} exited at once: {self.log_tail()}")
            text += chunk
        self.proc.stdout.close()
        word, _, rest = text.decode("latin-1").strip().partition(" ")
        if word != "READY":
            raise RigError(f"{self.kind}: {rest}")
        self.port = int(rest)

    def stop(self):
        if self.proc and self.proc.poll() is None:
            # vsftpd puts each session in a session of its own: find them before the master
            # goes, since they are reparented away from it then.
            pids = [self.proc.pid] + descendants(self.proc.pid)
            for signum, grace in ((signal.SIGTERM, 3.0), (signal.SIGKILL, 5.0)):
                signal_all(pids, signum)
                try:
                    self.proc.wait(timeout=grace)
                except subprocess.TimeoutExpired:
                    continue
                if not any(alive(pid) for pid in pids[1:]):
                    break
            signal_all(pids[1:], signal.SIGKILL)
        shutil.rmtree(self.tmp, ignore_errors=True)

    def describe(self):
        fields = dict(id=self.id, port=self.port, **self.fields)
        return " ".join(f"{k}={v}" for k, v in fields.items())


def descendants(pid):
    children = {}
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{entry}/stat") as f:
                stat = f.read()
        except (OSError, ValueError):
            continue
        ppid = int(stat.rsplit(")", 1)[1].split()[1])
        children.setdefault(ppid, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        kids = children.get(todo.pop(), [])
        found += kids
        todo += kids
    return found


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def signal_all(pids, signum):
    for pid in pids:
        try:
            os.kill(pid, signum)
        except ProcessLookupError:
            pass


def sweep_stale_folders():
    """Removes the folders of rigs that were killed outright and could not do it themselves."""
    base = tempfile.gettempdir()
    for name in os.listdir(base):
        match = re.match(r"tw-rig-(\d+)-", name)
        if not match:
            continue
        try:
            os.kill(int(match.group(1)), 0)
        except ProcessLookupError:
            shutil.rmtree(os.path.join(base, name), ignore_errors=True)
        except PermissionError:
            pass


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_pyftpdlib(server):
    os.mkdir(server.root)
    server.spawn([PYTHON, os.path.join(HERE, "pyftpd.py"), server.root, PYFTPD_USER,
                  PYFTPD_PASSWORD])
    server.read_ready()
    server.fields = dict(user=PYFTPD_USER, password=PYFTPD_PASSWORD, anonwrite="/",
                         root=server.root)


VSFTPD_CONF = """\
listen=YES
listen_ipv6=NO
background=NO
listen_address=127.0.0.1
listen_port={port}
anonymous_enable=YES
anon_root={root}
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_world_readable_only=NO
anon_umask=022
local_enable=YES
write_enable=YES
local_umask=022
local_root={root}
chroot_local_user=YES
allow_writeable_chroot=YES
userlist_enable=NO
pam_service_name={pam}
secure_chroot_dir={empty}
connect_from_port_20=NO
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
"""


def prepare_vsftpd_root(root):
    """The password user may write everywhere; anonymous everywhere but the root itself, which
    vsftpd refuses to serve anonymously when writable: "pub" is the anonymous upload folder.
    Default ACLs keep what the tests or either user create writable by both users."""
    if os.geteuid() != 0:
        raise RigError("vsftpd needs root (it switches to the logged-on user)")
    try:
        pwd.getpwnam(VSFTPD_USER)
        pwd.getpwnam("ftp")
    except KeyError:
        raise RigError(f"the vsftpd test accounts ({VSFTPD_USER}, ftp) are missing: "
                       "run tools/install-deps.sh as root")
    if not os.path.exists(f"/etc/pam.d/{VSFTPD_PAM}"):
        raise RigError(f"/etc/pam.d/{VSFTPD_PAM} is missing: run tools/install-deps.sh as root")
    os.mkdir(root)
    acl = (f"u:{VSFTPD_USER}:rwx,u:ftp:rx,d:u::rwx,d:u:{VSFTPD_USER}:rwx,d:u:ftp:rwx,"
           "d:g::rx,d:o::rx")
    try:
        subprocess.run(["setfacl", "-m", acl, root], check=True, capture_output=True,
                       timeout=START_TIMEOUT)
    except (OSError, subprocess.SubprocessError) as e:
        raise RigError(f"setfacl failed ({e}): is the acl package installed?")
    os.mkdir(os.path.join(root, "pub"))


def start_vsftpd(server):
    prepare_vsftpd_root(server.root)
    empty = os.path.join(server.tmp, "empty")
    os.mkdir(empty)
    conf = os.path.join(server.tmp, "vsftpd.conf")
    for _ in range(5):  # the free port may be taken before vsftpd binds it
        port = free_port()
        with open(conf, "w") as f:
            f.write(VSFTPD_CONF.format(port=port, root=server.root, pam=VSFTPD_PAM, empty=empty))
        server.spawn([VSFTPD, conf], ready_line=False)
        if wait_for_greeting(server, port):
            server.port = port
            server.fields = dict(user=VSFTPD_USER, password=VSFTPD_PASSWORD, anonwrite="/pub",
                                 root=server.root)
            return
        if "bind" not in server.log_tail():
            break
    raise RigError(f"vsftpd did not start: {server.log_tail()}")


def wait_for_greeting(server, port):
    deadline = time.monotonic() + START_TIMEOUT
    while time.monotonic() < deadline and server.proc.poll() is None:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=2.0) as s:
                if s.makefile("rb").readline(512).startswith(b"220"):
                    s.sendall(b"QUIT\r\n")
                    return True
        except OSError:
            time.sleep(0.05)
    return False


def start_fake(server, script):
    path = os.path.join(server.tmp, "script.txt")
    with open(path, "wb") as f:
        f.write(script)
    server.transcript = os.path.join(server.tmp, "transcript.txt")
    server.spawn([PYTHON, os.path.join(HERE, "fakeftp.py"), "--script", path,
                  "--transcript", server.transcript])
    server.read_ready()


class Rig:
    def __init__(self):
        self.servers = {}
        self.count = 0

    def start(self, words, reader):
        kind = words[1] if len(words) > 1 else ""
        starters = {"pyftpdlib": start_pyftpdlib, "vsftpd": start_vsftpd, "fake": start_fake}
        if kind not in starters:
            raise RigError(f"unknown server kind '{kind}' (pyftpdlib, vsftpd, fake)")
        args = []
        if kind == "fake":
            size = int(words[2]) if len(words) > 2 and words[2].isdigit() else -1
            if not 0 <= size <= MAX_SCRIPT:
                raise RigError("START fake needs the script's length in bytes")
            args.append(reader.read(size))
        self.count += 1
        server = Server(kind, self.count)
        try:
            starters[kind](server, *args)
        except (RigError, OSError, ValueError) as e:
            server.stop()
            raise RigError(str(e))
        self.servers[server.id] = server
        return f"OK {server.describe()}\n".encode()

    def find(self, words):
        try:
            return self.servers[int(words[1])]
        except (IndexError, ValueError, KeyError):
            raise RigError("no such server")

    def transcript(self, words):
        server = self.find(words)
        if server.kind != "fake":
            raise RigError("only the fake server keeps a transcript")
        wait_ms = int(words[2]) if len(words) > 2 and words[2].isdigit() else 0
        try:  # waiting lets the dialogue finish: the fake exits when the client has gone
            server.proc.wait(timeout=min(wait_ms, 60000) / 1000.0)
        except subprocess.TimeoutExpired:
            pass
        with open(server.transcript, "rb") as f:
            data = f.read()
        return f"OK {len(data)}\n".encode() + data

    def request(self, line, reader):
        words = line.split()
        verb = words[0].upper() if words else ""
        if verb == "PING":
            return b"OK\n"
        if verb == "START":
            return self.start(words, reader)
        if verb == "STOP":
            self.servers.pop(self.find(words).id).stop()
            return b"OK\n"
        if verb == "TRANSCRIPT":
            return self.transcript(words)
        raise RigError(f"unknown request '{verb}'")

    def serve_one(self, conn):
        conn.settimeout(REQUEST_TIMEOUT)
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

    def stop_all(self):
        for server in self.servers.values():
            server.stop()
        self.servers.clear()


def on_signal(signum, _frame):
    for s in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(s, signal.SIG_IGN)
    raise Terminated(signum)


def run(argv):
    sweep_stale_folders()
    rig = Rig()
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    env = dict(os.environ, TW_RIG="127.0.0.1:%d" % listener.getsockname()[1])
    for s in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(s, on_signal)
    child = None
    try:
        child = subprocess.Popen(argv, env=env, preexec_fn=die_with_rig(signal.SIGTERM))
        while child.poll() is None:
            if select.select([listener], [], [], 0.2)[0]:
                conn, _ = listener.accept()
                rig.serve_one(conn)
        code = child.returncode
    except Terminated as t:
        code = -t.signum
        if child and child.poll() is None:
            child.terminate()
            try:
                child.wait(timeout=5)
            except subprocess.TimeoutExpired:
                child.kill()
                child.wait()
    except OSError as e:
        print(f"rig: cannot run {argv[0]}: {e}", file=sys.stderr)
        code = 127
    finally:
        rig.stop_all()
        listener.close()
    return 128 - code if code < 0 else code


def main():
    if len(sys.argv) < 3 or sys.argv[1] != "--run":
        print(__doc__, file=sys.stderr)
        return 2
    return run(sys.argv[2:])


if __name__ == "__main__":
    sys.exit(main())
