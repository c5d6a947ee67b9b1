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
    if (lineFeed < 0) {
        const int width = font.width(text);
        widenFor(width);
        layout.lineCount = 1;
        layout.lines[0] = {text, centredX(width),
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
