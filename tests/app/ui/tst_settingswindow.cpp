#include "app/core/SettingsFile.h"
#include "app/ui/LoadSaveSettings.h"
#include "app/ui/NoticeDialog.h"
#include "app/ui/WindowPlacement.h"
#include "platform/ExecutablePath.h"
#include "tests/support/ThrownInOutError.h"
#include "util/ReportText.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

Q_DECLARE_METATYPE(WindowSettings)

namespace {

// A stand-in for the main window: a top-level widget at the built-in place with the interval
// spin edit and the placement watcher, as the window class holds them.
class ViewerWindow
{
public:
    ViewerWindow()
    {
        widget.move(294, 152);
        widget.resize(661, 472);
        spinUpdate.setRange(10, 1000);
        spinUpdate.setValue(20);
    }

    QRect frame() const { return widget.frameGeometry(); }

    QWidget widget;
    QSpinBox spinUpdate{&widget};
    WindowPlacement placement{widget};
};

QString dirPath(const QTemporaryDir &dir)
{
    return dir.path() + u'/';
}

void writeRecord(const QTemporaryDir &dir, const WindowSettings &settings)
{
    const WindowSettingsRecord record = encodeWindowSettings(settings);
    QFile file(settingsFileName(dirPath(dir)));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(reinterpret_cast<const char *>(record.data()), qsizetype(record.size()));
}

WindowSettings readRecord(const QTemporaryDir &dir)
{
    const SettingsReadResult read = readSettingsFile(settingsFileName(dirPath(dir)));
    return read.status == SettingsReadResult::Status::Loaded ? read.settings : WindowSettings{};
}

// A notice sink for the cases that must not show one.
void noNotice(const QString &text)
{
    QFAIL(qPrintable(QStringLiteral("unexpected notice: ") + text));
}

void showAndWait(QWidget &widget)
{
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
}

QRect rectOf(const WindowSettings &settings)
{
    return {settings.Left, settings.Top, settings.Width, settings.Height};
}

// An X server of our own without a window manager, for as long as the object lives.
class XServer
{
public:
    XServer()
    {
        // -displayfd picks a free display and reports it once clients can connect.
        m_process.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                 QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                                 QStringLiteral("-screen"), QStringLiteral("0"),
                                                 QStringLiteral("1280x1024x24")});
        if (!m_process.waitForStarted(5000))
            return;
        QByteArray output;
        while (!output.contains('\n') && m_process.waitForReadyRead(10000))
            output += m_process.readAllStandardOutput();
        bool ok = false;
        const int number = output.trimmed().toInt(&ok);
        if (ok)
            m_display = u':' + QString::number(number);
    }
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;
    ~XServer()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

    // Empty when the server did not come up.
    const QString &display() const { return m_display; }
    QString errors()
    {
        return m_process.errorString() + u' ' +
               QString::fromLocal8Bit(m_process.readAllStandardError());
    }

private:
    QProcess m_process;
    QString m_display;
};

} // namespace

// Settings through a real window: placement, state and interval from and to the file.
class TestSettingsWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void roundTrip();
    void roundTripUnderXServer();
    void maximizedRoundTrip();
    void minimizedSavesStateBefore_data();
    void minimizedSavesStateBefore();
    void intervalIsClamped_data();
    void intervalIsClamped();
    void offScreenRectangle_data();
    void offScreenRectangle();
    void offScreenWindowKeepsSizeAndState();
    void extremeRecordsOpen_data();
    void extremeRecordsOpen();
    void noticeKeepsDefaults_data();
    void noticeKeepsDefaults();
    void shortFileRaisesAndKeepsDefaults();
    void failedSaveKeepsOldFile();
    void noticeDialog();
};

void TestSettingsWindow::initTestCase()
{
    // Set when this binary runs itself under an X server: make sure it really does.
    const QByteArray expected = qgetenv("ORVANDEL_EXPECT_PLATFORM");
    if (!expected.isEmpty())
        QCOMPARE(QGuiApplication::platformName(), QString::fromLatin1(expected));
}

void TestSettingsWindow::roundTrip()
{
    QTemporaryDir first;
    const WindowSettings stored{100, 90, 300, 400, 0, 37};
    writeRecord(first, stored);

    ViewerWindow opened;
    LoadSettings(opened.placement, opened.spinUpdate, dirPath(first), noNotice);
    showAndWait(opened.widget);
    QTRY_COMPARE(opened.frame(), rectOf(stored));
    QCOMPARE(opened.spinUpdate.value(), 37);

    // What the user does during the run is what the next run gets. Frame and client area
    // differ where the platform draws a frame: the file holds the frame.
    opened.widget.move(150, 120);
    opened.widget.resize(420, 310);
    opened.spinUpdate.setValue(55);
    QTRY_COMPARE(opened.widget.geometry().size(), QSize(420, 310));
    QTRY_COMPARE(opened.frame().topLeft(), QPoint(150, 120));
    const QRect after = opened.frame();
    QTemporaryDir second;
    SaveSettings(opened.placement, opened.spinUpdate, dirPath(second));
    const WindowSettings saved{150, 120, after.height(), after.width(), 0, 55};
    QVERIFY(readRecord(second) == saved);

    ViewerWindow next;
    LoadSettings(next.placement, next.spinUpdate, dirPath(second), noNotice);
    showAndWait(next.widget);
    QTRY_COMPARE(next.frame(), rectOf(saved));
    QCOMPARE(next.spinUpdate.value(), 55);
    QVERIFY(!next.widget.isMaximized());
    QTemporaryDir third;
    SaveSettings(next.placement, next.spinUpdate, dirPath(third));
    QVERIFY(readRecord(third) == saved);
}

void TestSettingsWindow::roundTripUnderXServer()
{
    if (!qEnvironmentVariableIsEmpty("ORVANDEL_EXPECT_PLATFORM"))
        QSKIP("already running under the X server");
    XServer server;
    if (server.display().isEmpty())
        QSKIP(qPrintable(QStringLiteral("Xvfb could not be started: ") + server.errors()));

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), server.display());
    environment.insert(QStringLiteral("ORVANDEL_EXPECT_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("XAUTHORITY"));
    // The sanitizer build's options, with the system libraries' leak suppressions that the
    // X11 platform needs, come with the inherited environment.
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    // Every case of this file again, now on the X server; this one skips itself there.
    child.start(QCoreApplication::applicationFilePath(), QStringList{});
    QVERIFY(child.waitForFinished(120000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        QFAIL(qPrintable(QStringLiteral("under X:\n") + output));
}

void TestSettingsWindow::maximizedRoundTrip()
{
    QTemporaryDir first;
    writeRecord(first, {120, 100, 300, 400, 2, 20});
    ViewerWindow opened;
    LoadSettings(opened.placement, opened.spinUpdate, dirPath(first), noNotice);
    showAndWait(opened.widget);
    QTRY_VERIFY(opened.widget.isMaximized());
    const QRect maximized = opened.frame();

    // The maximised outer rectangle is what is saved, with the state.
    QTemporaryDir second;
    SaveSettings(opened.placement, opened.spinUpdate, dirPath(second));
    const WindowSettings saved = readRecord(second);
    QCOMPARE(saved.WindowState, WindowSettings::Maximized);
    QCOMPARE(rectOf(saved), maximized);

    ViewerWindow next;
    LoadSettings(next.placement, next.spinUpdate, dirPath(second), noNotice);
    showAndWait(next.widget);
    QTRY_VERIFY(next.widget.isMaximized());
    QCOMPARE(next.frame(), maximized);
    // Restored, it has the stored outer size, frame included.
    next.widget.showNormal();
    QTRY_VERIFY(!next.widget.isMaximized());
    QTRY_COMPARE(next.frame(), maximized);
}

void TestSettingsWindow::minimizedSavesStateBefore_data()
{
    QTest::addColumn<bool>("maximizeFirst");
    QTest::newRow("normal") << false;
    QTest::newRow("maximised") << true;
}

void TestSettingsWindow::minimizedSavesStateBefore()
{
    QFETCH(bool, maximizeFirst);
    ViewerWindow window;
    window.widget.setGeometry(130, 110, 500, 350);
    showAndWait(window.widget);
    if (maximizeFirst) {
        window.widget.showMaximized();
        QTRY_VERIFY(window.widget.isMaximized());
    }
    QTRY_VERIFY(window.frame().isValid());
    const QRect before = window.frame();

    window.widget.showMinimized();
    QTRY_VERIFY(window.widget.isMinimized());
    QTemporaryDir dir;
    SaveSettings(window.placement, window.spinUpdate, dirPath(dir));
    const WindowSettings saved = readRecord(dir);
    QCOMPARE(saved.WindowState, maximizeFirst ? WindowSettings::Maximized : WindowSettings::Normal);
    QCOMPARE(rectOf(saved), before);
}

void TestSettingsWindow::intervalIsClamped_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("taken");
    QTest::newRow("5") << 5 << 10;
    QTest::newRow("10") << 10 << 10;
    QTest::newRow("1000") << 1000 << 1000;
    QTest::newRow("5000") << 5000 << 1000;
    QTest::newRow("negative") << -7 << 10;
    QTest::newRow("largest") << 2147483647 << 1000;
}

void TestSettingsWindow::intervalIsClamped()
{
    QFETCH(int, stored);
    QFETCH(int, taken);
    QTemporaryDir dir;
    writeRecord(dir, {294, 152, 472, 661, 0, stored});
    ViewerWindow window;
    LoadSettings(window.placement, window.spinUpdate, dirPath(dir), noNotice);
    QCOMPARE(window.spinUpdate.value(), taken);
}

void TestSettingsWindow::offScreenRectangle_data()
{
    QTest::addColumn<WindowSettings>("stored");
    QTest::addColumn<QList<QRect>>("screens");
    QTest::addColumn<QList<QRect>>("areas");
    QTest::addColumn<QPoint>("placed");
    QTest::addColumn<QSize>("size");
    // A task bar takes the bottom 40 pixels of the first screen.
    const QList<QRect> oneScreen{{0, 0, 1920, 1080}};
    const QList<QRect> one{{0, 0, 1920, 1040}};
    const QList<QRect> twoScreens{{0, 0, 1920, 1080}, {1920, -200, 1280, 1024}};
    const QList<QRect> two{{0, 0, 1920, 1040}, {1920, -200, 1280, 1024}};
    const QPoint layout(294, 152);
    const auto at = [](int left, int top, int width, int height) {
        return WindowSettings{left, top, height, width, 0, 20};
    };
    const auto row = [&](const char *name, const WindowSettings &stored, bool second,
                         const QPoint &placed, const QSize &size) {
        QTest::newRow(name) << stored << (second ? twoScreens : oneScreen) << (second ? two : one)
                            << placed << size;
    };
    row("inside", at(100, 100, 600, 400), false, {100, 100}, {600, 400});
    row("one pixel in, left", at(-599, 10, 600, 400), false, {-599, 10}, {600, 400});
    row("touching, left", at(-600, 10, 600, 400), false, layout, {600, 400});
    row("one pixel in, bottom", at(10, 1039, 600, 400), false, {10, 1039}, {600, 400});
    row("on the task bar only", at(10, 1040, 600, 400), false, layout, {600, 400});
    row("unplugged monitor", at(2000, 100, 600, 400), false, layout, {600, 400});
    row("second monitor", at(2000, -150, 600, 400), true, {2000, -150}, {600, 400});
    row("between monitors, above", at(500, -500, 600, 400), true, layout, {600, 400});
    row("whole first screen", at(0, 0, 1920, 1080), false, {0, 0}, {1920, 1080});
    row("wider than all screens", at(-10, 0, 5000, 5000), true, {-10, 0}, {3200, 1280});
    row("empty size at a visible corner", at(100, 100, 0, -5), false, {100, 100}, {1, 1});
    // Left + width passes 2^31: the check must not wrap around onto the screen.
    row("near the 32-bit limit", at(2147483000, 2147483000, 2147483647, 2147483647), false, layout,
        {1920, 1080});
    // Limited to the screen first, the rectangle no longer reaches it.
    row("from the far negative end", at(-2147483000, 0, 2147483647, 2147483647), false, layout,
        {1920, 1080});
    row("least values", at(-2147483647 - 1, -2147483647 - 1, -2147483647 - 1, -2147483647 - 1),
        false, layout, {1, 1});
    QTest::newRow("no screens") << at(100, 100, 600, 400) << QList<QRect>{} << QList<QRect>{}
                                << layout << QSize(600, 400);
}

void TestSettingsWindow::offScreenRectangle()
{
    QFETCH(WindowSettings, stored);
    QFETCH(QList<QRect>, screens);
    QFETCH(QList<QRect>, areas);
    QFETCH(QPoint, placed);
    QFETCH(QSize, size);
    const WindowPlacement::Frame frame = WindowPlacement::placed(stored, screens, areas);
    QCOMPARE(frame.topLeft, placed);
    QCOMPARE(frame.size, size);
}

void TestSettingsWindow::offScreenWindowKeepsSizeAndState()
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QTemporaryDir dir;
    writeRecord(dir, {screen.right() + 50, screen.top() + 10, 333, 444, 0, 20});
    ViewerWindow window;
    LoadSettings(window.placement, window.spinUpdate, dirPath(dir), noNotice);
    showAndWait(window.widget);
    QTRY_COMPARE(window.frame(), QRect(294, 152, 444, 333));

    // Partly visible: as stored.
    writeRecord(dir, {screen.right() - 20, screen.top() + 10, 333, 444, 0, 20});
    ViewerWindow partly;
    LoadSettings(partly.placement, partly.spinUpdate, dirPath(dir), noNotice);
    showAndWait(partly.widget);
    QTRY_COMPARE(partly.frame(), QRect(screen.right() - 20, screen.top() + 10, 444, 333));

    writeRecord(dir, {-5000, -5000, 333, 444, 2, 20});
    ViewerWindow maximized;
    LoadSettings(maximized.placement, maximized.spinUpdate, dirPath(dir), noNotice);
    QVERIFY(maximized.widget.windowState().testFlag(Qt::WindowMaximized));
    QCOMPARE(maximized.widget.pos(), QPoint(294, 152));
}

void TestSettingsWindow::extremeRecordsOpen_data()
{
    QTest::addColumn<WindowSettings>("stored");
    const std::int32_t least = -2147483647 - 1;
    const std::int32_t most = 2147483647;
    QTest::newRow("largest") << WindowSettings{most, most, most, most, 0, most};
    QTest::newRow("least") << WindowSettings{least, least, least, least, 1, least};
    QTest::newRow("huge and visible") << WindowSettings{0, 0, most, most, 2, 20};
    QTest::newRow("empty") << WindowSettings{10, 10, 0, 0, 0, 20};
}

void TestSettingsWindow::extremeRecordsOpen()
{
    // Whatever the file holds, the window opens and can be saved again.
    QFETCH(WindowSettings, stored);
    QTemporaryDir dir;
    writeRecord(dir, stored);
    ViewerWindow window;
    LoadSettings(window.placement, window.spinUpdate, dirPath(dir), noNotice);
    window.widget.show();
    QTest::qWait(20);
    SaveSettings(window.placement, window.spinUpdate, dirPath(dir));
    QCOMPARE(readSettingsFile(settingsFileName(dirPath(dir))).status,
             SettingsReadResult::Status::Loaded);
}

void TestSettingsWindow::noticeKeepsDefaults_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("notice");
    QTest::newRow("not found") << false
                               << QStringLiteral("Не найден файл конфигурации.\r\n"
                                                 "Будут приняты установки по умолчанию.");
    QTest::newRow("damaged") << true
                             << QStringLiteral("Файл конфигурации поврежден.\r\n"
                                               "Будут приняты установки по умолчанию.");
}

void TestSettingsWindow::noticeKeepsDefaults()
{
    QFETCH(bool, present);
    QFETCH(QString, notice);
    QTemporaryDir dir;
    if (present) {
        WindowSettingsRecord record = encodeWindowSettings({10, 10, 200, 200, 2, 500});
        record[WindowSettingsLayout::Interval] ^= 1;
        QFile file(settingsFileName(dirPath(dir)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char *>(record.data()), qsizetype(record.size()));
    }
    ViewerWindow window;
    QStringList notices;
    LoadSettings(window.placement, window.spinUpdate, dirPath(dir),
                 [&](const QString &text) { notices.append(text); });
    QCOMPARE(notices, QStringList{notice});
    QCOMPARE(window.frame(), QRect(294, 152, 661, 472));
    QCOMPARE(window.widget.windowState(), Qt::WindowNoState);
    QCOMPARE(window.spinUpdate.value(), 20);
}

void TestSettingsWindow::shortFileRaisesAndKeepsDefaults()
{
    QTemporaryDir dir;
    QFile file(settingsFileName(dirPath(dir)));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const WindowSettingsRecord record = encodeWindowSettings({10, 10, 200, 200, 2, 500});
    file.write(reinterpret_cast<const char *>(record.data()), 24);
    file.close();

    ViewerWindow window;
    QCOMPARE(thrownInOutError([&] {
                 LoadSettings(window.placement, window.spinUpdate, dirPath(dir), noNotice);
             }),
             std::pair(100, QStringLiteral("Read beyond end of file")));
    QCOMPARE(window.frame(), QRect(294, 152, 661, 472));
    QCOMPARE(window.spinUpdate.value(), 20);
}

void TestSettingsWindow::failedSaveKeepsOldFile()
{
    // The settings file's place is taken by a directory, so the replacing rename fails.
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Orvandel.conf")));
    ViewerWindow window;
    QCOMPARE(
        thrownInOutError([&] { SaveSettings(window.placement, window.spinUpdate, dirPath(dir)); }),
        std::pair(5, QStringLiteral("File access denied")));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("Orvandel.conf")});
}

void TestSettingsWindow::noticeDialog()
{
    const QString text = SettingsNotFoundNotice.toString();
    bool inspected = false;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        inspected = true;
        // Inspected before the box closes; a failure here still lets the test go on.
        const auto check = [&](bool condition, const char *what) {
            if (!condition)
                qWarning("notice dialog: %s", what);
            inspected = inspected && condition;
        };
        check(box->windowTitle() == applicationTitle(executablePath()), "caption");
        // The first character keeps its case.
        check(box->windowTitle() == QStringLiteral("tst_settingswindow"), "title rule");
        check(box->icon() == QMessageBox::NoIcon, "icon");
        check(box->buttons().size() == 1 && box->standardButtons() == QMessageBox::Ok, "buttons");
        check(box->text() == text, "text");
        check(box->isModal(), "modal");
        // An X server places the box on its own time.
        check(QTest::qWaitForWindowExposed(box), "shown");
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        check(QTest::qWaitFor([&] { return box->frameGeometry().center() == centre; }, 2000),
              "centred");
        // CR LF shows as a line break, as LF alone does, with nothing drawn for the CR.
        QMessageBox lf(QMessageBox::NoIcon, box->windowTitle(),
                       QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                       QMessageBox::Ok);
        const auto labelSize = [](const QMessageBox &of) {
            const auto *label = of.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            return label ? label->sizeHint() : QSize();
        };
        check(labelSize(*box).isValid() && labelSize(*box) == labelSize(lf), "two lines");
        box->button(QMessageBox::Ok)->click();
    });
    showNotice(text);
    QVERIFY(inspected);
}

QTEST_MAIN(TestSettingsWindow)
#include "tst_settingswindow.moc"
