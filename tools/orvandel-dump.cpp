// orvandel-dump: prints the table the viewer would show for a workbook, for scripts and tests.
// The same import as the viewer's (an exclusive snapshot, retried while the file is locked, a
// temporary copy in the application directory, the first 13 columns of the first worksheet),
// without a window; a workbook on standard input or in a pipe is read at once instead.
#include "app/core/CommandLineInfo.h"
#include "app/core/LaunchContext.h"
#include "app/core/ResultImport.h"
#include "app/core/ScanScheduler.h"
#include "app/core/ScanTiming.h"
#include "app/core/SnapshotBuffer.h"
#include "platform/FileSnapshot.h"
#include "platform/LargePages.h"
#include "platform/PrivateDirectory.h"
#include "platform/Process.h"
#include "platform/SignalCleanup.h"
#include "platform/StreamRead.h"
#include "sheet/exceling.h"
#include "tools/HeadlessScan.h"
#include "tools/TableText.h"
#include "tools/TableTextWriter.h"
#include "util/InOutError.h"
#include "util/ReportText.h"
#include "util/ViewerError.h"

#include <QCryptographicHash>
#include <QFile>
#include <QString>
#include <chrono>
#include <cstdio>
#include <new>
#include <optional>
#include <thread>
#include <unistd.h>

namespace {

enum ExitStatus {
    Success = 0,
    ImportFailed = 1,
    FileMissing = 2,
    StayedLocked = 3,
    Usage = 64,
};

constexpr int DefaultRetryMs = ScanTiming::RetryTickMs;

// The usage, with the scan's numbers filled in.
QString helpText()
{
    return QStringLiteral(
               R"(Usage: orvandel-dump [--csv | --tsv] [--retry-ms N] [--stats] [--copies FILE]
                     [--password TEXT] WORKBOOK
       orvandel-dump --help | --version

Prints the table the Orvandel viewer shows for WORKBOOK: sheet row 1 as the header, then the
rows from sheet row 2 down to the last one before the first row whose column 3 is empty, and
the first 13 columns of the first worksheet. One record per table row, header first, UTF-8.

The workbook is read the way the viewer reads it: copied whole while no other program writes
it (a file that is locked or being written is tried again up to %1 times, %2 ms apart), the
copy written to tempfgr<process id>.xls in the application directory, read from there, and
deleted (also when SIGPIPE, SIGINT, SIGTERM or SIGHUP ends the program). The application
directory is that of this program when you may create files there, and otherwise
$XDG_DATA_HOME/Orvandel (by default ~/.local/share/Orvandel), made on first use; when that
cannot be made (no home directory, or one you may not write), the copy goes to
$XDG_RUNTIME_DIR/Orvandel, or else to a new private directory under the temporary directory,
removed at exit. The workbook itself is never written.

WORKBOOK "-" is standard input. Standard input, a pipe and any other path that is not a
regular file (/dev/stdin, a FIFO, a device) are read once, at once, to their end: the locks
and the checks for a writer at work need a regular file, so they are not applied and nothing
is tried again.

Options:
  --csv          comma-separated values as in RFC 4180 (the default): a field is quoted when
                 it holds a comma, a double quote (written twice), a carriage return or a line
                 feed; records end in CR LF.
  --tsv          tab-separated values: fields separated by tabs, records end in LF; a tab,
                 line feed, carriage return or backslash in a field is written as \t, \n, \r
                 or \\.
  --retry-ms N   the pause between two attempts on a locked file, in milliseconds (default
                 %2; 0 to 60000). The number of attempts stays %1.
  --stats        after the scan, one line on standard error:
                   orvandel-dump: attempts A torn T
                 A is the number of times the workbook was tried (1 when the first copy was
                 read), T how many of the copies turned out to have been written while they
                 were taken; the other A - T - 1 attempts (A - T on exit status 3) found the
                 file locked or open for writing. Not printed for a missing file or wrong usage.
  --copies FILE  appends to FILE one line for every copy of the workbook handed to the reader:
                 the SHA-256 of its bytes in hexadecimal. Each must be one whole version of the
                 file; the torture run compares them with the versions its writer wrote.
  --password TEXT
                 the password an encrypted workbook (legacy, OOXML or binary OOXML) is read
                 with, for tests. The viewer tries only the spreadsheet programs' default
                 password, which is also what is tried without this option; a workbook that
                 TEXT does not open is "The workbook is password-protected". TEXT is seen by
                 every user of this machine in the process list: give no password that matters.
  --help         this text.
  --version      the version.

Exit status:
  0   the table was printed
  1   the workbook could not be read; standard error has the message the viewer shows
  2   there is no file at WORKBOOK ("File not found.")
  3   the workbook stayed locked by another program, or kept changing, for all %1 attempts
  64  wrong usage
)")
        .arg(ScanTiming::MaxOpenAttempts)
        .arg(DefaultRetryMs);
}

int usageError(const QString &what)
{
    std::fprintf(stderr, "orvandel-dump: %s\nTry 'orvandel-dump --help'.\n",
                 what.toLocal8Bit().constData());
    return Usage;
}

void printError(const QString &message)
{
    std::fprintf(stderr, "%s\n", reportText(message).toLocal8Bit().constData());
}

struct Options
{
    TableTextFormat format = TableTextFormat::Csv;
    int retryMs = DefaultRetryMs;
    bool stats = false;
    QString copies;
    QString password;
    QString workbook;
};

std::optional<int> parseRetry(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0 || value > 60000)
        return std::nullopt;
    return value;
}

void printStats(int attempts, int torn)
{
    std::fprintf(stderr, "orvandel-dump: attempts %d torn %d\n", attempts, torn);
}

// The workbook as a file that another program may be writing: snapshots, retried.
int dumpFile(const Options &options, const QString &tempPath, TableTextWriter &writer)
{
    FileSnapshot source;
    HeadlessScan scan(source, tempPath,
                      [](std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); });
    QFile copies(options.copies);
    if (!options.copies.isEmpty()) {
        if (!copies.open(QIODevice::Append | QIODevice::Unbuffered)) {
            printError(QStringLiteral("%1 could not be opened").arg(options.copies));
            return ImportFailed;
        }
        scan.watchCopies([&copies](QByteArrayView bytes) {
            copies.write(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() +
                         '\n');
        });
    }
    const HeadlessScan::Outcome outcome =
        scan.run(options.workbook, writer, std::chrono::milliseconds(options.retryMs));
    if (options.stats && outcome != HeadlessScan::Outcome::Missing)
        printStats(scan.attempts(), scan.tornSnapshots());
    switch (outcome) {
    case HeadlessScan::Outcome::Missing:
        printError(QStringLiteral("File not found"));
        return FileMissing;
    case HeadlessScan::Outcome::GaveUp:
        printError(
            (scan.tornSnapshots() > 0
                 ? QStringLiteral("The workbook kept changing while it was copied: gave up "
                                  "after %1 attempts")
                 : QStringLiteral("The workbook stayed locked by another program: gave up after "
                                  "%1 attempts"))
                .arg(ScanTiming::MaxOpenAttempts));
        return StayedLocked;
    case HeadlessScan::Outcome::Imported:
        break;
    }
    return Success;
}

// The workbook as a stream: read once, to its end, and imported.
int dumpStream(const Options &options, const QString &tempPath, TableTextWriter &writer)
{
    SnapshotBuffer snapshot;
    const SnapshotResult read = readStream(options.workbook, snapshot);
    if (options.stats && read.outcome != SnapshotOutcome::Missing)
        printStats(1, 0);
    switch (read.outcome) {
    case SnapshotOutcome::Missing:
        printError(QStringLiteral("File not found"));
        return FileMissing;
    case SnapshotOutcome::TooLarge:
        printError(
            QStringLiteral("The workbook is more than %1 bytes; the viewer reads at most that")
                .arg(snapshot.limit()));
        return ImportFailed;
    case SnapshotOutcome::Failed:
        throw InOutError(read.errorCode);
    default:
        break;
    }
    importResults(snapshot.bytes(), tempPath, writer);
    return Success;
}

int dump(const Options &options)
{
    const QString tempPath =
        temporaryWorkbookPath(PrivateDirectory::forProcess(GetAppDir()), processId());
    // The records go out while the import fills them in: the table is never kept, as cells or
    // as text. Nothing is written unless the import gets as far as filling.
    QFile out;
    if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        printError(QStringLiteral("The table could not be written to standard output"));
        return ImportFailed;
    }
    TableTextWriter writer(options.format, out);
    const int status = isStreamPath(options.workbook) ? dumpStream(options, tempPath, writer)
                                                      : dumpFile(options, tempPath, writer);
    if (status == Success && !writer.written()) {
        printError(QStringLiteral("The table could not be written to standard output"));
        return ImportFailed;
    }
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    returnLargeBlocksWhenFreed();
    // `orvandel-dump FILE | head` and Ctrl+C leave no private copy behind.
    removeRegisteredFilesOnSignals();
    Options options;
    bool workbookGiven = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        // "-" alone is standard input.
        if (!optionsEnded && arg.startsWith(u'-') && arg.size() > 1) {
            if (arg == QStringLiteral("--help")) {
                std::fputs(helpText().toLocal8Bit().constData(), stdout);
                return Success;
            } else if (arg == QStringLiteral("--version")) {
                std::fputs(versionLine(QStringLiteral("orvandel-dump")).toLocal8Bit().constData(),
                           stdout);
                return Success;
            } else if (arg == QStringLiteral("--csv")) {
                options.format = TableTextFormat::Csv;
            } else if (arg == QStringLiteral("--tsv")) {
                options.format = TableTextFormat::Tsv;
            } else if (arg == QStringLiteral("--retry-ms")) {
                const std::optional<int> retry =
                    i + 1 < argc ? parseRetry(QString::fromLocal8Bit(argv[++i])) : std::nullopt;
                if (!retry)
                    return usageError(QStringLiteral("--retry-ms needs a number from 0 to 60000"));
                options.retryMs = *retry;
            } else if (arg == QStringLiteral("--stats")) {
                options.stats = true;
            } else if (arg == QStringLiteral("--copies")) {
                if (i + 1 >= argc)
                    return usageError(QStringLiteral("--copies needs a file name"));
                options.copies = QString::fromLocal8Bit(argv[++i]);
            } else if (arg == QStringLiteral("--password")) {
                if (i + 1 >= argc)
                    return usageError(QStringLiteral("--password needs the password"));
                options.password = QString::fromLocal8Bit(argv[++i]);
            } else if (arg == QStringLiteral("--")) {
                optionsEnded = true;
            } else {
                return usageError(QStringLiteral("unknown option '%1'").arg(arg));
            }
            continue;
        }
        if (workbookGiven)
            return usageError(QStringLiteral("only one workbook can be given"));
        options.workbook = arg;
        workbookGiven = true;
    }
    if (!workbookGiven)
        return usageError(QStringLiteral("no workbook given"));

    excelSetPassword(options.password);
    int status = ImportFailed;
    try {
        status = dump(options);
    } catch (const ViewerError &error) {
        printError(error.message());
    } catch (const std::bad_alloc &) {
        printError(QStringLiteral("Out of memory"));
    }
    excelRelease();
    return status;
}
