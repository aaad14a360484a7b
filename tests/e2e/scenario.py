#!/usr/bin/env python3
"""Drives kestrune-demo, installed into a fresh prefix, in its own Xvfb display with a window
manager (openbox), only from outside, as a person would:
clicks at the controls' places, typed text and keys for the message boxes. What the window
shows is read from outside too: the title through xdotool, the status line through OCR of a
screenshot (tesseract). Files and the database are checked with the sqlite3 shell and a CSV
parser.

Usage: scenario.py --build <build folder> --artifacts <dir>

When a step fails, <dir>/e2e-<step>.png holds a screenshot of the whole screen at that moment,
next to <dir>/e2e-scenario.log; the program's own output goes to <dir>/e2e-program.log.
"""

import argparse
import csv
import glob
import io
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TWIPS_PER_PIXEL = 15
WINDOW_SIZE = (697, 430)  # the client area at the design size
STATUS_BAR_HEIGHT = 17

# Left, top, width, height in twips, measured in the window's client area.
FRAME1 = (6720, 1890)  # the buttons in the demonstration frame are measured from its corner
PLACES = {
    "Text2": (2730, 420, 7605, 1440),  # query window
    "Command7": (210, 735, 1065, 330),  # Website
    "Command17": (1470, 1155, 1065, 330),  # Save Script
    "Command2": (210, 1575, 1065, 330),  # Exit
    "Command1": (210, 2100, 960, 330),  # Run Query
    "Command12": (1155, 2100, 960, 330),  # Exec
    "Command14": (2100, 2100, 645, 330),  # Stop
    "Command6": (5355, 2100, 645, 330),  # Copy
    "Command4": (5985, 2100, 645, 330),  # Paste
    "Command9": (FRAME1[0] + 105, FRAME1[1] + 210, 855, 330),  # Populate
    "Command11": (FRAME1[0] + 1050, FRAME1[1] + 210, 750, 330),  # Query 1
    "Command10": (FRAME1[0] + 2730, FRAME1[1] + 210, 750, 330),  # Drop
}

# A cross join of more than 25000 rows, so that Exec offers the CSV export. The last column holds a
# double quote and a comma, which the file must quote so that a CSV parser reads the cell back.
CROSS_JOIN_LINES = [
    "SELECT a.*, c.*, b.*, 'say \"hi\", then go' AS remark",
    "FROM Artists a, CDs c, Artists b",
]
CROSS_JOIN_ROWS = 26 * 204 * 26
LONG_STATEMENT = "SELECT count(*) FROM CDs a, CDs b, CDs c, CDs d"

# Slow enough for the ASan build on a loaded 2-core machine.
START_TIMEOUT = 90
STEP_TIMEOUT = 120
EXEC_TIMEOUT = 240

LOG = None


def log(message):
    line = time.strftime("%H:%M:%S ") + message
    print(line, flush=True)
    if LOG:
        LOG.write(line + "\n")
        LOG.flush()


class StepFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise StepFailed(message)


def pixels(twips):
    return round(twips / TWIPS_PER_PIXEL)


def centre(name):
    left, top, width, height = PLACES[name]
    return pixels(left) + pixels(width) // 2, pixels(top) + pixels(height) // 2


def wait_for(what, probe, timeout, interval=0.25):
    """Polls probe() until it returns something true; returns that, or fails naming `what`."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        last = probe()
        if last:
            return last
        if time.monotonic() > deadline:
            raise StepFailed(f"timed out after {timeout}s waiting for {what}")
        time.sleep(interval)


# OCR confuses a few shapes; both sides are folded alike before they are compared, and blanks
# are dropped, since OCR both loses and adds them.
FOLD = str.maketrans({"I": "l", "i": "l", "1": "l", "|": "l", "!": "l", "]": "l", "O": "o", "0": "o", "Q": "o",
                      "S": "s", "5": "s", "‘": "'", "’": "'", "“": '"', "”": '"', "—": "-", "–": "-"})


def fold(text):
    return re.sub(r"\s+", "", text.translate(FOLD).lower())


class Display:
    """An Xvfb of our own on a free display number, with openbox managing its windows."""

    def __init__(self, scratch):
        self.scratch = scratch
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=open(os.path.join(scratch, "xvfb.log"), "w"))
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.monotonic()))
            chunk = os.read(read_end, 16) if ready else b""
            if not chunk:
                self.close()
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(read_end)
        self.name = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.name)
        self.env.pop("XAUTHORITY", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.wm = subprocess.Popen(["openbox"], env=dict(self.env, HOME=scratch), stdout=subprocess.DEVNULL,
                                   stderr=open(os.path.join(scratch, "openbox.log"), "w"))
        try:
            wait_for("openbox", lambda: "window id" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK",
                                                                  check_rc=False), 30)
        except StepFailed:
            self.close()
            raise

    def run(self, *args, check_rc=True):
        result = subprocess.run(list(args), env=self.env, capture_output=True, text=True, timeout=60)
        if check_rc and result.returncode != 0:
            raise StepFailed(f"{' '.join(args)} failed: {result.stderr.strip()}")
        return result.stdout

    def xdotool(self, *args, check_rc=True):
        return self.run("xdotool", *args, check_rc=check_rc)

    def windows(self, pid, name_regex):
        """The visible windows of process `pid` whose title matches; names are compared here, since
        xdotool's search ORs its conditions."""
        out = self.xdotool("search", "--onlyvisible", "--pid", str(pid), check_rc=False)
        found = []
        for window in out.split():
            name = self.xdotool("getwindowname", window, check_rc=False).rstrip("\n")
            if re.search(name_regex, name):
                found.append(window)
        return found

    def screenshot(self, path, window="root"):
        self.run("import", "-window", window, path, check_rc=False)

    def close(self):
        if getattr(self, "wm", None) and self.wm.poll() is None:
            self.wm.terminate()
            self.wm.wait(10)
        if self.server.poll() is None:
            self.server.terminate()
            try:
                self.server.wait(10)
            except subprocess.TimeoutExpired:
                self.server.kill()
                self.server.wait()


class Program:
    """The program started from another working directory, seen only through its window."""

    def __init__(self, display, folder, workdir, output, shell):
        self.display = display
        env = dict(display.env)
        # The desktop's shell (xdg-open) is a stand-in that notes what it was asked to open.
        env["PATH"] = shell + os.pathsep + env.get("PATH", "")
        # Leak checking is the unit tests' job; at exit of the real program LSan would report what
        # Qt and the X libraries keep until the end.
        env["ASAN_OPTIONS"] = "detect_leaks=0:abort_on_error=1"
        env["QT_QPA_PLATFORM"] = "xcb"
        env["LC_ALL"] = "C.UTF-8"
        env["XDG_RUNTIME_DIR"] = tempfile.mkdtemp(prefix="xdg-", dir=display.scratch)
        # A fresh user: no session bus to reach, nothing remembered from other runs.
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        env["HOME"] = tempfile.mkdtemp(prefix="home-", dir=display.scratch)
        self.process = subprocess.Popen([os.path.join(folder, "kestrune-demo")], cwd=workdir, env=env,
                                        stdout=output, stderr=subprocess.STDOUT)
        self.window = None

    def find_window(self):
        found = self.display.windows(self.process.pid, "^Kestrune Tolvane Demo")
        check(self.process.poll() is None, f"the program ended with status {self.process.returncode}")
        return found[0] if found else None

    def title(self):
        return self.display.xdotool("getwindowname", self.window).rstrip("\n")

    def click(self, control):
        x, y = centre(control)
        self.display.xdotool("mousemove", "--window", self.window, str(x), str(y), "click", "1")

    def focus(self):
        self.display.xdotool("windowfocus", "--sync", self.window)

    def type_lines(self, lines):
        for i, line in enumerate(lines):
            if i:
                self.display.xdotool("key", "Return")
            self.display.xdotool("type", "--delay", "20", line)

    def replace_query_text(self, lines):
        """Select all with Ctrl+A in the query window, then type over it."""
        self.click("Text2")
        self.focus()
        self.display.xdotool("key", "ctrl+a")
        if lines:
            self.type_lines(lines)
        else:
            self.display.xdotool("key", "Delete")

    def screenshot(self, path):
        self.display.screenshot(path, self.window)

    def status_text(self):
        """The status line as OCR reads it: the bar cropped from a screenshot, scaled up."""
        shot = os.path.join(self.display.scratch, "window.png")
        bar = os.path.join(self.display.scratch, "status.png")
        self.screenshot(shot)
        if not os.path.exists(shot):
            return ""
        width, height = WINDOW_SIZE
        self.display.run("convert", shot, "-crop", f"{width}x{STATUS_BAR_HEIGHT}+0+{height - STATUS_BAR_HEIGHT}",
                         "+repage", "-colorspace", "Gray", "-resize", "400%", "-bordercolor", "white",
                         "-border", "20", bar)
        os.remove(shot)
        return self.display.run("tesseract", bar, "-", "--psm", "7", check_rc=False).strip()

    def wait_status(self, what, matches, timeout=STEP_TIMEOUT):
        """Polls the status line until matches(folded text) holds; returns the text read."""
        seen = []

        def probe():
            text = self.status_text()
            if not seen or seen[-1] != text:
                seen.append(text)
            return text if matches(fold(text)) else None

        try:
            text = wait_for(what, probe, timeout, interval=0.5)
        except StepFailed as failure:
            raise StepFailed(f"{failure}; the status line read as: {seen[-3:]!r}") from None
        log(f"  status line: {text!r}")
        return text

    def wait_box(self, title, timeout=STEP_TIMEOUT):
        def probe():
            check(self.process.poll() is None, f"the program ended with status {self.process.returncode}")
            found = self.display.windows(self.process.pid, f"^{re.escape(title)}$")
            return found[0] if found else None

        return wait_for(f'the message box "{title}"', probe, timeout)

    def box_text(self, box):
        shot = os.path.join(self.display.scratch, "box.png")
        big = os.path.join(self.display.scratch, "box-big.png")
        self.display.screenshot(shot, box)
        self.display.run("convert", shot, "-colorspace", "Gray", "-resize", "300%", big)
        return self.display.run("tesseract", big, "-", "--psm", "6", check_rc=False)

    def answer_box(self, title, key, expected_words=(), timeout=STEP_TIMEOUT):
        """Waits for the box, checks words of its text, answers it with `key` and waits until it has gone."""
        box = self.wait_box(title, timeout)
        if expected_words:
            seen = [""]

            def probe():
                seen[0] = " ".join(self.box_text(box).split())
                return all(fold(w) in fold(seen[0]) for w in expected_words)

            try:
                wait_for(f'the text of "{title}"', probe, 20, interval=0.5)
            except StepFailed as failure:
                raise StepFailed(f"{failure}; the box read as: {seen[0]!r}") from None
            log(f"  box {title!r}: {seen[0]!r}")
        self.display.xdotool("windowfocus", "--sync", box)
        self.display.xdotool("key", key)
        wait_for(f'the message box "{title}" to close', lambda: box not in self.display.windows(
            self.process.pid, f"^{re.escape(title)}$"), STEP_TIMEOUT)

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def sqlite(database, sql, *options):
    result = subprocess.run(["sqlite3", *options, database, sql], capture_output=True, timeout=300)
    check(result.returncode == 0, f"sqlite3 failed: {result.stderr.decode(errors='replace').strip()}")
    return result.stdout


def engine_version():
    """The engine's version as the SQLite library itself reports it: text and number."""
    text = sqlite(":memory:", "SELECT sqlite_version()").decode().strip()
    major, minor, patch = (int(p) for p in text.split(".")[:3])
    return text, major * 1000000 + minor * 1000 + patch


TIME_PART = r"-thequerytook:[\dols]+\.[\dols]{3}second\(s\)$"


def status_is(prefix):
    """The whole status line: `prefix`, then the elapsed time in its usual form."""
    pattern = re.escape(fold(prefix)) + TIME_PART
    return lambda folded: re.fullmatch(pattern, folded) is not None


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def list_geometry(display, window):
    """The results list's width and height as the screen shows it: from inside the empty list,
    the first pixel of another colour downwards and rightwards is its frame."""
    shot = os.path.join(display.scratch, "list.png")
    display.screenshot(shot, window)
    left, top = pixels(105), pixels(2625)

    def line(geometry):
        out = display.run("convert", shot, "-crop", geometry, "+repage", "-depth", "8", "txt:-")
        return [row.split()[2] for row in out.splitlines()[1:]]

    down = line(f"1x{WINDOW_SIZE[1] - top}+{left + 30}+{top}")
    across = line(f"{WINDOW_SIZE[0] - left}x1+{left}+{top + 30}")
    inside = down[5]
    return (next(x for x in range(5, len(across)) if across[x] != inside) + 1,
            next(y for y in range(5, len(down)) if down[y] != inside) + 1)


def run_scenario(program, folder, workdir, display, artifacts, prefix, opened):
    class step:
        """One step of the scenario: on failure, a screenshot named after it and its name in the log."""

        def __init__(self, name):
            self.name = name

        def __enter__(self):
            log(f"step {self.name}")

        def __exit__(self, kind, value, tb):
            if kind is None:
                return False
            shot = os.path.join(artifacts, f"e2e-{self.name}.png")
            display.screenshot(shot)
            log(f"FAILED at step {self.name}: {value}")
            log(f"  screenshot: {shot}")
            return False

    csv_path = os.path.join(folder, "Kestrune-output.csv")
    saved_path = os.path.join(folder, "Kestrune-saved.sql")
    database = os.path.join(folder, "Albums.db")

    with step("startup"):
        program.window = wait_for("the main window", program.find_window, START_TIMEOUT, interval=0.5)
        version, number = engine_version()
        expected = f"Kestrune Tolvane Demo v1.04 - SQLite Version {version} ({number})"
        title = program.title()
        log(f"  title: {title!r}")
        check(title == expected, f"title {title!r}, expected {expected!r}")
        geometry = display.xdotool("getwindowgeometry", program.window)
        check(f"{WINDOW_SIZE[0]}x{WINDOW_SIZE[1]}" in geometry, f"window geometry: {geometry.strip()}")
        banner = re.escape(fold("Kestrune.dll - Version: 1.04 - MSVC++ v")) + r"[\dols]{2}\.[\dols]{2}:" + \
            "(" + "|".join(re.escape(fold(c)) for c in
                           ("VC5.0/Visual Studio 97", "VC9.0/Visual Studio 2008", "Unknown compiler")) + ")" + \
            re.escape(fold(" - [DLL Timestamp: ")) + ".+" + re.escape(fold("]")) + "$"
        program.wait_status("the version banner", lambda t: re.fullmatch(banner, t) is not None)
        # The banner came from the installed library, not from the build folder.
        libdir = os.path.dirname(glob.glob(os.path.join(prefix, "lib*", "**", "libkestrune3.so.1"), recursive=True)[0])
        with open(f"/proc/{program.process.pid}/maps") as maps:
            loaded = {line.split()[-1] for line in maps if "libkestrune3" in line}
        log(f"  library loaded from: {sorted(loaded)}")
        check(loaded and all(os.path.dirname(path) == libdir for path in loaded),
              f"libkestrune3 loaded from {sorted(loaded)}, not from {libdir}")

    with step("first_display"):
        # What the resize rule gives for the window's real outer size, frame included.
        extents = display.run("xprop", "-id", program.window, "_NET_FRAME_EXTENTS")
        left, right, top, bottom = (int(v) for v in re.findall(r"\d+", extents.split("=")[1]))
        outer = (WINDOW_SIZE[0] + left + right, WINDOW_SIZE[1] + top + bottom)
        expected = (round((outer[0] * TWIPS_PER_PIXEL - 400) / TWIPS_PER_PIXEL),
                    round((outer[1] * TWIPS_PER_PIXEL - 3400) / TWIPS_PER_PIXEL))
        shown = list_geometry(display, program.window)
        log(f"  frame {left},{right},{top},{bottom}; list {shown[0]}x{shown[1]}, the rule gives {expected[0]}x{expected[1]}")
        check(top > 0 and all(abs(a - b) <= 2 for a, b in zip(shown, expected)),
              f"list {shown}, expected {expected} for the outer size {outer}")

    with step("installed_desktop_entry"):
        entry = os.path.join(prefix, "share", "applications", "kestrune-demo.desktop")
        display.run("desktop-file-validate", entry)
        with open(entry) as f:
            fields = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
        check(fields["Exec"] == f'"{os.path.join(folder, "kestrune-demo")}"', f"Exec={fields['Exec']}")
        icon = os.path.join(prefix, "share", "icons", "hicolor", "scalable", "apps", fields["Icon"] + ".svg")
        check(os.path.isfile(icon), f"no icon {icon}")
        program.click("Command7")
        readme = "file://" + os.path.join(prefix, "share", "kestrune-demo", "README.md")
        wait_for("the Website link", lambda: os.path.exists(opened), STEP_TIMEOUT)
        # The program names the installed README only when it finds it there.
        check(read_bytes(opened).decode().split() == [readme], f"opened {read_bytes(opened)!r}, not {readme}")

    with step("populate"):
        program.click("Command9")
        program.answer_box("About to create new tables", "alt+y",
                           ["Do you want to create the Artists and CDs tables in the current database"])
        program.wait_status("the Populate success text",
                            status_is("Successfully created tables and inserted Artist and CDs data: "))
        check(os.path.exists(database), f"no {database}")
        counts = sqlite(database, "SELECT count(*) FROM Artists; SELECT count(*) FROM CDs").decode().split()
        log(f"  sqlite3: Artists {counts[0]}, CDs {counts[1]}")
        check(counts == ["26", "204"], f"row counts {counts}, expected 26 and 204")

    with step("query1"):
        program.click("Command11")
        program.wait_status("204 rows from Query 1", status_is("204 rows - Status code: 0 (OK)"))

    with step("exec_csv"):
        program.replace_query_text(CROSS_JOIN_LINES)
        program.click("Command12")
        program.answer_box("Demo", "alt+y", ["Only the first 25000 rows have been displayed",
                                             "Would you like to save the rest in CSV format", csv_path],
                           EXEC_TIMEOUT)
        program.answer_box("Success", "Return", ["Length of the saved file was", "Mb"], EXEC_TIMEOUT)
        program.wait_status("the Exec row count",
                            status_is(f" {CROSS_JOIN_ROWS:,} rows - Status code: 0 (Success)"))
        check(os.path.exists(csv_path), f"no {csv_path}")
        data = read_bytes(csv_path)
        lines = data.split(b"\r\n")
        check(lines[-1] == b"", "the CSV file does not end with CR LF")
        check(b"\n" not in data.replace(b"\r\n", b""), "the CSV file has a line end other than CR LF")
        ours = list(csv.reader(io.StringIO(data.decode("utf-8"), newline="")))
        shell = list(csv.reader(io.StringIO(
            sqlite(database, " ".join(CROSS_JOIN_LINES), "-csv").decode("utf-8"), newline="")))
        log(f"  CSV: {len(ours)} rows of {len(ours[0]) if ours else 0} cells; sqlite3 -csv: {len(shell)} rows")
        check(len(shell) == CROSS_JOIN_ROWS, f"sqlite3 returned {len(shell)} rows")
        check(len(ours) == len(shell), f"the CSV file has {len(ours)} rows, sqlite3 {len(shell)}")
        for i, (mine, theirs) in enumerate(zip(ours, shell)):
            check(mine == theirs, f"CSV row {i + 1} differs: {mine!r} against sqlite3's {theirs!r}")

    expected_script = "\r\n".join(CROSS_JOIN_LINES).encode() + b"\r\n"
    with step("save_script"):
        program.click("Command17")
        program.answer_box("Success", "Return", ["Saved current SQL query as:", saved_path])
        check(os.path.exists(saved_path), f"no {saved_path}")
        saved = read_bytes(saved_path)
        check(saved == expected_script, f"saved script {saved!r}, expected {expected_script!r}")

    with step("copy_clear_paste"):
        program.click("Command6")
        program.replace_query_text([])

        def query_window_blank():
            shot = os.path.join(display.scratch, "window.png")
            program.screenshot(shot)
            left, top, width, height = (pixels(v) for v in PLACES["Text2"])
            # Inside the box, right of where the caret blinks: one colour when no text is left.
            colours = display.run("convert", shot, "-crop", f"{width - 16}x{height - 8}+{left + 12}+{top + 4}",
                                  "+repage", "-format", "%k", "info:").strip()
            return colours == "1"

        wait_for("the query window to be empty", query_window_blank, STEP_TIMEOUT, interval=0.5)
        os.remove(saved_path)
        program.click("Command4")
        program.click("Command17")
        program.answer_box("Success", "Return", ["Saved current SQL query as:"])
        check(os.path.exists(saved_path), f"no {saved_path} after Paste")
        saved = read_bytes(saved_path)
        check(saved == expected_script, f"after Paste the saved script is {saved!r}, expected {expected_script!r}")

    with step("stop"):
        # Exec of a statement that works long before its first row: the window answers Stop.
        program.replace_query_text([LONG_STATEMENT])
        program.click("Command12")
        program.wait_status("the long statement to run", lambda t: t.startswith(fold("Querying database")))
        program.click("Command14")
        program.wait_status("status code 9 after Stop", status_is(" 0 rows - Status code: 9 (User cancelled)"))

    with step("drop"):
        program.click("Command10")
        program.answer_box("WARNING: About to delete data", "alt+y",
                           ["Do you want to drop (delete) the Artists and CDs tables"])
        program.wait_status("the Drop success text", status_is("Successfully dropped Artists and CDs tables"))
        tables = sqlite(database, "SELECT name FROM sqlite_master WHERE type = 'table'").decode().split()
        check(tables == [], f"tables left after Drop: {tables}")

    with step("exit"):
        # Exit while Exec stores rows of a statement that would never end by itself: the rows
        # are released on the way out, after the window has gone.
        program.replace_query_text(["WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n)",
                                    "SELECT i FROM n"])
        program.click("Command12")
        program.wait_status("rows to be stored", lambda t: t.endswith(fold(" rows found")))
        clicked = time.monotonic()
        program.click("Command2")
        try:
            status = program.process.wait(timeout=1.0)
        except subprocess.TimeoutExpired:
            raise StepFailed("the program was still running one second after Exit") from None
        log(f"  ended {time.monotonic() - clicked:.3f}s after the click, status {status}")
        check(status == 0, f"exit status {status}")

    with step("working_directory"):
        left = sorted(os.listdir(workdir))
        check(left == [], f"the program wrote into its working directory: {left}")


def scratch_folder():
    """A new folder named with digits only: its path shows in message boxes, and OCR reads digits
    more surely than the random letters of mkdtemp."""
    for attempt in range(1000):
        path = os.path.join(tempfile.gettempdir(), f"kestrune-e2e-{os.getpid()}-{attempt}")
        try:
            os.mkdir(path, 0o700)
            return path
        except FileExistsError:
            continue
    raise RuntimeError("no free scratch folder name")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, help="the build folder, installed into a fresh prefix")
    parser.add_argument("--artifacts", required=True, help="where the log and failure screenshots go")
    args = parser.parse_args()

    global LOG
    os.makedirs(args.artifacts, exist_ok=True)
    for name in os.listdir(args.artifacts):
        if name.startswith("e2e-") and name.endswith((".png", ".log")):
            os.remove(os.path.join(args.artifacts, name))
    LOG = open(os.path.join(args.artifacts, "e2e-scenario.log"), "w")

    for tool in ("Xvfb", "openbox", "xprop", "xdotool", "import", "convert", "tesseract", "sqlite3", "cmake",
                 "desktop-file-validate"):
        if shutil.which(tool) is None:
            log(f"missing tool: {tool} (scripts/setup.sh test installs it)")
            return 1

    scratch = scratch_folder()
    display = program = None
    started = time.monotonic()
    try:
        # The program as installed into a fresh prefix: its folder is the prefix's bin.
        prefix = os.path.join(scratch, "prefix")
        subprocess.run(["cmake", "--install", args.build, "--prefix", prefix], check=True, capture_output=True)
        folder = os.path.join(prefix, "bin")
        workdir = os.path.join(scratch, "elsewhere")
        os.makedirs(workdir)
        shell = os.path.join(scratch, "shell")
        opened = os.path.join(scratch, "opened.txt")
        os.makedirs(shell)
        with open(os.path.join(shell, "xdg-open"), "w") as f:
            f.write(f'#!/bin/sh\necho "$@" > {opened}\n')
        os.chmod(os.path.join(shell, "xdg-open"), 0o755)

        display = Display(scratch)
        log(f"display {display.name}, program folder {folder}, working directory {workdir}")
        with open(os.path.join(args.artifacts, "e2e-program.log"), "w") as output:
            program = Program(display, folder, workdir, output, shell)
            try:
                run_scenario(program, folder, workdir, display, args.artifacts, prefix, opened)
            except StepFailed:
                return 1
        log(f"passed in {time.monotonic() - started:.1f}s")
        return 0
    finally:
        if program:
            program.stop()
        if display:
            display.close()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # CTest's timeout: still clean up
    sys.exit(main())
