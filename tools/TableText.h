#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

class QIODevice;
class ResultTable;

// The result table as text for scripts, one record per table row, row 0 first, UTF-8.
//  - Csv: RFC 4180. A field is quoted when it holds a comma, a double quote (doubled inside),
//    a carriage return or a line feed; records end in CR LF.
//  - Tsv: fields separated by tabs, records ending in LF; a tab, line feed, carriage return
//    and backslash inside a field are written as \t, \n, \r and \\.
// A UTF-16 surrogate without its other half is written as "?", as QString::toUtf8 does.
enum class TableTextFormat { Csv, Tsv };

QString csvField(const QString &text);
QString tsvField(const QString &text);
// The field in UTF-8 appended to `out`, without a QString of its own.
void appendField(QByteArray &out, QStringView text, TableTextFormat format);
// The most bytes a field of `length` UTF-16 units can take: three a unit (two for an escape
// or a doubled quote, four for a surrogate pair), and the quotes around it.
constexpr qsizetype maxFieldBytes(qsizetype length)
{
    return 3 * length + 2;
}
// The field written at `to`, which has room for maxFieldBytes(text.size()) bytes; returns
// the end of what it wrote.
char *encodeField(char *to, QStringView text, TableTextFormat format);

// Writes the table to `out` a batch of records at a time, so that a big table is never held
// as text in memory as a whole. False when `out` refuses a write; what was written before
// stays written.
bool writeTableText(const ResultTable &table, TableTextFormat format, QIODevice &out);
// The whole text at once, for small tables.
QByteArray tableText(const ResultTable &table, TableTextFormat format);
