"""Shared helpers of the benchmark runners: their command line, and child processes timed by their
own CPU use."""

import argparse
import os
import statistics
import subprocess
import sys


def run_measured(argv, stdin_path=None, env=None):
    """Runs argv with output to /dev/null; returns (cpu seconds, peak resident KiB, exit status)."""
    stdin = open(stdin_path, "rb") if stdin_path else subprocess.DEVNULL
    try:
        with open(os.devnull, "wb") as sink:
            process = subprocess.Popen(argv, stdin=stdin, stdout=sink, env=env)
            _, status, usage = os.wait4(process.pid, 0)
            process.returncode = os.waitstatus_to_exitcode(status)
    finally:
        if stdin_path:
            stdin.close()
    return usage.ru_utime + usage.ru_stime, usage.ru_maxrss, process.returncode


def interleaved_pairs(measured, anchor, pairs):
    """Runs `pairs` pairs of (measured, anchor), alternating which goes first, and returns the
    lists of their samples. Each callable returns one sample (a tuple)."""
    ours, theirs = [], []
    for i in range(pairs):
        if i % 2 == 0:
            ours.append(measured())
            theirs.append(anchor())
        else:
            theirs.append(anchor())
            ours.append(measured())
    return ours, theirs


def median_ratio(ours, theirs):
    return statistics.median(a / b for a, b in zip(ours, theirs))


def argument_parser():
    """A parser whose one positional argument is the build folder, by default build/ at the root."""
    parser = argparse.ArgumentParser()
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    parser.add_argument("build", nargs="?", default=os.path.join(root, "build"))
    return parser


def require_display():
    """Ends the run when there is no display for a window to be shown on."""
    if not (os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY")
            or os.environ.get("QT_QPA_PLATFORM")):
        sys.exit("no display: run it under xvfb-run -a, or set QT_QPA_PLATFORM")
