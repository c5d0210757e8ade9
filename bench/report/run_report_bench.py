#!/usr/bin/env python3
"""CPU time of `velmora --report -` over many lines against the awk script report.awk doing the
same report from two tables with mawk. Prints the median ratio of 7 (or more) interleaved pairs.

    bench/report/run_report_bench.py [--lines N] [--pairs P] [BUILD_DIR]
"""

import os
import random
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common"))
import pairs as bench  # noqa: E402


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = bench.argument_parser()
    parser.add_argument("--lines", type=int, default=1_000_000)
    parser.add_argument("--pairs", type=int, default=7)
    args = parser.parse_args()
    velmora = os.path.join(args.build, "ui", "velmora")
    dump = os.path.join(args.build, "bench", "report", "cangjie_rows_dump")
    script = os.path.join(here, "report.awk")

    with tempfile.TemporaryDirectory(prefix="velmora-report-bench-") as work:
        cangjie = os.path.join(work, "cangjie.tsv")
        concepts = os.path.join(work, "concepts.txt")
        with open(cangjie, "wb") as out:
            subprocess.run([dump], stdout=out, check=True)
        with open(concepts, "wb") as out:
            subprocess.run([velmora, "--concepts"], stdout=out, check=True)

        # Characters of the table and a few without a code, each under a random concept code.
        with open(cangjie, encoding="utf-8") as rows:
            characters = sorted({line.split("\t")[0] for line in rows})
        characters += ["，", "。", "「", "a"]
        generator = random.Random(13)
        pairs_path = os.path.join(work, "pairs.txt")
        with open(pairs_path, "w", encoding="utf-8") as out:
            for _ in range(args.lines):
                out.write(f"{generator.choice(characters)} {generator.randrange(256):08b}\n")

        program = [velmora, "--report", "-"]
        awk = ["mawk", "-f", script, cangjie, concepts, "-"]
        # Both must print the same bytes, or the comparison means nothing.
        with open(pairs_path, "rb") as data:
            expected = subprocess.run(program, stdin=data, capture_output=True, check=True).stdout
        with open(pairs_path, "rb") as data:
            actual = subprocess.run(awk, stdin=data, capture_output=True, check=True).stdout
        if expected != actual:
            sys.exit("report.awk and velmora disagree; no measurement")

        def measure(argv):
            def sample():
                cpu, _, status = bench.run_measured(argv, pairs_path)
                if status != 0:
                    sys.exit(f"{argv[0]} ended with status {status}")
                return cpu
            return sample

        ours, theirs = bench.interleaved_pairs(measure(program), measure(awk), args.pairs)
    print(f"lines: {args.lines}, pairs: {args.pairs}")
    print("velmora CPU s: " + " ".join(f"{t:.3f}" for t in ours))
    print("mawk    CPU s: " + " ".join(f"{t:.3f}" for t in theirs))
    print(f"ratio velmora / mawk (median of pairs): {bench.median_ratio(ours, theirs):.2f} "
          "(target: at most 2.00)")


if __name__ == "__main__":
    main()
