#include "tests/support/ReaderOperations.h"

#include <QDir>
#include <QFile>
#include <QTest>

// Every input the reader's fuzz target ever found a fault with, kept in
// tests/data/regressions/reader, run through the workbook operations the way the import uses
// them. Each must end in an error of the reader's own or a table; the sanitizer build turns
// any out-of-bounds access or undefined behaviour into a failure here.
class TestFuzzRegressions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reader_data();
    void reader();
};

void TestFuzzRegressions::reader_data()
{
    QTest::addColumn<QString>("path");
    const QDir dir(QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data/regressions/reader"));
    QStringList names = dir.entryList(QDir::Files, QDir::Name);
    names.removeIf([](const QString &name) { return name.endsWith(QStringLiteral(".md")); });
    if (names.isEmpty())
        QSKIP("no input has broken the reader yet");
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << dir.filePath(name);
}

void TestFuzzRegressions::reader()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    RunReaderOperations(file.readAll());
}

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
