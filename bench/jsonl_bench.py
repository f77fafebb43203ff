#!/usr/bin/env python3
"""ordalyn-calls --jsonl at 1,000,000 and 10,000,000 lines: its peak memory
(ru_maxrss, from GNU time) against --json's, which keeps every call, and its time. A
benchmark (scripts/bench runs it), never part of the tests.

  jsonl_bench.py --calls build/src/report/ordalyn-calls --simtrace build/tools/ordalyn-simtrace

The traces are the default simulated traffic as a background file holds it
(code page 1252, CR LF), one session long: the first day that
ordalyn-simtrace writes with its header and logon, then its day's calls over
and over (read as consecutive days), then the logoff. The 10,000,000-line
trace takes about 1.3 GB in the scratch folder (TMPDIR) and is removed at
the end. Prints one "FIGURE | ..." line per figure.
"""
import argparse
import os
import shutil
import subprocess
import tempfile
import time

import simday

SIZES = [1_000_000, 10_000_000]
SEPARATOR = b"-" * 92


def make_trace(simtrace, lines, path, scratch):
    """A trace of the given number of lines in one session; its calls."""
    day_lines = simday.day_lines(simtrace, scratch)
    # header, logon, separator | the calls | separator, LineShutDown, Logoff
    body_start = day_lines.index(SEPARATOR) + 1
    body_end = len(day_lines) - 3
    head, body, tail = day_lines[:body_start], day_lines[body_start:body_end], day_lines[body_end:]
    body_text = b"\r\n".join(body) + b"\r\n"
    calls_per_day = sum(1 for line in body if b"| LINE_APPNEWCALL" in line)
    calls = 0
    with open(path, "wb") as f:
        f.write(b"\r\n".join(head) + b"\r\n")
        written = len(head) + len(tail)
        while written + len(body) <= lines:
            f.write(body_text)
            written += len(body)
            calls += calls_per_day
        rest = body[: lines - written]
        if rest:
            f.write(b"\r\n".join(rest) + b"\r\n")
            calls += sum(1 for line in rest if b"| LINE_APPNEWCALL" in line)
        f.write(b"\r\n".join(tail) + b"\r\n")
    return calls


def run(command, output):
    """Runs the command with its output into a file; wall seconds, processor
    seconds and peak memory in MiB, as GNU time measures them: a child of this
    script would start its peak at the script's own size (ru_maxrss keeps
    what the process held before its exec)."""
    measures = output + ".time"
    started = time.monotonic()
    with open(output, "wb") as out:
        subprocess.run(["/usr/bin/time", "-f", "%M %U %S", "-o", measures] + command, stdout=out, check=True)
    wall = time.monotonic() - started
    with open(measures) as f:
        peak, user, system = f.read().split()[-3:]
    os.remove(measures)
    return wall, float(user) + float(system), int(peak) / 1024


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--calls", required=True)
    parser.add_argument("--simtrace", required=True)
    parser.add_argument("--sizes", default=",".join(str(size) for size in SIZES))
    args = parser.parse_args()
    scratch = tempfile.mkdtemp(prefix="ordalyn-bench-jsonl-")
    try:
        for lines in [int(size) for size in args.sizes.split(",")]:
            trace = os.path.join(scratch, "trace.log")
            calls = make_trace(args.simtrace, lines, trace, scratch)
            megabytes = os.path.getsize(trace) / 1e6
            output = os.path.join(scratch, "out.jsonl")
            jsonl = run([args.calls, "--jsonl", trace], output)
            with open(output, "rb") as f:
                written = sum(1 for _ in f)
            json = run([args.calls, "--json", trace], os.path.join(scratch, "out.json"))
            os.remove(os.path.join(scratch, "out.json"))
            os.remove(output)
            os.remove(trace)
            print(f"trace: {lines:,} lines, {megabytes:.1f} MB, {calls:,} calls; --jsonl wrote {written:,} lines")
            print(f"FIGURE | ordalyn-calls --jsonl peak memory, {lines:,} lines | {jsonl[2]:.1f} MiB "
                  f"({jsonl[1]:.2f} s processor, {jsonl[0]:.2f} s wall) | constant")
            print(f"FIGURE | ordalyn-calls --json peak memory, {lines:,} lines | {json[2]:.1f} MiB "
                  f"({json[1]:.2f} s processor, {json[0]:.2f} s wall) | grows with calls")
        print("load average: %.2f %.2f %.2f" % os.getloadavg())
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
