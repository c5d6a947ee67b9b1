#pragma once

#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"

#include <QLocale>
#include <QStringList>

// A worksheet's cells as one text, to compare with what a test expects: a line a row up to the
// sheet's last row, the cells of a row separated by "|" up to its last one with content, and in
// each cell a line feed, a tab and a "|" written as \n, \t and \|.
inline QString sheetText(const Workbook &book, int sheetNumber = 1)
{
    const Worksheet &sheet = book.worksheet(sheetNumber);
    QStringList rows;
    for (int row = 1; row <= sheet.rowCount(); ++row) {
        QStringList cells;
        for (int column = 1; column <= sheet.columnCount(); ++column) {
            QString text = book.cellText(sheet, row, column, QLocale::c());
            text.replace(QLatin1Char('|'), QLatin1String("\\|"));
            text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
            text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
            cells.append(text);
        }
        while (!cells.isEmpty() && cells.constLast().isEmpty())
            cells.removeLast();
        rows.append(cells.join(QLatin1Char('|')));
    }
    return rows.join(QLatin1Char('\n'));
}

// The message of the WorkbookError that `operation` throws, or "none".
template<typename Operation>
QString workbookErrorOf(Operation &&operation)
{
    try {
        std::forward<Operation>(operation)();
    } catch (const WorkbookError &error) {
        return error.message();
    }
    return QStringLiteral("none");
}

// A cell's text for a failure message: in quotes, on one line, cut after 60 characters.
inline QString quoted(const QString &text)
{
    QString shown = text.left(60);
    shown.replace(u'\n', QStringLiteral("\\n")).replace(u'\r', QStringLiteral("\\r"));
    return u'"' + shown + (text.size() > 60 ? QStringLiteral("...\"") : QStringLiteral("\""));
}
