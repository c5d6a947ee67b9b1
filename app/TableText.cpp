#include "app/TableText.h"

#include "app/ResultTable.h"

#include <QBuffer>
#include <QIODevice>

namespace {

// Records are gathered up to about this many characters before they are converted and
// written: big enough that a write is not made per record, small enough to stay in the cache.
constexpr qsizetype BatchChars = 32 * 1024;

bool WriteUtf8(QIODevice &out, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return out.write(bytes) == bytes.size();
}

} // namespace

void AppendCsvField(QString &record, QStringView text)
{
    const bool quoted =
        text.contains(u',') || text.contains(u'"') || text.contains(u'\r') || text.contains(u'\n');
    if (!quoted) {
        record += text;
        return;
    }
    record += u'"';
    for (const QChar c : text) {
        if (c == u'"')
            record += u'"';
        record += c;
    }
    record += u'"';
}

void AppendTsvField(QString &record, QStringView text)
{
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            record += QStringView(u"\\\\");
            break;
        case u'\t':
            record += QStringView(u"\\t");
            break;
        case u'\n':
            record += QStringView(u"\\n");
            break;
        case u'\r':
            record += QStringView(u"\\r");
            break;
        default:
            record += c;
        }
    }
}

QString CsvField(const QString &text)
{
    QString field;
    AppendCsvField(field, text);
    return field;
}

QString TsvField(const QString &text)
{
    QString field;
    AppendTsvField(field, text);
    return field;
}

bool WriteTableText(const ResultTable &table, TableTextFormat format, QIODevice &out)
{
    const bool csv = format == TableTextFormat::Csv;
    const QChar separator = csv ? u',' : u'\t';
    const QStringView recordEnd = csv ? QStringView(u"\r\n") : QStringView(u"\n");
    QString batch;
    batch.reserve(BatchChars + 1024);
    QString cell; // one buffer for every cell's text
    for (int row = 0; row < table.RowCount(); ++row) {
        for (int col = 0; col < table.ColCount(); ++col) {
            if (col > 0)
                batch += separator;
            table.CellsInto(col, row, cell);
            if (csv)
                AppendCsvField(batch, cell);
            else
                AppendTsvField(batch, cell);
        }
        batch += recordEnd;
        if (batch.size() >= BatchChars) {
            if (!WriteUtf8(out, batch))
                return false;
            batch.resize(0);
        }
    }
    return batch.isEmpty() || WriteUtf8(out, batch);
}

QByteArray TableText(const ResultTable &table, TableTextFormat format)
{
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    WriteTableText(table, format, buffer);
    return text;
}
