#!/usr/bin/python3
"""Exec's rows past memory, where the user waits: the real program (a fresh one each round) in its
own Xvfb, each round alternating with the sqlite3 shell started from this small process; medians.

  cgroup:  `SELECT a.*, b.*, c.*, printf('%.200c', 'x') FROM CDs a, CDs b, CDs c` (8,489,664 rows,
           about 2.5 GB of CSV) with the program and the shell each in a fresh memory cgroup (v1)
           of --limit: from the click to the CSV question plus from Yes to the "saved" message,
           with and without the specified pauses (10 ms per 5,000 rows), against
           `sqlite3 -csv db "query" > file` in such a cgroup and outside any; the rows in the file,
           the cgroup's peak (page cache included) and the program's peak beyond its idle size.
  main:    `SELECT * FROM Artists a, CDs c, CDs d` (1,082,016 rows), Exec + CSV of --program
           against --baseline (another build), alternating, beside the shell.
  shape:   the first 1 M, 8.5 M and 30 M rows of the cgroup query's row shape, each program run
           in a fresh cgroup as above: time and peak memory.

Usage: bench/spill_bench.py --program build/release/bin/kestrune-demo [--baseline other/kestrune-demo]
       [--rounds 3] [--only cgroup|main|shape] [--limit 1G] [--keep-dir DIR]
Needs root (the cgroups), Xvfb, openbox, xdotool, sqlite3 and python3-xlib; as many GB free
beside the scratch folder as the largest CSV (about 9 GB for 30 M rows), twice over.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import tempfile
import time

import window_bench as wb
import x11_driver as ui

CGROUPS = "/sys/fs/cgroup/memory"
SHAPE = "SELECT a.*, b.*, c.*, printf('%.200c', 'x') FROM CDs a, CDs b, CDs c"
MORE = ", (SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3 UNION ALL SELECT 4)"
SIZES = {"1M": (SHAPE + " LIMIT 1000000", 1000000), "8.5M": (SHAPE, 8489664),
         "30M": (SHAPE + MORE + " LIMIT 30000000", 30000000)}
PAUSE = 0.010  # per 5,000 rows


class Cgroup:
    """A fresh memory cgroup (v1) with a limit; removed when closed."""
    count = 0

    def __init__(self, limit):
        Cgroup.count += 1
        self.path = os.path.join(CGROUPS, f"kest-spill-{os.getpid()}-{Cgroup.count}")
        os.mkdir(self.path)
        self.write("memory.limit_in_bytes", limit)

    def write(self, name, value):
        with open(os.path.join(self.path, name), "w") as f:
            f.write(str(value))

    def read(self, name):
        with open(os.path.join(self.path, name)) as f:
            return int(f.read().split()[0])

    def enter_and_exec(self, command):
        """A shell command line that joins the cgroup, then becomes `command`."""
        return f'echo $$ > {self.path}/cgroup.procs && exec {command}'

    def close(self):
        for _ in range(50):
            try:
                os.rmdir(self.path)
                return
            except OSError:
                time.sleep(0.1)  # the last task is still leaving


def settle():
    """Each side starts with the disk done writing what the other side wrote."""
    subprocess.run(["sync"], check=True)


def clicked_to_saved(watcher, program, folder, timeout):
    """wb.exec_round with room for results of any size."""
    clicked = watcher.click(program.window, "Command12")
    _, asked = watcher.next_map(timeout)
    program.display.xdotool("windowfocus", "--sync", program.wait_box("Demo"))
    yes = watcher.key("Return")
    _, saved = watcher.next_map(timeout)
    print(f"    click to question {asked - clicked:.3f} s, yes to saved {saved - yes:.3f} s", flush=True)
    program.display.xdotool("windowfocus", "--sync", program.wait_box("Success"))
    watcher.key("Return")
    return (asked - clicked) + (saved - yes), os.path.getsize(os.path.join(folder, "Kestrune-output.csv"))


def shell(database, sql, output, limit):
    settle()
    group = Cgroup(limit) if limit else None
    command = 'sqlite3 -csv "$1" "$2" > "$3"'
    start = time.monotonic()
    subprocess.run(["sh", "-c", group.enter_and_exec(command) if group else "exec " + command, "sh", database, sql,
                    output], check=True)
    seconds = time.monotonic() - start
    peak = group.read("memory.max_usage_in_bytes") if group else 0
    if group:
        group.close()
    lines = count_lines(output)
    os.remove(output)
    return seconds, peak, lines


def count_lines(path):
    return int(subprocess.run(["wc", "-l", path], capture_output=True, text=True, check=True).stdout.split()[0])


def start_in(display, program, scratch, database, name, group, sql):
    """A fresh program in its own folder with the database, started inside `group` (or not)."""
    folder = os.path.join(scratch, name)
    os.makedirs(folder)
    built = os.path.dirname(os.path.abspath(program))
    for entry in os.listdir(built):
        if entry.startswith("libkestrune3.so"):
            shutil.copy2(os.path.join(built, entry), folder, follow_symlinks=False)
    shutil.copy2(program, os.path.join(folder, "kestrune-demo.bin"))
    with open(os.path.join(folder, "kestrune-demo"), "w") as wrapper:
        command = f'"{folder}/kestrune-demo.bin"'
        wrapper.write("#!/bin/sh\n" + (group.enter_and_exec(command) if group else "exec " + command) + "\n")
    os.chmod(os.path.join(folder, "kestrune-demo"), 0o755)
    shutil.copy(database, folder)
    started = ui.Program(display, folder, folder, subprocess.DEVNULL, folder)
    started.window = ui.wait_for("the main window", started.find_window, 30, interval=0.05)
    started.replace_query_text([sql])
    time.sleep(0.5)
    return started, folder


def exec_round(display, watcher, program, scratch, database, name, sql, limit):
    settle()
    group = Cgroup(limit) if limit else None
    started, folder = start_in(display, program, scratch, database, name, group, sql)
    try:
        pid = started.process.pid
        idle = wb.memory(pid, "VmRSS:")
        watcher.drain()
        seconds, size = clicked_to_saved(watcher, started, folder, 3600)
        peak = wb.memory(pid, "VmHWM:") - idle
        group_peak = group.read("memory.max_usage_in_bytes") if group else 0
    finally:
        started.stop()
        if group:
            group.close()
    csv = os.path.join(folder, "Kestrune-output.csv")
    lines = count_lines(csv)
    shutil.rmtree(folder)
    return seconds, peak, group_peak, lines, size


def mb(n):
    return f"{n / 1e6:.0f} MB"


def cgroup_figures(args, display, watcher, scratch, database):
    sql, rows = SIZES["8.5M"]
    pauses = rows // 5000 * PAUSE
    ours, peaks, group_peaks, inside, outside, shell_peaks = [], [], [], [], [], []
    for r in range(args.rounds):
        seconds, peak, group_peak, lines, size = exec_round(display, watcher, args.program, scratch, database,
                                                            f"cgroup-{r}", sql, args.limit)
        ours.append(seconds), peaks.append(peak), group_peaks.append(group_peak)
        shell_in, shell_peak, shell_lines = shell(database, sql, os.path.join(scratch, "shell.csv"), args.limit)
        inside.append(shell_in), shell_peaks.append(shell_peak)
        outside.append(shell(database, sql, os.path.join(scratch, "shell.csv"), None)[0])
        print(f"  round {r + 1}: program {seconds:.2f} s ({lines} rows, {size / 1e9:.2f} GB), shell in a cgroup "
              f"{shell_in:.2f} s ({shell_lines} rows), outside {outside[-1]:.2f} s; program peak beyond idle "
              f"{mb(peak)}, its cgroup's peak {mb(group_peak)}, the shell's cgroup's {mb(shell_peak)}", flush=True)
    mine, theirs_in, theirs_out = (statistics.median(v) for v in (ours, inside, outside))
    print(f"cgroup of {args.limit}, {rows:,} rows, medians of {args.rounds}:")
    print(f"  program (Exec + CSV) {mine:.2f} s with the pauses, {mine - pauses:.2f} s without ({pauses:.2f} s)")
    for where, theirs in (("in a cgroup", theirs_in), ("outside", theirs_out)):
        print(f"  shell {where} {theirs:.2f} s: {mine / theirs:.2f} x with the pauses, "
              f"{(mine - pauses) / theirs:.2f} x without (goal <= 1.2)")
    print(f"  peaks: program beyond idle {mb(statistics.median(peaks))}, its cgroup {mb(max(group_peaks))} "
          f"(limit {args.limit}), the shell's cgroup {mb(max(shell_peaks))}", flush=True)


def main_figures(args, display, watcher, scratch, database):
    programs = [("this", args.program)] + ([("baseline", args.baseline)] if args.baseline else [])
    times = {name: [] for name, _ in programs}
    shells = []
    for r in range(args.rounds):
        for name, program in programs:
            times[name].append(exec_round(display, watcher, program, scratch, database, f"main-{name}-{r}",
                                          wb.QUERY, None)[0])
            shells.append(shell(database, wb.QUERY, os.path.join(scratch, "shell.csv"), None)[0])
        print(f"  round {r + 1}: " + ", ".join(f"{n} {v[-1]:.3f} s" for n, v in times.items()) +
              f", shell {shells[-1]:.3f} s", flush=True)
    theirs = statistics.median(shells)
    print(f"main benchmark, {wb.ROWS:,} rows, medians of {args.rounds}: shell {theirs:.3f} s")
    for name, values in times.items():
        mine = statistics.median(values)
        print(f"  {name}: {mine:.3f} s, without the pauses {mine - wb.PAUSES:.3f} s: "
              f"{(mine - wb.PAUSES) / theirs:.2f} x the shell", flush=True)


def shape_figures(args, display, watcher, scratch, database):
    print(f"shape, each program in a fresh cgroup of {args.limit}, medians of {args.rounds}:")
    for label, (sql, rows) in SIZES.items():
        figures = [exec_round(display, watcher, args.program, scratch, database, f"shape-{label}-{r}", sql, args.limit)
                   for r in range(args.rounds)]
        seconds = statistics.median(f[0] for f in figures)
        pauses = rows // 5000 * PAUSE
        print(f"  {label}: {rows:,} rows ({set(f[3] for f in figures)} in the file, "
              f"{figures[0][4] / 1e9:.2f} GB): {seconds:.2f} s, {seconds - pauses:.2f} s without the pauses, "
              f"{(seconds - pauses) / rows * 1e6:.2f} us per row; peak beyond idle "
              f"{mb(statistics.median(f[1] for f in figures))}, cgroup peak {mb(max(f[2] for f in figures))}",
              flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--baseline")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--only", choices=["cgroup", "main", "shape"])
    parser.add_argument("--limit", default="1G")
    parser.add_argument("--keep-dir", help="the folder for the scratch files (default: beside the program)")
    args = parser.parse_args()
    base = args.keep_dir or os.path.dirname(os.path.abspath(args.program))
    scratch = tempfile.mkdtemp(prefix="kestrune-spill-bench-", dir=base)
    display = ui.Display(scratch)
    try:
        database = os.path.join(scratch, "Albums.db")
        wb.populate(display, os.path.dirname(os.path.abspath(args.program)), scratch, database)
        watcher = wb.Watcher(display.name)
        for which, run in (("main", main_figures), ("cgroup", cgroup_figures), ("shape", shape_figures)):
            if not args.only or args.only == which:
                run(args, display, watcher, scratch, database)
    finally:
        display.close()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
