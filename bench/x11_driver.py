"""Drives kestrune-demo from outside, as a person would: an Xvfb of its own under openbox,
clicks at the controls' places, keys for the message boxes, the status line and the boxes read
by OCR (tesseract). The window benchmark's view of the program."""

import os, re, subprocess, tempfile, time

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
STEP_TIMEOUT = 120
LOG = None  # a file that log() copies its lines to, when set


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
