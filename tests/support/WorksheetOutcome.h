#pragma once

#include "sheet/model/StringTable.h"
#include "sheet/model/WorkbookError.h"
#include "sheet/model/Worksheet.h"
#include "sheet/ooxml/WorksheetReader.h"
#include "sheet/xml/XmlPartParser.h"

#include <cstdio>
#include <cstring>
#include <span>
#include <string>

// The cells of a worksheet part as one text to compare, or its refusal: read through the
// scanner, with its fall back to expat, in pieces of `pieceSize` bytes (`fast`), or through
// expat alone.
inline std::string worksheetOutcome(std::span<const char> bytes, std::size_t pieceSize, bool fast)
{
    Worksheet sheet;
    StringTable texts;
    WorksheetReader reader(sheet, texts, false, QStringLiteral("sheet"));
    const XmlSource source = [&](const std::function<void(std::span<const char>)> &feed) {
        for (std::size_t at = 0; at < bytes.size(); at += pieceSize)
            feed(bytes.subspan(at, std::min(pieceSize, bytes.size() - at)));
    };
    try {
        if (fast)
            parseXmlPart(source, reader, QStringLiteral("sheet"), [&reader] { reader.restart(); });
        else
            parseXmlPartWithExpat(source, reader, QStringLiteral("sheet"));
    } catch (const WorkbookError &error) {
        return "refused: " + error.message().toStdString();
    }
    std::string outcome;
    for (std::size_t i = 0; i < sheet.cellCount(); ++i) {
        const Worksheet::Cell &cell = sheet.addedCell(i);
        char line[96];
        std::snprintf(line, sizeof line, "\n%u,%u k%d s%u ", unsigned(cell.row),
                      unsigned(cell.column), int(cell.kind), unsigned(cell.style));
        outcome += line;
        if (cell.kind == Worksheet::Kind::Text) {
            const QStringView chars =
                texts.chars(texts.place(cell.text & ~WorksheetReader::OwnText));
            outcome += (cell.text & WorksheetReader::OwnText ? "own " : "shared ") +
                       (cell.text & WorksheetReader::OwnText ? chars.toString().toStdString()
                                                             : std::to_string(cell.text));
        } else if (cell.kind == Worksheet::Kind::Number || cell.kind == Worksheet::Kind::DateTime) {
            std::uint64_t bits;
            std::memcpy(&bits, &cell.number, 8);
            outcome += std::to_string(bits);
        } else {
            outcome += std::to_string(cell.code);
        }
    }
    return outcome;
}
