#pragma once

// Builds small .xls files in memory for the reader's tests: BIFF records, whole workbook
// streams and the compound-file container around them, with the positions of the container's
// structures reported so that tests can damage them on purpose.

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <cstring>
#include <vector>

namespace xlstest {

inline QByteArray u8(std::uint8_t v)
{
    return QByteArray(1, char(v));
}

inline QByteArray u16(std::uint16_t v)
{
    QByteArray b(2, '\0');
    b[0] = char(v & 0xFF);
    b[1] = char(v >> 8);
    return b;
}

inline QByteArray u32(std::uint32_t v)
{
    return u16(std::uint16_t(v & 0xFFFF)) + u16(std::uint16_t(v >> 16));
}

inline QByteArray f64(double v)
{
    QByteArray b(8, '\0');
    std::memcpy(b.data(), &v, 8);
    return b;
}

inline void putU32(QByteArray &bytes, qsizetype offset, std::uint32_t v)
{
    bytes.replace(offset, 4, u32(v));
}

inline std::uint32_t getU32(const QByteArray &bytes, qsizetype offset)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | std::uint8_t(bytes[offset + i]);
    return v;
}

inline QByteArray record(std::uint16_t id, const QByteArray &payload)
{
    return u16(id) + u16(std::uint16_t(payload.size())) + payload;
}

// Characters of a BIFF8 text: 8-bit when every character fits, UTF-16 otherwise.
inline QByteArray chars8or16(const QString &text, bool &wide)
{
    wide = false;
    for (QChar c : text)
        wide = wide || c.unicode() > 0xFF;
    QByteArray b;
    for (QChar c : text)
        b += wide ? u16(c.unicode()) : u8(std::uint8_t(c.unicode()));
    return b;
}

// A BIFF8 text with a 16-bit length (or 8-bit with shortLength).
inline QByteArray unicodeText(const QString &text, bool shortLength = false)
{
    bool wide;
    const QByteArray chars = chars8or16(text, wide);
    const QByteArray length =
        shortLength ? u8(std::uint8_t(text.size())) : u16(std::uint16_t(text.size()));
    return length + u8(wide ? 1 : 0) + chars;
}

inline QByteArray cellHead(int row, int col, int xf = 0)
{
    return u16(std::uint16_t(row)) + u16(std::uint16_t(col)) + u16(std::uint16_t(xf));
}

inline QByteArray number(int row, int col, double v, int xf = 0)
{
    return record(0x0203, cellHead(row, col, xf) + f64(v));
}

inline QByteArray rk(int row, int col, std::uint32_t rkValue, int xf = 0)
{
    return record(0x027E, cellHead(row, col, xf) + u32(rkValue));
}

inline QByteArray label8(int row, int col, const QString &text, int xf = 0)
{
    return record(0x0204, cellHead(row, col, xf) + unicodeText(text));
}

// A BIFF5 LABEL: 8-bit characters in the file's code page.
inline QByteArray label5(int row, int col, const QByteArray &bytes, int xf = 0)
{
    return record(0x0204, cellHead(row, col, xf) + u16(std::uint16_t(bytes.size())) + bytes);
}

inline QByteArray labelSst(int row, int col, std::uint32_t index, int xf = 0)
{
    return record(0x00FD, cellHead(row, col, xf) + u32(index));
}

inline QByteArray boolErr(int row, int col, std::uint8_t value, bool isError, int xf = 0)
{
    return record(0x0205, cellHead(row, col, xf) + u8(value) + u8(isError ? 1 : 0));
}

// A FORMULA record whose cached result is `result` (8 bytes); the formula itself is "=1".
inline QByteArray formula(int row, int col, const QByteArray &result, int xf = 0)
{
    const QByteArray tokens = u8(0x1E) + u16(1); // tInt 1
    return record(0x0006, cellHead(row, col, xf) + result + u16(0) + u32(0) +
                              u16(std::uint16_t(tokens.size())) + tokens);
}

inline QByteArray formulaNumber(int row, int col, double v, int xf = 0)
{
    return formula(row, col, f64(v), xf);
}

// Special results: 0 text (a STRING record follows), 1 boolean, 2 error, 3 empty text.
inline QByteArray formulaSpecial(int row, int col, std::uint8_t type, std::uint8_t value = 0)
{
    QByteArray result = u8(type) + u8(0) + u8(value) + u8(0) + u16(0) + u16(0xFFFF);
    return formula(row, col, result);
}

inline QByteArray stringRecord(const QString &text)
{
    return record(0x0207, unicodeText(text));
}

inline QByteArray blank(int row, int col, int xf = 0)
{
    return record(0x0201, cellHead(row, col, xf));
}

inline QByteArray mulRk(int row, int firstCol, const QList<std::uint32_t> &values, int xf = 0)
{
    QByteArray p = u16(std::uint16_t(row)) + u16(std::uint16_t(firstCol));
    for (std::uint32_t v : values)
        p += u16(std::uint16_t(xf)) + u32(v);
    p += u16(std::uint16_t(firstCol + values.size() - 1));
    return record(0x00BD, p);
}

inline QByteArray mulBlank(int row, int firstCol, int count, int xf = 0)
{
    QByteArray p = u16(std::uint16_t(row)) + u16(std::uint16_t(firstCol));
    for (int i = 0; i < count; ++i)
        p += u16(std::uint16_t(xf));
    p += u16(std::uint16_t(firstCol + count - 1));
    return record(0x00BE, p);
}

// An SST whose body is given as the chunks of the SST record and its CONTINUE records.
inline QByteArray sst(std::uint32_t count, const QList<QByteArray> &chunks)
{
    QByteArray out = record(0x00FC, u32(count) + u32(count) + chunks.value(0));
    for (qsizetype i = 1; i < chunks.size(); ++i)
        out += record(0x003C, chunks[i]);
    return out;
}

inline QByteArray bof(int biff, std::uint16_t type)
{
    return record(0x0809, u16(biff == 8 ? 0x0600 : 0x0500) + u16(type) + u16(0x0DBB) + u16(0x07CC) +
                              (biff == 8 ? u32(0) + u32(0x06) : QByteArray()));
}

inline QByteArray eof()
{
    return record(0x000A, QByteArray());
}

inline QByteArray xf(int biff, int format)
{
    QByteArray p = u16(0) + u16(std::uint16_t(format)) + u16(0xFFF5);
    p += QByteArray(biff == 8 ? 14 : 10, '\0');
    return record(0x00E0, p);
}

inline QByteArray format(int biff, int index, const QString &code)
{
    return record(0x041E, u16(std::uint16_t(index)) +
                              (biff == 8 ? unicodeText(code)
                                         : u8(std::uint8_t(code.size())) + code.toLatin1()));
}

// Cell styles every test workbook has: 0 General, 1 a built-in date (14), 2 a custom
// date-time format, 3 a custom number format with a quoted "d".
inline QByteArray standardStyles(int biff)
{
    return format(biff, 164, QStringLiteral("yyyy\\-mm\\-dd hh:mm")) +
           format(biff, 165, QStringLiteral("0.00\" d\"")) + xf(biff, 0) + xf(biff, 14) +
           xf(biff, 164) + xf(biff, 165);
}

struct Sheet
{
    QString name;
    QByteArray cells;                  // the records between the sheet's BOF and EOF
    std::uint8_t type = 0;             // 0 worksheet, 1 macro sheet, 2 chart, 6 module
    std::uint8_t visibility = 0;       // 0 visible, 1 hidden, 2 very hidden
    QByteArray bofType = QByteArray(); // empty: worksheet (0x10) or chart (0x20) from `type`
};

// A workbook stream: globals (BOF, `globals`, the sheet list, EOF), then each sheet.
inline QByteArray workbookStream(int biff, const QByteArray &globals, const QList<Sheet> &sheets)
{
    QByteArray head = bof(biff, 0x0005) + globals;
    QList<qsizetype> offsetPlaces;
    for (const Sheet &s : sheets) {
        offsetPlaces << head.size() + 4;
        QByteArray name = biff == 8 ? unicodeText(s.name, true)
                                    : u8(std::uint8_t(s.name.size())) + s.name.toLatin1();
        head += record(0x0085, u32(0) + u8(s.visibility) + u8(s.type) + name);
    }
    head += eof();
    for (qsizetype i = 0; i < sheets.size(); ++i) {
        putU32(head, offsetPlaces[i], std::uint32_t(head.size()));
        const std::uint16_t type = sheets[i].type == 2 ? 0x0020 : 0x0010;
        head += bof(biff, type) + sheets[i].cells + eof();
    }
    return head;
}

// One-sheet BIFF8 workbook with the standard styles.
inline QByteArray simpleStream(const QByteArray &cells, const QByteArray &moreGlobals = {})
{
    return workbookStream(8, standardStyles(8) + moreGlobals,
                          {Sheet{QStringLiteral("Sheet1"), cells}});
}

// Where a built container keeps its structures (sector numbers).
struct Container
{
    QByteArray bytes;
    std::uint32_t firstFat = 0;
    std::uint32_t directory = 0;
    std::uint32_t miniFat = 0xFFFFFFFE;
    std::uint32_t difat = 0xFFFFFFFE;
    std::vector<std::uint32_t> streamStart;

    int sectorSize = 512;

    qsizetype sectorOffset(std::uint32_t sector) const
    {
        return (qsizetype(sector) + 1) * sectorSize;
    }
};

struct StreamSpec
{
    QString name;
    QByteArray data;
};

// A compound file, version 3 (512-byte sectors) or with `version4` version 4 (4096-byte
// sectors), with the streams directly under the root.
// Streams below 4096 bytes go to the mini stream unless `pad` makes them that long; with
// `useDifat` the allocation table's sectors are listed in an extension sector instead of the
// header.
inline Container container(QList<StreamSpec> streams, bool pad = true, bool useDifat = false,
                           bool version4 = false)
{
    const std::uint32_t ss = version4 ? 4096 : 512;
    const std::uint32_t perFat = ss / 4;
    constexpr std::uint32_t End = 0xFFFFFFFE, Free = 0xFFFFFFFF;
    if (pad)
        for (StreamSpec &s : streams)
            if (s.data.size() < 4096)
                s.data.append(QByteArray(4096 - s.data.size(), '\0'));
    Container c;
    c.sectorSize = int(ss);
    std::vector<std::uint32_t> fat;
    QByteArray body;
    auto allocate = [&](const QByteArray &data) {
        const std::uint32_t first = std::uint32_t(fat.size());
        const std::uint32_t n = std::uint32_t((data.size() + ss - 1) / ss);
        for (std::uint32_t i = 0; i < n; ++i)
            fat.push_back(i + 1 < n ? first + i + 1 : End);
        QByteArray padded = data;
        padded.append(QByteArray(qsizetype(n) * ss - data.size(), '\0'));
        body += padded;
        return n == 0 ? End : first;
    };
    QByteArray mini;
    std::vector<std::uint32_t> miniFat;
    for (StreamSpec &s : streams) {
        if (s.data.size() >= 4096) {
            c.streamStart.push_back(allocate(s.data));
        } else {
            const std::uint32_t first = std::uint32_t(miniFat.size());
            const std::uint32_t n = std::uint32_t((s.data.size() + 63) / 64);
            for (std::uint32_t i = 0; i < n; ++i)
                miniFat.push_back(i + 1 < n ? first + i + 1 : End);
            mini += s.data + QByteArray(qsizetype(n) * 64 - s.data.size(), '\0');
            c.streamStart.push_back(n == 0 ? End : first);
        }
    }
    const std::uint32_t miniStart = mini.isEmpty() ? End : allocate(mini);
    if (!miniFat.empty()) {
        QByteArray mf;
        for (std::uint32_t v : miniFat)
            mf += u32(v);
        while (mf.size() % ss)
            mf += u32(Free);
        c.miniFat = allocate(mf);
    }
    QByteArray dir;
    auto entry = [](const QString &name, std::uint8_t type, std::uint32_t right,
                    std::uint32_t child, std::uint32_t start, std::uint32_t size) {
        QByteArray e(128, '\0');
        for (qsizetype i = 0; i < name.size(); ++i)
            e.replace(2 * i, 2, u16(name[i].unicode()));
        e.replace(64, 2, u16(std::uint16_t((name.size() + 1) * 2)));
        e[66] = char(type);
        e[67] = 1; // black
        e.replace(68, 4, u32(Free));
        e.replace(72, 4, u32(right));
        e.replace(76, 4, u32(child));
        e.replace(116, 4, u32(start));
        e.replace(120, 4, u32(size));
        return e;
    };
    dir += entry(QStringLiteral("Root Entry"), 5, Free, streams.isEmpty() ? Free : 1, miniStart,
                 std::uint32_t(mini.size()));
    for (qsizetype i = 0; i < streams.size(); ++i)
        dir += entry(streams[i].name, 2, i + 1 < streams.size() ? std::uint32_t(i + 2) : Free, Free,
                     c.streamStart[std::size_t(i)], std::uint32_t(streams[i].data.size()));
    while (dir.size() % ss)
        dir += entry(QString(), 0, Free, Free, 0, 0);
    c.directory = allocate(dir);

    // The allocation table covers itself (and the extension sector, if any).
    std::uint32_t fatSectors = 1;
    while ((fat.size() + fatSectors + (useDifat ? 1 : 0)) > fatSectors * perFat)
        ++fatSectors;
    c.firstFat = std::uint32_t(fat.size());
    for (std::uint32_t i = 0; i < fatSectors; ++i)
        fat.push_back(0xFFFFFFFD);
    if (useDifat) {
        c.difat = std::uint32_t(fat.size());
        fat.push_back(0xFFFFFFFC);
    }
    while (fat.size() % perFat)
        fat.push_back(Free);
    QByteArray fatBytes;
    for (std::uint32_t v : fat)
        fatBytes += u32(v);
    body += fatBytes;
    if (useDifat) {
        QByteArray d;
        for (std::uint32_t i = 0; i < fatSectors; ++i)
            d += u32(c.firstFat + i);
        while (d.size() < qsizetype(ss) - 4)
            d += u32(Free);
        d += u32(End);
        body += d;
    }

    QByteArray header(qsizetype(ss), '\0');
    const char signature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    header.replace(0, 8, QByteArray(signature, 8));
    header.replace(24, 2, u16(0x003E));
    header.replace(26, 2, u16(version4 ? 4 : 3));
    header.replace(28, 2, u16(0xFFFE));
    header.replace(30, 2, u16(version4 ? 12 : 9));
    header.replace(32, 2, u16(6));
    putU32(header, 44, fatSectors);
    putU32(header, 48, c.directory);
    putU32(header, 56, 4096);
    putU32(header, 60, c.miniFat);
    putU32(header, 64, miniFat.empty() ? 0 : std::uint32_t((miniFat.size() + perFat - 1) / perFat));
    putU32(header, 68, useDifat ? c.difat : End);
    putU32(header, 72, useDifat ? 1 : 0);
    for (int i = 0; i < 109; ++i)
        putU32(header, 76 + 4 * i,
               !useDifat && std::uint32_t(i) < fatSectors ? c.firstFat + i : Free);
    c.bytes = header + body;
    return c;
}

inline QByteArray xlsFile(const QByteArray &stream,
                          const QString &name = QStringLiteral("Workbook"))
{
    return container({StreamSpec{name, stream}}).bytes;
}

} // namespace xlstest
