#include "tests/support/ImportTestFiles.h"
#include "tests/support/XlsTestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace importtest;

namespace {

const QString Tool = QStringLiteral(ORVANDEL_BIN_DIR "/orvandel-dump");
const QString Writer = QStringLiteral(ORVANDEL_TEST_HELPER_DIR "/snapshot_writer");

struct Run
{
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    qint64 pid = 0;
};

// `input` goes to its standard input, which is then closed.
Run runTool(const QStringList &arguments, const QByteArray &input = {},
            const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
            const QString &program = Tool)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run run;
    if (!process.waitForStarted())
        return run;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return run;
    run.pid = process.processId();
    run.exitStatus = process.exitStatus();
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// The tool's temporary copies: beside it, named after its process.
QStringList temporaryCopies()
{
    return QDir(QStringLiteral(ORVANDEL_BIN_DIR))
        .entryList({QStringLiteral("tempfgr*.xls")}, QDir::Files);
}

} // namespace

// orvandel-dump as scripts run it: the real binary on real files.
class TestDumpTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void csv();
    void tsv();
    void sameTableAsTheImport_data();
    void sameTableAsTheImport();
    void ooxmlWorkbook();
    void password_data();
    void password();
    void missingFile();
    void importError();
    void lockedFile();
    void stats();
    void copies();
    void usage_data();
    void usage();
    void help();
    void streams_data();
    void streams();
    void withoutAHomeDirectory_data();
    void withoutAHomeDirectory();
    void everyWorkbookOfTheCorpus();
    void endedMidTableLeavesNoCopy_data();
    void endedMidTableLeavesNoCopy();

private:
    QTemporaryDir m_dir;
    QStringList m_copiesBefore;
};

void TestDumpTool::initTestCase()
{
    QVERIFY(QFileInfo(Tool).isExecutable());
    QVERIFY(m_dir.isValid());
    m_copiesBefore = temporaryCopies();
}

void TestDumpTool::cleanup()
{
    QCOMPARE(temporaryCopies(), m_copiesBefore);
}

void TestDumpTool::csv()
{
    const Run run = runTool({dataPath(QStringLiteral("dump-texts.xls"))});
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    const QString expected =
        QStringLiteral("Name,\"Note, with comma\",Key,Tab,Backslash,Текст,CR,CRLF,Number,,,,\r\n"
                       "\"He said \"\"hi\"\"\",\"line1\nline2\",k1,a\tb,C:\\dir\\,\"Привет, мир\","
                       "\"cr\rhere\",\"x\r\ny\",42,,,,\r\n"
                       "plain,,k2,,,,,,-7,,,,\r\n"
                       "\"\"\"\",\",\",k3,\\t,\\,ё, ,,0,,,,\r\n");
    QCOMPARE(QString::fromUtf8(run.out), expected);
    // --csv is the default.
    QCOMPARE(runTool({QStringLiteral("--csv"), dataPath(QStringLiteral("dump-texts.xls"))}).out,
             run.out);
}

void TestDumpTool::tsv()
{
    const Run run = runTool({QStringLiteral("--tsv"), dataPath(QStringLiteral("dump-texts.xls"))});
    QCOMPARE(run.exitCode, 0);
    const QString expected = QStringLiteral(
        "Name\tNote, with comma\tKey\tTab\tBackslash\tТекст\tCR\tCRLF\tNumber\t\t\t\t\n"
        "He said \"hi\"\tline1\\nline2\tk1\ta\\tb\tC:\\\\dir\\\\\tПривет, мир\tcr\\rhere\t"
        "x\\r\\ny\t42\t\t\t\t\n"
        "plain\t\tk2\t\t\t\t\t\t-7\t\t\t\t\n"
        "\"\t,\tk3\t\\\\t\t\\\\\tё\t \t\t0\t\t\t\t\n");
    QCOMPARE(QString::fromUtf8(run.out), expected);
}

void TestDumpTool::sameTableAsTheImport_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"header-only", "empty-sheet", "key-gap", "key-blanks-zero", "wide",
                             "several-sheets", "version-3"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestDumpTool::sameTableAsTheImport()
{
    QFETCH(QString, name);
    const Run run = runTool({QStringLiteral("--tsv"), dataPath(name + QStringLiteral(".xls"))});
    QCOMPARE(run.exitCode, 0);
    QString expected;
    for (const QStringList &row : expectedTable(name)) {
        QStringList fields;
        for (QString field : row)
            fields << field.replace(u'\\', QStringLiteral("\\\\"))
                          .replace(u'\t', QStringLiteral("\\t"))
                          .replace(u'\n', QStringLiteral("\\n"))
                          .replace(u'\r', QStringLiteral("\\r"));
        expected += fields.join(u'\t') + u'\n';
    }
    QCOMPARE(QString::fromUtf8(run.out), expected);
}

// An OOXML workbook under its own name: the same table as LibreOffice shows, and the same
// whether its texts are shared or inline.
void TestDumpTool::ooxmlWorkbook()
{
    const QString formats = QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data/formats/");
    const Run run = runTool(
        {QStringLiteral("--tsv"), formats + QStringLiteral("calamine__inventory-table.xlsx")});
    QCOMPARE(run.exitCode, 0);
    QFile expected(formats + QStringLiteral("expected/calamine__inventory-table.xlsx.lo.tsv"));
    QVERIFY(expected.open(QIODevice::ReadOnly));
    QCOMPARE(run.out, expected.readAll());
    const Run shared = runTool({formats + QStringLiteral("xlsxwriter__shared-strings.xlsx")});
    const Run inline_ = runTool({formats + QStringLiteral("xlsxwriter__inline-strings.xlsx")});
    QCOMPARE(shared.exitCode, 0);
    QVERIFY(shared.out.contains("\"строка 1\nвторая строка\""));
    QCOMPARE(inline_.out, shared.out);
}

void TestDumpTool::password_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("plain"); // what it decrypts to, when the folder has it

    QTest::newRow("legacy, RC4 CryptoAPI")
        << QStringLiteral("poi__password.xls") << QStringLiteral("password") << QString();
    QTest::newRow("OOXML, Agile") << QStringLiteral("ours__agile-password.xlsx")
                                  << QStringLiteral("password")
                                  << QStringLiteral("xlsxwriter__shared-strings.xlsx");
    QTest::newRow("binary OOXML, the default password given")
        << QStringLiteral("ours__agile-default-password.xlsb") << QStringLiteral("VelvetSweatshop")
        << QStringLiteral("sheetjs__results.xlsb");
}

void TestDumpTool::password()
{
    QFETCH(QString, file);
    QFETCH(QString, password);
    QFETCH(QString, plain);
    const QString formats = QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data/formats/");
    const QString option = QStringLiteral("--password");

    const Run run = runTool({option, password, formats + file});
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.endsWith('\n'));
    if (!plain.isEmpty())
        QCOMPARE(run.out, runTool({formats + plain}).out);

    for (const QString &wrong : {password + u'x', QStringLiteral("VelvetSweatshop")}) {
        if (wrong == password)
            continue;
        const Run refused = runTool({option, wrong, formats + file});
        QCOMPARE(refused.exitCode, 1);
        QCOMPARE(refused.out, QByteArray());
        QCOMPARE(refused.err, QByteArray("The workbook is password-protected.\n"));
    }
}

void TestDumpTool::missingFile()
{
    for (const QString &path : {m_dir.path() + QStringLiteral("/none.xls"), m_dir.path()}) {
        const Run run = runTool({path});
        QCOMPARE(run.exitStatus, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(run.err, QByteArray("File not found.\n"));
    }
}

// Committed files: a damaged file written a moment ago is tried again until it has settled.
void TestDumpTool::importError()
{
    const Run run = runTool({dataPath(QStringLiteral("not-a-workbook.xls"))});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.err, QByteArray("The file is not an Excel workbook.\n"));

    // An empty file is handed to the reader like any snapshot.
    QCOMPARE(runTool({dataPath(QStringLiteral("empty.xls"))}).err,
             QByteArray("The file is not an Excel workbook.\n"));
}

void TestDumpTool::lockedFile()
{
    const QString path = m_dir.path() + QStringLiteral("/locked.xls");
    QVERIFY(QFile::copy(dataPath(QStringLiteral("short.xls")), path));
    QProcess holder;
    holder.start(Writer, {QStringLiteral("flock"), path});
    QVERIFY(holder.waitForReadyRead(10000));
    QCOMPARE(holder.readLine(), QByteArray("ready\n"));

    const Run run = runTool({QStringLiteral("--retry-ms"), QStringLiteral("2"), path});
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 3);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.err, QByteArray("The workbook stayed locked by another program: gave up after "
                                 "30 attempts.\n"));

    // Released while the tool waits: read at a later attempt, no message.
    QProcess tool;
    tool.start(Tool, {QStringLiteral("--retry-ms"), QStringLiteral("50"), path});
    QVERIFY(tool.waitForStarted());
    QTest::qWait(200);
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(10000));
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(tool.readAllStandardError(), QByteArray());
    QCOMPARE(tool.readAllStandardOutput().count("\r\n"), 5);
}

// --stats: one line on standard error after the scan, for scripts that count retries.
// Each copy handed to the reader is recorded; a copy cut short is never handed over.
void TestDumpTool::copies()
{
    const QString path = m_dir.path() + QStringLiteral("/copies.xls");
    const QString list = m_dir.path() + QStringLiteral("/copies.txt");
    QFile::remove(list);
    QVERIFY(QFile::copy(dataPath(QStringLiteral("short.xls")), path));
    QByteArray whole;
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        whole = file.readAll();
    }
    const QByteArray sum = QCryptographicHash::hash(whole, QCryptographicHash::Sha256).toHex();
    for (int run = 0; run < 2; ++run)
        QCOMPARE(runTool({QStringLiteral("--copies"), list, path}).exitCode, 0);
    QFile copies(list);
    QVERIFY(copies.open(QIODevice::ReadOnly));
    QCOMPARE(copies.readAll(), sum + '\n' + sum + '\n');

    // Just cut short: torn at every attempt, so nothing read.
    QVERIFY(QFile::resize(path, whole.size() - 1));
    QCOMPARE(runTool({QStringLiteral("--copies"), list, QStringLiteral("--retry-ms"),
                      QStringLiteral("0"), path})
                 .exitCode,
             3);
    QCOMPARE(QFileInfo(list).size(), 2 * (sum.size() + 1));
}

void TestDumpTool::stats()
{
    const QString path = m_dir.path() + QStringLiteral("/stats.xls");
    QVERIFY(QFile::copy(dataPath(QStringLiteral("short.xls")), path));
    const Run read = runTool({QStringLiteral("--stats"), path});
    QCOMPARE(read.exitCode, 0);
    QCOMPARE(read.err, QByteArray("orvandel-dump: attempts 1 torn 0\n"));
    QCOMPARE(read.out, runTool({path}).out);

    QProcess holder;
    holder.start(Writer, {QStringLiteral("flock"), path});
    QVERIFY(holder.waitForReadyRead(10000));
    const Run locked = runTool(
        {QStringLiteral("--stats"), QStringLiteral("--retry-ms"), QStringLiteral("0"), path});
    QCOMPARE(locked.exitCode, 3);
    QCOMPARE(locked.err, QByteArray("orvandel-dump: attempts 30 torn 0\n"
                                    "The workbook stayed locked by another program: gave up "
                                    "after 30 attempts.\n"));
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(10000));

    // A missing file makes no attempt worth counting: the message alone.
    QCOMPARE(runTool({QStringLiteral("--stats"), m_dir.path() + QStringLiteral("/none.xls")}).err,
             QByteArray("File not found.\n"));
}

void TestDumpTool::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    const QString book = dataPath(QStringLiteral("short.xls"));
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--xml"), book};
    QTest::newRow("two workbooks") << QStringList{book, book};
    QTest::newRow("retry without number") << QStringList{book, QStringLiteral("--retry-ms")};
    QTest::newRow("retry negative")
        << QStringList{QStringLiteral("--retry-ms"), QStringLiteral("-1"), book};
    QTest::newRow("retry not a number")
        << QStringList{QStringLiteral("--retry-ms"), QStringLiteral("x"), book};
    QTest::newRow("password without text") << QStringList{book, QStringLiteral("--password")};
}

void TestDumpTool::usage()
{
    QFETCH(QStringList, arguments);
    const Run run = runTool(arguments);
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 64);
    QCOMPARE(run.out, QByteArray());
    QVERIFY(run.err.contains("--help"));
}

void TestDumpTool::help()
{
    const Run run = runTool({QStringLiteral("--help")});
    QCOMPARE(run.exitCode, 0);
    for (const char *part :
         {"--csv", "--tsv", "--retry-ms", "--stats", "--copies", "--password", "--version",
          "RFC 4180", "30 times", "300 ms", "tempfgr", "XDG_RUNTIME_DIR", "standard input",
          "regular file", "\n  0 ", "\n  1 ", "\n  2 ", "\n  3 ", "\n  64 "})
        QVERIFY2(run.out.contains(part), part);

    QVERIFY(runTool({QStringLiteral("--xml")}).err.contains("unknown option '--xml'"));
    QCOMPARE(runTool({QStringLiteral("--version")}).out,
             QByteArray("orvandel-dump " ORVANDEL_VERSION "\n"));

    // "--" ends the options: a workbook whose name starts with a dash.
    const QString dashed = m_dir.path() + QStringLiteral("/-x.xls");
    QVERIFY(QFile::copy(dataPath(QStringLiteral("short.xls")), dashed));
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QCOMPARE(runTool({QStringLiteral("--"), QStringLiteral("-x.xls")}).exitCode, 0);
}

void TestDumpTool::streams_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("dash") << QStringLiteral("-");
    QTest::newRow("a pipe's path") << QStringLiteral("/dev/stdin");
}

void TestDumpTool::streams()
{
    // Read once, at once: one attempt, and the same table as from the file.
    QFETCH(QString, path);
    const QString book = dataPath(QStringLiteral("dump-texts.xls"));
    QFile file(book);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const Run run = runTool({QStringLiteral("--stats"), path}, file.readAll());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray("orvandel-dump: attempts 1 torn 0\n"));
    QCOMPARE(run.out, runTool({book}).out);
}

void TestDumpTool::withoutAHomeDirectory_data()
{
    QTest::addColumn<int>("runtimeMode"); // 0: XDG_RUNTIME_DIR unset
    QTest::newRow("XDG_RUNTIME_DIR") << 0700;
    QTest::newRow("XDG_RUNTIME_DIR open to others") << 0755;
    QTest::newRow("temporary directory") << 0;
}

void TestDumpTool::withoutAHomeDirectory()
{
    // An ordinary user whose home does not exist, beside a program they may not write beside:
    // the private copy goes to the runtime directory, or to a new private one under the
    // temporary directory, and nothing is left behind.
    QFETCH(int, runtimeMode);
    if (::geteuid() != 0)
        QSKIP("needs root to run the tool as another user");
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty())
        QSKIP("setpriv is not installed");
    const QString root =
        m_dir.path() + QStringLiteral("/nobody-") + QLatin1StringView(QTest::currentDataTag());
    const QString runtime = root + QStringLiteral("/run");
    const QString temp = root + QStringLiteral("/tmp");
    const auto setMode = [](const QString &path, mode_t mode) {
        return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
    };
    QVERIFY(QDir().mkpath(runtime) && QDir().mkpath(temp));
    QVERIFY(setMode(m_dir.path(), 0755) && setMode(root, 0755) && setMode(temp, 01777) &&
            setMode(runtime, mode_t(runtimeMode)));
    QVERIFY(::chown(QFile::encodeName(runtime).constData(), 65534, 65534) == 0);
    const QString book = root + QStringLiteral("/results.xls");
    QVERIFY(QFile::copy(dataPath(QStringLiteral("dump-texts.xls")), book) && setMode(book, 0644));

    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    environment.insert(QStringLiteral("HOME"), QStringLiteral("/nonexistent"));
    environment.insert(QStringLiteral("TMPDIR"), temp);
    if (runtimeMode != 0)
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    const Run run = runTool({QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                             QStringLiteral("--clear-groups"), Tool, book},
                            {}, environment, setpriv);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(run.out, runTool({book}).out);
    QCOMPARE(QDir(temp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(QDir(runtime + QStringLiteral("/Orvandel")).exists(), runtimeMode == 0700);
}

void TestDumpTool::everyWorkbookOfTheCorpus()
{
    const QString root = QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data/");
    QStringList files;
    for (const QString &dir : {QStringLiteral("corpus"), QStringLiteral("fixtures")})
        for (const QString &name : QDir(root + dir).entryList({QStringLiteral("*.xls")}))
            files << root + dir + u'/' + name;
    QVERIFY(files.size() > 40);
    int tables = 0;
    for (const QString &file : files) {
        const Run run = runTool({file});
        const QByteArray what = QFileInfo(file).fileName().toUtf8();
        QVERIFY2(run.exitStatus == QProcess::NormalExit, what);
        QVERIFY2(run.exitCode == 0 || run.exitCode == 1, what + " " + run.err);
        if (run.exitCode == 0) {
            ++tables;
            QVERIFY2(run.err.isEmpty(), what);
            QVERIFY2(run.out.endsWith("\r\n"), what);
        } else {
            // One line, a sentence.
            QVERIFY2(run.out.isEmpty(), what);
            QVERIFY2(run.err.endsWith(".\n") && run.err.count('\n') == 1, what + " " + run.err);
        }
    }
    QVERIFY(tables > 30);
}

void TestDumpTool::endedMidTableLeavesNoCopy_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("the reader goes away") << int(SIGPIPE);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
}

// The tool stopped while it prints a table far longer than a pipe holds: the reader never
// reads, so the tool waits in the middle of the table with its private copy on disk; then the
// reader goes, or a signal comes.
void TestDumpTool::endedMidTableLeavesNoCopy()
{
    QFETCH(int, signal);
    using namespace xlstest;
    const QString path = m_dir.path() + QStringLiteral("/long.xls");
    if (!QFile::exists(path)) {
        QByteArray cells;
        for (int row = 0; row < 10000; ++row) {
            for (int column = 0; column < 13; ++column)
                cells += number(row, column, 1'000'000 + row * 100 + column);
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(xlsFile(simpleStream(cells))) > 0);
    }

    QProcess reader;
    QProcess tool;
    tool.setStandardOutputProcess(&reader);
    reader.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    tool.start(Tool, {QStringLiteral("--tsv"), path});
    QVERIFY(reader.waitForStarted() && tool.waitForStarted());
    const QString copy = QStringLiteral(ORVANDEL_BIN_DIR "/tempfgr%1.xls").arg(tool.processId());
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(copy) && clock.elapsed() < 20000)
        QThread::msleep(5);
    QVERIFY2(QFile::exists(copy), "the tool never wrote its copy");

    if (signal == SIGPIPE) {
        reader.kill();
        QVERIFY(reader.waitForFinished());
    } else {
        ::kill(pid_t(tool.processId()), signal);
    }
    QVERIFY(tool.waitForFinished(20000));
    // Ended by the signal itself, as the shell expects of a program in a pipe.
    QCOMPARE(tool.exitStatus(), QProcess::CrashExit);
    QCOMPARE(tool.exitCode(), signal);
    QVERIFY(!QFile::exists(copy));
    reader.kill();
    reader.waitForFinished();
}

QTEST_GUILESS_MAIN(TestDumpTool)
#include "tst_dumptool.moc"
