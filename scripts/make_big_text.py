#!/usr/bin/python3
"""Writes the benchmark workbook's table again as text in Windows-1251, the code page of our
users' legacy files: a tab-separated text file and a web page with one table, neither of which
declares its encoding (the readers find it), from the workbook scripts/make_big_workbook.py
writes, read with python3-xlrd. Cells are written as the workbook shows them in general form.

Usage: /usr/bin/python3 scripts/make_big_text.py WORKBOOK.xls OUTPUT.tsv OUTPUT.html
"""
import html
import sys

import xlrd


def cell_text(book, cell):
    if cell.ctype == xlrd.XL_CELL_DATE:
        return xlrd.xldate.xldate_as_datetime(cell.value, book.datemode).strftime("%d.%m.%Y %H:%M:%S")
    if cell.ctype == xlrd.XL_CELL_NUMBER:
        return ("%.15g" % cell.value).replace(".", ",")
    if cell.ctype == xlrd.XL_CELL_BOOLEAN:
        return "TRUE" if cell.value else "FALSE"
    return str(cell.value)


def main():
    book = xlrd.open_workbook(sys.argv[1])
    sheet = book.sheet_by_index(0)
    rows = [[cell_text(book, c) for c in sheet.row(r)] for r in range(sheet.nrows)]
    with open(sys.argv[2], "w", encoding="cp1251", newline="") as out:
        for row in rows:
            out.write("\t".join('"%s"' % t.replace('"', '""') if "\n" in t or "\t" in t else t
                                for t in row) + "\r\n")
    with open(sys.argv[3], "w", encoding="cp1251", newline="") as out:
        out.write("<html><body><table>\n")
        for row in rows:
            out.write("<tr>" + "".join("<td>%s</td>" % html.escape(t).replace("\n", "<br>")
                                       for t in row) + "</tr>\n")
        out.write("</table></body></html>\n")


if __name__ == "__main__":
    main()
