#include "app/core/SnapshotBuffer.h"

#include <QTest>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

class TestSnapshotBuffer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusesRoomAboveLimit();
    void releaseKeepsRoomButNotPages();
};

void TestSnapshotBuffer::refusesRoomAboveLimit()
{
    SnapshotBuffer buffer;
    char *room = buffer.roomFor(4);
    std::memcpy(room, "abcd", 4);
    buffer.commit(4, FileIdentity{4, 1, 1, 1, 1});
    QCOMPARE(buffer.bytes(), QByteArrayView("abcd"));
    QCOMPARE(buffer.roomFor(SnapshotBuffer::CapacityLimit + 1), nullptr);
    QCOMPARE(buffer.roomFor(-1), nullptr);
    // Refused requests leave the snapshot alone.
    QVERIFY(buffer.hasSnapshot());
    QCOMPARE(buffer.allocations(), 1);
    // Exactly the limit is allowed; growth stops there.
    QVERIFY(buffer.roomFor(SnapshotBuffer::CapacityLimit) != nullptr);
    QCOMPARE(buffer.capacity(), SnapshotBuffer::CapacityLimit);
    QVERIFY(!buffer.hasSnapshot());
    QCOMPARE(buffer.FileBufferSize(), 0);
}

void TestSnapshotBuffer::releaseKeepsRoomButNotPages()
{
    SnapshotBuffer buffer;
    constexpr std::int64_t Size = 15'000'000;
    char *room = buffer.roomFor(Size);
    std::memset(room, 'x', Size);
    const FileIdentity identity{Size, 1, 2, 3, 4};
    buffer.commit(Size, identity);

    const auto page = std::uintptr_t(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t first = (std::uintptr_t(room) + page - 1) / page * page;
    const size_t pages = size_t((std::uintptr_t(room) + Size) / page * page - first) / page;
    const auto residentPages = [&] {
        std::vector<unsigned char> resident(pages);
        if (::mincore(reinterpret_cast<void *>(first), pages * page, resident.data()) != 0)
            return size_t(-1);
        return size_t(std::count_if(resident.begin(), resident.end(),
                                    [](unsigned char bit) { return bit & 1; }));
    };
    QCOMPARE(residentPages(), pages);

    buffer.release();
    QVERIFY(!buffer.hasSnapshot());
    QCOMPARE(buffer.FileBufferSize(), 0);
    QCOMPARE(buffer.identity().changedNs, identity.changedNs);
    QCOMPARE(residentPages(), size_t{0});
    // The room stays: the next snapshot of that size needs no allocation.
    QCOMPARE(buffer.roomFor(Size), room);
    QCOMPARE(buffer.allocations(), 2);
    room[Size - 1] = 'y';
    buffer.commit(Size, identity);
    QCOMPARE(buffer.bytes().back(), 'y');
}

QTEST_GUILESS_MAIN(TestSnapshotBuffer)
#include "tst_snapshotbuffer.moc"
