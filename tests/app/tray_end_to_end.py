#!/usr/bin/python3
"""The tray program as a user runs it, on the headless session's desktop (Xvfb, openbox,
the accessibility bus, gnome-keyring) with trayer as the tray host and mousepad as the editor.
Everything goes through the real pieces: the key through `quillweave key set` into the session's
keyring, the provider's HTTPS endpoint served here behind a CONNECT proxy (the program trusts
the test certificate through SSL_CERT_FILE), keys and clicks through XTest, texts read back over
AT-SPI; clicks on the panel and a drag of its title must leave mousepad active and typed into.
Pictures of the tray menu and of the panel over mousepad land in the artifacts folder.

Usage: tray_end_to_end.py <quillweave> <artifacts dir>. Exits 77 (skipped) outside the
headless session; inside it (QW_HEADLESS_SESSION=1) anything missing is a failure."""

import ctypes
import json
import os
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

import gi

gi.require_version("Gdk", "3.0")
from gi.repository import Gdk  # noqa: E402

import pyatspi  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.abspath(os.path.join(HERE, "..", ".."))
CERTIFICATE = os.path.join(SOURCE, "tests/engine/data/test-server.pem")
PRIVATE_KEY = os.path.join(SOURCE, "tests/engine/data/test-server.key")
TEST_PAD = os.path.join(SOURCE, "tests/support/desktop-real/gtk_text_app.py")

API_KEY = "sk-e2e-0123456789abcdef"
ORIGINAL = "这周我们先完成产品设计"
TRANSLATION = "This week we finish the product design first."
SECRET = "hunter2-Secret-Pass"
PLAIN = "明天早上开会"
REPLACE_BUTTON = ("替换到输入框", "Replace in field")
ENGLISH, JAPANESE = "英语", "日语"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(what, predicate, timeout=15.0):
    """Polls a real desktop until `predicate` gives something true; a bounded wait, no timing."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.1)


# --- the provider: a CONNECT proxy that ends TLS itself and answers chat completions --------

def answer(text):
    return ("answer", text)


# What else a provider may do: never answer, answer a byte now and then, answer with garbage.
HANG, TRICKLE, GARBAGE = ("hang",), ("trickle",), ("garbage",)


class Provider:
    """Chat completions over TLS behind a CONNECT proxy. `behaviour(index, body)` decides each
    answer (by default the translation). Counts the exchanges open at once: a client that
    abandons a request closes it."""

    def __init__(self, behaviour=None):
        self.behaviour = behaviour or (lambda index, body: answer(TRANSLATION))
        self.requests = []  # (headers dict, body text)
        self.bodies = []
        self.arrivals = []  # time.monotonic() of each request
        self.timings = []  # (proxy connection asked for, answer sent), time.monotonic()
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

    @staticmethod
    def send_json(stream, data):
        stream.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                       b"Content-Length: %d\r\n\r\n" % len(data) + data)

    def serve(self, connection):
        counted = False
        try:
            lines = self.read_head(connection)
            if not lines or not lines[0].startswith("CONNECT "):
                return
            asked = time.monotonic()
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
                self.requests.append((headers, body.decode("utf-8")))
                self.bodies.append(body.decode("utf-8"))
                self.arrivals.append(time.monotonic())
                self.open += 1
                self.most_open = max(self.most_open, self.open)
                counted = True
            kind = self.behaviour(index, self.bodies[index])
            if kind[0] == "answer":
                self.send_json(stream, json.dumps({"choices": [{"index": 0, "finish_reason": "stop", "message": {
                    "role": "assistant", "content": kind[1]}}]}).encode("utf-8"))
                self.timings.append((asked, time.monotonic()))
            elif kind[0] == "garbage":
                self.send_json(stream, b"<html><body>502 upstream went away</body></html>\x00\xff")
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


# --- the desktop -------------------------------------------------------------------------

def run(*arguments, **kwargs):
    return subprocess.run(arguments, capture_output=True, text=True, timeout=30, **kwargs)


def active_window_pid():
    out = run("xdotool", "getactivewindow", "getwindowpid").stdout.strip()
    return int(out) if out.isdigit() else None


def active_window_name():
    return run("xdotool", "getactivewindow", "getwindowname").stdout.strip()


def windows_of(pid):
    out = run("xdotool", "search", "--onlyvisible", "--pid", str(pid), "").stdout.split()
    return [int(w) for w in out]


def tray_icon_geometry(window_class="quillweave"):
    """The icon window of the program with this WM_CLASS once trayer has embedded it:
    (x, y, w, h), or None."""
    tree = run("xwininfo", "-root", "-tree").stdout.splitlines()
    inside_trayer = None
    for line in tree:
        depth = len(line) - len(line.lstrip())
        if '("trayer"' in line or '"trayer")' in line:
            inside_trayer = depth
            continue
        if inside_trayer is not None and depth <= inside_trayer and line.strip():
            inside_trayer = None
        if inside_trayer is not None and '"%s"' % window_class in line:
            # ... ("quillweave" "quillweave")  22x22+0+0  +1236+0
            size, absolute = line.split()[-2:]
            w, h = (int(v) for v in size.split("+")[0].split("x"))
            x, y = (int(v) for v in absolute.lstrip("+").split("+"))
            return (x, y, w, h)
    return None


def screenshot(path):
    root = Gdk.get_default_root_window()
    picture = Gdk.pixbuf_get_from_window(root, 0, 0, root.get_width(), root.get_height())
    picture.savev(path, "png", [], [])


def application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            continue
    return None


def find(node, predicate, depth=0):
    if node is None or depth > 30:
        return None
    try:
        if predicate(node):
            return node
        children = list(node)
    except Exception:
        return None
    for child in children:
        found = find(child, predicate, depth + 1)
        if found is not None:
            return found
    return None


def editable_text(pid):
    """The text of the application's focused editable field, or None."""
    def focused_field(node):
        states = node.getState()
        return states.contains(pyatspi.STATE_EDITABLE) and states.contains(pyatspi.STATE_FOCUSED)
    field = find(application(pid), focused_field)
    return None if field is None else field.queryText().getText(0, -1)


def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return (box.x, box.y, box.width, box.height)


def showing(root, role, names):
    """The first node under `root` with this role and one of these names that is on screen."""
    return find(root, lambda node: node.getRole() == role and node.name in names
                and node.getState().contains(pyatspi.STATE_SHOWING))


def replace_button(pid):
    return showing(application(pid), pyatspi.ROLE_PUSH_BUTTON, REPLACE_BUTTON)


def panel_window(pid):
    """The program's top-level window that shows the panel's buttons."""
    try:
        windows = list(application(pid) or [])
    except Exception:
        return None
    buttons = REPLACE_BUTTON + ("复制",)
    return next((w for w in windows if showing(w, pyatspi.ROLE_PUSH_BUTTON, buttons)), None)


def centre(node):
    x, y, w, h = extents(node)
    return x + w // 2, y + h // 2


def click(x, y, button=1):
    run("xdotool", "mousemove", "--sync", str(x), str(y), "click", str(button))


def type_text(text):
    run("xdotool", "type", "--delay", "150", text)


def type_into(pid, text):
    """Types into the application's focused field a character at a time, each seen in the field.

    xdotool types a character outside the keyboard layout by remapping a spare key; an application
    slowed by a loaded machine can read the key before the new mapping and insert another
    character. Such a character is taken back and typed again; anything else fails with what the
    field holds, so a failure says what happened."""
    expected = editable_text(pid) or ""
    for character in text:
        for _ in range(3):
            type_text(character)
            deadline = time.monotonic() + 5
            while (editable_text(pid) or "") == expected and time.monotonic() < deadline:
                time.sleep(0.05)
            now = editable_text(pid)
            if now == expected + character:
                break
            if now is None or not now.startswith(expected) or len(now) - len(expected) != 1:
                raise Failure("typing %r: the field holds %r (expected %r), active window of pid %s"
                              % (character, now, expected + character, active_window_pid()))
            run("xdotool", "key", "BackSpace")
            wait_for("the wrong character taken back", lambda: editable_text(pid) == expected, 5)
        else:
            raise Failure("typing %r: a wrong character three times" % character)
        expected += character


def can_grab_ctrl_alt_t():
    """Whether another X client can grab Ctrl+Alt+T on the root window now (no BadAccess)."""
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x.XGrabKey.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int,
                           ctypes.c_int, ctypes.c_int]
    x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    errors = []
    handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
    handler = handler_type(lambda display, event: errors.append(1) or 0)
    x.XSetErrorHandler(handler)
    display = x.XOpenDisplay(None)
    keycode = x.XKeysymToKeycode(display, 0x74)  # XK_t
    control_alt = (1 << 2) | (1 << 3)
    x.XGrabKey(display, keycode, control_alt, x.XDefaultRootWindow(display), 0, 1, 1)
    x.XSync(display, 0)
    x.XCloseDisplay(display)
    return not errors


# --- the run -----------------------------------------------------------------------------

def main():
    if not os.environ.get("DISPLAY"):
        if os.environ.get("QW_HEADLESS_SESSION") == "1":
            print("FAIL: no DISPLAY inside the headless session")
            return 1
        print("SKIPPED: run inside scripts/headless-session.sh")
        return 77
    quillweave, artifacts = sys.argv[1], sys.argv[2]
    os.makedirs(artifacts, exist_ok=True)
    for tool in ("trayer", "mousepad", "xdotool", "xwininfo"):
        check(shutil.which(tool), tool + " is missing (scripts/install-deps.sh installs it)")

    provider = Provider()
    home = tempfile.mkdtemp(prefix="qw-e2e-")
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_DATA_HOME=os.path.join(home, "data"), SSL_CERT_FILE=CERTIFICATE,
               https_proxy="http://127.0.0.1:%d" % provider.port, no_proxy="",
               LANGUAGE="zh_CN", LANG="zh_CN.UTF-8", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    # The test pad with its password field is an installed application like any other.
    os.makedirs(os.path.join(home, "data", "applications"))
    with open(os.path.join(home, "data", "applications", "org.quillweave.TestPad.desktop"), "w") as entry:
        entry.write("[Desktop Entry]\nType=Application\nName=Test Pad\nExec=true\n")
    children = []

    def start(*arguments, **kwargs):
        process = subprocess.Popen(arguments, env=env, **kwargs)
        children.append(process)
        return process

    def cli(*arguments, stdin=None):
        result = subprocess.run((quillweave,) + arguments, env=env, input=stdin, capture_output=True,
                                text=True, timeout=60)
        check(result.returncode == 0, "quillweave %s: %s%s" % (" ".join(arguments), result.stdout,
                                                                 result.stderr))
        return result.stdout

    try:
        cli("provider", "set", "custom")
        cli("provider", "--address", "https://translate.example.test/v1", "--model", "e2e-model")
        cli("key", "set", "--provider", "custom", stdin=API_KEY)
        cli("consent", "on")
        cli("apps", "allow", "org.xfce.mousepad")
        cli("apps", "allow", "org.quillweave.TestPad")
        settings_path = os.path.join(home, "config", "quillweave", "settings.json")

        # Without a tray host the doctor says so, and what still works.
        def doctor_tray_line():
            out = subprocess.run((quillweave, "doctor"), env=env, capture_output=True, text=True, timeout=60).stdout
            return [line for line in out.splitlines() if line.startswith("托盘：")]
        check(doctor_tray_line() and "浮窗和全局快捷键照常可用" in doctor_tray_line()[0],
              "doctor did not report the missing tray")

        start("trayer", "--edge", "top", "--align", "right", "--SetDockType", "true", "--expand", "false",
              "--width", "10", "--height", "24")
        wait_for("the tray host", lambda: '"trayer"' in run("xwininfo", "-root", "-tree").stdout)

        check(not doctor_tray_line(), "doctor reported no tray with trayer running")

        started = time.monotonic()
        program = start(quillweave, stderr=open(os.path.join(artifacts, "quillweave.log"), "w"))
        icon = wait_for("the tray icon to be embedded", tray_icon_geometry)
        print("tray icon embedded after %.0f ms at %s" % ((time.monotonic() - started) * 1000, icon))
        # The first start opens a window of its own (the guide, or the settings).
        wait_for("the program's first window", lambda: windows_of(program.pid))

        # The tray menu, as a right click on the icon opens it; its third row switches the
        # desktop's accessibility on, as a user without a screen reader does first.
        shown = len(windows_of(program.pid))
        click(icon[0] + icon[2] // 2, icon[1] + icon[3] // 2, 3)
        wait_for("the tray menu", lambda: len(windows_of(program.pid)) > shown)
        time.sleep(0.3)  # the popup's first paint; nothing below depends on it
        screenshot(os.path.join(artifacts, "tray-menu.png"))
        run("xdotool", "key", "Down", "Down", "Return")

        # Typing in mousepad: after the pause the panel shows the provider's translation.
        editor = start("mousepad", "--disable-server", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        window = wait_for("mousepad's window", lambda: windows_of(editor.pid))[0]
        run("xdotool", "windowactivate", "--sync", str(window))
        wait_for("mousepad's text view to take the focus", lambda: editable_text(editor.pid) == "")
        type_into(editor.pid, ORIGINAL)
        # A slow machine may pause mid-word long enough for a part to be translated first: the
        # panel to use is the one for the whole text.
        wait_for("the typed text at the provider", lambda: any(ORIGINAL in b for b in provider.bodies), 20)
        button = wait_for("the panel's replace button", lambda: replace_button(program.pid), 20)
        headers = provider.requests[-1][0]
        check(headers.get("authorization") == "Bearer " + API_KEY,
              "the request carried %r, not the stored key" % headers.get("authorization"))
        check(active_window_pid() == editor.pid, "showing the panel took the active window from mousepad")

        field = find(application(editor.pid), lambda n: n.getState().contains(pyatspi.STATE_FOCUSED)
                     and n.getState().contains(pyatspi.STATE_EDITABLE))
        fx, fy, fw, fh = extents(field)
        bx, by, bw, bh = extents(button)
        px, py, pw, ph = extents(panel_window(program.pid) or button)
        # Next to the field: touching or inside the field's box, not somewhere else on the screen.
        check(px < fx + fw + 48 and px + pw > fx - 48 and py < fy + fh + 48 and py + ph > fy - 48,
              "the panel %s is not next to the field %s" % ((px, py, pw, ph), (fx, fy, fw, fh)))
        screenshot(os.path.join(artifacts, "bubble-over-mousepad.png"))

        # A real click on "替换到输入框" writes the translation into mousepad.
        click(bx + bw // 2, by + bh // 2)
        wait_for("the translation in mousepad", lambda: editable_text(editor.pid) == TRANSLATION)
        check(active_window_pid() == editor.pid, "the click on the panel took the active window")

        # Ctrl+Alt+Z puts the original back.
        check(not can_grab_ctrl_alt_t(), "Ctrl+Alt+T was not grabbed while the program ran")
        run("xdotool", "key", "--clearmodifiers", "ctrl+alt+z")
        wait_for("the original text after Ctrl+Alt+Z", lambda: editable_text(editor.pid) == ORIGINAL)

        # The panel never takes the keyboard: after a click on its copy button, a drag of its title
        # and a language chosen from its list, mousepad is still active and typing lands in it.
        def still_typing(action, keys):
            check(active_window_pid() == editor.pid, action + " took the active window from mousepad")
            type_into(editor.pid, keys)

        def translated_again(action, keys):
            """Types, then waits until the provider answered the new text and the panel is placed."""
            answered = len(provider.requests)
            still_typing(action, keys)
            wait_for("the new text's translation", lambda: len(provider.timings) > answered)
            time.sleep(0.3)  # the panel places itself for the new translation; nothing reads it sooner
            return wait_for("the panel", lambda: panel_window(program.pid))

        translated_again("the restore hotkey", "吗")
        click(*centre(showing(panel_window(program.pid), pyatspi.ROLE_PUSH_BUTTON, ("复制",))))
        panel = translated_again("the copy button", "呢")
        target = showing(panel, pyatspi.ROLE_COMBO_BOX, (ENGLISH,))
        click(*centre(target))
        choices = wait_for("the target language list", lambda: showing(target, pyatspi.ROLE_LIST, ("",)))
        click(*centre(showing(choices, pyatspi.ROLE_LIST_ITEM, (JAPANESE,))))
        wait_for("a request into Japanese", lambda: any("日本語" in body for body in provider.bodies))
        panel = translated_again("the language list", "哦")
        title = showing(panel, pyatspi.ROLE_LABEL, ("输入翻译",))
        (tx, ty), (px, py) = centre(title), extents(panel)[:2]
        run("xdotool", "mousemove", "--sync", str(tx), str(ty), "mousedown", "1",
            "mousemove", "--sync", str(tx + 60), str(ty + 40), "mouseup", "1")
        wait_for("the panel where it was dropped", lambda: extents(panel)[:2] == (px + 60, py + 40))
        wait_for("the pin offering to follow the field again",
                 lambda: find(panel, lambda n: n.name == "恢复自动跟随"))
        still_typing("a drag of the panel", "啊")

        # A password field of an allowed application never reaches the provider; its plain entry
        # next to it does (so the application is really watched).
        pad = start("/usr/bin/python3", TEST_PAD, "--focus", "password", stdin=subprocess.PIPE,
                    stdout=subprocess.PIPE, text=True)
        ready = pad.stdout.readline().split()
        check(ready[:1] == ["READY"], "the test pad did not start")
        run("xdotool", "windowactivate", "--sync", ready[2])
        type_text(SECRET)
        requests_before = len(provider.requests)
        pad.stdin.write("focus entry\n")
        pad.stdin.flush()
        type_text(PLAIN)
        wait_for("the plain entry's text at the provider", lambda: any(PLAIN in b for b in provider.bodies))
        check(not any(SECRET in body or "hunter2" in body for body in provider.bodies),
              "the password reached the provider")
        check(len(provider.requests) > requests_before, "nothing was sent after the password field")

        # A second start brings the running program's window to the front and exits at once.
        run("xdotool", "windowactivate", "--sync", str(window))
        second = subprocess.run((quillweave,), env=env, capture_output=True, text=True, timeout=30)
        check(second.returncode == 0, "the second start exited with %d: %s" % (second.returncode,
                                                                                 second.stderr))
        wait_for("the running program's window in front", lambda: active_window_pid() == program.pid)
        print("second start brought up: " + active_window_name())
        check(program.poll() is None, "the first program ended when the second started")

        # SIGTERM: a clean end that lets others have the hotkeys and keeps the settings.
        with open(settings_path) as stored:
            settings_before = json.load(stored)
        program.send_signal(signal.SIGTERM)
        status = program.wait(timeout=15)
        check(status == 0, "the program ended with %d after SIGTERM" % status)
        check(can_grab_ctrl_alt_t(), "Ctrl+Alt+T stayed grabbed after SIGTERM")
        with open(settings_path) as stored:
            settings_after = json.load(stored)
        for key, value in settings_before.items():
            check(settings_after.get(key) == value, "setting %s changed: %r -> %r"
                  % (key, value, settings_after.get(key)))
        print("PASS")
        return 0
    except Failure as failure:
        print("FAIL: %s" % failure)
        screenshot(os.path.join(artifacts, "failure.png"))
        return 1
    finally:
        for process in reversed(children):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
