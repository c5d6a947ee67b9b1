#!/usr/bin/python3
"""Writes the benchmark workbook: a header row and 65,535 rows of 13 columns of testing results
(numbers, Latin and Cyrillic texts, texts with line feeds, dates, date-times, times, booleans),
about 15 MB, with python3-xlwt. Deterministic: the same file every time.

Usage: /usr/bin/python3 scripts/make_big_workbook.py OUTPUT.xls
"""
import sys

if __name__ == "__main__" and sys.argv[1:2] in (["-h"], ["--help"]):
    print(__doc__.strip())
    sys.exit(0)

import datetime
import random

import xlwt

ROWS = 65535
SURNAMES = ["Иванов", "Петрова", "Сидоров", "Кузнецова", "Смирнов", "Ёлкин", "Щукина", "Эйхман",
            "Попов", "Васильева", "Новиков", "Фёдорова"]
WORDS = ["тест", "проверка", "ответ", "вопрос", "задание", "результат", "ошибка", "время",
         "test", "answer", "question", "result", "case", "module", "step", "value"]


def main():
    out = sys.argv[1]
    rnd = random.Random(1209)
    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet("Результаты")
    date_style = xlwt.easyxf(num_format_str="DD.MM.YYYY")
    datetime_style = xlwt.easyxf(num_format_str="DD.MM.YYYY hh:mm:ss")
    time_style = xlwt.easyxf(num_format_str="hh:mm:ss")
    money_style = xlwt.easyxf(num_format_str="0.00")
    header = ["№", "Фамилия", "Тест", "Балл", "Дата", "Начало", "Сдано", "Комментарий",
              "Подробности", "Код", "Статус", "Длительность", "Примечание"]
    for c, text in enumerate(header):
        ws.write(0, c, text)
    start = datetime.datetime(2023, 1, 9, 8, 0, 0)
    for r in range(1, ROWS + 1):
        when = start + datetime.timedelta(minutes=7 * r, seconds=r % 60)
        words = " ".join(rnd.choice(WORDS) for _ in range(rnd.randint(1, 3)))
        ws.write(r, 0, r)
        ws.write(r, 1, rnd.choice(SURNAMES))
        ws.write(r, 2, "Тест №%d: %s" % (r % 977, rnd.choice(WORDS)))
        ws.write(r, 3, round(rnd.uniform(0, 100), 2))
        ws.write(r, 4, when.date(), date_style)
        ws.write(r, 5, when, datetime_style)
        ws.write(r, 6, bool(r % 3))
        ws.write(r, 7, "строка %d\nвторая: %s" % (r % 1000, words))
        ws.write(r, 8, words)
        ws.write(r, 9, rnd.randint(-10 ** 9, 10 ** 9) if r % 5 else rnd.random() * 1e-7)
        ws.write(r, 10, rnd.choice(["OK", "FAIL", "ПРОПУЩЕН", "ok"]))
        ws.write(r, 11, datetime.time(r % 24, r % 60, (r * 7) % 60), time_style)
        ws.write(r, 12, rnd.uniform(-1e6, 1e6) if r % 2 else "row %d" % r,
                 money_style if r % 2 else xlwt.Style.default_style)
    wb.save(out)


if __name__ == "__main__":
    main()
