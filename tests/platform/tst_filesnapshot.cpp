#include "app/core/SnapshotBuffer.h"
#include "platform/FileSnapshot.h"
#include "platform/LocalFileSystem.h"
#include "tests/support/WholeFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <array>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using StatBuffer = struct stat;

const QString Writer = QStringLiteral(ORVANDEL_TEST_HELPER_DIR "/snapshot_writer");

QByteArray version(char tag, int size)
{
    QByteArray bytes(size, tag);
    for (int i = 0; i < size; i += 97)
        bytes[i] = static_cast<char>('0' + (i / 97) % 10);
    return bytes;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QVERIFY(testfiles::writeWhole(path, bytes));
}

StatBuffer statOf(const QString &path)
{
    StatBuffer st{};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

int openDescriptors()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).count());
}

// A storage with a small limit and guard bytes behind the room.
class SmallStorage final : public SnapshotStorage
{
public:
    static constexpr std::int64_t Room = 64;
    std::array<char, Room + 16> bytes{};
    int commits = 0;

    SmallStorage() { bytes.fill('#'); }
    std::int64_t limit() const override { return Room; }
    char *roomFor(std::int64_t) override { return bytes.data(); }
    void commit(std::int64_t, const FileIdentity &) override { ++commits; }
    bool guardIntact() const
    {
        return std::all_of(bytes.begin() + Room, bytes.end(), [](char c) { return c == '#'; });
    }
};

// A writer process; it is asked to stop and waited for when the test leaves.
class WriterProcess
{
public:
    explicit WriterProcess(const QStringList &arguments)
    {
        m_process.start(Writer, arguments);
        m_ready = m_process.waitForReadyRead(5000) &&
                  m_process.readLine().trimmed() == QByteArrayLiteral("ready");
    }
    ~WriterProcess() { finish(); }

    bool ready() const { return m_ready; }
    bool running() { return !m_process.waitForFinished(0); }
    // The number of rewrites a rewriting writer reports at its end.
    int finish()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(10'000);
        const QList<QByteArray> report = m_process.readAll().trimmed().split(' ');
        if (report.size() == 2)
            m_slowestRewriteMs = report.at(1).toLongLong() / 1000;
        return report.at(0).toInt();
    }
    // The longest a single rewrite took, from its open to its close.
    qint64 slowestRewriteMs() const { return m_slowestRewriteMs; }

private:
    QProcess m_process;
    bool m_ready = false;
    qint64 m_slowestRewriteMs = 0;
};

// A bindfs (FUSE) mount of a directory: what a share's client shows of it. It hides the
// writer's locks and open handles and caches attributes for a second, as a share does.
// Unmounted when the test leaves.
class BindfsMount
{
public:
    BindfsMount(const QString &backing, const QString &at, const QString &options)
        : m_at(at)
    {
        QStringList arguments;
        if (!options.isEmpty())
            arguments << QStringLiteral("-o") << options;
        m_mounted = QDir().mkpath(at) &&
                    QProcess::execute(QStringLiteral("bindfs"), arguments << backing << at) == 0;
    }
    ~BindfsMount()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("fusermount"), {QStringLiteral("-u"), m_at});
    }
    BindfsMount(const BindfsMount &) = delete;
    BindfsMount &operator=(const BindfsMount &) = delete;

    bool mounted() const { return m_mounted; }

private:
    QString m_at;
    bool m_mounted = false;
};

bool pathOnLocalFileSystem(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const bool local = onLocalFileSystem(fd);
    ::close(fd);
    return local;
}

} // namespace

class TestFileSnapshot : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void takesWholeFileWithoutTouchingIt();
    void missing_data();
    void missing();
    void fifoDoesNotBlock();
    void emptyFile();
    void aboveLimitNeverWritesBeyondRoom();
    void hugeSparseFileRefusedUnread();
    void heldByAnotherProcess_data();
    void heldByAnotherProcess();
    void readLockDoesNotKeepUsOut();
    void inPlaceRewriterNeverGivesMixedCopy_data();
    void inPlaceRewriterNeverGivesMixedCopy();
    void replacedByRenameGivesWholeVersions();
    void changedSince();
    void withoutLeaseOnlyQuietFileTaken();
    void leaseTrustedOnlyOnLocalFileSystem_data();
    void changedTooRecentlyRule_data();
    void changedTooRecentlyRule();
    void leaseTrustedOnlyOnLocalFileSystem();

private:
    QTemporaryDir m_dir;
    QString m_path;
    FileSnapshot m_snapshot;
};

void TestFileSnapshot::init()
{
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("Bellquor.xls"));
    QFile::remove(m_path);
}

void TestFileSnapshot::takesWholeFileWithoutTouchingIt()
{
    const QByteArray content = version('a', 50'000);
    writeFile(m_path, content);
    const StatBuffer before = statOf(m_path);
    const int descriptors = openDescriptors();
    SnapshotBuffer buffer;
    for (int i = 0; i < 50; ++i) {
        const SnapshotResult result = m_snapshot.take(m_path, buffer);
        QCOMPARE(result.outcome, SnapshotOutcome::Taken);
        QCOMPARE(result.fileSize, content.size());
    }
    QCOMPARE(buffer.bytes(), QByteArrayView(content));
    QVERIFY(buffer.hasSnapshot());
    QCOMPARE(buffer.identity().size, content.size());
    QCOMPARE(buffer.identity().inode, static_cast<std::uint64_t>(before.st_ino));
    QCOMPARE(openDescriptors(), descriptors);
    const StatBuffer after = statOf(m_path);
    QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    QCOMPARE(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec);
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
    QVERIFY(!QFile::exists(m_path + QStringLiteral(".lock")));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 1);
}

void TestFileSnapshot::missing_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("nothing") << QStringLiteral("absent.xls");
    QTest::newRow("directory") << QStringLiteral("dir");
    QTest::newRow("under a file") << QStringLiteral("file/x.xls");
    QTest::newRow("dangling link") << QStringLiteral("dangling");
    QTest::newRow("link loop") << QStringLiteral("loop1");
    QTest::newRow("empty path") << QString();
}

void TestFileSnapshot::missing()
{
    QFETCH(QString, name);
    const QString base = m_dir.path() + u'/';
    QDir(m_dir.path()).mkpath(QStringLiteral("dir"));
    writeFile(base + QStringLiteral("file"), "x");
    ::symlink("nowhere", QFile::encodeName(base + QStringLiteral("dangling")).constData());
    ::symlink("loop2", QFile::encodeName(base + QStringLiteral("loop1")).constData());
    ::symlink("loop1", QFile::encodeName(base + QStringLiteral("loop2")).constData());

    const QString path = name.isEmpty() ? QString() : base + name;
    const int descriptors = openDescriptors();
    SmallStorage storage;
    QCOMPARE(m_snapshot.take(path, storage).outcome, SnapshotOutcome::Missing);
    QVERIFY(!fileExists(path));
    QCOMPARE(storage.commits, 0);
    QCOMPARE(openDescriptors(), descriptors);
    QVERIFY(fileExists(base + QStringLiteral("file")));
}

void TestFileSnapshot::fifoDoesNotBlock()
{
    QCOMPARE(::mkfifo(QFile::encodeName(m_path).constData(), 0600), 0);
    QVERIFY(fileExists(m_path));
    QElapsedTimer timer;
    timer.start();
    SmallStorage storage;
    QCOMPARE(m_snapshot.take(m_path, storage).outcome, SnapshotOutcome::Refused);
    QVERIFY(timer.elapsed() < 1000);
    QCOMPARE(storage.commits, 0);
}

void TestFileSnapshot::emptyFile()
{
    writeFile(m_path, QByteArray());
    SnapshotBuffer buffer;
    const SnapshotResult result = m_snapshot.take(m_path, buffer);
    QCOMPARE(result.outcome, SnapshotOutcome::Taken);
    QCOMPARE(buffer.FileBufferSize(), 0);
    QVERIFY(buffer.hasSnapshot());
}

void TestFileSnapshot::aboveLimitNeverWritesBeyondRoom()
{
    SmallStorage storage;
    writeFile(m_path, version('x', SmallStorage::Room + 1));
    const SnapshotResult refused = m_snapshot.take(m_path, storage);
    QCOMPARE(refused.outcome, SnapshotOutcome::TooLarge);
    QCOMPARE(refused.fileSize, SmallStorage::Room + 1);
    QCOMPARE(storage.commits, 0);
    QVERIFY(storage.guardIntact());
    QCOMPARE(storage.bytes[0], '#');

    writeFile(m_path, version('y', SmallStorage::Room));
    QCOMPARE(m_snapshot.take(m_path, storage).outcome, SnapshotOutcome::Taken);
    QCOMPARE(storage.commits, 1);
    QVERIFY(storage.guardIntact());
}

void TestFileSnapshot::hugeSparseFileRefusedUnread()
{
    {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(300'000'000));
    }
    SnapshotBuffer buffer;
    const SnapshotResult result = m_snapshot.take(m_path, buffer);
    QCOMPARE(result.outcome, SnapshotOutcome::TooLarge);
    QCOMPARE(result.fileSize, 300'000'000);
    QCOMPARE(buffer.allocations(), 1);
    QVERIFY(!buffer.hasSnapshot());
}

void TestFileSnapshot::heldByAnotherProcess_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("flock") << QStringLiteral("flock");
    QTest::newRow("POSIX write lock") << QStringLiteral("posix");
    QTest::newRow("OFD write lock") << QStringLiteral("ofd");
    QTest::newRow("open for writing") << QStringLiteral("open");
}

void TestFileSnapshot::heldByAnotherProcess()
{
    QFETCH(QString, mode);
    const QByteArray content = version('h', 5000);
    writeFile(m_path, content);
    SnapshotBuffer buffer;
    {
        WriterProcess writer({mode, m_path});
        QVERIFY(writer.ready());
        const int descriptors = openDescriptors();
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 5; ++i)
            QCOMPARE(m_snapshot.take(m_path, buffer).outcome, SnapshotOutcome::Refused);
        QVERIFY(timer.elapsed() < 1000);
        QVERIFY(!buffer.hasSnapshot());
        QCOMPARE(openDescriptors(), descriptors);
    }
    QCOMPARE(m_snapshot.take(m_path, buffer).outcome, SnapshotOutcome::Taken);
    QCOMPARE(buffer.bytes(), QByteArrayView(content));
}

void TestFileSnapshot::readLockDoesNotKeepUsOut()
{
    writeFile(m_path, version('r', 100));
    WriterProcess reader({QStringLiteral("readlock"), m_path});
    QVERIFY(reader.ready());
    SnapshotBuffer buffer;
    QCOMPARE(m_snapshot.take(m_path, buffer).outcome, SnapshotOutcome::Taken);
}

void TestFileSnapshot::inPlaceRewriterNeverGivesMixedCopy_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<FileSnapshot::Leases>("leases");
    // Reopens for every version: with a lease, copies are taken between its writes.
    QTest::newRow("reopen") << QStringLiteral("reopen") << FileSnapshot::Leases::WhenAvailable;
    // Keeps the file open for writing throughout: copied only after it closed the file.
    QTest::newRow("overwrite") << QStringLiteral("overwrite")
                               << FileSnapshot::Leases::WhenAvailable;
    // Without leases the file is copied only once it has been quiet for a while.
    QTest::newRow("reopen, no lease") << QStringLiteral("reopen") << FileSnapshot::Leases::Never;
    QTest::newRow("overwrite, no lease")
        << QStringLiteral("overwrite") << FileSnapshot::Leases::Never;
}

void TestFileSnapshot::inPlaceRewriterNeverGivesMixedCopy()
{
    QFETCH(QString, mode);
    QFETCH(FileSnapshot::Leases, leases);
    FileSnapshot snapshot(leases);
    // Several pages each, of different sizes, so that a copy can catch a write half done.
    const QByteArray versionA = version('A', 3 * 4096 + 11);
    const QByteArray versionB = version('B', 17 * 4096 + 5);
    const QString fileA = m_dir.filePath(QStringLiteral("a.bin"));
    const QString fileB = m_dir.filePath(QStringLiteral("b.bin"));
    writeFile(fileA, versionA);
    writeFile(fileB, versionB);
    writeFile(m_path, versionB);

    SnapshotBuffer buffer;
    WriterProcess writer({mode, m_path, fileA, fileB, QStringLiteral("500")});
    QVERIFY(writer.ready());
    int taken = 0;
    int refused = 0;
    int torn = 0;
    int mixed = 0;
    QList<char> takenVersions;
    while (writer.running()) {
        const SnapshotResult result = snapshot.take(m_path, buffer);
        switch (result.outcome) {
        case SnapshotOutcome::Taken:
            ++taken;
            if (buffer.bytes() != versionA && buffer.bytes() != versionB) {
                ++mixed;
                break;
            }
            takenVersions.append(buffer.bytes() == versionA ? 'A' : 'B');
            break;
        case SnapshotOutcome::Refused:
            ++refused;
            break;
        case SnapshotOutcome::Torn:
            ++torn;
            break;
        default:
            QFAIL("unexpected outcome");
        }
    }
    const int rewrites = writer.finish();
    qInfo("%s: %d rewrites (slowest %lld ms); %d taken, %d mixed, %d refused, %d torn",
          qPrintable(mode), rewrites, static_cast<long long>(writer.slowestRewriteMs()), taken,
          mixed, refused, torn);
    QVERIFY(rewrites > 10);
    // With a lease never. Without one, only a writer that stood still for longer than the
    // quiet time in the middle of a rewrite (a loaded machine's scheduler can do that) can
    // be copied half way, which is the documented limit of that mode.
    if (mixed > 0 && (leases != FileSnapshot::Leases::Never || writer.slowestRewriteMs() < 100))
        QFAIL("a copy that is neither version");
    if (leases == FileSnapshot::Leases::Never) {
        QCOMPARE(refused, 0);
    } else if (mode == QStringLiteral("reopen")) {
        QVERIFY(taken > 0);
    } else {
        // Copies only once the writer has closed the file after its last version.
        const char last = rewrites % 2 == 1 ? 'A' : 'B';
        QVERIFY(std::all_of(takenVersions.begin(), takenVersions.end(),
                            [last](char v) { return v == last; }));
    }
}

void TestFileSnapshot::replacedByRenameGivesWholeVersions()
{
    const QByteArray versionA = version('A', 2 * 4096 + 1);
    const QByteArray versionB = version('B', 9 * 4096 + 3);
    const QString fileA = m_dir.filePath(QStringLiteral("a.bin"));
    const QString fileB = m_dir.filePath(QStringLiteral("b.bin"));
    writeFile(fileA, versionA);
    writeFile(fileB, versionB);

    SnapshotBuffer buffer;
    WriterProcess writer({QStringLiteral("rename"), m_path, fileA, fileB, QStringLiteral("500")});
    QVERIFY(writer.ready());
    int taken = 0;
    int other = 0;
    while (writer.running()) {
        const SnapshotOutcome outcome = m_snapshot.take(m_path, buffer).outcome;
        if (outcome == SnapshotOutcome::Taken) {
            ++taken;
            QVERIFY2(buffer.bytes() == versionA || buffer.bytes() == versionB,
                     "a copy that is neither version");
        } else {
            QVERIFY(outcome == SnapshotOutcome::Torn || outcome == SnapshotOutcome::Refused);
            ++other;
        }
    }
    const int rewrites = writer.finish();
    qInfo("rename: %d rewrites; %d taken, %d not", rewrites, taken, other);
    QVERIFY(taken > 0);
}

void TestFileSnapshot::changedSince()
{
    writeFile(m_path, version('c', 1000));
    SnapshotBuffer buffer;
    QCOMPARE(m_snapshot.take(m_path, buffer).outcome, SnapshotOutcome::Taken);
    const FileIdentity taken = buffer.identity();
    QVERIFY(!fileChangedSince(m_path, taken));

    // Same size, rewritten in place.
    {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY);
        QVERIFY(fd >= 0);
        QCOMPARE(::pwrite(fd, "Z", 1, 10), 1);
        ::close(fd);
    }
    QVERIFY(fileChangedSince(m_path, taken));

    QCOMPARE(m_snapshot.take(m_path, buffer).outcome, SnapshotOutcome::Taken);
    QVERIFY(!fileChangedSince(m_path, buffer.identity()));
    // Replaced by another file with the same bytes.
    const QString other = m_dir.filePath(QStringLiteral("other"));
    QVERIFY(QFile::copy(m_path, other));
    QCOMPARE(::rename(QFile::encodeName(other).constData(), QFile::encodeName(m_path).constData()),
             0);
    QVERIFY(fileChangedSince(m_path, buffer.identity()));
    QFile::remove(m_path);
    QVERIFY(fileChangedSince(m_path, buffer.identity()));
}

void TestFileSnapshot::withoutLeaseOnlyQuietFileTaken()
{
    const QByteArray content = version('q', 9000);
    writeFile(m_path, content);
    FileSnapshot snapshot(FileSnapshot::Leases::Never);
    SnapshotBuffer buffer;
    QCOMPARE(snapshot.take(m_path, buffer).outcome, SnapshotOutcome::Torn);
    QVERIFY(!buffer.hasSnapshot());
    QThread::msleep(150);
    QCOMPARE(snapshot.take(m_path, buffer).outcome, SnapshotOutcome::Taken);
    QCOMPARE(buffer.bytes(), QByteArrayView(content));

    // Locks still keep it out; a writer that merely has it open does not.
    {
        WriterProcess writer({QStringLiteral("flock"), m_path});
        QVERIFY(writer.ready());
        QCOMPARE(snapshot.take(m_path, buffer).outcome, SnapshotOutcome::Refused);
    }
    WriterProcess idle({QStringLiteral("open"), m_path});
    QVERIFY(idle.ready());
    QCOMPARE(snapshot.take(m_path, buffer).outcome, SnapshotOutcome::Taken);
}

void TestFileSnapshot::leaseTrustedOnlyOnLocalFileSystem_data()
{
    QTest::addColumn<bool>("fuse");
    QTest::addColumn<QString>("options");
    QTest::newRow("local") << false << QString();
    QTest::newRow("bindfs, caching defaults") << true << QString();
    QTest::newRow("bindfs, auto_cache") << true << QStringLiteral("auto_cache");
}

// The writer writes the directory; we read it as it is, or through a FUSE mount of it. There
// the lease we may be granted is never broken by the writer, and the attributes the kernel
// holds are a second old: neither may be trusted.
void TestFileSnapshot::leaseTrustedOnlyOnLocalFileSystem()
{
    QFETCH(bool, fuse);
    QFETCH(QString, options);
    const QString backing = m_dir.filePath(QStringLiteral("backing"));
    QVERIFY(QDir().mkpath(backing));
    if (fuse && (!QFile::exists(QStringLiteral("/dev/fuse")) ||
                 QStandardPaths::findExecutable(QStringLiteral("bindfs")).isEmpty()))
        QSKIP("needs /dev/fuse and bindfs");
    const QString view = fuse ? m_dir.filePath(QStringLiteral("mount")) : backing;
    std::optional<BindfsMount> mount;
    if (fuse)
        mount.emplace(backing, view, options);
    if (fuse && !mount->mounted())
        QSKIP("bindfs could not mount here (not allowed to use FUSE?)");
    const QString written = backing + QStringLiteral("/Bellquor.xls");
    const QString seen = view + QStringLiteral("/Bellquor.xls");
    const QByteArray first = version('f', 5000);
    writeFile(written, first);
    QCOMPARE(pathOnLocalFileSystem(seen), !fuse);

    // Just written: a trusted lease stands for the quiet window; without one, wait for it.
    SnapshotBuffer buffer;
    QCOMPARE(m_snapshot.take(seen, buffer).outcome,
             fuse ? SnapshotOutcome::Torn : SnapshotOutcome::Taken);
    QThread::msleep(150);
    QCOMPARE(m_snapshot.take(seen, buffer).outcome, SnapshotOutcome::Taken);
    QCOMPARE(buffer.bytes(), QByteArrayView(first));

    // Rewritten longer behind the mount's back while its attributes are cached: the copy is
    // of the new version, not the old length of it.
    const QByteArray second = version('s', 9000);
    writeFile(written, second);
    QThread::msleep(150);
    QCOMPARE(m_snapshot.take(seen, buffer).outcome, SnapshotOutcome::Taken);
    QCOMPARE(buffer.bytes(), QByteArrayView(second));
    QVERIFY(!fileChangedSince(seen, buffer.identity()));
}

void TestFileSnapshot::changedTooRecentlyRule_data()
{
    QTest::addColumn<qint64>("changedMs");
    QTest::addColumn<bool>("tooRecent");
    // The read ran from 10,000.250 s to 10,000.300 s.
    QTest::newRow("long before") << qint64(9'000'000) << false;
    QTest::newRow("just over 100 ms before") << qint64(10'000'149) << false;
    QTest::newRow("100 ms before") << qint64(10'000'150) << true;
    QTest::newRow("during the read") << qint64(10'000'275) << true;
    QTest::newRow("whole second of the read") << qint64(10'000'000) << true;
    QTest::newRow("whole second before") << qint64(9'999'000) << false;
    QTest::newRow("server ahead by 1 s") << qint64(10'001'300) << true;
    QTest::newRow("server ahead by 2 s") << qint64(10'002'300) << true;
    QTest::newRow("server far ahead") << qint64(10'002'301) << false;
}

void TestFileSnapshot::changedTooRecentlyRule()
{
    QFETCH(qint64, changedMs);
    QFETCH(bool, tooRecent);
    constexpr std::int64_t Ms = 1'000'000;
    QCOMPARE(changedTooRecently(changedMs * Ms, 10'000'250 * Ms, 10'000'300 * Ms), tooRecent);
}

QTEST_GUILESS_MAIN(TestFileSnapshot)
#include "tst_filesnapshot.moc"
