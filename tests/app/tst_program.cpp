#include "app/core/SettingsFile.h"
#include "app/core/WindowSettings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

// The real executable, copied into a directory of its own: it finds its directory through the
// kernel, not its command line, and a terminating signal closes it like its close button.
class TestProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void closesOnSignalAndSavesBesideItself();
    void secondSignalEndsAHeldClose();
    void helpAndVersion_data();
    void helpAndVersion();

private:
    static bool catchesSigterm(qint64 pid);
    // Started, with its signal handlers in place.
    static bool becomesReady(QProcess &viewer);
};

void TestProgram::helpAndVersion_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QByteArrayList>("says");
    const QByteArrayList usage{"Usage: Orvandel [WORKBOOK [WINDOW]]", "Bellquor.xls",
                               "Orvandel.conf", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"};
    QTest::newRow("--help") << QStringLiteral("--help") << usage;
    QTest::newRow("-h") << QStringLiteral("-h") << usage;
    QTest::newRow("--version") << QStringLiteral("--version")
                               << QByteArrayList{"Orvandel " ORVANDEL_VERSION "\n"};
}

void TestProgram::helpAndVersion()
{
    // Printed and done, with no display to open a window on.
    QFETCH(QString, argument);
    QFETCH(QByteArrayList, says);
    QProcess viewer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    viewer.setProcessEnvironment(environment);
    viewer.start(QStringLiteral(ORVANDEL_BIN_DIR "/Orvandel"), {argument});
    QVERIFY(viewer.waitForFinished(10000));
    QCOMPARE(viewer.exitCode(), 0);
    const QByteArray out = viewer.readAllStandardOutput();
    for (const QByteArray &part : says)
        QVERIFY2(out.contains(part), part.constData());
}

bool TestProgram::becomesReady(QProcess &viewer)
{
    if (!viewer.waitForStarted(10000))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (!catchesSigterm(viewer.processId()) && clock.elapsed() < 20000)
        QTest::qWait(20);
    return catchesSigterm(viewer.processId());
}

bool TestProgram::catchesSigterm(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    }
    return false;
}

void TestProgram::closesOnSignalAndSavesBesideItself()
{
    QTemporaryDir root;
    const QString appDir = root.path() + QStringLiteral("/dir with blanks/");
    QVERIFY(QDir().mkpath(appDir));
    const QString program = appDir + QStringLiteral("Orvandel");
    QVERIFY(QFile::copy(QStringLiteral(ORVANDEL_BIN_DIR "/Orvandel"), program));
    WindowSettings settings;
    settings.Interval = 333;
    writeSettingsFile(settingsFileName(appDir), settings);

    QProcess viewer;
    viewer.setWorkingDirectory(root.path()); // not the program's directory
    viewer.setProcessChannelMode(QProcess::ForwardedChannels);
    // An empty argument is dropped; the third parameter is not a number and is ignored.
    viewer.start(program,
                 {QString(), root.path() + QStringLiteral("/absent.xls"), QStringLiteral("0x10")});
    QVERIFY2(becomesReady(viewer), "the viewer never got ready");

    QVERIFY(QFile::remove(settingsFileName(appDir)));
    ::kill(pid_t(viewer.processId()), SIGTERM);
    QVERIFY(viewer.waitForFinished(20000));
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 0);

    // The settings it loaded at start came back beside the executable at close.
    const SettingsReadResult saved = readSettingsFile(settingsFileName(appDir));
    QCOMPARE(saved.status, SettingsReadResult::Status::Loaded);
    QCOMPARE(saved.settings.Interval, 333);
    QVERIFY(!QFile::exists(root.path() + QStringLiteral("/Orvandel.conf")));
}

// The close held up by an error box (the settings file cannot be replaced): the first signal
// only asks for the close, the second ends the program there, and the settings file is still
// the old one, whole.
void TestProgram::secondSignalEndsAHeldClose()
{
    QTemporaryDir appDir;
    const QString program = appDir.filePath(QStringLiteral("Orvandel"));
    QVERIFY(QFile::copy(QStringLiteral(ORVANDEL_BIN_DIR "/Orvandel"), program));
    WindowSettings settings;
    settings.Interval = 444;
    const QString settingsFile = settingsFileName(appDir.path() + u'/');
    writeSettingsFile(settingsFile, settings);

    QProcess viewer;
    viewer.setProcessChannelMode(QProcess::ForwardedChannels);
    viewer.start(program, {appDir.filePath(QStringLiteral("absent.xls"))});
    QVERIFY2(becomesReady(viewer), "the viewer never got ready");
    // Where the new settings file would be written there is a directory: "File access denied."
    const QString newFile = settingsFile + QStringLiteral(".%1.new").arg(viewer.processId());
    QVERIFY(QDir().mkdir(newFile));

    ::kill(pid_t(viewer.processId()), SIGTERM);
    QVERIFY2(!viewer.waitForFinished(500), "the box at close must hold the first signal's close");
    ::kill(pid_t(viewer.processId()), SIGTERM);
    QVERIFY(viewer.waitForFinished(10000));
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 128 + SIGTERM);

    const SettingsReadResult kept = readSettingsFile(settingsFile);
    QCOMPARE(kept.status, SettingsReadResult::Status::Loaded);
    QCOMPARE(kept.settings.Interval, 444);
    QCOMPARE(QDir(appDir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("Orvandel"), QStringLiteral("Orvandel.conf"),
                          QFileInfo(newFile).fileName()}));
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
