#include "app/core/ResultImport.h"
#include "app/core/ResultTable.h"
#include "app/core/ScanScheduler.h"
#include "app/core/SnapshotBuffer.h"
#include "app/core/TornSnapshot.h"
#include "platform/FileSnapshot.h"
#include "sheet/exceling.h"
#include "tests/support/ImportTestFiles.h"
#include "tests/support/RecordingScanHost.h"
#include "util/ViewerError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>

#include <array>
#include <fcntl.h>
#include <sys/fanotify.h>
#include <sys/inotify.h>
#include <unistd.h>

using namespace importtest;

namespace {

const QString Writer = QStringLiteral(ORVANDEL_TEST_HELPER_DIR "/snapshot_writer");
constexpr int WriterMs = 10500;
constexpr int ScanningMs = 10000; // each case
const QStringList Versions{QStringLiteral("version-1"), QStringLiteral("version-2"),
                           QStringLiteral("version-3")};

// Who writes the watched file: fanotify names the process of every modification and every
// close after writing (where this process may use it; root can), and inotify counts closes,
// which the kernel may merge but never multiplies.
class WriteWatch
{
public:
    explicit WriteWatch(const QString &path)
        : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
        , m_fan(::fanotify_init(FAN_CLASS_NOTIF | FAN_CLOEXEC | FAN_NONBLOCK | FAN_REPORT_FID,
                                O_RDONLY))
    {
        const QByteArray name = QFile::encodeName(path);
        if (m_fd >= 0)
            ::inotify_add_watch(m_fd, name.constData(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
        if (m_fan >= 0 && ::fanotify_mark(m_fan, FAN_MARK_ADD, FAN_MODIFY | FAN_CLOSE_WRITE,
                                          AT_FDCWD, name.constData()) != 0) {
            ::close(m_fan);
            m_fan = -1;
        }
    }
    ~WriteWatch()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_fan >= 0)
            ::close(m_fan);
    }
    WriteWatch(const WriteWatch &) = delete;
    WriteWatch &operator=(const WriteWatch &) = delete;

    bool valid() const { return m_fd >= 0; }
    bool namesWriters() const { return m_fan >= 0; }
    void drain()
    {
        drainFanotify();
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                return;
            for (ssize_t at = 0; at < n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                if (event->mask & IN_Q_OVERFLOW)
                    overflowed = true;
                if (event->mask & IN_CLOSE_WRITE)
                    ++closedAfterWriting;
                if (event->mask & IN_CLOSE_NOWRITE)
                    ++closedReadOnly;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
    }

    long closedAfterWriting = 0;
    long closedReadOnly = 0;
    bool overflowed = false;
    long writesByUs = 0;
    long writesByOthers = 0;

private:
    void drainFanotify()
    {
        if (m_fan < 0)
            return;
        alignas(fanotify_event_metadata) char buffer[64 * 1024];
        for (;;) {
            const ssize_t n = ::read(m_fan, buffer, sizeof buffer);
            if (n <= 0)
                return;
            for (ssize_t at = 0; at + ssize_t(sizeof(fanotify_event_metadata)) <= n;) {
                // Events follow each other at their own lengths, not at the struct's alignment.
                fanotify_event_metadata event;
                std::memcpy(&event, buffer + at, sizeof event);
                if (event.fd >= 0)
                    ::close(event.fd);
                if (event.mask & FAN_Q_OVERFLOW)
                    overflowed = true;
                else if (event.pid == ::getpid())
                    ++writesByUs;
                else
                    ++writesByOthers;
                if (event.event_len == 0)
                    break;
                at += event.event_len;
            }
        }
    }

    int m_fd;
    int m_fan;
};

// Descriptors of this process open on `path` right now.
int openDescriptorsOn(const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    int count = 0;
    for (const QFileInfo &fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System))
        count += fd.symLinkTarget() == target;
    return count;
}

// The window's part: imports each snapshot and checks what it shows.
class Viewer final : public RecordingScanHost
{
public:
    Viewer(const QString &watched, const QString &tempPath, SnapshotBuffer &snapshot)
        : m_watched(watched)
        , m_tempPath(tempPath)
        , m_snapshot(snapshot)
    {
        for (const QString &name : Versions)
            m_versions.push_back(expectedTable(name));
        duringLoad = [this] {
            show();
        };
    }

    ResultTable table;
    std::array<int, 3> shown{};
    QStringList mixes;
    int torn = 0;

private:
    void show()
    {
        try {
            importSnapshot(m_snapshot, m_watched, m_tempPath, table);
        } catch (const TornSnapshot &) {
            ++torn;
            throw;
        }
        const qsizetype version = m_versions.indexOf(contents(table));
        if (version < 0)
            mixes << table.Cells(0, 1) + u'/' + QString::number(table.RowCount());
        else
            ++shown[size_t(version)];
    }

    QString m_watched;
    QString m_tempPath;
    SnapshotBuffer &m_snapshot;
    QList<Table> m_versions;
};

} // namespace

// Scans back to back against a real process that rewrites the watched workbook in place as
// fast as it can, taking no lock.
class TestImportWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanupTestCase() { excelRelease(); }
    void rewrittenInPlace_data();
    void rewrittenInPlace();
};

// With a read lease the writer's every open waits for the copy, so the writer can go flat out.
// Without one, a copy counts only when the file's change time is more than 100 ms old, which a
// writer that never stops never gives: there the writer rests 150 ms after each rewrite, and
// copies race its next one.
void TestImportWriter::rewrittenInPlace_data()
{
    QTest::addColumn<bool>("leases");
    QTest::addColumn<int>("writerPauseMs");
    QTest::newRow("with a read lease, writer flat out") << true << 0;
    QTest::newRow("without leases, writer flat out") << false << 0;
    QTest::newRow("without leases, writer resting") << false << 150;
}

void TestImportWriter::rewrittenInPlace()
{
    QFETCH(bool, leases);
    QFETCH(int, writerPauseMs);

    QTemporaryDir watchedDir;
    QTemporaryDir appDir;
    const QString watched = watchedDir.path() + QStringLiteral("/Bellquor.xls");
    QVERIFY(QFile::copy(dataPath(QStringLiteral("version-1.xls")), watched));
    QStringList versionFiles;
    for (const QString &name : Versions)
        versionFiles << dataPath(name + QStringLiteral(".xls"));

    WriteWatch closes(watched);
    QVERIFY(closes.valid());
    QProcess writer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SNAPSHOT_WRITER_PAUSE_MS"), QString::number(writerPauseMs));
    writer.setProcessEnvironment(environment);
    writer.start(Writer, QStringList{QStringLiteral("reopen"), watched} + versionFiles +
                             QStringList{QString::number(WriterMs)});
    QVERIFY(writer.waitForReadyRead(10000));
    QCOMPARE(writer.readLine(), QByteArray("ready\n"));

    SnapshotBuffer snapshot;
    FileSnapshot source(leases ? FileSnapshot::Leases::WhenAvailable : FileSnapshot::Leases::Never);
    Viewer viewer(watched, temporaryWorkbookPath(appDir.path() + u'/', 1312), snapshot);
    ScanScheduler scheduler(viewer, source, snapshot);

    std::uint32_t now = 0;
    scheduler.startCadence(now, 10);
    int scans = 0;
    int attempts = 0;
    int gaveUp = 0;
    int imports = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ScanningMs) {
        now += 10000;
        scheduler.cadenceTick(now, 10);
        ++scans;
        const int shownBefore =
            viewer.shown[0] + viewer.shown[1] + viewer.shown[2] + int(viewer.mixes.size());
        while (scheduler.retryTimerEnabled()) {
            ++attempts;
            try {
                scheduler.retryTick(watched);
            } catch (const ViewerError &error) {
                QFAIL(qPrintable(QStringLiteral("reported: ") + error.message()));
            }
            closes.drain();
            QCOMPARE(openDescriptorsOn(watched), 0);
        }
        const int shownAfter =
            viewer.shown[0] + viewer.shown[1] + viewer.shown[2] + int(viewer.mixes.size());
        imports += shownAfter - shownBefore;
        gaveUp += shownAfter == shownBefore;
    }
    QVERIFY(writer.waitForFinished(30000));
    QCOMPARE(writer.exitCode(), 0);
    const long rewrites = writer.readAllStandardOutput().trimmed().split(' ').value(0).toLong();
    closes.drain();

    qInfo("%d scans, %d attempts, %d imports (versions %d/%d/%d), %d torn, %d gave up; "
          "%ld rewrites",
          scans, attempts, imports, viewer.shown[0], viewer.shown[1], viewer.shown[2], viewer.torn,
          gaveUp, rewrites);
    QCOMPARE(viewer.mixes, QStringList());
    QVERIFY(viewer.clears.empty());
    QVERIFY(rewrites > 50);
    if (leases || writerPauseMs > 0) {
        // About 30 on an idle machine; a loaded one (a parallel test run) gives fewer.
        QVERIFY(imports > 10);
        QVERIFY(std::count_if(viewer.shown.begin(), viewer.shown.end(),
                              [](int n) { return n > 0; }) >= 2);
    }

    // The file holds what the writer wrote last, and only the writer ever wrote to it.
    QCOMPARE(readAll(watched), readAll(versionFiles[int((rewrites - 1) % versionFiles.size())]));
    QVERIFY(closes.closedAfterWriting > 0);
    QVERIFY(closes.closedAfterWriting <= rewrites);
    QVERIFY(closes.closedReadOnly > 0);
    QCOMPARE(closes.writesByUs, 0);
    if (closes.namesWriters())
        QVERIFY(closes.writesByOthers > 0);
    else
        QWARN("fanotify is not available here: who wrote the file is not checked");
    QCOMPARE(entriesOf(appDir.path()), QStringList());
}

QTEST_GUILESS_MAIN(TestImportWriter)
#include "tst_importwriter.moc"
