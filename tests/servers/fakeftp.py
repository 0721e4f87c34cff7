# The scripted fake FTP server for exact dialogues and faults (script language: README.md).
# rig.py runs each one in a thread of its own: parse() checks a script, Fake(...).run() serves
# one dialogue and records it; every wait is bounded by the script's timeout.
import fnmatch
import re
import socket
import struct
import time
import zlib

CYCLE = bytes(range(251)) * (65536 // 251 + 2)
CHUNK = 65536
DATA_COMMANDS = {"dopen", "dsend", "dpattern", "drecv", "dclose", "dreset"}
COMMANDS = DATA_COMMANDS | {"reply", "send", "pasv", "expect", "pause", "idle", "close", "reset",
                            "accept", "set", "channel"}


class Stop(Exception):  # ends the dialogue (the reason is already in the transcript)
    pass


def unescape(text):  # C-style escapes (\\r \\n \\t \\\\ \\xHH) to bytes
    return text.encode("latin-1").decode("unicode_escape").encode("latin-1")


def pattern_chunks(offset, count):  # byte i of the pattern stream is i % 251
    while count > 0:
        n = min(count, CHUNK)
        yield CYCLE[offset % 251:offset % 251 + n]
        offset, count = offset + n, count - n


def parse(text):
    # [(verb, argument)]; a ValueError names the first line that is no command.
    steps = []
    for number, raw in enumerate(text.splitlines(), 1):
        verb, _, arg = raw.strip().partition(" ")
        if verb and not verb.startswith("#"):
            if verb not in COMMANDS:
                raise ValueError(f"line {number}: unknown command '{verb}'")
            steps.append((verb, arg.strip()))
    return steps


class Fake:
    def __init__(self, steps):
        self.steps, self.log = steps, []
        self.timeout, self.rcvbuf = 10.0, 0
        self.ctrl = self.data_listener = self.port_target = None
        self.inbuf, self.last, self.rest = b"", "", 0
        self.data = []  # every data connection opened; the last is the current one
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(5)
        self.port = self.listener.getsockname()[1]

    def transcript(self):
        return "".join(line + "\n" for line in self.log)

    def fail(self, text):
        self.log.append("* error: " + text)
        raise Stop()

    # --- control connection ---
    def send(self, payload):
        try:
            self.ctrl.sendall(payload)
        except OSError as e:
            self.fail(f"control send failed: {e}")

    def read_line(self, timeout):
        # The next command line (CR LF stripped), or None when the client closed.
        deadline = time.monotonic() + timeout
        while b"\n" not in self.inbuf:
            left = deadline - time.monotonic()
            if left <= 0:
                raise socket.timeout()
            self.ctrl.settimeout(left)
            try:
                chunk = self.ctrl.recv(4096)
            except (ConnectionResetError, BrokenPipeError):
                chunk = b""
            if not chunk:
                if self.inbuf:
                    self.log.append(self.inbuf.decode("latin-1"))
                    self.inbuf = b""
                self.log.append("* client closed")
                return None
            self.inbuf += chunk
        line, _, self.inbuf = self.inbuf.partition(b"\n")
        self.log.append(line.rstrip(b"\r").decode("latin-1"))
        return self.log[-1]

    def expect(self, pattern):
        try:
            line = self.read_line(self.timeout)
        except socket.timeout:
            self.fail(f"timed out waiting for '{pattern}'")
        if line is None:
            raise Stop()
        if not fnmatch.fnmatchcase(line, pattern):
            self.fail(f"expected '{pattern}'")
        self.last = line
        verb, _, arg = line.partition(" ")
        if verb.upper() == "PORT":  # the client's latest choice of mode wins
            numbers = re.findall(r"\d+", arg)
            if len(numbers) != 6 or any(int(n) > 255 for n in numbers) or numbers[0] != "127":
                self.fail(f"unusable PORT argument '{arg}' (a loopback address is needed)")
            self.port_target = ".".join(numbers[:4]), int(numbers[4]) * 256 + int(numbers[5])
            if self.data_listener:
                self.data_listener.close()
                self.data_listener = None
        elif verb.upper() == "REST" and arg.strip().isdigit():
            self.rest = int(arg)

    def idle(self, seconds):
        # Records lines without answering until the client closes or the time is up.
        deadline = time.monotonic() + seconds
        while self.ctrl is not None and time.monotonic() < deadline:
            try:
                if self.read_line(deadline - time.monotonic()) is None:
                    break
            except OSError:  # socket.timeout included
                break

    def accept(self, listener, what):
        listener.settimeout(self.timeout)
        try:
            return listener.accept()[0]
        except socket.timeout:
            self.fail(f"no {what} connection arrived")

    # --- data connections ---
    def new_socket(self):
        s = socket.socket()
        if self.rcvbuf:
            s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, self.rcvbuf)
        return s

    def pasv(self, text):
        self.port_target = None
        if self.data_listener:
            self.data_listener.close()
        self.data_listener = self.new_socket()
        self.data_listener.bind(("127.0.0.1", 0))
        self.data_listener.listen(5)
        p = self.data_listener.getsockname()[1]
        text = text or "227 Entering Passive Mode ({addr})."
        for key, value in {"{addr}": f"127,0,0,1,{p // 256},{p % 256}", "{p1}": str(p // 256),
                           "{p2}": str(p % 256)}.items():
            text = text.replace(key, value)
        self.send(text.encode("latin-1") + b"\r\n")

    def dopen(self, source=""):
        if self.data_listener and not source:
            conn = self.accept(self.data_listener, "data")
        elif self.port_target:  # from another loopback address (SOURCE): a third party
            conn = self.new_socket()
            conn.bind((source, 0))
            conn.settimeout(self.timeout)
            try:
                conn.connect(self.port_target)
            except OSError as e:
                self.fail(f"data connect to {self.port_target} failed: {e}")
        else:
            self.fail("dopen without pasv or PORT")
        conn.settimeout(self.timeout)
        self.data.append(conn)

    def current_data(self):
        if not self.data or self.data[-1] is None:
            self.dopen()
        return self.data[-1]

    def dsend(self, chunks):
        conn, sent = self.current_data(), 0
        try:
            for chunk in chunks:
                conn.sendall(chunk)
                sent += len(chunk)
        except OSError as e:
            self.log.append(f"* data send failed after {sent} bytes: {e.__class__.__name__}")
            return
        self.log.append(f"* data sent {sent} bytes")

    def drecv(self, delay_ms, chunk):
        conn, crc, total = self.current_data(), 0, 0
        try:
            while True:
                block = conn.recv(chunk)
                if not block:
                    break
                crc, total = zlib.crc32(block, crc), total + len(block)
                time.sleep(delay_ms / 1000.0)
        except OSError as e:
            self.log.append(f"* data receive failed after {total} bytes: {e.__class__.__name__}")
            return
        self.log.append(f"* data received {total} bytes crc32 {crc:08x}")

    def close(self, conn, abortive):
        if abortive:
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        conn.close()

    # --- the script ---
    def channel(self):  # whichever mode the client asks for
        self.expect("*")
        if self.last.upper().startswith("PASV"):
            self.pasv("")
        elif self.last.upper().startswith("PORT "):
            self.send(b"200 PORT ok\r\n")
        else:
            self.fail("expected PASV or PORT")

    def accept_ctrl(self):
        self.ctrl, self.inbuf = self.accept(self.listener, "control"), b""
        self.ctrl.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    def dclose(self, abortive):
        self.close(self.current_data(), abortive)
        self.data[-1] = None

    def step(self, verb, arg):
        if verb not in ("set", "accept", "pause") and verb not in DATA_COMMANDS and not self.ctrl:
            self.fail(f"'{verb}' after the control connection was reset")
        w = arg.split()
        {
            "reply": lambda: self.send(arg.encode("latin-1") + b"\r\n"),
            "send": lambda: self.send(unescape(arg)),
            "pause": lambda: time.sleep(float(arg) / 1000.0),
            "expect": lambda: self.expect(arg),
            "channel": self.channel,
            "idle": lambda: self.idle(float(arg) if arg else self.timeout),
            # Half-close: the client sees the end, and lines it still sends are recorded by
            # the idle at the end instead of being answered with a reset.
            "close": lambda: self.ctrl.shutdown(socket.SHUT_WR),
            "reset": lambda: (self.close(self.ctrl, True), setattr(self, "ctrl", None)),
            "accept": self.accept_ctrl,
            "pasv": lambda: self.pasv(arg),
            "dopen": lambda: self.dopen(arg),
            "dsend": lambda: self.dsend([unescape(arg)]),
            "dpattern": lambda: self.dsend(pattern_chunks(
                0 if len(w) < 2 else self.rest if w[1] == "rest" else int(w[1]), int(w[0]))),
            "drecv": lambda: self.drecv(int(w[0]) if w else 0, int(w[1]) if len(w) > 1 else CHUNK),
            "dclose": lambda: self.dclose(False),
            "dreset": lambda: self.dclose(True),
            "set": lambda: setattr(self, "timeout" if w[0] == "timeout" else "rcvbuf",
                                   float(w[1]) if w[0] == "timeout" else int(w[1])),
        }[verb]()

    def run(self):
        try:
            # Settings at the top also govern the wait for the first connection.
            first = next((i for i, s in enumerate(self.steps) if s[0] != "set"), len(self.steps))
            for verb, arg in self.steps[:first] + [("accept", "")] + self.steps[first:]:
                try:
                    self.step(verb, arg)
                except (OSError, ValueError, IndexError) as e:
                    self.fail(f"{verb} {arg}: {e}")
            self.log.append("* script done")  # what comes after it, the script did not expect
            self.idle(self.timeout)
        except Stop:
            pass
        finally:
            for s in [self.ctrl, self.data_listener, self.listener] + self.data:
                if s:
                    s.close()
