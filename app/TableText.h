#pragma once

#include <QByteArray>
#include <QString>

class ResultTable;

// The result table as text for scripts, one record per table row, row 0 first, UTF-8.
//  - Csv: RFC 4180. A field is quoted when it holds a comma, a double quote (doubled inside),
//    a carriage return or a line feed; records end in CR LF.
//  - Tsv: fields separated by tabs, records ending in LF; a tab, line feed, carriage return
//    and backslash inside a field are written as \t, \n, \r and \\.
enum class TableTextFormat { Csv, Tsv };

QString CsvField(const QString &text);
QString TsvField(const QString &text);
QByteArray TableText(const ResultTable &table, TableTextFormat format);
