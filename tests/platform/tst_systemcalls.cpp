#include "platform/Clock.h"
#include "platform/FileRead.h"
#include "platform/FileWrite.h"
#include "platform/LargePages.h"
#include "platform/MemoryPages.h"
#include "platform/SystemError.h"
#include "tests/support/ThrownInOutError.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The small wrappers of system calls that the rest of the tree uses instead of the calls:
// the errno mapping, the exact write, the regular-file open, page release and the clocks.
// The file replacement and the private copy are tested through the settings file and the
// import, which hold their guarantees.
class TestSystemCalls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void errnoMapping_data();
    void errnoMapping();
    void writeExactlyCountsAPartialWriteAsDiskFull();
    void openRegularFileFindsOnlyRegularFiles();
    void releasedPagesComeBackZero();
    void clocks();
};

void TestSystemCalls::errnoMapping_data()
{
    QTest::addColumn<int>("err");
    QTest::addColumn<int>("code");
    QTest::newRow("ENOENT") << ENOENT << 2;
    QTest::newRow("ENOTDIR") << ENOTDIR << 2;
    QTest::newRow("ENAMETOOLONG") << ENAMETOOLONG << 3;
    QTest::newRow("EMFILE") << EMFILE << 4;
    QTest::newRow("ENFILE") << ENFILE << 4;
    QTest::newRow("EACCES") << EACCES << 5;
    QTest::newRow("EPERM") << EPERM << 5;
    QTest::newRow("ENOSPC") << ENOSPC << 101;
    QTest::newRow("EDQUOT") << EDQUOT << 101;
    QTest::newRow("EFBIG") << EFBIG << 101;
    QTest::newRow("EISDIR") << EISDIR << 5;
    QTest::newRow("ELOOP") << ELOOP << ELOOP;
    QTest::newRow("EIO") << EIO << EIO;
}

void TestSystemCalls::errnoMapping()
{
    QFETCH(int, err);
    QFETCH(int, code);
    QCOMPARE(inOutErrorCode(err), code);
    QCOMPARE(thrownInOutError([&] { raiseSystemError(err); }).first, code);
}

void TestSystemCalls::writeExactlyCountsAPartialWriteAsDiskFull()
{
    // A non-blocking pipe that nobody reads takes part of a big write, then refuses the rest.
    int ends[2];
    QCOMPARE(::pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0);
    const FileDescriptor reader(ends[0]);
    const FileDescriptor writer(ends[1]);
    const QByteArray big(4 << 20, 'x');
    QCOMPARE(thrownInOutError([&] { writeExactly(writer.get(), big.constData(), big.size()); }),
             std::pair(101, QStringLiteral("Disk full")));
    // Full from the start: nothing was written, so the error is the call's own.
    QCOMPARE(thrownInOutError([&] { writeExactly(writer.get(), "y", 1); }).first, EAGAIN);

    // Everything of a write that can be taken is taken.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("whole"));
    writeNewFile(path, QByteArrayView(big));
    std::optional<FileDescriptor> file = openRegularFile(path);
    QVERIFY(file);
    QByteArray back(big.size(), '\0');
    readExactly(file->get(), back.data(), std::size_t(back.size()));
    QCOMPARE(back, big);
    QCOMPARE(thrownInOutError([&] { readExactly(file->get(), back.data(), 1); }),
             std::pair(100, QStringLiteral("Read beyond end of file")));
    removeFile(path);
    removeFile(path); // a missing file is no error
    QVERIFY(!QFile::exists(path));
}

void TestSystemCalls::openRegularFileFindsOnlyRegularFiles()
{
    QTemporaryDir dir;
    QVERIFY(!openRegularFile(dir.filePath(QStringLiteral("none"))));
    QVERIFY(!openRegularFile(dir.filePath(QStringLiteral("none/deeper"))));
    QVERIFY(!openRegularFile(dir.path()));
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("fifo")));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    // Never blocks on a FIFO without a writer.
    QVERIFY(!openRegularFile(QFile::decodeName(fifo)));
    QCOMPARE(thrownInOutError([] { openRegularFile(QString(5000, u'n')); }).first,
             InOutError::InvalidFilename);
}

void TestSystemCalls::releasedPagesComeBackZero()
{
    const LargeBlock block(3 * LargeBlockBytes);
    auto *begin = reinterpret_cast<std::uint8_t *>(block.get());
    auto *end = begin + block.size();
    std::memset(begin, 1, block.size());
    const long page = ::sysconf(_SC_PAGESIZE);

    // Part pages at either end stay as they are.
    const std::uint8_t *released = releasePages(begin + 1, end - 1);
    QCOMPARE(released, end - page);
    QCOMPARE(begin[page - 1], std::uint8_t(1));
    QCOMPARE(begin[page], std::uint8_t(0));
    QCOMPARE(end[-page - 1], std::uint8_t(0));
    QCOMPARE(end[-page], std::uint8_t(1));
    // Less than a whole page: nothing goes.
    QCOMPARE(releasePages(end - page + 1, end), end - page + 1);
    QCOMPARE(end[-1], std::uint8_t(1));
}

void TestSystemCalls::clocks()
{
    QCOMPARE(nanosecondsOf(timespec{3, 5}), std::int64_t(3'000'000'005));
    const std::int64_t wall = wallClockNs();
    QVERIFY(std::abs(wall / 1'000'000 - QDateTime::currentMSecsSinceEpoch()) < 1000);
    // The coarse clock lags the fine one by at most a few ticks of the scheduler.
    QVERIFY(coarseWallClockNs() <= wallClockNs());
    QVERIFY(wallClockNs() - coarseWallClockNs() < 100'000'000);
    const std::uint32_t before = GetTickCount();
    QTest::qWait(20);
    const std::uint32_t elapsed = GetTickCount() - before;
    QVERIFY2(elapsed >= 20 && elapsed < 5000, qPrintable(QString::number(elapsed)));
}

QTEST_GUILESS_MAIN(TestSystemCalls)
#include "tst_systemcalls.moc"
