#include "platform/LargePages.h"
#include "platform/ZeroedArray.h"
#include "tests/support/SmapsField.h"

#include <QFile>
#include <QTest>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Whether the system hands out transparent huge pages to a mapping that asks for them.
bool hugePagesOnRequest()
{
    QFile setting(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
    if (!setting.open(QIODevice::ReadOnly))
        return false;
    const QByteArray mode = setting.readAll();
    return mode.contains("[always]") || mode.contains("[madvise]");
}

} // namespace

class TestLargePages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void blocksOfEverySize();
    void bigBlocksGetHugePages();
    void containerGrowsAndShrinks();
    void zeroedArrayCostsWhatIsWritten();
};

void TestLargePages::blocksOfEverySize()
{
    for (const std::size_t bytes :
         {std::size_t{0}, std::size_t{1}, LargeBlockBytes - 1, LargeBlockBytes, LargeBlockBytes + 1,
          5 * LargeBlockBytes + 4097}) {
        const LargeBlock block(bytes);
        QVERIFY(block.get());
        QCOMPARE(block.size(), bytes);
        if (bytes >= LargeBlockBytes)
            QCOMPARE(std::uintptr_t(block.get()) % LargeBlockBytes, std::uintptr_t{0});
        // All of it is there to be written and read back.
        std::memset(block.get(), 0x5A, bytes);
        for (std::size_t at = 0; at < bytes; at += 4093)
            QCOMPARE(block.get()[at], char(0x5A));
        if (bytes > 0)
            QCOMPARE(block.get()[bytes - 1], char(0x5A));
    }
    QVERIFY_THROWS_EXCEPTION(std::bad_alloc, allocateLarge(std::size_t(-1) - 10));
}

void TestLargePages::bigBlocksGetHugePages()
{
    if (!hugePagesOnRequest())
        QSKIP("transparent huge pages are switched off on this system");
    const LargeBlock block(8 * LargeBlockBytes);
    std::memset(block.get(), 1, block.size());
    // Whether a mapping may have huge pages is what the block asks for; whether the system
    // had free ones to give at that moment is its own affair.
    const qint64 eligible = smapsFieldKiB(block.get(), "THPeligible");
    if (eligible < 0)
        QSKIP("this kernel does not say which mappings may have huge pages");
    QCOMPARE(eligible, 1);
}

void TestLargePages::containerGrowsAndShrinks()
{
    std::vector<std::uint64_t, LargePageAllocator<std::uint64_t>> values;
    for (std::uint64_t i = 0; i < 3'000'000; ++i)
        values.push_back(i * 7);
    for (std::uint64_t i = 0; i < values.size(); i += 999)
        QCOMPARE(values[i], i * 7);
    values = decltype(values)();
    QCOMPARE(values.capacity(), std::size_t{0});
}

void TestLargePages::zeroedArrayCostsWhatIsWritten()
{
    // 64 MiB, blank, resident only as far as it is written; a resize keeps what stays.
    ZeroedArray<std::uint64_t> values(std::size_t(8) << 20);
    for (std::size_t i = 0; i < values.size() / 8; ++i)
        values[i] = i + 1;
    QCOMPARE(values[values.size() / 8], std::uint64_t{0});
    const qint64 resident = smapsFieldKiB(values.data(), "Rss");
    if (resident >= 0) // an eighth, rounded up to a huge page at most
        QVERIFY2(resident >= 8 * 1024 && resident <= 10 * 1024,
                 qPrintable(QString::number(resident)));
    values.resize(3);
    QCOMPARE(values[2], std::uint64_t{3});
    values.resize(5);
    QCOMPARE(values[4], std::uint64_t{0});
}

QTEST_GUILESS_MAIN(TestLargePages)
#include "tst_largepages.moc"
