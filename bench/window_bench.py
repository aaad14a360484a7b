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

  Sort:      after Run Query, from the click on the header of the text column ArtistName until
             the list's rows have shown sorted (the rows' pixels watched as the status bar's are),
             the window pinged meanwhile; against the shell's ORDER BY of that column, and the
             shell's time without the ORDER BY beside it.

  Scripts:   two generated texts, a .dump of a 1,000,000-row table (about 105 MB) and one
             INSERT of 600,000 rows on one line (about 11 MB), each against `sqlite3 new.db < file`.
             In one fresh program: Paste (the clipboard served by xclip), then Load Script of
             the same file over it, each from the click (the Return in the file dialog) until
             the window answers a ping; Run Query to the final status line; the memory while
             the text sits in the window and after Delete has emptied it. In a second: Load
             Script, Paste over it, Exec. In a third: Run Query, Stop half-way through the
             shell's time, to the final status line, and the database checked with sqlite3.

  Start-up:  from starting the program until its main window answers a ping (--only startup;
             with --baseline, the two builds alternating).

  Floor:     for Run Query, also the engine's own floor (query_floor beside the program: open,
             prepare, step every row, read every cell's text), started as the shell is.
  Baseline:  --baseline another build's kestrune-demo: each round runs it too, right after this
             one, and the figures give this program against it.

Usage: bench/window_bench.py --program build/release/bin/kestrune-demo [--rounds 3] [--only query|exec|sort|scripts|startup]
       [--unicode] [--baseline other/bin/kestrune-demo]
Needs Xvfb, xdotool, xclip, sqlite3 and python3-xlib (Debian packages).
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import x11_driver as ui  # the display, the program and the controls' places

from Xlib import X, XK, display as xdisplay
from Xlib.ext import xtest
from Xlib.protocol import event

QUERY = "SELECT * FROM Artists a, CDs c, CDs d"
ROWS = 1082016
PAUSES = 216 * 0.010
GOALS = {"query": 0.6, "exec": 0.9}
STATUS_BAR = 17
SORT_SQL = QUERY + " ORDER BY a.ArtistName"
SORT_GOAL = 1.0
# The list's rows below its header, left, top, width, height in pixels of the client area.
LIST_ROWS = (8, 200, 679, 200)
# The controls the script rounds use besides the end-to-end test's.
ui.PLACES.update({"Command4": (5985, 2100, 645, 330), "Command5": (1470, 735, 1065, 330),
                  "chkUnicode": (1575, 1680, 960, 225),
                  "ArtistName header": (1200, 2640, 300, 240)})
UNICODE = False  # --unicode: each program hands its statements to the library as UTF-16


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

    def ping(self, window, number):
        """Sends the window manager's ping `number` to the window; returns when it was sent."""
        protocols, ping = self.d.intern_atom("WM_PROTOCOLS"), self.d.intern_atom("_NET_WM_PING")
        window.send_event(event.ClientMessage(window=window, client_type=protocols,
                                              data=(32, [ping, number, window.id, 0, 0])))
        self.d.flush()
        return time.monotonic()

    def settled(self, window_id, since, watch=3.0):
        """Pings the window, as a desktop does, one ping after the other for `watch` seconds;
        returns when it answered the last ping that waited more than 50 ms (or the first ping),
        as seconds after `since`: a command may let events run while it fetches its text and
        freeze while it shows it."""
        window = self.d.create_resource_object("window", int(window_id))
        number, sent, settled = getattr(self, "ping_number", 1000000), None, None
        while sent is not None or time.monotonic() - since < watch:
            if sent is None:
                number += 1
                sent = self.ping(window, number)
            while self.d.pending_events():
                reply = self.d.next_event()
                if reply.type == X.ClientMessage and reply.data[1][1] == number:
                    now = time.monotonic()
                    if settled is None or now - sent > 0.05:
                        settled = now
                    sent = None
            time.sleep(0.001)
        self.ping_number = number
        return settled - since

    def last_status_change(self, window_id, quiet, region=None):
        """Watches the status bar (or `region`, left, top, width, height) until it has not changed
        for `quiet` seconds; returns the time of its last change and the longest time the window
        took to answer a ping, as a desktop pings a window to see whether it still answers."""
        window = self.d.create_resource_object("window", int(window_id))
        width, height = ui.WINDOW_SIZE
        left, top, width, tall = region or (0, height - STATUS_BAR, width, STATUS_BAR)
        last_image, last_change = None, time.monotonic()
        sent, number, longest = None, 0, 0.0
        # A window that does not answer shows no change either: the watch goes on until it answers.
        while time.monotonic() - last_change < quiet or (sent is not None and time.monotonic() - sent > 0.05):
            while self.d.pending_events():
                reply = self.d.next_event()
                if reply.type == X.ClientMessage and reply.data[1][1] == number and sent is not None:
                    if time.monotonic() - sent > longest:
                        longest, self.longest_end = time.monotonic() - sent, time.monotonic()
                    sent = None
            if sent is None:
                number += 1
                sent = self.ping(window, number)
            image = window.get_image(left, top, width, tall, X.ZPixmap, 0xFFFFFFFF).data
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


def floor(built, database):
    """The engine's floor for QUERY, started from this small process as the shell is."""
    start = time.monotonic()
    subprocess.run(["sh", "-c", 'exec "$1" "$2" "$3" > /dev/null', "sh", os.path.join(built, "query_floor"), database,
                    QUERY], check=True)
    return time.monotonic() - start


def program_folder(built, scratch, name):
    """A fresh folder holding the program and its library, as an installed copy would."""
    folder = os.path.join(scratch, name)
    os.makedirs(folder)
    for entry in os.listdir(built):
        if entry == "kestrune-demo" or entry.startswith("libkestrune3.so"):
            shutil.copy2(os.path.join(built, entry), folder, follow_symlinks=False)
    return folder


def start_program(display, built, scratch, database, round_no):
    folder = program_folder(built, scratch, f"round-{round_no}")
    if database:
        shutil.copy(database, folder)
    program = ui.Program(display, folder, folder, subprocess.DEVNULL, folder)
    program.window = ui.wait_for("the main window", program.find_window, 30, interval=0.05)
    if UNICODE:
        program.click("chkUnicode")
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


def sort_round(watcher, program):
    """Run Query to its final status line, then the header's click until the rows show sorted."""
    watcher.click(program.window, "Command1")
    watcher.last_status_change(program.window, quiet=2.0)
    clicked = watcher.click(program.window, "ArtistName header")
    shown, unanswered = watcher.last_status_change(program.window, quiet=2.0, region=LIST_ROWS)
    print(f"    the longest unanswered ping ended {watcher.longest_end - clicked:.3f} s after the click")
    return shown - clicked, unanswered


def sort_rounds(args, display, built, scratch, database, watcher):
    ours, pings, ordered, plain = [], [], [], []
    for r in range(args.rounds):
        program, _ = start_program(display, built, scratch, database, f"sort-{r}")
        try:
            watcher.drain()
            seconds, unanswered = sort_round(watcher, program)
        finally:
            program.stop()
        ours.append(seconds)
        pings.append(unanswered)
        ordered.append(shell(database, SORT_SQL, os.path.join(scratch, "shell.csv")))
        plain.append(shell(database, QUERY, os.path.join(scratch, "shell.csv")))
        print(f"  sort round {r + 1}: click to sorted rows {seconds:.3f} s, longest unanswered ping "
              f"{unanswered * 1000:.0f} ms; shell with ORDER BY {ordered[-1]:.3f} s, without {plain[-1]:.3f} s", flush=True)
    mine = statistics.median(ours)
    print(f"sort of {ROWS} rows by a text column: {mine:.3f} s (goal <= {SORT_GOAL} s) "
          f"{'met' if mine <= SORT_GOAL else 'NOT MET'}, longest unanswered ping {max(pings) * 1000:.0f} ms "
          f"(goal <= 50); the shell's ORDER BY {statistics.median(ordered):.3f} s, the query without it "
          f"{statistics.median(plain):.3f} s (medians of {len(ours)})")


def startup_rounds(args, display, scratch, watcher):
    """From the program's start until its main window has answered a ping, for each build."""
    builds = [args.program] + ([args.baseline] if args.baseline else [])
    times = {build: [] for build in builds}
    for r in range(args.rounds):
        for index, build in (list(enumerate(builds)) if r % 2 == 0 else list(enumerate(builds))[::-1]):
            folder = program_folder(os.path.dirname(os.path.abspath(build)), scratch, f"startup-{r}-{index}")
            watcher.drain()
            started = time.monotonic()
            program = ui.Program(display, folder, folder, subprocess.DEVNULL, folder)
            try:
                window = ui.wait_for("the main window", program.find_window, 30, interval=0.005)
                times[build].append(watcher.settled(window, started, watch=time.monotonic() - started + 0.3))
            finally:
                program.stop()
        print(f"  start-up round {r + 1}: " + ", ".join(f"{times[b][-1]:.3f} s" for b in builds), flush=True)
    mine = statistics.median(times[args.program])
    print(f"start-up to an answering window: {mine:.3f} s (medians of {args.rounds})" +
          (f", the baseline {statistics.median(times[args.baseline]):.3f} s: "
           f"{mine / statistics.median(times[args.baseline]):.3f} x" if args.baseline else ""))


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


def make_texts(scratch, chosen):
    """The texts named in `chosen` (all when empty): a .dump of a generated table, one long INSERT
    on one line, one long literal, and two wide results."""
    def dump(path):
        generated = os.path.join(scratch, "generated.db")
        subprocess.run(["sqlite3", generated, "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, amount REAL, note TEXT);"
                        "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 1000000) "
                        "INSERT INTO t SELECT i, 'name ' || i, i * 1.25, printf('%.40c', 'x') || i FROM c;"], check=True)
        with open(path, "w") as out:
            subprocess.run(["sqlite3", generated, ".dump"], stdout=out, check=True)
        os.remove(generated)

    def insert(out):
        out.write("CREATE TABLE u(a INTEGER, b TEXT);\nINSERT INTO u VALUES ")
        out.write(",".join(f"({i},'v{i}')" for i in range(1, 600001)))
        out.write(";\n")

    def line(out):
        out.write("SELECT length('" + "y" * (1 << 20) + "');\n")

    # Wide results: 2,000 columns of a few rows, and 100 columns of the 25,000 rows Exec shows.
    def wide(out):
        out.write("WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM r WHERE i < 3) SELECT "
                  + ", ".join(f"i * {c} AS c{c}" for c in range(1, 2001)) + " FROM r;\n")

    def widerows(out):
        out.write("WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM r WHERE i < 25000) SELECT "
                  + ", ".join(f"'v' || (i * {c}) AS c{c}" for c in range(1, 101)) + " FROM r;\n")

    texts = []
    for name, make, table, rows in (("dump", dump, "t", 1000000), ("insert", insert, "u", 600000),
                                    ("line", line, None, None), ("wide", wide, None, None),
                                    ("widerows", widerows, None, None)):
        if chosen and name not in chosen:
            continue
        path = os.path.join(scratch, f"{name}.sql")
        if make is dump:
            dump(path)
        else:
            with open(path, "w") as out:
                make(out)
        texts.append((name, path, table, rows))
    return texts


SHELL_PEAKS = []


def shell_script(path, folder):
    """`sqlite3 new.db < file` started from this small process; its peak memory is kept too."""
    database = os.path.join(folder, "new.db")
    if os.path.exists(database):
        os.remove(database)
    start = time.monotonic()
    child = subprocess.Popen(["sh", "-c", 'exec sqlite3 "$1" < "$2"', "sh", database, path],
                             stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.monotonic() - start
    child.returncode = 0
    if status != 0:
        raise RuntimeError("the shell failed")
    SHELL_PEAKS.append(usage.ru_maxrss * 1024)
    return seconds


def check_database(database, table):
    """`PRAGMA integrity_check` and the rows of the script's table (None: no such table)."""
    if table is None:
        return "ok", None
    result = subprocess.run(["sqlite3", database, "PRAGMA integrity_check;",
                             f"SELECT count(*) FROM sqlite_master WHERE name = '{table}';"],
                            capture_output=True, text=True, check=True).stdout.split()
    rows = None
    if result[1] == "1":
        rows = int(subprocess.run(["sqlite3", database, f"SELECT count(*) FROM {table}"], capture_output=True,
                                  text=True, check=True).stdout)
    return result[0], rows


def paste(watcher, program, display, path):
    """The clipboard served by xclip; from the click on Paste until the window answers."""
    owner = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i", path], env=display.env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        # xclip reads the whole file before it takes the clipboard, which it had not always done
        # after a fixed 0.3 s for 108 MB: Paste then found no owner and emptied the window.
        ui.wait_for("xclip to own the clipboard", lambda: subprocess.run(
            ["xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"], env=display.env,
            capture_output=True).returncode == 0, 30, interval=0.05)
        watcher.drain()
        clicked = watcher.click(program.window, "Command4")
        return watcher.settled(program.window, clicked)
    finally:
        owner.kill()
        owner.wait()


def load(watcher, program, path):
    """From the Return that chooses the file in Load Script's dialog until the window answers."""
    watcher.drain()
    watcher.click(program.window, "Command5")
    dialog = ui.wait_for("the file dialog", lambda: program.display.windows(program.process.pid, "(?!Kestrune).*"),
                         30, interval=0.05)[0]
    program.display.xdotool("windowfocus", "--sync", dialog)
    program.display.xdotool("type", "--delay", "5", path)
    time.sleep(0.3)
    chosen = watcher.key("Return")
    return watcher.settled(program.window, chosen)


def run_to_status(watcher, program, control, quiet):
    clicked = watcher.click(program.window, control)
    shown, unanswered = watcher.last_status_change(program.window, quiet)
    print(f"    {control}: longest unanswered ping {unanswered * 1000:.0f} ms, ended "
          f"{watcher.longest_end - clicked:.3f} s after the click; final status at {shown - clicked:.3f} s")
    return shown - clicked, unanswered


def scripts(args, display, built, scratch):
    watcher = Watcher(display.name)
    for name, path, table, rows in make_texts(scratch, args.texts.split(",") if args.texts else []):
        size = os.path.getsize(path)
        print(f"{name}: {size / 1e6:.1f} MB", flush=True)
        figures = {"shell": [shell_script(path, scratch)]}  # Exec shows no change until its end

        def note(key, value):
            figures.setdefault(key, []).append(value)
        for r in range(args.rounds):
            # First: Paste, Load Script over it, Run Query.
            program, folder = start_program(display, built, scratch, None, f"{name}-query-{r}")
            try:
                pid = program.process.pid
                idle = memory(pid, "VmRSS:")
                note("paste", paste(watcher, program, display, path))
                note("load over paste", load(watcher, program, path))
                time.sleep(1.0)
                note("memory sitting", memory(pid, "VmRSS:") - idle)
                seconds, unanswered = run_to_status(watcher, program, "Command1", 2 * statistics.median(figures["shell"]) + 1)
                note("run query", seconds)
                note("unanswered", unanswered)
                note("peak memory", memory(pid, "VmHWM:") - idle)
                program.click("Text2")
                program.display.xdotool("key", "Delete")
                time.sleep(1.0)
                note("memory emptied", memory(pid, "VmRSS:") - idle)
                note("rows after run query", check_database(os.path.join(folder, "Albums.db"), table)[1])
            finally:
                program.stop()
            note("shell", shell_script(path, scratch))
            # Second: Load Script, Paste over it, Exec.
            program, folder = start_program(display, built, scratch, None, f"{name}-exec-{r}")
            try:
                idle = memory(program.process.pid, "VmRSS:")
                note("load", load(watcher, program, path))
                note("peak memory of load", memory(program.process.pid, "VmHWM:") - idle)
                time.sleep(1.0)
                note("memory sitting after load", memory(program.process.pid, "VmRSS:") - idle)
                note("paste over load", paste(watcher, program, display, path))
                seconds, unanswered = run_to_status(watcher, program, "Command12",
                                                   2 * statistics.median(figures["shell"]) + 1)
                note("exec", seconds)
                note("unanswered", unanswered)
                note("rows after exec", check_database(os.path.join(folder, "Albums.db"), table)[1])
            finally:
                program.stop()
            note("shell", shell_script(path, scratch))
            # Third: Stop half-way through the shell's time.
            if table is None:
                continue
            program, folder = start_program(display, built, scratch, None, f"{name}-stop-{r}")
            try:
                load(watcher, program, path)
                watcher.click(program.window, "Command1")
                time.sleep(statistics.median(figures["shell"]) / 2)
                stopped = watcher.click(program.window, "Command14")
                shown, _ = watcher.last_status_change(program.window, quiet=2.0)
                note("stop", shown - stopped)
                integrity, left = check_database(os.path.join(folder, "Albums.db"), table)
                note("rows after stop", left)
                note("integrity after stop", integrity)
            finally:
                program.stop()
            print(f"  round {r + 1}: " + ", ".join(f"{k} {v[-1]:.3f}" if isinstance(v[-1], float) else f"{k} {v[-1]}"
                                                   for k, v in figures.items()), flush=True)
        shells = statistics.median(figures["shell"])
        print(f"{name} ({size / 1e6:.1f} MB), medians of {args.rounds} fresh programs:")
        for key in ("paste", "load over paste", "load", "paste over load"):
            print(f"  {key} to an answering window: {statistics.median(figures[key]):.3f} s (goal <= 1 s)")
        for key in ("run query", "exec"):
            mine = statistics.median(figures[key])
            print(f"  {key}, click to final status line: {mine:.3f} s, shell {shells:.3f} s: "
                  f"{mine / shells:.2f} x (goal <= 1.1)")
        print(f"  longest unanswered ping during the runs: {max(figures['unanswered']) * 1000:.0f} ms (goal <= 50)")
        if "stop" in figures:
            print(f"  stop, click to final status line: {statistics.median(figures['stop']):.3f} s (goal <= 0.5); "
                  f"integrity {set(figures['integrity after stop'])}, rows left {set(figures['rows after stop'])}")
        for key in ("memory sitting", "memory sitting after load", "peak memory of load", "peak memory", "memory emptied"):
            value = statistics.median(figures[key])
            print(f"  {key} beyond idle: {value / 1e6:.0f} MB, {value / size:.2f} x the text")
        print(f"  the shell's peak memory: {statistics.median(SHELL_PEAKS) / 1e6:.0f} MB")
        SHELL_PEAKS.clear()
        print(f"  rows after the runs: {set(figures['rows after run query'])}, {set(figures['rows after exec'])} "
              f"(expected {rows})", flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--only", choices=["query", "exec", "sort", "scripts", "startup"])
    parser.add_argument("--texts", help="with --only scripts: the scripts to run, of dump,insert,line,wide,widerows")
    parser.add_argument("--unicode", action="store_true", help="tick Unicode in each program before it runs")
    parser.add_argument("--perf", help="record each round's program with perf into this file prefix")
    parser.add_argument("--baseline", help="another build's kestrune-demo, run in each round after this one")
    args = parser.parse_args()
    global UNICODE
    UNICODE = args.unicode
    built = os.path.dirname(os.path.abspath(args.program))
    scratch = tempfile.mkdtemp(prefix="kestrune-bench-")
    display = ui.Display(scratch)
    try:
        if args.only == "scripts":
            scripts(args, display, built, scratch)
            return
        if args.only == "startup":
            startup_rounds(args, display, scratch, Watcher(display.name))
            return
        database = os.path.join(scratch, "Albums.db")
        populate(display, built, scratch, database)
        text_bytes = int(subprocess.run(["sh", "-c", 'sqlite3 -list -separator "" -noheader "$1" "$2" | wc -c', "sh",
                                         database, QUERY], capture_output=True, text=True, check=True).stdout) - ROWS
        cells = ROWS * 10
        watcher = Watcher(display.name)
        programs = [built] + ([os.path.dirname(os.path.abspath(args.baseline))] if args.baseline else [])
        for which in ("query", "exec"):
            if args.only and which != args.only:
                continue
            ours, theirs, peaks, baseline, floors, baseline_peaks = [], [], [], [], [], []
            for r in range(args.rounds):
                # Which of the two goes first alternates too.
                for index, build in (list(enumerate(programs)) if r % 2 == 0 else list(enumerate(programs))[::-1]):
                    program, folder = start_program(display, build, scratch, database, f"{which}-{r}-{index}")
                    recorder = subprocess.Popen(["perf", "record", "-g", "-o", f"{args.perf}.{which}.{r}", "-p",
                                                 str(program.process.pid)], stdout=subprocess.DEVNULL,
                                                stderr=subprocess.DEVNULL) if args.perf and index == 0 else None
                    try:
                        watcher.drain()
                        if which == "query":
                            seconds, peak = run_query_round(watcher, program)
                            (peaks if index == 0 else baseline_peaks).append(peak)
                        else:
                            seconds, _ = exec_round(watcher, program, folder)
                    finally:
                        if recorder:
                            recorder.send_signal(2)
                            recorder.wait()
                        program.stop()
                    (ours if index == 0 else baseline).append(seconds)
                theirs.append(shell(database, QUERY, os.path.join(scratch, "shell.csv")))
                if which == "query":
                    floors.append(floor(built, database))
                print(f"  {which} round {r + 1}: program {ours[-1]:.3f} s, shell {theirs[-1]:.3f} s" +
                      (f", floor {floors[-1]:.3f} s" if floors else "") +
                      (f", baseline {baseline[-1]:.3f} s" if baseline else ""), flush=True)
            report(which, ours, theirs, peaks, text_bytes, cells)
            if floors:
                print(f"  the engine's floor {statistics.median(floors):.3f} s: the program "
                      f"{statistics.median(ours) / statistics.median(floors):.2f} x the floor (goal <= 1.1)")
            if baseline:
                print(f"  the baseline {statistics.median(baseline):.3f} s: the program "
                      f"{statistics.median(ours) / statistics.median(baseline):.3f} x the baseline")
                if baseline_peaks:
                    print(f"  peak memory beyond idle: program {statistics.median(peaks) / cells:.2f} bytes per cell, "
                          f"the baseline {statistics.median(baseline_peaks) / cells:.2f}")
        if not args.only or args.only == "sort":
            sort_rounds(args, display, built, scratch, database, watcher)
        if not args.only:
            scripts(args, display, built, scratch)
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
