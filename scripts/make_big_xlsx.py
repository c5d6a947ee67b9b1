#!/usr/bin/python3
"""Writes an OOXML benchmark workbook with python3-xlsxwriter: a header row and ROWS rows of 15
columns of testing results (numbers, Cyrillic names, texts with line feeds, dates, date-times,
times, booleans, a column that is empty in two rows of three), texts in the shared string
table (xlsxwriter's default mode). Deterministic: the same cells every time.

Usage: /usr/bin/python3 scripts/make_big_xlsx.py OUTPUT.xlsx [ROWS]   (default 65535 rows)

At 1,048,575 rows xlsxwriter holds the whole table in memory (about 6 GB) and takes several
minutes.
"""
import sys

if __name__ == "__main__" and sys.argv[1:2] in (["-h"], ["--help"]):
    print(__doc__.strip())
    sys.exit(0)

import datetime
import random

import xlsxwriter

SURNAMES = ["Иванов", "Петрова", "Сидоров", "Кузнецова", "Смирнов", "Ёлкин", "Щукина", "Эйхман",
            "Попов", "Васильева", "Новиков", "Фёдорова"]
WORDS = ["тест", "проверка", "ответ", "вопрос", "задание", "результат", "ошибка", "время",
         "test", "answer", "question", "result", "case", "module", "step", "value"]
HEADER = ["№", "Фамилия", "Тест", "Балл", "Дата", "Начало", "Сдано", "Комментарий",
          "Подробности", "Код", "Статус", "Длительность", "Примечание", "Стенд", "Серийный номер"]


def main():
    out = sys.argv[1]
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 65535
    rnd = random.Random(1309)
    book = xlsxwriter.Workbook(out)
    sheet = book.add_worksheet("Результаты")
    date = book.add_format({"num_format": "dd.mm.yyyy"})
    stamp = book.add_format({"num_format": "dd.mm.yyyy hh:mm:ss"})
    clock = book.add_format({"num_format": "hh:mm:ss"})
    money = book.add_format({"num_format": "0.00"})
    for column, text in enumerate(HEADER):
        sheet.write_string(0, column, text)
    start = datetime.datetime(2023, 1, 9, 8, 0, 0)
    for r in range(1, rows + 1):
        when = start + datetime.timedelta(minutes=r // 3, seconds=r % 60)
        words = " ".join(rnd.choice(WORDS) for _ in range(rnd.randint(1, 3)))
        sheet.write_number(r, 0, r)
        sheet.write_string(r, 1, rnd.choice(SURNAMES))
        sheet.write_string(r, 2, "Тест №%d: %s" % (r, rnd.choice(WORDS)))
        sheet.write_number(r, 3, round(rnd.uniform(0, 100), 2))
        sheet.write_datetime(r, 4, when, date)
        sheet.write_datetime(r, 5, when, stamp)
        sheet.write_boolean(r, 6, bool(r % 3))
        sheet.write_string(r, 7, "строка %d\nвторая: %s" % (r, words))
        if r % 3 == 0:
            sheet.write_string(r, 8, words)
        sheet.write_number(r, 9, rnd.randint(-10 ** 9, 10 ** 9) if r % 5 else rnd.random() * 1e-7)
        sheet.write_string(r, 10, rnd.choice(["OK", "FAIL", "ПРОПУЩЕН", "ok"]))
        sheet.write_datetime(r, 11, datetime.time(r % 24, r % 60, (r * 7) % 60), clock)
        if r % 2:
            sheet.write_number(r, 12, rnd.uniform(-1e6, 1e6), money)
        else:
            sheet.write_string(r, 12, "row %d" % r)
        sheet.write_string(r, 13, "Стенд %d" % (r % 7))
        sheet.write_number(r, 14, 4_000_000_000 + r * 13)
    book.close()


if __name__ == "__main__":
    main()
