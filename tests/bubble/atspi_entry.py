#!/usr/bin/python3
"""Prints, as JSON, the first editable text field of the application with the given process id
as the accessibility bus reports it: {"text", "focused", "extents": [x, y, w, h]}, or {}."""

import json
import sys

import pyatspi


def find_field(node, depth=0):
    if node is None or depth > 16:
        return None
    try:
        if node.getRole() in (pyatspi.ROLE_ENTRY, pyatspi.ROLE_TEXT) and \
                node.getState().contains(pyatspi.STATE_EDITABLE):
            return node
        children = list(node)
    except Exception:
        return None
    return next((f for f in (find_field(c, depth + 1) for c in children) if f is not None), None)


def main():
    pid = int(sys.argv[1])
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is None or app.get_process_id() != pid:
                continue
        except Exception:
            continue
        field = find_field(app)
        if field is not None:
            box = field.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            print(json.dumps({"text": field.queryText().getText(0, -1),
                              "focused": field.getState().contains(pyatspi.STATE_FOCUSED),
                              "extents": [box.x, box.y, box.width, box.height]}))
            return
        break
    print("{}")


main()
