#!/usr/bin/python3
"""The tray program as a user starts it, measured on the headless session's desktop, beside the
minimal Qt 6 tray program (the floor). Run it from a release build inside the session:

    cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release
    cmake --build build-bench --target quillweave qw_minimal_tray
    scripts/headless-session.sh /usr/bin/python3 bench/tray/bench_tray.py \\
        build-bench/app/quillweave build-bench/bench/tray/qw_minimal_tray [--runs 3] [--idle 60]

Per run, each program is started fresh (as the login entry starts it, `--autostart`, so no
window opens) with trayer as the tray host, and measured for:
  start -> tray icon embedded (ms); RSS and PSS after 10 s idle (MiB); CPU over the idle time
  with a non-allowed GTK program in front, and with mousepad (allowed) in front, its field
  focused and unchanging (% of one core). For the tray program also the input path in
  mousepad against the local provider: pause end -> request sent (the proxy connection asked
  for, minus the last key and the 800 ms pause), response -> panel shown (a new window of the
  program mapped), replace click -> write seen in mousepad over AT-SPI (ms), and the program's
  own CPU time from the last key to the panel shown and from the click to the write seen (all
  its threads, from the kernel's scheduler statistics: the other programs' and the proxy's
  latency is not in it). Then a second text in the same field, whose panel is already up: own
  CPU from its last key to 0.3 s after the answer, and from a second click to its write. The
  totals per text add the key's and the click's stretch.
Medians over the runs, and the ratios to the floor. Polling here costs a few ms of resolution.
With --profile DIR, perf records the program's call stacks in the measured stretches only
(run-N.perf, for `perf report -i`); its sampling inflates the CPU figures of such a run."""

import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "app"))
import tray_end_to_end as desk  # noqa: E402

DEBOUNCE_MS = 800  # the default pause
PAD = os.path.join(desk.SOURCE, "tests/support/desktop-real/gtk_text_app.py")
MORE = "，下周再做测试"  # the second text of a run, typed after the first one was written
SPARE_KEYCODES = range(200, 256)


def hold_keysyms(text):
    """Gives every character of `text` its own key before any program starts.

    xdotool types a character missing from the layout by remapping a spare key and restoring it,
    and every remapping makes each X client reload its keyboard (and us grab our hotkeys again).
    Typing through an input method changes no mapping, so the measured input path must not
    either."""
    characters = sorted({c for c in text if ord(c) > 0x7f})
    assert len(characters) <= len(SPARE_KEYCODES)
    desk.run("xmodmap", *[argument for code, c in zip(SPARE_KEYCODES, characters)
                          for argument in ("-e", "keycode %d = U%04X U%04X" % (code, ord(c), ord(c)))])


class Profiler:
    """perf sampling the program's call stacks, switched on only around the measured stretches."""

    def __init__(self, pid, output):
        self.control = output + ".control"
        os.mkfifo(self.control)
        self.recorder = subprocess.Popen(
            ["perf", "record", "-q", "-e", "cpu-clock", "-F", "4000", "--call-graph", "dwarf,32768",
             "-D", "-1", "--control", "fifo:" + self.control, "-p", str(pid), "-o", output])
        self.commands = open(self.control, "w")

    def __call__(self, command):
        self.commands.write(command + "\n")
        self.commands.flush()

    def close(self):
        self.commands.close()
        self.recorder.send_signal(2)
        self.recorder.wait()
        os.unlink(self.control)


def poll(predicate, timeout=20.0, step=0.003):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    raise desk.Failure("timed out")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def memory_mib(pid):
    values = {}
    with open("/proc/%d/smaps_rollup" % pid) as rollup:
        for line in rollup:
            parts = line.split()
            if parts[0] in ("Rss:", "Pss:"):
                values[parts[0][:-1]] = int(parts[1]) / 1024
    return values["Rss"], values["Pss"]


def idle_cpu_percent(pid, seconds):
    before = cpu_seconds(pid)
    time.sleep(seconds)
    return (cpu_seconds(pid) - before) / seconds * 100


def cpu_ms_of_threads(pid):
    """CPU time of every thread of `pid` so far (ms), nanosecond-exact from schedstat."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as stats:
                total += int(stats.read().split()[0])
        except OSError:
            pass  # a thread that ended in between
    return total / 1e6


def activate(pid):
    window = poll(lambda: desk.windows_of(pid))[0]
    desk.run("xdotool", "windowactivate", "--sync", str(window))


def one_run(program, window_class, env, idle, provider, input_path, profile=None):
    result = {}
    children = []
    profiler = None
    try:
        started = time.monotonic()
        process = subprocess.Popen([program, "--autostart"] if input_path else [program], env=env,
                                   stderr=subprocess.DEVNULL)
        children.append(process)
        poll(lambda: desk.tray_icon_geometry(window_class))
        result["start_to_tray_ms"] = (time.monotonic() - started) * 1000
        time.sleep(10)
        result["rss_mib"], result["pss_mib"] = memory_mib(process.pid)

        pad = subprocess.Popen(["/usr/bin/python3", PAD, "--entry-text", "not an allowed program"], env=env,
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        children.append(pad)
        pad_pid = int(pad.stdout.readline().split()[1])
        activate(pad_pid)
        time.sleep(1)
        result["idle_cpu_not_allowed_pct"] = idle_cpu_percent(process.pid, idle)

        editor = subprocess.Popen(["mousepad", "--disable-server"], env=env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        children.append(editor)
        activate(editor.pid)
        poll(lambda: desk.editable_text(editor.pid) == "", step=0.1)
        if input_path:
            if profile:
                profiler = Profiler(process.pid, profile)
                time.sleep(1)
            desk.type_text(desk.ORIGINAL[:-1])
            shown = len(desk.windows_of(process.pid))
            requests = len(provider.timings)
            last_key = time.monotonic()
            cpu_before = cpu_ms_of_threads(process.pid)
            profiler and profiler("enable")
            desk.type_text(desk.ORIGINAL[-1])
            poll(lambda: len(provider.timings) > requests)
            asked, answered = provider.timings[-1]
            result["pause_end_to_request_ms"] = (asked - last_key) * 1000 - DEBOUNCE_MS
            poll(lambda: len(desk.windows_of(process.pid)) > shown)
            result["response_to_panel_ms"] = (time.monotonic() - answered) * 1000
            result["own_cpu_key_to_panel_ms"] = cpu_ms_of_threads(process.pid) - cpu_before
            profiler and profiler("disable")
            button = poll(lambda: desk.replace_button(process.pid), step=0.05)
            field = desk.find(desk.application(editor.pid),
                              lambda n: n.getState().contains(desk.pyatspi.STATE_FOCUSED)
                              and n.getState().contains(desk.pyatspi.STATE_EDITABLE))
            text = field.queryText()
            bx, by, bw, bh = desk.extents(button)
            desk.run("xdotool", "mousemove", "--sync", str(bx + bw // 2), str(by + bh // 2))
            time.sleep(0.3)  # the button's hover look is drawn before the click is measured
            cpu_before = cpu_ms_of_threads(process.pid)
            profiler and profiler("enable")
            clicked = time.monotonic()
            desk.run("xdotool", "click", "1")
            poll(lambda: text.getText(0, -1) == desk.TRANSLATION, step=0.001)
            result["click_to_write_ms"] = (time.monotonic() - clicked) * 1000
            result["own_cpu_click_to_write_ms"] = cpu_ms_of_threads(process.pid) - cpu_before
            result["own_cpu_first_text_total_ms"] = (result["own_cpu_key_to_panel_ms"] +
                                                     result["own_cpu_click_to_write_ms"])
            profiler and profiler("disable")
            # A second text in the same run: the panel and the TLS library are ready by now. Its
            # panel is already on screen, so the update is given 0.3 s after the answer, which
            # the idle scans cost about 0.5 ms of.
            desk.type_text(MORE[:-1])
            requests = len(provider.timings)
            cpu_before = cpu_ms_of_threads(process.pid)
            profiler and profiler("enable")
            desk.type_text(MORE[-1])
            poll(lambda: len(provider.timings) > requests, step=0.001)
            result["own_cpu_key_to_request_again_ms"] = cpu_ms_of_threads(process.pid) - cpu_before
            time.sleep(0.3)
            result["own_cpu_key_to_panel_again_ms"] = cpu_ms_of_threads(process.pid) - cpu_before
            profiler and profiler("disable")
            written = text.getText(0, -1)
            bx, by, bw, bh = desk.extents(poll(lambda: desk.replace_button(process.pid), step=0.05))
            desk.run("xdotool", "mousemove", "--sync", str(bx + bw // 2), str(by + bh // 2))
            time.sleep(0.3)
            cpu_before = cpu_ms_of_threads(process.pid)
            profiler and profiler("enable")
            desk.run("xdotool", "click", "1")
            poll(lambda: text.getText(0, -1) != written, step=0.001)
            result["own_cpu_click_to_write_again_ms"] = cpu_ms_of_threads(process.pid) - cpu_before
            result["own_cpu_later_text_total_ms"] = (result["own_cpu_key_to_panel_again_ms"] +
                                                     result["own_cpu_click_to_write_again_ms"])
            if profiler:
                profiler("disable")
                profiler.close()
                profiler = None
        time.sleep(2)  # the panel's last repaint and the field's events settle
        result["idle_cpu_allowed_field_pct"] = idle_cpu_percent(process.pid, idle)
    finally:
        if profiler:
            profiler.close()
        for child in reversed(children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    child.kill()
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("quillweave")
    parser.add_argument("floor")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--idle", type=float, default=60)
    parser.add_argument("--profile", metavar="DIR", help="record the input path of each run with perf into DIR")
    options = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("bench_tray: no DISPLAY; run it inside scripts/headless-session.sh")

    provider = desk.Provider()
    home = tempfile.mkdtemp(prefix="qw-bench-tray-")
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_DATA_HOME=os.path.join(home, "data"), SSL_CERT_FILE=desk.CERTIFICATE,
               https_proxy="http://127.0.0.1:%d" % provider.port, no_proxy="",
               LANGUAGE="zh_CN", LANG="zh_CN.UTF-8")
    for arguments, stdin in ((("provider", "set", "custom"), None),
                             (("provider", "--address", "https://translate.example.test/v1", "--model", "m"), None),
                             (("key", "set", "--provider", "custom"), desk.API_KEY),
                             (("consent", "on"), None), (("apps", "allow", "org.xfce.mousepad"), None)):
        subprocess.run((options.quillweave,) + arguments, env=env, input=stdin, text=True, check=True,
                       capture_output=True)
    # The desktop's accessibility switch is on, as after the guide's first step.
    subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                    "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status", "string:IsEnabled",
                    "variant:boolean:true"], check=True, capture_output=True)
    tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--SetDockType", "true",
                             "--expand", "false", "--width", "10", "--height", "24"])
    hold_keysyms(desk.ORIGINAL + MORE)
    try:
        desk.wait_for("the tray host", lambda: '"trayer"' in desk.run("xwininfo", "-root", "-tree").stdout)
        runs = {"quillweave": [], "floor": []}
        if options.profile:
            os.makedirs(options.profile, exist_ok=True)
        for number in range(options.runs):
            for name, program, window_class, input_path in (
                    ("floor", options.floor, "qw_minimal_tray", False),
                    ("quillweave", options.quillweave, "quillweave", True)):
                profile = (os.path.join(options.profile, "run-%d.perf" % (number + 1))
                           if options.profile and input_path else None)
                result = one_run(program, window_class, env, options.idle, provider, input_path, profile)
                print("run %d %s %s" % (number + 1, name, json.dumps({k: round(v, 2) for k, v in result.items()})),
                      flush=True)
                runs[name].append(result)
    finally:
        tray.terminate()
        shutil.rmtree(home, ignore_errors=True)

    rows = [("start_to_tray_ms", "start -> tray icon embedded (ms)"),
            ("rss_mib", "RSS after 10 s idle (MiB)"), ("pss_mib", "PSS after 10 s idle (MiB)"),
            ("idle_cpu_not_allowed_pct", "idle CPU, non-allowed app in front (%)"),
            ("idle_cpu_allowed_field_pct", "idle CPU, allowed focused unchanging field (%)"),
            ("pause_end_to_request_ms", "pause end -> request sent (ms)"),
            ("response_to_panel_ms", "response -> panel shown (ms)"),
            ("click_to_write_ms", "replace click -> write seen in mousepad (ms)"),
            ("own_cpu_key_to_panel_ms", "own CPU, last key -> panel shown (ms)"),
            ("own_cpu_click_to_write_ms", "own CPU, replace click -> write seen (ms)"),
            ("own_cpu_first_text_total_ms", "own CPU, first text: key -> panel + click -> write (ms)"),
            ("own_cpu_key_to_request_again_ms", "own CPU, second text: last key -> answer (ms)"),
            ("own_cpu_key_to_panel_again_ms", "own CPU, second text: last key -> panel updated (ms)"),
            ("own_cpu_click_to_write_again_ms", "own CPU, second text: click -> write seen (ms)"),
            ("own_cpu_later_text_total_ms", "own CPU, second text: total (ms)")]
    print("\n| measure (median of %d runs, %g s idle) | quillweave | floor | ratio |" % (options.runs, options.idle))
    print("|---|---|---|---|")
    for key, label in rows:
        ours = statistics.median(r[key] for r in runs["quillweave"])
        floor_values = [r[key] for r in runs["floor"] if key in r]
        floor = statistics.median(floor_values) if floor_values else None
        ratio = "%.2f" % (ours / floor) if floor else "—"
        print("| %s | %.2f | %s | %s |" % (label, ours, "%.2f" % floor if floor is not None else "—", ratio))


if __name__ == "__main__":
    main()
