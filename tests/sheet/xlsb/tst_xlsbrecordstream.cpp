#include "sheet/model/WorkbookError.h"
#include "sheet/xlsb/XlsbRecordStream.h"

#include <QTest>

namespace {

// A record with its header in the shortest form, or with the size in all four bytes.
QByteArray record(std::uint16_t id, const QByteArray &data, bool longSize = false)
{
    QByteArray out;
    out += char((id & 0x7F) | (id > 0x7F ? 0x80 : 0));
    if (id > 0x7F)
        out += char(id >> 7);
    std::size_t size = std::size_t(data.size());
    for (int i = 0; i < 4; ++i) {
        const bool more = longSize ? i < 3 : size > 0x7F;
        out += char((size & 0x7F) | (more ? 0x80 : 0));
        size >>= 7;
        if (!more)
            break;
    }
    return out + data;
}

using Records = QList<QPair<int, QByteArray>>;

Records readInPieces(const QByteArray &part, qsizetype pieceSize)
{
    Records records;
    XlsbRecordStream stream(QStringLiteral("part"), [&](std::uint16_t id, auto data) {
        records.append(
            {id, QByteArray(reinterpret_cast<const char *>(data.data()), qsizetype(data.size()))});
    });
    for (qsizetype at = 0; at < part.size(); at += pieceSize)
        stream.feed(
            std::span(part.constData() + at, std::size_t(std::min(pieceSize, part.size() - at))));
    stream.finish();
    return records;
}

} // namespace

// The framing of a binary workbook part's records, fed in pieces of every size: records and
// headers that straddle two pieces come out as they went in; a broken header or a part that
// ends inside a record is damage.
class TestXlsbRecordStream : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void piecesOfEverySize();
    void damage_data();
    void damage();
};

void TestXlsbRecordStream::piecesOfEverySize()
{
    const Records expected{{0, QByteArray(25, 'r')},        {145, QByteArray()},
                           {7, QByteArray("12345678abcd")}, {1024, QByteArray(300, 'x')},
                           {16383, QByteArray("end")},      {5, QByteArray(16, '\x01')}};
    QByteArray part;
    for (const auto &[id, data] : expected)
        part += record(std::uint16_t(id), data, id == 5);
    for (qsizetype size = 1; size <= part.size(); ++size)
        QCOMPARE(readInPieces(part, size), expected);
}

void TestXlsbRecordStream::damage_data()
{
    QTest::addColumn<QByteArray>("part");
    QTest::addColumn<QString>("message");
    QTest::newRow("three-byte number")
        << QByteArray("\x80\x80\x01\x00", 4) << QStringLiteral("longer than two bytes");
    QTest::newRow("five-byte size")
        << QByteArray("\x01\x80\x80\x80\x80\x01", 6) << QStringLiteral("longer than four bytes");
    QTest::newRow("data cut short") << record(5, QByteArray(16, 0)).chopped(1)
                                    << QStringLiteral("runs past the end of the part");
    QTest::newRow("header cut short")
        << QByteArray("\x81", 1) << QStringLiteral("runs past the end of the part");
}

void TestXlsbRecordStream::damage()
{
    QFETCH(QByteArray, part);
    QFETCH(QString, message);
    for (qsizetype size : {qsizetype(1), part.size()}) {
        try {
            readInPieces(part, size);
            QFAIL("read");
        } catch (const WorkbookError &error) {
            QCOMPARE(error.kind(), WorkbookError::Kind::Damaged);
            QVERIFY2(error.message().contains(message), qPrintable(error.message()));
        }
    }
}

QTEST_GUILESS_MAIN(TestXlsbRecordStream)
#include "tst_xlsbrecordstream.moc"
