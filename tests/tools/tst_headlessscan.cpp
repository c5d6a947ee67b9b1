#include "app/core/ResultImport.h"
#include "app/core/ResultTable.h"
#include "app/core/SnapshotBuffer.h"
#include "platform/FileSnapshot.h"
#include "sheet/exceling.h"
#include "tests/support/ImportTestFiles.h"
#include "tests/support/ScriptedSource.h"
#include "tests/support/ThrownWorkbookError.h"
#include "tools/HeadlessScan.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>

using namespace importtest;

namespace {

FileIdentity identityOf(const QString &path)
{
    SnapshotBuffer buffer;
    FileSnapshot().take(path, buffer);
    return buffer.identity();
}

} // namespace

// The dump tool's scan without a window, on a scripted watched file: the viewer's retries,
// its torn-read rule and its outcomes.
class TestHeadlessScan : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanupTestCase() { excelRelease(); }
    void retriesLikeTheViewer();

private:
    QString tempPath() const { return m_dir.path() + QStringLiteral("/tempfgr1312.xls"); }
    QStringList leftovers() const { return entriesOf(m_dir.path()); }
    QTemporaryDir m_dir;
    QTemporaryDir m_watched;
};

void TestHeadlessScan::retriesLikeTheViewer()
{
    const QString watched = m_watched.path() + QStringLiteral("/Bellquor.xls");
    QFile file(watched);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(workbook(QStringLiteral("short")));
    file.close();
    const FileIdentity current = identityOf(watched);
    FileIdentity earlier = current;
    earlier.size -= 1;
    const QByteArray good = workbook(QStringLiteral("short"));
    const QByteArray half = workbook(QStringLiteral("version-2")).left(7000);

    QList<std::chrono::milliseconds> pauses;
    const auto pause = [&](std::chrono::milliseconds ms) {
        pauses << ms;
    };
    std::int64_t now = current.changedNs + SettleNs;
    const auto clock = [&] {
        return now;
    };
    using Step = ScriptedSource::Step;
    using enum SnapshotOutcome;

    {
        // Locked twice, a torn copy, then a whole one: no error, one import.
        ScriptedSource source;
        source.steps = {Step{Refused, {}, {}}, Step{Refused, {}, {}}, Step{Taken, half, earlier},
                        Step{Taken, good, current}};
        HeadlessScan scan(source, tempPath(), pause, clock);
        ResultTable table;
        QCOMPARE(scan.run(watched, table, std::chrono::milliseconds(300)),
                 HeadlessScan::Outcome::Imported);
        QCOMPARE(contents(table), expectedTable(QStringLiteral("short")));
        QCOMPARE(scan.attempts(), 4);
        QCOMPARE(scan.tornSnapshots(), 1);
        QCOMPARE(pauses, QList<std::chrono::milliseconds>(3, std::chrono::milliseconds(300)));
    }
    {
        // Locked for good: 30 attempts, 29 pauses, the table untouched.
        pauses.clear();
        ScriptedSource source;
        source.steps = {Step{Refused, {}, {}}};
        HeadlessScan scan(source, tempPath(), pause, clock);
        ResultTable table;
        table.SetCells(0, 0, QStringLiteral("kept"));
        QCOMPARE(scan.run(watched, table, std::chrono::milliseconds(5)),
                 HeadlessScan::Outcome::GaveUp);
        QCOMPARE(source.taken, 30);
        QCOMPARE(pauses.size(), 29);
        QCOMPARE(table.Cells(0, 0), QStringLiteral("kept"));
    }
    {
        // Torn every time: gives up after 30 attempts as well, silently.
        ScriptedSource source;
        source.steps = {Step{Taken, half, earlier}};
        HeadlessScan scan(source, tempPath(), pause, clock);
        ResultTable table;
        QCOMPARE(scan.run(watched, table, std::chrono::milliseconds(0)),
                 HeadlessScan::Outcome::GaveUp);
        QCOMPARE(scan.tornSnapshots(), 30);
    }
    {
        // Damaged and unchanged: reported at the first attempt.
        ScriptedSource source;
        source.steps = {Step{Taken, half, current}};
        HeadlessScan scan(source, tempPath(), pause, clock);
        ResultTable table;
        QVERIFY(thrownWorkbookError([&] {
                    scan.run(watched, table, std::chrono::milliseconds(0));
                }).startsWith(QStringLiteral("The workbook is damaged")));
        QCOMPARE(source.taken, 1);
    }
    {
        // Damaged and just written: tried again until it has settled, then reported.
        pauses.clear();
        ScriptedSource source;
        source.steps = {Step{Taken, half, current}};
        now = current.changedNs;
        const auto settling = [&](std::chrono::milliseconds ms) {
            pauses << ms;
            now += std::chrono::nanoseconds(ms).count();
        };
        HeadlessScan scan(source, tempPath(), settling, clock);
        ResultTable table;
        QVERIFY(thrownWorkbookError([&] {
                    scan.run(watched, table, std::chrono::milliseconds(300));
                }).startsWith(QStringLiteral("The workbook is damaged")));
        QCOMPARE(source.taken, 8); // at 0, 0.3, ... 2.1 s
        QCOMPARE(scan.tornSnapshots(), 7);
    }
    {
        // Missing: the table is emptied and the scan ends.
        ScriptedSource source;
        source.steps = {Step{Missing, {}, {}}};
        HeadlessScan scan(source, tempPath(), pause, clock);
        ResultTable table;
        table.SetCells(0, 0, QStringLiteral("gone"));
        QCOMPARE(scan.run(watched, table, std::chrono::milliseconds(0)),
                 HeadlessScan::Outcome::Missing);
        QCOMPARE(table.Cells(0, 0), QString());
    }
    QCOMPARE(leftovers(), QStringList());
}

QTEST_GUILESS_MAIN(TestHeadlessScan)
#include "tst_headlessscan.moc"
