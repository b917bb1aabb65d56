#!/usr/bin/env python3
"""plistlib.loads and plistlib.dumps over an archive file: bench_archive_codec's reference figures.

  plistlib_archive.py FILE WARM_UP_RUNS RUNS   prints {"loads_ms": median, "dumps_ms": median} as JSON
"""
import json
import plistlib
import statistics
import sys
import time


def median_ms(function, warm_up_runs, runs):
    for _ in range(warm_up_runs):
        function()
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        function()
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times)


def main():
    path, warm_up_runs, runs = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    with open(path, "rb") as file:
        data = file.read()
    value = plistlib.loads(data, fmt=plistlib.FMT_BINARY)
    loads_ms = median_ms(lambda: plistlib.loads(data, fmt=plistlib.FMT_BINARY), warm_up_runs, runs)
    dumps_ms = median_ms(lambda: plistlib.dumps(value, fmt=plistlib.FMT_BINARY), warm_up_runs, runs)
    json.dump({"loads_ms": loads_ms, "dumps_ms": dumps_ms}, sys.stdout)


if __name__ == "__main__":
    main()
