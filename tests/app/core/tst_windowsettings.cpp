#include "app/core/SettingsFile.h"
#include "app/core/WindowSettings.h"
#include "tests/support/PermissionsApply.h"
#include "tests/support/ThrownInOutError.h"
#include "util/InOutError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(WindowSettings)

namespace {

QByteArray hex(const char *spaced)
{
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}

QByteArray bytesOf(const WindowSettingsRecord &record)
{
    return QByteArray(reinterpret_cast<const char *>(record.data()), qsizetype(record.size()));
}

// Records computed by hand. Sum of the built-in defaults:
// 0x26+0x01 + 0x98 + 0xD8+0x01 + 0x95+0x02 + 0x14 = 579 = 2*256 + 0x43.
QByteArray layoutDefaultsBytes()
{
    return hex("26 01 00 00 98 00 00 00 D8 01 00 00 95 02 00 00 00 00 00 00 14 00 00 00 43");
}

// Left -3, maximised: 0xFD+3*0xFF + 0x98 + 0xD8+0x01 + 0x95+0x02 + 0x02 + 0x14 = 1560 = 6*256 +
// 0x18.
const WindowSettings NegativeLeftMaximized{-3, 152, 472, 661, 2, 20};
QByteArray negativeLeftMaximizedBytes()
{
    return hex("FD FF FF FF 98 00 00 00 D8 01 00 00 95 02 00 00 02 00 00 00 14 00 00 00 18");
}

} // namespace

// The settings record on bytes and the settings file on disk.
class TestWindowSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void encodeMatchesHandComputedBytes_data();
    void encodeMatchesHandComputedBytes();
    void decodeKeepsEveryField_data();
    void decodeKeepsEveryField();
    void everyBodyByteIsCovered();
    void checksumByteChanged();
    void fillerCountsOnlyTowardsChecksum();
    void stateAboveMaximizedIsNormal_data();
    void stateAboveMaximizedIsNormal();

    void missingFileIsNotFound();
    void directoryOrFifoIsNotFound();
    void shortFileIsReadBeyondEnd_data();
    void shortFileIsReadBeyondEnd();
    void longerFileLoadsItsFirst25Bytes();
    void unreadableFile();

    void writeGivesTheRecordBytes();
    void writeReplacesLongerFile();
    void writeFailureKeepsOldFile();
    void writeOverDirectoryFails();
    void diskFullKeepsOldFile();

private:
    QString fileName() const { return settingsFileName(m_dir->path() + u'/'); }
    void writeRaw(const QByteArray &bytes) const;
    QByteArray readRaw() const;
    // The entries of the directory: no leftovers of an interrupted save may remain.
    QStringList entries() const;

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestWindowSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestWindowSettings::writeRaw(const QByteArray &bytes) const
{
    QFile file(fileName());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray TestWindowSettings::readRaw() const
{
    QFile file(fileName());
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

QStringList TestWindowSettings::entries() const
{
    return QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

void TestWindowSettings::encodeMatchesHandComputedBytes_data()
{
    QTest::addColumn<WindowSettings>("settings");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("layout defaults") << WindowSettings{} << layoutDefaultsBytes();
    QTest::newRow("negative left, maximised")
        << NegativeLeftMaximized << negativeLeftMaximizedBytes();
    // Height 0x01020304 shows the byte order, Height before Width; the sum wraps six times:
    // 3*0xFF+0x7F + 0x80 + 10 + 0xFF+0x7F + 0xE8+0x03 = 1647 = 6*256 + 0x6F.
    QTest::newRow("extremes")
        << WindowSettings{2147483647, -2147483647 - 1, 0x01020304, 0x7F00FF00, 0, 1000}
        << hex("FF FF FF 7F 00 00 00 80 04 03 02 01 00 FF 00 7F 00 00 00 00 E8 03 00 00 6F");
}

void TestWindowSettings::encodeMatchesHandComputedBytes()
{
    QFETCH(WindowSettings, settings);
    QFETCH(QByteArray, bytes);
    QCOMPARE(bytesOf(encodeWindowSettings(settings)), bytes);
}

void TestWindowSettings::decodeKeepsEveryField_data()
{
    encodeMatchesHandComputedBytes_data();
}

void TestWindowSettings::decodeKeepsEveryField()
{
    QFETCH(WindowSettings, settings);
    QFETCH(QByteArray, bytes);
    writeRaw(bytes);
    const SettingsReadResult read = readSettingsFile(fileName());
    QCOMPARE(read.status, SettingsReadResult::Status::Loaded);
    QVERIFY(read.settings == settings);
}

void TestWindowSettings::everyBodyByteIsCovered()
{
    const WindowSettingsRecord good = encodeWindowSettings(NegativeLeftMaximized);
    for (std::size_t i = 0; i < WindowSettingsLayout::BodySize; ++i) {
        WindowSettingsRecord bad = good;
        bad[i] = static_cast<std::uint8_t>(bad[i] ^ 0x40);
        writeRaw(bytesOf(bad));
        QCOMPARE(readSettingsFile(fileName()).status, SettingsReadResult::Status::Damaged);
    }
}

void TestWindowSettings::checksumByteChanged()
{
    WindowSettingsRecord record = encodeWindowSettings({});
    record[WindowSettingsLayout::Checksum] += 1;
    writeRaw(bytesOf(record));
    const SettingsReadResult read = readSettingsFile(fileName());
    QCOMPARE(read.status, SettingsReadResult::Status::Damaged);
    // The defaults, not half of what was read.
    QVERIFY(read.settings == WindowSettings{});
}

void TestWindowSettings::fillerCountsOnlyTowardsChecksum()
{
    const WindowSettings settings{10, 20, 300, 400, 2, 55};
    WindowSettingsRecord record = encodeWindowSettings(settings);
    record[17] = 0xAB;
    record[18] = 0xCD;
    record[19] = 0xEF;
    // Still damaged until the checksum covers the new filler.
    QVERIFY(!decodeWindowSettings(record));
    record[24] = static_cast<std::uint8_t>(record[24] + 0xAB + 0xCD + 0xEF);
    writeRaw(bytesOf(record));
    const SettingsReadResult read = readSettingsFile(fileName());
    QCOMPARE(read.status, SettingsReadResult::Status::Loaded);
    QVERIFY(read.settings == settings);
}

void TestWindowSettings::stateAboveMaximizedIsNormal_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("taken");
    QTest::newRow("normal") << 0 << 0;
    QTest::newRow("minimised") << 1 << 1;
    QTest::newRow("maximised") << 2 << 2;
    QTest::newRow("3") << 3 << 0;
    QTest::newRow("7") << 7 << 0;
    QTest::newRow("255") << 255 << 0;
}

void TestWindowSettings::stateAboveMaximizedIsNormal()
{
    QFETCH(int, stored);
    QFETCH(int, taken);
    WindowSettings settings{-50, 60, 700, 800, std::uint8_t(stored), 33};
    const std::optional<WindowSettings> decoded =
        decodeWindowSettings(encodeWindowSettings(settings));
    QVERIFY(decoded);
    settings.WindowState = std::uint8_t(taken);
    // The rest of the record applies as stored.
    QVERIFY(*decoded == settings);
}

void TestWindowSettings::missingFileIsNotFound()
{
    QCOMPARE(readSettingsFile(fileName()).status, SettingsReadResult::Status::NotFound);
    const QString inMissingDir = settingsFileName(m_dir->path() + QStringLiteral("/gone/"));
    QCOMPARE(readSettingsFile(inMissingDir).status, SettingsReadResult::Status::NotFound);
    // A dangling link is no file either.
    QVERIFY(QFile::link(m_dir->path() + QStringLiteral("/nowhere"), fileName()));
    QCOMPARE(readSettingsFile(fileName()).status, SettingsReadResult::Status::NotFound);
}

void TestWindowSettings::directoryOrFifoIsNotFound()
{
    QVERIFY(QDir().mkdir(fileName()));
    QCOMPARE(readSettingsFile(fileName()).status, SettingsReadResult::Status::NotFound);
    QVERIFY(QDir().rmdir(fileName()));

    // Nobody writes into this FIFO: a blocking open or read would hang the start-up.
    QCOMPARE(::mkfifo(QFile::encodeName(fileName()).constData(), 0644), 0);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(readSettingsFile(fileName()).status, SettingsReadResult::Status::NotFound);
    QVERIFY(timer.elapsed() < 2000);
}

void TestWindowSettings::shortFileIsReadBeyondEnd_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("half a record") << 10;
    QTest::newRow("record without checksum") << 24;
}

void TestWindowSettings::shortFileIsReadBeyondEnd()
{
    QFETCH(int, size);
    writeRaw(bytesOf(encodeWindowSettings({})).left(size));
    QCOMPARE(thrownInOutError([&] { readSettingsFile(fileName()); }),
             std::pair(100, QStringLiteral("Read beyond end of file")));
}

void TestWindowSettings::longerFileLoadsItsFirst25Bytes()
{
    const WindowSettings settings{1, 2, 3, 4, 0, 500};
    // Five further bytes that would not fit any checksum if they were summed.
    writeRaw(bytesOf(encodeWindowSettings(settings)) + hex("FF 01 02 03 04"));
    const SettingsReadResult read = readSettingsFile(fileName());
    QCOMPARE(read.status, SettingsReadResult::Status::Loaded);
    QVERIFY(read.settings == settings);
}

void TestWindowSettings::unreadableFile()
{
    writeRaw(bytesOf(encodeWindowSettings({})));
    QVERIFY(QFile::setPermissions(fileName(), {}));
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner |
                                                     QFile::ExeOwner | QFile::ExeOther));
    const PermissionsApply permissions;
    if (QFile(fileName()).open(QIODevice::ReadOnly))
        QSKIP("this process reads files of mode 000 (root keeping CAP_DAC_OVERRIDE)");
    QCOMPARE(thrownInOutError([&] { readSettingsFile(fileName()); }),
             std::pair(5, QStringLiteral("File access denied")));
}

void TestWindowSettings::writeGivesTheRecordBytes()
{
    // The hand-computed bytes land on disk, and nothing else does.
    writeSettingsFile(fileName(), NegativeLeftMaximized);
    QCOMPARE(readRaw(), negativeLeftMaximizedBytes());
    QCOMPARE(entries(), QStringList{QStringLiteral("Orvandel.conf")});
    // Overwriting goes the same way.
    writeSettingsFile(fileName(), WindowSettings{});
    QCOMPARE(readRaw(), layoutDefaultsBytes());
    QCOMPARE(entries(), QStringList{QStringLiteral("Orvandel.conf")});
}

void TestWindowSettings::writeReplacesLongerFile()
{
    const WindowSettings settings{5, 6, 7, 8, 2, 9};
    writeRaw(bytesOf(encodeWindowSettings(settings)) + QByteArray(5, 'x'));
    const SettingsReadResult read = readSettingsFile(fileName());
    QCOMPARE(read.status, SettingsReadResult::Status::Loaded);
    writeSettingsFile(fileName(), read.settings);
    QCOMPARE(readRaw(), bytesOf(encodeWindowSettings(settings)));
}

void TestWindowSettings::writeFailureKeepsOldFile()
{
    const QByteArray old = bytesOf(encodeWindowSettings({1, 1, 1, 1, 0, 11}));
    writeRaw(old);
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner |
                                                     QFile::ReadOther | QFile::ExeOther));
    {
        const PermissionsApply permissions;
        if (QFile(m_dir->path() + QStringLiteral("/probe")).open(QIODevice::WriteOnly))
            QSKIP("this process writes into read-only directories (root keeping "
                  "CAP_DAC_OVERRIDE)");
        QCOMPARE(thrownInOutError([&] { writeSettingsFile(fileName(), WindowSettings{}); }),
                 std::pair(5, QStringLiteral("File access denied")));
    }
    QVERIFY(QFile::setPermissions(m_dir->path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QCOMPARE(readRaw(), old);
    QCOMPARE(entries(), QStringList{QStringLiteral("Orvandel.conf")});

    // An application directory that is not a directory at all.
    const QString notADirectory = m_dir->path() + QStringLiteral("/plain");
    QFile plain(notADirectory);
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QCOMPARE(
        thrownInOutError([&] { writeSettingsFile(settingsFileName(notADirectory + u'/'), {}); }),
        std::pair(2, QStringLiteral("File not found")));
}

void TestWindowSettings::writeOverDirectoryFails()
{
    // Everything up to the rename succeeds here; the new file must still not be left behind.
    QVERIFY(QDir().mkdir(fileName()));
    QCOMPARE(thrownInOutError([&] { writeSettingsFile(fileName(), WindowSettings{}); }),
             std::pair(5, QStringLiteral("File access denied")));
    QVERIFY(QFileInfo(fileName()).isDir());
    QCOMPARE(entries(), QStringList{QStringLiteral("Orvandel.conf")});
}

void TestWindowSettings::diskFullKeepsOldFile()
{
    const QByteArray old = bytesOf(encodeWindowSettings({1, 1, 1, 1, 0, 11}));
    writeRaw(old);
    // The file size limit makes the kernel cut the write short as a full disk would. It would
    // also stop the test's own output, so the save runs in a child process.
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{10, 10};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int code = 0;
        try {
            writeSettingsFile(fileName(), WindowSettings{});
        } catch (const InOutError &error) {
            code = error.code();
        }
        ::_exit(code);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), InOutError::DiskFull);
    QCOMPARE(InOutError(WEXITSTATUS(status)).message(), QStringLiteral("Disk full"));
    QCOMPARE(readRaw(), old);
    QCOMPARE(entries(), QStringList{QStringLiteral("Orvandel.conf")});
}

QTEST_GUILESS_MAIN(TestWindowSettings)
#include "tst_windowsettings.moc"
