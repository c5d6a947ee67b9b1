#include "app/core/ResultImport.h"
#include "app/core/SettingsFile.h"
#include "tests/support/ViewerHarness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstring>
#include <functional>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace viewertest;

// The viewer against a hostile machine: a disk that fills, its own directory removed, the
// watched file and the settings file turned into things that are no regular file. Each case
// ends with a clear error or the quiet behaviour the scan promises, with the table and the
// user's files intact and no private copy left behind.
class TestFaultInjection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void diskFillsOnSmallFileSystem();
    void diskFillsAtFileSizeLimit();
    void applicationDirectoryRemoved();
    void watchedFileBecomesDirectory();
    void watchedFileBecomesSymlinkLoop();
    void watchedFileBecomesFifo();
    void settingsFileIsDirectory();
    void temporaryNameTakenBySymlink();

private:
    // A viewer in m_app that has imported version 1 (5 rows) of the watched file.
    std::unique_ptr<Viewer> viewerWithTable();
    // Runs the case through `scan`, which makes one scan of a workbook that does not fit.
    void diskFills(const std::function<void(Viewer &)> &scan);
    void checkTableKept(Viewer &viewer);

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_app;     // the application directory, ending in "/"
    QString m_watched; // the workbook, outside the application directory
    QByteArray m_small;
};

void TestFaultInjection::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    m_app = m_root->filePath(QStringLiteral("app")) + u'/';
    QVERIFY(QDir().mkpath(m_app));
    m_watched = m_root->filePath(QStringLiteral("results.xls"));
    m_small = resultsWorkbook(1, 5);
    QVERIFY(writeWhole(m_watched, m_small));
}

std::unique_ptr<Viewer> TestFaultInjection::viewerWithTable()
{
    auto viewer = std::make_unique<Viewer>(m_app, m_watched);
    viewer->scan();
    if (!viewer->errors.isEmpty() || !tableIsVersion(viewer->grid(), 1, 5))
        return nullptr;
    return viewer;
}

void TestFaultInjection::checkTableKept(Viewer &viewer)
{
    QVERIFY(tableIsVersion(viewer.grid(), 1, 5));
    QCOMPARE(temporaryCopies(m_app), QStringList());
}

// The copy of a workbook too large for the space left: "Disk full", the table as it was, the
// partial copy removed, the watched file untouched; once the file fits again, imports resume.
void TestFaultInjection::diskFills(const std::function<void(Viewer &)> &scan)
{
    const auto viewer = viewerWithTable();
    QVERIFY(viewer);
    const QByteArray large = resultsWorkbook(2, 600); // well above 64 KiB
    QVERIFY(large.size() > 96 * 1024);
    QVERIFY(writeWhole(m_watched, large));

    scan(*viewer);
    QCOMPARE(viewer->errors, QStringList{QStringLiteral("Disk full.")});
    checkTableKept(*viewer);
    QCOMPARE(readWhole(m_watched), large);
    QVERIFY(!viewer->form->TimerScanOpenFile->isActive());

    QVERIFY(writeWhole(m_watched, resultsWorkbook(3, 7)));
    viewer->scan();
    QCOMPARE(viewer->errors.size(), 1);
    QVERIFY(tableIsVersion(viewer->grid(), 3, 7));
    QCOMPARE(temporaryCopies(m_app), QStringList());
}

// Unmounts on every way out of the test.
class TmpfsMount
{
public:
    explicit TmpfsMount(const QString &where)
        : m_where(QFile::encodeName(where))
    {
        m_mounted = ::mount("tmpfs", m_where.constData(), "tmpfs", 0, "size=64k") == 0;
        m_error = errno;
    }
    ~TmpfsMount()
    {
        if (m_mounted)
            ::umount2(m_where.constData(), MNT_DETACH);
    }
    TmpfsMount(const TmpfsMount &) = delete;
    TmpfsMount &operator=(const TmpfsMount &) = delete;

    bool mounted() const { return m_mounted; }
    int error() const { return m_error; }

private:
    QByteArray m_where;
    bool m_mounted = false;
    int m_error = 0;
};

void TestFaultInjection::diskFillsOnSmallFileSystem()
{
    const TmpfsMount mount(m_app);
    if (!mount.mounted())
        QSKIP(qPrintable(QStringLiteral("cannot mount a 64 KiB tmpfs here (%1); the file size "
                                        "limit case covers the full disk")
                             .arg(QString::fromLocal8Bit(std::strerror(mount.error())))));
    diskFills([](Viewer &viewer) { viewer.scan(); });
}

// The process's file size limit, as a quota would set it; restored on every way out.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN); // a short write instead of a kill
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool set() const { return m_set; }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_set = false;
};

void TestFaultInjection::diskFillsAtFileSizeLimit()
{
    // Only around the scan, so that no output of the test itself can hit the limit.
    diskFills([](Viewer &viewer) {
        const FileSizeLimit limit(64 * 1024);
        QVERIFY(limit.set());
        viewer.scan();
    });
}

// The application directory vanishes under a running viewer: the import cannot make its copy
// and says so, the table stays; the close reports the settings it could not save and the
// window closes all the same.
void TestFaultInjection::applicationDirectoryRemoved()
{
    const auto viewer = viewerWithTable();
    QVERIFY(viewer);
    viewer->form->show();
    QVERIFY(QDir(m_app).removeRecursively());

    QVERIFY(writeWhole(m_watched, resultsWorkbook(2, 9)));
    viewer->scan();
    QCOMPARE(viewer->errors, QStringList{QStringLiteral("File not found.")});
    QVERIFY(tableIsVersion(viewer->grid(), 1, 5));
    QVERIFY(!viewer->form->TimerScanOpenFile->isActive());

    QVERIFY(viewer->form->close());
    QCOMPARE(viewer->errors,
             (QStringList{QStringLiteral("File not found."), QStringLiteral("File not found.")}));
    QVERIFY(!viewer->form->isVisible());
    QVERIFY(!QFileInfo::exists(m_app));
    QCOMPARE(readWhole(m_watched), resultsWorkbook(2, 9));
}

void TestFaultInjection::watchedFileBecomesDirectory()
{
    const auto viewer = viewerWithTable();
    QVERIFY(viewer);
    QVERIFY(QFile::remove(m_watched));
    QVERIFY(QDir().mkdir(m_watched));

    // Missing: the table is emptied at every tick, without a limit and without a word.
    viewer->startScan();
    for (int tick = 0; tick < 40; ++tick)
        viewer->retryTick();
    QVERIFY(viewer->form->TimerScanOpenFile->isActive());
    QCOMPARE(viewer->table().RowCount(), 2);
    QCOMPARE(viewer->table().Cells(0, 0), QString());
    QCOMPARE(viewer->errors, QStringList());
    QCOMPARE(temporaryCopies(m_app), QStringList());

    // The file is back: read at the next tick.
    QVERIFY(QDir().rmdir(m_watched));
    QVERIFY(writeWhole(m_watched, resultsWorkbook(4, 3)));
    viewer->retryTick();
    QVERIFY(tableIsVersion(viewer->grid(), 4, 3));
    QVERIFY(!viewer->form->TimerScanOpenFile->isActive());
}

void TestFaultInjection::watchedFileBecomesSymlinkLoop()
{
    const auto viewer = viewerWithTable();
    QVERIFY(viewer);
    QVERIFY(QFile::remove(m_watched));
    const QString other = m_root->filePath(QStringLiteral("other.xls"));
    QCOMPARE(
        ::symlink(QFile::encodeName(other).constData(), QFile::encodeName(m_watched).constData()),
        0);
    QCOMPARE(
        ::symlink(QFile::encodeName(m_watched).constData(), QFile::encodeName(other).constData()),
        0);

    viewer->startScan();
    for (int tick = 0; tick < 35; ++tick)
        viewer->retryTick();
    QVERIFY(viewer->form->TimerScanOpenFile->isActive());
    QCOMPARE(viewer->table().RowCount(), 2);
    QCOMPARE(viewer->table().Cells(0, 1), QString());
    QCOMPARE(viewer->errors, QStringList());
    QCOMPARE(temporaryCopies(m_app), QStringList());
}

// A FIFO is no workbook: never opened for a blocking read, refused at each tick without a word,
// and the scan gives up after its 30 attempts with the table as it was.
void TestFaultInjection::watchedFileBecomesFifo()
{
    const auto viewer = viewerWithTable();
    QVERIFY(viewer);
    QVERIFY(QFile::remove(m_watched));
    QCOMPARE(::mkfifo(QFile::encodeName(m_watched).constData(), 0600), 0);

    QElapsedTimer clock;
    clock.start();
    viewer->startScan();
    int ticks = 0;
    while (viewer->form->TimerScanOpenFile->isActive() && ticks < 100) {
        viewer->retryTick();
        ++ticks;
    }
    QVERIFY2(clock.elapsed() < 5000, "a FIFO must never make a tick wait");
    QCOMPARE(ticks, 30);
    QCOMPARE(viewer->errors, QStringList());
    checkTableKept(*viewer);

    // Every later scan does the same; nothing piles up.
    viewer->startScan();
    for (ticks = 0; viewer->form->TimerScanOpenFile->isActive() && ticks < 100; ++ticks)
        viewer->retryTick();
    QCOMPARE(ticks, 30);
    QCOMPARE(viewer->errors, QStringList());
}

// A directory where the settings file belongs: the start-up takes it for no file, the close
// cannot replace it and says so clearly, and the window still closes; the directory and what it
// holds are left alone and no half-written settings file stays behind.
void TestFaultInjection::settingsFileIsDirectory()
{
    const QString settings = settingsFileName(m_app);
    QVERIFY(QDir().mkpath(settings));
    QVERIFY(writeWhole(settings + QStringLiteral("/keep"), "mine"));

    Viewer viewer(m_app, m_watched);
    QCOMPARE(viewer.notices, QStringList{SettingsNotFoundNotice.toString()});
    QCOMPARE(viewer.errors, QStringList());
    QCOMPARE(viewer.form->SpinUpdate->value(), 20);
    viewer.scan();
    QVERIFY(tableIsVersion(viewer.grid(), 1, 5));

    viewer.form->show();
    QVERIFY(viewer.form->close());
    QCOMPARE(viewer.errors, QStringList{QStringLiteral("File access denied.")});
    QVERIFY(!viewer.form->isVisible());
    QVERIFY(QFileInfo(settings).isDir());
    QCOMPARE(readWhole(settings + QStringLiteral("/keep")), QByteArray("mine"));
    QCOMPARE(QDir(m_app).entryList(QDir::Files | QDir::System | QDir::Hidden), QStringList());
}

// Something else (here a symbolic link to the watched file itself) where the private copy
// goes: the copy must never be written through it, so the watched file is not touched.
void TestFaultInjection::temporaryNameTakenBySymlink()
{
    const auto viewer = viewerWithTable();
    QVERIFY(viewer);
    const QString copy = temporaryWorkbookPath(m_app, viewer->form->windowId());
    QCOMPARE(
        ::symlink(QFile::encodeName(m_watched).constData(), QFile::encodeName(copy).constData()),
        0);
    struct stat before
    {
    };
    QCOMPARE(::stat(QFile::encodeName(m_watched).constData(), &before), 0);
    QTest::qSleep(20); // a write would show in the modification time

    viewer->scan();
    struct stat after
    {
    };
    QCOMPARE(::stat(QFile::encodeName(m_watched).constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
}

QTEST_MAIN(TestFaultInjection)
#include "tst_faultinjection.moc"
