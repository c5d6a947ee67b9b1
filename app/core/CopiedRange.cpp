#include "app/core/CopiedRange.h"

#include "app/core/ResultTable.h"

namespace {

bool needsQuotes(const QString &cell)
{
    for (const QChar c : cell) {
        if (c == u'\t' || c == u'\n' || c == u'\r' || c == u'"')
            return true;
    }
    return false;
}

} // namespace

QString tabSeparatedCell(const QString &cell)
{
    if (!needsQuotes(cell))
        return cell;
    QString quoted = cell;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString htmlCell(const QString &cell)
{
    QString html;
    html.reserve(cell.size());
    for (qsizetype i = 0; i < cell.size(); ++i) {
        const QChar c = cell.at(i);
        switch (c.unicode()) {
        case u'&':
            html += QStringLiteral("&amp;");
            break;
        case u'<':
            html += QStringLiteral("&lt;");
            break;
        case u'>':
            html += QStringLiteral("&gt;");
            break;
        case u'"':
            html += QStringLiteral("&quot;");
            break;
        case u'\r':
            if (i + 1 < cell.size() && cell.at(i + 1) == u'\n')
                ++i;
            html += QStringLiteral("<br>");
            break;
        case u'\n':
            html += QStringLiteral("<br>");
            break;
        default:
            html += c;
        }
    }
    return html;
}

CopiedRange CopiedRange::of(const ResultTable &table, const CellRange &range)
{
    CopiedRange copied;
    // The character set said in the document too: some programs take text/html as Latin-1.
    copied.html = QStringLiteral("<html><head><meta http-equiv=\"content-type\" "
                                 "content=\"text/html; charset=utf-8\"></head><body><table>");
    QString cell;
    for (int row = range.top; row <= range.bottom; ++row) {
        copied.html += QStringLiteral("<tr>");
        for (int col = range.left; col <= range.right; ++col) {
            table.cellTextInto(col, row, cell);
            if (col > range.left)
                copied.text += u'\t';
            copied.text += tabSeparatedCell(cell);
            copied.html += QStringLiteral("<td>") + htmlCell(cell) + QStringLiteral("</td>");
        }
        copied.text += u'\n';
        copied.html += QStringLiteral("</tr>");
    }
    copied.html += QStringLiteral("</table></body></html>");
    return copied;
}
