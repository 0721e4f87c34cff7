#!/usr/bin/python3
"""A scripted fake FTP server for exact dialogues and faults (script language: README.md).

Usage: fakeftp.py --script FILE --transcript FILE
Prints "READY <port>" once it listens on 127.0.0.1, or "ERROR <text>" when the script is bad.
It serves one dialogue, then exits; every wait is bounded by the script's timeout.
"""
import argparse
import fnmatch
import hashlib
import re
import socket
import struct
import sys
import time

CYCLE = bytes(range(251)) * (65536 // 251 + 2)
CHUNK = 65536
DATA_COMMANDS = {"dopen", "dsend", "dpattern", "drecv", "dclose", "dreset"}
ARITY = {  # command: (fewest, most) words after it; None = free text
    "reply": None, "send": None, "pasv": None, "expect": (1, 99), "pause": (1, 1),
    "idle": (0, 1), "close": (0, 0), "reset": (0, 0), "accept": (0, 0), "dopen": (0, 1),
    "dsend": None, "dpattern": (1, 2), "drecv": (0, 2), "dclose": (0, 0), "dreset": (0, 0),
    "set": (2, 2),
}


class ScriptError(Exception):
    pass


class Stop(Exception):
    """Ends the dialogue (the reason is already in the transcript)."""


def unescape(text):
    """C-style escapes (\\r \\n \\t \\\\ \\xHH) to bytes."""
    return text.encode("latin-1").decode("unicode_escape").encode("latin-1")


def pattern_chunks(offset, count):
    """Byte i of the pattern stream is i % 251."""
    while count > 0:
        n = min(count, CHUNK)
        start = offset % 251
        yield CYCLE[start:start + n]
        offset += n
        count -= n


def parse(text):
    steps = []
    for number, raw in enumerate(text.splitlines(), 1):
        line = raw.strip()
        if not line or line.startswith("#"):
            continue
        verb, _, arg = line.partition(" ")
        arg = arg.strip()
        if verb not in ARITY:
            raise ScriptError(f"line {number}: unknown command '{verb}'")
        limits = ARITY[verb]
        if limits and not limits[0] <= len(arg.split()) <= limits[1]:
            raise ScriptError(f"line {number}: wrong number of arguments for '{verb}'")
        if verb in ("reply", "dsend", "send") and not arg:
            raise ScriptError(f"line {number}: '{verb}' needs a text")
        if verb == "set" and arg.split()[0] not in ("timeout", "rcvbuf"):
            raise ScriptError(f"line {number}: unknown setting '{arg.split()[0]}'")
        try:
            if verb in ("send", "dsend"):
                unescape(arg)
            if verb in ("pause", "idle", "set") and arg:
                float(arg.split()[-1])
            if verb in ("dpattern", "drecv"):  # counts, and "rest" as dpattern's offset
                for i, word in enumerate(arg.split()):
                    if (verb, i, word) != ("dpattern", 1, "rest"):
                        int(word)
        except (ValueError, UnicodeError) as e:
            raise ScriptError(f"line {number}: bad argument for '{verb}': {e}")
        steps.append((number, verb, arg))
    return steps


class Fake:
    def __init__(self, steps, transcript):
        self.steps = steps
        self.log = transcript
        self.timeout = 10.0
        self.rcvbuf = 0
        self.listener = self.ctrl = self.data_listener = self.port_target = None
        self.inbuf = b""
        self.rest = 0
        self.data = []  # every data connection opened; the last is the current one

    def note(self, text):
        self.log.write(text + "\n")
        self.log.flush()

    def fail(self, text):
        self.note("* error: " + text)
        raise Stop()

    # --- control connection ---
    def send(self, payload):
        try:
            self.ctrl.sendall(payload)
        except OSError as e:
            self.fail(f"control send failed: {e}")

    def read_line(self, timeout):
        """The next command line (CR LF stripped), or None when the client closed."""
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
                    self.note(self.inbuf.decode("latin-1"))
                    self.inbuf = b""
                self.note("* client closed")
                return None
            self.inbuf += chunk
        line, _, self.inbuf = self.inbuf.partition(b"\n")
        text = line.rstrip(b"\r").decode("latin-1")
        self.note(text)
        return text

    def expect(self, pattern):
        try:
            line = self.read_line(self.timeout)
        except socket.timeout:
            self.fail(f"timed out waiting for '{pattern}'")
        if line is None:
            raise Stop()
        if not fnmatch.fnmatchcase(line, pattern):
            self.fail(f"expected '{pattern}'")
        verb, _, arg = line.partition(" ")
        if verb.upper() == "PORT":  # the client's latest choice of mode wins
            self.port_target = self.parse_port(arg)
            if self.data_listener:
                self.data_listener.close()
                self.data_listener = None
        elif verb.upper() == "REST" and arg.strip().isdigit():
            self.rest = int(arg)

    def parse_port(self, arg):
        numbers = re.findall(r"\d+", arg)
        if len(numbers) != 6 or any(int(n) > 255 for n in numbers):
            self.fail(f"unusable PORT argument '{arg}'")
        host = ".".join(numbers[:4])
        if not host.startswith("127."):
            self.fail(f"PORT names {host}, not a loopback address")
        return host, int(numbers[4]) * 256 + int(numbers[5])

    def idle(self, seconds):
        """Records lines without answering until the client closes or the time is up."""
        deadline = time.monotonic() + seconds
        while self.ctrl is not None and time.monotonic() < deadline:
            try:
                if self.read_line(deadline - time.monotonic()) is None:
                    break
            except (socket.timeout, OSError):
                break

    def close_ctrl(self, abortive):
        if abortive:
            self.ctrl.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.ctrl.close()
            self.ctrl = None
        else:
            # Half-close: the client sees the end, and lines it still sends are recorded by
            # the idle at the end instead of being answered with a reset.
            self.ctrl.shutdown(socket.SHUT_WR)

    def accept_ctrl(self):
        self.listener.settimeout(self.timeout)
        try:
            self.ctrl, _ = self.listener.accept()
        except socket.timeout:
            self.fail("no control connection arrived")
        self.ctrl.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.inbuf = b""

    # --- data connections ---
    def new_socket(self):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
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
        fields = {"{addr}": f"127,0,0,1,{p // 256},{p % 256}", "{p1}": str(p // 256),
                  "{p2}": str(p % 256)}
        for key, value in fields.items():
            text = text.replace(key, value)
        self.send(text.encode("latin-1") + b"\r\n")

    def dopen(self, source=None):
        if source:  # active mode from another loopback address: a third party
            conn = self.new_socket()
            conn.bind((source, 0))
            conn.settimeout(self.timeout)
            try:
                conn.connect(self.port_target)
            except OSError as e:
                self.fail(f"data connect from {source} failed: {e}")
        elif self.data_listener:
            self.data_listener.settimeout(self.timeout)
            try:
                conn, _ = self.data_listener.accept()
            except socket.timeout:
                self.fail("no data connection arrived")
        elif self.port_target:
            conn = self.new_socket()
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
            self.note(f"* data send failed after {sent} bytes: {e.__class__.__name__}")
            return
        self.note(f"* data sent {sent} bytes")

    def drecv(self, delay_ms, chunk):
        conn, digest, total = self.current_data(), hashlib.sha256(), 0
        try:
            while True:
                block = conn.recv(chunk)
                if not block:
                    break
                digest.update(block)
                total += len(block)
                if delay_ms:
                    time.sleep(delay_ms / 1000.0)
        except OSError as e:
            self.note(f"* data receive failed after {total} bytes: {e.__class__.__name__}")
            return
        self.note(f"* data received {total} bytes sha256 {digest.hexdigest()}")

    def dclose(self, abortive):
        conn = self.current_data()
        if abortive:
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        conn.close()
        self.data[-1] = None

    # --- the script ---
    def step(self, verb, arg):
        if verb not in ("set", "accept", "pause") and verb not in DATA_COMMANDS and not self.ctrl:
            self.fail(f"'{verb}' after the control connection was reset")
        words = arg.split()
        if verb == "reply":
            self.send(arg.encode("latin-1") + b"\r\n")
        elif verb == "send":
            self.send(unescape(arg))
        elif verb == "pause":
            time.sleep(float(arg) / 1000.0)
        elif verb == "expect":
            self.expect(arg)
        elif verb == "idle":
            self.idle(float(arg) if arg else self.timeout)
        elif verb in ("close", "reset"):
            self.close_ctrl(verb == "reset")
        elif verb == "accept":
            self.accept_ctrl()
        elif verb == "pasv":
            self.pasv(arg)
        elif verb == "dopen":
            self.dopen(words[0] if words else None)
        elif verb == "dsend":
            self.dsend([unescape(arg)])
        elif verb == "dpattern":
            start = 0 if len(words) < 2 else self.rest if words[1] == "rest" else int(words[1])
            self.dsend(pattern_chunks(start, int(words[0])))
        elif verb == "drecv":
            self.drecv(int(words[0]) if words else 0, int(words[1]) if len(words) > 1 else CHUNK)
        elif verb in ("dclose", "dreset"):
            self.dclose(verb == "dreset")
        elif verb == "set":
            if words[0] == "timeout":
                self.timeout = float(words[1])
            else:
                self.rcvbuf = int(words[1])

    def run(self):
        try:
            # Settings at the top also govern the wait for the first connection.
            first = next((i for i, s in enumerate(self.steps) if s[1] != "set"), len(self.steps))
            for _, verb, arg in self.steps[:first]:
                self.step(verb, arg)
            self.accept_ctrl()
            for number, verb, arg in self.steps[first:]:
                try:
                    self.step(verb, arg)
                except OSError as e:
                    self.fail(f"line {number}: {verb}: {e}")
            self.idle(self.timeout)
        except Stop:
            pass
        finally:
            for s in [self.ctrl, self.data_listener, self.listener] + self.data:
                if s:
                    s.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--script", required=True)
    parser.add_argument("--transcript", required=True)
    args = parser.parse_args()
    with open(args.script, encoding="latin-1") as f:
        text = f.read()
    try:
        steps = parse(text)
    except ScriptError as e:
        print(f"ERROR {e}", flush=True)
        return 2
    with open(args.transcript, "w", encoding="latin-1") as log:
        fake = Fake(steps, log)
        fake.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        fake.listener.bind(("127.0.0.1", 0))
        fake.listener.listen(5)
        print(f"READY {fake.listener.getsockname()[1]}", flush=True)
        fake.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
