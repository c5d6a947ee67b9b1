#include "app/core/LaunchContext.h"
#include "util/Collection.h"
#include "util/ConvertError.h"

#include <QTest>

class TestLaunchContext : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void isNumber_data();
    void isNumber();
    void appDir_data();
    void appDir();
    void parametersDropEmptyArguments();
    void resolve_data();
    void resolve();
    void conversionError_data();
    void conversionError();
};

void TestLaunchContext::isNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("digits") << QStringLiteral("12345") << true;
    QTest::newRow("leading zeros") << QStringLiteral("000123") << true;
    QTest::newRow("negative") << QStringLiteral("-42") << true;
    QTest::newRow("plus") << QStringLiteral("+42") << true;
    QTest::newRow("lone minus") << QStringLiteral("-") << true;
    QTest::newRow("lone plus") << QStringLiteral("+") << true;
    QTest::newRow("hex prefix") << QStringLiteral("0x10") << false;
    QTest::newRow("trailing letter") << QStringLiteral("12a") << false;
    QTest::newRow("leading blank") << QStringLiteral(" 12") << false;
    QTest::newRow("inner blank") << QStringLiteral("1 2") << false;
    QTest::newRow("sign after first") << QStringLiteral("1-2") << false;
    QTest::newRow("two signs") << QStringLiteral("+-1") << false;
    QTest::newRow("many digits") << QString(400, u'9') << true;
    QTest::newRow("arabic-indic digit") << QStringLiteral("\u0661") << false;
    QTest::newRow("fullwidth digit") << QStringLiteral("\uFF11") << false;
}

void TestLaunchContext::isNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(IsNumber(text), expected);
}

void TestLaunchContext::appDir_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("usual") << QStringLiteral("/opt/orvandel/bin/Orvandel")
                           << QStringLiteral("/opt/orvandel/bin/");
    QTest::newRow("root") << QStringLiteral("/Orvandel") << QStringLiteral("/");
    QTest::newRow("no separator") << QStringLiteral("Orvandel") << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("blanks") << QStringLiteral("/home/u/my apps/Orvandel")
                            << QStringLiteral("/home/u/my apps/");
}

void TestLaunchContext::appDir()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(appDirOf(path), expected);
}

void TestLaunchContext::parametersDropEmptyArguments()
{
    const QStringList argv{QStringLiteral("Orvandel"), QString(), QStringLiteral("123"), QString(),
                           QStringLiteral("x")};
    QCOMPARE(commandLineParameters(argv),
             (QStringList{QStringLiteral("123"), QStringLiteral("x")}));
    QVERIFY(commandLineParameters({QStringLiteral("Orvandel")}).isEmpty());
    QVERIFY(commandLineParameters({}).isEmpty());
}

void TestLaunchContext::resolve_data()
{
    QTest::addColumn<QStringList>("argv");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("window");
    const QString prog = QStringLiteral("/opt/o/Orvandel");
    const QString path = QStringLiteral("/data/results.xls");
    QTest::newRow("no parameters")
        << QStringList{prog} << QStringLiteral("/opt/o/Bellquor.xls") << 0;
    QTest::newRow("only an empty argument")
        << QStringList{prog, QString()} << QStringLiteral("/opt/o/Bellquor.xls") << 0;
    QTest::newRow("path with blanks")
        << QStringList{prog, QStringLiteral("/my data/test results.xls")}
        << QStringLiteral("/my data/test results.xls") << 0;
    QTest::newRow("path unchanged") << QStringList{prog, QStringLiteral(" rel/../x.xls ")}
                                    << QStringLiteral(" rel/../x.xls ") << 0;
    QTest::newRow("handle") << QStringList{prog, path, QStringLiteral("1312")} << path << 1312;
    QTest::newRow("negative handle")
        << QStringList{prog, path, QStringLiteral("-77")} << path << -77;
    QTest::newRow("plus handle") << QStringList{prog, path, QStringLiteral("+5")} << path << 5;
    QTest::newRow("max") << QStringList{prog, path, QStringLiteral("2147483647")} << path
                         << 2147483647;
    QTest::newRow("min") << QStringList{prog, path, QStringLiteral("-2147483648")} << path
                         << int(-2147483647 - 1);
    QTest::newRow("leading zeros")
        << QStringList{prog, path, QStringLiteral("0000000000000042")} << path << 42;
    QTest::newRow("hex") << QStringList{prog, path, QStringLiteral("0x10")} << path << 0;
    QTest::newRow("letter") << QStringList{prog, path, QStringLiteral("12a")} << path << 0;
    QTest::newRow("leading blank") << QStringList{prog, path, QStringLiteral(" 12")} << path << 0;
    QTest::newRow("inner blank") << QStringList{prog, path, QStringLiteral("1 2")} << path << 0;
    QTest::newRow("zero") << QStringList{prog, path, QStringLiteral("0")} << path << 0;
    QTest::newRow("third ignored")
        << QStringList{prog, path, QStringLiteral("9"), QStringLiteral("x")} << path << 9;
    // An empty argument before a number: the number becomes the watched path.
    QTest::newRow("empty then number")
        << QStringList{prog, QString(), QStringLiteral("1312")} << QStringLiteral("1312") << 0;
}

void TestLaunchContext::resolve()
{
    QFETCH(QStringList, argv);
    QFETCH(QString, file);
    QFETCH(int, window);
    LaunchContext context;
    resolveLaunchContext(commandLineParameters(argv), appDirOf(argv.first()), context);
    QCOMPARE(context.ResultFileName, file);
    QCOMPARE(context.NotifyWindow, window);
}

void TestLaunchContext::conversionError_data()
{
    QTest::addColumn<QString>("handle");
    QTest::newRow("lone plus") << QStringLiteral("+");
    QTest::newRow("lone minus") << QStringLiteral("-");
    QTest::newRow("above max") << QStringLiteral("2147483648");
    QTest::newRow("below min") << QStringLiteral("-2147483649");
    QTest::newRow("huge") << QString(300, u'7');
}

void TestLaunchContext::conversionError()
{
    QFETCH(QString, handle);
    LaunchContext context;
    context.NotifyWindow = 99;
    const QString path = QStringLiteral("/data/r.xls");
    try {
        resolveLaunchContext({path, handle}, QStringLiteral("/opt/"), context);
        QFAIL("no error raised");
    } catch (const ConvertError &e) {
        QCOMPARE(e.message(), QStringLiteral("'%1' is not a valid integer value").arg(handle));
    }
    QCOMPARE(context.ResultFileName, path);
    QCOMPARE(context.NotifyWindow, 0);
}

QTEST_GUILESS_MAIN(TestLaunchContext)
#include "tst_launchcontext.moc"
