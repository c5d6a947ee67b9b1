#!/usr/bin/python3
"""The writing program of the torture run: makes the workbook versions, then rewrites the
watched workbook with them for a given time, the way testing programs write their results.

  torture_writer.py make DIR [xls | ods]
      writes DIR/version-N.xls (N = 1..4), workbooks of different sizes and contents made
      with python3-xlwt, or the same as OpenDocument spreadsheets version-N.ods made with
      python3-odf; then version-5.xls and version-6.xls, OOXML workbooks made with
      python3-xlsxwriter (shared strings in 5, inline strings in 6) under the .xls name; and
      prints their paths.

  torture_writer.py run WATCHED SECONDS LOG VERSION.xls...
      rewrites WATCHED over and over for SECONDS, taking the versions in turn and the three
      ways of writing in turn (so each way writes every version, and a third of the rewrites
      each):
        inplace  open with truncation, write, close;
        rename   write a new file beside it, then rename it over WATCHED;
        flock    open, take an exclusive flock(), truncate, write, unlock, close.
      Each write is split into a few pieces with short pauses between them, so that a reader
      has every chance to catch the file half written; between rewrites it rests a random
      0 to 40 ms (0 to $TORTURE_WRITER_REST_MS when that is set). Before each rewrite it checks that WATCHED still holds exactly the bytes
      it wrote last. LOG gets one line per rewrite: number, way, version, SHA-256 of the bytes.
      At the end it prints "rewrites R inplace I rename N flock F foreign F2", where F2 counts
      the rewrites before which WATCHED was not what this writer had left there (a change
      made by someone else), and exits 0.
"""
import sys

if __name__ == "__main__" and sys.argv[1:2] in (["-h"], ["--help"]):
    print(__doc__.strip())
    sys.exit(0)

import datetime
import fcntl
import hashlib
import os
import random
import time

WAYS = ("inplace", "rename", "flock")


# Rows, and what makes each version's table unlike the others.
SHAPES = [(5, "малый"), (50, "средний"), (500, "большой"), (5000, "огромный")]


def version_cells(number, rows, label):
    """The cells of one version: (row, column, value), values of Python's types."""
    header = ["№", "Фамилия", "Тест", "Балл", "Дата", "Версия %d" % number, "Сдано",
              "Комментарий", "", "Код", "Статус", "Время", label]
    cells = [(0, column, text) for column, text in enumerate(header)]
    start = datetime.datetime(2024, number, 3, 9, 0, 0)
    for row in range(1, rows + 1):
        cells += [
            (row, 0, row),
            (row, 1, ("Иванов", "Smith", "Ёлкина, \"О.\"", "Petrov")[row % 4]),
            (row, 2, "Тест %d.%d" % (number, row)),
            (row, 3, round((row * 7.25 + number) % 100, 2)),
            (row, 4, start + datetime.timedelta(minutes=row * number)),
            (row, 5, "v%d" % number),
            (row, 6, bool((row + number) % 2)),
            (row, 7, "строка %d\nверсия %d" % (row, number)),
            (row, 9, -row * 1000003 * number),
            (row, 10, ("OK", "FAIL", "ПРОПУЩЕН")[row % 3]),
            (row, 11, datetime.timedelta(seconds=row)),
            (row, 12, "x" * (row % 17 + number)),
            (row, 13, "not shown"),
        ]
        if row % 3:
            cells.append((row, 8, "необязательно"))
    # Below the first empty key cell: never shown.
    cells.append((rows + 2, 2, "после конца"))
    return cells


def write_xls(path, number, cells):
    import xlwt

    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Результаты %d" % number)
    date_style = xlwt.easyxf(num_format_str="DD.MM.YYYY hh:mm:ss")
    time_style = xlwt.easyxf(num_format_str="hh:mm:ss")
    for row, column, value in cells:
        if isinstance(value, datetime.datetime):
            sheet.write(row, column, value, date_style)
        elif isinstance(value, datetime.timedelta):
            sheet.write(row, column, value.total_seconds() / 86400.0, time_style)
        else:
            sheet.write(row, column, value)
    if number % 2 == 0:
        book.add_sheet("Вторая").write(0, 0, "second sheet")
    book.save(path)


def write_ods(path, number, cells):
    from odf.opendocument import OpenDocumentSpreadsheet
    from odf.table import Table, TableCell, TableRow
    from odf.text import P

    def cell(value):
        if isinstance(value, bool):
            c = TableCell(valuetype="boolean", booleanvalue="true" if value else "false")
        elif isinstance(value, (int, float)):
            c = TableCell(valuetype="float", value=repr(value))
        elif isinstance(value, datetime.datetime):
            c = TableCell(valuetype="date", datevalue=value.isoformat())
        elif isinstance(value, datetime.timedelta):
            c = TableCell(valuetype="time", timevalue="PT%dS" % value.total_seconds())
        else:
            c = TableCell(valuetype="string")
            for line in value.split("\n"):
                c.addElement(P(text=line))
            return c
        c.addElement(P(text=str(value)))
        return c

    book = OpenDocumentSpreadsheet()
    sheet = Table(name="Результаты %d" % number)
    rows = {}
    for row, column, value in cells:
        rows.setdefault(row, {})[column] = value
    for row in range(max(rows) + 1):
        element = TableRow()
        values = rows.get(row, {})
        for column in range(max(values, default=-1) + 1):
            element.addElement(cell(values[column]) if column in values else TableCell())
        sheet.addElement(element)
    book.spreadsheet.addElement(sheet)
    if number % 2 == 0:
        second = Table(name="Вторая")
        row = TableRow()
        row.addElement(cell("second sheet"))
        second.addElement(row)
        book.spreadsheet.addElement(second)
    book.save(path)


def make_versions(directory, kind="xls"):
    write = {"xls": write_xls, "ods": write_ods}[kind]
    paths = []
    for number, (rows, label) in enumerate(SHAPES, start=1):
        path = os.path.join(directory, "version-%d.%s" % (number, kind))
        write(path, number, version_cells(number, rows, label))
        paths.append(path)
    for number, rows, inline in [(5, 700, False), (6, 4000, True)]:
        paths.append(make_ooxml_version(directory, number, rows, inline))
    return paths


def make_ooxml_version(directory, number, rows, inline):
    import xlsxwriter

    path = os.path.join(directory, "version-%d.xls" % number)
    book = xlsxwriter.Workbook(path, {"constant_memory": inline})
    sheet = book.add_worksheet("OOXML %d" % number)
    stamp = book.add_format({"num_format": "dd.mm.yyyy hh:mm:ss"})
    sheet.write_row(0, 0, ["№", "Фамилия", "Тест", "Балл", "Дата", "OOXML %d" % number])
    start = datetime.datetime(2024, 5, number, 12, 0, 0)
    for row in range(1, rows + 1):
        sheet.write_number(row, 0, row)
        sheet.write_string(row, 1, ("Сидоров", "Jones", "Щукина")[row % 3])
        sheet.write_string(row, 2, "Тест %d/%d\nстрока" % (number, row))
        sheet.write_number(row, 3, row * 0.25 + number)
        sheet.write_datetime(row, 4, start + datetime.timedelta(seconds=row * 61), stamp)
        sheet.write_boolean(row, 5, row % 2 == 0)
    book.close()
    return path


def write_pieces(fd, data, rnd):
    pieces = rnd.randint(1, 4)
    step = max(1, len(data) // pieces)
    done = 0
    while done < len(data):
        if done:
            time.sleep(rnd.uniform(0, 0.002))
        done += os.write(fd, data[done:done + step])


def rewrite(way, path, data, rnd):
    if way == "inplace":
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
        try:
            write_pieces(fd, data, rnd)
        finally:
            os.close(fd)
    elif way == "rename":
        fresh = path + ".writer-new"
        fd = os.open(fresh, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
        try:
            write_pieces(fd, data, rnd)
        finally:
            os.close(fd)
        os.rename(fresh, path)
    else:
        fd = os.open(path, os.O_WRONLY | os.O_CREAT, 0o644)
        try:
            fcntl.flock(fd, fcntl.LOCK_EX)
            os.ftruncate(fd, 0)
            write_pieces(fd, data, rnd)
            fcntl.flock(fd, fcntl.LOCK_UN)
        finally:
            os.close(fd)


def digest(data):
    return hashlib.sha256(data).hexdigest()


def run(path, seconds, log_path, version_paths):
    versions = []
    for version_path in version_paths:
        with open(version_path, "rb") as f:
            versions.append(f.read())
    rnd = random.Random(808)
    rest = float(os.environ.get("TORTURE_WRITER_REST_MS", "40")) / 1000
    counts = dict.fromkeys(WAYS, 0)
    foreign = 0
    last = None
    end = time.monotonic() + seconds
    with open(log_path, "w") as log:
        number = 0
        while number == 0 or time.monotonic() < end:
            way = WAYS[number % 3]
            version = number % len(versions)
            if last is not None:
                with open(path, "rb") as f:
                    if digest(f.read()) != last:
                        foreign += 1
            rewrite(way, path, versions[version], rnd)
            last = digest(versions[version])
            counts[way] += 1
            log.write("%d %s %d %s\n" % (number, way, version + 1, last))
            number += 1
            time.sleep(rnd.uniform(0, rest))
        with open(path, "rb") as f:
            if digest(f.read()) != last:
                foreign += 1
    print("rewrites %d inplace %d rename %d flock %d foreign %d"
          % (number, counts["inplace"], counts["rename"], counts["flock"], foreign))
    sys.stdout.flush()


def main():
    if len(sys.argv) in (3, 4) and sys.argv[1] == "make":
        for path in make_versions(*sys.argv[2:]):
            print(path)
    elif len(sys.argv) >= 6 and sys.argv[1] == "run":
        run(sys.argv[2], float(sys.argv[3]), sys.argv[4], sys.argv[5:])
    else:
        sys.stderr.write(__doc__)
        sys.exit(64)


if __name__ == "__main__":
    main()
