#include "app/core/ResultImport.h"
#include "app/core/ResultTable.h"
#include "app/core/SnapshotBuffer.h"
#include "app/core/TornSnapshot.h"
#include "platform/FileSnapshot.h"
#include "sheet/exceling.h"
#include "sheet/model/ReadControl.h"
#include "sheet/model/WorkbookError.h"
#include "tests/support/ImportTestFiles.h"
#include "tests/support/PermissionsApply.h"
#include "tests/support/ThrownInOutError.h"
#include "tests/support/ThrownWorkbookError.h"
#include "tests/support/XlsTestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <cstring>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace importtest;

namespace {

// The table as the viewer's grid is given it: the cells, and the current cell the import asks
// for, which the grid then brings into the table (tst_importgrid and tst_resultgrid show it on
// the grid itself). A fill is always bracketed, and cells come only inside it.
class RecordingTable final : public ImportTarget
{
public:
    ResultTable cells;
    int col = 0; // where a grid starts
    int row = 1;
    QList<QVariantList> currentMoves;
    int fillDepth = 0;
    int cellsOutsideFill = 0;
    std::function<void()> onCell;

    void ClearGrid() override { cells.ClearGrid(); }
    void SetColCount(int count) override { cells.SetColCount(count); }
    void SetRowCount(int count) override { cells.SetRowCount(count); }
    int RowCount() const override { return cells.RowCount(); }
    void beginFill() override { ++fillDepth; }
    void endFill() override { --fillDepth; }
    void SetCells(int c, int r, QStringView text) override
    {
        cellsOutsideFill += fillDepth > 0 ? 0 : 1;
        cells.SetCells(c, r, text);
        if (onCell)
            onCell();
    }
    void setCurrentColumn(int c) override
    {
        col = c;
        currentMoves << QVariantList{QStringLiteral("column"), c};
    }
    void setCurrentRow(int r) override
    {
        row = r;
        currentMoves << QVariantList{QStringLiteral("row"), r};
    }
};

// What the import may leave alone on failure: everything a user sees of the table.
struct TableState
{
    Table cells;
    int fixedRows;
    int col;
    int row;

    explicit TableState(const RecordingTable &table)
        : cells(contents(table.cells))
        , fixedRows(table.cells.FixedRows())
        , col(table.col)
        , row(table.row)
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

// An import uses its snapshot up; the tests that import one snapshot several times put it back.
void refill(SnapshotBuffer &snapshot, QByteArrayView bytes, const FileIdentity &identity)
{
    char *room = snapshot.roomFor(bytes.size());
    if (!bytes.isEmpty()) // an empty view may hold no pointer at all
        std::memcpy(room, bytes.data(), size_t(bytes.size()));
    snapshot.commit(bytes.size(), identity);
}

// Writes `bytes` as the watched file and takes the snapshot of it; false when either fails.
bool snapshotOfFile(const QString &path, const QByteArray &bytes, SnapshotBuffer &snapshot)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return FileSnapshot().take(path, snapshot).outcome == SnapshotOutcome::Taken;
}

} // namespace

// The import from snapshot bytes to the table, through the real reader and the real model.
class TestResultImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanupTestCase();

    void privateCopyName();
    void tableShapes_data();
    void tableShapes();
    void keyCellEndsTable_data();
    void keyCellEndsTable();
    void headerOnlyUnfixesTheHeaderForGood();
    void twoImportsInARow();
    void damageBeyondTheFirstSheet();
    void leftoverTemporaryFileIsReplaced();

    void zeroByteSnapshot();
    void failedStepsLeaveNothing_data();
    void failedStepsLeaveNothing();
    void applicationDirectoryNotWritable();
    void diskFull();
    void calledOff();

    void tornSnapshot();
    void damagedWhileUnchanged();
    void tornRuleOnlyForContent();
    void cutShortNeverRead_data();
    void cutShortNeverRead();

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
    excelRelease();
}

void TestResultImport::privateCopyName()
{
    QCOMPARE(temporaryWorkbookPath(QStringLiteral("/opt/orvandel/"), 1312),
             QStringLiteral("/opt/orvandel/tempfgr1312.xls"));
    QCOMPARE(temporaryWorkbookPath(QStringLiteral("/a/"), 0), QStringLiteral("/a/tempfgr0.xls"));
    QCOMPARE(temporaryWorkbookPath(QStringLiteral("/a/"), 0xFFFFFFFFFFFFFFFFull),
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

    RecordingTable table;
    importResults(workbook(name), tempPath(), table);

    const Table expected = expectedTable(name);
    QCOMPARE(expected.size(), rows); // the writer's own idea of the table agrees
    QCOMPARE(table.cells.ColCount(), 13);
    QCOMPARE(table.RowCount(), rows);
    QCOMPARE(contents(table.cells), expected);
    // Column 0, then the last row, as two settings once the fill is over.
    QCOMPARE(table.currentMoves, (QList<QVariantList>{{QStringLiteral("column"), 0},
                                                      {QStringLiteral("row"), rows - 1}}));
    QCOMPARE(table.fillDepth, 0);
    QCOMPARE(table.cellsOutsideFill, 0);
    QCOMPARE(table.cells.FixedRows(), rows == 1 ? 0 : 1);
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

    RecordingTable table;
    importResults(keyCellWorkbook(key), tempPath(), table);
    QCOMPARE(table.RowCount(), rows);
    QCOMPARE(table.cells.Cells(0, rows - 1),
             rows == 2 ? QStringLiteral("first") : QStringLiteral("third"));
}

void TestResultImport::headerOnlyUnfixesTheHeaderForGood()
{
    RecordingTable table;
    importResults(workbook(QStringLiteral("long")), tempPath(), table);
    QCOMPARE(table.cells.FixedRows(), 1);

    importResults(workbook(QStringLiteral("header-only")), tempPath(), table);
    QCOMPARE(table.RowCount(), 1);
    QCOMPARE(table.cells.FixedRows(), 0);
    QCOMPARE(table.col, 0);
    QCOMPARE(table.row, 0);
    QCOMPARE(contents(table.cells), expectedTable(QStringLiteral("header-only")));

    // A later, longer table keeps row 0 scrolling with the rest.
    importResults(workbook(QStringLiteral("long")), tempPath(), table);
    QCOMPARE(table.RowCount(), 201);
    QCOMPARE(table.cells.FixedRows(), 0);
    QCOMPARE(table.row, 200);
}

void TestResultImport::twoImportsInARow()
{
    RecordingTable table;
    importResults(workbook(QStringLiteral("long")), tempPath(), table);
    const Table first = contents(table.cells);

    // The user moved away meanwhile.
    table.col = 5;
    table.row = 3;
    table.currentMoves.clear();
    importResults(workbook(QStringLiteral("long")), tempPath(), table);
    QCOMPARE(contents(table.cells), first);
    QCOMPARE(table.col, 0);
    QCOMPARE(table.row, 200);
    QCOMPARE(table.currentMoves.size(), 2);

    // And once more without moving: the same table, the same current cell.
    importResults(workbook(QStringLiteral("long")), tempPath(), table);
    QCOMPARE(contents(table.cells), first);
    QCOMPARE(table.row, 200);

    // A shorter table after a longer one leaves nothing of the longer one.
    importResults(workbook(QStringLiteral("short")), tempPath(), table);
    QCOMPARE(contents(table.cells), expectedTable(QStringLiteral("short")));
    QCOMPARE(table.row, 4);
    QCOMPARE(leftovers(), QStringList());
}

void TestResultImport::damageBeyondTheFirstSheet()
{
    // The viewer shows the first worksheet only: a part missing for another one is no reason
    // to refuse the table.
    const QString formats = QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data/formats/scope__");
    RecordingTable expected;
    importResults(readAll(formats + QStringLiteral("two-sheets.xlsx")), tempPath(), expected);
    RecordingTable table;
    importResults(readAll(formats + QStringLiteral("missing-second-part.xlsx")), tempPath(), table);
    QCOMPARE(table.RowCount(), 4);
    QCOMPARE(contents(table.cells), contents(expected.cells));
}

void TestResultImport::leftoverTemporaryFileIsReplaced()
{
    // A read-only copy left by an earlier failure, longer than the new snapshot.
    QFile old(tempPath());
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(200000, 'x'));
    old.close();
    QVERIFY(QFile::setPermissions(tempPath(), QFile::ReadOwner));

    RecordingTable table;
    importResults(workbook(QStringLiteral("short")), tempPath(), table);
    QCOMPARE(contents(table.cells), expectedTable(QStringLiteral("short")));
    QCOMPARE(leftovers(), QStringList());

    // A link under the name: replaced, never written through.
    const QString victim = m_watched.path() + QStringLiteral("/victim");
    QFile target(victim);
    QVERIFY(target.open(QIODevice::WriteOnly));
    target.write("keep me");
    target.close();
    QVERIFY(QFile::link(victim, tempPath()));
    importResults(workbook(QStringLiteral("short")), tempPath(), table);
    QCOMPARE(readAll(victim), QByteArray("keep me"));
    QCOMPARE(leftovers(), QStringList());
}

void TestResultImport::zeroByteSnapshot()
{
    RecordingTable table;
    importResults(workbook(QStringLiteral("short")), tempPath(), table);
    const TableState before(table);

    QCOMPARE(thrownWorkbookError([&] { importResults(QByteArrayView(), tempPath(), table); }),
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

    RecordingTable table;
    importResults(workbook(QStringLiteral("long")), tempPath(), table);
    table.col = 4;
    table.row = 17;
    const TableState before(table);

    QVERIFY(thrownWorkbookError([&] {
                importResults(snapshot, tempPath(), table);
            }).startsWith(message));
    QCOMPARE(TableState(table), before);
    QCOMPARE(leftovers(), QStringList());
    // The failed workbook is not left open: nothing is there to close.
    QVERIFY_THROWS_EXCEPTION(WorkbookError, ExcelClose());

    importResults(workbook(QStringLiteral("short")), tempPath(), table);
    QCOMPARE(contents(table.cells), expectedTable(QStringLiteral("short")));
    QCOMPARE(leftovers(), QStringList());
}

// An import on a thread of its own that is called off ends like a failed one: the copy deleted,
// the workbook closed, and the next import unaffected.
void TestResultImport::calledOff()
{
    RecordingTable table;
    std::atomic<bool> cancelled = true;
    QVERIFY_THROWS_EXCEPTION(ReadCancelled, importResults(workbook(QStringLiteral("long")),
                                                          tempPath(), table, &cancelled));
    QCOMPARE(table.cells.RowCount(), 2); // nothing filled
    QCOMPARE(leftovers(), QStringList());
    QVERIFY_THROWS_EXCEPTION(WorkbookError, ExcelClose());

    // Called off in the middle of the fill: no further row is read.
    cancelled = false;
    int cells = 0;
    table.onCell = [&] {
        if (++cells == 13 * 5 + 1)
            cancelled = true;
    };
    QVERIFY_THROWS_EXCEPTION(ReadCancelled, importResults(workbook(QStringLiteral("long")),
                                                          tempPath(), table, &cancelled));
    QCOMPARE(cells, 13 * 6);
    QCOMPARE(table.fillDepth, 0);
    QCOMPARE(leftovers(), QStringList());
    QVERIFY_THROWS_EXCEPTION(WorkbookError, ExcelClose());

    table.onCell = nullptr;
    cancelled = false;
    importResults(workbook(QStringLiteral("short")), tempPath(), table, &cancelled);
    QCOMPARE(contents(table.cells), expectedTable(QStringLiteral("short")));
}

void TestResultImport::applicationDirectoryNotWritable()
{
    RecordingTable table;
    importResults(workbook(QStringLiteral("short")), tempPath(), table);
    const TableState before(table);

    QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner |
                                                    QFile::ReadOther | QFile::ExeOther));
    {
        const PermissionsApply permissions;
        if (QFile(m_dir.path() + QStringLiteral("/probe")).open(QIODevice::WriteOnly))
            QSKIP("this process writes into read-only directories");
        for (int scan = 0; scan < 3; ++scan) {
            QCOMPARE(thrownInOutError([&] {
                         importResults(workbook(QStringLiteral("long")), tempPath(), table);
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
        QCOMPARE(thrownInOutError([&] {
                     importResults(workbook(QStringLiteral("long")), temporaryWorkbookPath(dir, 7),
                                   table);
                 }),
                 std::pair(2, QStringLiteral("File not found")));
    }
    QCOMPARE(TableState(table), before);

    // Writable again: the next import goes through.
    importResults(workbook(QStringLiteral("long")), tempPath(), table);
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
            thrownInOutError([&] { importResults(snapshot, tempPath(), table); }).first;
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
    QCOMPARE(FileSnapshot().take(watched, snapshot).outcome, SnapshotOutcome::Taken);

    RecordingTable table;
    importResults(workbook(QStringLiteral("short")), tempPath(), table);
    const TableState before(table);

    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(good);
    file.close();
    // Long settled, but the file has moved on since.
    const std::int64_t later = snapshot.identity().changedNs + 10 * SettleNs;
    const QByteArray taken = snapshot.bytes().toByteArray();
    const FileIdentity identity = snapshot.identity();
    QVERIFY_THROWS_EXCEPTION(TornSnapshot,
                             importSnapshot(snapshot, watched, tempPath(), table, later));
    QCOMPARE(TableState(table), before);
    QCOMPARE(leftovers(), QStringList());
    // Used up, and its change time kept for the rule.
    QVERIFY(!snapshot.hasSnapshot());
    QCOMPARE(snapshot.FileBufferSize(), 0);
    QCOMPARE(snapshot.identity().changedNs, identity.changedNs);

    // Gone altogether counts as changed as well.
    refill(snapshot, taken, identity);
    QVERIFY(QFile::remove(watched));
    QVERIFY_THROWS_EXCEPTION(TornSnapshot,
                             importSnapshot(snapshot, watched, tempPath(), table, later));
    QCOMPARE(TableState(table), before);
}

void TestResultImport::damagedWhileUnchanged()
{
    const QString watched = m_watched.path() + QStringLiteral("/Bellquor.xls");
    for (const QByteArray &bytes :
         {workbook(QStringLiteral("version-2")).left(3000), QByteArray("not a\0workbook", 14)}) {
        SnapshotBuffer snapshot;
        QVERIFY(snapshotOfFile(watched, bytes, snapshot));

        const FileIdentity identity = snapshot.identity();
        QCOMPARE(snapshot.bytes(), QByteArrayView(bytes));

        RecordingTable table;
        const TableState before(table);
        // Fresh from the writer: perhaps caught half way, so tried again.
        const std::int64_t changed = identity.changedNs;
        QVERIFY_THROWS_EXCEPTION(TornSnapshot, importSnapshot(snapshot, watched, tempPath(), table,
                                                              changed + SettleNs - 1));
        QCOMPARE(TableState(table), before);
        // From a clock far ahead of ours: no telling, so reported.
        refill(snapshot, bytes, identity);
        const QString early = thrownWorkbookError(
            [&] { importSnapshot(snapshot, watched, tempPath(), table, changed - SettleNs); });
        // Settled: reported.
        refill(snapshot, bytes, identity);
        const QString message = thrownWorkbookError(
            [&] { importSnapshot(snapshot, watched, tempPath(), table, changed + SettleNs); });
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
    QCOMPARE(FileSnapshot().take(watched, snapshot).outcome, SnapshotOutcome::Taken);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(workbook(QStringLiteral("long")));
    file.close();

    const QByteArray taken = snapshot.bytes().toByteArray();
    const FileIdentity identity = snapshot.identity();
    RecordingTable table;
    importSnapshot(snapshot, watched, tempPath(), table);
    QCOMPARE(contents(table.cells), expectedTable(QStringLiteral("short")));

    // An I/O error of the temporary copy is ours to report, changed file or not.
    refill(snapshot, taken, identity);
    QCOMPARE(thrownInOutError([&] {
                 importSnapshot(snapshot, watched,
                                m_watched.path() + QStringLiteral("/none/tempfgr1.xls"), table);
             }),
             std::pair(2, QStringLiteral("File not found")));
}

void TestResultImport::cutShortNeverRead_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("shortBy");
    QTest::addColumn<QString>("settled");
    const QString cut =
        QStringLiteral("The workbook is damaged: the file ends before its contents do");
    // The reader alone takes a compound file without the zero padding of its last sector.
    QTest::newRow("legacy, last byte") << QStringLiteral("version-2") << 1 << cut;
    QTest::newRow("legacy, last sector") << QStringLiteral("version-2") << 512 << cut;
    QTest::newRow("legacy, half") << QStringLiteral("short") << 1024 << cut;
    // Just truncated by the writer; an empty file that stays so is the reader's to judge.
    QTest::newRow("empty") << QStringLiteral("short") << -1
                           << QStringLiteral("The file is not an Excel workbook");
}

// A copy that is empty or shorter than its structure says is torn, without being read, while
// the file may still be being written; once it has settled it is reported.
void TestResultImport::cutShortNeverRead()
{
    QFETCH(QString, name);
    QFETCH(int, shortBy);
    QFETCH(QString, settled);
    const QByteArray good = workbook(name);
    const QByteArray cut = shortBy < 0 ? QByteArray() : good.left(good.size() - shortBy);
    const QString watched = m_watched.path() + QStringLiteral("/Bellquor.xls");
    SnapshotBuffer snapshot;
    QVERIFY(snapshotOfFile(watched, cut, snapshot));
    const FileIdentity identity = snapshot.identity();

    RecordingTable table;
    importResults(workbook(QStringLiteral("short")), tempPath(), table);
    const TableState before(table);
    QVERIFY_THROWS_EXCEPTION(TornSnapshot, importSnapshot(snapshot, watched, tempPath(), table,
                                                          identity.changedNs + SettleNs - 1));
    QVERIFY(!snapshot.hasSnapshot());
    refill(snapshot, cut, identity);
    const QString message = thrownWorkbookError([&] {
        importSnapshot(snapshot, watched, tempPath(), table, identity.changedNs + SettleNs);
    });
    QCOMPARE(message, settled);
    QCOMPARE(TableState(table), before);
    QCOMPARE(leftovers(), QStringList());
}

QTEST_GUILESS_MAIN(TestResultImport)
#include "tst_resultimport.moc"
