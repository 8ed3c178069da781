#!/usr/bin/python3
"""A GTK 3 program whose dialog has no identity of its own, the way LibreOffice's dialogs have
none: the main window belongs to the application (its id is on the window), the dialog is a
plain window with WM_CLASS "soffice", transient for the main window, holding one entry. Prints
"READY <pid> <dialog xid>" once the dialog is mapped; "quit" or end of input ends it."""

import argparse
import os
import sys
import warnings

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("GdkX11", "3.0")
from gi.repository import GdkX11, Gio, GLib, Gtk  # noqa: E402,F401


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app-id", default="org.quillweave.TestWriter")
    parser.add_argument("--entry-text", default="")
    options = parser.parse_args()
    app = Gtk.Application(application_id=options.app_id, flags=Gio.ApplicationFlags.NON_UNIQUE)

    def quit_on_input(channel, condition):
        line = sys.stdin.readline()
        if not line or line.strip() == "quit":
            app.quit()
            return False
        return True

    def activate(application):
        main_window = Gtk.ApplicationWindow(application=application, title="Document")
        main_window.set_default_size(480, 320)
        main_window.show_all()
        dialog = Gtk.Window(title="Find & Replace")
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", DeprecationWarning)  # as LibreOffice does, in effect
            dialog.set_wmclass("soffice", "soffice")  # before the window is realized
        dialog.set_transient_for(main_window)
        entry = Gtk.Entry()
        entry.set_text(options.entry_text)
        dialog.add(entry)

        def mapped(widget, event):
            entry.grab_focus()
            sys.stdout.write("READY %d %d\n" % (os.getpid(), widget.get_window().get_xid()))
            sys.stdout.flush()
            return False

        dialog.connect("map-event", mapped)
        dialog.show_all()
        GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.IO_IN | GLib.IO_HUP, quit_on_input)
        application.hold()

    app.connect("activate", activate)
    app.run([])


if __name__ == "__main__":
    main()
