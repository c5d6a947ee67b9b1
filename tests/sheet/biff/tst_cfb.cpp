#include "sheet/WorkbookFormats.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "tests/support/XlsTestFiles.h"

#include <QTest>

using namespace xlstest;

// The compound-file container around the workbook stream: valid layouts, and each kind of
// damage a broken or hostile file can carry.
class TestCfb : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsLayouts_data();
    void readsLayouts();
    void notWorkbooks_data();
    void notWorkbooks();
    void damage_data();
    void damage();
    void everyTruncation();

private:
    static QByteArray sampleStream();
};

namespace {

using Patch = std::function<void(Container &)>;

QString firstCell(const QByteArray &file)
{
    const auto book = readWorkbook(file);
    return book->cellText(book->worksheet(1), 1, 1, QLocale::c());
}

WorkbookError::Kind errorKind(const QByteArray &file, QString *message = nullptr)
{
    try {
        readWorkbook(file);
    } catch (const WorkbookError &e) {
        if (message)
            *message = e.message();
        return e.kind();
    }
    return WorkbookError::Kind::InvalidVariantOperation; // stands for "no error" here
}

} // namespace

QByteArray TestCfb::sampleStream()
{
    return simpleStream(label8(0, 0, QStringLiteral("cell A1")));
}

void TestCfb::readsLayouts_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray stream = sampleStream();
    QTest::newRow("regular sectors") << container({{QStringLiteral("Workbook"), stream}}).bytes;
    QTest::newRow("mini stream") << container({{QStringLiteral("Workbook"), stream}}, false).bytes;
    QTest::newRow("version 4")
        << container({{QStringLiteral("Workbook"), stream}}, true, false, true).bytes;
    QTest::newRow("extension sector")
        << container({{QStringLiteral("Workbook"), stream}}, true, true).bytes;
    QTest::newRow("other streams first")
        << container({{QStringLiteral("\x05SummaryInformation"), QByteArray(300, 'x')},
                      {QStringLiteral("CompObj"), QByteArray(5000, 'y')},
                      {QStringLiteral("WORKBOOK"), stream}},
                     false)
               .bytes;
    QTest::newRow("Excel 95 Book stream")
        << container({{QStringLiteral("Book"),
                       workbookStream(5, standardStyles(5),
                                      {Sheet{QStringLiteral("S"),
                                             label5(0, 0, QByteArrayLiteral("cell A1"))}})}})
               .bytes;
    // Sectors of the stream out of order: the reader has to follow the chain.
    Container shuffled = container({{QStringLiteral("Workbook"), stream + QByteArray(600, '\0')}});
    QTest::newRow("fragmented") << [&] {
        // Swap the stream's first two sectors in the file and in the chain.
        Container c = shuffled;
        const std::uint32_t a = c.streamStart[0], b = a + 1;
        const QByteArray sa = c.bytes.mid(c.sectorOffset(a), 512);
        const QByteArray sb = c.bytes.mid(c.sectorOffset(b), 512);
        c.bytes.replace(c.sectorOffset(a), 512, sb);
        c.bytes.replace(c.sectorOffset(b), 512, sa);
        const qsizetype fat = c.sectorOffset(c.firstFat);
        const std::uint32_t afterB = getU32(c.bytes, fat + 4 * b);
        putU32(c.bytes, fat + 4 * b, a);
        putU32(c.bytes, fat + 4 * a, afterB);
        // The directory entry of the stream (entry 1) now starts at b.
        putU32(c.bytes, c.sectorOffset(c.directory) + 128 + 116, b);
        return c.bytes;
    }();
}

void TestCfb::readsLayouts()
{
    QFETCH(QByteArray, file);
    QCOMPARE(firstCell(file), QStringLiteral("cell A1"));
}

void TestCfb::notWorkbooks_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("empty") << QByteArray();
    // Binary: text would read as delimited text.
    QTest::newRow("an image") << QByteArrayLiteral("\x89PNG\r\n\x1a\n\0\0\0\rIHDR");
    QTest::newRow("zip") << QByteArrayLiteral("PK\x03\x04\x14\0\0\0 rest of an xlsx file");
    QTest::newRow("container without workbook")
        << container({{QStringLiteral("WordDocument"), QByteArray(5000, 'w')}}).bytes;
}

void TestCfb::notWorkbooks()
{
    QFETCH(QByteArray, file);
    QString message;
    QCOMPARE(errorKind(file, &message), WorkbookError::Kind::NotWorkbook);
    QCOMPARE(message, QStringLiteral("The file is not an Excel workbook"));
}

void TestCfb::damage_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray stream = sampleStream();
    auto make = [&](bool pad, bool difat, const Patch &patch) {
        Container c = container({{QStringLiteral("Workbook"), stream}}, pad, difat);
        patch(c);
        return c.bytes;
    };
    auto fatEntry = [](Container &c, std::uint32_t sector) {
        return c.sectorOffset(c.firstFat) + 4 * qsizetype(sector);
    };
    auto dirEntry = [](Container &c, int entry) {
        return c.sectorOffset(c.directory) + 128 * entry;
    };

    QTest::newRow("truncated header")
        << make(true, false, [](Container &c) { c.bytes.truncate(300); });
    QTest::newRow("byte order") << make(true, false, [](Container &c) { c.bytes[28] = 0; });
    QTest::newRow("sector size") << make(true, false, [](Container &c) { c.bytes[30] = 20; });
    QTest::newRow("stream chain loops") << make(true, false, [&](Container &c) {
        putU32(c.bytes, fatEntry(c, c.streamStart[0] + 2), c.streamStart[0]);
    });
    QTest::newRow("stream sector beyond file") << make(true, false, [&](Container &c) {
        putU32(c.bytes, fatEntry(c, c.streamStart[0]), 0x00FFFFF0);
    });
    QTest::newRow("stream chain ends early") << make(true, false, [&](Container &c) {
        putU32(c.bytes, fatEntry(c, c.streamStart[0] + 1), 0xFFFFFFFE);
    });
    QTest::newRow("stream larger than file") << make(
        true, false, [&](Container &c) { putU32(c.bytes, dirEntry(c, 1) + 120, 0x7FFFFFFF); });
    QTest::newRow("stream start beyond file")
        << make(true, false, [&](Container &c) { putU32(c.bytes, dirEntry(c, 1) + 116, 0x10000); });
    QTest::newRow("allocation table beyond file")
        << make(true, false, [&](Container &c) { putU32(c.bytes, 76, 0x00100000); });
    QTest::newRow("extension sector beyond file")
        << make(true, true, [&](Container &c) { putU32(c.bytes, 68, 0x00100000); });
    QTest::newRow("extension chain loops") << make(true, true, [&](Container &c) {
        // An extension sector that lists nothing and names itself as the next one.
        const qsizetype d = c.sectorOffset(c.difat);
        for (int i = 0; i < 127; ++i)
            putU32(c.bytes, d + 4 * i, 0xFFFFFFFF);
        putU32(c.bytes, d + 508, c.difat);
    });
    QTest::newRow("directory chain loops") << make(
        true, false, [&](Container &c) { putU32(c.bytes, fatEntry(c, c.directory), c.directory); });
    QTest::newRow("directory beyond file")
        << make(true, false, [&](Container &c) { putU32(c.bytes, 48, 0x00200000); });
    QTest::newRow("directory tree loops")
        << make(true, false, [&](Container &c) { putU32(c.bytes, dirEntry(c, 1) + 72, 1); });
    QTest::newRow("directory tree back to root")
        << make(true, false, [&](Container &c) { putU32(c.bytes, dirEntry(c, 1) + 68, 0); });
    QTest::newRow("directory link outside")
        << make(true, false, [&](Container &c) { putU32(c.bytes, dirEntry(c, 0) + 76, 5000); });
    QTest::newRow("no root entry")
        << make(true, false, [&](Container &c) { c.bytes[dirEntry(c, 0) + 66] = 1; });
    QTest::newRow("mini chain loops") << make(
        false, false, [&](Container &c) { putU32(c.bytes, c.sectorOffset(c.miniFat) + 4 * 1, 0); });
    QTest::newRow("mini sector beyond mini stream")
        << make(false, false, [&](Container &c) { putU32(c.bytes, dirEntry(c, 1) + 116, 4000); });
    QTest::newRow("mini table chain loops") << make(false, false, [&](Container &c) {
        putU32(c.bytes, fatEntry(c, c.miniFat), c.miniFat);
        // Make the mini table need a second sector, so the loop is followed.
        putU32(c.bytes, 64, 2);
    });
    QTest::newRow("mini stream beyond file") << make(
        false, false, [&](Container &c) { putU32(c.bytes, dirEntry(c, 0) + 120, 0x7FFFFFF0); });
}

void TestCfb::damage()
{
    QFETCH(QByteArray, file);
    QString message;
    QCOMPARE(errorKind(file, &message), WorkbookError::Kind::Damaged);
    QVERIFY2(message.startsWith(QStringLiteral("The workbook is damaged: ")), qPrintable(message));
    QVERIFY(!message.endsWith(u'.'));
}

void TestCfb::everyTruncation()
{
    // Cutting the file at any length gives a workbook or a clear error, nothing else.
    const QByteArray file = container({{QStringLiteral("Workbook"), sampleStream()}}, false).bytes;
    for (qsizetype n = 0; n < file.size(); n += 7) {
        try {
            readWorkbook(file.left(n));
        } catch (const WorkbookError &) {
        }
    }
}

QTEST_GUILESS_MAIN(TestCfb)
#include "tst_cfb.moc"
