#include "sheet/model/ReadControl.h"
#include "sheet/model/Workbook.h"
#include "sheet/ooxml/OoxmlReader.h"
#include "sheet/package/ZipLayout.h"
#include "sheet/package/ZipPackage.h"
#include "tests/support/OoxmlTestFiles.h"

#include <QSet>
#include <QTest>
#include <mutex>
#include <vector>

using namespace ooxmltest;

namespace {

// What a reading said it had gone past, as offsets into the package.
struct Passed
{
    std::uint64_t from;
    std::uint64_t to;
};

// A control that writes down every hand-back, from whatever thread it comes.
class PassedLog
{
public:
    explicit PassedLog(const QByteArray &package)
        : m_base(reinterpret_cast<const std::uint8_t *>(package.data()))
    {
    }

    ReadControl control()
    {
        return ReadControl(
            [this](const std::uint8_t *from, const std::uint8_t *to) {
                const std::lock_guard lock(m_mutex);
                m_passed.push_back({from ? std::uint64_t(from - m_base) : ~std::uint64_t(0),
                                    std::uint64_t(to - m_base)});
            },
            nullptr);
    }
    const std::vector<Passed> &passed() const { return m_passed; }

private:
    const std::uint8_t *m_base;
    std::mutex m_mutex;
    std::vector<Passed> m_passed;
};

std::span<const std::uint8_t> bytesOf(const QByteArray &bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.data()), std::size_t(bytes.size())};
}

// Text that deflate cannot shrink much: a megabyte of it stays more than half a megabyte.
QByteArray noise(int index)
{
    // splitmix64: cheap, and a different number for every index.
    std::uint64_t z = std::uint64_t(index) * 0x9E3779B97F4A7C15u + 0x6A09E667F3BCC909u;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return QByteArray::number(z ^ (z >> 31), 36);
}

const ZipLayout::Entry *entryHolding(const ZipLayout &layout, const Passed &passed)
{
    for (const ZipLayout::Entry &entry : layout.entries()) {
        if (passed.from == entry.dataStart && passed.to > passed.from && passed.to <= entry.dataEnd)
            return &entry;
    }
    return nullptr;
}

} // namespace

// What the reading of a package hands back of its input as it goes: only bytes of the part it
// reads, so that another part read at the same time on another thread keeps all of its own.
class TestPackageHandBack : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void partHandsBackItsOwnBytes_data();
    void partHandsBackItsOwnBytes();
    void twoThreadsKeepEachOthersParts();
};

void TestPackageHandBack::partHandsBackItsOwnBytes_data()
{
    QTest::addColumn<bool>("deflated");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("leastReports");
    QTest::newRow("stored") << false << 100 << 1;
    QTest::newRow("deflated, small") << true << 100 << 1;
    // Three megabytes of stored data: handed back a megabyte at a time, not only at the end.
    QTest::newRow("deflated, big") << true << 250'000 << 3;
}

void TestPackageHandBack::partHandsBackItsOwnBytes()
{
    QFETCH(bool, deflated);
    QFETCH(int, lines);
    QFETCH(int, leastReports);
    QByteArray data;
    for (int i = 0; i < lines; ++i)
        data += noise(i) + '\n';
    const QByteArray package = zipFile({{"before.txt", "first", deflated},
                                        {"part.txt", data, deflated},
                                        {"after.txt", "last", deflated}});
    const ZipLayout layout(bytesOf(package));
    const ZipLayout::Entry &part = layout.entries()[1];
    const ZipPackage zip(bytesOf(package));
    PassedLog log(package);
    QByteArray read;
    zip.read(
        1, [&read](std::span<const char> piece) { read.append(piece.data(), piece.size()); },
        log.control());
    QCOMPARE(read, data);

    QVERIFY(int(log.passed().size()) >= leastReports);
    std::uint64_t reached = part.dataStart;
    for (const Passed &passed : log.passed()) {
        QCOMPARE(passed.from, part.dataStart);
        QVERIFY(passed.to >= reached);
        QVERIFY(passed.to <= part.dataEnd);
        reached = passed.to;
    }
    // All of it, once it is read.
    QCOMPARE(reached, part.dataEnd);
}

void TestPackageHandBack::twoThreadsKeepEachOthersParts()
{
    // A sheet and a shared string table of a few megabytes each, read at once on two threads.
    constexpr int Rows = 60'000;
    QByteArray cells;
    QByteArray strings;
    for (int row = 1; row <= Rows; ++row) {
        const QByteArray r = QByteArray::number(row);
        cells += "<row r=\"" + r + "\"><c r=\"A" + r + "\" t=\"s\"><v>" +
                 QByteArray::number(row - 1) + "</v></c><c r=\"B" + r +
                 "\" t=\"inlineStr\"><is><t>" + noise(row) + "</t></is></c></row>";
        strings += "<si><t>" + noise(-row) + "</t></si>";
    }
    const QByteArray package = zipFile(workbookParts(cells, strings));
    const ZipLayout layout(bytesOf(package));
    PassedLog log(package);
    const ReadControl control = log.control();
    const std::shared_ptr<Workbook> book = OoxmlReader::read(bytesOf(package), control);
    const Workbook &read = *book;
    QCOMPARE(read.cellText(read.worksheet(1), Rows, 1, QLocale::c()),
             QString::fromLatin1(noise(-Rows)));
    QCOMPARE(read.cellText(read.worksheet(1), Rows, 2, QLocale::c()),
             QString::fromLatin1(noise(Rows)));

    // Every hand-back lies in the one part being read; both big parts were handed back.
    QSet<QByteArray> parts;
    for (const Passed &passed : log.passed()) {
        const ZipLayout::Entry *entry = entryHolding(layout, passed);
        QVERIFY2(entry, qPrintable(QStringLiteral("%1 to %2").arg(passed.from).arg(passed.to)));
        parts.insert(QByteArray::fromStdString(entry->name));
    }
    QVERIFY(parts.contains("xl/worksheets/sheet1.xml"));
    QVERIFY(parts.contains("xl/sharedStrings.xml"));
}

QTEST_GUILESS_MAIN(TestPackageHandBack)
#include "tst_packagehandback.moc"
