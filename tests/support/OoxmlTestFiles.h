#pragma once

// Builds small OOXML workbook packages in memory for the reader's tests: a ZIP writer (stored
// or deflated entries, through zlib) and the parts of a one-sheet workbook, which a test may
// replace, leave out or damage; and a deflate stream of any length, cheap to make, for a ZIP
// bomb.

#include "tests/support/XlsTestFiles.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <cstdint>
#include <zlib.h>

namespace ooxmltest {

struct ZipEntry
{
    QByteArray name;
    QByteArray data; // as stored: deflated already when `deflated` and `raw`
    bool deflated = true;
    bool raw = false;           // `data` is deflated already
    std::uint64_t inflated = 0; // with `raw`: the size it inflates to
    std::uint32_t crc = 0;      // with `raw`
};

using xlstest::u16;
using xlstest::u32;

inline QByteArray rawDeflate(const QByteArray &data, int flush = Z_FINISH, int level = Z_BEST_SPEED)
{
    z_stream stream{};
    deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))) + 16, '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, flush);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

// A raw deflate stream of `prefix` and then `mebibytes` MiB of `fill`, made from one flushed
// block repeated: a full flush ends each block on a byte with no history, so copies of it
// follow one another. A megabyte of one byte deflates to about a kilobyte.
inline QByteArray bomb(const QByteArray &prefix, char fill, int mebibytes)
{
    const QByteArray block =
        rawDeflate(QByteArray(1 << 20, fill), Z_FULL_FLUSH, Z_BEST_COMPRESSION);
    QByteArray stream = rawDeflate(prefix, Z_FULL_FLUSH);
    for (int i = 0; i < mebibytes; ++i)
        stream += block;
    return stream + rawDeflate(QByteArray()); // the last, empty block
}

inline QByteArray zipFile(const QList<ZipEntry> &entries)
{
    QByteArray file;
    QByteArray directory;
    for (const ZipEntry &entry : entries) {
        const bool deflated = entry.deflated || entry.raw;
        const QByteArray stored =
            entry.raw ? entry.data : (deflated ? rawDeflate(entry.data) : entry.data);
        const std::uint32_t crc =
            entry.raw ? entry.crc
                      : std::uint32_t(crc32(0, reinterpret_cast<const Bytef *>(entry.data.data()),
                                            uInt(entry.data.size())));
        const auto size =
            std::uint32_t(entry.raw ? entry.inflated : std::uint64_t(entry.data.size()));
        const QByteArray common = u16(20) + u16(0) + u16(deflated ? 8 : 0) + u16(0) + u16(0x21) +
                                  u32(crc) + u32(std::uint32_t(stored.size())) + u32(size) +
                                  u16(std::uint16_t(entry.name.size())) + u16(0);
        const auto offset = std::uint32_t(file.size());
        file += u32(0x04034b50) + common + entry.name + stored;
        directory += u32(0x02014b50) + u16(20) + common + u16(0) + u16(0) + u16(0) + u32(0) +
                     u32(offset) + entry.name;
    }
    const auto count = std::uint16_t(entries.size());
    return file + directory + u32(0x06054b50) + u16(0) + u16(0) + u16(count) + u16(count) +
           u32(std::uint32_t(directory.size())) + u32(std::uint32_t(file.size())) + u16(0);
}

inline QByteArray zipFile(const QMap<QByteArray, QByteArray> &parts)
{
    QList<ZipEntry> entries;
    // [Content_Types].xml first, as writers put it.
    for (auto it = parts.cbegin(); it != parts.cend(); ++it) {
        if (it.key().startsWith('['))
            entries.prepend({it.key(), it.value()});
        else
            entries.append({it.key(), it.value()});
    }
    return zipFile(entries);
}

inline const QByteArray Main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline const QByteArray Relations =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

inline QByteArray worksheet(const QByteArray &sheetData, const QByteArray &space = Main)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"" +
           space + "\"><sheetData>" + sheetData + "</sheetData></worksheet>";
}

inline QByteArray sharedStrings(const QByteArray &items)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst xmlns=\"" + Main + "\">" + items +
           "</sst>";
}

inline QByteArray styles(const QByteArray &numberFormats, const QByteArray &cellFormats)
{
    return "<styleSheet xmlns=\"" + Main + "\"><numFmts>" + numberFormats +
           "</numFmts><cellStyleXfs><xf numFmtId=\"14\"/></cellStyleXfs><cellXfs>" + cellFormats +
           "</cellXfs><dxfs><dxf><numFmt numFmtId=\"0\" "
           "formatCode=\"yyyy\"/></dxf></dxfs></styleSheet>";
}

// The parts of a workbook with one worksheet (xl/worksheets/sheet1.xml) named "Sheet1", shared
// strings and styles; a test replaces or removes parts as it needs.
inline QMap<QByteArray, QByteArray> workbookParts(const QByteArray &sheetData,
                                                  const QByteArray &strings = {},
                                                  const QByteArray &workbookPr = {})
{
    QMap<QByteArray, QByteArray> parts;
    parts["[Content_Types].xml"] =
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/xl/workbook.xml\" "
        "ContentType=\"application/"
        "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
        "</Types>";
    parts["_rels/.rels"] =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" +
        Relations +
        "/officeDocument\" Target=\"xl/workbook.xml\"/>"
        "</Relationships>";
    parts["xl/workbook.xml"] =
        "<workbook xmlns=\"" + Main + "\" xmlns:r=\"" + Relations + "\">" + workbookPr +
        "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    parts["xl/_rels/workbook.xml.rels"] =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" +
        Relations +
        "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
        "<Relationship Id=\"rId2\" Type=\"" +
        Relations +
        "/sharedStrings\" Target=\"/xl/sharedStrings.xml\"/>"
        "<Relationship Id=\"rId3\" Type=\"" +
        Relations +
        "/styles\" Target=\"styles.xml\"/>"
        "</Relationships>";
    parts["xl/worksheets/sheet1.xml"] = worksheet(sheetData);
    parts["xl/sharedStrings.xml"] = sharedStrings(strings);
    parts["xl/styles.xml"] = styles(
        "<numFmt numFmtId=\"164\" formatCode=\"dd.mm.yyyy hh:mm\"/>"
        "<numFmt numFmtId=\"165\" formatCode=\"0.00&quot;d&quot;\"/>",
        "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/><xf numFmtId=\"165\"/>");
    return parts;
}

} // namespace ooxmltest
