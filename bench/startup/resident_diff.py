#!/usr/bin/env python3
"""Where the program's start-up memory goes: runs the program's window and the plain window once
each (after one warming start), records resident memory per mapping at the first paint and
prints the mappings whose size differs, largest difference first. Needs a display, as the
start-up benchmark does.

    bench/startup/resident_diff.py [--rounds R] [--min-kib K] [BUILD_DIR]
"""

import collections
import os
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import pairs as bench  # noqa: E402


def resident_map(program, rounds):
    """Median resident KiB per mapping name over `rounds` starts."""
    samples = collections.defaultdict(list)
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "resident.txt")
        for _ in range(rounds):
            env = dict(os.environ, VELMORA_PROBE_RESIDENT=path)
            subprocess.run([program], env=env, check=True, stdout=subprocess.DEVNULL)
            seen = set()
            with open(path, encoding="utf-8") as table:
                for line in table:
                    kib, name = line.rstrip("\n").split("\t", 1)
                    samples[name].append(int(kib))
                    seen.add(name)
            for name in samples.keys() - seen:
                samples[name].append(0)
    return {name: statistics.median(values + [0] * (rounds - len(values)))
            for name, values in samples.items()}


def main():
    parser = bench.argument_parser()
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--min-kib", type=int, default=16)
    args = parser.parse_args()
    bench.require_display()
    ours_program = os.path.join(args.build, "bench", "startup", "startup_velmora_shown")
    plain_program = os.path.join(args.build, "bench", "startup", "startup_plain_window")
    subprocess.run([ours_program], check=True)
    subprocess.run([plain_program], check=True)
    ours = resident_map(ours_program, args.rounds)
    plain = resident_map(plain_program, args.rounds)
    rows = []
    for name in ours.keys() | plain.keys():
        a, b = ours.get(name, 0), plain.get(name, 0)
        if abs(a - b) >= args.min_kib:
            rows.append((a - b, a, b, name))
    rows.sort(reverse=True)
    print(f"{'diff KiB':>9} {'velmora':>9} {'plain':>9}  mapping")
    for diff, a, b, name in rows:
        print(f"{diff:>9.0f} {a:>9.0f} {b:>9.0f}  {name}")
    total_ours, total_plain = sum(ours.values()), sum(plain.values())
    print(f"{total_ours - total_plain:>9.0f} {total_ours:>9.0f} {total_plain:>9.0f}  (all mappings)")


if __name__ == "__main__":
    main()
