#include "app/core/CellLayout.h"

#include "app/core/ToolkitColor.h"

namespace {

// Integer division truncates toward zero, which is what centring a too-wide text relies on:
// a difference of -7 puts the text 3 pixels left of the cell, not 4.
constexpr int half(int n)
{
    return n / 2;
}

constexpr int WidthMargin = 10;
constexpr int FirstLineOffset = 3;
constexpr int SecondLineOffset = 5;

// A CR LF pair, a line feed and a lone carriage return each become one space.
QString withBreaksAsSpaces(const QString &text)
{
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    line.replace(u'\n', u' ');
    line.replace(u'\r', u' ');
    return line;
}

} // namespace

CellLayout layOutCell(const QString &text, const CellRect &rect, int row, int columnWidth,
                      const TextMeasure &measure)
{
    CellLayout layout;
    layout.columnWidth = columnWidth;
    if (text.isEmpty())
        return layout;

    layout.drawn = true;
    layout.bold = row == 0;
    layout.fillColor = layout.bold ? GridColors::FixedColor : GridColors::Color;
    const FontMeasure &font = measure.forBold(layout.bold);

    const auto widenFor = [&](int textWidth) {
        if (layout.columnWidth < textWidth + WidthMargin)
            layout.columnWidth = textWidth + WidthMargin;
    };
    const auto centredX = [&](int textWidth) {
        return rect.left + half(rect.right - rect.left - textWidth);
    };

    const qsizetype lineFeed = text.indexOf(u'\n');
    const bool secondLineFits =
        rect.top - font.heightSetting + SecondLineOffset + font.lineHeight <= rect.bottom;
    if (lineFeed < 0 || !secondLineFits) {
        // A row too low for a second line shows the text on one line, each break as a space,
        // rather than the top half of the second line.
        const QString line = lineFeed < 0 ? text : withBreaksAsSpaces(text);
        const int width = font.width(line);
        widenFor(width);
        layout.lineCount = 1;
        layout.lines[0] = {line, centredX(width),
                           rect.top + half(rect.bottom - rect.top - font.lineHeight)};
        return layout;
    }

    const QString first = text.left(lineFeed);
    const QString second = text.mid(lineFeed + 1);
    const int firstWidth = font.width(first);
    const int secondWidth = font.width(second);
    widenFor(firstWidth);
    widenFor(secondWidth);
    layout.lineCount = 2;
    layout.lines[0] = {first, centredX(firstWidth), rect.top + FirstLineOffset};
    layout.lines[1] = {second, centredX(secondWidth),
                       rect.top - font.heightSetting + SecondLineOffset};
    return layout;
}
