"""The tray program on the headless session's desktop, for the fault tests and the soak: the
end-to-end run's provider, whose every answer the caller chooses (a translation, a hang, a
trickle, garbage), a private configuration with the provider, its key in
the session's keyring and cloud consent, the GTK test pad allowed, and helpers that read what
the program shows through AT-SPI."""

import json
import os
import shutil
import subprocess
import sys
import tempfile

import pyatspi

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "app"))
# The desktop helpers are the end-to-end run's: one way to wait, find and read over AT-SPI.
from tray_end_to_end import (CERTIFICATE, GARBAGE, HANG, PRIVATE_KEY, SOURCE, TEST_PAD, TRICKLE,  # noqa: E402,F401
                             Failure, Provider, answer, application, check, find, wait_for)
PAD_ID = "org.quillweave.TestPad"
API_KEY = "sk-faults-0123456789abcdef"


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
