#include "platform/MappedFile.h"
#include "tests/support/SmapsField.h"
#include "util/InOutError.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

QByteArray Pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 4096);
    return bytes;
}

bool Same(const MappedFile &file, const QByteArray &bytes)
{
    return qsizetype(file.Bytes().size()) == bytes.size() &&
           (bytes.isEmpty() ||
            std::memcmp(file.Bytes().data(), bytes.data(), file.Bytes().size()) == 0);
}

// The part of the mapping that the process has mapped in now (whether the pages are in the
// page cache says nothing: they are, all the time).
qint64 MappedInKiB(const MappedFile &file)
{
    return SmapsFieldKiB(file.Bytes().data(), "Rss");
}

} // namespace

class TestMappedFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsTheWholeFile();
    void releasedPagesReadAgainFromTheFile();
    void truncationWaitsForTheMapping();
    void fileOpenForWritingIsCopied();
    void errors();

private:
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    QTemporaryDir m_dir;
};

void TestMappedFile::readsTheWholeFile()
{
    for (const int size : {0, 1, 4095, 4096, 4097, 3'000'001}) {
        const QByteArray bytes = Pattern(size);
        const MappedFile file(write(QStringLiteral("a.bin"), bytes));
        QCOMPARE(qsizetype(file.Bytes().size()), bytes.size());
        QVERIFY(Same(file, bytes));
    }
}

void TestMappedFile::releasedPagesReadAgainFromTheFile()
{
    const QByteArray bytes = Pattern(1 << 22);
    MappedFile file(write(QStringLiteral("b.bin"), bytes));
    if (!file.IsMapped())
        QSKIP("no read lease on this file system: the file is read into memory instead");
    const auto *data = file.Bytes().data();
    // Read it all, so that every page is in.
    QVERIFY(Same(file, bytes));
    const qint64 page = ::sysconf(_SC_PAGESIZE);
    const qint64 all = bytes.size() / 1024;
    QCOMPARE(MappedInKiB(file), all);

    // A place in the middle of a page: the pages wholly before it go, the rest stays.
    const qint64 half = bytes.size() / 2;
    file.ReleaseBefore(data + half + 100);
    QCOMPARE(MappedInKiB(file), all / 2);
    // Going back does not take anything back; other addresses are ignored.
    file.ReleaseBefore(data + 10);
    file.ReleaseBefore(data - page);
    file.ReleaseBefore(data + bytes.size() + page);
    QCOMPARE(MappedInKiB(file), all / 2);

    // Reading a released page again gives the file's bytes, not zeros.
    QVERIFY(Same(file, bytes));
    QCOMPARE(MappedInKiB(file), all);
    // Release goes forward only: the second half goes, what was read again stays (only a
    // hostile workbook makes the parser look back).
    file.ReleaseBefore(data + bytes.size());
    QCOMPARE(MappedInKiB(file), all / 2);
}

void TestMappedFile::truncationWaitsForTheMapping()
{
    const QByteArray bytes = Pattern(1 << 20);
    const QString path = write(QStringLiteral("c.bin"), bytes);
    QProcess truncate;
    {
        const MappedFile file(path);
        if (!file.IsMapped())
            QSKIP("no read lease on this file system: the file is read into memory instead");
        // Shortening the file under the mapping would make reading it fatal: it has to wait.
        // A shell's "> file": a blocking open with O_TRUNC.
        truncate.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral(": > \"$1\""),
                                              QStringLiteral("sh"), path});
        QVERIFY(truncate.waitForStarted());
        QVERIFY2(!truncate.waitForFinished(300), truncate.readAllStandardError().constData());
        QVERIFY(Same(file, bytes));
    }
    QVERIFY(truncate.waitForFinished(10'000));
    QCOMPARE(truncate.exitCode(), 0);
    QCOMPARE(QFile(path).size(), 0);
}

void TestMappedFile::fileOpenForWritingIsCopied()
{
    const QByteArray bytes = Pattern(100'000);
    const QString path = write(QStringLiteral("d.bin"), bytes);
    QFile writer(path);
    QVERIFY(writer.open(QIODevice::ReadWrite));
    const MappedFile file(path);
    QVERIFY(!file.IsMapped());
    QVERIFY(Same(file, bytes));
    // A copy: the writer's change does not reach it, and releasing does nothing.
    QVERIFY(writer.write("changed") == 7);
    writer.close();
    file.Bytes();
    QVERIFY(Same(file, bytes));
}

void TestMappedFile::errors()
{
    const auto code = [](const QString &path) {
        try {
            const MappedFile file(path);
        } catch (const InOutError &error) {
            return error.code();
        }
        return 0;
    };
    QCOMPARE(code(m_dir.filePath(QStringLiteral("missing.bin"))), 2);
    QCOMPARE(code(QString()), 2);
    QCOMPARE(code(m_dir.path()), 5);
    const QString closed = write(QStringLiteral("e.bin"), Pattern(10));
    QVERIFY(QFile::setPermissions(closed, QFileDevice::WriteOwner));
    if (::geteuid() != 0)
        QCOMPARE(code(closed), 5);
}

QTEST_GUILESS_MAIN(TestMappedFile)
#include "tst_mappedfile.moc"
