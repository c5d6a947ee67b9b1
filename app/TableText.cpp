#include "app/TableText.h"

#include "app/ResultTable.h"

QString CsvField(const QString &text)
{
    const bool quoted =
        text.contains(u',') || text.contains(u'"') || text.contains(u'\r') || text.contains(u'\n');
    if (!quoted)
        return text;
    QString field = text;
    field.replace(u'"', QStringLiteral("\"\""));
    return u'"' + field + u'"';
}

QString TsvField(const QString &text)
{
    QString field;
    field.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            field += QStringLiteral("\\\\");
            break;
        case u'\t':
            field += QStringLiteral("\\t");
            break;
        case u'\n':
            field += QStringLiteral("\\n");
            break;
        case u'\r':
            field += QStringLiteral("\\r");
            break;
        default:
            field += c;
        }
    }
    return field;
}

QByteArray TableText(const ResultTable &table, TableTextFormat format)
{
    const bool csv = format == TableTextFormat::Csv;
    const QChar separator = csv ? u',' : u'\t';
    const QString recordEnd = csv ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString text;
    for (int row = 0; row < table.RowCount(); ++row) {
        for (int col = 0; col < table.ColCount(); ++col) {
            if (col > 0)
                text += separator;
            const QString cell = table.Cells(col, row);
            text += csv ? CsvField(cell) : TsvField(cell);
        }
        text += recordEnd;
    }
    return text.toUtf8();
}
