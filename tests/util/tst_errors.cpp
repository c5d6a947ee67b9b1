#include "util/ConvertError.h"
#include "util/InOutError.h"
#include "util/ReportText.h"

#include <QTest>

class TestErrors : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ioMessages_data();
    void ioMessages();
    void reportTexts_data();
    void reportTexts();
    void applicationTitles_data();
    void applicationTitles();
};

void TestErrors::ioMessages_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("2") << 2 << QStringLiteral("File not found");
    QTest::newRow("3") << 3 << QStringLiteral("Invalid filename");
    QTest::newRow("4") << 4 << QStringLiteral("Too many open files");
    QTest::newRow("5") << 5 << QStringLiteral("File access denied");
    QTest::newRow("100") << 100 << QStringLiteral("Read beyond end of file");
    QTest::newRow("101") << 101 << QStringLiteral("Disk full");
    QTest::newRow("106") << 106 << QStringLiteral("Invalid numeric input");
    QTest::newRow("1") << 1 << QStringLiteral("I/O error 1");
    QTest::newRow("21") << 21 << QStringLiteral("I/O error 21");
    QTest::newRow("0") << 0 << QStringLiteral("I/O error 0");
    QTest::newRow("negative") << -3 << QStringLiteral("I/O error -3");
}

void TestErrors::ioMessages()
{
    QFETCH(int, code);
    QFETCH(QString, message);
    const InOutError error(code);
    QCOMPARE(error.code(), code);
    QCOMPARE(error.message(), message);
    QCOMPARE(QString::fromUtf8(error.what()), message);
}

void TestErrors::reportTexts_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("letter") << QStringLiteral("Disk full") << QStringLiteral("Disk full.");
    QTest::newRow("full stop") << QStringLiteral("Done.") << QStringLiteral("Done.");
    QTest::newRow("quote sorts before") << QStringLiteral("'x' is not a valid integer value'")
                                        << QStringLiteral("'x' is not a valid integer value'");
    QTest::newRow("digit sorts after")
        << QStringLiteral("I/O error 21") << QStringLiteral("I/O error 21.");
    QTest::newRow("slash sorts after") << QStringLiteral("a/") << QStringLiteral("a/.");
    QTest::newRow("comma sorts before") << QStringLiteral("a,") << QStringLiteral("a,");
    QTest::newRow("blank sorts before") << QStringLiteral("a ") << QStringLiteral("a ");
    QTest::newRow("cyrillic") << QStringLiteral("ошибка") << QStringLiteral("ошибка.");
    QTest::newRow("line feed") << QStringLiteral("a\n") << QStringLiteral("a\n");
}

void TestErrors::reportTexts()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(reportText(message), shown);
}

void TestErrors::applicationTitles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::newRow("plain") << QStringLiteral("/opt/bin/Orvandel") << QStringLiteral("Orvandel");
    QTest::newRow("upper") << QStringLiteral("/opt/bin/ORVANDEL") << QStringLiteral("Orvandel");
    QTest::newRow("first kept lower")
        << QStringLiteral("/x/orvandel") << QStringLiteral("orvandel");
    QTest::newRow("first dot") << QStringLiteral("/x/Orv.and.el") << QStringLiteral("Orv");
    QTest::newRow("extension") << QStringLiteral("/x/ORVANDEL.EXE") << QStringLiteral("Orvandel");
    QTest::newRow("dot in dir") << QStringLiteral("/x.y/Viewer") << QStringLiteral("Viewer");
    QTest::newRow("no dir") << QStringLiteral("Viewer") << QStringLiteral("Viewer");
    QTest::newRow("leading dot") << QStringLiteral("/x/.hidden") << QString();
    QTest::newRow("single char") << QStringLiteral("/x/V") << QStringLiteral("V");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("cyrillic") << QStringLiteral("/x/ПРОСМОТР") << QStringLiteral("Просмотр");
}

void TestErrors::applicationTitles()
{
    QFETCH(QString, path);
    QFETCH(QString, title);
    QCOMPARE(applicationTitle(path), title);
}

QTEST_GUILESS_MAIN(TestErrors)
#include "tst_errors.moc"
