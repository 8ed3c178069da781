#!/usr/bin/python3
"""A small GTK 4 program with a text entry and a password entry, for the real-application tests.
Debian 12 ships GTK 4 without its Python bindings by default, so the few calls needed are made
through ctypes. Options: --focus entry|password|none (which one has the keyboard focus; with none, neither can
take it), --labels N (that many labels below the entries, for a window with many objects),
--entry-text, --password-text. Prints "READY <pid> <xid>" once its window is mapped; reads
standard input only to know when to quit ("quit" or end of input)."""

import argparse
import ctypes
import os
import sys
import threading

gtk = ctypes.CDLL("libgtk-4.so.1")
glib = ctypes.CDLL("libglib-2.0.so.0")
P = ctypes.c_void_p
for name, result, arguments in [
    ("gtk_init", None, []),
    ("gtk_window_new", P, []),
    ("gtk_window_set_title", None, [P, ctypes.c_char_p]),
    ("gtk_window_set_default_size", None, [P, ctypes.c_int, ctypes.c_int]),
    ("gtk_box_new", P, [ctypes.c_int, ctypes.c_int]),
    ("gtk_box_append", None, [P, P]),
    ("gtk_entry_new", P, []),
    ("gtk_label_new", P, [ctypes.c_char_p]),
    ("gtk_password_entry_new", P, []),
    ("gtk_editable_set_text", None, [P, ctypes.c_char_p]),
    ("gtk_window_set_child", None, [P, P]),
    ("gtk_window_present", None, [P]),
    ("gtk_widget_grab_focus", ctypes.c_int, [P]),
    ("gtk_widget_set_can_focus", None, [P, ctypes.c_int]),
    ("gtk_widget_get_mapped", ctypes.c_int, [P]),
    ("gtk_native_get_surface", P, [P]),
    ("gdk_x11_surface_get_xid", ctypes.c_ulong, [P]),
]:
    function = getattr(gtk, name)
    function.restype = result
    function.argtypes = arguments
glib.g_main_context_iteration.argtypes = [P, ctypes.c_int]
glib.g_main_context_iteration.restype = ctypes.c_int


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--focus", default="entry")
    parser.add_argument("--entry-text", default="")
    parser.add_argument("--password-text", default="")
    parser.add_argument("--labels", type=int, default=0)
    options = parser.parse_args()

    gtk.gtk_init()
    window = gtk.gtk_window_new()
    gtk.gtk_window_set_title(window, b"Quillweave GTK 4 entries")
    gtk.gtk_window_set_default_size(window, 480, 160)
    box = gtk.gtk_box_new(1, 6)
    entry = gtk.gtk_entry_new()
    gtk.gtk_editable_set_text(entry, options.entry_text.encode())
    password = gtk.gtk_password_entry_new()
    gtk.gtk_editable_set_text(password, options.password_text.encode())
    if options.focus == "none":
        gtk.gtk_widget_set_can_focus(entry, 0)  # for the text inside too
        gtk.gtk_widget_set_can_focus(password, 0)
    gtk.gtk_box_append(box, entry)
    gtk.gtk_box_append(box, password)
    for number in range(options.labels):
        gtk.gtk_box_append(box, gtk.gtk_label_new(b"label %d" % number))
    gtk.gtk_window_set_child(window, box)
    gtk.gtk_window_present(window)
    while not gtk.gtk_widget_get_mapped(window):
        glib.g_main_context_iteration(None, 1)
    if options.focus != "none":
        gtk.gtk_widget_grab_focus(password if options.focus == "password" else entry)
    xid = gtk.gdk_x11_surface_get_xid(gtk.gtk_native_get_surface(window))
    sys.stdout.write("READY %d %d\n" % (os.getpid(), xid))
    sys.stdout.flush()

    def watch_input():
        for line in sys.stdin:
            if line.strip() == "quit":
                break
        os._exit(0)

    threading.Thread(target=watch_input, daemon=True).start()
    while True:
        glib.g_main_context_iteration(None, 1)


if __name__ == "__main__":
    main()
