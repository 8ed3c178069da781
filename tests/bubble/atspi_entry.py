#!/usr/bin/python3
"""Prints, as JSON, the first editable one-line text field of the application with the given
process id as the accessibility bus reports it: {"text", "focused", "extents": [x, y, w, h]}
(screen coordinates), or {} when there is none."""

import json
import sys

import pyatspi

FIELD_ROLES = (pyatspi.ROLE_ENTRY, pyatspi.ROLE_TEXT)


def find_field(node, depth=0):
    if node is None or depth > 16:
        return None
    try:
        if node.getRole() in FIELD_ROLES and node.getState().contains(pyatspi.STATE_EDITABLE):
            return node
        children = list(node)
    except Exception:
        return None
    for child in children:
        found = find_field(child, depth + 1)
        if found is not None:
            return found
    return None


def main():
    pid = int(sys.argv[1])
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is None or app.get_process_id() != pid:
                continue
        except Exception:
            continue
        field = find_field(app)
        if field is None:
            break
        box = field.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        text = field.queryText()
        print(json.dumps({
            "text": text.getText(0, -1),
            "focused": field.getState().contains(pyatspi.STATE_FOCUSED),
            "extents": [box.x, box.y, box.width, box.height],
        }))
        return
    print("{}")


if __name__ == "__main__":
    main()
