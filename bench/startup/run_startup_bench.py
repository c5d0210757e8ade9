#!/usr/bin/env python3
"""Start-up of the program's window against a plain Qt window with the same widgets, texts and
fonts and none of the program's logic: each process is started, shows its window, and quits once
it has been painted. Prints the CPU time as a ratio to the plain window's and the difference of
peak resident memory, the medians of 7 (or more) interleaved pairs. Needs a display (a desktop session, or `xvfb-run -a`).

    bench/startup/run_startup_bench.py [--pairs P] [BUILD_DIR]
"""

import os
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import pairs as bench  # noqa: E402


def main():
    parser = bench.argument_parser()
    parser.add_argument("--pairs", type=int, default=7)
    args = parser.parse_args()
    bench.require_display()
    programs = {
        "velmora": os.path.join(args.build, "bench", "startup", "startup_velmora_shown"),
        "plain": os.path.join(args.build, "bench", "startup", "startup_plain_window"),
    }

    def measure(name):
        def sample():
            cpu, peak_kib, status = bench.run_measured([programs[name]])
            if status != 0:
                sys.exit(f"{programs[name]} ended with status {status}")
            return cpu, peak_kib
        return sample

    # One start of each first, so that both find the files they read in the page cache.
    measure("velmora")()
    measure("plain")()
    ours, theirs = bench.interleaved_pairs(measure("velmora"), measure("plain"), args.pairs)
    print(f"pairs: {args.pairs}, platform: "
          f"{os.environ.get('QT_QPA_PLATFORM') or ('wayland' if os.environ.get('WAYLAND_DISPLAY') else 'xcb')}, "
          f"session bus: {'set' if os.environ.get('DBUS_SESSION_BUS_ADDRESS') else 'none'}")
    print("velmora CPU s:     " + " ".join(f"{c:.3f}" for c, _ in ours))
    print("plain   CPU s:     " + " ".join(f"{c:.3f}" for c, _ in theirs))
    print("velmora peak MiB:  " + " ".join(f"{m / 1024:.1f}" for _, m in ours))
    print("plain   peak MiB:  " + " ".join(f"{m / 1024:.1f}" for _, m in theirs))
    cpu_ratio = bench.median_ratio([c for c, _ in ours], [c for c, _ in theirs])
    extra_mib = statistics.median((a[1] - b[1]) / 1024 for a, b in zip(ours, theirs))
    print(f"CPU ratio velmora / plain (median of pairs): {cpu_ratio:.2f} (target: at most 1.15)")
    print(f"peak memory above plain (median of pairs): {extra_mib:.1f} MiB (target: at most 8)")


if __name__ == "__main__":
    main()
