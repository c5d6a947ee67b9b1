#!/usr/bin/python3
"""The benchmark suite's driver (bench/run.sh builds first, then runs this): times the viewer's
refresh, its reader, orvandel-dump against python3-xlrd, the peak memory, the idle cost of
the 1-second tick, and the OOXML workbook plain and encrypted with the default password, and
prints one table with the goals beside the figures.

Usage: /usr/bin/python3 bench/bench_suite.py --repo REPO --build BUILD [--idle-seconds N]
       [--web-and-text]
       [--web-and-text-from WORKBOOK]
  --web-and-text: the benchmark workbook as LibreOffice saves it as a web page and as
      tab-separated text, refreshed by orvandel-dump and by the reader alone against LibreOffice
      reading it back, in turns (LibreOffice takes minutes over the page).
  --web-and-text-from WORKBOOK: another workbook for that, such as the 15-column OOXML one,
      whose page LibreOffice writes with a font tag in every cell (104 MB).
"""
import argparse
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

PYTHON = "/usr/bin/python3"
TICKS = os.sysconf("SC_CLK_TCK")


def run_capture(command, **kwargs):
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                          **kwargs)
    if done.returncode != 0:
        sys.exit("bench: %s failed (%d): %s" % (command[0], done.returncode, done.stderr.strip()))
    return done.stdout


def timed_run(command, stdout=subprocess.DEVNULL, env=None):
    """Runs a command; returns (wall seconds, CPU seconds, peak resident KiB) of that one
    process and the children it waited for. Its messages go to a file: Gnumeric writes enough
    warnings to fill a pipe."""
    with tempfile.TemporaryFile() as messages:
        start = time.perf_counter()
        process = subprocess.Popen(command, stdout=stdout, stderr=messages, env=env)
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
        code = os.waitstatus_to_exitcode(status)
        if code != 0:
            messages.seek(0)
            sys.exit("bench: %s failed (%d): %s"
                     % (command[0], code, messages.read().decode().strip()))
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def timed_process(command, stdout=subprocess.DEVNULL, env=None):
    """Runs a command; returns (wall seconds, peak resident KiB) of that one process."""
    wall, _, peak = timed_run(command, stdout, env)
    return wall, peak


def figure(pattern, text, what):
    found = re.search(pattern, text, re.MULTILINE)
    if not found:
        sys.exit("bench: no %s figure in:\n%s" % (what, text))
    return [float(group) for group in found.groups()]


def settings_record(interval, left=100, top=100, height=400, width=600, state=0):
    """The viewer's Orvandel.conf: Left, Top, Height, Width, state byte, 3 filler bytes,
    Interval, all little-endian, then the sum of the first 24 bytes modulo 256."""
    body = struct.pack("<iiiiB3xi", left, top, height, width, state, interval)
    return body + bytes([sum(body) % 256])


def small_workbook(path):
    import xlwt
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Результаты")
    for column, text in enumerate(["№", "Фамилия", "Тест", "Балл"]):
        sheet.write(0, column, text)
    for row in range(1, 6):
        sheet.write(row, 0, row)
        sheet.write(row, 1, "Иванов")
        sheet.write(row, 2, "Тест %d" % row)
        sheet.write(row, 3, row * 10.5)
    book.save(path)


class Viewer:
    """A copy of the viewer in a directory of its own (it reads Orvandel.conf, and writes its
    temporary workbook, beside its executable), run without a display."""

    def __init__(self, build, workbook, interval):
        self.directory = tempfile.mkdtemp(prefix="orvandel-bench-")
        self.program = os.path.join(self.directory, "Orvandel")
        shutil.copy2(os.path.join(build, "bin", "Orvandel"), self.program)
        with open(os.path.join(self.directory, "Orvandel.conf"), "wb") as conf:
            conf.write(settings_record(interval))
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", LC_ALL="C.UTF-8")
        self.process = subprocess.Popen([self.program, workbook], env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.started = time.monotonic()

    def alive(self):
        return self.process.poll() is None

    def _proc(self, name):
        with open("/proc/%d/%s" % (self.process.pid, name)) as f:
            return f.read()

    def cpu_ticks(self):
        """utime + stime of the whole process, in clock ticks."""
        fields = self._proc("stat").rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])

    def cpu_ns(self):
        """The CPU time of its live threads in nanoseconds, from the scheduler: a thread that
        has ended (an import's) is no longer counted, cpu_ticks() counts it."""
        total = 0
        for task in os.listdir("/proc/%d/task" % self.process.pid):
            try:
                with open("/proc/%d/task/%s/schedstat" % (self.process.pid, task)) as f:
                    total += int(f.read().split()[0])
            except FileNotFoundError:
                pass
        return total

    def peak_kib(self):
        return int(re.search(r"^VmHWM:\s+(\d+) kB", self._proc("status"), re.MULTILINE).group(1))

    def temporary_files(self):
        return [name for name in os.listdir(self.directory) if name.startswith("tempfgr")]

    def wait_until(self, seconds_since_start):
        time.sleep(max(0.0, self.started + seconds_since_start - time.monotonic()))
        if not self.alive():
            sys.exit("bench: the viewer ended by itself (status %s)" % self.process.returncode)

    def close(self):
        if self.alive():
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        shutil.rmtree(self.directory, ignore_errors=True)


def rewrite(source, target, version):
    """Writes `source` to `target` with bytes that differ from the version before."""
    partial = target + ".part"
    shutil.copyfile(source, partial)
    if zipfile.is_zipfile(partial):
        with zipfile.ZipFile(partial, "a") as book:
            book.comment = b"version %d" % version
    else:
        with open(partial, "ab") as book:
            book.write(bytes([version % 256]) * 512)
    os.replace(partial, target)


def viewer_refresh_peaks(build, workbook):
    """Peak resident memory of the viewer after its first refresh of the big workbook, and after
    its second, when the first table is still on show while the workbook is read again (the
    peak of a viewer that runs for hours). The first scan starts about 1 s after start-up and
    takes its copy 300 ms later; the second comes 10 s after the first, of new bytes (an
    unchanged workbook is not read again)."""
    watched_dir = tempfile.mkdtemp(prefix="orvandel-bench-watched-")
    watched = os.path.join(watched_dir, os.path.basename(workbook))
    rewrite(workbook, watched, 1)
    viewer = Viewer(build, watched, interval=10)
    try:
        viewer.wait_until(1.0)
        before = viewer.cpu_ticks()
        viewer.wait_until(7.0)
        worked_ms = (viewer.cpu_ticks() - before) * 1000 / TICKS
        if viewer.temporary_files():
            sys.exit("bench: the viewer's refresh did not finish within 6 s")
        if worked_ms < 20:
            sys.exit("bench: the viewer did not refresh (%.1f ms of CPU time)" % worked_ms)
        first = viewer.peak_kib()
        rewrite(workbook, watched, 2)
        before = viewer.cpu_ticks()
        viewer.wait_until(17.0)
        if (viewer.cpu_ticks() - before) * 1000 / TICKS < 20:
            sys.exit("bench: the viewer did not refresh a second time")
        return first, viewer.peak_kib(), worked_ms
    finally:
        viewer.close()
        shutil.rmtree(watched_dir, ignore_errors=True)


def idle_cost(build, workbook, seconds):
    """CPU time of a viewer that watches a small workbook with an interval of 1000 s, measured
    from 5 s after start-up (the first scan is over by then) for `seconds`."""
    viewer = Viewer(build, workbook, interval=1000)
    try:
        viewer.wait_until(5.0)
        ticks, ns, start = viewer.cpu_ticks(), viewer.cpu_ns(), time.monotonic()
        viewer.wait_until(5.0 + seconds)
        ticks, ns = viewer.cpu_ticks() - ticks, viewer.cpu_ns() - ns
        elapsed = time.monotonic() - start
        return ticks, ns, elapsed, viewer.peak_kib()
    finally:
        viewer.close()


def median(values):
    return sorted(values)[len(values) // 2]


def odf_lines(repo, build, workbook, runs, env):
    """The 65,535-row workbook as an OpenDocument spreadsheet (saved by LibreOffice) and as XML
    Spreadsheet 2003 (saved by SheetJS): the viewer's refresh, its reader alone and
    orvandel-dump against Gnumeric's ssconvert and LibreOffice headless turning the same file
    into CSV, taken in turns."""
    bench = os.path.dirname(workbook)
    print("saving the workbook as ODS (LibreOffice) and XML Spreadsheet 2003 (SheetJS) ...",
          flush=True)
    ods, xml = run_capture([PYTHON, os.path.join(repo, "scripts", "make_big_odf.py"), workbook,
                            bench]).split()
    bin_dir = os.path.join(build, "bin")
    work = tempfile.mkdtemp(prefix="orvandel-bench-odf-")
    profile = "-env:UserInstallation=file://" + os.path.join(work, "profile")
    commands = {
        "dump": lambda path: [os.path.join(bin_dir, "orvandel-dump"), "--csv", path],
        "gnumeric": lambda path: ["ssconvert", "--export-type=Gnumeric_stf:stf_csv", path,
                                  os.path.join(work, "gnumeric.csv")],
        "libreoffice": lambda path: ["libreoffice", profile, "--headless", "--convert-to", "csv",
                                     "--outdir", work, path],
    }
    figures = {}
    try:
        for path in (ods, xml):
            for name, command in commands.items():
                timed_run(command(path), env=env)  # warm-up: caches, LibreOffice's new profile
        for run in range(runs):
            print("  run %d of %d ..." % (run + 1, runs), flush=True)
            for path in (ods, xml):
                for name, command in commands.items():
                    figures.setdefault((path, name), []).append(timed_run(command(path), env=env))
    finally:
        shutil.rmtree(work, ignore_errors=True)

    lines = []
    for path, kind, goal_vs, goal in ((ods, "ODS", "gnumeric", 7), (xml, "XML 2003", "libreoffice", 10)):
        out = run_capture([os.path.join(bin_dir, "bench_refresh"), path, str(max(runs, 5))], env=env)
        refresh_best, refresh_median, refresh_cpu, _ = figure(
            r"^whole refresh\s+best\s+([\d.]+) ms\s+median\s+([\d.]+) ms\s+cpu best\s+([\d.]+) ms"
            r"\s+median\s+([\d.]+) ms", out, "refresh")
        out = run_capture([os.path.join(bin_dir, "bench_odf"), path, str(max(runs, 3))], env=env)
        reader_wall, reader_cpu = figure(
            r"^the reader, from memory\s+median\s+([\d.]+) ms\s+cpu median\s+([\d.]+) ms", out,
            "reader")
        walls = {name: median([f[0] for f in figures[(path, name)]]) * 1000 for name in commands}
        cpus = {name: median([f[1] for f in figures[(path, name)]]) * 1000 for name in commands}
        peak = max(f[2] for f in figures[(path, "dump")]) / 1024
        size = os.path.getsize(path) / 1e6
        lines += [
            ("%s (%.1f MB): whole refresh (bench_refresh)" % (kind, size),
             "median %.0f ms (CPU best %.0f)" % (refresh_median, refresh_cpu),
             "<= 500 ms" if kind == "ODS" else "", refresh_median <= 500 if kind == "ODS" else None),
            ("  reader alone, from memory (bench_odf)",
             "median %.0f ms (CPU %.0f)" % (reader_wall, reader_cpu), "", None),
            ("  orvandel-dump --csv, whole process",
             "median %.0f ms (CPU %.0f), %.0f MiB" % (walls["dump"], cpus["dump"], peak), "", None),
            ("  Gnumeric ssconvert to CSV", "median %.0f ms (CPU %.0f)"
             % (walls["gnumeric"], cpus["gnumeric"]), "", None),
            ("  LibreOffice headless to CSV", "median %.0f ms (CPU %.0f)"
             % (walls["libreoffice"], cpus["libreoffice"]), "", None),
        ]
        for name in ("gnumeric", "libreoffice"):
            wanted = name == goal_vs
            lines.append(("  orvandel-dump vs %s" % name,
                          "%.1f x faster (CPU %.1f x)" % (walls[name] / walls["dump"],
                                                          cpus[name] / cpus["dump"]),
                          (">= %d x" % goal) if wanted else "",
                          walls[name] / walls["dump"] >= goal if wanted else None))
        if kind != "ODS":
            lines.append(("  whole refresh vs LibreOffice", "%.1f x faster"
                          % (walls["libreoffice"] / refresh_median), ">= 10 x",
                          walls["libreoffice"] / refresh_median >= 10))
    return lines


# The benchmark workbook as LibreOffice saves it, and how LibreOffice reads each back.
LIBREOFFICE_SAVES = [
    ("web page", "html", "HTML (StarCalc)", ".html"),
    ("tab-separated text", "csv:Text - txt - csv (StarCalc):9,34,76",
     "Text - txt - csv (StarCalc):9,34,76", ".tsv"),
]


def libreoffice(arguments, profile):
    return timed_process(["libreoffice", "-env:UserInstallation=file://" + profile,
                          "--headless"] + arguments)


def saved_by_libreoffice(build, workbook, export, name, profile):
    """The workbook saved by LibreOffice through `export`, made once and kept in BUILD/bench."""
    path = os.path.join(build, "bench", name)
    if not os.path.exists(path):
        print("making %s with LibreOffice ..." % path, flush=True)
        out = tempfile.mkdtemp(prefix="orvandel-bench-save-")
        try:
            libreoffice(["--convert-to", export, "--outdir", out, workbook], profile)
            produced = os.listdir(out)
            if len(produced) != 1:
                sys.exit("bench: LibreOffice saved no %s" % name)
            shutil.move(os.path.join(out, produced[0]), path)
        finally:
            shutil.rmtree(out, ignore_errors=True)
    return path


def libreoffice_reading(path, infilter, profile):
    """LibreOffice opening the file and saving its first sheet as CSV: (wall s, peak KiB)."""
    out = tempfile.mkdtemp(prefix="orvandel-bench-read-")
    try:
        measured = libreoffice(["--infilter=" + infilter, "--convert-to",
                                "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir", out,
                                path], profile)
        if not os.listdir(out):
            sys.exit("bench: LibreOffice read nothing from %s" % path)
    finally:
        shutil.rmtree(out, ignore_errors=True)
    return measured


def web_and_text_lines(build, workbook, env, dump_runs, reader_runs):
    """Rows of the table for the workbook saved as a web page and as text."""
    bin_dir = os.path.join(build, "bin")
    profile = tempfile.mkdtemp(prefix="orvandel-bench-lo-")
    lines = []
    try:
        for kind, export, infilter, extension in LIBREOFFICE_SAVES:
            name = os.path.splitext(os.path.basename(workbook))[0] + extension
            path = saved_by_libreoffice(build, workbook, export, name, profile)
            print("%s: orvandel-dump, the reader alone and LibreOffice, in turns ..." % kind,
                  flush=True)
            dump_command = [os.path.join(bin_dir, "orvandel-dump"), "--csv", path]
            dump = [timed_process(dump_command, env=env) for _ in range(dump_runs // 2)]
            lo_wall, lo_peak = libreoffice_reading(path, infilter, profile)
            out = run_capture([os.path.join(bin_dir, "bench_reader"), path, str(reader_runs)],
                              env=env)
            reader_best, reader_median = figure(
                r"^reader: open \+ read all:\s+best\s+([\d.]+) ms, median\s+([\d.]+) ms", out,
                "reader")
            dump += [timed_process(dump_command, env=env)
                     for _ in range(dump_runs - dump_runs // 2)]
            dump_walls = sorted(wall for wall, _ in dump)
            dump_best, dump_median = dump_walls[0], dump_walls[len(dump_walls) // 2]
            dump_peak = max(peak for _, peak in dump) / 1024
            lines += [
                ("%s, %.1f MB: LibreOffice reading it back (once)"
                 % (kind, os.path.getsize(path) / 1e6),
                 "%.1f s, %.0f MiB" % (lo_wall, lo_peak / 1024), "", None),
                ("  orvandel-dump --csv, whole process (%d runs)" % len(dump),
                 "median %.0f ms (best %.0f), %.1f MiB"
                 % (dump_median * 1000, dump_best * 1000, dump_peak), "", None),
                ("  orvandel-dump vs LibreOffice", "%.1f x faster" % (lo_wall / dump_median),
                 ">= 10 x", lo_wall / dump_median >= 10),
                ("  reader alone (bench_reader, %d runs)" % reader_runs,
                 "median %.0f ms (best %.0f)" % (reader_median, reader_best), "", None),
                ("  reader vs LibreOffice", "%.1f x faster" % (lo_wall * 1000 / reader_median),
                 ">= 10 x", lo_wall * 1000 / reader_median >= 10),
            ]
            if kind == "web page":
                lines += page_parse_lines(bin_dir, path, env)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    return lines


def page_parse_lines(bin_dir, path, env):
    """What reading the page in pieces saves: gumbo alone on the whole page, the reader's
    arena in one parse, and the pieces the reader reads."""
    lines = []
    for mode, what in (("gumbo", "gumbo alone, the whole page, malloc"),
                       ("whole", "the tables in one parse through the arena"),
                       ("pieces", "the tables in pieces of 1 MiB (the reader)")):
        start = time.perf_counter()
        done = subprocess.Popen([os.path.join(bin_dir, "bench_page"), mode, path, "1"],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        _, status, usage = os.wait4(done.pid, 0)
        wall = time.perf_counter() - start
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit("bench: bench_page %s failed" % mode)
        out = done.stdout.read().decode()
        refused = re.search(r"refused after ([\d.]+) ms: (.*)$", out, re.MULTILINE)
        if refused:
            lines.append(("    page parse: " + what,
                          "refused after %.1f s CPU (%s), peak %.0f MiB"
                          % (float(refused.group(1)) / 1000, refused.group(2),
                             usage.ru_maxrss / 1024), "", None))
            continue
        cpu = figure(r"cpu best\s+([\d.]+) ms", out, "page")[0]
        lines.append(("    page parse: " + what,
                      "%.1f s (CPU %.1f s), peak %.0f MiB"
                      % (wall, cpu / 1000, usage.ru_maxrss / 1024), "", None))
    return lines


def build_type(build):
    try:
        with open(os.path.join(build, "CMakeCache.txt")) as f:
            cache = f.read()
    except OSError:
        return "?"
    kind = re.search(r"^CMAKE_BUILD_TYPE:\w+=(.*)$", cache, re.MULTILINE)
    kind = kind.group(1) if kind else "?"
    if re.search(r"^ORVANDEL_SANITIZE:\w+=ON$", cache, re.MULTILINE):
        kind += " + sanitizers (figures not representative)"
    return kind


def legacy_workbook(repo, build):
    """The 65,536-row legacy workbook, made with python3-xlwt the first time."""
    os.makedirs(os.path.join(build, "bench"), exist_ok=True)
    workbook = os.path.join(build, "bench", "big-workbook.xls")
    if not os.path.exists(workbook):
        print("making %s with python3-xlwt ..." % workbook, flush=True)
        partial = workbook + ".part"
        run_capture([PYTHON, os.path.join(repo, "scripts", "make_big_workbook.py"), partial])
        os.rename(partial, workbook)
    return workbook


def legacy_lines(options, repo, build, bin_dir, env):
    """The legacy workbook: the viewer's refresh, its reader against python3-xlrd, the dump as
    a process, the viewer's peak memory and its idle cost."""
    workbook = legacy_workbook(repo, build)
    small = os.path.join(build, "bench", "small-workbook.xls")
    if not os.path.exists(small):
        small_workbook(small)

    print("whole refresh ...", flush=True)
    out = run_capture([os.path.join(bin_dir, "bench_refresh"), workbook,
                       str(options.refresh_runs)], env=env)
    refresh_best, refresh_median, refresh_cpu, _ = figure(
        r"^whole refresh\s+best\s+([\d.]+) ms\s+median\s+([\d.]+) ms\s+cpu best\s+([\d.]+) ms"
        r"\s+median\s+([\d.]+) ms", out, "refresh")
    rows = int(figure(r"table (\d+) rows", out, "row count")[0])

    print("reader alone, and python3-xlrd in the same process model ...", flush=True)
    out = run_capture([os.path.join(bin_dir, "bench_reader"), workbook,
                       str(options.reader_runs)], env=env)
    reader_best, reader_median = figure(
        r"^reader: open \+ read all:\s+best\s+([\d.]+) ms, median\s+([\d.]+) ms", out, "reader")
    reader_cpu = figure(r"CPU time: best\s+([\d.]+) ms", out, "reader CPU")[0]
    xlrd_job = figure(r"^python3-xlrd: open \+ read all:\s+best\s+([\d.]+) ms", out, "xlrd")[0]

    print("orvandel-dump and python3-xlrd as processes ...", flush=True)
    # The same job on both sides: the table as CSV on standard output. Taken in turns, so that
    # a change in the machine's speed during the run falls on both.
    dump, xlrd, xlrd_read = [], [], []
    for run in range(max(options.dump_runs, options.xlrd_runs)):
        if run < options.dump_runs:
            dump.append(timed_process([os.path.join(bin_dir, "orvandel-dump"), "--csv", workbook],
                                      env=env))
        if run < options.xlrd_runs:
            xlrd.append(timed_process([PYTHON, os.path.join(repo, "bench", "xlrd_read.py"),
                                       "--csv", workbook]))
            xlrd_read.append(timed_process([PYTHON, os.path.join(repo, "bench", "xlrd_read.py"),
                                            workbook, "1"]))
    dump_best = min(wall for wall, _ in dump) * 1000
    dump_median = sorted(wall for wall, _ in dump)[len(dump) // 2] * 1000
    dump_peak = max(peak for _, peak in dump) / 1024
    xlrd_best = min(wall for wall, _ in xlrd) * 1000
    xlrd_read_best = min(wall for wall, _ in xlrd_read) * 1000
    xlrd_peak = max(peak for _, peak in xlrd) / 1024

    print("the viewer's refresh of the big workbook ...", flush=True)
    first_peak_kib, viewer_peak_kib, viewer_work_ms = viewer_refresh_peaks(build, workbook)
    print("an idle viewer for %g s ..." % options.idle_seconds, flush=True)
    idle_ticks, idle_ns, idle_elapsed, idle_peak_kib = idle_cost(build, small, options.idle_seconds)
    idle_percent = idle_ns / 1e9 / idle_elapsed * 100
    idle_tick_percent = idle_ticks / TICKS / idle_elapsed * 100

    lines = [
        ("whole refresh, 65,535 rows (bench_refresh, %d runs)" % options.refresh_runs,
         "median %.1f ms (best %.1f, CPU best %.1f)" % (refresh_median, refresh_best,
                                                         refresh_cpu),
         "< 60 ms", refresh_median < 60),
        ("reader alone: open + all cell texts (bench_reader)",
         "median %.1f ms (best %.1f, CPU best %.1f)" % (reader_median, reader_best, reader_cpu),
         "", None),
        ("python3-xlrd, the same job inside Python",
         "best %.0f ms" % xlrd_job, "", None),
        ("  reader vs python3-xlrd", "%.1f x faster" % (xlrd_job / reader_best),
         ">= 25 x", xlrd_job / reader_best >= 25),
        ("orvandel-dump --csv, whole process (%d runs)" % options.dump_runs,
         "median %.1f ms (best %.1f)" % (dump_median, dump_best), "", None),
        ("python3 xlrd_read.py --csv, whole process (%d runs)" % options.xlrd_runs,
         "best %.0f ms" % xlrd_best, "", None),
        ("  orvandel-dump vs python3-xlrd, the same job", "%.1f x faster" % (xlrd_best / dump_best),
         ">= 25 x", xlrd_best / dump_best >= 25),
        ("  python3-xlrd reading only, no CSV (whole process)",
         "best %.0f ms: %.1f x the dump's time" % (xlrd_read_best, xlrd_read_best / dump_best),
         "", None),
        ("peak memory: orvandel-dump (max RSS)", "%.1f MiB" % dump_peak, "< 80 MiB",
         dump_peak < 80),
        ("peak memory: the viewer, first and second refresh (VmHWM)",
         "%.1f MiB, then %.1f MiB (refresh: %.0f ms CPU)"
         % (first_peak_kib / 1024, viewer_peak_kib / 1024, viewer_work_ms),
         "< 80 MiB", viewer_peak_kib / 1024 < 80),
        ("  for comparison: the viewer on a 5-row workbook", "%.1f MiB" % (idle_peak_kib / 1024),
         "", None),
        ("  for comparison: python3-xlrd (max RSS)", "%.1f MiB" % xlrd_peak, "", None),
        ("idle viewer, interval 1000 s, over %.0f s" % idle_elapsed,
         "%.4f %% (%.1f ms CPU; utime+stime %d ticks = %.3f %%)"
         % (idle_percent, idle_ns / 1e6, idle_ticks, idle_tick_percent),
         "< 0.1 %", max(idle_percent, idle_tick_percent) < 0.1),
    ]
    notes = ["legacy workbook %s: %.1f MB, table of %d rows (header and %d data rows)"
             % (workbook, os.path.getsize(workbook) / 1e6, rows, rows - 1)]
    return lines, notes


def encrypted_lines(repo, bin_dir, env, workbook, runs):
    """The OOXML workbook encrypted with the default password as Excel encrypts it (Agile,
    SHA-512, AES-256, 100,000 spins): orvandel-dump on it and on the plain one in turns."""
    encrypted = workbook[:-len(".xlsx")] + "-encrypted.xlsx"
    if not os.path.exists(encrypted):
        print("encrypting %s ..." % workbook, flush=True)
        run_capture([PYTHON, os.path.join(repo, "scripts", "encrypt_workbook.py"), workbook,
                     encrypted + ".part"])
        os.rename(encrypted + ".part", encrypted)
    print("orvandel-dump on the encrypted and the plain workbook, in turns ...", flush=True)
    dump = os.path.join(bin_dir, "orvandel-dump")
    pairs = []
    for _ in range(runs):
        plain = timed_run([dump, "--csv", workbook], env=env)[0]
        pairs.append((timed_run([dump, "--csv", encrypted], env=env)[0], plain))
    ratio = median([encrypted_wall / plain_wall for encrypted_wall, plain_wall in pairs])
    return [
        ("  encrypted with the default password: orvandel-dump --csv (%d pairs)" % runs,
         "median %.0f ms, plain %.0f ms" % (median([p[0] for p in pairs]) * 1000,
                                            median([p[1] for p in pairs]) * 1000), "", None),
        ("  encrypted vs plain, pair by pair", "median %.2f x" % ratio, "<= 1.5 x",
         ratio <= 1.5),
    ]


def ooxml_lines(options, repo, build, bin_dir, env, rows):
    """An OOXML workbook of `rows` data rows made with python3-xlsxwriter: orvandel-dump against
    Gnumeric's ssconvert and LibreOffice doing the same job (the first sheet as CSV), as whole
    processes taken in turns; the reader alone in process; the dump's peak memory."""
    workbook = os.path.join(build, "bench", "results-%d.xlsx" % rows)
    if not os.path.exists(workbook):
        print("making %s with python3-xlsxwriter ..." % workbook, flush=True)
        partial = workbook + ".part"
        run_capture([PYTHON, os.path.join(repo, "scripts", "make_big_xlsx.py"), partial,
                     str(rows)])
        os.rename(partial, workbook)
    big = rows > 100000
    reference_runs = 1 if big else options.reference_runs
    dump_runs = 3 if big else options.ooxml_runs
    work = tempfile.mkdtemp(prefix="orvandel-bench-ooxml-")
    profile = os.path.join(work, "profile")
    ssconvert = ["ssconvert", "-T", "Gnumeric_stf:stf_csv", workbook, os.path.join(work, "g.csv")]
    libreoffice = ["soffice", "-env:UserInstallation=file://" + profile, "--headless",
                   "--norestore", "--convert-to", "csv", "--outdir", work, workbook]
    try:
        # LibreOffice's first start in a new profile sets the profile up: not counted.
        small = os.path.join(work, "small.xlsx")
        run_capture([PYTHON, os.path.join(repo, "scripts", "make_big_xlsx.py"), small, "10"])
        run_capture(libreoffice[:-1] + [small])
        print("orvandel-dump, ssconvert and LibreOffice on %d rows, in turns ..." % rows,
              flush=True)
        dump, gnumeric, calc = [], [], []
        for run in range(max(dump_runs, reference_runs)):
            if run < dump_runs:
                dump.append(timed_run([os.path.join(bin_dir, "orvandel-dump"), "--csv",
                                       workbook], env=env))
            if run < reference_runs:
                gnumeric.append(timed_run(ssconvert))
                calc.append(timed_run(libreoffice))
        print("the reader alone on %d rows ..." % rows, flush=True)
        out = run_capture([os.path.join(bin_dir, "bench_ooxml"), workbook, str(dump_runs),
                           "scanner, two threads"], env=env)
        reader_wall, reader_cpu = figure(r"scanner, two threads\s+([\d.]+) ms\s+([\d.]+) ms", out,
                                         "reader")
        out = run_capture([os.path.join(bin_dir, "bench_ooxml"), workbook, "1",
                           "expat, one thread"], env=env)
        expat_wall, expat_cpu = figure(r"expat, one thread\s+([\d.]+) ms\s+([\d.]+) ms", out,
                                       "expat reader")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    dump_ms, dump_cpu = (median([run[i] for run in dump]) * 1000 for i in (0, 1))
    gnumeric_ms, gnumeric_cpu = (median([run[i] for run in gnumeric]) * 1000 for i in (0, 1))
    calc_ms, calc_cpu = (median([run[i] for run in calc]) * 1000 for i in (0, 1))
    dump_peak = max(run[2] for run in dump) / 1024
    size = "%s rows" % format(rows, ",")
    reader_goal = 1500 if big else 60
    lines = [
        ("OOXML, %s: orvandel-dump --csv (%d runs)" % (size, dump_runs),
         "median %.0f ms (CPU %.0f ms)" % (dump_ms, dump_cpu), "", None),
        ("  ssconvert to CSV (%d runs)" % reference_runs,
         "median %.0f ms (CPU %.0f ms, peak %.0f MiB)"
         % (gnumeric_ms, gnumeric_cpu, max(run[2] for run in gnumeric) / 1024), "", None),
        ("  LibreOffice headless to CSV (%d runs)" % reference_runs,
         "median %.0f ms (CPU %.0f ms, peak %.0f MiB)"
         % (calc_ms, calc_cpu, max(run[2] for run in calc) / 1024), "", None),
        ("  orvandel-dump vs ssconvert",
         "%.1f x faster (CPU time %.1f x)" % (gnumeric_ms / dump_ms, gnumeric_cpu / dump_cpu),
         ">= 15 x", gnumeric_ms / dump_ms >= 15),
        ("  orvandel-dump vs LibreOffice",
         "%.1f x faster (CPU time %.1f x)" % (calc_ms / dump_ms, calc_cpu / dump_cpu),
         ">= 15 x", calc_ms / dump_ms >= 15),
        ("  reader alone, in process (bench_ooxml, %d runs)" % dump_runs,
         "median %.0f ms (CPU %.0f ms, all threads)" % (reader_wall, reader_cpu),
         "<= %d ms" % reader_goal, reader_wall <= reader_goal),
        ("  the same reader with expat alone, one thread",
         "%.0f ms (CPU %.0f ms)" % (expat_wall, expat_cpu), "", None),
        ("  peak memory: orvandel-dump (max RSS)", "%.0f MiB" % dump_peak,
         "<= 1.2 GiB" if big else "", dump_peak <= 1229 if big else None),
    ]
    if not big:
        lines += encrypted_lines(repo, bin_dir, env, workbook, max(options.ooxml_runs, 7))
    notes = ["OOXML workbook %s: %.1f MB, %d data rows of 15 columns (the references convert all "
             "15 columns of the first sheet, the dump the viewer's 13)"
             % (workbook, os.path.getsize(workbook) / 1e6, rows)]
    return lines, notes


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--repo", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--idle-seconds", type=float, default=60)
    parser.add_argument("--refresh-runs", type=int, default=15)
    parser.add_argument("--reader-runs", type=int, default=10)
    parser.add_argument("--dump-runs", type=int, default=9)
    parser.add_argument("--xlrd-runs", type=int, default=3)
    parser.add_argument("--ooxml-runs", type=int, default=5,
                        help="runs of orvandel-dump and of the reader on each OOXML workbook")
    parser.add_argument("--reference-runs", type=int, default=3,
                        help="runs of ssconvert and of LibreOffice on the 65,535-row workbook")
    parser.add_argument("--big", action="store_true",
                        help="also the 1,048,575-row OOXML workbook (the reference tools take a "
                             "minute each there; making it takes xlsxwriter several minutes)")
    parser.add_argument("--ooxml-only", action="store_true",
                        help="leave out the legacy workbook's measures")
    # Minutes more: LibreOffice takes several seconds a file.
    parser.add_argument("--odf", action="store_true",
                        help="also the legacy workbook saved as ODS and XML Spreadsheet 2003")
    parser.add_argument("--odf-only", action="store_true", help="only those")
    parser.add_argument("--odf-runs", type=int, default=3)
    parser.add_argument("--web-and-text", action="store_true")
    parser.add_argument("--web-and-text-from")
    options = parser.parse_args()
    repo, build = os.path.abspath(options.repo), os.path.abspath(options.build)
    bin_dir = os.path.join(build, "bin")
    load = os.getloadavg()

    env = dict(os.environ, LC_ALL="C.UTF-8", QT_QPA_PLATFORM="offscreen")
    os.makedirs(os.path.join(build, "bench"), exist_ok=True)
    lines, notes = [], []
    if not (options.ooxml_only or options.odf_only):
        lines, notes = legacy_lines(options, repo, build, bin_dir, env)
    sizes = [] if options.odf_only else [65535] + ([1048575] if options.big else [])
    if options.odf or options.odf_only:
        lines += odf_lines(repo, build, legacy_workbook(repo, build), options.odf_runs, env)
    for rows in sizes:
        more_lines, more_notes = ooxml_lines(options, repo, build, bin_dir, env, rows)
        lines += more_lines
        notes += more_notes
    if options.web_and_text:
        source = options.web_and_text_from or legacy_workbook(repo, build)
        lines += web_and_text_lines(build, os.path.abspath(source), env, options.dump_runs,
                                    options.reader_runs)
    print()
    print("Orvandel benchmarks: %s build in %s" % (build_type(build), build))
    for note in notes:
        print(note)
    print("machine: %d cores, load average %.2f %.2f %.2f at the start, %.2f %.2f %.2f at the end"
          % ((os.cpu_count(),) + load + os.getloadavg()))
    print()
    width = max(len(line[0]) for line in lines)
    value_width = max(len(line[1]) for line in lines)
    print("%-*s  %-*s  %-8s  %s" % (width, "measure", value_width, "figure", "goal", "met"))
    for what, value, goal, met in lines:
        verdict = "" if met is None else ("yes" if met else "NO")
        print("%-*s  %-*s  %-8s  %s" % (width, what, value_width, value, goal, verdict))
    missed = sum(1 for line in lines if line[3] is False)
    print()
    print("goals met: %d of %d" % (sum(1 for line in lines if line[3]),
                                   sum(1 for line in lines if line[3] is not None)))
    if load[0] > 1.0:
        print("note: the machine was busy (load average %.2f); wall-clock figures include waits "
              "for a core, the CPU figures do not" % load[0])
    return 0 if missed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
