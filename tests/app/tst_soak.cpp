#include "platform/LargePages.h"
#include "tests/support/ViewerHarness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <unistd.h>

using namespace viewertest;

#if defined(__SANITIZE_ADDRESS__)
#define ORVANDEL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVANDEL_ASAN 1
#endif
#endif

#ifdef ORVANDEL_ASAN
constexpr int DefaultImports = 100;
#else
constexpr int DefaultImports = 1000;
#endif

// The window's own scan and import, run many times in one process on a workbook that changes
// between scans, the way a long test run feeds the viewer: every table must be exactly the
// version on disk, no private copy may stay behind, and the resident memory must level off.
// ORVANDEL_SOAK_IMPORTS sets the number of imports: 1,000 by default, 100 in the sanitizer
// build, where each import costs ten times as much and the leak check at exit is the point.
class TestSoak : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The program's own memory policy, as main() sets it.
    void initTestCase() { returnLargeBlocksWhenFreed(); }
    void importsLevelOff();
};

namespace {

// Resident memory from /proc/self/status, in KiB.
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

struct Version
{
    int number;
    int dataRows;
    QByteArray bytes;
};

// The writer's two ways of changing the file: in place (truncate, then write) and a new file
// renamed over the old one.
bool rewrite(const QString &path, const QByteArray &bytes, bool inPlace)
{
    if (inPlace)
        return writeWhole(path, bytes);
    const QString fresh = path + QStringLiteral(".writing");
    return writeWhole(fresh, bytes) &&
           ::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) == 0;
}

} // namespace

void TestSoak::importsLevelOff()
{
    const int imports = qEnvironmentVariableIntValue("ORVANDEL_SOAK_IMPORTS") > 0
                            ? qEnvironmentVariableIntValue("ORVANDEL_SOAK_IMPORTS")
                            : DefaultImports;
    // The figure to compare with: after the first 100 imports, or the first tenth of a run
    // shorter than 1,000.
    const int checkpoint = imports >= 1000 ? 100 : std::max(1, imports / 10);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString app = dir.path() + u'/';
    const QString watched = dir.filePath(QStringLiteral("results.xls"));
    const std::vector<Version> versions = {
        {1, 40, resultsWorkbook(1, 40)},
        {2, 900, resultsWorkbook(2, 900)},
        {3, 3, resultsWorkbook(3, 3)},
        {4, 250, resultsWorkbook(4, 250)},
    };
    QVERIFY(writeWhole(watched, versions.front().bytes));

    Viewer viewer(app, watched);
    viewer.form->show();
    QElapsedTimer clock;
    clock.start();
    long atCheckpoint = 0;
    for (int i = 0; i < imports; ++i) {
        const Version &version = versions[std::size_t(i) % versions.size()];
        QVERIFY(rewrite(watched, version.bytes, i % 2 == 0));
        viewer.scan();
        QVERIFY2(tableIsVersion(viewer.grid(), version.number, version.dataRows),
                 qPrintable(QStringLiteral("import %1").arg(i + 1)));
        QVERIFY(!viewer.form->TimerScanOpenFile->isActive());
        QCoreApplication::processEvents(); // the grid paints the new table
        if (i + 1 == checkpoint)
            atCheckpoint = residentKiB();
    }
    const long atEnd = residentKiB();
    QCOMPARE(viewer.errors, QStringList());
    QCOMPARE(temporaryCopies(app), QStringList());
    QCOMPARE(readWhole(watched), versions[std::size_t(imports - 1) % versions.size()].bytes);

    std::printf("soak: %d imports in %lld ms; resident %ld KiB after %d, %ld KiB after %d "
                "(%+ld KiB)\n",
                imports, static_cast<long long>(clock.elapsed()), atCheckpoint, checkpoint, atEnd,
                imports, atEnd - atCheckpoint);
    std::fflush(stdout);
#ifdef ORVANDEL_ASAN
    // AddressSanitizer holds freed memory in quarantine, so the resident size says nothing
    // here; this build checks for leaks at exit instead.
    Q_UNUSED(atCheckpoint);
#else
    // A short run (scripts/soak.sh runs 50 imports under valgrind, whose own memory is in the
    // figure) is about leaks, not about levelling off.
    if (imports >= 100) {
        QVERIFY(atCheckpoint > 0 && atEnd > 0);
        QVERIFY2(atEnd - atCheckpoint <= 1024, "the resident memory grew by more than 1 MiB");
    }
#endif
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
