#!/usr/bin/python3
"""Faults the tray program survives, injected for real on the headless session's desktop, and
quitting that never hangs. The program runs as the login entry starts it (no window), the GTK
test pad is allowed and focused, the provider is a local HTTPS server whose answers the test
chooses, and what the user would see is read back through AT-SPI.

  - the provider hangs, trickles or answers garbage while the user keeps typing: the deadline
    holds, the error is shown, abandoned requests are closed and nothing piles up;
  - SIGTERM (or SIGHUP) while a request is in flight, while the focused application does not answer its
    accessibility calls, and while the keyring's unlock prompt is open: the program is gone
    within 2 s and the settings file is untouched;
  - the keyring locked before the key was read: no prompt in the background, the settings say so;
  - the accessibility bus restarted: the program reconnects and goes on reading.

Usage: tray_faults.py <quillweave>. Exits 77 (skipped) outside the headless session."""

import os
import signal
import sys
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tray_session import (GARBAGE, HANG, TRICKLE, Failure, Provider, Session, answer, application,  # noqa: E402
                          check, find, prompt_shown, shows, wait_for, zh)

import pyatspi  # noqa: E402

TIMEOUT = zh("翻译请求超时")
NO_TRANSLATION = zh("翻译服务没有返回有效的译文")
KEY_LOCKED = (zh("密钥需要授权或钥匙串解锁"), zh("需要授权密钥访问"))
AUTHORIZE = zh("授权读取密钥")
QUIT_LIMIT = 2.0
DEADLINE = 15.0


# One connection for the whole run: a Secret Service session belongs to the connection that opened it.
BUS = Gio.bus_get_sync(Gio.BusType.SESSION)


def keyring(method, *arguments):
    return BUS.call_sync("org.freedesktop.secrets", "/org/freedesktop/secrets", *arguments[:1], method,
                         arguments[1] if len(arguments) > 1 else None, None, Gio.DBusCallFlags.NONE, 5000, None)


def default_collection():
    return keyring("ReadAlias", "org.freedesktop.Secret.Service", GLib.Variant("(s)", ("default",)))[0]


def lock_keyring():
    keyring("Lock", "org.freedesktop.Secret.Service", GLib.Variant("(ao)", ([default_collection()],)))


def unlock_keyring():
    session = keyring("OpenSession", "org.freedesktop.Secret.Service",
                      GLib.Variant("(sv)", ("plain", GLib.Variant("s", ""))))[1]
    password = os.environ["QW_TEST_KEYRING_PASSWORD"].encode()
    keyring("UnlockWithMasterPassword", "org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface",
            GLib.Variant("(o(oayays))", (default_collection(), (session, b"", password, "text/plain"))))


def restart_accessibility_bus():
    """Kills this private session's accessibility bus (its daemon, then the launcher), by the
    ids the session bus gives; the program's reconnection starts it again."""
    launcher = BUS.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                             "GetConnectionUnixProcessID", GLib.Variant("(s)", ("org.a11y.Bus",)), None,
                             Gio.DBusCallFlags.NONE, 5000, None)[0]
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as stat:
                    if int(stat.read().rsplit(")", 1)[1].split()[1]) == launcher:
                        os.kill(int(entry), signal.SIGKILL)
            except (OSError, IndexError, ValueError):
                continue
    os.kill(launcher, signal.SIGKILL)
    return launcher


def started(program):
    """Waits until `program` owns the program's name on the session bus: until then a second
    start (the settings command) would not find it and open a window of its own."""
    def owner_is_program():
        try:
            return BUS.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                 "GetConnectionUnixProcessID", GLib.Variant("(s)", ("org.quillweave.Quillweave",)),
                                 None, Gio.DBusCallFlags.NONE, 5000, None)[0] == program.pid
        except GLib.Error:
            return False
    wait_for("the program to start", owner_is_program, 20)
    return program


def on_accessibility_bus(pid):
    """Whether the process `pid` has a connection to the accessibility bus."""
    try:
        address = BUS.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None, None,
                                Gio.DBusCallFlags.NONE, 5000, None)[0]
        bus = Gio.DBusConnection.new_for_address_sync(
            address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
            None, None)
        names = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ListNames",
                              None, None, Gio.DBusCallFlags.NONE, 5000, None)[0]
        for name in (n for n in names if n.startswith(":")):
            try:
                owner = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                      "GetConnectionUnixProcessID", GLib.Variant("(s)", (name,)), None,
                                      Gio.DBusCallFlags.NONE, 5000, None)[0]
            except GLib.Error:
                continue
            if owner == pid:
                return True
    except GLib.Error:
        pass
    return False


def accessibility_bus_back(old_launcher):
    """Whether a new launcher serves the bus with the accessibility switch on again."""
    try:
        launcher = BUS.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                 "GetConnectionUnixProcessID", GLib.Variant("(s)", ("org.a11y.Bus",)), None,
                                 Gio.DBusCallFlags.NO_AUTO_START, 5000, None)[0]
        enabled = BUS.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Get",
                                GLib.Variant("(ss)", ("org.a11y.Status", "IsEnabled")), None,
                                Gio.DBusCallFlags.NO_AUTO_START, 5000, None)[0]
    except GLib.Error:
        return False
    return launcher != old_launcher and enabled


def quit_within_limit(program, what, session, settings_before, sent=signal.SIGTERM):
    started = time.monotonic()
    program.send_signal(sent)
    try:
        status = program.wait(timeout=10)
    except Exception:
        raise Failure("the program did not end after %s %s" % (sent.name, what))
    took = time.monotonic() - started
    print("%s %s: ended after %.2f s with %d" % (sent.name, what, took, status))
    check(took < QUIT_LIMIT, "quitting %s took %.2f s" % (what, took))
    check(status == 0, "the program ended with %d %s" % (status, what))
    check(session.settings() == settings_before, "a setting changed on quitting " + what)


def main():
    if os.environ.get("QW_HEADLESS_SESSION") != "1":
        print("SKIPPED: run inside scripts/headless-session.sh")
        return 77
    quillweave = os.path.abspath(sys.argv[1])
    plan = []
    provider = Provider(lambda index, body: plan.pop(0) if plan else answer("translated %d" % index))
    session = Session(quillweave, provider)
    log = open(os.path.join(session.home, "quillweave.log"), "w")
    try:
        session.configure()
        settings_before = session.settings()
        program = started(session.start_program(log))
        pad = session.start_pad()

        def typed(text, requests):
            """The user's text reaches the field; the provider then sees request number `requests`."""
            session.set_pad_text(pad, text)
            wait_for("request %d at the provider" % requests, lambda: len(provider.bodies) >= requests, 20)
            check(text in provider.bodies[requests - 1], "request %d was not for %r" % (requests, text))

        # A provider that hangs while the user keeps typing: the abandoned request is closed,
        # the newest one ends at the deadline with the error shown.
        plan[:] = [HANG, HANG]
        typed("明天早上开会", 1)
        typed("明天早上开会讨论预算", 2)
        wait_for("the abandoned request to be closed", lambda: provider.open == 1, 5)
        shown = wait_for("the time-out in the panel", lambda: shows(program.pid, TIMEOUT), DEADLINE + 10)
        waited = time.monotonic() - provider.arrivals[1]
        print("hang: error shown %.1f s after the request" % waited)
        check(shown and DEADLINE - 1 < waited < DEADLINE + 5, "the deadline did not hold: %.1f s" % waited)

        # One that trickles a byte now and then: never idle, still cut at the deadline.
        plan[:] = [TRICKLE]
        typed("请把报告发给我", 3)
        wait_for("the panel to leave the old error", lambda: not shows(program.pid, TIMEOUT), 5)
        wait_for("the time-out of the trickling answer", lambda: shows(program.pid, TIMEOUT), DEADLINE + 10)
        waited = time.monotonic() - provider.arrivals[2]
        print("trickle: error shown %.1f s after the request" % waited)
        check(DEADLINE - 1 < waited < DEADLINE + 5, "the deadline did not hold for a trickle: %.1f s" % waited)

        # Garbage: the error at once.
        plan[:] = [GARBAGE]
        typed("我们下午讨论预算", 4)
        wait_for("the garbage's error in the panel", lambda: shows(program.pid, NO_TRANSLATION), 5)
        wait_for("every exchange to be closed", lambda: provider.open == 0, 5)
        check(len(provider.bodies) == 4, "%d requests for 4 texts" % len(provider.bodies))
        check(provider.most_open <= 2, "%d exchanges were open at once" % provider.most_open)
        check(program.poll() is None, "the program ended during the provider faults")

        # Quitting while a request is in flight.
        plan[:] = [HANG]
        typed("周五之前提交代码", 5)
        quit_within_limit(program, "with a request in flight", session, settings_before)

        # Quitting while the focused application does not answer its accessibility calls.
        program = started(session.start_program(log))
        time.sleep(1.5)  # the program's first scans of the pad; nothing depends on their timing
        pad.send_signal(signal.SIGSTOP)
        time.sleep(1.5)  # scans now wait on the stopped pad
        try:
            # The session ending (SIGHUP) takes the same way out as SIGTERM and the menu.
            quit_within_limit(program, "while an application hangs", session, settings_before, signal.SIGHUP)
        finally:
            pad.send_signal(signal.SIGCONT)

        # The keyring locked (as a screen lock may leave it) before the program read the key: the
        # key is needed, no prompt comes up in the background and the settings say why; then
        # quitting while the unlock prompt the user asked for is open. A key read before the lock
        # stays in memory and translating goes on, which needs no check of its own.
        lock_keyring()
        program = started(session.start_program(log))
        requests = len(provider.bodies)
        session.set_pad_text(pad, "这周我们先完成产品设计")
        session.cli("settings", "--section", "privacy")
        wait_for("the locked keyring in the settings",
                 lambda: any(shows(program.pid, text) for text in KEY_LOCKED), 20)
        check(not prompt_shown(), "a keyring prompt came up in the background")
        check(len(provider.bodies) == requests, "a request was sent without the key")
        authorize = wait_for("the key authorization button", lambda: find(
            application(program.pid), lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON
            and n.name == AUTHORIZE and n.getState().contains(pyatspi.STATE_SHOWING)))
        authorize.queryAction().doAction(0)
        wait_for("the unlock prompt", prompt_shown)
        quit_within_limit(program, "with the unlock prompt open", session, settings_before)
        wait_for("the prompt to close", lambda: not prompt_shown(), 5)
        unlock_keyring()

        # The accessibility bus restarted under the running program: it reconnects and goes on
        # reading (a program started after the restart: running GTK and Qt programs do not join
        # a new bus). Last, because this program's own windows leave the bus with it.
        program = started(session.start_program(log))
        wait_for("the program on the accessibility bus", lambda: on_accessibility_bus(program.pid))
        pad.stdin.close()
        pad.wait(timeout=10)
        old_launcher = restart_accessibility_bus()
        # Started again by the program's reconnection alone, with the switch put back on.
        wait_for("the program to bring the bus back", lambda: accessibility_bus_back(old_launcher), 15)
        pad = session.start_pad()
        requests = len(provider.bodies)
        session.set_pad_text(pad, "重启之后继续翻译")
        wait_for("a request after the bus restarted", lambda: len(provider.bodies) > requests, 30)
        check("重启之后继续翻译" in provider.bodies[-1], "the request after the restart was for another text")
        quit_within_limit(program, "after the bus restarted", session, settings_before)
        print("PASS")
        return 0
    except Failure as failure:
        print("FAIL: %s" % failure)
        return 1
    finally:
        try:
            unlock_keyring()
        except GLib.Error:
            pass
        log.close()
        with open(os.path.join(session.home, "quillweave.log")) as written:
            sys.stdout.write(written.read()[-3000:])
        session.close()


if __name__ == "__main__":
    sys.exit(main())
