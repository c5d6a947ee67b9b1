#pragma once

#include "sheet/model/WorkbookFormat.h"

#include <QStringView>

// Legacy Excel workbooks (BIFF2 to BIFF8): a compound file with a "Workbook" or "Book" stream,
// or the bare records of a BIFF2-4 file. A compound file that holds an encrypted OOXML package
// instead is recognised too, and refused as password-protected. An encrypted workbook is read
// with the default password, which is all the viewer ever tries (tests and tools may give
// another through the ReadControl).
extern const WorkbookFormat BiffFormat;

// The same reader with a password of the caller's, for tests and tools: an encrypted workbook
// whose verifier refuses it raises WorkbookError (Encrypted).
std::shared_ptr<Workbook> readBiffWorkbook(std::span<const std::uint8_t> bytes,
                                           QStringView password, const ReadControl &control = {});
