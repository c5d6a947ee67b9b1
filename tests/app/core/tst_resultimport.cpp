#include "app/core/ResultImport.h"
#include "app/core/ResultTable.h"
#include "app/core/SnapshotBuffer.h"
#include "app/core/TornSnapshot.h"
#include "platform/FileSnapshot.h"
#include "sheet/exceling.h"
#include "sheet/model/WorkbookError.h"
#include "tests/support/ImportTestFiles.h"
#include "tests/support/PermissionsApply.h"
#include "tests/support/ThrownInOutError.h"
#include "tests/support/XlsTestFiles.h"
#include "tools/HeadlessScan.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace importtest;

namespace {

// The message of the WorkbookError `operation` throws, or "none".
template<typename Operation>
QString ThrownWorkbookError(Operation &&operation)
{
    try {
        std::forward<Operation>(operation)();
    } catch (const WorkbookError &error) {
        return error.message();
    }
    return QStringLiteral("none");
}

// What the import may leave alone on failure: everything a user sees of the table.
struct TableState
{
    Table cells;
    int fixedRows;
    int col;
    int row;

    explicit TableState(const ResultTable &table)
        : cells(contents(table))
        , fixedRows(table.FixedRows())
        , col(table.Col())
        , row(table.Row())
    {
    }
    bool operator==(const TableState &) const = default;
};

// A one-sheet workbook whose column 3 holds `key` in row 3 between two ordinary data rows.
QByteArray keyCellWorkbook(const QByteArray &keyRecords)
{
    using namespace xlstest;
    QByteArray cells;
    for (int col = 0; col < 13; ++col)
        cells += label8(0, col, QStringLiteral("H%1").arg(col + 1));
    cells += label8(1, 0, QStringLiteral("first")) + label8(1, 2, QStringLiteral("k"));
    cells += label8(2, 0, QStringLiteral("second")) + keyRecords;
    cells += label8(3, 0, QStringLiteral("third")) + label8(3, 2, QStringLiteral("k"));
    return xlsFile(simpleStream(cells));
}

// A scripted watched file: each Take commits the next of `copies` as the version `identity`,
// or reports the file missing or refused.
class ScriptedSource final : public SnapshotSource
{
public:
    struct Step
    {
        SnapshotOutcome outcome;
        QByteArray bytes;
        FileIdentity identity;
    };
    QList<Step> steps;
    int taken = 0;

    SnapshotResult Take(const QString &, SnapshotStorage &storage) override
    {
        const Step step = steps.value(taken, steps.constLast());
        ++taken;
        if (step.outcome != SnapshotOutcome::Taken)
            return SnapshotResult::of(step.outcome);
        char *room = storage.RoomFor(step.bytes.size());
        std::memcpy(room, step.bytes.constData(), size_t(step.bytes.size()));
        storage.Commit(step.bytes.size(), step.identity);
        return SnapshotResult::of(SnapshotOutcome::Taken, step.bytes.size());
    }
};

FileIdentity IdentityOf(const QString &path)
{
    SnapshotBuffer buffer;
    FileSnapshot().Take(path, buffer);
    return buffer.Identity();
}

// An import uses its snapshot up; the tests that import one snapshot several times put it back.
void Refill(SnapshotBuffer &snapshot, QByteArrayView bytes, const FileIdentity &identity)
{
    std::memcpy(snapshot.RoomFor(bytes.size()), bytes.data(), size_t(bytes.size()));
    snapshot.Commit(bytes.size(), identity);
}

} // namespace

// The import from snapshot bytes to the table, through the real reader and the real model.
class TestResultImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanupTestCase();

    void temporaryWorkbookPath();
    void tableShapes_data();
    void tableShapes();
    void keyCellEndsTable_data();
    void keyCellEndsTable();
    void headerOnlyUnfixesTheHeaderForGood();
    void twoImportsInARow();
    void leftoverTemporaryFileIsReplaced();

    void zeroByteSnapshot();
    void failedStepsLeaveNothing_data();
    void failedStepsLeaveNothing();
    void applicationDirectoryNotWritable();
    void diskFull();

    void tornSnapshot();
    void damagedWhileUnchanged();
    void tornRuleOnlyForContent();

    void headlessScanRetriesLikeTheViewer();

private:
    QString tempPath() const { return m_dir.path() + QStringLiteral("/tempfgr1312.xls"); }
    QStringList leftovers() const { return entriesOf(m_dir.path()); }
    QTemporaryDir m_dir;
    QTemporaryDir m_watched;
};

void TestResultImport::init()
{
    QVERIFY(m_dir.isValid());
    for (const QString &name : leftovers())
        QFile::remove(m_dir.path() + u'/' + name);
}

void TestResultImport::cleanupTestCase()
{
    ExcelRelease();
}

void TestResultImport::temporaryWorkbookPath()
{
    QCOMPARE(TemporaryWorkbookPath(QStringLiteral("/opt/orvandel/"), 1312),
             QStringLiteral("/opt/orvandel/tempfgr1312.xls"));
    QCOMPARE(TemporaryWorkbookPath(QStringLiteral("/a/"), 0), QStringLiteral("/a/tempfgr0.xls"));
    QCOMPARE(TemporaryWorkbookPath(QStringLiteral("/a/"), 0xFFFFFFFFFFFFFFFFull),
             QStringLiteral("/a/tempfgr18446744073709551615.xls"));
}

void TestResultImport::tableShapes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("rows");

    QTest::newRow("header only") << QStringLiteral("header-only") << 1;
    QTest::newRow("empty first sheet") << QStringLiteral("empty-sheet") << 1;
    QTest::newRow("key gap at row 7") << QStringLiteral("key-gap") << 6;
    QTest::newRow("blanks, 0, a formatted blank") << QStringLiteral("key-blanks-zero") << 5;
    QTest::newRow("columns 14 to 20") << QStringLiteral("wide") << 4;
    QTest::newRow("several sheets") << QStringLiteral("several-sheets") << 4;
    QTest::newRow("long") << QStringLiteral("long") << 201;
    QTest::newRow("texts") << QStringLiteral("dump-texts") << 4;
}

void TestResultImport::tableShapes()
{
    QFETCH(QString, name);
    QFETCH(int, rows);

    ResultTable table;
    ImportResults(workbook(name), tempPath(), table);

    const Table expected = expectedTable(name);
    QCOMPARE(expected.size(), rows); // the writer's own idea of the table agrees
    QCOMPARE(table.ColCount(), 13);
    QCOMPARE(table.RowCount(), rows);
    QCOMPARE(contents(table), expected);
    QCOMPARE(table.Col(), 0);
    QCOMPARE(table.Row(), rows - 1);
    QCOMPARE(table.FixedRows(), rows == 1 ? 0 : 1);
    QCOMPARE(leftovers(), QStringList());
}

void TestResultImport::keyCellEndsTable_data()
{
    using namespace xlstest;
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<int>("rows");

    // Formula results: 0 text (a STRING record follows), 3 empty text.
    QTest::newRow("empty-text formula result") << formulaSpecial(2, 2, 3) << 2;
    QTest::newRow("formula text result, empty STRING")
        << formulaSpecial(2, 2, 0) + stringRecord(QString()) << 2;
    QTest::newRow("empty LABEL") << label8(2, 2, QString()) << 2;
    QTest::newRow("BLANK") << blank(2, 2, 1) << 2;
    QTest::newRow("MULBLANK over column 3") << mulBlank(2, 1, 4) << 2;
    QTest::newRow("formula result 0") << formulaNumber(2, 2, 0) << 4;
    QTest::newRow("formula result one blank")
        << formulaSpecial(2, 2, 0) + stringRecord(QStringLiteral(" ")) << 4;
    QTest::newRow("formula result FALSE") << formulaSpecial(2, 2, 1, 0) << 4;
    QTest::newRow("error #N/A") << boolErr(2, 2, 0x2A, true) << 4;
    QTest::newRow("number 0") << number(2, 2, 0) << 4;
}

void TestResultImport::keyCellEndsTable()
{
    QFETCH(QByteArray, key);
    QFETCH(int, rows);

    ResultTable table;
    ImportResults(keyCellWorkbook(key), tempPath(), table);
    QCOMPARE(table.RowCount(), rows);
    QCOMPARE(table.Cells(0, rows - 1),
             rows == 2 ? QStringLiteral("first") : QStringLiteral("third"));
}

void TestResultImport::headerOnlyUnfixesTheHeaderForGood()
{
    ResultTable table;
    QSignalSpy fixed(&table, &ResultTable::fixedRowsChanged);
    ImportResults(workbook(QStringLiteral("long")), tempPath(), table);
    QCOMPARE(table.FixedRows(), 1);

    ImportResults(workbook(QStringLiteral("header-only")), tempPath(), table);
    QCOMPARE(table.RowCount(), 1);
    QCOMPARE(table.FixedRows(), 0);
    QCOMPARE(table.Col(), 0);
    QCOMPARE(table.Row(), 0);
    QCOMPARE(contents(table), expectedTable(QStringLiteral("header-only")));

    // A later, longer table keeps row 0 scrolling with the rest.
    ImportResults(workbook(QStringLiteral("long")), tempPath(), table);
    QCOMPARE(table.RowCount(), 201);
    QCOMPARE(table.FixedRows(), 0);
    QCOMPARE(table.Row(), 200);
    QCOMPARE(fixed.count(), 1);
}

void TestResultImport::twoImportsInARow()
{
    ResultTable table;
    ImportResults(workbook(QStringLiteral("long")), tempPath(), table);
    const Table first = contents(table);

    // The user moved away meanwhile.
    table.SetCol(5);
    table.SetRow(3);
    QSignalSpy current(&table, &ResultTable::currentCellChanged);
    ImportResults(workbook(QStringLiteral("long")), tempPath(), table);
    QCOMPARE(contents(table), first);
    QCOMPARE(table.Col(), 0);
    QCOMPARE(table.Row(), 200);
    QVERIFY(!current.isEmpty());
    QCOMPARE(current.constLast(), (QList<QVariant>{0, 200}));

    // And once more without moving: the same table, the same current cell.
    ImportResults(workbook(QStringLiteral("long")), tempPath(), table);
    QCOMPARE(contents(table), first);
    QCOMPARE(table.Row(), 200);

    // A shorter table after a longer one leaves nothing of the longer one.
    ImportResults(workbook(QStringLiteral("short")), tempPath(), table);
    QCOMPARE(contents(table), expectedTable(QStringLiteral("short")));
    QCOMPARE(table.Row(), 4);
    QCOMPARE(leftovers(), QStringList());
}

void TestResultImport::leftoverTemporaryFileIsReplaced()
{
    // A read-only copy left by an earlier failure, longer than the new snapshot.
    QFile old(tempPath());
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(200000, 'x'));
    old.close();
    QVERIFY(QFile::setPermissions(tempPath(), QFile::ReadOwner));

    ResultTable table;
    ImportResults(workbook(QStringLiteral("short")), tempPath(), table);
    QCOMPARE(contents(table), expectedTable(QStringLiteral("short")));
    QCOMPARE(leftovers(), QStringList());

    // A link under the name: replaced, never written through.
    const QString victim = m_watched.path() + QStringLiteral("/victim");
    QFile target(victim);
    QVERIFY(target.open(QIODevice::WriteOnly));
    target.write("keep me");
    target.close();
    QVERIFY(QFile::link(victim, tempPath()));
    ImportResults(workbook(QStringLiteral("short")), tempPath(), table);
    QCOMPARE(readAll(victim), QByteArray("keep me"));
    QCOMPARE(leftovers(), QStringList());
}

void TestResultImport::zeroByteSnapshot()
{
    ResultTable table;
    ImportResults(workbook(QStringLiteral("short")), tempPath(), table);
    const TableState before(table);

    QCOMPARE(ThrownWorkbookError([&] { ImportResults(QByteArrayView(), tempPath(), table); }),
             QStringLiteral("The file is not an Excel workbook"));
    QCOMPARE(TableState(table), before);
    QCOMPARE(leftovers(), QStringList());
}

void TestResultImport::failedStepsLeaveNothing_data()
{
    using namespace xlstest;
    QTest::addColumn<QByteArray>("snapshot");
    QTest::addColumn<QString>("message");

    QTest::newRow("open: not a workbook") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                                          << QStringLiteral("The file is not an Excel workbook");
    const QByteArray good = workbook(QStringLiteral("version-2"));
    QTest::newRow("open: truncated container")
        << good.left(good.size() / 2) << QStringLiteral("The workbook is damaged");
    QByteArray badFat = good;
    putU32(badFat, 76, 0xFFFFFFF0); // the first allocation table sector beyond the file
    QTest::newRow("open: damaged allocation table")
        << badFat << QStringLiteral("The workbook is damaged");
    // Chart sheets only: no first worksheet to select.
    QTest::newRow("select: no worksheet")
        << xlsFile(workbookStream(8, standardStyles(8),
                                  {Sheet{QStringLiteral("Chart"), QByteArray(), 2}}))
        << QStringLiteral("The workbook has no worksheet 1");
}

// The reader parses the whole workbook when it is opened, so reading a cell of a selected
// worksheet cannot fail: there is no failing cell read to test.
void TestResultImport::failedStepsLeaveNothing()
{
    QFETCH(QByteArray, snapshot);
    QFETCH(QString, message);

    ResultTable table;
    ImportResults(workbook(QStringLiteral("long")), tempPath(), table);
    table.SetCol(4);
    table.SetRow(17);
    const TableState before(table);

    QVERIFY(ThrownWorkbookError([&] {
                ImportResults(snapshot, tempPath(), table);
            }).startsWith(message));
    QCOMPARE(TableState(table), before);
    QCOMPARE(leftovers(), QStringList());
    // The failed workbook is not left open: nothing is there to close.
    QVERIFY_THROWS_EXCEPTION(WorkbookError, ExcelClose());

    ImportResults(workbook(QStringLiteral("short")), tempPath(), table);
    QCOMPARE(contents(table), expectedTable(QStringLiteral("short")));
    QCOMPARE(leftovers(), QStringList());
}

void TestResultImport::applicationDirectoryNotWritable()
{
    ResultTable table;
    ImportResults(workbook(QStringLiteral("short")), tempPath(), table);
    const TableState before(table);

    QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner |
                                                    QFile::ReadOther | QFile::ExeOther));
    {
        const PermissionsApply permissions;
        if (QFile(m_dir.path() + QStringLiteral("/probe")).open(QIODevice::WriteOnly))
            QSKIP("this process writes into read-only directories");
        for (int scan = 0; scan < 3; ++scan) {
            QCOMPARE(ThrownInOutError([&] {
                         ImportResults(workbook(QStringLiteral("long")), tempPath(), table);
                     }),
                     std::pair(5, QStringLiteral("File access denied")));
        }
    }
    QVERIFY(QFile::setPermissions(m_dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QCOMPARE(TableState(table), before);
    QCOMPARE(leftovers(), QStringList());

    // A directory that does not exist, or a file where the directory should be.
    const QString plain = m_watched.path() + QStringLiteral("/plain");
    QFile file(plain);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    for (const QString &dir : {plain + u'/', m_watched.path() + QStringLiteral("/none/")}) {
        QCOMPARE(ThrownInOutError([&] {
                     ImportResults(workbook(QStringLiteral("long")), TemporaryWorkbookPath(dir, 7),
                                   table);
                 }),
                 std::pair(2, QStringLiteral("File not found")));
    }
    QCOMPARE(TableState(table), before);

    // Writable again: the next import goes through.
    ImportResults(workbook(QStringLiteral("long")), tempPath(), table);
    QCOMPARE(table.RowCount(), 201);
}

void TestResultImport::diskFull()
{
    // The file size limit cuts the write short as a full disk would; it would also stop the
    // test's own output, so the import runs in a child process.
    const QByteArray snapshot = workbook(QStringLiteral("version-3"));
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ResultTable table;
        const int code =
            ThrownInOutError([&] { ImportResults(snapshot, tempPath(), table); }).first;
        ::_exit(code == 101 && table.RowCount() == 2 ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(leftovers(), QStringList());
}

void TestResultImport::tornSnapshot()
{
    // The snapshot holds half a workbook; the file has moved on since.
    const QString watched = m_watched.path() + QStringLiteral("/Bellquor.xls");
    const QByteArray good = workbook(QStringLiteral("version-2"));
    QFile file(watched);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(good.left(good.size() / 2));
    file.close();
    SnapshotBuffer snapshot;
    QCOMPARE(FileSnapshot().Take(watched, snapshot).outcome, SnapshotOutcome::Taken);

    ResultTable table;
    ImportResults(workbook(QStringLiteral("short")), tempPath(), table);
    const TableState before(table);

    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(good);
    file.close();
    // Long settled, but the file has moved on since.
    const std::int64_t later = snapshot.Identity().changedNs + 10 * SettleNs;
    const QByteArray taken = snapshot.Bytes().toByteArray();
    const FileIdentity identity = snapshot.Identity();
    QVERIFY_THROWS_EXCEPTION(TornSnapshot,
                             ImportSnapshot(snapshot, watched, tempPath(), table, later));
    QCOMPARE(TableState(table), before);
    QCOMPARE(leftovers(), QStringList());
    // Used up, and its change time kept for the rule.
    QVERIFY(!snapshot.HasSnapshot());
    QCOMPARE(snapshot.FileBufferSize(), 0);
    QCOMPARE(snapshot.Identity().changedNs, identity.changedNs);

    // Gone altogether counts as changed as well.
    Refill(snapshot, taken, identity);
    QVERIFY(QFile::remove(watched));
    QVERIFY_THROWS_EXCEPTION(TornSnapshot,
                             ImportSnapshot(snapshot, watched, tempPath(), table, later));
    QCOMPARE(TableState(table), before);
}

void TestResultImport::damagedWhileUnchanged()
{
    const QString watched = m_watched.path() + QStringLiteral("/Bellquor.xls");
    for (const QByteArray &bytes :
         {workbook(QStringLiteral("version-2")).left(3000), QByteArray("not a\0workbook", 14)}) {
        QFile file(watched);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        SnapshotBuffer snapshot;
        QCOMPARE(FileSnapshot().Take(watched, snapshot).outcome, SnapshotOutcome::Taken);

        const FileIdentity identity = snapshot.Identity();
        QCOMPARE(snapshot.Bytes(), QByteArrayView(bytes));

        ResultTable table;
        const TableState before(table);
        // Fresh from the writer: perhaps caught half way, so tried again.
        const std::int64_t changed = identity.changedNs;
        QVERIFY_THROWS_EXCEPTION(TornSnapshot, ImportSnapshot(snapshot, watched, tempPath(), table,
                                                              changed + SettleNs - 1));
        QCOMPARE(TableState(table), before);
        // From a clock far ahead of ours: no telling, so reported.
        Refill(snapshot, bytes, identity);
        const QString early = ThrownWorkbookError(
            [&] { ImportSnapshot(snapshot, watched, tempPath(), table, changed - SettleNs); });
        // Settled: reported.
        Refill(snapshot, bytes, identity);
        const QString message = ThrownWorkbookError(
            [&] { ImportSnapshot(snapshot, watched, tempPath(), table, changed + SettleNs); });
        QCOMPARE(early, message);
        // The bytes that were taken, not an empty copy.
        QVERIFY2(message.startsWith(bytes.size() == 3000
                                        ? QStringLiteral("The workbook is damaged")
                                        : QStringLiteral("The file is not an Excel workbook")),
                 qPrintable(message));
        QCOMPARE(TableState(table), before);
        QCOMPARE(leftovers(), QStringList());
    }
}

void TestResultImport::tornRuleOnlyForContent()
{
    // A good snapshot of a file that changed since imports as usual.
    const QString watched = m_watched.path() + QStringLiteral("/Bellquor.xls");
    QFile file(watched);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(workbook(QStringLiteral("short")));
    file.close();
    SnapshotBuffer snapshot;
    QCOMPARE(FileSnapshot().Take(watched, snapshot).outcome, SnapshotOutcome::Taken);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(workbook(QStringLiteral("long")));
    file.close();

    const QByteArray taken = snapshot.Bytes().toByteArray();
    const FileIdentity identity = snapshot.Identity();
    ResultTable table;
    ImportSnapshot(snapshot, watched, tempPath(), table);
    QCOMPARE(contents(table), expectedTable(QStringLiteral("short")));

    // An I/O error of the temporary copy is ours to report, changed file or not.
    Refill(snapshot, taken, identity);
    QCOMPARE(ThrownInOutError([&] {
                 ImportSnapshot(snapshot, watched,
                                m_watched.path() + QStringLiteral("/none/tempfgr1.xls"), table);
             }),
             std::pair(2, QStringLiteral("File not found")));
}

void TestResultImport::headlessScanRetriesLikeTheViewer()
{
    const QString watched = m_watched.path() + QStringLiteral("/Bellquor.xls");
    QFile file(watched);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(workbook(QStringLiteral("short")));
    file.close();
    const FileIdentity current = IdentityOf(watched);
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
        QCOMPARE(scan.Run(watched, table, std::chrono::milliseconds(300)),
                 HeadlessScan::Outcome::Imported);
        QCOMPARE(contents(table), expectedTable(QStringLiteral("short")));
        QCOMPARE(scan.Attempts(), 4);
        QCOMPARE(scan.TornSnapshots(), 1);
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
        QCOMPARE(scan.Run(watched, table, std::chrono::milliseconds(5)),
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
        QCOMPARE(scan.Run(watched, table, std::chrono::milliseconds(0)),
                 HeadlessScan::Outcome::GaveUp);
        QCOMPARE(scan.TornSnapshots(), 30);
    }
    {
        // Damaged and unchanged: reported at the first attempt.
        ScriptedSource source;
        source.steps = {Step{Taken, half, current}};
        HeadlessScan scan(source, tempPath(), pause, clock);
        ResultTable table;
        QVERIFY(ThrownWorkbookError([&] {
                    scan.Run(watched, table, std::chrono::milliseconds(0));
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
        QVERIFY(ThrownWorkbookError([&] {
                    scan.Run(watched, table, std::chrono::milliseconds(300));
                }).startsWith(QStringLiteral("The workbook is damaged")));
        QCOMPARE(source.taken, 8); // at 0, 0.3, ... 2.1 s
        QCOMPARE(scan.TornSnapshots(), 7);
    }
    {
        // Missing: the table is emptied and the scan ends.
        ScriptedSource source;
        source.steps = {Step{Missing, {}, {}}};
        HeadlessScan scan(source, tempPath(), pause, clock);
        ResultTable table;
        table.SetCells(0, 0, QStringLiteral("gone"));
        QCOMPARE(scan.Run(watched, table, std::chrono::milliseconds(0)),
                 HeadlessScan::Outcome::Missing);
        QCOMPARE(table.Cells(0, 0), QString());
    }
    QCOMPARE(leftovers(), QStringList());
}

QTEST_GUILESS_MAIN(TestResultImport)
#include "tst_resultimport.moc"
