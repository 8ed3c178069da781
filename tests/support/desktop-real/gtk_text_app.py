#!/usr/bin/python3
"""A small GTK 3 program with a text entry, a password entry and a multi-line text view, for
the real-desktop tests. Steered through standard input, one command a line:

  focus entry|password|view      give a widget the keyboard focus
  set entry|view <json string>   replace a widget's text from inside the program
  select entry <start> <end>     select a range (GTK character offsets)
  hide entry                     hide the entry's text, as a "show password" switch does
  dump                           print "STATE <json>" with the texts and the entry's selection
  quit

Prints "READY <pid> <xid>" once its window is mapped."""

import argparse
import json
import os
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("GdkX11", "3.0")
from gi.repository import GdkX11, Gio, GLib, Gtk  # noqa: E402,F401


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app-id", default="org.quillweave.TestPad")
    parser.add_argument("--title", default="Quillweave test pad")
    parser.add_argument("--entry-text", default="")
    parser.add_argument("--view-text", default="")
    parser.add_argument("--password-text", default="")
    parser.add_argument("--focus", default="entry")
    options = parser.parse_args()

    # NON_UNIQUE: a test may start the next copy before the previous one has left the bus.
    app = Gtk.Application(application_id=options.app_id, flags=Gio.ApplicationFlags.NON_UNIQUE)
    widgets = {}

    def out(line):
        sys.stdout.write(line + "\n")
        sys.stdout.flush()

    def command(source, condition):
        line = source.readline()
        if not line:
            app.quit()
            return False
        words = line.rstrip("\n").split(" ", 2)
        if words[0] == "focus":
            widgets[words[1]].grab_focus()
        elif words[0] == "set":
            text = json.loads(words[2])
            if words[1] == "view":
                widgets["view"].get_buffer().set_text(text)
            else:
                widgets[words[1]].set_text(text)
        elif words[0] == "select":
            start, end = (int(x) for x in words[2].split(" "))
            widgets["entry"].select_region(start, end)
        elif words[0] == "hide":
            widgets[words[1]].set_visibility(False)
        elif words[0] == "dump":
            buffer = widgets["view"].get_buffer()
            bounds = widgets["entry"].get_selection_bounds()
            out("STATE " + json.dumps({
                "entry": widgets["entry"].get_text(),
                "view": buffer.get_text(buffer.get_start_iter(), buffer.get_end_iter(), True),
                "selection": list(bounds) if bounds else [widgets["entry"].get_position()] * 2,
            }))
        elif words[0] == "quit":
            app.quit()
            return False
        out("OK " + words[0])
        return True

    def activate(application):
        window = Gtk.ApplicationWindow(application=application, title=options.title)
        window.set_default_size(480, 320)
        box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=6)
        entry = Gtk.Entry()
        entry.set_text(options.entry_text)
        password = Gtk.Entry()
        password.set_visibility(False)
        password.set_text(options.password_text)
        view = Gtk.TextView()
        view.get_buffer().set_text(options.view_text)
        scroller = Gtk.ScrolledWindow()
        scroller.set_vexpand(True)
        scroller.add(view)
        box.pack_start(entry, False, False, 0)
        box.pack_start(password, False, False, 0)
        box.pack_start(scroller, True, True, 0)
        window.add(box)
        widgets.update(entry=entry, password=password, view=view)

        def mapped(widget, event):
            widgets[options.focus].grab_focus()
            out("READY %d %d" % (os.getpid(), widget.get_window().get_xid()))
            return False

        window.connect("map-event", mapped)
        window.show_all()
        window.present()
        channel = GLib.IOChannel.unix_new(sys.stdin.fileno())
        GLib.io_add_watch(channel, GLib.IO_IN | GLib.IO_HUP, lambda c, cond: command(sys.stdin, cond))
        application.hold()

    app.connect("activate", activate)
    app.run([])


if __name__ == "__main__":
    main()
