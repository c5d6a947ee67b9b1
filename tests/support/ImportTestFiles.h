#pragma once

// The import's test workbooks (tests/data/import, made by scripts/fixtures/
// make_import_fixtures.py) and the tables their writer meant them to give.

#include "app/core/ResultTable.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QList>
#include <QString>
#include <QStringList>

namespace importtest {

using Table = QList<QStringList>;

inline QString dataPath(const QString &name)
{
    return QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data/import/") + name;
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

inline QByteArray workbook(const QString &name)
{
    return readAll(dataPath(name + QStringLiteral(".xls")));
}

inline Table expectedTable(const QString &name)
{
    Table table;
    const QJsonArray rows =
        QJsonDocument::fromJson(readAll(dataPath(name + QStringLiteral(".table.json")))).array();
    for (const auto &row : rows) {
        QStringList cells;
        for (const auto &cell : row.toArray())
            cells << cell.toString();
        table << cells;
    }
    return table;
}

inline Table contents(const ResultTable &table)
{
    Table rows;
    for (int row = 0; row < table.RowCount(); ++row) {
        QStringList cells;
        for (int col = 0; col < table.ColCount(); ++col)
            cells << table.Cells(col, row);
        rows << cells;
    }
    return rows;
}

inline QStringList entriesOf(const QString &directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                     QDir::NoDotAndDotDot);
}

} // namespace importtest
