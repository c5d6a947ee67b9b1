#include "tests/support/ReaderOperations.h"
#include "tests/support/XlsbFuzzInput.h"

#include <QDir>
#include <QFile>
#include <QTest>

// Every input a fuzz target ever found a fault with, run through the workbook operations the
// way the import uses them: the reader's in tests/data/regressions/reader as they are, the
// binary workbook target's in tests/data/regressions/xlsb packed as that target packs them.
// Each must end in an error of the reader's own or a table; the sanitizer build turns any
// out-of-bounds access or undefined behaviour into a failure here.
class TestFuzzRegressions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void inputs_data();
    void inputs();
};

void TestFuzzRegressions::inputs_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("xlsbRecords");
    for (const bool xlsb : {false, true}) {
        const QDir dir(QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data/regressions/") +
                       (xlsb ? QStringLiteral("xlsb") : QStringLiteral("reader")));
        QStringList names = dir.entryList(QDir::Files, QDir::Name);
        names.removeIf([](const QString &name) { return name.endsWith(QStringLiteral(".md")); });
        for (const QString &name : names)
            QTest::newRow(qPrintable(dir.dirName() + u'/' + name)) << dir.filePath(name) << xlsb;
    }
}

void TestFuzzRegressions::inputs()
{
    QFETCH(QString, path);
    QFETCH(bool, xlsbRecords);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    if (!xlsbRecords) {
        runReaderOperations(bytes);
        return;
    }
    const std::vector<std::uint8_t> package = xlsbFuzzPackage(
        std::span(reinterpret_cast<const std::uint8_t *>(bytes.data()), std::size_t(bytes.size())));
    runReaderOperations(QByteArrayView(package.data(), qsizetype(package.size())));
}

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
