#pragma once

#include "util/ViewerError.h"

// A workbook the reader cannot serve: not a workbook at all, damaged, encrypted, without the
// worksheet asked for (or without its cells, read for another one), or an operation used before the
// object it needs exists. The kind lets callers tell a bad file from a bad request.
class WorkbookError : public ViewerError
{
public:
    enum class Kind {
        NotWorkbook,
        Damaged,
        Encrypted,
        NoSuchSheet,
        SheetNotRead,
        NoWorkbookOpen,
        InvalidVariantOperation,
    };

    WorkbookError(Kind kind, QString message);

    Kind kind() const noexcept { return m_kind; }

    // "The file is not an Excel workbook"
    static WorkbookError notWorkbook();
    // A workbook in a format this reader does not read (an Excel 4.0 workbook, for instance).
    static WorkbookError unsupported(const QString &what);
    // "The workbook is damaged: <what>"
    static WorkbookError damaged(const QString &what);
    // "The workbook is password-protected"
    static WorkbookError encrypted();
    // "The workbook has no worksheet <index>"
    static WorkbookError noSuchSheet(qint64 index);
    // "Worksheet <index> was not read: the workbook was opened for another one"
    static WorkbookError sheetNotRead(qint64 index);
    // "No workbook is open"
    static WorkbookError noWorkbookOpen();
    // "Invalid variant operation"
    static WorkbookError invalidVariantOperation();

private:
    Kind m_kind;
};
