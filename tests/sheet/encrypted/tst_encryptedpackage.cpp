#include "sheet/WorkbookFormats.h"
#include "sheet/encrypted/EncryptedPackageFormat.h"
#include "sheet/model/Workbook.h"
#include "tests/support/ThrownWorkbookError.h"

#include <QFile>
#include <QLocale>
#include <QTest>

// Encrypted workbooks read with a password of the caller's, as tools and tests read them: the
// right password gives exactly the cells of the workbook that was encrypted (for LibreOffice's,
// which writes its own package, those of the same workbook it encrypted with the default
// password), any other the refusal the viewer shows. (The default password's workbooks are held
// against LibreOffice's reading in the format corpus.)
namespace {

QByteArray load(const QString &name)
{
    QFile file(QStringLiteral(ORVANDEL_SOURCE_DIR "/tests/data/formats/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot open %s", qPrintable(name));
    return file.readAll();
}

std::span<const std::uint8_t> Bytes(const QByteArray &bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.data()), std::size_t(bytes.size())};
}

QStringList Cells(const Workbook &book)
{
    QStringList cells;
    const Worksheet &sheet = book.worksheet(1);
    for (int r = 1; r <= sheet.rowCount(); ++r)
        for (int c = 1; c <= sheet.columnCount(); ++c)
            cells << book.cellText(sheet, r, c, QLocale::c());
    return cells;
}

} // namespace

class TestEncryptedPackage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void withPassword_data();
    void withPassword();
};

void TestEncryptedPackage::withPassword_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("error");
    const QString xlsx = QStringLiteral("xlsxwriter__shared-strings.xlsx");
    const QString xlsb = QStringLiteral("sheetjs__results.xlsb");
    const QString refused = QStringLiteral("The workbook is password-protected");
    QTest::newRow("standard, its password")
        << "libreoffice__standard-password.xlsx"
        << "password"
        << "libreoffice__standard-default-password.xlsx" << QString();
    QTest::newRow("agile, its password") << "ours__agile-password.xlsx"
                                         << "password" << xlsx << QString();
    QTest::newRow("agile xlsb, default password") << "ours__agile-default-password.xlsb"
                                                  << "VelvetSweatshop" << xlsb << QString();
    QTest::newRow("standard, the default instead") << "libreoffice__standard-password.xlsx"
                                                   << "VelvetSweatshop" << QString() << refused;
    QTest::newRow("agile, the default instead") << "ours__agile-password.xlsx"
                                                << "VelvetSweatshop" << QString() << refused;
    QTest::newRow("agile sha-1, a near miss") << "ours__agile-sha1-aes128.xlsx"
                                              << "VelvetSweatshoP" << QString() << refused;
    QTest::newRow("standard aes-256, empty password") << "ours__standard-aes256.xlsx"
                                                      << "" << QString() << refused;
}

void TestEncryptedPackage::withPassword()
{
    QFETCH(QString, file);
    QFETCH(QString, password);
    QFETCH(QString, plain);
    QFETCH(QString, error);
    const QByteArray encrypted = load(file);
    std::shared_ptr<Workbook> book;
    QCOMPARE(thrownWorkbookError([&] { book = readEncryptedPackage(Bytes(encrypted), password); }),
             error.isEmpty() ? QStringLiteral("none") : error);
    if (!book)
        return;
    const QByteArray original = load(plain);
    QCOMPARE(Cells(*book), Cells(*readWorkbook(Bytes(original))));
}

QTEST_GUILESS_MAIN(TestEncryptedPackage)
#include "tst_encryptedpackage.moc"
