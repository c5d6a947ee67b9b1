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
    void zeroedArrayIsBlankAndKeepsWhatStays_data();
    void zeroedArrayIsBlankAndKeepsWhatStays();
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

void TestLargePages::zeroedArrayIsBlankAndKeepsWhatStays_data()
{
    QTest::addColumn<std::size_t>("count");
    QTest::addColumn<std::size_t>("resized");
    const std::size_t big = LargeBlockBytes / sizeof(std::uint64_t) * 3 + 5;
    QTest::newRow("small, grown") << std::size_t(10) << std::size_t(1000);
    QTest::newRow("small, shrunk") << std::size_t(1000) << std::size_t(10);
    QTest::newRow("small to big") << std::size_t(100) << big;
    QTest::newRow("big to small") << big << std::size_t(100);
    QTest::newRow("from nothing") << std::size_t(0) << big;
    QTest::newRow("to nothing") << big << std::size_t(0);
}

void TestLargePages::zeroedArrayIsBlankAndKeepsWhatStays()
{
    QFETCH(std::size_t, count);
    QFETCH(std::size_t, resized);
    ZeroedArray<std::uint64_t> values(count);
    QCOMPARE(values.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
        QCOMPARE(values[i], std::uint64_t{0});
        values[i] = i + 1;
    }
    values.resize(resized);
    QCOMPARE(values.size(), resized);
    // The values that stay keep theirs, the new ones are blank.
    for (std::size_t i = 0; i < resized; ++i)
        QCOMPARE(values[i], i < count ? i + 1 : std::uint64_t{0});

    ZeroedArray<std::uint64_t> taken(std::move(values));
    QCOMPARE(taken.size(), resized);
    QVERIFY(values.empty());
    values = std::move(taken);
    QCOMPARE(values.size(), resized);
    values.clear();
    QVERIFY(values.empty());
    QVERIFY_THROWS_EXCEPTION(std::bad_alloc, ZeroedArray<std::uint64_t>(std::size_t(-1) / 4));
}

void TestLargePages::zeroedArrayCostsWhatIsWritten()
{
    // 64 MiB: resident only as far as it is written.
    ZeroedArray<std::uint64_t> values(std::size_t(64) << 17);
    const qint64 untouched = smapsFieldKiB(values.data(), "Rss");
    if (untouched < 0)
        QSKIP("the array is not a mapping of its own here");
    QCOMPARE(untouched, 0);
    for (std::size_t i = 0; i < values.size() / 8; ++i)
        values[i] = i;
    const qint64 eighth = smapsFieldKiB(values.data(), "Rss");
    // An eighth written, rounded up to a huge page at most.
    QVERIFY2(eighth >= 8 * 1024 && eighth <= 8 * 1024 + 2048, qPrintable(QString::number(eighth)));
}

QTEST_GUILESS_MAIN(TestLargePages)
#include "tst_largepages.moc"
