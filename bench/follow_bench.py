#!/usr/bin/env python3
"""ordalyn-calls --follow: how soon a call is written after its IDLE line
reaches the file. A benchmark (scripts/bench runs it), never part of the tests.

  follow_bench.py --calls build/src/report/ordalyn-calls

Follows a scratch file as JSON Lines; 30 times a call's first lines are
appended, then after 137 ms (out of step with the 200 ms the program waits
between two looks at a file that has not grown) its IDLE line, and the time
until the call's line is in the output is taken (the output file is looked
at every 2 ms). Prints one "FIGURE | ..." line.
"""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import tempfile
import time

CALLS = 30


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--calls", required=True)
    args = parser.parse_args()
    scratch = tempfile.mkdtemp(prefix="ordalyn-bench-follow-")
    try:
        trace = os.path.join(scratch, "trace.log")
        output = os.path.join(scratch, "calls.jsonl")
        with open(trace, "wb") as f:
            f.write(b"10:00:00:000 | TAPI - Logon (Version: 2.2) - Desk (TAPI-Line: 1)\r\n")
        with open(output, "wb") as out:
            follower = subprocess.Popen([args.calls, "--follow", trace, "--jsonl"], stdout=out)
        delays = []
        for number in range(1, CALLS + 1):
            handle = "%08X" % number
            ids = " - hCall: %s - CallerID: 5550100 - CalledID: 200 - " % handle
            with open(trace, "ab") as f:
                f.write(("10:00:01:000 | LINE_APPNEWCALL - hCall: %s - 0|%X|2\r\n"
                         "10:00:01:005 | LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE%s2|1|0\r\n"
                         % (handle, number, ids)).encode())
            time.sleep(0.137)
            with open(trace, "ab") as f:
                f.write(("10:00:04:000 | LINE_CALLSTATE: LINECALLSTATE_IDLE%s1|0|0\r\n" % ids).encode())
            written = time.monotonic()
            while True:
                with open(output, "rb") as f:
                    if f.read().count(b"\n") >= number:
                        break
                if time.monotonic() - written > 10:
                    raise SystemExit("no line for call %d within 10 s" % number)
                time.sleep(0.002)
            delays.append(time.monotonic() - written)
        follower.send_signal(signal.SIGINT)
        if follower.wait() != 0:
            raise SystemExit("ordalyn-calls --follow did not end with exit status 0 on SIGINT")
        print("FIGURE | ordalyn-calls --follow, IDLE line in the file to the call's line, %d calls | "
              "median %.0f ms, longest %.0f ms | <= 1 s" % (CALLS, statistics.median(delays) * 1000,
                                                           max(delays) * 1000))
        print("load average: %.2f %.2f %.2f" % os.getloadavg())
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
