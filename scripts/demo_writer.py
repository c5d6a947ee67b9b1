#!/usr/bin/python3
"""Plays the testing program for the demo: rewrites a results workbook every few seconds.

Each round adds a few result rows and writes the whole workbook again, to a new file that is
then renamed over the old one, as a careful writer would. Runs until it is killed.

    demo_writer.py WORKBOOK [--period SECONDS] [--rounds N] [--conf ORVANDEL_CONF]

--conf sets the scan interval stored in that settings file to its minimum (10 s), keeping the
window geometry it holds, so that the demo refreshes as often as the viewer allows.
"""
import argparse
import datetime
import os
import random
import struct
import sys
import time

import xlwt

HEADER = ["№", "Испытуемый", "Тест", "Балл", "Макс.\nбалл", "Процент", "Оценка",
          "Начало", "Окончание", "Длит., мин", "Попытка", "Зачёт", "Примечание"]
NAMES = ["Иванов И. И.", "Петрова А. С.", "Сидоров П. К.", "Кузнецова Е. В.", "Смирнов Д. А.",
         "Попова О. Н.", "Волков С. М.", "Новикова Т. Г.", "Морозов А. Ю.", "Лебедева М. П."]
TESTS = ["Физика", "Математика", "Информатика", "Химия", "Русский язык", "История"]


def write_conf_interval(path, interval):
    default = struct.pack("<iiiiB3xi", 294, 152, 472, 661, 0, interval)
    try:
        with open(path, "rb") as f:
            record = f.read(25)
        if len(record) != 25 or sum(record[:24]) % 256 != record[24]:
            record = default + b"\0"
    except OSError:
        record = default + b"\0"
    body = bytearray(record[:24])
    body[20:24] = struct.pack("<i", interval)
    body.append(sum(body) % 256)
    tmp = path + ".demo"
    with open(tmp, "wb") as f:
        f.write(bytes(body))
    os.replace(tmp, path)


def make_row(n, rng, start):
    maximum = rng.choice([20, 50, 100])
    score = rng.randint(maximum // 3, maximum)
    begun = start + datetime.timedelta(minutes=7 * n + rng.randint(0, 5))
    minutes = rng.randint(12, 55)
    percent = round(100.0 * score / maximum, 1)
    grade = 5 if percent >= 85 else 4 if percent >= 70 else 3 if percent >= 50 else 2
    note = "" if rng.random() < 0.7 else rng.choice(["Повторная сдача", "Сбой связи,\nдосдача",
                                                     "Досрочно"])
    return [n, rng.choice(NAMES), rng.choice(TESTS), score, maximum, percent, grade, begun,
            begun + datetime.timedelta(minutes=minutes), minutes, rng.randint(1, 3),
            grade > 2, note]


def write_workbook(path, rows):
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Результаты")
    bold = xlwt.easyxf("font: bold on; align: wrap on")
    stamp = xlwt.easyxf(num_format_str="DD.MM.YYYY HH:MM:SS")
    for c, text in enumerate(HEADER):
        sheet.write(0, c, text, bold)
    for r, row in enumerate(rows, start=1):
        for c, value in enumerate(row):
            if isinstance(value, datetime.datetime):
                sheet.write(r, c, value, stamp)
            else:
                sheet.write(r, c, value)
    tmp = path + ".part"
    book.save(tmp)
    os.replace(tmp, path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("workbook")
    parser.add_argument("--period", type=float, default=4.0)
    parser.add_argument("--rounds", type=int, default=0, help="stop after N rounds (0: never)")
    parser.add_argument("--conf")
    args = parser.parse_args()
    if args.conf:
        write_conf_interval(args.conf, 10)
    rng = random.Random(1)
    start = datetime.datetime.now().replace(microsecond=0)
    rows = []
    rounds = 0
    while True:
        for _ in range(rng.randint(1, 3)):
            rows.append(make_row(len(rows) + 1, rng, start))
        write_workbook(args.workbook, rows)
        rounds += 1
        if args.rounds and rounds >= args.rounds:
            return 0
        time.sleep(args.period)


if __name__ == "__main__":
    sys.exit(main())
