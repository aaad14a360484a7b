#!/usr/bin/env python3
"""Drives kestrune-demo, installed into a fresh prefix, in an Xvfb of its own under a window
manager (openbox), from outside only: clicks at the controls' places, keys for the message
boxes, the status line and the boxes read by OCR (tesseract), files and the database checked
with the sqlite3 shell. Only what needs the real process, X server and window manager is here;
the in-process window tests cover the commands' texts and files in detail.

Usage: scenario.py --build <build folder> --artifacts <dir>

A failing step leaves <dir>/e2e-<step>.png, a screenshot of the whole screen, beside
<dir>/e2e-scenario.log; the program's own output goes to <dir>/e2e-program.log.
"""

import argparse, contextlib, csv, glob, io, os, re, shutil, signal, subprocess, sys, tempfile, time

TWIPS_PER_PIXEL = 15
WINDOW_SIZE = (697, 430)  # the client area at the design size
STATUS_BAR_HEIGHT = 17
FRAME1 = (6720, 1890)  # the buttons in the demonstration frame are measured from its corner
PLACES = {  # left, top, width, height in twips, in the window's client area
    "Text2": (2730, 420, 7605, 1440),  # query window
    "Command7": (210, 735, 1065, 330),  # Website
    "Command17": (1470, 1155, 1065, 330),  # Save Script
    "Command2": (210, 1575, 1065, 330),  # Exit
    "Command1": (210, 2100, 960, 330),  # Run Query
    "Command12": (1155, 2100, 960, 330),  # Exec
    "Command14": (2100, 2100, 645, 330),  # Stop
    "Command9": (FRAME1[0] + 105, FRAME1[1] + 210, 855, 330),  # Populate
}

# More than 25000 rows, so that Exec offers the CSV export; the last cell needs quoting.
CROSS_JOIN = ["SELECT a.*, c.*, b.*, 'say \"hi\", then go' AS remark", "FROM Artists a, CDs c, Artists b"]
CROSS_JOIN_ROWS = 26 * 204 * 26
START_TIMEOUT, STEP_TIMEOUT, EXEC_TIMEOUT = 90, 120, 240  # for ASan on a loaded 2-core machine
LOG = None


def log(message):
    line = time.strftime("%H:%M:%S ") + message
    print(line, flush=True)
    if LOG:
        LOG.write(line + "\n")
        LOG.flush()


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def pixels(twips):
    return round(twips / TWIPS_PER_PIXEL)


def centre(name):
    left, top, width, height = PLACES[name]
    return pixels(left) + pixels(width) // 2, pixels(top) + pixels(height) // 2


def wait_for(what, probe, timeout, interval=0.25, ok=bool):
    """Polls probe() until ok(its value) holds, and returns that value."""
    deadline = time.monotonic() + timeout
    while not ok(value := probe()):
        check(time.monotonic() < deadline, f"timed out after {timeout}s waiting for {what}; last seen: {value!r}")
        time.sleep(interval)
    return value


# OCR confuses a few shapes and both loses and adds blanks: both sides are folded alike.
FOLD = str.maketrans({"I": "l", "i": "l", "1": "l", "|": "l", "!": "l", "]": "l", "O": "o", "0": "o", "Q": "o",
                      "S": "s", "5": "s", "‘": "'", "’": "'", "“": '"', "”": '"', "—": "-", "–": "-"})


def fold(text):
    return re.sub(r"\s+", "", text.translate(FOLD).lower())


def status_is(prefix):
    """The whole status line: `prefix`, then the elapsed time in its usual form."""
    pattern = re.escape(fold(prefix)) + r"-thequerytook:[\dols]+\.[\dols]{3}second\(s\)"
    return lambda folded: re.fullmatch(pattern, folded) is not None


def sqlite(database, sql, *options):
    result = subprocess.run(["sqlite3", *options, database, sql], capture_output=True, text=True, timeout=300)
    check(result.returncode == 0, f"sqlite3 failed: {result.stderr.strip()}")
    return result.stdout


def read_bytes(path):
    check(os.path.exists(path), f"no {path}")
    with open(path, "rb") as f:
        return f.read()


class Display:
    """An Xvfb of our own on a free display number, with openbox managing its windows."""

    def __init__(self, scratch):
        self.scratch, self.wm = scratch, None
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                                        "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            self.name = ":" + numbers.readline().strip()  # nothing if Xvfb ended
        self.env = {k: v for k, v in os.environ.items() if k not in ("XAUTHORITY", "WAYLAND_DISPLAY")}
        self.env["DISPLAY"] = self.name
        try:
            check(self.name != ":", "Xvfb did not start")
            self.wm = subprocess.Popen(["openbox"], env=dict(self.env, HOME=scratch), stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
            wait_for("openbox", lambda: "window id" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK",
                                                                  check_rc=False), 30)
        except AssertionError:
            self.close()
            raise

    def run(self, *args, check_rc=True, text=True):
        result = subprocess.run(args, env=self.env, capture_output=True, text=text, timeout=60)
        check(result.returncode == 0 or not check_rc, f"{' '.join(args)} failed: {result.stderr}")
        return result.stdout

    def xdotool(self, *args, check_rc=True):
        return self.run("xdotool", *args, check_rc=check_rc)

    def windows(self, pid, title_pattern):
        """The visible windows of process `pid` whose whole title matches the pattern."""
        found = self.xdotool("search", "--onlyvisible", "--pid", str(pid), check_rc=False).split()
        return [w for w in found if re.fullmatch(title_pattern, self.xdotool("getwindowname", w, check_rc=False)[:-1])]

    def screenshot(self, path, window="root"):
        self.run("import", "-window", window, path, check_rc=False)

    def close(self):
        for process in (self.wm, self.server):
            if process and process.poll() is None:
                process.kill()
                process.wait()


class Program:
    """The program started from another working directory, seen only through its window."""

    def __init__(self, display, folder, workdir, output, shell):
        self.display, self.window = display, None
        home = tempfile.mkdtemp(prefix="home-", dir=display.scratch)
        # A fresh user with no session bus; `shell` holds a stand-in for the desktop's xdg-open.
        # Leak checking is the unit tests' job: at exit LSan would report what Qt and X keep.
        env = dict(display.env, PATH=shell + os.pathsep + os.environ["PATH"], HOME=home, XDG_RUNTIME_DIR=home,
                   ASAN_OPTIONS="detect_leaks=0:abort_on_error=1", QT_QPA_PLATFORM="xcb", LC_ALL="C.UTF-8")
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        self.process = subprocess.Popen([os.path.join(folder, "kestrune-demo")], cwd=workdir, env=env,
                                        stdout=output, stderr=subprocess.STDOUT)

    def alive(self):
        check(self.process.poll() is None, f"the program ended with status {self.process.returncode}")

    def find_window(self):
        found = self.display.windows(self.process.pid, "Kestrune Tolvane Demo.*")
        self.alive()
        return found[0] if found else None

    def click(self, control):
        x, y = centre(control)
        self.display.xdotool("mousemove", "--window", self.window, str(x), str(y), "click", "1")

    def replace_query_text(self, lines):
        self.click("Text2")
        self.display.xdotool("windowfocus", "--sync", self.window)
        self.display.xdotool("key", "ctrl+a")
        for i, line in enumerate(lines):
            self.display.xdotool(*(["key", "Return"] if i else []), "type", "--delay", "20", line)

    def ocr(self, window, crop, psm):
        """A window's text, or a part's (an ImageMagick crop), as tesseract reads it, gray and scaled up."""
        return self.display.run("sh", "-c", f"import -window {window} png:- | convert png:- {crop} -colorspace Gray "
                                f"-resize 400% -bordercolor white -border 20 png:- | tesseract stdin stdout --psm {psm}",
                                check_rc=False).strip()

    def wait_status(self, what, matches, timeout=STEP_TIMEOUT):
        """Polls the status line until matches(folded text) holds; returns the text read."""
        crop = "-crop %dx%d+0+%d +repage" % (WINDOW_SIZE[0], STATUS_BAR_HEIGHT, WINDOW_SIZE[1] - STATUS_BAR_HEIGHT)
        text = wait_for(what, lambda: self.ocr(self.window, crop, 7), timeout, 0.5, lambda t: matches(fold(t)))
        log(f"  status line: {text!r}")
        return text

    def wait_box(self, title, timeout=STEP_TIMEOUT):
        return wait_for(f'the message box "{title}"',
                        lambda: self.alive() or self.display.windows(self.process.pid, re.escape(title)), timeout)[0]

    def answer_box(self, title, key, expected_words=(), timeout=STEP_TIMEOUT):
        """Waits for the box, checks words of its text, answers it with `key` and waits until it has gone."""
        box = self.wait_box(title, timeout)
        text = wait_for(f'the text of "{title}"', lambda: " ".join(self.ocr(box, "", 6).split()), 20, 0.5,
                        lambda t: all(fold(w) in fold(t) for w in expected_words))
        log(f"  box {title!r}: {text!r}")
        self.display.xdotool("windowfocus", "--sync", box)
        self.display.xdotool("key", key)
        wait_for(f'"{title}" to close', lambda: box not in self.display.windows(self.process.pid, re.escape(title)),
                 STEP_TIMEOUT)

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def list_size(display, window):
    """The results list's width and height as the screen shows it: from inside the empty list,
    the first pixel of another colour rightwards and downwards is its frame."""
    raw = display.run("import", "-window", window, "-depth", "8", "rgb:-", text=False)
    width, height = WINDOW_SIZE
    at = lambda x, y: raw[3 * (y * width + x):3 * (y * width + x) + 3]
    left, top = pixels(105), pixels(2625)
    inside = at(left + 30, top + 5)
    return (next(x for x in range(5, width - left) if at(left + x, top + 30) != inside) + 1,
            next(y for y in range(5, height - top) if at(left + 30, top + y) != inside) + 1)


def run_scenario(display, prefix, workdir, shell, artifacts, programs):
    @contextlib.contextmanager
    def step(name):
        """One step of the scenario: on failure, a screenshot named after it and its name in the log."""
        log(f"step {name}")
        try:
            yield
        except Exception as failure:
            display.screenshot(os.path.join(artifacts, f"e2e-{name}.png"))
            log(f"FAILED at step {name}: {failure}")
            raise

    def start():
        programs.append(Program(display, folder, workdir, output, shell))
        programs[-1].window = wait_for("the main window", programs[-1].find_window, START_TIMEOUT, interval=0.5)
        return programs[-1]

    folder, opened = os.path.join(prefix, "bin"), os.path.join(shell, "opened.txt")
    database, csv_path = os.path.join(folder, "Albums.db"), os.path.join(folder, "Kestrune-output.csv")
    output = open(os.path.join(artifacts, "e2e-program.log"), "w")
    with step("startup"):
        program = start()
        version = sqlite(":memory:", "SELECT sqlite_version()").strip()
        number = sum(int(p) * 1000 ** (2 - i) for i, p in enumerate(version.split(".")[:3]))
        title = display.xdotool("getwindowname", program.window)[:-1]
        check(title == f"Kestrune Tolvane Demo v1.04 - SQLite Version {version} ({number})", f"title {title!r}")
        program.wait_status("the version banner", lambda t: t.startswith(fold("Kestrune.dll - Version: 1.04 - MSVC")))
        # The library that answered is the installed one, not the build folder's.
        libdir = os.path.dirname(glob.glob(os.path.join(prefix, "lib*", "**", "libkestrune3.so.1"), recursive=True)[0])
        with open(f"/proc/{program.process.pid}/maps") as maps:
            loaded = {line.split()[-1] for line in maps if "libkestrune3" in line}
        check(loaded and {os.path.dirname(path) for path in loaded} == {libdir}, f"libkestrune3 from {loaded}")

    with step("first_display"):
        # The resize rule applied to the window's real outer size, the window manager's frame included.
        extents = display.run("xprop", "-id", program.window, "_NET_FRAME_EXTENTS")
        left, right, top, bottom = (int(v) for v in re.findall(r"\d+", extents.split("=")[1]))
        expected = (WINDOW_SIZE[0] + left + right - pixels(400), WINDOW_SIZE[1] + top + bottom - pixels(3400))
        shown = list_size(display, program.window)
        log(f"  frame {left},{right},{top},{bottom}; list {shown}, the rule gives {expected}")
        check(top > 0 and all(abs(a - b) <= 2 for a, b in zip(shown, expected)), f"list {shown}, not {expected}")

    with step("installed"):
        entry = os.path.join(prefix, "share", "applications", "kestrune-demo.desktop")
        display.run("desktop-file-validate", entry)
        fields = dict(line.rstrip("\n").split("=", 1) for line in open(entry) if "=" in line)
        check(fields["Exec"] == f'"{os.path.join(folder, "kestrune-demo")}"', f"Exec={fields['Exec']}")
        check(os.path.isfile(os.path.join(prefix, "share/icons/hicolor/scalable/apps", fields["Icon"] + ".svg")),
              f"no icon {fields['Icon']}")
        # Website opens the README that the program found beside itself in the prefix.
        program.click("Command7")
        wait_for("the Website link", lambda: os.path.exists(opened), STEP_TIMEOUT)
        readme = "file://" + os.path.join(prefix, "share", "kestrune-demo", "README.md")
        check(read_bytes(opened).decode().split() == [readme], f"opened {read_bytes(opened)!r}, not {readme}")

    with step("populate"):
        program.click("Command9")
        program.answer_box("About to create new tables", "alt+y",
                           ["Do you want to create the Artists and CDs tables in the current database"])
        program.wait_status("the Populate text",
                            status_is("Successfully created tables and inserted Artist and CDs data: "))
        counts = sqlite(database, "SELECT count(*) FROM Artists; SELECT count(*) FROM CDs").split()
        check(counts == ["26", "204"], f"row counts {counts}, expected 26 and 204")

    with step("run_query"):
        # Populate left its example query in the query window: the four albums of one artist.
        program.click("Command1")
        program.wait_status("4 rows from Run Query", status_is("4 rows - Status code: 0 (OK)"))

    with step("exec_csv"):
        program.replace_query_text(CROSS_JOIN)
        program.click("Command12")
        program.answer_box("Demo", "alt+y", ["Only the first 25000 rows have been displayed",
                                             "Would you like to save the rest in CSV format", csv_path], EXEC_TIMEOUT)
        program.answer_box("Success", "Return", ["Length of the saved file was", "Mb"], EXEC_TIMEOUT)
        program.wait_status("the Exec row count", status_is(f" {CROSS_JOIN_ROWS:,} rows - Status code: 0 (Success)"))
        data = read_bytes(csv_path)
        check(data.count(b"\n") == data.count(b"\r\n") == CROSS_JOIN_ROWS, "a CSV row does not end with CR LF")
        ours = list(csv.reader(io.StringIO(data.decode(), newline="")))
        theirs = list(csv.reader(io.StringIO(sqlite(database, " ".join(CROSS_JOIN), "-csv"), newline="")))
        check(len(theirs) == CROSS_JOIN_ROWS, f"sqlite3 returned {len(theirs)} rows")
        differ = next((i for i, (a, b) in enumerate(zip(ours, theirs)) if a != b), None)
        check(differ is None, f"CSV row {differ} {ours[differ or 0]!r}, sqlite3's {theirs[differ or 0]!r}")

    with step("save_script"):
        saved_path = os.path.join(folder, "Kestrune-saved.sql")
        program.click("Command17")
        program.answer_box("Success", "Return", ["Saved current SQL query as:", saved_path])
        saved = read_bytes(saved_path)
        check(saved == "\r\n".join(CROSS_JOIN).encode() + b"\r\n", f"saved script {saved!r}")

    with step("stop"):
        # A statement that works long before its first row: the window still answers Stop.
        program.replace_query_text(["SELECT count(*) FROM CDs a, CDs b, CDs c, CDs d"])
        program.click("Command12")
        program.wait_status("the long statement to run", lambda t: t.startswith(fold("Querying database")))
        program.click("Command14")
        program.wait_status("status code 9 after Stop", status_is(" 0 rows - Status code: 9 (User cancelled)"))

    with step("exit"):
        # Exit while Exec stores rows of a statement that never ends by itself: the program ends
        # at once, its rows released after the window has gone.
        program.replace_query_text(["WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n)",
                                    "SELECT i FROM n"])
        program.click("Command12")
        program.wait_status("rows to be stored", lambda t: t.endswith(fold(" rows found")))
        clicked = time.monotonic()
        program.click("Command2")
        try:
            status = program.process.wait(timeout=1.0)
        except subprocess.TimeoutExpired:
            raise AssertionError("the program was still running one second after Exit") from None
        log(f"  ended {time.monotonic() - clicked:.3f}s after the click, status {status}")
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
        program.click("Command9")
        program.answer_box("About to create new tables", "alt+y")
        program.wait_status("the CDs script to run", lambda t: t.startswith(fold("Searching")))
        program.stop()
        check(os.path.exists(database + "-journal"), "no journal left: the kill was not inside a transaction")
        counts = sqlite(database, "PRAGMA integrity_check; SELECT count(*) FROM Artists; SELECT count(*) FROM CDs")
        check(counts.split() == ["ok", "26", "0"], f"integrity, Artists, CDs after the kill: {counts.split()}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, help="the build folder, installed into a fresh prefix")
    parser.add_argument("--artifacts", required=True, help="where the log and failure screenshots go")
    args = parser.parse_args()
    global LOG
    os.makedirs(args.artifacts, exist_ok=True)
    for name in glob.glob(os.path.join(args.artifacts, "e2e-*")):
        os.remove(name)
    LOG = open(os.path.join(args.artifacts, "e2e-scenario.log"), "w")
    missing = [t for t in ("Xvfb", "openbox", "xprop", "xdotool", "import", "convert", "tesseract", "sqlite3",
                           "desktop-file-validate") if not shutil.which(t)]
    check(not missing, f"missing tools: {missing} (scripts/setup.sh test installs them)")
    # Digits only in the folder's name: its path shows in message boxes, and OCR reads digits surely.
    scratch = os.path.join(tempfile.gettempdir(), f"kestrune-e2e-{os.getpid()}")
    shutil.rmtree(scratch, ignore_errors=True)  # left by a killed run of the same process id
    display, programs, started = None, [], time.monotonic()
    try:
        prefix, workdir, shell = (os.path.join(scratch, name) for name in ("prefix", "elsewhere", "shell"))
        subprocess.run(["cmake", "--install", args.build, "--prefix", prefix], check=True, capture_output=True)
        os.makedirs(workdir)
        os.makedirs(shell)
        with open(os.path.join(shell, "xdg-open"), "w") as f:  # notes what the desktop was asked to open
            f.write(f'#!/bin/sh\necho "$@" > {os.path.join(shell, "opened.txt")}\n')
        os.chmod(os.path.join(shell, "xdg-open"), 0o755)
        display = Display(scratch)
        run_scenario(display, prefix, workdir, shell, args.artifacts, programs)
        log(f"passed in {time.monotonic() - started:.1f}s")
        return 0
    except AssertionError:
        return 1
    finally:
        for program in programs:
            program.stop()
        if display:
            display.close()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # CTest's timeout: still clean up
    sys.exit(main())
