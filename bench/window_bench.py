#!/usr/bin/python3
"""Where the user waits: the real program in its own Xvfb with a window manager (openbox), each
round a freshly started program, driven and watched from outside through the X server, against
the sqlite3 shell started from this small process. Rounds alternate program and shell; figures are medians.

  Run Query: from the click until the status line shows its final text (the status bar is
             watched every few milliseconds; its last change is the final text), and the
             program's peak memory beyond its idle size and the cell texts.
  Exec:      from the click until the display-limit question is mapped, plus from the key that
             answers Yes (Return) until the "saved" message is mapped, with and without the 216 specified pauses of
             10 ms; the shell writes the same CSV into a file.

Usage: bench/window_bench.py --program build/release/bin/kestrune-demo [--rounds 3] [--only query|exec]
Needs Xvfb, xdotool, sqlite3 and python3-xlib (Debian packages).
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import scenario as ui  # the display, the program and the controls' places, as the end-to-end test has them

from Xlib import X, XK, display as xdisplay
from Xlib.ext import xtest
from Xlib.protocol import event

QUERY = "SELECT * FROM Artists a, CDs c, CDs d"
ROWS = 1082016
PAUSES = 216 * 0.010
GOALS = {"query": 0.6, "exec": 0.9}
STATUS_BAR = 17


class Watcher:
    """Our own connection to the program's X server: clicks and keys through XTest, map events
    and the status bar's pixels as the server has them."""

    def __init__(self, name):
        self.d = xdisplay.Display(name)
        self.root = self.d.screen().root
        # Structure: how the toolkit answers a ping; substructure: windows being mapped.
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask | X.StructureNotifyMask)
        self.d.sync()

    def origin(self, window_id):
        window = self.d.create_resource_object("window", int(window_id))
        at = window.translate_coords(self.root, 0, 0)
        return window, -at.x, -at.y

    def drain(self):
        while self.d.pending_events():
            self.d.next_event()

    def click(self, window_id, control):
        _, left, top = self.origin(window_id)
        x, y = ui.centre(control)
        xtest.fake_input(self.d, X.MotionNotify, x=left + x, y=top + y)
        self.d.sync()
        self.drain()
        xtest.fake_input(self.d, X.ButtonPress, 1)
        xtest.fake_input(self.d, X.ButtonRelease, 1)
        self.d.sync()
        return time.monotonic()

    def key(self, name):
        code = self.d.keysym_to_keycode(XK.string_to_keysym(name))
        self.drain()
        xtest.fake_input(self.d, X.KeyPress, code)
        xtest.fake_input(self.d, X.KeyRelease, code)
        self.d.sync()
        return time.monotonic()

    def next_map(self, timeout):
        """The next top-level window mapped, and when."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.d.pending_events():
                event = self.d.next_event()
                if event.type == X.MapNotify:
                    return event.window.id, time.monotonic()
            else:
                time.sleep(0.0005)
        raise RuntimeError("no window was mapped")

    def last_status_change(self, window_id, quiet):
        """Watches the status bar until it has not changed for `quiet` seconds; returns the time
        of its last change and the longest time the window took to answer a ping, as a desktop
        pings a window to see whether it still answers."""
        window = self.d.create_resource_object("window", int(window_id))
        protocols, ping = self.d.intern_atom("WM_PROTOCOLS"), self.d.intern_atom("_NET_WM_PING")
        width, height = ui.WINDOW_SIZE
        last_image, last_change = None, time.monotonic()
        sent, number, longest = None, 0, 0.0
        while time.monotonic() - last_change < quiet:
            while self.d.pending_events():
                reply = self.d.next_event()
                if reply.type == X.ClientMessage and reply.data[1][1] == number and sent is not None:
                    longest, sent = max(longest, time.monotonic() - sent), None
            if sent is None:
                number += 1
                window.send_event(event.ClientMessage(window=window, client_type=protocols,
                                                      data=(32, [ping, number, window.id, 0, 0])))
                self.d.flush()
                sent = time.monotonic()
            image = window.get_image(0, height - STATUS_BAR, width, STATUS_BAR, X.ZPixmap, 0xFFFFFFFF).data
            now = time.monotonic()
            if image != last_image:
                last_image, last_change = image, now
            time.sleep(0.002)
        return last_change, longest

def memory(pid, field):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(field):
                return int(line.split()[1]) * 1024
    return 0


def shell(database, sql, output):
    """The shell started from this small process, its CSV written into a file."""
    start = time.monotonic()
    subprocess.run(["sh", "-c", 'exec sqlite3 -csv "$1" "$2" > "$3"', "sh", database, sql, output], check=True)
    return time.monotonic() - start


def start_program(display, built, scratch, database, round_no):
    folder = os.path.join(scratch, f"round-{round_no}")
    os.makedirs(folder)
    for name in os.listdir(built):
        if name == "kestrune-demo" or name.startswith("libkestrune3.so"):
            shutil.copy2(os.path.join(built, name), folder, follow_symlinks=False)
    if database:
        shutil.copy(database, folder)
    program = ui.Program(display, folder, folder, subprocess.DEVNULL, folder)
    program.window = ui.wait_for("the main window", program.find_window, 30, interval=0.05)
    program.replace_query_text([QUERY])
    time.sleep(0.5)  # settled: the window painted, the typing handled
    return program, folder


def run_query_round(watcher, program):
    pid = program.process.pid
    idle = memory(pid, "VmRSS:")
    clicked = watcher.click(program.window, "Command1")
    shown, unanswered = watcher.last_status_change(program.window, quiet=3.0)
    print(f"    longest time the window did not answer: {unanswered * 1000:.0f} ms")
    return shown - clicked, memory(pid, "VmHWM:") - idle


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def exec_round(watcher, program, folder):
    cpu = cpu_seconds(program.process.pid)
    clicked = watcher.click(program.window, "Command12")
    _, asked = watcher.next_map(300)
    cpu_asked = cpu_seconds(program.process.pid)
    program.display.xdotool("windowfocus", "--sync", program.wait_box("Demo"))
    # Return chooses Yes, the default button; a mnemonic key would first show the button
    # pressed for 100 ms.
    yes = watcher.key("Return")
    _, saved = watcher.next_map(300)
    print(f"    click to question {asked - clicked:.3f} s (cpu {cpu_asked - cpu:.2f}), "
          f"yes to saved {saved - yes:.3f} s (cpu {cpu_seconds(program.process.pid) - cpu_asked:.2f})")
    program.display.xdotool("windowfocus", "--sync", program.wait_box("Success"))
    watcher.key("Return")
    size = os.path.getsize(os.path.join(folder, "Kestrune-output.csv"))
    return (asked - clicked) + (saved - yes), size


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--only", choices=["query", "exec"])
    parser.add_argument("--perf", help="record each round's program with perf into this file prefix")
    args = parser.parse_args()
    built = os.path.dirname(os.path.abspath(args.program))
    scratch = tempfile.mkdtemp(prefix="kestrune-bench-")
    display = ui.Display(scratch)
    try:
        database = os.path.join(scratch, "Albums.db")
        populate(display, built, scratch, database)
        text_bytes = int(subprocess.run(["sh", "-c", 'sqlite3 -list -separator "" -noheader "$1" "$2" | wc -c', "sh",
                                         database, QUERY], capture_output=True, text=True, check=True).stdout) - ROWS
        cells = ROWS * 10
        watcher = Watcher(display.name)
        for which in ("query", "exec"):
            if args.only and which != args.only:
                continue
            ours, theirs, peaks = [], [], []
            for r in range(args.rounds):
                program, folder = start_program(display, built, scratch, database, f"{which}-{r}")
                recorder = subprocess.Popen(["perf", "record", "-g", "-o", f"{args.perf}.{which}.{r}", "-p",
                                             str(program.process.pid)], stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL) if args.perf else None
                try:
                    watcher.drain()
                    if which == "query":
                        seconds, peak = run_query_round(watcher, program)
                        peaks.append(peak)
                    else:
                        seconds, _ = exec_round(watcher, program, folder)
                finally:
                    if recorder:
                        recorder.send_signal(2)
                        recorder.wait()
                    program.stop()
                ours.append(seconds)
                theirs.append(shell(database, QUERY, os.path.join(scratch, "shell.csv")))
                print(f"  {which} round {r + 1}: program {seconds:.3f} s, shell {theirs[-1]:.3f} s", flush=True)
            report(which, ours, theirs, peaks, text_bytes, cells)
    finally:
        display.close()
        shutil.rmtree(scratch, ignore_errors=True)


def populate(display, built, scratch, database):
    """The demonstration tables, made by the program's own Populate."""
    program, folder = start_program(display, built, scratch, None, "populate")
    try:
        program.click("Command9")
        program.answer_box("About to create new tables", "alt+y")
        program.wait_status("Populate", lambda t: t.startswith(ui.fold("Successfully created")), timeout=60)
    finally:
        program.stop()
    shutil.copy(os.path.join(folder, "Albums.db"), database)


def report(which, ours, theirs, peaks, text_bytes, cells):
    mine, shells = statistics.median(ours), statistics.median(theirs)
    print(f"{which}: program {mine:.3f} s, shell {shells:.3f} s (medians of {len(ours)})")
    if which == "exec":
        print(f"  with the pauses:    {mine / shells:.2f} x the shell")
        mine -= PAUSES
        print(f"  without the pauses: {mine / shells:.2f} x the shell ({mine:.3f} s)")
    ratio = mine / shells
    print(f"  ratio {ratio:.2f} (goal <= {GOALS[which]}) {'met' if ratio <= GOALS[which] else 'NOT MET'}")
    if peaks:
        per_cell = (statistics.median(peaks) - text_bytes) / cells
        print(f"  peak memory beyond idle and the cell text: {per_cell:.1f} bytes per cell (goal <= 16) "
              f"{'met' if per_cell <= 16 else 'NOT MET'}")


if __name__ == "__main__":
    main()
