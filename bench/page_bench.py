#!/usr/bin/env python3
"""The call report page at 10,000 to 1,000,000 lines: the page's size, the
memory ordalyn-calls --html takes to make it, and how soon headless chromium
paints it. A benchmark (scripts/bench runs it), never part of the tests.

  page_bench.py --calls build/src/report/ordalyn-calls --simtrace build/tools/ordalyn-simtrace

The traces are the default simulated traffic as a background file holds it
(code page 1252, CR LF): ordalyn-simtrace writes a day (43,493 lines), and
longer traces are that day over and over, read as consecutive days.
Prints one "FIGURE | ..." line per figure; times are medians of three loads.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from devtools import Browser  # noqa: E402
import simday  # noqa: E402

LINES_PER_HOUR = 1776  # the default traffic
SIZES = [10_000, 100_000, 1_000_000]
LOADS = 3


def make_trace(simtrace, lines, path, scratch):
    day_lines = simday.day_lines(simtrace, scratch)
    with open(path, "wb") as f:
        written = 0
        while written < lines:
            part = day_lines[: lines - written]
            f.write(b"\r\n".join(part) + b"\r\n")
            written += len(part)


def make_page(calls, trace, page):
    """Runs ordalyn-calls --html; its wall-clock seconds and peak memory in MiB."""
    started = time.monotonic()
    process = subprocess.Popen([calls, "--html", page, trace], stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        raise SystemExit("ordalyn-calls failed on " + trace)
    return time.monotonic() - started, usage.ru_maxrss / 1024


def paint(page, scratch, load):
    """Milliseconds from the start of the navigation to the first frame after the
    page's script drew the overview, the timeline and the table: the first paint
    that shows the calls. (The browser's own first-paint entry is missing from
    headless loads now and then, and comes before the calls are drawn.)"""
    with Browser(os.path.join(scratch, "profile-%d" % load)) as browser:
        browser.open("file://" + page, "document.body && document.body.dataset.ready === 'true'", timeout=600)
        drawn = browser.evaluate("new Promise(done => requestAnimationFrame(() => done(performance.now())))")
        problems = browser.problems()
        if problems:
            raise SystemExit("the page reported: " + "; ".join(problems))
    return drawn


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--calls", required=True)
    parser.add_argument("--simtrace", required=True)
    parser.add_argument("--lines", type=int, nargs="*", default=SIZES)
    args = parser.parse_args()
    scratch = tempfile.mkdtemp(prefix="ordalyn-page-bench-")
    try:
        for lines in args.lines:
            trace = os.path.join(scratch, "trace-%d.log" % lines)
            page = os.path.join(scratch, "page-%d.html" % lines)
            make_trace(args.simtrace, lines, trace, scratch)
            seconds, memory = make_page(args.calls, trace, page)
            size = os.path.getsize(page) / 1e6
            times = [paint(page, scratch, load) for load in range(LOADS)]
            drawn = statistics.median(times)
            label = "{:,} lines ({:.1f} MB trace)".format(lines, os.path.getsize(trace) / 1e6)
            print("FIGURE | page size, %s | %.1f MB | <= 30 MB at 1,000,000 lines" % (label, size))
            print("FIGURE | ordalyn-calls --html peak memory, %s | %.1f MiB in %.2f s | <= 150 MB" %
                  (label, memory, seconds))
            print("FIGURE | chromium first paint of the calls, %s | %.0f ms (loads: %s) | <= 3 s at 1,000,000 "
                  "lines, 0.5 s at 10,000" % (label, drawn, ", ".join("%.0f" % t for t in times)))
            sys.stdout.flush()
            os.remove(trace)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
