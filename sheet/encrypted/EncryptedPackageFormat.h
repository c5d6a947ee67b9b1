#pragma once

#include "sheet/model/WorkbookFormat.h"

#include <QStringView>

// OOXML and binary OOXML workbooks encrypted with a password: a compound file holding
// EncryptionInfo and EncryptedPackage. Read with the spreadsheet programs' default password,
// which is all the viewer ever tries (tests and tools may give another through the
// ReadControl); any other password is "The workbook is password-protected".
extern const WorkbookFormat EncryptedPackageFormat;

// The same reader with a password of the caller's, for tests and tools.
std::shared_ptr<Workbook> readEncryptedPackage(std::span<const std::uint8_t> bytes,
                                               QStringView password,
                                               const ReadControl &control = {});
