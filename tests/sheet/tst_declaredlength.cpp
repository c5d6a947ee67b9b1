#include "sheet/DeclaredLength.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

const QString dataDir = QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data/");

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool isCompoundFile(const QByteArray &bytes)
{
    return bytes.startsWith(QByteArrayLiteral("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"));
}

// The file's own sector size, or the smallest one for a ZIP package: every cut a writer
// caught half way could leave.
int sectorSizeOf(const QByteArray &bytes)
{
    return isCompoundFile(bytes) ? 1 << static_cast<unsigned char>(bytes.at(30)) : 512;
}

// A ZIP package with a comment after its end of central directory record.
QByteArray withComment(QByteArray zip, const QByteArray &comment)
{
    const qsizetype record = zip.lastIndexOf(QByteArrayLiteral("PK\x05\x06"));
    zip[record + 20] = static_cast<char>(comment.size() & 0xFF);
    zip[record + 21] = static_cast<char>(comment.size() >> 8);
    return zip + comment;
}

} // namespace

class TestDeclaredLength : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cutAtEverySectorBoundary_data();
    void cutAtEverySectorBoundary();
    void notDeclaringFormatsPass_data();
    void notDeclaringFormatsPass();
};

void TestDeclaredLength::cutAtEverySectorBoundary_data()
{
    QTest::addColumn<QByteArray>("whole");
    // Legacy workbooks of several writers, OOXML, XLSB and OpenDocument packages. The one
    // compound file of the folder that is not whole (a fuzzer's) is left out.
    const QStringList patterns = {QStringLiteral("*.xls"), QStringLiteral("*.xlsx"),
                                  QStringLiteral("*.xlsb"), QStringLiteral("*.xlsm"),
                                  QStringLiteral("*.ods")};
    int rows = 0;
    for (const QString &dir : {QStringLiteral("formats"), QStringLiteral("fixtures")}) {
        for (const QString &name : QDir(dataDir + dir).entryList(patterns, QDir::Files)) {
            const QByteArray bytes = contentOf(dataDir + dir + u'/' + name);
            const bool zip = bytes.startsWith("PK\x03\x04");
            if ((!isCompoundFile(bytes) && !zip) || name.contains(QStringLiteral("clusterfuzz")) ||
                bytes.size() > 400'000)
                continue;
            QTest::newRow(qPrintable(name)) << bytes;
            ++rows;
        }
    }
    const QByteArray xlsx = contentOf(dataDir + QStringLiteral("formats/sjs__interview.xlsx"));
    QTest::newRow("ZIP with a comment") << withComment(xlsx, "made by hand, PK\x05\x06 and all");
    QVERIFY(rows > 40);
}

void TestDeclaredLength::cutAtEverySectorBoundary()
{
    QFETCH(QByteArray, whole);
    QVERIFY(lengthAsDeclared(whole));
    const int sector = sectorSizeOf(whole);
    // An empty copy declares nothing; that no reader takes it for a workbook is tested with
    // them. Anything from the signature on does.
    QVERIFY(!lengthAsDeclared(QByteArrayView(whole).first(100)));
    for (qsizetype cut = sector; cut < whole.size(); cut += sector)
        QVERIFY2(!lengthAsDeclared(QByteArrayView(whole).first(cut)),
                 qPrintable(QStringLiteral("cut at %1 of %2").arg(cut).arg(whole.size())));
    // The last byte alone (zero padding of the last sector, for a compound file).
    QVERIFY(!lengthAsDeclared(QByteArrayView(whole).first(whole.size() - 1)));
    // Nor does anything appended to a compound file pass, unless it is whole sectors the
    // table does not use: bytes after a ZIP comment are not the package's.
    QVERIFY(!lengthAsDeclared(whole + QByteArray(isCompoundFile(whole) ? 100 : 1, '\0')));
}

void TestDeclaredLength::notDeclaringFormatsPass_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("delimited text")
        << QByteArray("№;Фамилия;Тест\n1;Иванов;Тест 1.1\n2;Smith;Тест 1.2\n");
    QTest::newRow("HTML") << QByteArray("<table><tr><td>1</td><td>2</td></tr>");
    QTest::newRow("compound file with a byte order mark of its own")
        << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(20, '\0') +
               QByteArray("\xFF\xFF\x09\x00", 4) + QByteArray(1000, '\0');
}

// Formats without a declared length, and headers damaged rather than cut short, are for the
// readers to judge.
void TestDeclaredLength::notDeclaringFormatsPass()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(lengthAsDeclared(bytes));
}

QTEST_GUILESS_MAIN(TestDeclaredLength)
#include "tst_declaredlength.moc"
