#include "app/UnitOrvandel.h"
#include "app/core/SettingsFile.h"
#include "platform/x11/ParentNotifier.h"
#include "tests/support/ViewerHarness.h"
#include "tests/support/XvfbServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

// Runs on its own X server: the notification is an X11 client message to another client.
class TestParentNotifier : public QObject
{
    Q_OBJECT

public:
    explicit TestParentNotifier(QString xvfbError)
        : m_xvfbError(std::move(xvfbError))
    {
    }

private Q_SLOTS:
    void init();
    void messageReachesTheWindow();
    void broadcastReachesTopLevelWindows();
    void deadWindowIsIgnoredAtOnce();
    void zeroSendsNothing();
    void stoppedReceiverDoesNotHoldTheClose();
    void withoutX11NothingHappens();
    void formSavesThenNotifies();
    void formWithDeadOrNoWindowClosesAtOnce_data();
    void formWithDeadOrNoWindowClosesAtOnce();

private:
    struct Receiver
    {
        std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
        quint32 window = 0;
    };
    Receiver startReceiver(const QString &watchedFile = {},
                           const QProcessEnvironment &environment = {});
    std::unique_ptr<TForm1> makeForm(const QTemporaryDir &dir, const QString &handle);
    QStringList finish(Receiver &receiver);

    QString m_xvfbError;
};

void TestParentNotifier::init()
{
    if (!m_xvfbError.isEmpty() &&
        QTest::currentTestFunction() != QByteArray("withoutX11NothingHappens"))
        QSKIP(qPrintable(QStringLiteral("no X server for this test: ") + m_xvfbError));
}

TestParentNotifier::Receiver
TestParentNotifier::startReceiver(const QString &watchedFile,
                                  const QProcessEnvironment &environment)
{
    Receiver r;
    if (!environment.isEmpty())
        r.process->setProcessEnvironment(environment);
    r.process->start(QStringLiteral(ORVANDEL_TEST_HELPER_DIR "/xreceiver"),
                     watchedFile.isEmpty() ? QStringList() : QStringList{watchedFile});
    if (!r.process->waitForStarted(20000))
        return r;
    while (!r.process->canReadLine() && r.process->waitForReadyRead(20000)) {
    }
    const QByteArray line = r.process->readLine().trimmed();
    if (line.startsWith("window "))
        r.window = line.mid(7).toUInt();
    return r;
}

QStringList TestParentNotifier::finish(Receiver &receiver)
{
    receiver.process->closeWriteChannel();
    receiver.process->waitForFinished(5000);
    QStringList lines;
    for (const QByteArray &line : receiver.process->readAll().split('\n')) {
        if (!line.isEmpty())
            lines << QString::fromLatin1(line);
    }
    return lines;
}

void TestParentNotifier::messageReachesTheWindow()
{
    Receiver receiver = startReceiver();
    QVERIFY(receiver.window != 0);
    notifyParentWindow(receiver.window);
    QCOMPARE(finish(receiver),
             (QStringList{QStringLiteral("message WM_VIEWER_CLOSED 32 1031 0 0 0 0 file -1"),
                          QStringLiteral("done 1")}));
}

void TestParentNotifier::broadcastReachesTopLevelWindows()
{
    Receiver first = startReceiver();
    Receiver second = startReceiver();
    QVERIFY(first.window != 0 && second.window != 0);
    notifyParentWindow(BroadcastWindow);
    const QString expected = QStringLiteral("message WM_VIEWER_CLOSED 32 1031 0 0 0 0 file -1");
    QCOMPARE(finish(first), (QStringList{expected, QStringLiteral("done 1")}));
    QCOMPARE(finish(second), (QStringList{expected, QStringLiteral("done 1")}));
}

void TestParentNotifier::deadWindowIsIgnoredAtOnce()
{
    Receiver receiver = startReceiver();
    QVERIFY(receiver.window != 0);
    QElapsedTimer clock;
    clock.start();
    notifyParentWindow(0x3FFFFFF0u);            // never allocated
    notifyParentWindow(receiver.window + 1000); // in the receiver's range, not created
    QVERIFY2(clock.elapsed() < 1000, "a missing window must not delay the close");
    QCoreApplication::processEvents(); // an X error must not reach Qt
    QCOMPARE(finish(receiver), QStringList{QStringLiteral("done 0")});
}

void TestParentNotifier::zeroSendsNothing()
{
    Receiver receiver = startReceiver();
    QVERIFY(receiver.window != 0);
    notifyParentWindow(0);
    QCOMPARE(finish(receiver), QStringList{QStringLiteral("done 0")});
}

// A parent that has stopped reading its events (here: stopped outright) while thousands of
// messages queue up for it: neither the messages nor the viewer's close wait for it, the
// settings are saved, and every message is there when the parent reads again.
void TestParentNotifier::stoppedReceiverDoesNotHoldTheClose()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XRECEIVER_WAIT_MS"), QStringLiteral("120000"));
    Receiver receiver = startReceiver({}, environment);
    QVERIFY(receiver.window != 0);
    const pid_t pid = pid_t(receiver.process->processId());
    QCOMPARE(::kill(pid, SIGSTOP), 0);
    struct Resume
    {
        pid_t pid;
        ~Resume() { ::kill(pid, SIGCONT); }
    } resume{pid};

    constexpr int Flood = 5000;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < Flood; ++i)
        notifyParentWindow(receiver.window);
    const qint64 flooded = clock.elapsed();
    QVERIFY2(flooded < 20000, qPrintable(QStringLiteral("%1 ms for the flood").arg(flooded)));

    QTemporaryDir dir;
    const QString app = dir.path() + u'/';
    const QString watched = dir.filePath(QStringLiteral("results.xls"));
    QVERIFY(viewertest::writeWhole(watched, viewertest::resultsWorkbook(1, 4)));
    viewertest::Viewer viewer(app, watched, {QString::number(receiver.window)});
    QCOMPARE(viewer.form->context().NotifyWindow, qint32(receiver.window));
    viewer.scan();
    QVERIFY(viewertest::tableIsVersion(viewer.grid(), 1, 4));
    viewer.form->show();
    clock.restart();
    QVERIFY(viewer.form->close());
    QVERIFY2(clock.elapsed() < 1000,
             qPrintable(QStringLiteral("the close took %1 ms").arg(clock.elapsed())));
    QCOMPARE(viewer.errors, QStringList());
    QCOMPARE(readSettingsFile(settingsFileName(app)).status, SettingsReadResult::Status::Loaded);

    QCOMPARE(::kill(pid, SIGCONT), 0);
    const QStringList lines = finish(receiver);
    QCOMPARE(lines.size(), Flood + 2);
    QCOMPARE(lines.last(), QStringLiteral("done %1").arg(Flood + 1));
    QCOMPARE(lines.at(Flood), QStringLiteral("message WM_VIEWER_CLOSED 32 1031 0 0 0 0 file -1"));
}

void TestParentNotifier::withoutX11NothingHappens()
{
    if (m_xvfbError.isEmpty())
        QSKIP("runs only when the application is not on X11");
    notifyParentWindow(12345); // must return quietly
}

std::unique_ptr<TForm1> TestParentNotifier::makeForm(const QTemporaryDir &dir,
                                                     const QString &handle)
{
    const QString appDir = dir.path() + u'/';
    writeSettingsFile(settingsFileName(appDir), WindowSettings{});
    FormEnvironment environment;
    environment.arguments = {appDir + QStringLiteral("Orvandel"),
                             appDir + QStringLiteral("none.xls"), handle};
    environment.appDir = appDir;
    environment.tickCount = [] {
        return 1000u;
    };
    environment.notice = [](const QString &) {
    };
    environment.errorPresenter = [](const QString &, const QString &text) {
        QFAIL(qPrintable(text));
    };
    auto form = std::make_unique<TForm1>(std::move(environment));
    form->show();
    return form;
}

void TestParentNotifier::formSavesThenNotifies()
{
    QTemporaryDir dir;
    const QString settings = settingsFileName(dir.path() + u'/');
    Receiver receiver = startReceiver(settings);
    QVERIFY(receiver.window != 0);
    const auto form = makeForm(dir, QString::number(receiver.window));
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    // Written anew by the close: the receiver sees the whole file when the message arrives.
    QVERIFY(QFile::remove(settings));
    QVERIFY(form->close());
    QCOMPARE(finish(receiver),
             (QStringList{QStringLiteral("message WM_VIEWER_CLOSED 32 1031 0 0 0 0 file 25"),
                          QStringLiteral("done 1")}));
}

void TestParentNotifier::formWithDeadOrNoWindowClosesAtOnce_data()
{
    QTest::addColumn<QString>("handle");
    QTest::newRow("zero") << QStringLiteral("0");
    QTest::newRow("dead") << QString::number(0x3FFFFFF0);
    QTest::newRow("not a number") << QStringLiteral("0x10");
}

void TestParentNotifier::formWithDeadOrNoWindowClosesAtOnce()
{
    QFETCH(QString, handle);
    QTemporaryDir dir;
    Receiver receiver = startReceiver();
    QVERIFY(receiver.window != 0);
    const auto form = makeForm(dir, handle);
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(form->close());
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(finish(receiver), QStringList{QStringLiteral("done 0")});
}

// Run twice: with Qt on the X server, and with Qt offscreen (as on a Wayland desktop) and the
// X server reachable through DISPLAY only (ORVANDEL_TEST_QT_PLATFORM=offscreen).
int main(int argc, char **argv)
{
    XvfbServer server;
    if (!server.display().isEmpty()) {
        qputenv("DISPLAY", server.display().toLocal8Bit());
        const QByteArray platform = qgetenv("ORVANDEL_TEST_QT_PLATFORM");
        qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("xcb") : platform);
    }
    QApplication application(argc, argv);
    TestParentNotifier test(server.error());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_parentnotifier.moc"
