"""The tray program on the headless session's desktop, for the fault tests and the soak: a
provider behind a local HTTPS CONNECT proxy whose every answer the caller chooses (a
translation, a hang, a trickle, garbage), a private configuration with the provider, its key in
the session's keyring and cloud consent, the GTK test pad allowed, and helpers that read what
the program shows through AT-SPI."""

import json
import os
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

import pyatspi

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "app"))
# The desktop helpers are the end-to-end run's: one way to wait, find and read over AT-SPI.
from tray_end_to_end import (CERTIFICATE, PRIVATE_KEY, SOURCE, TEST_PAD, Failure, application,  # noqa: E402,F401
                             check, find, wait_for)
PAD_ID = "org.quillweave.TestPad"
API_KEY = "sk-faults-0123456789abcdef"


def answer(text):
    return ("answer", text)


HANG, TRICKLE, GARBAGE = ("hang",), ("trickle",), ("garbage",)


class Provider:
    """Chat completions over TLS behind a CONNECT proxy. `behaviour(index, body)` decides each
    answer. Counts the exchanges open at once: a client that abandons a request closes it."""

    def __init__(self, behaviour):
        self.behaviour = behaviour
        self.bodies = []
        self.arrivals = []  # time.monotonic() of each request
        self.open = 0
        self.most_open = 0
        self.lock = threading.Lock()
        self.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.tls.load_cert_chain(CERTIFICATE, PRIVATE_KEY)
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            connection, _ = self.listener.accept()
            threading.Thread(target=self.serve, args=(connection,), daemon=True).start()

    @staticmethod
    def read_head(stream):
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = stream.recv(1)
            if not chunk:
                return None
            head += chunk
        return head.split(b"\r\n\r\n", 1)[0].decode("latin-1").split("\r\n")

    def serve(self, connection):
        counted = False
        try:
            lines = self.read_head(connection)
            if not lines or not lines[0].startswith("CONNECT "):
                return
            connection.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
            stream = self.tls.wrap_socket(connection, server_side=True)
            lines = self.read_head(stream)
            if not lines:
                return
            headers = {k.strip().lower(): v.strip() for k, v in (line.split(":", 1) for line in lines[1:])}
            body = b""
            while len(body) < int(headers.get("content-length", "0")):
                body += stream.recv(65536)
            with self.lock:
                index = len(self.bodies)
                self.bodies.append(body.decode("utf-8"))
                self.arrivals.append(time.monotonic())
                self.open += 1
                self.most_open = max(self.most_open, self.open)
                counted = True
            kind = self.behaviour(index, self.bodies[-1])
            if kind[0] == "answer":
                data = json.dumps({"choices": [{"index": 0, "finish_reason": "stop",
                                                "message": {"role": "assistant", "content": kind[1]}}]}).encode()
                stream.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                               b"Content-Length: %d\r\n\r\n" % len(data) + data)
            elif kind[0] == "garbage":
                data = b"<html><body>502 upstream went away</body></html>\x00\xff"
                stream.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                               b"Content-Length: %d\r\n\r\n" % len(data) + data)
            elif kind[0] == "trickle":
                # A byte now and then: never idle long enough for an inactivity limit.
                stream.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                               b"Content-Length: 1000000\r\n\r\n{")
                while True:
                    time.sleep(0.3)
                    stream.sendall(b" ")
            else:  # hang: read until the client gives up
                while stream.recv(1):
                    pass
            stream.close()
        except (OSError, ValueError):
            pass
        finally:
            if counted:
                with self.lock:
                    self.open -= 1
            connection.close()


def run(*arguments):
    return subprocess.run(arguments, capture_output=True, text=True, timeout=30)


def zh(key):
    """A message as the program shows it in Chinese: the zh-Hans table's words for the key."""
    folder = os.path.join(SOURCE, "resources", "zh-Hans.lproj")
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), encoding="utf-8") as table:
            words = json.load(table).get(key)
        if words:
            return words
    return key


def shown_text(node):
    """A node's name and text, as a screen reader would read them."""
    parts = [node.name or ""]
    try:
        parts.append(node.queryText().getText(0, -1))
    except Exception:
        pass
    return " ".join(parts)


def shows(pid, text):
    """Whether a showing element of the program reads `text`."""
    return find(application(pid), lambda n: n.getState().contains(pyatspi.STATE_SHOWING)
                and text in shown_text(n)) is not None


def prompt_shown():
    return bool(run("xdotool", "search", "--onlyvisible", "--class", "gcr-prompter").stdout.strip())


class Session:
    """A private configuration for the program: provider, key, consent and the allowed pad."""

    def __init__(self, quillweave, provider):
        self.quillweave = quillweave
        self.home = tempfile.mkdtemp(prefix="qw-faults-")
        self.env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                        XDG_DATA_HOME=os.path.join(self.home, "data"), SSL_CERT_FILE=CERTIFICATE,
                        https_proxy="http://127.0.0.1:%d" % provider.port, no_proxy="",
                        LANGUAGE="zh_CN", LANG="zh_CN.UTF-8", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        os.makedirs(os.path.join(self.home, "data", "applications"))
        with open(os.path.join(self.home, "data", "applications", PAD_ID + ".desktop"), "w") as entry:
            entry.write("[Desktop Entry]\nType=Application\nName=Test Pad\nExec=true\n")
        self.settings_path = os.path.join(self.home, "config", "quillweave", "settings.json")
        self.children = []

    def cli(self, *arguments, stdin=None):
        result = subprocess.run((self.quillweave,) + arguments, env=self.env, input=stdin,
                                capture_output=True, text=True, timeout=60)
        check(result.returncode == 0, "quillweave %s: %s%s" % (" ".join(arguments), result.stdout, result.stderr))
        return result.stdout

    def configure(self):
        self.cli("provider", "set", "custom")
        self.cli("provider", "--address", "https://translate.example.test/v1", "--model", "faults-model")
        self.cli("key", "set", "--provider", "custom", stdin=API_KEY)
        self.cli("consent", "on")
        self.cli("apps", "allow", PAD_ID)
        # The accessibility switch, as the tray menu's row turns it on.
        run("dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
            "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status", "string:IsEnabled",
            "variant:boolean:true")

    def settings(self):
        with open(self.settings_path, "rb") as stored:
            return stored.read()

    def start(self, *arguments, **kwargs):
        process = subprocess.Popen(arguments, env=self.env, **kwargs)
        self.children.append(process)
        return process

    def start_program(self, log):
        return self.start(self.quillweave, "--autostart", stderr=log)

    def start_pad(self):
        pad = self.start("/usr/bin/python3", TEST_PAD, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        ready = pad.stdout.readline().split()
        check(ready[:1] == ["READY"], "the test pad did not start")
        run("xdotool", "windowactivate", "--sync", ready[2])
        return pad

    @staticmethod
    def set_pad_text(pad, text):
        """The pad's entry takes `text` (as typing a whole sentence would leave it)."""
        pad.stdin.write("set entry %s\n" % json.dumps(text))
        pad.stdin.flush()
        check(pad.stdout.readline().startswith("OK"), "the test pad did not take the text")

    def close(self):
        for process in reversed(self.children):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
        shutil.rmtree(self.home, ignore_errors=True)
