#pragma once

#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"

#include <QLocale>
#include <QStringView>
#include <algorithm>
#include <initializer_list>

// Opens the fuzzed bytes with each password in turn, as the path that takes a password does,
// and reads back every cell of the first workbook that opens; a refusal (a wrong password, or
// damage) moves on to the next password.
template<typename Open>
void readWithEachPassword(std::initializer_list<QStringView> passwords, Open open)
{
    static const QLocale locale = QLocale::c();
    for (const QStringView password : passwords) {
        try {
            const auto book = open(password);
            for (int s = 1; s <= book->worksheetCount(); ++s) {
                const Worksheet &sheet = book->worksheet(s);
                for (int r = 1; r <= std::min(sheet.rowCount(), 2000) + 1; ++r)
                    for (int c = 1; c <= std::min(sheet.columnCount(), 40) + 1; ++c)
                        book->cellText(sheet, r, c, locale);
            }
            return;
        } catch (const WorkbookError &) {
        }
    }
}
