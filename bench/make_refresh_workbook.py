#!/usr/bin/python3
"""Writes the refresh benchmark's workbook with python3-xlwt: a header row and 65,535 rows of
13 columns the way a testing program fills them (numbers, Cyrillic and Latin texts, texts with
a line feed, dates, times, booleans), column 3 filled in every row, so the viewer's table takes
all 65,536 rows. Deterministic.

Usage: /usr/bin/python3 bench/make_refresh_workbook.py OUTPUT.xls
"""
import datetime
import sys

import xlwt

ROWS = 65535
NAMES = ["Иванов Иван", "Петрова Анна", "Сидоров Пётр", "Smith John", "Ёлкин Фёдор"]
WORDS = ["проверка", "ответ", "result", "module", "время ответа", "ошибка\nповтор"]


def main():
    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet("Результаты")
    date = xlwt.easyxf(num_format_str="DD.MM.YYYY")
    stamp = xlwt.easyxf(num_format_str="DD.MM.YYYY HH:MM:SS")
    clock = xlwt.easyxf(num_format_str="h:mm:ss")
    header = ["№", "Фамилия Имя", "Группа", "Дата", "Начало", "Длительность", "Баллы",
              "Процент", "Сдано", "Комментарий", "Попытка", "Код", "Итог"]
    for col, text in enumerate(header):
        ws.write(0, col, text)
    start = datetime.datetime(2024, 3, 4, 9, 0, 0)
    for r in range(1, ROWS + 1):
        when = start + datetime.timedelta(seconds=37 * r)
        ws.write(r, 0, r)
        ws.write(r, 1, NAMES[r % len(NAMES)])
        ws.write(r, 2, "ПИ-%02d" % (r % 40))
        ws.write(r, 3, when.date(), date)
        ws.write(r, 4, when, stamp)
        ws.write(r, 5, datetime.time(0, r % 60, r % 59), clock)
        ws.write(r, 6, (r * 7) % 101)
        ws.write(r, 7, ((r * 13) % 1000) / 10.0)
        ws.write(r, 8, r % 3 != 0)
        ws.write(r, 9, WORDS[r % len(WORDS)] + " %d" % (r % 97))
        ws.write(r, 10, r % 5 + 1)
        ws.write(r, 11, "K%06d" % (r * 7919 % 1000003))
        ws.write(r, 12, "сдано" if r % 3 else "не сдано")
    wb.save(sys.argv[1])


if __name__ == "__main__":
    main()
