#!/usr/bin/python3
"""Typing in a 200 KB script, where the user waits: the real program in its own Xvfb under openbox,
each round a fresh one, the script pasted (the clipboard served by xclip), then lines typed by
xdotool at its start as fast as it sends keys: from the first key until the program has used no
processor time for 0.3 s (a ping could be answered before the server has handed on all of
xdotool's keys), and the processor time it used meanwhile. The typed lines hold a string, whose
quotes change how every line after it reads, and a comment. Rounds alternate the program and
another build of it (--against, say the one before SQL was coloured); figures are medians.

With --viewer it also times the cell viewer on a value of 100 MB: from the double-click on the
cell until the viewer is mapped and the program answers a ping.

Usage: bench/typing_bench.py --program build/release/bin/kestrune-demo --against <other>/bin/kestrune-demo
       [--rounds 3] [--viewer]
Needs Xvfb, openbox, xdotool, xclip and python3-xlib (Debian packages).
"""

import argparse, os, shutil, statistics, tempfile, time

import window_bench as bench  # the Watcher, Paste and fresh programs
import x11_driver as ui

TYPED = "select 'typed', 42; -- note\r" * 24  # xdotool types CR as Return, and drops LF
LINE = "INSERT INTO t VALUES({0},'name {0}',{1},'{2}{0}');\n"


def answered(watcher, window_id):
    """Pings the window once; returns when it answered."""
    window = watcher.d.create_resource_object("window", int(window_id))
    watcher.ping_number = number = getattr(watcher, "ping_number", 2000000) + 1
    watcher.ping(window, number)
    while True:
        while watcher.d.pending_events():
            reply = watcher.d.next_event()
            if reply.type == bench.X.ClientMessage and reply.data[1][1] == number:
                return time.monotonic()
        time.sleep(0.0005)


def busy_until_idle(pid, quiet=0.3):
    """Waits until the process has used no processor time for `quiet` seconds; returns when it
    last used any, and its processor seconds by then (counted in ticks of 10 ms)."""
    used, last_change = bench.cpu_seconds(pid), time.monotonic()
    while time.monotonic() - last_change < quiet:
        time.sleep(0.005)
        if (now := bench.cpu_seconds(pid)) != used:
            used, last_change = now, time.monotonic()
    return last_change, used


def typing_round(display, built, scratch, script, name):
    program, _ = bench.start_program(display, built, scratch, None, name)
    try:
        watcher = bench.Watcher(display.name)
        bench.paste(watcher, program, display, script)
        program.click("Text2")  # the cursor in the script's first lines
        display.xdotool("key", "ctrl+Home")
        _, before = busy_until_idle(program.process.pid)
        started = time.monotonic()
        display.xdotool("type", "--delay", "0", TYPED)
        done, after = busy_until_idle(program.process.pid)
        return done - started, after - before
    finally:
        program.stop()


def viewer_round(display, built, scratch, name):
    program, _ = bench.start_program(display, built, scratch, None, name)
    try:
        watcher = bench.Watcher(display.name)
        program.replace_query_text(["SELECT printf('%.100000000c', 'y') AS long"])
        program.click("Command1")
        watcher.last_status_change(program.window, quiet=2.0)  # the query's final status line
        _, left, top = watcher.origin(program.window)
        place = ui.PLACES["lvResults"]
        x, y = left + ui.pixels(place[0]) + 60, top + ui.pixels(place[1]) + 30  # the first row's cell
        bench.xtest.fake_input(watcher.d, bench.X.MotionNotify, x=x, y=y)
        watcher.d.sync()
        watcher.drain()
        clicked = time.monotonic()
        for _ in range(2):
            bench.xtest.fake_input(watcher.d, bench.X.ButtonPress, 1)
            bench.xtest.fake_input(watcher.d, bench.X.ButtonRelease, 1)
            watcher.d.sync()
            time.sleep(0.05)
        watcher.next_map(60)
        return answered(watcher, program.window) - clicked
    finally:
        program.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--against", required=True)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--viewer", action="store_true")
    args = parser.parse_args()
    builds = {"program": os.path.dirname(os.path.abspath(args.program)),
              "against": os.path.dirname(os.path.abspath(args.against))}
    scratch = tempfile.mkdtemp(prefix="kestrune-typing-")
    display = ui.Display(scratch)
    ui.PLACES["lvResults"] = (105, 2625, 10215, 3495)
    try:
        script = os.path.join(scratch, "script.sql")
        with open(script, "w") as out:
            i = 0
            while out.tell() < 200 * 1024:
                i += 1
                out.write(LINE.format(i, i * 1.25, "x" * 40))
        typed = len(TYPED)
        print(f"script: {os.path.getsize(script):,} bytes, {i:,} lines; typed: {typed} keys")
        figures = {what: {which: [] for which in builds} for what in ("typing", "processor")}
        for r in range(args.rounds):
            order = list(builds) if r % 2 == 0 else list(reversed(builds))
            for which in order:
                measured = typing_round(display, builds[which], scratch, script, f"{which}-{r}")
                for what, seconds in zip(figures, measured):
                    figures[what][which].append(seconds)
                print(f"  round {r + 1} {which}: typed in {measured[0]:.3f} s ({measured[0] / typed * 1000:.2f} ms a key), "
                      f"processor {measured[1]:.2f} s", flush=True)
        for what, times in figures.items():
            ours, theirs = statistics.median(times["program"]), statistics.median(times["against"])
            print(f"{what}: {ours:.3f} s against {theirs:.3f} s (medians of {args.rounds}): {ours / theirs:.2f} x")
        if args.viewer:
            opened = [viewer_round(display, builds["program"], scratch, f"viewer-{r}") for r in range(args.rounds)]
            print(f"viewer of 100 MB, double-click to an answering viewer: {statistics.median(opened):.3f} s "
                  f"(rounds {', '.join(f'{s:.3f}' for s in opened)})")
    finally:
        display.close()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
