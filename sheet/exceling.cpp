#include "sheet/exceling.h"

#include "platform/MappedFile.h"
#include "sheet/WorkbookFormats.h"
#include "sheet/model/LocaleTexts.h"
#include "sheet/model/WorkbookError.h"

#include <QLocale>

namespace {

// A worksheet reference: keeps its workbook object alive, whatever ExcelApp does meanwhile;
// once that workbook is closed its cells cannot be read. The user's locale is taken when the
// sheet is selected and its parts looked up once, not per cell.
struct SheetReference
{
    std::shared_ptr<Workbook> book;
    const Worksheet *sheet = nullptr;
    std::shared_ptr<const LocaleTexts> locale;
};

// The workbook opened last (ExcelClose closes it but the object stays).
std::shared_ptr<Workbook> ExcelApp;
SheetReference ExcelSheet;
QString ExcelPassword;

} // namespace

void ExcelOpen(QString &fileName)
{
    ExcelOpen(fileName, nullptr);
}

void ExcelOpen(QString &fileName, const std::atomic<bool> *cancelled)
{
    ExcelOpen(fileName, cancelled, ReadScope());
}

void ExcelOpen(QString &fileName, const std::atomic<bool> *cancelled, ReadScope scope)
{
    std::shared_ptr<Workbook> book;
    try {
        // Read through a mapping that gives back what the parse has gone past: a big file
        // never sits in memory whole next to the workbook made of it.
        MappedFile file(fileName);
        ReadControl control(
            [&file](const std::uint8_t *from, const std::uint8_t *readUpTo) {
                if (from)
                    file.releaseBetween(from, readUpTo);
                else
                    file.releaseBefore(readUpTo);
            },
            cancelled, scope);
        control.setPassword(ExcelPassword);
        book = ReadWorkbook(file.bytes(), control);
    } catch (...) {
        // The previous workbook goes whether or not the new one opens.
        ExcelApp.reset();
        throw;
    }
    // Only now, with the new workbook in hand, is the previous one released.
    ExcelApp = std::move(book);
}

void ExcelSetPassword(QString password)
{
    ExcelPassword = std::move(password);
}

void ExcelSelectSheet(std::int32_t index)
{
    if (!ExcelApp)
        throw WorkbookError::invalidVariantOperation();
    if (ExcelApp->isClosed())
        throw WorkbookError::noWorkbookOpen();
    const Worksheet &sheet = ExcelApp->worksheet(index);
    ExcelSheet =
        SheetReference{ExcelApp, &sheet, std::make_shared<const LocaleTexts>(QLocale::system())};
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
    if (ExcelSheet.book->isClosed())
        throw WorkbookError::noWorkbookOpen();
    return ExcelSheet.book->cellTextView(*ExcelSheet.sheet, row, column, *ExcelSheet.locale,
                                         scratch);
}

void ExcelReleaseRowsBefore(std::int32_t row)
{
    if (ExcelSheet.sheet && !ExcelSheet.book->isClosed())
        ExcelSheet.book->releaseRowsBefore(*ExcelSheet.sheet, qint64(row) - 1);
}

void ExcelClose()
{
    if (!ExcelApp)
        throw WorkbookError::invalidVariantOperation();
    if (ExcelApp->isClosed())
        throw WorkbookError::noWorkbookOpen();
    // Closing without saving: the cells are of no further use, and a big workbook's memory
    // should not outlive its import (the sheet reference keeps the object until the next
    // selection).
    ExcelApp->close();
}

void ExcelRelease()
{
    ExcelSheet = SheetReference();
    ExcelApp.reset();
}

std::shared_ptr<const Workbook> ExcelAppWorkbook()
{
    return ExcelApp;
}

std::shared_ptr<const Workbook> ExcelSheetWorkbook()
{
    return ExcelSheet.book;
}
