#!/usr/bin/python3
"""Writes what python3-xlrd (Debian) reads from workbooks, as the reference the reader's
comparison test holds our cell texts against.

Usage: /usr/bin/python3 scripts/xlrd_reference.py OUTDIR WORKBOOK.xls...

For each workbook it writes OUTDIR/<file name>.json:
  {"file": name, "datemode": 0|1, "biff_version": n,
   "sheets": [{"index": N, "name": ..., "visibility": v, "nrows": r, "ncols": c,
               "cells": [[row, col, ctype, value], ...]}, ...]}
or {"file": name, "error": "<exception type>: <message>"} when xlrd refuses the file.

Sheets are numbered from 1 and count worksheets only (xlrd skips chart sheets, macro sheets
and modules); rows and columns are numbered from 1. Empty and blank cells are left out: every
position of the sheet not listed reads as empty. ctype is xlrd's: 1 text, 2 number, 3 date
(value is the serial number, to be read with the workbook's datemode), 4 boolean (0/1),
5 error (the BIFF error code), and each error cell also carries xlrd's text for it.
"""
import sys

if __name__ == "__main__" and sys.argv[1:2] in (["-h"], ["--help"]):
    print(__doc__.strip())
    sys.exit(0)

import json
import os

import xlrd

EMPTY_TYPES = (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK)


def cell_entry(row, col, cell):
    entry = [row + 1, col + 1, cell.ctype, cell.value]
    if cell.ctype == xlrd.XL_CELL_ERROR:
        entry.append(xlrd.error_text_from_code.get(cell.value, "#ERR%d" % cell.value))
    return entry


def describe(path):
    name = os.path.basename(path)
    try:
        with open(os.devnull, "w") as quiet:
            book = xlrd.open_workbook(path, logfile=quiet)
    except Exception as error:  # xlrd raises many kinds for damaged files
        return {"file": name, "error": "%s: %s" % (type(error).__name__, error)}
    sheets = []
    for index, sheet in enumerate(book.sheets()):
        cells = []
        for row in range(sheet.nrows):
            for col, cell in enumerate(sheet.row(row)):
                if cell.ctype not in EMPTY_TYPES:
                    cells.append(cell_entry(row, col, cell))
        sheets.append({
            "index": index + 1,
            "name": sheet.name,
            "visibility": sheet.visibility,
            "nrows": sheet.nrows,
            "ncols": sheet.ncols,
            "cells": cells,
        })
    return {
        "file": name,
        "datemode": book.datemode,
        "biff_version": book.biff_version,
        "sheets": sheets,
    }


def write(outdir, name, result):
    """Writes one workbook's result to OUTDIR/<name>.json and says what it held."""
    result["file"] = name
    target = os.path.join(outdir, name + ".json")
    with open(target, "w", encoding="utf-8") as out:
        json.dump(result, out, ensure_ascii=False, separators=(",", ":"))
        out.write("\n")
    if "error" in result:
        print("%s: refused: %s" % (name, result["error"]))
    else:
        cells = sum(len(s["cells"]) for s in result["sheets"])
        print("%s: %d worksheet(s), %d cells" % (name, len(result["sheets"]), cells))


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    for path in sys.argv[2:]:
        write(outdir, os.path.basename(path), describe(path))

if __name__ == "__main__":
    main()
