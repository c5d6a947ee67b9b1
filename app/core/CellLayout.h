#pragma once

#include <QString>
#include <QStringView>
#include <array>
#include <functional>

// How text is measured in one font: the width of a text in pixels, the height of a line, and
// the font's height setting (negative for a character height: -11 for the window font).
struct FontMeasure
{
    std::function<int(QStringView)> width;
    int lineHeight = 0;
    int heightSetting = 0;
};

// The grid's font as the cell drawing measures it: plain for data rows, bold for the header.
struct TextMeasure
{
    FontMeasure regular;
    FontMeasure bold;

    const FontMeasure &forBold(bool isBold) const { return isBold ? bold : regular; }
};

// A cell's rectangle in pixels; right and bottom are exclusive, the grid lines lie outside.
struct CellRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// One line of a cell's text and the top-left corner at which it is drawn.
struct CellLine
{
    QString text;
    int x = 0;
    int y = 0;
};

// What drawing one cell amounts to: the fill, the font style, the lines and where they go,
// and how wide the cell's column must now be. Computed without a screen so that it can be
// checked against fixed metrics.
struct CellLayout
{
    bool drawn = false; // an empty cell is left to the grid's default painting
    int fillColor = 0;  // toolkit colour integer
    bool bold = false;
    int lineCount = 0; // 1 or 2 when drawn
    std::array<CellLine, 2> lines;
    int columnWidth = 0; // never less than the width passed in
};

// Lays out the cell with text `text` in row `row` drawn into `rect`, in a column that is now
// `columnWidth` wide. The header row (row 0, whether fixed or not) is bold on the header
// colour. Only the first line feed splits the text, and only where the rectangle is high enough
// for the second line (the 36-pixel header row); in a lower row the text is one line with each
// line break shown as a space. Each line widens the column to its width plus 10; one line is
// centred both ways, two lines sit at fixed offsets from the top.
CellLayout layOutCell(const QString &text, const CellRect &rect, int row, int columnWidth,
                      const TextMeasure &measure);
