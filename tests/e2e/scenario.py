#!/usr/bin/python3
"""kestrune-demo as a person meets it: installed into a fresh prefix its user cannot write (as
root, the program and its buses run as `nobody`), started from another folder in an Xvfb of its
own under openbox, with a D-Bus session and the accessibility bus. The window is read and driven
through AT-SPI as a screen reader does: controls by accessible name and role, buttons by their
actions, the status bar's text, results through the Table interface. Files and the database are
checked with the sqlite3 shell; the in-process window tests cover texts and files in detail.

Usage: scenario.py --build <build folder> --artifacts <dir>; a failing step leaves
<dir>/e2e-<step>.png beside <dir>/e2e-scenario.log, the program's output is <dir>/e2e-program.log.
"""

import argparse, contextlib, csv, glob, io, json, os, pwd, re, shutil, signal, subprocess, sys, tempfile, time
import Xlib.display, Xlib.protocol, Xlib.X

# More than 25000 rows, so that Exec offers the CSV export; the last cell needs quoting.
CROSS_JOIN = ["SELECT a.*, c.*, b.*, 'say \"hi\", then go' AS remark", "FROM Artists a, CDs c, Artists b"]
CROSS_JOIN_ROWS = 26 * 204 * 26
START_TIMEOUT, STEP_TIMEOUT, EXEC_TIMEOUT = 90, 120, 240  # for ASan on a loaded 2-core machine
TIME = r" - The query took: \d+\.\d{3} second\(s\)"
LOG = None
atspi = GLib = None  # pyatspi and its main loop, imported once the accessibility bus is known


def log(message):
    print(line := time.strftime("%H:%M:%S ") + message, flush=True)
    print(line, file=LOG, flush=True)


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def wait_for(what, probe, timeout, interval=0.1, ok=bool):
    """Polls probe() until ok(its value) holds, and returns that value."""
    deadline = time.monotonic() + timeout
    while not ok(value := probe()):
        check(time.monotonic() < deadline, f"timed out after {timeout}s waiting for {what}; last seen: {value!r}")
        time.sleep(interval)
    return value


def sqlite(database, sql, *options):
    result = subprocess.run(["sqlite3", *options, database], input=sql, capture_output=True, text=True, timeout=300)
    check(result.returncode == 0, f"sqlite3 failed: {result.stderr.strip()}")
    return result.stdout


def read_bytes(path):
    check(os.path.exists(path), f"no {path}")
    with open(path, "rb") as f:
        return f.read()


class Session:
    """Xvfb with openbox, and for the user a D-Bus session bus and the accessibility bus (its
    launcher activates the registry), all ended by close()."""

    def __init__(self, scratch, user, home):
        self.processes = []
        self.name = ":" + self.start(["Xvfb", "-displayfd", "{fd}", "-screen", "0", "1280x1024x24", "-nolisten",
                                      "tcp", "-noreset"])  # nothing if Xvfb ended
        check(self.name != ":", "Xvfb did not start")
        self.env = {k: v for k, v in os.environ.items() if k not in ("XAUTHORITY", "WAYLAND_DISPLAY",
                    "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "XDG_DATA_HOME")}
        self.env.update(DISPLAY=self.name, HOME=home, XDG_RUNTIME_DIR=home)
        self.start(["openbox"], env=dict(self.env, HOME=scratch))
        wait_for("openbox", lambda: "window id" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"), 30)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.start(user + ["dbus-daemon", "--session", "--nofork",
                                                                  "--print-address={fd}"], env=self.env)
        self.start(user + ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=self.env)
        # The launcher publishes the bus on the root window. Only this client is given its
        # address: Qt 6.4 with AT_SPI_BUS_ADDRESS set never registers.
        found = wait_for("the accessibility bus", lambda: self.run("xprop", "-root", "AT_SPI_BUS"), 30,
                         ok=lambda text: '"' in text)
        os.environ["AT_SPI_BUS_ADDRESS"] = found.split('"')[1]

    def start(self, args, **options):
        # Each in a process group of its own, which close() ends with whatever it started. "{fd}"
        # in an argument is a pipe; the first line the process writes there is returned.
        read_end, write_end = os.pipe()
        self.processes.append(subprocess.Popen([a.format(fd=write_end) for a in args], pass_fds=(write_end,),
                                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                               start_new_session=True, **options))
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            return pipe.readline().strip() if any("{fd}" in a for a in args) else None

    def run(self, *args):
        return subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=60).stdout

    def close(self):
        for process in reversed(self.processes):
            with contextlib.suppress(ProcessLookupError):
                os.killpg(process.pid, signal.SIGKILL)
            process.wait()


def named(root, role, name, timeout=STEP_TIMEOUT):
    match = lambda a: a is not None and a.getRoleName() == role and a.name == name
    return wait_for(f"{role} {name!r}", lambda: atspi.findDescendant(root, match), timeout)


def press(control):
    actions = control.queryAction()
    check(actions.getName(0) == "Press", f"{control.name!r} cannot be pressed")
    actions.doAction(0)


def extents(accessible):
    box = accessible.queryComponent().getExtents(atspi.DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


class Program:
    """The program started as the user from another folder, seen only through AT-SPI."""

    def __init__(self, session, user, folder, workdir, output, shell):
        env = dict(session.env, PATH=shell + os.pathsep + os.environ["PATH"], QT_QPA_PLATFORM="xcb",
                   LC_ALL="C.UTF-8", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   # Leak checking is the unit tests' job: at exit LSan would report what Qt and X keep.
                   ASAN_OPTIONS="detect_leaks=0:abort_on_error=1")
        self.process = subprocess.Popen(user + [os.path.join(folder, "kestrune-demo")], cwd=workdir, env=env,
                                        stdout=output, stderr=subprocess.STDOUT)
        mine = lambda a: self.alive() and a is not None and a.get_process_id() == self.process.pid
        self.app = wait_for("the program on the accessibility bus",
                            lambda: next(filter(mine, atspi.Registry.getDesktop(0)), None), START_TIMEOUT, 0.25)
        self.window = wait_for("the main window", lambda: self.top("filler", "Kestrune Tolvane Demo"), START_TIMEOUT)
        self.status_bar = atspi.findDescendant(self.window, lambda a: a.getRoleName() == "status bar")
        self.list = named(self.window, "table", "Query results")
        self.query = named(self.window, "text", "SQL query")

    def top(self, roles, title_start):
        """A top-level window of the program by its title: the main window, or a message box."""
        def matches(w):
            try:
                return w is not None and w.getRoleName() in roles.split("|") and w.name.startswith(title_start)
            except GLib.Error:  # a window that closed while the list was read
                return False
        return next((w for w in self.app if self.alive() and matches(w)), None)

    def alive(self):
        check(self.process.poll() is None, f"the program ended with status {self.process.returncode}")
        return True

    def button(self, name):
        return named(self.window, "push button", name)

    def status(self):
        self.alive()
        self.status_bar.clear_cache()
        return self.status_bar.name

    def wait_status(self, what, pattern, timeout=STEP_TIMEOUT):
        """Waits until the whole status line matches the regular expression; returns it."""
        text = wait_for(what, self.status, timeout, ok=lambda t: re.fullmatch(pattern, t) is not None)
        log(f"  status line: {text!r}")
        return text

    def set_query(self, lines):
        self.query.queryEditableText().setTextContents("\n".join(lines))

    def answer_box(self, title, answer, timeout=STEP_TIMEOUT):
        """Presses the button `answer` of the message box, waits until it has gone, returns its text."""
        box = wait_for(f'the message box "{title}"', lambda: self.top("dialog|alert", title), timeout)
        labels = atspi.findAllDescendants(box, lambda a: a.getRoleName() == "label" and a.name)
        text = "\n".join(a.name for a in labels).replace("\r\n", "\n")
        log(f"  box {title!r}: {text!r}")
        press(named(box, "push button", answer))
        wait_for(f'"{title}" to close', lambda: not self.top("dialog|alert", title), STEP_TIMEOUT)
        return text

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def run_scenario(session, user, prefix, workdir, shell, data, artifacts, programs):
    @contextlib.contextmanager
    def step(name):
        """One step of the scenario: on failure, a screenshot named after it and its name in the log."""
        log(f"step {name}")
        try:
            yield
        except Exception as failure:
            session.run("import", "-window", "root", os.path.join(artifacts, f"e2e-{name}.png"))
            log(f"FAILED at step {name}: {failure}")
            raise

    def start():
        programs.append(Program(session, user, folder, workdir, output, shell))
        return programs[-1]

    def list_follows(what):
        """The list keeps the window's outer size less 400 and 3400 twips (15 a pixel); returns whether
        it lies inside the window and above the status bar, its scroll bar and last rows in view."""
        def seen():
            frame = [int(v) for v in re.findall(r"\d+", session.run("xprop", "-id", xid, "_NET_FRAME_EXTENTS"))]
            frame = frame or [0] * 4  # not framed yet
            window_x, _, width, height = extents(program.window)
            expected = (width + frame[0] + frame[1] - round(400 / 15), height + frame[2] + frame[3] - round(3400 / 15))
            list_x, list_y, *shown = extents(program.list)
            inside = list_x + shown[0] <= window_x + width and list_y + shown[1] <= extents(program.status_bar)[1]
            return tuple(shown), expected, inside
        shown, expected, inside = wait_for(f"the list to follow {what}", seen, STEP_TIMEOUT, 0.25,
                                           lambda s: all(abs(a - b) <= 2 for a, b in zip(*s[:2])))
        log(f"  {what}: list {shown}, the rule gives {expected}, inside the window above the status bar: {inside}")
        check(inside, f"{what}: the list reaches beyond the window or over the status bar")

    def maximised(on):
        # As the title bar's button does: the window manager is asked through the root window.
        atom = x.intern_atom
        data = [int(on), atom("_NET_WM_STATE_MAXIMIZED_VERT"), atom("_NET_WM_STATE_MAXIMIZED_HORZ"), 1, 0]
        event = Xlib.protocol.event.ClientMessage(window=x_window, client_type=atom("_NET_WM_STATE"), data=(32, data))
        x.screen().root.send_event(event, event_mask=Xlib.X.SubstructureRedirectMask | Xlib.X.SubstructureNotifyMask)
        x.flush()
        # The window manager sets the new frame's extents after the resize it announces; the list's
        # place is read through AT-SPI, whose reading of the window's frame in between would keep
        # the program's toolkit on the old frame (it asks again only at the next configure event).
        frames = []
        wait_for("the frame to settle", lambda: frames.append(
            session.run("xprop", "-id", xid, "_NET_FRAME_EXTENTS")) or frames[-5:].count(frames[-1]) == 5, 10, 0.1)

    x = Xlib.display.Display(session.name)
    folder, opened = os.path.join(prefix, "bin"), os.path.join(shell, "opened.txt")
    database, csv_path = os.path.join(data, "Albums.db"), os.path.join(data, "Kestrune-output.csv")
    output = open(os.path.join(artifacts, "e2e-program.log"), "w")
    with step("startup"):
        program = start()
        xid = next(w for w in session.run("xdotool", "search", "--pid", str(program.process.pid)).split()
                   if session.run("xdotool", "getwindowname", w).startswith("Kestrune Tolvane"))
        x_window = x.create_resource_object("window", int(xid))
        version = sqlite(":memory:", "SELECT sqlite_version()").strip()
        number = sum(int(p) * 1000 ** (2 - i) for i, p in enumerate(version.split(".")[:3]))
        title = program.window.name
        check(title == f"Kestrune Tolvane Demo v1.04 - SQLite Version {version} ({number})", f"title {title!r}")
        program.wait_status("the version banner", r"   Kestrune\.dll - Version: 1\.05 - MSVC.*\]")
        # The library that answered is the installed one, not the build folder's.
        libdir = os.path.dirname(glob.glob(os.path.join(prefix, "lib*", "**", "libkestrune3.so.1"), recursive=True)[0])
        with open(f"/proc/{program.process.pid}/maps") as maps:
            loaded = {line.split()[-1] for line in maps if "libkestrune3" in line}
        check(loaded and {os.path.dirname(path) for path in loaded} == {libdir}, f"libkestrune3 from {loaded}")

    with step("controls"):
        # Every control by its role and a name that says what it does; the labels name their fields.
        for name in ("Browse for a database file", "Run Query", "Exec", "Stop", "DB Info", "Explain", "Clear", "Copy",
                     "Paste", "Load Script", "Save Script", "Website", "SQLite", "Exit"):
            named(program.window, "push button", name, 5)
        named(program.window, "check box", "Unicode", 5)
        for label, field in (("Database File", "Database file"), ("SQL Query", "SQL query")):
            targets = [(r.getTarget(0).getRoleName(), r.getTarget(0).name) for r in named(
                program.window, "label", label).getRelationSet() if r.getRelationType() == atspi.RELATION_LABEL_FOR]
            check(targets == [("text", field)], f"the label {label!r} names {targets}")
        group = named(program.window, "panel", "Demonstration Database Tables")
        buttons = sorted(b.name for b in group if b.getRoleName() == "push button")
        check(buttons == ["Drop", "Populate", "Query 1", "Query 2"], f"the group holds {buttons}")

    with step("first_display"):
        # The resize rule applied to the window's real outer size, the window manager's frame included.
        list_follows("the first display")

    with step("installed"):
        entry = os.path.join(prefix, "share", "applications", "kestrune-demo.desktop")
        check(session.run("desktop-file-validate", entry) == "", "desktop-file-validate complains")
        fields = dict(line.rstrip("\n").split("=", 1) for line in open(entry) if "=" in line)
        check(fields["Exec"] == f'"{os.path.join(folder, "kestrune-demo")}"', f"Exec={fields['Exec']}")
        for icon in ("scalable/apps/kestrune-demo.svg", "48x48/apps/kestrune-demo.png"):
            check(os.path.isfile(os.path.join(prefix, "share/icons/hicolor", icon)), f"no icon {icon}")
        # The title bar's icon: the sizes the window hands the window manager (width, height, pixels).
        icon, sizes = x_window.get_full_property(x.intern_atom("_NET_WM_ICON"), 0).value, []
        while len(icon) > 2:
            sizes, icon = sizes + [icon[0]], icon[2 + icon[0] * icon[1]:]
        check({16, 32, 48}.issubset(sizes), f"window icon sizes {sizes}")
        # Website opens the README that the program found beside itself in the prefix.
        press(program.button("Website"))
        wait_for("the Website link", lambda: os.path.exists(opened), STEP_TIMEOUT)
        readme = "file://" + os.path.join(prefix, "share", "kestrune-demo", "README.md")
        check(read_bytes(opened).decode().split() == [readme], f"opened {read_bytes(opened)!r}, not {readme}")

    with step("populate"):
        # The bare name Albums.db: the program's folder cannot be written, so the per-user folder.
        press(program.button("Populate"))
        text = program.answer_box("About to create new tables", "Yes")
        check("Do you want to create the Artists and CDs tables in the current database" in text, text)
        program.wait_status("Populate's text", "Successfully created tables and inserted Artist and CDs data: " + TIME)
        counts = sqlite(database, "SELECT count(*) FROM Artists; SELECT count(*) FROM CDs").split()
        check(counts == ["26", "204"], f"row counts {counts}, expected 26 and 204")

    with step("canned_queries"):
        # Each canned query puts its SQL in the window and shows what the sqlite3 shell gives for
        # it, read through the Table interface (a sample of a long one).
        for name in ("Query 1", "Query 2", "DB Info"):
            press(program.button("Clear"))  # so that the last query's line cannot be taken for this one's
            program.wait_status("the list to be cleared", " Results window cleared")
            press(program.button(name))
            status = program.wait_status(f"the rows of {name}", r" ?[\d,]+ rows - Status code: 0 \(OK\)" + TIME)
            sql = program.query.queryText().getText(0, -1)
            theirs = list(csv.reader(io.StringIO(sqlite(database, sql, "-csv", "-header"), newline="")))
            table, rows = program.list.queryTable(), len(theirs) - 1
            check(status.split()[0].replace(",", "") == str(rows) == str(table.nRows), f"{name}: sqlite3 gives {rows}")
            sample = sorted({0, rows // 2, rows - 1}) if rows > 300 else range(rows)
            ours = [[table.getColumnHeader(c).name for c in range(table.nColumns)]] + \
                [[table.getAccessibleAt(r, c).name for c in range(table.nColumns)] for r in sample]
            check(ours == [theirs[0]] + [theirs[r + 1] for r in sample], f"{name}: the list shows {ours[:3]}…")

    with step("resize"):
        # Maximised and restored, then shrunk in one step: the list follows both ways.
        maximised(True)
        list_follows("the maximised window")
        maximised(False)
        list_follows("the restored window")
        session.run("xdotool", "windowsize", xid, "600", "380")
        list_follows("the window shrunk in one step")

    with step("exec_csv"):
        program.set_query(CROSS_JOIN)
        press(program.button("Exec"))
        text = program.answer_box("Demo", "Yes", EXEC_TIMEOUT)
        check(text.endswith(csv_path), f"the question names another file: {text!r}")
        text = program.answer_box("Success", "OK", EXEC_TIMEOUT)
        check(re.fullmatch(r"Length of the saved file was [\d.,]+ Mb\s+" + re.escape(csv_path), text), text)
        program.wait_status("the Exec row count", f" {CROSS_JOIN_ROWS:,} rows - Status code: 0 \\(Success\\)" + TIME)
        check(program.list.queryTable().nRows == 25000, "the list does not show the first 25000 rows")
        data_csv = read_bytes(csv_path)
        check(data_csv.count(b"\n") == data_csv.count(b"\r\n") == CROSS_JOIN_ROWS, "a CSV row does not end with CR LF")
        ours = list(csv.reader(io.StringIO(data_csv.decode(), newline="")))
        theirs = list(csv.reader(io.StringIO(sqlite(database, " ".join(CROSS_JOIN), "-csv"), newline="")))
        check(len(theirs) == CROSS_JOIN_ROWS, f"sqlite3 returned {len(theirs)} rows")
        differ = next((i for i, (a, b) in enumerate(zip(ours, theirs)) if a != b), None)
        check(differ is None, f"CSV row {differ} {ours[differ or 0]!r}, sqlite3's {theirs[differ or 0]!r}")

    with step("save_script"):
        press(program.button("Save Script"))
        text = program.answer_box("Success", "OK")
        check(text == "Saved current SQL query as:\n\n" + os.path.join(data, "Kestrune-saved.sql"), f"{text!r}")
        saved = read_bytes(os.path.join(data, "Kestrune-saved.sql"))
        check(saved == "\r\n".join(CROSS_JOIN).encode() + b"\r\n", f"saved script {saved!r}")
        check(sorted(os.listdir(data)) == ["Albums.db", "Kestrune-output.csv", "Kestrune-saved.sql"],
              f"the per-user folder holds {os.listdir(data)}")
        check(os.stat(data).st_mode & 0o777 == 0o700, f"the per-user folder's mode is {os.stat(data).st_mode:o}")

    with step("stop"):
        # A statement that works long before its first row: the window still answers Stop.
        program.set_query(["SELECT count(*) FROM CDs a, CDs b, CDs c, CDs d"])
        press(program.button("Exec"))
        program.wait_status("the long statement to run", "Querying database " + re.escape(database))
        press(program.button("Stop"))
        program.wait_status("status code 9 after Stop", r" 0 rows - Status code: 9 \(User cancelled\)" + TIME)

    with step("keys_viewer_menu"):
        # At the keyboard: F5 runs, Enter on a cell shows its whole value in a dialog, Esc closes it,
        # the menu key opens the list's menu. A menu is no child of the application on the bus: it
        # is found through its item that takes the focus, as a screen reader follows it. After the
        # resize step: run before it, the maximised list was measured from the old frame every time.
        program.set_query(["SELECT 1 AS n, '{\"k\": [1, 2.50]}' AS j"])
        session.run("xdotool", "windowactivate", "--sync", xid, "key", "F5")
        program.wait_status("the rows of F5", r"1 rows - Status code: 0 \(OK\)" + TIME)
        left, top, *_ = extents(program.list)
        session.run("xdotool", "mousemove", str(left + 20), str(top + 30), "click", "1", "key", "Right", "Return")
        viewer = wait_for("the cell viewer", lambda: program.top("dialog", "View Cell: j, row 1"), STEP_TIMEOUT)
        shown = named(viewer, "text", "Cell value").queryText().getText(0, -1)
        check(shown == '{\n    "k": [\n        1,\n        2.50\n    ]\n}', f"the viewer shows {shown!r}")
        session.run("xdotool", "key", "Escape")
        wait_for("Esc to close the viewer", lambda: not program.top("dialog", "View Cell"), STEP_TIMEOUT)
        focused, listener = [], lambda e: e.detail1 and focused.append(e.source)
        atspi.Registry.registerEventListener(listener, "object:state-changed:focused")
        # On a busy machine the menu may come up after a Down sent with its key: Down is sent again
        # until an item takes the focus (the item is then pressed by its name).
        wait_for("the list to have the focus again", lambda: program.list.getState().contains(atspi.STATE_FOCUSED),
                 STEP_TIMEOUT)
        session.run("xdotool", "key", "Menu")
        def menu_item():
            session.run("xdotool", "key", "Down")
            for _ in range(20):
                while GLib.MainContext.default().iteration(False):  # the events come through GLib's loop
                    pass
                found = next((a for a in focused if a.getRoleName() == "menu item"), None)
                if found:
                    return found
                time.sleep(0.05)
            return None
        item = wait_for("a menu item to take the focus", menu_item, STEP_TIMEOUT)
        atspi.Registry.deregisterEventListener(listener, "object:state-changed:focused")
        press(named(item.parent, "menu item", "Copy as JSON", 5))
        copied = wait_for("the JSON on the clipboard", lambda: session.run("xclip", "-o", "-selection", "clipboard"), STEP_TIMEOUT)
        check(json.loads(copied) == [{"n": 1, "j": '{"k": [1, 2.50]}'}], f"copied {copied!r}")

    with step("f5_during_load"):
        # F5 pressed while Load Script still reads a big script waits for it, and runs the new text.
        script = os.path.join(shell, "big.sql")
        with open(script, "w") as f:
            f.write("SELECT 'loaded' AS source;\n-- " + "x" * 150_000_000 + "\n")
        program.set_query(["SELECT * FROM no_such_table"])
        press(program.button("Clear"))
        program.wait_status("the list to be cleared", " Results window cleared")
        press(program.button("Load Script"))
        wait_for("the file dialog", lambda: program.top("dialog", ""), STEP_TIMEOUT)
        session.run("xdotool", "type", "--delay", "5", script)
        session.run("xdotool", "key", "Return")
        wait_for("the file dialog to close", lambda: not program.top("dialog", ""), STEP_TIMEOUT, 0.01)
        session.run("xdotool", "windowactivate", "--sync", xid, "key", "F5")
        status = program.wait_status("F5 to run", r"\d+ rows - Status code: .*")
        check(re.fullmatch(r"1 rows - Status code: 0 \(OK\)" + TIME, status), "F5 ran the text before the load")
        os.remove(script)

    with step("exit"):
        # Exit while Exec stores rows of a statement that never ends by itself: the program ends
        # at once, its rows released after the window has gone.
        program.set_query(["WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n)", "SELECT i FROM n"])
        press(program.button("Exec"))
        program.wait_status("rows to be stored", r".* rows found")
        exit_button = program.button("Exit")
        pressed = time.monotonic()
        press(exit_button)
        status = wait_for("the program to end within a second of Exit", program.process.poll, 1.0, 0.01,
                          lambda code: code is not None)
        log(f"  ended {time.monotonic() - pressed:.3f}s after the press, status {status}")
        check(status == 0, f"exit status {status}")
        check(os.listdir(workdir) == [], f"the program wrote into its working directory: {os.listdir(workdir)}")

    with step("killed_populate"):
        # A trigger slows every CDs insert, so that Populate's CDs script runs for minutes, and the
        # program is killed inside it: the journal it leaves must bring back the database as it was
        # before that script, with the Artists committed by the step before.
        sqlite(database, "DELETE FROM CDs; DELETE FROM Artists; CREATE TRIGGER slow AFTER INSERT ON CDs BEGIN "
               "SELECT count(*) FROM (WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
               "WHERE i < 1000000) SELECT i FROM n); END")
        program = start()
        press(program.button("Populate"))
        program.answer_box("About to create new tables", "Yes")
        program.wait_status("the CDs script to run", r"Searching.*")
        program.stop()
        check(os.path.exists(database + "-journal"), "no journal left: the kill was not inside a transaction")
        counts = sqlite(database, "PRAGMA integrity_check; SELECT count(*) FROM Artists; SELECT count(*) FROM CDs")
        check(counts.split() == ["ok", "26", "0"], f"integrity, Artists, CDs after the kill: {counts.split()}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, help="the build folder, installed into a fresh prefix")
    parser.add_argument("--artifacts", required=True, help="where the log and failure screenshots go")
    args = parser.parse_args()
    global LOG, atspi, GLib
    os.makedirs(args.artifacts, exist_ok=True)
    for name in glob.glob(os.path.join(args.artifacts, "e2e-*")):
        os.remove(name)
    LOG = open(os.path.join(args.artifacts, "e2e-scenario.log"), "w")
    missing = [t for t in ("Xvfb", "openbox", "xprop", "xdotool", "xclip", "import", "sqlite3", "desktop-file-validate",
                           "dbus-daemon", "setpriv", "/usr/libexec/at-spi-bus-launcher") if not shutil.which(t)]
    check(not missing, f"missing tools: {missing} (scripts/setup.sh test installs them)")
    scratch = os.path.join(tempfile.gettempdir(), f"kestrune-e2e-{os.getpid()}")
    shutil.rmtree(scratch, ignore_errors=True)  # left by a killed run of the same process id
    session, programs, started = None, [], time.monotonic()
    prefix, workdir, shell, home = (os.path.join(scratch, name) for name in ("prefix", "elsewhere", "shell", "home"))
    try:
        subprocess.run(["cmake", "--install", args.build, "--prefix", prefix], check=True, capture_output=True)
        # As installed for a person: the program's folder is not theirs to write. Root can write
        # anywhere, so as root the program and its buses run as the unprivileged `nobody`.
        os.chmod(os.path.join(prefix, "bin"), 0o555)
        os.chmod(scratch, 0o755)
        owner, user = (os.getuid(), os.getgid()), []
        if os.getuid() == 0:
            owner = pwd.getpwnam("nobody").pw_uid, pwd.getpwnam("nobody").pw_gid
            user = ["setpriv", f"--reuid={owner[0]}", f"--regid={owner[1]}", "--clear-groups"]
        for folder, mode in ((workdir, 0o700), (home, 0o700), (shell, 0o777)):
            os.makedirs(folder)
            os.chmod(folder, mode)
            os.chown(folder, *owner)
        with open(os.path.join(shell, "xdg-open"), "w") as f:  # notes what the desktop was asked to open
            f.write(f'#!/bin/sh\necho "$@" > {os.path.join(shell, "opened.txt")}\n')
        os.chmod(os.path.join(shell, "xdg-open"), 0o755)
        session = Session(scratch, user, home)
        import pyatspi
        from gi.repository import GLib as glib
        atspi, GLib = pyatspi, glib
        run_scenario(session, user, prefix, workdir, shell, os.path.join(home, ".local/share/kestrune-demo"),
                     args.artifacts, programs)
        log(f"passed in {time.monotonic() - started:.1f}s")
        return 0
    except AssertionError:
        return 1
    finally:
        for program in programs:
            program.stop()
        if session:
            session.close()
        with contextlib.suppress(OSError):
            os.chmod(os.path.join(prefix, "bin"), 0o755)
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # CTest's timeout: still clean up
    sys.exit(main())
