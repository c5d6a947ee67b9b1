#include "sheet/exceling.h"

#include "platform/FileDescriptor.h"
#include "platform/ReadExactly.h"
#include "sheet/LocaleTexts.h"
#include "sheet/WorkbookError.h"
#include "util/InOutError.h"

#include <QByteArray>
#include <QFile>
#include <QLocale>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The application object's counterpart: the workbook opened last, and whether it is still
// open (ExcelClose closes it but the object stays).
struct OpenedWorkbook
{
    std::shared_ptr<Workbook> book;
    bool open = false;
};

// A worksheet reference: keeps its workbook alive, whatever ExcelApp does meanwhile. The
// user's locale is taken when the sheet is selected and its parts looked up once, not per cell.
struct SheetReference
{
    std::shared_ptr<Workbook> book;
    const Worksheet *sheet = nullptr;
    std::shared_ptr<const LocaleTexts> locale;
};

OpenedWorkbook ExcelApp;
SheetReference ExcelSheet;

QByteArray readWholeFile(const QString &fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    if (path.isEmpty())
        throw InOutError(2);
    FileDescriptor file(::open(path.constData(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0)
        InOutError::raiseErrno(errno);
    struct stat info;
    if (::fstat(file.Get(), &info) != 0)
        InOutError::raiseErrno(errno);
    if (S_ISDIR(info.st_mode))
        throw InOutError(5);
    // Sized exactly: resize() on an empty array rounds the block up to the next power of two,
    // which for an 18.5 MB workbook is 32 MiB held all through the parse.
    QByteArray bytes(static_cast<qsizetype>(info.st_size), Qt::Uninitialized);
    ReadExactly(file.Get(), bytes.data(), static_cast<std::size_t>(bytes.size()));
    file.CloseOrThrow();
    return bytes;
}

} // namespace

void ExcelOpen(QString &fileName)
{
    std::shared_ptr<Workbook> book;
    try {
        book = Workbook::fromBytes(readWholeFile(fileName));
    } catch (...) {
        // The previous workbook goes whether or not the new one opens.
        ExcelApp = OpenedWorkbook();
        throw;
    }
    // Only now, with the new workbook in hand, is the previous one released.
    ExcelApp = OpenedWorkbook{std::move(book), true};
}

void ExcelSelectSheet(std::int32_t index)
{
    if (!ExcelApp.book)
        throw WorkbookError::invalidVariantOperation();
    if (!ExcelApp.open)
        throw WorkbookError::noWorkbookOpen();
    const Worksheet &sheet = ExcelApp.book->worksheet(index);
    ExcelSheet = SheetReference{ExcelApp.book, &sheet,
                                std::make_shared<const LocaleTexts>(QLocale::system())};
}

QString ExcelGetCell(std::int32_t row, std::int32_t column)
{
    TextBuilder scratch;
    return ExcelGetCellText(row, column, scratch).toString();
}

QStringView ExcelGetCellText(std::int32_t row, std::int32_t column, TextBuilder &scratch)
{
    if (!ExcelSheet.sheet)
        throw WorkbookError::invalidVariantOperation();
    return ExcelSheet.book->cellTextView(*ExcelSheet.sheet, row, column, *ExcelSheet.locale,
                                         scratch);
}

void ExcelClose()
{
    if (!ExcelApp.book)
        throw WorkbookError::invalidVariantOperation();
    if (!ExcelApp.open)
        throw WorkbookError::noWorkbookOpen();
    ExcelApp.open = false;
}

void ExcelRelease()
{
    ExcelSheet = SheetReference();
    ExcelApp = OpenedWorkbook();
}

std::shared_ptr<const Workbook> ExcelAppWorkbook()
{
    return ExcelApp.book;
}

std::shared_ptr<const Workbook> ExcelSheetWorkbook()
{
    return ExcelSheet.book;
}
