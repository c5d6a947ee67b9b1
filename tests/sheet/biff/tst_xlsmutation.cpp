#include "sheet/WorkbookFormats.h"
#include "sheet/biff/CompoundFile.h"
#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <random>

// Damaged copies of real workbooks: truncated, bit-flipped and spliced in a fixed,
// deterministic sequence. Each must either open (and then read cell by cell) or raise a
// WorkbookError; under the sanitizer build this also shows that nothing is read out of bounds.
class TestXlsMutation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void truncated();
    void bitFlipped();
    void spliced();
    void headerFieldsSmashed();
    void recordsMutated();

private:
    void tryVariant(const QByteArray &bytes, const QString &what);

    QList<QByteArray> m_files;
    QStringList m_names;
    std::mt19937 m_random{20231209};
    int m_opened = 0;
    int m_refused = 0;
};

void TestXlsMutation::initTestCase()
{
    for (const char *folder : {"/tests/data/corpus", "/tests/data/fixtures"}) {
        const QDir dir(QStringLiteral(ORVANDEL_SOURCE_DIR) + QLatin1StringView(folder));
        for (const QString &name :
             dir.entryList({QStringLiteral("*.xls")}, QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            // The big fixtures would make every variant slow without finding more.
            if (bytes.size() > 400 * 1024)
                continue;
            m_files << bytes;
            m_names << name;
        }
    }
    QVERIFY2(m_files.size() >= 20, "the corpus is missing");
}

void TestXlsMutation::cleanupTestCase()
{
    qInfo("opened %d variants, refused %d", m_opened, m_refused);
}

void TestXlsMutation::tryVariant(const QByteArray &bytes, const QString &what)
{
    QElapsedTimer timer;
    timer.start();
    try {
        const auto book = readWorkbook(bytes);
        for (int s = 1; s <= book->worksheetCount(); ++s) {
            const Worksheet &sheet = book->worksheet(s);
            const int rows = std::min(sheet.rowCount(), 2000);
            const int columns = std::min(sheet.columnCount(), 40);
            for (int r = 1; r <= rows + 1; ++r)
                for (int c = 1; c <= columns + 1; ++c)
                    book->cellText(sheet, r, c, QLocale::c());
        }
        ++m_opened;
    } catch (const WorkbookError &e) {
        QVERIFY2(!e.message().isEmpty(), qPrintable(what));
        ++m_refused;
    }
    QVERIFY2(timer.elapsed() < 2000, qPrintable(what + QStringLiteral(" took too long")));
}

void TestXlsMutation::truncated()
{
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        const QByteArray &file = m_files[i];
        for (int k = 0; k < 30; ++k) {
            const qsizetype n = qsizetype(m_random() % std::uint32_t(file.size()));
            tryVariant(file.left(n), m_names[i] + QStringLiteral(" cut at %1").arg(n));
        }
    }
}

void TestXlsMutation::bitFlipped()
{
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        for (int k = 0; k < 40; ++k) {
            QByteArray file = m_files[i];
            const int flips = 1 + int(m_random() % 8);
            for (int f = 0; f < flips; ++f) {
                // Half of the flips land in the first sectors, where the container's
                // structures and the workbook globals usually are.
                const std::uint32_t range =
                    (m_random() & 1) ? std::uint32_t(file.size())
                                     : std::min<std::uint32_t>(4096, std::uint32_t(file.size()));
                const qsizetype at = qsizetype(m_random() % range);
                file[at] = char(file[at] ^ (1 << (m_random() % 8)));
            }
            tryVariant(file, m_names[i] + QStringLiteral(" flipped, round %1").arg(k));
        }
    }
}

void TestXlsMutation::spliced()
{
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        for (int k = 0; k < 25; ++k) {
            const QByteArray &a = m_files[i];
            const QByteArray &b = m_files[qsizetype(m_random() % std::uint32_t(m_files.size()))];
            const qsizetype at = qsizetype(m_random() % std::uint32_t(a.size()));
            const qsizetype from = qsizetype(m_random() % std::uint32_t(b.size()));
            const qsizetype length = qsizetype(m_random() % 2048);
            QByteArray file = a;
            if (m_random() & 1)
                file.replace(at, length, b.mid(from, length)); // overwrite a stretch
            else
                file.insert(at, b.mid(from, length)); // shift everything after `at`
            tryVariant(file, m_names[i] + QStringLiteral(" spliced, round %1").arg(k));
        }
    }
}

void TestXlsMutation::headerFieldsSmashed()
{
    // Every 32-bit field of the container header set to values that hurt: 0, a huge number,
    // the end-of-chain and free markers, the last sector.
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        const QByteArray &file = m_files[i];
        if (file.size() < 512)
            continue;
        const std::uint32_t lastSector = std::uint32_t(file.size() / 512 - 2);
        for (int offset = 40; offset < 80; offset += 4) {
            for (std::uint32_t value :
                 {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFFFu, lastSector}) {
                QByteArray variant = file;
                for (int b = 0; b < 4; ++b)
                    variant[offset + b] = char((value >> (8 * b)) & 0xFF);
                tryVariant(variant,
                           m_names[i] + QStringLiteral(" header %1 = %2").arg(offset).arg(value));
            }
        }
    }
}

void TestXlsMutation::recordsMutated()
{
    // The workbook streams taken out of their containers and damaged on their own, so that
    // every change lands in the records; a bare stream is read like a BIFF2-4 file.
    int streams = 0;
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        const auto bytes = std::span(reinterpret_cast<const std::uint8_t *>(m_files[i].constData()),
                                     std::size_t(m_files[i].size()));
        QByteArray stream;
        try {
            CompoundFile container(bytes);
            auto found = container.rootStream(u"Workbook");
            if (!found)
                found = container.rootStream(u"Book");
            if (!found)
                continue;
            stream = QByteArray(reinterpret_cast<const char *>(found->bytes().data()),
                                qsizetype(found->bytes().size()));
        } catch (const WorkbookError &) {
            continue; // the damaged corpus files
        }
        ++streams;
        tryVariant(stream, m_names[i] + QStringLiteral(" bare stream"));
        for (int k = 0; k < 60; ++k) {
            QByteArray variant = stream;
            const int flips = 1 + int(m_random() % 4);
            for (int f = 0; f < flips; ++f) {
                // Keep the first record intact half of the time, so that most variants get
                // past the beginning-of-file check.
                const std::uint32_t from = (m_random() & 1) ? 20 : 0;
                const qsizetype at =
                    qsizetype(from + m_random() % std::uint32_t(variant.size() - from));
                variant[at] = char(variant[at] ^ (1 << (m_random() % 8)));
            }
            if (k % 4 == 0)
                variant.truncate(qsizetype(m_random() % std::uint32_t(variant.size())));
            tryVariant(variant, m_names[i] + QStringLiteral(" stream round %1").arg(k));
        }
    }
    QVERIFY(streams >= 20);
}

QTEST_GUILESS_MAIN(TestXlsMutation)
#include "tst_xlsmutation.moc"
