#!/usr/bin/python3
"""The viewer's memory and CPU time over a run of refreshes: starts a copy of the viewer
(offscreen, interval 10 s) on WORKBOOK, samples its resident memory every 100 ms, and prints the
peak (VmHWM), the level between refreshes (the resident memory while the viewer is idle: no
private copy on disk and under 5 % of a core used over the last half second; on a loaded
machine a big import can take the whole interval, and then there is no such moment), and the
CPU time from the first scan after the first refresh on, as a share of one core.

Usage: /usr/bin/python3 bench/memory_watch.py BUILD_DIR WORKBOOK [--seconds N] [--interval N]
                                             [--changing] [--phases FILE]
  --seconds N: how long to watch (default 100: ten scans at 10 s).
  --interval N: the scan interval in seconds (default 10; a longer one leaves idle time between
  the refreshes of a big workbook on a loaded machine).
  --changing: the workbook changes before every scan (a copy of it, given a new ZIP comment or
  a padding sector each time), so that every scan reads it again.
  --phases FILE: writes every sample to FILE (seconds, resident MiB, the resident MiB of the
  private copy's mapping, the import's phase) and prints the highest resident memory seen in
  each phase: "write" (the private copy being written), "read" (the copy mapped: the reader at
  work), "fill" (the copy unmapped, not yet deleted: the table filled from the workbook).
"""
import argparse
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_suite import TICKS, Viewer, rewrite  # noqa: E402

FIRST_SCAN = 1.3  # the first tick at 1 s, the copy 300 ms later


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def copy_mapping_kib(pid):
    """The resident KiB of the mapping of the private copy, or None while it is not mapped."""
    rss, inside = None, False
    with open("/proc/%d/smaps" % pid) as smaps:
        for line in smaps:
            if line[0] in "0123456789abcdef" and "-" in line.split(" ", 1)[0]:
                inside = "tempfgr" in line
            elif inside and line.startswith("Rss:"):
                rss = (rss or 0) + int(line.split()[1])
    return rss


class PhaseLog:
    """Each sample with the import's phase, told by the private copy: on disk and not mapped yet
    (written), mapped (read), unmapped again (the fill)."""

    def __init__(self, path):
        self.out = open(path, "w")
        self.out.write("seconds\tresident_mib\tcopy_mapped_mib\tphase\n")
        self.highest = {}
        self.mapped_once = False

    def sample(self, viewer, now, resident):
        copy_on_disk = bool(viewer.temporary_files())
        mapped = copy_mapping_kib(viewer.process.pid) if copy_on_disk else None
        if not copy_on_disk:
            phase, self.mapped_once = "-", False
        elif mapped is not None:
            phase, self.mapped_once = "read", True
        else:
            phase = "fill" if self.mapped_once else "write"
        self.out.write("%.1f\t%.0f\t%s\t%s\n" % (now, resident / 1024, "-" if mapped is None
                                                    else "%.0f" % (mapped / 1024), phase))
        self.highest[phase] = max(self.highest.get(phase, 0), resident)

    def close(self):
        self.out.close()
        print("highest resident memory seen: " + ", ".join(
            "%s %.0f MiB" % (phase, self.highest[phase] / 1024)
            for phase in ("-", "write", "read", "fill") if phase in self.highest))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("workbook")
    parser.add_argument("--seconds", type=float, default=100.0)
    parser.add_argument("--interval", type=int, default=10)
    parser.add_argument("--changing", action="store_true")
    parser.add_argument("--phases")
    options = parser.parse_args()
    interval = float(options.interval)

    work = tempfile.mkdtemp(prefix="orvandel-memory-")
    watched = os.path.join(work, "watched" + os.path.splitext(options.workbook)[1])
    version = 0
    rewrite(options.workbook, watched, version) if options.changing else shutil.copyfile(
        options.workbook, watched)
    viewer = Viewer(options.build, watched, interval=options.interval)
    phases = PhaseLog(options.phases) if options.phases else None
    between, recent = [], []
    try:
        scan = 1
        cpu_from = None
        while True:
            now = time.monotonic() - viewer.started
            if now > options.seconds + FIRST_SCAN:
                break
            next_scan = FIRST_SCAN + scan * interval
            recent = (recent + [viewer.cpu_ns()])[-6:]
            if phases:
                phases.sample(viewer, now, resident_kib(viewer.process.pid))
            # A thread that ends takes its CPU time out of the sum: a drop is no idle moment.
            idle = len(recent) == 6 and recent[-1] - recent[0] < 25_000_000 and all(
                a <= b for a, b in zip(recent, recent[1:]))
            if idle and now > FIRST_SCAN + 1 and not viewer.temporary_files():
                between.append(resident_kib(viewer.process.pid))
            if now >= next_scan - 0.4:
                if options.changing:
                    version += 1
                    rewrite(options.workbook, watched, version)
                scan += 1
                # From the first scan after the first refresh has ended: on a loaded machine
                # the first import of a big workbook runs on past the second scan's time.
                if cpu_from is None and between:
                    cpu_from = (viewer.cpu_ticks(), time.monotonic())
            time.sleep(0.1)
            if not viewer.alive():
                sys.exit("the viewer ended by itself")
        if cpu_from is None:
            sys.exit("the viewer was never idle: try a longer --interval")
        ticks = viewer.cpu_ticks() - cpu_from[0]
        elapsed = time.monotonic() - cpu_from[1]
        peak = viewer.peak_kib()
    finally:
        viewer.close()
        shutil.rmtree(work, ignore_errors=True)
        if phases:
            phases.close()
    load = os.getloadavg()[0]
    level = ("%.0f MiB median (%.0f to %.0f, %.1f s idle)"
             % (sorted(between)[len(between) // 2] / 1024, min(between) / 1024,
                max(between) / 1024, len(between) / 10.0) if between else "never idle")
    print("peak %.0f MiB; between refreshes %s; CPU %.1f %% of a core over %.0f s (load "
          "average %.1f)" % (peak / 1024, level, 100.0 * ticks / TICKS / elapsed, elapsed, load))


if __name__ == "__main__":
    main()
