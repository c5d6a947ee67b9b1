#!/usr/bin/python3
"""The reference jobs done with python3-xlrd.

The reader's job (for bench_reader): open the workbook, then read the text of all 13 columns of
the first sheet, row by row from the header on, until column 3 is empty. Prints the best wall
time of the runs in milliseconds.

With --csv, orvandel-dump's job: the same rows and columns written to standard output as CSV
(RFC 4180, CR LF record ends, UTF-8), once.

Usage: /usr/bin/python3 bench/xlrd_read.py WORKBOOK.xls [RUNS]
       /usr/bin/python3 bench/xlrd_read.py --csv WORKBOOK.xls
"""
import sys

if __name__ == "__main__" and sys.argv[1:2] in (["-h"], ["--help"]):
    print(__doc__.strip())
    sys.exit(0)

import csv
import time

import xlrd

ERRORS = xlrd.error_text_from_code


def cell_text(book, cell):
    kind = cell.ctype
    if kind in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
        return ""
    if kind == xlrd.XL_CELL_TEXT:
        return cell.value
    if kind == xlrd.XL_CELL_BOOLEAN:
        return "True" if cell.value else "False"
    if kind == xlrd.XL_CELL_ERROR:
        return ERRORS.get(cell.value, "#ERR")
    if kind == xlrd.XL_CELL_DATE:
        return str(xlrd.xldate_as_datetime(cell.value, book.datemode))
    return "%.15g" % cell.value


def job(path):
    book = xlrd.open_workbook(path)
    sheet = book.sheet_by_index(0)
    chars = 0
    row = 0
    while row < sheet.nrows and sheet.cell_type(row, 2) not in (xlrd.XL_CELL_EMPTY,
                                                                  xlrd.XL_CELL_BLANK):
        for column in range(min(13, sheet.ncols)):
            chars += len(cell_text(book, sheet.cell(row, column)))
        row += 1
    return row, chars


def dump(path):
    book = xlrd.open_workbook(path)
    sheet = book.sheet_by_index(0)
    out = csv.writer(sys.stdout, lineterminator="\r\n")
    columns = min(13, sheet.ncols)
    row = 0
    while row < sheet.nrows and sheet.cell_type(row, 2) not in (xlrd.XL_CELL_EMPTY,
                                                                  xlrd.XL_CELL_BLANK):
        out.writerow([cell_text(book, sheet.cell(row, column)) for column in range(columns)])
        row += 1


def main():
    if sys.argv[1] == "--csv":
        dump(sys.argv[2])
        return
    path = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        rows, chars = job(path)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    print("%.1f %d %d" % (best * 1000, rows, chars))


if __name__ == "__main__":
    main()
