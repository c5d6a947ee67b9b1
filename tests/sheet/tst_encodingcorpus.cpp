#include "sheet/WorkbookFormats.h"
#include "sheet/model/Workbook.h"
#include "tests/support/SheetText.h"

#include <QFile>
#include <QTest>

// Files in the encodings real programs write, and the lenient reading spreadsheet programs
// give delimited text and XML, each against the table it must read as: legacy worksheets whose
// CODEPAGE names a Windows code page, web pages and XML documents that declare theirs, text
// that declares none, and the forms of delimited text and XML that strict readers refuse.
// scripts/fixtures/make_encoding_fixtures.py writes them, with cases.tsv and the expected tables.
class tst_EncodingCorpus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsAsWritten_data();
    void readsAsWritten();
};

namespace {

const QString Folder = QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data/encodings/");

QByteArray contents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

} // namespace

void tst_EncodingCorpus::readsAsWritten_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("codePage");
    for (const QByteArray &line : contents(Folder + QStringLiteral("cases.tsv")).split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.split('\t');
        QVERIFY(fields.size() == 3);
        const QString file = QString::fromUtf8(fields[0]);
        QTest::newRow(qPrintable(file + QStringLiteral(": ") + QString::fromUtf8(fields[2])))
            << file << QString::fromUtf8(fields[1]);
    }
}

void tst_EncodingCorpus::readsAsWritten()
{
    QFETCH(QString, file);
    QFETCH(QString, codePage);
    const QByteArray bytes = contents(Folder + file);
    std::shared_ptr<Workbook> book;
    const QString error = workbookErrorOf([&] { book = readWorkbook(bytes); });
    QCOMPARE(error, QStringLiteral("none"));
    QCOMPARE(sheetText(*book), QString::fromUtf8(contents(Folder + QStringLiteral("expected/") +
                                                          file + QStringLiteral(".txt"))));
    if (codePage != u'-')
        QCOMPARE(book->codePage(), codePage.toInt());
}

QTEST_GUILESS_MAIN(tst_EncodingCorpus)
#include "tst_encodingcorpus.moc"
