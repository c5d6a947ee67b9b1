#include "sheet/model/WorkbookError.h"

WorkbookError::WorkbookError(Kind kind, QString message)
    : ViewerError(std::move(message))
    , m_kind(kind)
{
}

WorkbookError WorkbookError::notWorkbook()
{
    return WorkbookError(Kind::NotWorkbook, QStringLiteral("The file is not an Excel workbook"));
}

WorkbookError WorkbookError::unsupported(const QString &what)
{
    return WorkbookError(
        Kind::NotWorkbook,
        QStringLiteral("The file is %1, which this reader does not read").arg(what));
}

WorkbookError WorkbookError::damaged(const QString &what)
{
    return WorkbookError(Kind::Damaged, QStringLiteral("The workbook is damaged: %1").arg(what));
}

WorkbookError WorkbookError::encrypted()
{
    return WorkbookError(Kind::Encrypted, QStringLiteral("The workbook is password-protected"));
}

WorkbookError WorkbookError::noSuchSheet(qint64 index)
{
    return WorkbookError(Kind::NoSuchSheet,
                         QStringLiteral("The workbook has no worksheet %1").arg(index));
}

WorkbookError WorkbookError::sheetNotRead(qint64 index)
{
    return WorkbookError(
        Kind::SheetNotRead,
        QStringLiteral("Worksheet %1 was not read: the workbook was opened for another one")
            .arg(index));
}

WorkbookError WorkbookError::noWorkbookOpen()
{
    return WorkbookError(Kind::NoWorkbookOpen, QStringLiteral("No workbook is open"));
}

WorkbookError WorkbookError::invalidVariantOperation()
{
    return WorkbookError(Kind::InvalidVariantOperation,
                         QStringLiteral("Invalid variant operation"));
}
