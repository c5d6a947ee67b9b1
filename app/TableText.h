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
enum class TableTextFormat { Csv, Tsv };

QString CsvField(const QString &text);
QString TsvField(const QString &text);
// The same fields appended to `record`, without a QString of their own.
void AppendCsvField(QString &record, QStringView text);
void AppendTsvField(QString &record, QStringView text);

// Writes the table to `out` a few records at a time, each batch converted to UTF-8 as it goes,
// so that a big table is never held as text in memory as a whole. False when `out` refuses
// a write; what was written before stays written.
bool WriteTableText(const ResultTable &table, TableTextFormat format, QIODevice &out);
// The whole text at once, for small tables.
QByteArray TableText(const ResultTable &table, TableTextFormat format);
