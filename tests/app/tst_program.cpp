#include "app/core/SettingsFile.h"
#include "app/core/WindowSettings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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

private:
    static bool catchesSigterm(qint64 pid);
};

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
    QVERIFY(viewer.waitForStarted(10000));
    QElapsedTimer clock;
    clock.start();
    while (!catchesSigterm(viewer.processId()) && clock.elapsed() < 20000)
        QTest::qWait(20);
    QVERIFY2(catchesSigterm(viewer.processId()), "the viewer never got ready");

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

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
