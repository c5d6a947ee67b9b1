#include "sheet/model/ReadControl.h"
#include "sheet/model/Workbook.h"
#include "sheet/ooxml/OoxmlReader.h"
#include "sheet/package/ZipLayout.h"
#include "tests/support/OoxmlTestFiles.h"

#include <QTest>
#include <algorithm>
#include <map>
#include <mutex>

using namespace ooxmltest;

namespace {

// Text that deflate cannot shrink much (splitmix64 in base 36).
QByteArray noise(int index)
{
    std::uint64_t z = std::uint64_t(index) * 0x9E3779B97F4A7C15u + 0x6A09E667F3BCC909u;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return QByteArray::number(z ^ (z >> 31), 36);
}

} // namespace

// What the reading of a package hands back of its input as it goes: only bytes of the part it
// reads, so that another part read at the same time on another thread keeps all of its own.
class TestPackageHandBack : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eachPartHandsBackOnlyItsOwnBytes();
};

void TestPackageHandBack::eachPartHandsBackOnlyItsOwnBytes()
{
    // A sheet and a string table of some megabytes, read at once on two threads.
    constexpr int Rows = 60'000;
    QByteArray cells;
    QByteArray strings;
    for (int row = 1; row <= Rows; ++row) {
        const QByteArray r = QByteArray::number(row);
        cells += "<row r=\"" + r + "\"><c r=\"A" + r + "\" t=\"s\"><v>" +
                 QByteArray::number(row - 1) + "</v></c><c r=\"B" + r +
                 "\" t=\"inlineStr\"><is><t>" + noise(row) + "</t></is></c></row>";
        strings += "<si><t>" + noise(-row) + noise(-row - Rows) + "</t></si>";
    }
    const QByteArray package = zipFile(workbookParts(cells, strings));
    const std::span bytes(reinterpret_cast<const std::uint8_t *>(package.data()),
                          std::size_t(package.size()));
    std::mutex mutex;
    std::map<std::uint64_t, std::vector<std::uint64_t>> reached; // part's start: each report's end
    const ReadControl control(
        [&](const std::uint8_t *from, const std::uint8_t *to) {
            const std::lock_guard lock(mutex);
            reached[from ? std::uint64_t(from - bytes.data()) : ~0ull].push_back(
                std::uint64_t(to - bytes.data()));
        },
        nullptr);
    const std::shared_ptr<Workbook> book = OoxmlReader::read(bytes, control);
    QCOMPARE(book->cellText(book->worksheet(1), Rows, 2, QLocale::c()),
             QString::fromLatin1(noise(Rows)));

    std::map<std::uint64_t, const ZipLayout::Entry *> parts;
    const ZipLayout layout(bytes);
    for (const ZipLayout::Entry &entry : layout.entries())
        parts[entry.dataStart] = &entry;
    int bigParts = 0;
    for (const auto &[start, ends] : reached) {
        // From a part's start on, forward, never past its end, and all of it in the end.
        QVERIFY(parts.contains(start));
        QVERIFY(std::is_sorted(ends.begin(), ends.end()));
        QVERIFY(ends.front() > start);
        QCOMPARE(ends.back(), parts[start]->dataEnd);
        // The sheet and the strings a megabyte at a time.
        bigParts += ends.size() >= 2;
    }
    QCOMPARE(bigParts, 2);
}

QTEST_GUILESS_MAIN(TestPackageHandBack)
#include "tst_packagehandback.moc"
