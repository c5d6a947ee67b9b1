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

QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 4096);
    return bytes;
}

bool same(const MappedFile &file, const QByteArray &bytes)
{
    return qsizetype(file.bytes().size()) == bytes.size() &&
           (bytes.isEmpty() ||
            std::memcmp(file.bytes().data(), bytes.data(), file.bytes().size()) == 0);
}

// The part of the mapping that the process has mapped in now (whether the pages are in the
// page cache says nothing: they are, all the time).
qint64 mappedInKiB(const MappedFile &file)
{
    return smapsFieldKiB(file.bytes().data(), "Rss");
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
        const QByteArray bytes = pattern(size);
        const MappedFile file(write(QStringLiteral("a.bin"), bytes));
        QCOMPARE(qsizetype(file.bytes().size()), bytes.size());
        QVERIFY(same(file, bytes));
    }
}

void TestMappedFile::releasedPagesReadAgainFromTheFile()
{
    const QByteArray bytes = pattern(1 << 22);
    MappedFile file(write(QStringLiteral("b.bin"), bytes));
    if (!file.isMapped())
        QSKIP("no read lease on this file system: the file is read into memory instead");
    const auto *data = file.bytes().data();
    // Read it all, so that every page is in.
    QVERIFY(same(file, bytes));
    const qint64 page = ::sysconf(_SC_PAGESIZE);
    const qint64 all = bytes.size() / 1024;
    QCOMPARE(mappedInKiB(file), all);

    // A place in the middle of a page: the pages wholly before it go, the rest stays.
    const qint64 half = bytes.size() / 2;
    file.releaseBefore(data + half + 100);
    QCOMPARE(mappedInKiB(file), all / 2);
    // Going back does not take anything back; other addresses are ignored.
    file.releaseBefore(data + 10);
    file.releaseBefore(data - page);
    file.releaseBefore(data + bytes.size() + page);
    QCOMPARE(mappedInKiB(file), all / 2);

    // Reading a released page again gives the file's bytes, not zeros.
    QVERIFY(same(file, bytes));
    QCOMPARE(mappedInKiB(file), all);
    // Release goes forward only: the second half goes, what was read again stays (only a
    // hostile workbook makes the parser look back).
    file.releaseBefore(data + bytes.size());
    QCOMPARE(mappedInKiB(file), all / 2);
}

void TestMappedFile::truncationWaitsForTheMapping()
{
    const QByteArray bytes = pattern(1 << 20);
    const QString path = write(QStringLiteral("c.bin"), bytes);
    QProcess truncate;
    {
        const MappedFile file(path);
        if (!file.isMapped())
            QSKIP("no read lease on this file system: the file is read into memory instead");
        // Shortening the file under the mapping would make reading it fatal: it has to wait.
        // A shell's "> file": a blocking open with O_TRUNC.
        truncate.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral(": > \"$1\""),
                                              QStringLiteral("sh"), path});
        QVERIFY(truncate.waitForStarted());
        QVERIFY2(!truncate.waitForFinished(300), truncate.readAllStandardError().constData());
        QVERIFY(same(file, bytes));
    }
    QVERIFY(truncate.waitForFinished(10'000));
    QCOMPARE(truncate.exitCode(), 0);
    QCOMPARE(QFile(path).size(), 0);
}

void TestMappedFile::fileOpenForWritingIsCopied()
{
    const QByteArray bytes = pattern(100'000);
    const QString path = write(QStringLiteral("d.bin"), bytes);
    QFile writer(path);
    QVERIFY(writer.open(QIODevice::ReadWrite));
    const MappedFile file(path);
    QVERIFY(!file.isMapped());
    QVERIFY(same(file, bytes));
    // A copy: the writer's change does not reach it, and releasing does nothing.
    QVERIFY(writer.write("changed") == 7);
    writer.close();
    file.bytes();
    QVERIFY(same(file, bytes));
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
    const QString closed = write(QStringLiteral("e.bin"), pattern(10));
    QVERIFY(QFile::setPermissions(closed, QFileDevice::WriteOwner));
    if (::geteuid() != 0)
        QCOMPARE(code(closed), 5);
}

QTEST_GUILESS_MAIN(TestMappedFile)
#include "tst_mappedfile.moc"
