#!/usr/bin/python3
"""Soak: the tray program with an allowed, focused field and a translation every few seconds,
for a long time, on the headless session's desktop. Reports the program's resident memory and
open file descriptors at the start and the end (and every five minutes between). Not part of CI.

    scripts/headless-session.sh bench/soak/soak.py build/app/quillweave [--minutes 30] [--every 4]

The provider is a local HTTPS server (tests/faults/tray_session.py); the field is the GTK test
pad, whose text changes to the next sentence at each step."""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "faults"))
import tray_session  # noqa: E402
from tray_session import Failure, Provider, Session, check, wait_for  # noqa: E402

SENTENCES = ["这周我们先完成产品设计", "明天早上开会", "请把报告发给我", "我们下午讨论预算", "周五之前提交代码"]


def resident_kib(pid, field="VmRSS"):
    """Resident memory; "RssAnon" is the part that is no file's (the heap and stacks), where a
    leak shows: libraries and fonts are paged in as code paths are first taken."""
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def figures(pid):
    return "%d KiB resident (%d KiB anonymous), %d open files" % (
        resident_kib(pid), resident_kib(pid, "RssAnon"), open_fds(pid))


def open_fds(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("quillweave")
    parser.add_argument("--minutes", type=float, default=30)
    parser.add_argument("--every", type=float, default=4, help="seconds between translations")
    options = parser.parse_args()
    if os.environ.get("QW_HEADLESS_SESSION") != "1":
        print("run inside scripts/headless-session.sh")
        return 2

    provider = Provider(lambda index, body: tray_session.answer("translation %d" % index))
    session = Session(os.path.abspath(options.quillweave), provider)
    try:
        session.configure()
        log = open(os.path.join(session.home, "quillweave.log"), "w")
        program = session.start_program(log)
        pad = session.start_pad()
        step = 0

        def translate():
            nonlocal step
            before = len(provider.bodies)
            sentence = SENTENCES[step % len(SENTENCES)] + "（%d）" % step
            step += 1
            session.set_pad_text(pad, sentence)
            wait_for("the translation of step %d" % step, lambda: len(provider.bodies) > before, 20)

        # Warm up: the first translations load the key, fill caches and open the connections.
        for _ in range(5):
            translate()
            time.sleep(options.every)
        start = (time.monotonic(), resident_kib(program.pid), open_fds(program.pid),
                 resident_kib(program.pid, "RssAnon"))
        print("start: " + figures(program.pid), flush=True)
        end_at = start[0] + options.minutes * 60
        next_report = start[0] + 300
        while time.monotonic() < end_at:
            translate()
            check(program.poll() is None, "the program ended during the soak")
            time.sleep(options.every)
            if time.monotonic() >= next_report:
                next_report += 300
                print("%5.1f min: %s, %d translations" % ((time.monotonic() - start[0]) / 60,
                                                          figures(program.pid), len(provider.bodies)), flush=True)
        end = (time.monotonic(), resident_kib(program.pid), open_fds(program.pid),
               resident_kib(program.pid, "RssAnon"))
        print("end after %.1f min and %d translations: %d KiB resident (%+d KiB; anonymous %+d KiB), "
              "%d open files (%+d)" % ((end[0] - start[0]) / 60, len(provider.bodies), end[1], end[1] - start[1],
                                       end[3] - start[3], end[2], end[2] - start[2]), flush=True)
        return 0
    except Failure as failure:
        print("FAIL: %s" % failure)
        return 1
    finally:
        session.close()


if __name__ == "__main__":
    sys.exit(main())
